#pragma once

#include <QString>

#include <functional>

class ShellOutput;

// What accessterm decode was asked: the protocol (a name or a description file), the input
// ("-" or empty for standard input) and how it is written.
struct DecodeRequest {
    QString protocol;
    QString file;
    bool raw = false;     // the input is the bytes themselves
    bool osdpcap = false; // the input is an OSDP trace
    bool hex = false;     // frames printed as hex pairs
};

// accessterm decode: frames cut from a saved session and decoded, one a line with its summary
// after a tab, bytes that are no frame as they are. 0 when all was read; 1 when lines could not
// be read back (said on standard error); 2 for a protocol or an input that cannot be read.
int RunDecode(const DecodeRequest& request, ShellOutput& output);
// The same from an input already open (its reads, -1 with errno set for a failure, 0 at its
// end), with the folder of the engineer's descriptions.
using DecodeInput = std::function<qint64(char* into, qint64 atMost)>;
int RunDecode(const DecodeRequest& request, const DecodeInput& read, const QString& folder,
              ShellOutput& output);
