#pragma once
// A fast 64-bit fingerprint of an image's indices, row by row from the top:
// what a saved copy of an image's LZW data is checked against before it is
// written again in place of a fresh encoding.  It depends only on the
// indices and the size, never on how the rows are laid out in memory.
#include <cstddef>
#include <cstdint>

namespace movigram {

// Row y of the image starts at firstRow + y * rowStep (rowStep may be
// negative for bottom-up images).
uint64_t indexFingerprint(const uint8_t* firstRow, std::ptrdiff_t rowStep, uint32_t width, uint32_t height);

}  // namespace movigram
