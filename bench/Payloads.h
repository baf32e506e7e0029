#pragma once

// Payloads a peer sends, and how many bytes of one were lost or doubled on the way to the log.
#include <algorithm>
#include <cstdio>
#include <map>
#include <random>
#include <string>

// A numbered payload: records "0000000\n" counting up, so that lost or doubled bytes show.
inline std::string NumberedPayload(size_t size)
{
    std::string out;
    out.reserve(size + 8);
    char record[16];
    for (unsigned n = 0; out.size() < size; ++n) {
        std::snprintf(record, sizeof record, "%07u\n", n % 10000000u);
        out += record;
    }
    out.resize(size);
    return out;
}

inline std::string RandomPayload(size_t size)
{
    std::mt19937 random(size);
    std::string out(size, '\0');
    for (char& c : out)
        c = char(random());
    return out;
}

// For a payload without records: the characters outside the longest common start and end of
// two renderings, what was sent and what the log shows (0 when they are the same).
inline long long LostOrDoubledBytes(const std::string& sent, const std::string& received)
{
    const size_t shorter = std::min(sent.size(), received.size());
    size_t head = 0;
    while (head < shorter && sent[head] == received[head])
        ++head;
    size_t tail = 0;
    while (tail < shorter - head &&
           sent[sent.size() - 1 - tail] == received[received.size() - 1 - tail])
        ++tail;
    return (long long)(sent.size() + received.size() - 2 * (head + tail));
}

// Bytes lost or doubled between what was sent and what the log shows.
inline long long LostOrDoubled(const std::string& sent, const std::string& received)
{
    if (sent == received)
        return 0;
    std::map<std::string, int> expected;
    for (size_t i = 0; i + 8 <= sent.size(); i += 8)
        ++expected[sent.substr(i, 8)];
    long long bad = 0;
    size_t i = 0;
    while (i < received.size()) {
        const size_t end = received.find('\n', i);
        const std::string record =
            received.substr(i, end == std::string::npos ? std::string::npos : end - i + 1);
        auto it = expected.find(record);
        if (it != expected.end() && it->second > 0)
            --it->second;
        else
            bad += (long long)record.size();
        i += record.size();
    }
    for (const auto& [record, left] : expected)
        bad += 8LL * left;
    return bad;
}
