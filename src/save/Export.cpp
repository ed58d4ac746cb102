#include "Export.h"

#include <cctype>

#include "GifWriter.h"

namespace movigram {

std::optional<ExportFormat> exportFormatOfPath(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    const size_t dot = path.find_last_of('.');
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    // A dot that starts the name (".gif", "..") begins no extension.
    if (dot == std::string::npos || dot <= nameStart) return ExportFormat::Gif;
    std::string extension = path.substr(dot);
    for (char& ch : extension) ch = char(std::tolower(static_cast<unsigned char>(ch)));
    if (extension == ".gif") return ExportFormat::Gif;
    if (extension == ".webp") return ExportFormat::WebP;
    if (extension == ".png" || extension == ".apng") return ExportFormat::Apng;
    if (extension == ".mp4") return ExportFormat::Mp4;
    if (extension == ".webm") return ExportFormat::WebM;
    return std::nullopt;
}

const char* exportFormatName(ExportFormat format) {
    switch (format) {
    case ExportFormat::Gif: return "GIF";
    case ExportFormat::WebP: return "WebP";
    case ExportFormat::Apng: return "APNG";
    case ExportFormat::Mp4: return "MP4";
    case ExportFormat::WebM: return "WebM";
    }
    return "";
}

const char* exportFormatExtension(ExportFormat format) {
    switch (format) {
    case ExportFormat::Gif: return ".gif";
    case ExportFormat::WebP: return ".webp";
    case ExportFormat::Apng: return ".png";
    case ExportFormat::Mp4: return ".mp4";
    case ExportFormat::WebM: return ".webm";
    }
    return "";
}

std::string exportNote(ExportFormat format, const ShownScreens& screens, const ExportOptions& options) {
    if (format != ExportFormat::Mp4 && format != ExportFormat::WebM) return {};
    std::string note;
    if (format == ExportFormat::Mp4) {
        bool transparent = false;
        forEachShownScreen(screens, nullptr, [&](const std::vector<Rgba>& pixels, int32_t) {
            for (const Rgba& p : pixels)
                if (p.a == 0) return !(transparent = true);
            return true;
        });
        if (transparent) {
            const Rgba& b = options.background;
            note = "MP4 has no transparency: transparent pixels show the colour " + std::to_string(b.r) + "," +
                   std::to_string(b.g) + "," + std::to_string(b.b);
        }
    }
    if ((screens.width | screens.height) & 1) {
        note += note.empty() ? exportFormatName(format) + std::string(" needs even sizes: ") : "; even sizes: ";
        note += "the " + std::to_string(screens.width) + " x " + std::to_string(screens.height) + " screen is padded to " +
                std::to_string(screens.width + (screens.width & 1)) + " x " +
                std::to_string(screens.height + (screens.height & 1));
    }
    return note;
}

ExportResult exportScreens(const ShownScreens& screens, ExportFormat format, const std::string& path,
                           const ExportOptions& options, Progress* progress) {
    ExportResult result;
    if (screens.width <= 0 || screens.height <= 0 || screens.imageFrames == 0) {
        result.error = "nothing to export: no frame has an image";
        return result;
    }
    if (format == ExportFormat::Mp4 || format == ExportFormat::WebM)
        return writeVideo(screens, format, path, options, progress);
    std::vector<uint8_t> bytes;
    std::string error;
    bool made = false;
    if (format == ExportFormat::WebP) made = encodeWebp(screens, options, progress, bytes, error);
    else if (format == ExportFormat::Apng) made = encodeApng(screens, progress, bytes, error);
    else error = "GIF is written by the GIF writer";
    if (!made) {
        // Stopped when there is no reason: nothing is written, nothing said.
        if (!error.empty()) result.error = "\"" + path + "\": " + error;
        return result;
    }
    const GifWriteResult written = writeGifBytes(path, bytes);
    if (!written.ok) result.error = gifWriteErrorMessage(written);
    result.ok = written.ok;
    return result;
}

}  // namespace movigram
