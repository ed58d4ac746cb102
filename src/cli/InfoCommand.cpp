// movigram-cli info [--json] [--keep-partial] FILE: what a GIF file holds,
// frame by frame; for a PNG, WebP or AVIF picture, the frames the editor
// reads from it.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "CliSupport.h"
#include "document/GifReader.h"
#include "import/ImageReaders.h"

namespace movigram::cli {

namespace {

std::string rectText(const TRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

void printText(const GifReadOutput& gif) {
    std::printf("screen %dx%d, global colors %d, background %d, loop count %d%s\n", gif.screen.width,
                gif.screen.height, gif.globalPalette ? gif.globalPalette->colorCount : 0, gif.backgroundIndex,
                gif.loopCount, gif.loopFound ? "" : " (no looping extension)");
    for (size_t i = 0; i < gif.frames.size(); ++i) {
        const TFrame& f = *gif.frames[i];
        if (f.isComment) {
            std::string text = static_cast<const TTextFrame&>(f).getText().substr(0, 40);
            for (char& c : text)
                if (static_cast<unsigned char>(c) < 0x20) c = ' ';
            std::printf("%3zu comment \"%s\"\n", i, text.c_str());
            continue;
        }
        std::printf("%3zu %s rect %s delay %d ms, %s, transparent %d, local colors %d\n", i, f.name.c_str(),
                    rectText(f.rect).c_str(), f.displayTime(),
                    f.restoreToBackground ? "restore to background" : "do not restore", f.transparentIndex,
                    f.localPalette ? f.localPalette->colorCount : 0);
    }
}

void printJson(const GifReadOutput& gif) {
    std::printf("{\"screen\":{\"width\":%d,\"height\":%d},\"globalColors\":%d,\"background\":%d,"
                "\"loopFound\":%s,\"loopCount\":%d,\"frames\":[",
                gif.screen.width, gif.screen.height, gif.globalPalette ? gif.globalPalette->colorCount : 0,
                gif.backgroundIndex, gif.loopFound ? "true" : "false", gif.loopCount);
    for (size_t i = 0; i < gif.frames.size(); ++i) {
        const TFrame& f = *gif.frames[i];
        std::string entry = "{\"name\":" + jsonString(f.name);
        if (f.isComment) {
            entry += ",\"comment\":true,\"text\":" + jsonString(static_cast<const TTextFrame&>(f).getText());
        } else {
            entry += ",\"rect\":[" + rectText(f.rect) + "],\"delayMs\":" + std::to_string(f.displayTime()) +
                     ",\"restoreToBackground\":" + (f.restoreToBackground ? "true" : "false") +
                     ",\"transparentIndex\":" + std::to_string(f.transparentIndex) +
                     ",\"localColors\":" + std::to_string(f.localPalette ? f.localPalette->colorCount : 0) +
                     ",\"comment\":false";
        }
        entry += "}";
        std::printf("%s%s", i ? "," : "", entry.c_str());
    }
    std::printf("]}\n");
}

// What was read and the message of the error that stopped the reading.
struct Described {
    GifReadOutput gif;
    std::string error;
};

Described describeGif(const std::string& path) {
    Described d{readGif(path), {}};
    d.error = gifResultMessage(d.gif.result, path);
    return d;
}

// A picture's frames as the editor reads them, each on colours of its own:
// no global table, the screen as large as the frames.
Described describePicture(const std::string& path) {
    ImportedFile file = readImageFile(path);
    Described d;
    if (file.image) {
        auto frame = std::make_unique<TFrame>(path, std::move(file.image));
        frame->transparentIndex = file.transparentIndex;
        d.gif.frames.push_back(std::move(frame));
    } else {
        d.gif.frames = std::move(file.frames);
    }
    d.gif.loopFound = file.loopFound;
    d.gif.loopCount = file.loopCount;
    d.gif.backgroundIndex = -1;
    for (const auto& f : d.gif.frames) {
        d.gif.screen.width = std::max(d.gif.screen.width, f->rect.right);
        d.gif.screen.height = std::max(d.gif.screen.height, f->rect.bottom);
    }
    if (file.result != ImportOk) {
        d.gif.result = file.result;
        d.error = file.message.empty() ? "File \"" + path + "\" cannot be read" : file.message;
    }
    return d;
}

}  // namespace

int runInfo(const Args& args) {
    bool json = false;
    FileArguments files{.takesOutput = false};
    for (size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--json") json = true;
        else files.take(args, i);
    }
    files.require();
    const std::string& path = files.input();
    const ImportKind kind = importKindOf(path);
    const bool picture = kind == ImportKind::Png || kind == ImportKind::Webp || kind == ImportKind::Avif;
    const Described read = picture ? describePicture(path) : describeGif(path);
    const GifReadOutput& gif = read.gif;
    // Without a frame there is nothing to describe: the error alone (not an
    // empty screen before it).
    if (gif.result != GifOk && gif.frames.empty()) throw CliError{read.error};
    if (json) printJson(gif);
    else printText(gif);
    if (gif.result == GifOk) return ExitOk;
    if (!files.keepPartial) throw CliError{read.error};
    const size_t n = gif.frames.size();
    warn(read.error + "; described the " +
         (n == 1 ? std::string("1 frame") : std::to_string(n) + " frames") + " read before the error (--keep-partial)");
    return ExitOk;
}

}  // namespace movigram::cli
