#include "CorpusGif.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <iterator>

#include "save/GifWriter.h"
#include "gif/ByteSink.h"
#include "support/CorpusPath.h"

namespace movigram::test {

std::vector<uint8_t> loadFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string corpusName(const std::filesystem::path& path) {
    std::error_code ec;
    auto relative = std::filesystem::relative(path, corpusDir(), ec);
    return ec || relative.empty() ? path.string() : relative.string();
}

std::vector<std::filesystem::path> corpusGifFiles() { return corpusFiles("", {".gif"}); }

std::string rectText(const TRect& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

namespace {

class Walker {
public:
    explicit Walker(std::span<const uint8_t> data) : data_(data) {}
    bool has(size_t n) const { return n <= data_.size() - pos_; }
    bool byte(uint8_t& b) {
        if (!has(1)) return false;
        b = data_[pos_++];
        return true;
    }
    const uint8_t* take(size_t n) {
        if (!has(n)) return nullptr;
        const uint8_t* p = data_.data() + pos_;
        pos_ += n;
        return p;
    }
    // Walks data sub-blocks up to and including the terminator; false when
    // the data ends first.
    bool skipSubBlocks() {
        for (uint8_t n;;) {
            if (!byte(n)) return false;
            if (n == 0) return true;
            if (!take(n)) return false;
        }
    }

private:
    std::span<const uint8_t> data_;
    size_t pos_ = 0;
};

int le16(const uint8_t* p) { return p[0] | (p[1] << 8); }

bool readTable(Walker& in, int sizeField, std::vector<Rgb>& table) {
    const size_t n = size_t(1) << ((sizeField & 7) + 1);
    const uint8_t* p = in.take(n * 3);
    if (!p) return false;
    table.resize(n);
    for (size_t i = 0; i < n; ++i) table[i] = {p[i * 3], p[i * 3 + 1], p[i * 3 + 2]};
    return true;
}

}  // namespace

ScannedGif scanGif(std::span<const uint8_t> data) {
    ScannedGif gif;
    auto stop = [&](std::string why) {
        gif.end = std::move(why);
        return gif;
    };
    Walker in(data);
    const uint8_t* header = in.take(6);
    if (!header || std::string_view(reinterpret_cast<const char*>(header), 3) != "GIF") return stop("no GIF signature");
    gif.signature = true;
    const uint8_t* screen = in.take(7);
    if (!screen) return stop("logical screen descriptor cut off");
    gif.width = le16(screen);
    gif.height = le16(screen + 2);
    if (screen[4] & 0x80) {
        if (!readTable(in, screen[4], gif.globalTable)) return stop("global colour table cut off");
    }

    ScannedImage pending;  // carries the graphic control block until its image
    for (uint8_t introducer;;) {
        if (!in.byte(introducer)) return stop("end of data without trailer");
        if (introducer == 0x3B) return stop("trailer");
        if (introducer == 0x21) {
            uint8_t label;
            if (!in.byte(label)) return stop("extension cut off");
            if (label == 0xF9) {
                const uint8_t* c = in.take(6);
                if (!c) return stop("graphic control block cut off");
                if (c[0] != 4) return stop("graphic control block of size " + std::to_string(c[0]));
                pending.hasControl = true;
                pending.disposal = (c[1] >> 2) & 7;
                pending.delayCs = le16(c + 2);
                pending.transparent = (c[1] & 1) ? c[4] : -1;
            } else if (label == 0xFF) {
                uint8_t size;
                if (!in.byte(size)) return stop("application block cut off");
                const uint8_t* id = in.take(size);
                if (!id) return stop("application block cut off");
                std::string name(reinterpret_cast<const char*>(id), size);
                gif.applications.push_back(name);
                std::transform(name.begin(), name.end(), name.begin(), [](unsigned char c) { return char(std::tolower(c)); });
                if (size == 11 && name.starts_with("netscape")) gif.netscapeLoop = true;
                if (!in.skipSubBlocks()) return stop("application block cut off");
            } else {
                if (label == 0x01) ++gif.plainTexts;
                if (!in.skipSubBlocks()) return stop("extension cut off");
            }
        } else if (introducer == 0x2C) {
            const uint8_t* d = in.take(9);
            if (!d) return stop("image descriptor cut off");
            // Listed before its data is walked, so that an image cut off by the
            // end of the data still shows in the list (as incomplete).
            ScannedImage& image = gif.images.emplace_back(pending);
            pending = {};
            image.rect = {le16(d), le16(d + 2), le16(d) + le16(d + 4), le16(d + 2) + le16(d + 6)};
            const std::string which = "image " + std::to_string(gif.images.size() - 1);
            if (d[8] & 0x80) {
                image.hasLocalTable = true;
                if (!readTable(in, d[8], image.localTable)) return stop(which + ": local colour table cut off");
            }
            uint8_t minCodeSize;
            if (!in.byte(minCodeSize)) return stop(which + ": data cut off");
            image.minCodeSize = minCodeSize;
            if (!in.skipSubBlocks()) return stop(which + ": data cut off");
            image.complete = true;
        }
    }
}

std::string whyReadingStopped(const ScannedGif& gif, size_t images, int result) {
    if (result == GifNoMemory) return "over the decode limits";
    if (gif.images.size() > images) {
        const ScannedImage& refused = gif.images[images];
        std::string why = "the reader refused image " + std::to_string(images) + " (" +
                          std::to_string(refused.rect.width()) + "x" + std::to_string(refused.rect.height()) +
                          ", LZW minimum code size " + std::to_string(refused.minCodeSize);
        return why + (refused.complete ? ")" : "; " + gif.end + ")");
    }
    return gif.end;
}

int frameBeyondGifCoordinates(const FrameChain& frames) {
    for (size_t i = 0; i < frames.size(); ++i)
        if (frames[i]->hasImage() && (frames[i]->rect.right > 0xFFFF || frames[i]->rect.bottom > 0xFFFF))
            return int(i);
    return -1;
}

DecodedGif readKeepingDecoded(std::span<const uint8_t> data, const std::string& name) {
    DecodedGif out;
    GifReadOptions options;
    options.paint = [&](const TFrame& frame) { out.decoded.push_back(frame.clone()); };
    out.read = readGifMemory(data, name, options);
    return out;
}

BrowserCompositor::BrowserCompositor(const ScannedGif& gif, int width, int height)
    : gif_(gif), width_(width), height_(height), canvas_(size_t(width) * size_t(height)) {}

const std::vector<Rgba>& BrowserCompositor::show(size_t k, const TDib256& pixels) {
    const ScannedImage& image = gif_.images[k];
    if (image.disposal == 3) saved_ = canvas_;
    const std::vector<Rgb>& table = image.hasLocalTable ? image.localTable : gif_.globalTable;
    const TRect area = image.rect.intersected({0, 0, width_, height_});
    Rgba lookup[256];
    for (size_t v = 0; v < 256; ++v) {
        const Rgb c = v < table.size() ? table[v] : Rgb{};
        lookup[v] = {c.r, c.g, c.b, 255};
    }
    for (int32_t y = area.top; y < area.bottom; ++y) {
        const uint8_t* in = pixels.row(y - image.rect.top) - image.rect.left;
        Rgba* out = &canvas_[size_t(y) * size_t(width_)];
        for (int32_t x = area.left; x < area.right; ++x)
            if (int(in[x]) != image.transparent) out[x] = lookup[in[x]];
    }
    return canvas_;
}

void BrowserCompositor::dispose(size_t k) {
    const ScannedImage& image = gif_.images[k];
    if (image.disposal == 2) {
        const TRect area = image.rect.intersected({0, 0, width_, height_});
        for (int32_t y = area.top; y < area.bottom; ++y)
            for (int32_t x = area.left; x < area.right; ++x) canvas_[size_t(y) * size_t(width_) + size_t(x)] = {};
    } else if (image.disposal == 3) {
        canvas_ = saved_;
    }
}

std::string indexPastTable(std::span<const uint8_t> bytes) {
    const ScannedGif scan = scanGif(bytes);
    const DecodedGif read = readKeepingDecoded(bytes, "saved.gif");
    if (read.read.result != GifOk) return "reads with result " + std::to_string(read.read.result);
    for (size_t k = 0; k < read.decoded.size() && k < scan.images.size(); ++k) {
        const ScannedImage& image = scan.images[k];
        const int entries = int(image.hasLocalTable ? image.localTable.size() : scan.globalTable.size());
        const std::string which = "image " + std::to_string(k) + " with a table of " + std::to_string(entries);
        if (image.transparent >= entries)
            return which + ": transparent index " + std::to_string(image.transparent);
        const TDib256& pixels = *read.decoded[k]->image;
        for (int32_t y = 0; y < pixels.height(); ++y)
            for (int32_t x = 0; x < pixels.width(); ++x)
                if (pixels.pixel(x, y) >= entries) return which + ": value " + std::to_string(pixels.pixel(x, y));
    }
    return {};
}

std::vector<uint8_t> saveList(const FrameList& list, bool loop, const TMyPalette& global, int32_t loopCount) {
    TFrame* first = threadFrames(list, loop);
    GifWriteOptions options;
    options.cropToDirty = false;
    options.loopCount = loopCount;
    ByteSink sink;
    if (!writeGifTo(sink, first, global, options)) return {};
    return sink.bytes();
}

}  // namespace movigram::test
