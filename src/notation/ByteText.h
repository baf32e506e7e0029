#pragma once

#include <string>

// A string in which each char stands for one byte: the byte's value is the char's code read as
// unsigned char, which is also the character's code in the 8-bit code page (ISO-8859-1).
using ByteText = std::string;
