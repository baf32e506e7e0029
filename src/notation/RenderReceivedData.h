#pragma once

#include "notation/ByteText.h"

#include <string>
#include <string_view>

// Renders a reply as one line of display text: bytes 0-32 and 127 become "<hh>" tokens with two
// upper-case digits, every other byte stands for itself. The result is in the 8-bit code page
// (one char per character), ready for QString::fromLatin1 and for the capture file as it is.
// Takes a view, so that a reply held elsewhere need not be copied into a ByteText first.
std::string RenderReceivedData(std::string_view reply);

// The length of the rendering of reply, in characters.
std::size_t RenderedLength(std::string_view reply);

// The same rendering as UTF-16, for a caller that keeps text that way: a long reply is then not
// rendered and converted after. out has room for RenderedLength(reply) + 3 characters (the
// renderer writes a little past the end); returns the length.
std::size_t RenderReceivedDataInto(std::string_view reply, char16_t* out);
