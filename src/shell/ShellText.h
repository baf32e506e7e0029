#pragma once

#include <string>
#include <string_view>

// Text on its way to a terminal. A control character there is an instruction, not text (ESC
// starts a sequence that can clear the screen or retitle the window; U+0080-U+009F are C1
// controls, 9B starting a sequence of its own), so the shell writes each as its "<hh>" token,
// which the notation reads back as the same byte; only the line break stays as it is. Plain
// standard C++.

// Appends text in the 8-bit code page (a rendered reply) to utf8, each of 80-9F as its token.
void AppendForTerminal(std::string_view latin1, std::string& utf8);

// UTF-8 text with each control character but the line break (00-1F, 7F, U+0080-U+009F) written
// as its token; every other character unchanged.
std::string WithControlsAsTokens(std::string_view utf8);
