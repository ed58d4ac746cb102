#include "Recordings.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "gif/ByteSink.h"
#include "gif/GifBlockWriter.h"
#include "gif/LzwEncoder.h"

namespace movigram::bench {

bool writeGifFile(const std::string& path, const std::function<void(ByteSink&)>& write) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file) return false;
    ByteSink out(file);
    write(out);
    const bool ok = out.flush();
    return std::fclose(file) == 0 && ok;
}

bool writeTinyRecording(const std::string& path, int frames) {
    constexpr int screen = 64, side = 4, tableBits = 4;
    return writeGifFile(path, [&](ByteSink& out) {
        gif::putHeader(out, screen, screen, tableBits, 0);
        for (int c = 0; c < (1 << tableBits); ++c) {
            out.put(uint8_t(c * 16));
            out.put(uint8_t(255 - c * 16));
            out.put(uint8_t((c * 85) & 0xFF));
        }
        gif::putLoopingExtension(out, 0);
        LzwEncoder encoder;
        std::vector<uint8_t> pixels(side * side);
        for (int i = 0; i < frames; ++i) {
            for (int p = 0; p < side * side; ++p) pixels[size_t(p)] = uint8_t((i + p / side) % 15 + 1);
            const uint32_t x = uint32_t((i * 3) % (screen - side)), y = uint32_t((i * 7 / 5) % (screen - side));
            gif::putGraphicControl(out, 0, -1, 4);
            gif::putImageDescriptor(out, x, y, side, side, 0);
            encoder.encode(pixels.data(), side, side, side, tableBits, out);
        }
        gif::putTrailer(out);
    });
}

const char* hdKindName(HdKind kind) {
    switch (kind) {
    case HdKind::ScreenLike: return "screen-like";
    case HdKind::FullMotion: return "full-motion";
    case HdKind::FullScreens: return "full screens";
    }
    return "";
}

bool writeHdRecording(const std::string& path, int frames, HdKind kind) {
    constexpr uint32_t width = 1920, height = 1080, tableBits = 6;
    constexpr uint32_t windowWidth = 800, windowHeight = 450;
    return writeGifFile(path, [&](ByteSink& out) {
        gif::putHeader(out, width, height, tableBits, 0);
        for (int c = 0; c < (1 << tableBits); ++c) {
            out.put(uint8_t((c & 3) * 85));
            out.put(uint8_t((c >> 2 & 3) * 85));
            out.put(uint8_t((c >> 4 & 3) * 85));
        }
        gif::putLoopingExtension(out, 0);
        LzwEncoder encoder;
        std::vector<uint8_t> pixels(size_t(width) * height), window(size_t(windowWidth) * windowHeight);
        for (int i = 0; i < frames; ++i) {
            uint32_t x = 0, y = 0, w = width, h = height;
            if (kind == HdKind::FullMotion) {
                for (uint32_t py = 0; py < h; ++py)
                    for (uint32_t px = 0; px < w; ++px)
                        pixels[size_t(py) * w + px] =
                            uint8_t(((px + uint32_t(i) * 12) / 24 ^ (py + uint32_t(i) * 5) / 24) % 61 + 1);
            } else if (i == 0) {
                std::fill(pixels.begin(), pixels.end(), uint8_t(21));
            } else {
                x = uint32_t(i * 37) % (width - windowWidth), y = uint32_t(i * 23) % (height - windowHeight);
                for (uint32_t py = 0; py < windowHeight; ++py)
                    for (uint32_t px = 0; px < windowWidth; ++px)
                        window[size_t(py) * windowWidth + px] =
                            uint8_t((py + uint32_t(i)) % 18 < 12 && (px / 7 + (py + uint32_t(i)) / 18) % 5 != 0 ? 63 : 1);
                if (kind == HdKind::FullScreens) {
                    std::fill(pixels.begin(), pixels.end(), uint8_t(21));
                    for (uint32_t py = 0; py < windowHeight; ++py)
                        std::copy_n(window.data() + size_t(py) * windowWidth, windowWidth,
                                    pixels.data() + size_t(y + py) * width + x);
                    x = y = 0;
                } else {
                    w = windowWidth, h = windowHeight;
                }
            }
            gif::putGraphicControl(out, 0, -1, 10);
            gif::putImageDescriptor(out, x, y, w, h, 0);
            const uint8_t* image = kind == HdKind::ScreenLike && i > 0 ? window.data() : pixels.data();
            encoder.encode(image, w, w, h, tableBits, out);
        }
        gif::putTrailer(out);
    });
}

bool writeLargeRecording(const std::string& path, int frames) {
    constexpr int width = 800, height = 600, tableBits = 8;
    return writeGifFile(path, [&](ByteSink& out) {
        gif::putHeader(out, width, height, tableBits, 0);
        for (int c = 0; c < (1 << tableBits); ++c) {
            out.put(uint8_t(c));
            out.put(uint8_t((c * 7) & 0xFF));
            out.put(uint8_t(255 - c));
        }
        gif::putLoopingExtension(out, 0);
        LzwEncoder encoder;
        std::vector<uint8_t> pixels(size_t(width) * height);
        for (int i = 0; i < frames; ++i) {
            for (int y = 0; y < height; ++y)
                for (int x = 0; x < width; ++x) {
                    const int dx = x - 400 - i, dy = y - 300;
                    pixels[size_t(y) * width + size_t(x)] =
                        uint8_t(((dx * dx + dy * dy) / (600 + 8 * i) + x / 40 + i) & 0xFF);
                }
            gif::putGraphicControl(out, 0, -1, 4);
            gif::putImageDescriptor(out, 0, 0, width, height, 0);
            encoder.encode(pixels.data(), width, width, height, tableBits, out);
        }
        gif::putTrailer(out);
    });
}

}  // namespace movigram::bench

