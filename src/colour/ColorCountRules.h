#pragma once
// The rules behind the "Reduce color depth" dialog: the proposed size, the
// number it starts with, the power-of-two arrows and reading a typed count.
#include <string>

#include "document/Document.h"

namespace movigram {

// The global palette's size (256 without one), at least 2; 512 when any frame
// has a local palette.
int proposedColorCount(const Document& doc);
// 256 above 256, else the largest power of two below size, 2 when none is.
int initialColorCount(int proposed);
// One arrow step (direction > 0 up, < 0 down) from value, snapped to the
// next power of two in that direction within 2..256.
int stepPowerOfTwo(int value, int direction);
// The count typed in the edit box: at most 29 characters are read; with a
// comma every non-digit is dropped; then a decimal integer with leading
// blanks and one sign, up to the first non-digit.  Clamped to 2..256.
int parseColorCount(const std::string& text);

}  // namespace movigram
