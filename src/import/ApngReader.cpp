#include "ApngReader.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>

#include "PngReader.h"
#include "gif/ByteReader.h"

namespace movigram {
namespace {

uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
uint16_t be16(const uint8_t* p) { return uint16_t(p[0] << 8 | p[1]); }

void putBe32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(uint8_t(v >> shift));
}

// Chunk layout: length (4 bytes, at most 2^31 - 1), type (4), data, CRC of
// type and data (4).
struct Chunk {
    std::string_view type;
    std::span<const uint8_t> data;
    std::span<const uint8_t> whole;
    bool crcOk() const { return pngCrc(whole.subspan(4, whole.size() - 8)) == be32(&whole[whole.size() - 4]); }
};

// The next chunk, or nothing when the bytes left cannot hold it.
std::optional<Chunk> nextChunk(ByteReader& in) {
    const size_t start = in.position();
    const std::span<const uint8_t> head = in.take(8);
    if (head.empty()) return std::nullopt;
    const uint32_t length = be32(head.data());
    if (length > 0x7FFFFFFFu || in.remaining() < size_t(length) + 4) return std::nullopt;
    Chunk chunk;
    chunk.type = std::string_view(reinterpret_cast<const char*>(head.data() + 4), 4);
    chunk.data = in.take(length);
    in.skip(4);
    chunk.whole = std::span<const uint8_t>(head.data(), in.position() - start);
    return chunk;
}

// Frame control, 26 bytes: sequence number, width, height, x, y (4 bytes
// each), delay numerator and denominator (2 each), dispose op, blend op.
bool parseFrameControl(std::span<const uint8_t> d, const ApngLayout& layout, ApngFrame& frame, std::string& problem) {
    if (d.size() != 26) return problem = "a frame control of the wrong size", false;
    frame.width = be32(&d[4]);
    frame.height = be32(&d[8]);
    frame.x = be32(&d[12]);
    frame.y = be32(&d[16]);
    const uint32_t num = be16(&d[20]);
    // A zero denominator means hundredths of a second.
    const uint32_t den = be16(&d[22]) == 0 ? 100 : be16(&d[22]);
    frame.delay = int32_t((uint64_t(num) * 1000 + den / 2) / den);
    if (d[24] > 2 || d[25] > 1) return problem = "an unknown dispose or blend operation", false;
    frame.dispose = ApngDispose(d[24]);
    frame.blend = ApngBlend(d[25]);
    if (frame.width == 0 || frame.height == 0 || uint64_t(frame.x) + frame.width > layout.width ||
        uint64_t(frame.y) + frame.height > layout.height)
        return problem = "a frame outside the picture", false;
    return true;
}

std::vector<uint8_t> chunkBytes(const char* type, std::span<const uint8_t> data) {
    std::vector<uint8_t> out;
    out.reserve(data.size() + 12);
    putBe32(out, uint32_t(data.size()));
    out.insert(out.end(), type, type + 4);
    out.insert(out.end(), data.begin(), data.end());
    putBe32(out, pngCrc(std::span<const uint8_t>(out.data() + 4, data.size() + 4)));
    return out;
}

// The frame as a PNG file of its own.
std::vector<uint8_t> framePng(const ApngLayout& layout, const ApngFrame& frame) {
    static const uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> png(signature, signature + 8);
    auto append = [&png](const std::vector<uint8_t>& bytes) { png.insert(png.end(), bytes.begin(), bytes.end()); };
    std::array<uint8_t, 13> header;
    std::copy(layout.header.begin(), layout.header.end(), header.begin());
    for (int i = 0; i < 4; ++i) {
        header[size_t(i)] = uint8_t(frame.width >> (24 - 8 * i));
        header[size_t(4 + i)] = uint8_t(frame.height >> (24 - 8 * i));
    }
    append(chunkBytes("IHDR", header));
    for (std::span<const uint8_t> chunk : layout.shared) png.insert(png.end(), chunk.begin(), chunk.end());
    for (std::span<const uint8_t> data : frame.data) append(chunkBytes("IDAT", data));
    append(chunkBytes("IEND", {}));
    return png;
}

// Straight-alpha "over": the frame's pixel in front of the canvas's.
void blendOver(uint8_t* dst, const uint8_t* src) {
    const unsigned sa = src[3];
    if (sa == 255) {
        std::memcpy(dst, src, 4);
        return;
    }
    if (sa == 0) return;
    const unsigned da = dst[3];
    // Alpha in 255ths squared: the source's, and what of the canvas shows through it.
    const unsigned front = sa * 255, back = da * (255 - sa);
    const unsigned total = front + back;
    for (int c = 0; c < 3; ++c) dst[c] = uint8_t((src[c] * front + dst[c] * back + total / 2) / total);
    dst[3] = uint8_t((total + 127) / 255);
}

void copyRegion(RgbaPicture& to, const RgbaPicture& from, const ApngFrame& f, bool intoRegion) {
    for (uint32_t y = 0; y < f.height; ++y) {
        const size_t bytes = size_t(f.width) * 4;
        if (intoRegion)
            std::memcpy(to.row(int32_t(f.y + y)) + size_t(f.x) * 4, from.row(int32_t(y)), bytes);
        else
            std::memcpy(to.row(int32_t(y)), from.row(int32_t(f.y + y)) + size_t(f.x) * 4, bytes);
    }
}

}  // namespace

uint32_t pngCrc(std::span<const uint8_t> bytes, uint32_t crc) {
    static const auto table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t n = 0; n < 256; ++n) {
            uint32_t c = n;
            for (int k = 0; k < 8; ++k) c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[n] = c;
        }
        return t;
    }();
    crc = ~crc;
    for (uint8_t b : bytes) crc = table[(crc ^ b) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

std::optional<ApngLayout> apngLayout(std::span<const uint8_t> file, const DecodeLimits& limits, std::string* problemOut) {
    std::string problem;
    auto broken = [&](std::string why) -> std::optional<ApngLayout> {
        if (problemOut) *problemOut = std::move(why);
        return std::nullopt;
    };
    if (!isPngSignature(file)) return broken("not a PNG file");
    ByteReader in(file);
    in.skip(8);
    ApngLayout layout;
    bool animated = false, seenData = false, dataEnded = false, defaultIsFrame = false;
    uint32_t frameCount = 0, sequence = 0;
    while (std::optional<Chunk> chunk = nextChunk(in)) {
        const std::string_view type = chunk->type;
        if (type == "IEND") break;
        if (layout.header.empty()) {
            if (type != "IHDR" || chunk->data.size() != 13) return broken("no header");
            layout.header = chunk->data;
            layout.width = be32(&chunk->data[0]);
            layout.height = be32(&chunk->data[4]);
            continue;
        }
        const bool control = type == "acTL" || type == "fcTL" || type == "fdAT";
        // A still picture: libpng reads it and checks its chunks.
        if (type == "IDAT" && !animated) return broken("no animation");
        if ((control || type == "IDAT") && !chunk->crcOk()) return broken(std::string(type) + " checksum mismatch");
        if (type == "IDAT") {
            if (dataEnded) continue;
            seenData = true;
            if (defaultIsFrame) layout.frames.back().data.push_back(chunk->data);
            continue;
        }
        if (seenData) dataEnded = true;
        if (type == "acTL") {
            // After the picture data, or a second one: not read, as a browser does.
            if (seenData || animated) continue;
            if (chunk->data.size() != 8) return broken("an animation control of the wrong size");
            frameCount = be32(&chunk->data[0]);
            layout.plays = be32(&chunk->data[4]);
            if (frameCount == 0) return broken("an animation of no frames");
            animated = true;
        } else if (type == "PLTE" || type == "tRNS") {
            if (!seenData) layout.shared.push_back(chunk->whole);
        } else if (type == "fcTL" || type == "fdAT") {
            if (!animated) continue;
            if (chunk->data.size() < 4 || be32(chunk->data.data()) != sequence++)
                return broken("frame chunks out of sequence");
            if (type == "fdAT") {
                if (!seenData || layout.frames.empty() || (defaultIsFrame && layout.frames.size() == 1))
                    return broken("frame data without its frame control");
                layout.frames.back().data.push_back(chunk->data.subspan(4));
                continue;
            }
            if (!layout.frames.empty() && layout.frames.back().data.empty())
                return broken("a frame control without data");
            // Frames past the announced count are not shown.
            if (layout.frames.size() >= frameCount) break;
            ApngFrame frame;
            if (!parseFrameControl(chunk->data, layout, frame, problem)) return broken(problem);
            if (!seenData) {
                if (defaultIsFrame) return broken("two frame controls before the picture data");
                if (frame.x != 0 || frame.y != 0 || frame.width != layout.width || frame.height != layout.height)
                    return broken("a first frame that is not the whole picture");
                defaultIsFrame = true;
            }
            if (layout.frames.size() >= limits.maxFrames) return broken("more frames than allowed");
            layout.frames.push_back(std::move(frame));
        }
    }
    if (!animated) return broken("no animation");
    // Lenient: fewer frames than announced (a file cut short) shows those
    // there are; a frame without data is dropped.
    if (!layout.frames.empty() && layout.frames.back().data.empty()) layout.frames.pop_back();
    if (layout.frames.empty()) return broken("no frames");
    return layout;
}

DecodeStatus decodeApng(const ApngLayout& layout, const DecodeLimits& limits, const ScreenSink& sink) {
    std::optional<RgbaPicture> canvas = RgbaPicture::create(layout.width, layout.height, limits);
    if (!canvas) return {DecodeEnd::NoMemory, "the picture is larger than allowed"};
    std::optional<RgbaPicture> saved;
    for (size_t i = 0; i < layout.frames.size(); ++i) {
        const ApngFrame& f = layout.frames[i];
        PngPicture picture = decodePng(framePng(layout, f), limits, PngForm::Rgba);
        if (!picture.rgba)
            return {picture.status.end, "frame " + std::to_string(i + 1) + ": " + picture.status.detail};
        // "Previous" before the first frame is the empty canvas, as browsers
        // take it.
        const ApngDispose dispose = f.dispose;
        if (dispose == ApngDispose::Previous) {
            saved = RgbaPicture::create(f.width, f.height, limits);
            if (!saved) return {DecodeEnd::NoMemory, "no memory for a frame"};
            copyRegion(*saved, *canvas, f, false);
        }
        if (f.blend == ApngBlend::Source) {
            copyRegion(*canvas, *picture.rgba, f, true);
        } else {
            for (uint32_t y = 0; y < f.height; ++y) {
                uint8_t* dst = canvas->row(int32_t(f.y + y)) + size_t(f.x) * 4;
                const uint8_t* src = picture.rgba->row(int32_t(y));
                for (uint32_t x = 0; x < f.width; ++x) blendOver(dst + x * 4, src + x * 4);
            }
        }
        if (!sink(*canvas, f.delay)) return {};
        if (dispose == ApngDispose::Background) {
            for (uint32_t y = 0; y < f.height; ++y)
                std::memset(canvas->row(int32_t(f.y + y)) + size_t(f.x) * 4, 0, size_t(f.width) * 4);
        } else if (dispose == ApngDispose::Previous) {
            copyRegion(*canvas, *saved, f, true);
        }
    }
    return {};
}

}  // namespace movigram
