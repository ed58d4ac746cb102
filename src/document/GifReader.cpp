#include "GifReader.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "FileIo.h"
#include "OriginalImageData.h"
#include "RestorePrevious.h"
#include "gif/ByteReader.h"
#include "gif/GifBlocks.h"
#include "gif/IndexFingerprint.h"
#include "gif/LzwDecoder.h"

namespace movigram {

namespace {

constexpr uint64_t frameOverhead = sizeof(TFrame) + sizeof(TDib256) + 64;
// Images of this many pixels or more are read parked (TDib256.h): decoding a
// small one again each time costs more than it saves.
constexpr uint64_t parkFromPixels = 1 << 16;

struct ColorTableInForce {
    ColorTable quads{};
    int entries = 0;
};

ColorTableInForce readColorTable(ByteReader& in, int sizeField, bool& ok) {
    ColorTableInForce table;
    table.entries = 1 << ((sizeField & 7) + 1);
    auto bytes = in.take(size_t(table.entries) * 3);
    ok = !bytes.empty();
    if (!ok) return table;
    for (int i = 0; i < table.entries; ++i)
        table.quads[size_t(i)] = {bytes[size_t(i) * 3 + 2], bytes[size_t(i) * 3 + 1], bytes[size_t(i) * 3], 0};
    return table;
}

// Walks the data sub-blocks from the reader's position without consuming
// them; returns the position after the block terminator, or nothing when the
// data is cut off by the end of the file.
std::optional<size_t> endOfSubBlocks(std::span<const uint8_t> data, size_t pos) {
    while (pos < data.size()) {
        const size_t n = data[pos];
        pos += 1 + n;
        if (n == 0) return pos;
    }
    return std::nullopt;
}

class GifFileReader {
public:
    GifFileReader(std::span<const uint8_t> data, const std::string& baseName, const GifReadOptions& options)
        : in_(data), data_(data), baseName_(baseName), options_(options) {}

    GifReadOutput run() {
        out_.result = read();
        finishChain();
        if (out_.result == GifOk) report(100);
        return std::move(out_);
    }

private:
    int read() {
        uint8_t header[6];
        if (!in_.read(header, 6)) return GifCorrupt;
        // Only the signature identifies a GIF; the version is not examined.
        if (std::memcmp(header, "GIF", 3) != 0) return GifCorrupt;

        uint8_t screen[7];
        if (!in_.read(screen, 7)) return GifCorrupt;
        out_.screen = {ByteReader::le16(screen), ByteReader::le16(screen + 2)};
        screenPacked_ = screen[4];
        out_.backgroundIndex = screen[5];
        if (screenPacked_ & gif::colorTableFlag) {
            bool ok;
            global_ = readColorTable(in_, screenPacked_, ok);
            if (!ok) return GifCorrupt;
            out_.globalPalette = TMyPalette::fromColorTable(global_.quads, global_.entries);
        }
        inForce_ = global_;

        for (;;) {
            uint8_t introducer;
            // The end of the file in place of the trailer ends the file too.
            if (!in_.readByte(introducer) || introducer == gif::trailer) return GifOk;
            if (introducer == gif::extensionIntroducer) {
                if (int r = readExtension(); r != GifOk) return r;
            } else if (introducer == gif::imageSeparator) {
                if (int r = readImage(); r != GifOk) return r;
            }
            // Any other byte between blocks is ignored.
        }
    }

    int readExtension() {
        uint8_t label;
        if (!in_.readByte(label)) return GifCorrupt;
        switch (label) {
        case gif::commentLabel: return readComment();
        case gif::applicationLabel: return readApplication();
        case gif::graphicControlLabel:
            if (!in_.read(pendingControl_, 6)) return GifCorrupt;
            if (pendingControl_[0] != gif::graphicControlSize) return GifCorrupt;
            return GifOk;
        default:
            return skipSubBlocks() ? GifOk : GifCorrupt;
        }
    }

    bool skipSubBlocks() {
        for (uint8_t n;;) {
            if (!in_.readByte(n)) return false;
            if (n == 0) return true;
            if (!in_.skip(n)) return false;
        }
    }

    int readComment() {
        auto frame = std::make_unique<TTextFrame>();
        for (uint8_t n;;) {
            if (!in_.readByte(n)) return GifCorrupt;
            if (n == 0) break;
            auto bytes = in_.take(n);
            if (bytes.empty()) return GifCorrupt;
            frame->appendText(std::string_view(reinterpret_cast<const char*>(bytes.data()), n));
        }
        if (!charge(frameOverhead + frame->textLength())) return GifNoMemory;
        disposals_.push_back(0);
        out_.frames.push_back(std::move(frame));
        return GifOk;
    }

    int readApplication() {
        uint8_t size;
        if (!in_.readByte(size)) return GifCorrupt;
        auto id = in_.take(size);
        if (size && id.empty()) return GifCorrupt;
        bool looping = false;
        if (size == gif::applicationIdSize) {
            // The first eight letters in any case name the looping block;
            // its version is not examined.
            looping = true;
            for (int i = 0; i < 8; ++i)
                if (std::tolower(id[size_t(i)]) != std::tolower(gif::loopingApplicationId[i])) looping = false;
        }
        if (looping) out_.loopFound = true;
        uint8_t n;
        if (!in_.readByte(n)) return GifCorrupt;
        if (n == 0) return GifOk;
        auto block = in_.take(n);
        if (block.empty()) return GifCorrupt;
        if (looping && n == gif::loopingSubBlockSize) {
            const int32_t value = block[1] + 256 * block[2];
            out_.loopCount = value != 0 ? value + 1 : 0;
        }
        return skipSubBlocks() ? GifOk : GifCorrupt;
    }

    int readImage() {
        uint8_t desc[9];
        if (!in_.read(desc, 9)) return GifCorrupt;
        const uint32_t left = ByteReader::le16(desc), top = ByteReader::le16(desc + 2);
        const uint32_t width = ByteReader::le16(desc + 4), height = ByteReader::le16(desc + 6);
        const uint8_t packed = desc[8];
        const bool interlaced = packed & gif::interlaceFlag;
        if (uint64_t(width) * height < 1) return GifCorrupt;
        if (left + width > 65535 || top + height > 65535) return GifOutsideScreen;

        const bool hasLocal = packed & gif::colorTableFlag;
        if (hasLocal) {
            bool ok;
            inForce_ = readColorTable(in_, packed, ok);
            if (!ok) return GifCorrupt;
        }
        uint8_t minCodeSize;
        if (!in_.readByte(minCodeSize)) return GifCorrupt;
        // Code size 1, which some encoders write for two-colour images, decodes
        // like any other; sizes 9 to 11 are legal as long as every index
        // stays below 256 (the decoder checks).
        if (minCodeSize < 1 || minCodeSize > 11) return GifCorrupt;

        // An image cut off by the end of the file never becomes a frame.
        const size_t start = in_.position();
        const auto end = endOfSubBlocks(data_, start);
        if (!end) return GifCorrupt;

        const uint64_t pixels = uint64_t(width) * height;
        const uint64_t bytes = uint64_t(dibStride(int32_t(width))) * height + frameOverhead;
        if (pixels > options_.limits.maxImagePixels || !charge(bytes) || !screenFits(left + width, top + height))
            return GifNoMemory;
        std::vector<uint8_t>& buffer = indices_;
        try {
            buffer.assign(size_t(pixels), 0);
        } catch (const std::bad_alloc&) {
            return GifNoMemory;
        }

        const double before = share(start), after = share(*end);
        ProgressBand rows(&reporter_, int(before), int(before + (after - before) * 0.75));
        std::function<void(int)> rowsDone;
        if (options_.progress) rowsDone = [&rows](int percent) { rows.setProgress(percent); };
        const LzwResult r = decoder_.decode(in_, minCodeSize, buffer.data(), width, height, interlaced, rowsDone);
        if (r != LzwResult::Complete) return GifCorrupt;
        std::shared_ptr<const OriginalImageData> original;
        // Interlaced data holds the rows in another order than a save writes
        // them, so it is not kept.
        // A large image is kept as its data and decoded when it is first
        // looked at; its pixels no longer count against the limits.
        const bool park = !interlaced && decoder_.exact() && pixels >= parkFromPixels;
        if (!interlaced && decoder_.exact())
            original = keepOriginal(start, *end, park ? nullptr : buffer.data(), width, height, minCodeSize);
        std::unique_ptr<TDib256> image;
        // A frame painted as it is read is painted from its pixels as they
        // are, then parked.
        if (park && !options_.paint) {
            image = TDib256::parked(int32_t(width), int32_t(height), original);
        } else {
            image = std::make_unique<TDib256>(int32_t(width), int32_t(height));
            for (uint32_t y = 0; y < height; ++y)
                std::memcpy(image->row(int32_t(y)), buffer.data() + size_t(y) * width, width);
            if (original) image->keepPacked(original);
        }
        if (park) decodedBytes_ -= bytes - frameOverhead;
        image->colors() = inForce_.quads;
        image->colorsUsed = inForce_.entries;
        if (buffer.size() > (size_t(1) << 24)) std::vector<uint8_t>().swap(buffer);

        char suffix[16];
        std::snprintf(suffix, sizeof suffix, ".%03d", imageCount_++);
        auto frame = std::make_unique<TFrame>(baseName_ + suffix, std::move(image));
        frame->original = std::move(original);
        frame->moveTo({int32_t(left), int32_t(top)});
        if (out_.backgroundIndex < inForce_.entries) frame->backgroundIndex = out_.backgroundIndex;
        uint8_t disposal = 0;
        if (pendingControl_[0] != 0) {
            const uint8_t control = pendingControl_[1];
            frame->frameTime = ByteReader::le16(pendingControl_ + 2) * 10;
            if (control & gif::transparentFlag) frame->transparentIndex = pendingControl_[4];
            disposal = (control >> gif::disposalShift) & 7;
            if (disposal == 2) frame->restoreToBackground = true;
            else if (control & gif::transparentFlag) frame->overlay = true;
        } else {
            frame->withoutControl = true;
        }
        std::memset(pendingControl_, 0, sizeof pendingControl_);
        if (hasLocal) frame->localPalette = std::make_unique<TMyPalette>(TMyPalette::fromColorTable(inForce_.quads, inForce_.entries));
        inForce_ = global_;

        if (options_.paint) {
            options_.paint(*frame);
            if (park) frame->image->park();
        }
        disposals_.push_back(disposal);
        out_.frames.push_back(std::move(frame));
        report(int(after));
        return GifOk;
    }

    // The image's data sub-blocks from start to end (past the terminator),
    // joined, with what they decode to (its fingerprint worked out later
    // when indices is null).  They are not charged against the
    // limits: all of them together are no larger than the file, which is in
    // memory already.
    std::shared_ptr<const OriginalImageData> keepOriginal(size_t start, size_t end, const uint8_t* indices,
                                                          uint32_t width, uint32_t height, int minCodeSize) {
        auto original = std::make_shared<OriginalImageData>();
        original->codes.reserve(end - start);
        for (size_t pos = start; data_[pos] != 0; pos += 1 + data_[pos])
            original->codes.insert(original->codes.end(), data_.begin() + std::ptrdiff_t(pos) + 1,
                                   data_.begin() + std::ptrdiff_t(pos) + 1 + data_[pos]);
        if (indices) original->setFingerprint(indexFingerprint(indices, std::ptrdiff_t(width), width, height));
        original->valuesUsed = decoder_.valuesUsed();
        original->width = width;
        original->height = height;
        original->minCodeSize = minCodeSize;
        return original;
    }

    // The animation is composed on a screen reaching the far corner of every
    // frame, so that screen is held to the limit of one image: a small file
    // placing a frame at 65535, 65535 would otherwise have the editor
    // allocate gigabytes for it.
    bool screenFits(uint64_t right, uint64_t bottom) {
        screenRight_ = std::max(screenRight_, right);
        screenBottom_ = std::max(screenBottom_, bottom);
        return screenRight_ * screenBottom_ <= options_.limits.maxImagePixels;
    }

    // Counts decoded bytes against the limits; false when they are exceeded.
    bool charge(uint64_t bytes) {
        decodedBytes_ += bytes;
        return decodedBytes_ <= options_.limits.maxTotalBytes &&
               out_.frames.size() < options_.limits.maxFrames;
    }

    // Rewriting "restore to previous" frames (RestorePrevious.h) works on two
    // true-colour canvases of the whole screen plus a copy of the part under
    // each frame, and may extend every image after the first such frame to
    // the whole screen.  That counts against the limits like the decoded
    // frames do: otherwise a file of a few bytes placing one frame far out
    // makes the rewrite allocate gigabytes and run for minutes.  The rewrite
    // cannot tell what it will really use, so the worst case is charged.
    // False when it does not fit.
    bool affordRestorePrevious() {
        TRect bounds{0, 0, 1, 1};
        uint64_t laterImages = 0;
        bool previousSeen = false;
        for (size_t i = 0; i < out_.frames.size(); ++i) {
            const TFrame& f = *out_.frames[i];
            if (!f.hasImage()) continue;
            bounds = bounds.united(f.rect);
            if (previousSeen) ++laterImages;
            if (disposals_[i] == 3) previousSeen = true;
        }
        // Nothing is rewritten unless an image before the last one restores
        // to the previous screen.
        if (laterImages == 0) return true;
        const uint64_t pixels = uint64_t(bounds.right) * uint64_t(bounds.bottom);
        const uint64_t canvases = 3 * 4 * pixels;  // 4 bytes a pixel
        const uint64_t screenImage = uint64_t(dibStride(bounds.right)) * uint64_t(bounds.bottom) + frameOverhead;
        const uint64_t limit = options_.limits.maxTotalBytes;
        if (decodedBytes_ > limit || canvases > limit - decodedBytes_) return false;
        const uint64_t left = limit - decodedBytes_ - canvases;
        if (laterImages > left / screenImage) return false;
        decodedBytes_ += canvases + laterImages * screenImage;
        return true;
    }

    double share(size_t pos) const { return data_.empty() ? 0 : 100.0 * double(pos) / double(data_.size()); }

    void report(int percent) {
        if (!options_.progress || percent == lastPercent_) return;
        lastPercent_ = percent;
        options_.progress->setProgress(std::clamp(percent, 0, 100));
    }
    // The decoder's reports, passed on as the reader's own.
    struct Reporter : Progress {
        explicit Reporter(GifFileReader& reader) : reader_(reader) {}
        void setProgress(int percent) override { reader_.report(percent); }
        GifFileReader& reader_;
    } reporter_{*this};

    void finishChain() {
        if (affordRestorePrevious()) {
            resolveRestoreToPrevious(out_.frames, disposals_, out_.globalPalette ? &*out_.globalPalette : nullptr);
        } else if (out_.result == GifOk) {
            // The frames are kept as read, "restore to previous" shown as "do
            // not restore", like the frames kept after any other error.
            out_.result = GifNoMemory;
        }
        linkChain(out_.frames);
        if (!out_.frames.empty()) {
            TFrame& last = *out_.frames.back();
            if (last.transparentIndex >= 0) {
                last.restoreToBackground = true;
                last.overlay = false;
            }
        }
    }

    ByteReader in_;
    std::span<const uint8_t> data_;
    std::string baseName_;
    const GifReadOptions& options_;
    GifReadOutput out_;
    LzwDecoder decoder_;
    // The indices of the image being read, top row first.
    std::vector<uint8_t> indices_;
    uint8_t screenPacked_ = 0;
    ColorTableInForce global_, inForce_;
    uint8_t pendingControl_[6] = {};
    std::vector<uint8_t> disposals_;
    int imageCount_ = 0;
    uint64_t decodedBytes_ = 0;
    uint64_t screenRight_ = 1, screenBottom_ = 1;  // far corner of the frames so far
    int lastPercent_ = -1;
};

}  // namespace

std::string baseNameOf(const std::string& path) {
    const size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

GifReadOutput readGifMemory(std::span<const uint8_t> data, const std::string& baseName,
                            const GifReadOptions& options) {
    try {
        return GifFileReader(data, baseName, options).run();
    } catch (const std::bad_alloc&) {
        GifReadOutput out;
        out.result = GifNoMemory;
        return out;
    }
}

GifReadOutput readGif(const std::string& path, const GifReadOptions& options) {
    std::vector<uint8_t> data;
    switch (readWholeFile(path, data)) {
    case ReadFileResult::CannotOpen: {
        GifReadOutput out;
        out.result = GifCannotOpen;
        return out;
    }
    case ReadFileResult::NoMemory: {
        GifReadOutput out;
        out.result = GifNoMemory;
        return out;
    }
    case ReadFileResult::Ok: break;
    }
    return readGifMemory(data, baseNameOf(path), options);
}

std::string gifResultMessage(int result, const std::string& path) {
    switch (result) {
    case GifNoMemory: return "Failed to allocate memory";
    case GifCannotOpen: return "Cannot open file \"" + path + "\"";
    case GifCorrupt: return "File \"" + path + "\" \nis not GIF format or is corrupted";
    case GifOutsideScreen: return "File \"" + path + "\" \nhas a frame past 65535, where a GIF's screen ends";
    default: return {};
    }
}

}  // namespace movigram
