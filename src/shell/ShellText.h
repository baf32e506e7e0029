#pragma once

#include <string>
#include <string_view>

// Text on its way to a terminal: a character U+0080-U+009F is a C1 control there (9B starts a
// control sequence), so the shell writes it as its "<hh>" token, which the notation reads back as
// the same byte. Plain standard C++.

// Appends text in the 8-bit code page (a rendered reply) to utf8, each of 80-9F as its token.
void AppendForTerminal(std::string_view latin1, std::string& utf8);

// UTF-8 text with each C1 control written as its token; every other character unchanged.
std::string WithC1AsTokens(std::string_view utf8);
