#include "notation/EncodeCommandText.h"

#include <algorithm>
#include <array>
#include <cstdio>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

ByteText outputBuffer;

namespace
{

// The value of each hex digit among the first 128 characters, -1 for every other character.
constexpr std::array<signed char, 128> HexDigits = [] {
    std::array<signed char, 128> t{};
    for (int c = 0; c < 128; ++c)
        t[c] = -1;
    for (int c = '0'; c <= '9'; ++c)
        t[c] = (signed char)(c - '0');
    for (int c = 'A'; c <= 'F'; ++c)
        t[c] = (signed char)(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c)
        t[c] = (signed char)(c - 'a' + 10);
    return t;
}();

int HexDigit(char32_t c)
{
    return c < 128 ? HexDigits[c] : -1;
}

bool IsIgnoredBlank(char32_t c)
{
    return c == U' ' || c == U'\t' || c == U'\n';
}

// The value of the field of up to two characters after a "<": blanks, tabs and line feeds are
// skipped, hex digits are read until the first other character.
std::uint8_t FieldValue(std::u32string_view field)
{
    unsigned value = 0;
    for (char32_t c : field) {
        if (IsIgnoredBlank(c))
            continue;
        const int d = HexDigit(c);
        if (d < 0)
            break;
        value = value * 16 + unsigned(d);
    }
    return std::uint8_t(value);
}

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += char(c);
    } else if (c < 0x800) {
        out += char(0xC0 | (c >> 6));
        out += char(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += char(0xE0 | (c >> 12));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    } else {
        out += char(0xF0 | (c >> 18));
        out += char(0x80 | ((c >> 12) & 0x3F));
        out += char(0x80 | ((c >> 6) & 0x3F));
        out += char(0x80 | (c & 0x3F));
    }
}

// Reads the token at at, which starts with "<", writes its byte and returns the character after
// it; or sets error and returns nullptr when no ">" closes it.
const char32_t* EncodeToken(const char32_t* at, const char32_t* begin, const char32_t* end,
                            char*& out, std::optional<EncodeError>& error)
{
    // The usual shape, two hex digits and ">", is read at once.
    if (end - at >= 4 && at[3] == U'>') {
        const int high = HexDigit(at[1]);
        const int low = HexDigit(at[2]);
        if ((high | low) >= 0) {
            *out++ = char(high * 16 + low);
            return at + 4;
        }
    }
    // Any other token: its field is the two characters after "<", whatever they are; the token
    // runs to the first ">" after the "<", which may lie inside the field.
    const char32_t* close = at + 1;
    while (close < end && *close != U'>')
        ++close;
    if (close == end) {
        error = EncodeError{EncodeError::Kind::UnclosedToken, std::size_t(at - begin) + 1, U'<'};
        return nullptr;
    }
    const std::size_t fieldLength = std::min<std::size_t>(2, std::size_t(end - at - 1));
    *out++ = char(FieldValue(std::u32string_view(at + 1, fieldLength)));
    return close + 1;
}

#if defined(__SSE2__)
// Copies the 16 characters at at to out as bytes, whatever they are, and returns a mask of those
// that end a literal run: "<", or a character above U+00FF. Bytes past the run are overwritten
// later, so a run is copied in blocks with no test per character.
unsigned CopyBlock(const char32_t* at, char* out)
{
    const auto* in = reinterpret_cast<const __m128i*>(at);
    // Signed packing keeps every character above U+00FF above 0xFF in 16 bits.
    const __m128i low = _mm_packs_epi32(_mm_loadu_si128(in), _mm_loadu_si128(in + 1));
    const __m128i high = _mm_packs_epi32(_mm_loadu_si128(in + 2), _mm_loadu_si128(in + 3));
    const __m128i upper = _mm_set1_epi16(short(0xFF00));
    const __m128i zero = _mm_setzero_si128();
    const __m128i fitsLow = _mm_cmpeq_epi16(_mm_and_si128(low, upper), zero);
    const __m128i fitsHigh = _mm_cmpeq_epi16(_mm_and_si128(high, upper), zero);
    const __m128i bytes = _mm_packus_epi16(low, high);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out), bytes);
    const __m128i fits = _mm_packs_epi16(fitsLow, fitsHigh);
    const __m128i open = _mm_cmpeq_epi8(bytes, _mm_set1_epi8('<'));
    return unsigned(
        _mm_movemask_epi8(_mm_or_si128(open, _mm_andnot_si128(fits, _mm_set1_epi8(-1)))));
}
#endif

// Encodes text into out, which has room for one byte per character; returns the end of the bytes
// written, or sets error and returns nullptr.
char* EncodeInto(std::u32string_view text, char* out, std::optional<EncodeError>& error)
{
    const char32_t* const begin = text.data();
    const char32_t* const end = begin + text.size();
    const char32_t* at = begin;
    while (at < end) {
#if defined(__SSE2__)
        // Literal runs, a ">" that no "<" opened included, go 16 characters at a time.
        if (end - at >= 16) {
            const unsigned stops = CopyBlock(at, out);
            if (stops == 0) {
                at += 16;
                out += 16;
                continue;
            }
            const int run = __builtin_ctz(stops);
            at += run;
            out += run;
        } else {
            while (at < end && *at != U'<' && *at <= 0xFF)
                *out++ = char(*at++);
            if (at == end)
                break;
        }
#else
        while (at < end && *at != U'<' && *at <= 0xFF)
            *out++ = char(*at++);
        if (at == end)
            break;
#endif
        if (*at != U'<') {
            error = EncodeError{EncodeError::Kind::NoByteForCharacter, std::size_t(at - begin) + 1,
                                *at};
            return nullptr;
        }
        at = EncodeToken(at, begin, end, out, error);
        if (!at)
            return nullptr;
    }
    return out;
}

} // namespace

std::string EncodeError::Describe() const
{
    if (kind == Kind::UnclosedToken)
        return "\"<\" at position " + std::to_string(position) + " is not closed by \">\"";
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", unsigned(character));
    std::string text = "character ";
    text += code;
    text += " \"";
    AppendUtf8(text, character);
    text += "\" at position " + std::to_string(position) + " has no byte in the code page";
    return text;
}

EncodedCommand EncodeCommandText(std::u32string_view text)
{
    EncodedCommand result;
    // Never more bytes than characters: write straight into a buffer of that size.
#if defined(__cpp_lib_string_resize_and_overwrite)
    outputBuffer.resize_and_overwrite(text.size(), [&](char* out, std::size_t) {
        const char* last = EncodeInto(text, out, result.error);
        return last ? std::size_t(last - out) : 0;
    });
#else
    outputBuffer.resize(text.size());
    const char* last = EncodeInto(text, outputBuffer.data(), result.error);
    outputBuffer.resize(last ? std::size_t(last - outputBuffer.data()) : 0);
#endif
    if (result.ok())
        result.bytes.assign(outputBuffer.begin(), outputBuffer.end());
    return result;
}

EncodedCommand EncodeCommandText(std::u32string_view text, std::vector<std::size_t>& starts)
{
    EncodedCommand result = EncodeCommandText(text);
    starts.clear();
    if (!result.ok())
        return result;
    // Each byte comes from one plain character or from a token, "<" through the first ">" after it.
    starts.reserve(result.bytes.size());
    for (std::size_t at = 0; at < text.size(); ++at) {
        starts.push_back(at);
        if (text[at] == U'<')
            at = text.find(U'>', at);
    }
    return result;
}
