#pragma once
// Writing the animation in formats other than GIF: animated WebP, APNG, MP4
// (H.264) and WebM (VP9).  Every exporter is fed the screens a browser
// would show for the GIF the program saves (ShownScreens.h), so an export
// looks like the saved GIF does everywhere: an area restored to the
// background is transparent, local palettes are honoured.  The encoders
// are the system's libraries (libwebp, libpng, FFmpeg), opened when an
// export first needs them (document/SharedLibrary.h).  Every file is written
// through the atomic save: nothing is left behind when a write fails.
#include <cstdint>
#include <optional>
#include <string>

#include "ShownScreens.h"
#include "document/Progress.h"

namespace movigram {

enum class ExportFormat { Gif, WebP, Apng, Mp4, WebM };

// The format a file name asks for by its extension, compared without regard
// to case: ".gif", ".webp", ".png" and ".apng", ".mp4", ".webm"; a name
// without an extension is a GIF.  Nothing for any other extension.
std::optional<ExportFormat> exportFormatOfPath(const std::string& path);
// "GIF", "WebP", "APNG", "MP4", "WebM".
const char* exportFormatName(ExportFormat format);
// ".gif", ".webp", ".png", ".mp4", ".webm".
const char* exportFormatExtension(ExportFormat format);

struct ExportOptions {
    // WebP: 0-100 for lossy compression at that quality; nothing: lossless.
    std::optional<int> quality;
    // The colour transparent pixels are composed over where the format has
    // no transparency (MP4; WebM when the encoder cannot keep alpha).
    Rgba background{0, 0, 0, 255};
};

// What the format cannot hold of this animation, said before it is
// written: one line, empty when it holds everything (MP4's transparency
// and odd sizes).
std::string exportNote(ExportFormat format, const ShownScreens& screens, const ExportOptions& options);

struct ExportResult {
    bool ok = false;
    std::string error;  // one line naming the file, when !ok
};

// Writes the screens to path in format (not Gif: the GIF writer does that).
// progress (none: nothing shown) goes by screens written and may stop the
// export, which then writes nothing.
ExportResult exportScreens(const ShownScreens& screens, ExportFormat format, const std::string& path,
                           const ExportOptions& options, Progress* progress = nullptr);

// The exporters, by format; the bytes made by the first two are written by
// exportScreens.
bool encodeWebp(const ShownScreens& screens, const ExportOptions& options, Progress* progress,
                std::vector<uint8_t>& out, std::string& error);
bool encodeApng(const ShownScreens& screens, Progress* progress, std::vector<uint8_t>& out, std::string& error);
ExportResult writeVideo(const ShownScreens& screens, ExportFormat format, const std::string& path,
                        const ExportOptions& options, Progress* progress);

}  // namespace movigram
