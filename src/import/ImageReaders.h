#pragma once
// One entry for every file the document reads: the reader is chosen by the
// file's first bytes, and by the extension (without regard to case) when
// they name no format; the result is either one 8-bit still image, a chain
// of frames (GIF and video files) or the text of a comment, with the result
// code and the message the reading loop shows.
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "TrueColorImage.h"
#include "document/Progress.h"
#include "document/FrameChain.h"

namespace movigram {

enum class ImportKind { None, Gif, Pcx, Qcx, Bmp, Jpeg, Png, Webp, Avif, Video, Text };

// The reader for a file whose first bytes are head: a format signature
// (GIF, BMP, PCX and ".qcx", JPEG, PNG, WebP, AVIF, RIFF AVI, and the video
// containers FFmpeg's probe recognises), else the extension from the path's
// last '.'.
// Text files have only their extension.
ImportKind importKindOf(const std::string& path, std::span<const uint8_t> head);
// The same for the file at path, reading its first bytes (by the extension
// alone when it cannot be read).
ImportKind importKindOf(const std::string& path);

// Codes 0..3 are those of the GIF reader, 0..6 those of the video reader.
enum ImportCode : int {
    ImportOk = 0,
    ImportNoMemory = 1,
    ImportCannotOpen = 2,
    ImportCorrupt = 3,
    ImportUnsupportedDepth = 4,
    ImportUnsupportedCompression = 5,
    ImportUnexpectedEnd = 6,
    ImportReductionFailed = 7,  // a deep still image could not be brought to 8 bits
    ImportSkipped = 8,          // contents and extension no reader takes
};

struct ImportOptions {
    Host* host = nullptr;                                // status text while an image is reduced
    Progress* progress = nullptr;
    std::function<void(const TFrame&)> paint;            // GIF and video frames as they are read
    std::function<void(const TrueColorImage&)> preview;  // a deep image before its reduction
    DecodeLimits limits = DecodeLimits::defaults();
    QuantizeOptions quantize;  // how deep images and video become 8 bits
};

struct ImportedFile {
    ImportKind kind = ImportKind::None;
    int result = ImportOk;
    // What the reading loop shows in a message box with the stop icon; no
    // message when it is empty.
    std::string caption;
    std::string message;

    std::unique_ptr<TDib256> image;  // a still image
    int32_t transparentIndex = -1;   // the still image's, -1 for none
    // A GIF, video or animated picture (PNG, WebP, AVIF), kept also after an
    // error.
    FrameChain frames;
    bool loopFound = false;  // GIF: the looping extension was there; animated pictures: they loop
    int32_t loopCount = 0;   // plays, 0 without end
    // GIF: the colour of the screen's background index in the global colour
    // table, when the file has one that holds the index.
    std::optional<PaletteEntry> backgroundColor;
    std::string text;  // a text file, for a comment frame

    bool multiFrameSource() const {
        return kind == ImportKind::Gif || kind == ImportKind::Video || (!image && !frames.empty());
    }
    // Whether the file states how often it is played.
    bool carriesLoopCount() const { return kind != ImportKind::Video && multiFrameSource(); }
};

// Text files give at most this many bytes.
constexpr size_t maxCommentFileBytes = 65534;

ImportedFile readImageFile(const std::string& path, const ImportOptions& options = {});

}  // namespace movigram
