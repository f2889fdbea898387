// Turns the difference between two frames into ANSI escape sequences: for
// each cell that changed, a cursor move (left out when the cursor is already
// there), a style change (only when the style differs from the last one
// written; always from a reset, so no attribute leaks between cells) and the
// symbol in UTF-8. Ends with a style reset if any style was set. Nothing is
// appended when the frames are equal.
#pragma once
#include <string>

#include "termui/buffer.hpp"

namespace zimbrel::termui {

// `previous` and `next` have the same area.
void append_diff(const Buffer& previous, const Buffer& next, std::string& out);

void append_utf8(char32_t code, std::string& out);

}  // namespace zimbrel::termui
