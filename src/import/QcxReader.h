#pragma once
// The program's own run-length images (".qcx"), which share the PCX header:
// kind 10 is a PCX-coded 8-bit image with a palette at the end of the file,
// kinds 12 and 14 hold 4-bit values in nibble runs.  Besides making a new
// image, a file can be drawn into an existing one at a position, with its
// values moved by a colour offset and one value left unpainted (the
// program's button images).
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "document/DecodeLimits.h"
#include "document/TDib256.h"

namespace movigram {

struct QcxOptions {
    // Folders tried in order for a name given without folder.
    std::vector<std::string> searchFolders;
    int colorOffset = 0;
    // A file value that only advances, leaving the pixels as they were; 256
    // paints every value.
    int skipValue = 256;
    DecodeLimits limits = DecodeLimits::defaults();
};

// A new image from the named file (a ".bmp" name goes to the bitmap reader);
// null when the file is missing or not of a known kind.
std::unique_ptr<TDib256> readQcx(const std::string& name, const QcxOptions& options = {});
std::unique_ptr<TDib256> decodeQcx(std::span<const uint8_t> file, const QcxOptions& options = {});

// Draws the named file into target with its top-left corner at (x, y),
// clipped to the target.  False when nothing could be read.
bool drawQcx(const std::string& name, TDib256& target, int32_t x, int32_t y, const QcxOptions& options = {});
bool drawQcx(std::span<const uint8_t> file, TDib256& target, int32_t x, int32_t y, const QcxOptions& options = {});

}  // namespace movigram
