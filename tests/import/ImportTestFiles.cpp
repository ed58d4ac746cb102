#include "ImportTestFiles.h"

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

#include <jpeglib.h>
#include <png.h>

namespace movigram::test {

void put16(Bytes& b, unsigned v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
}

void put32(Bytes& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}

namespace {

void putTag(Bytes& b, const char* tag) { b.insert(b.end(), tag, tag + 4); }

void set32(Bytes& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

}  // namespace

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    dir_ = std::filesystem::temp_directory_path() /
           ("movigram-import-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::create_directories(dir_);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string ScratchDir::write(const std::string& name, const Bytes& bytes) const {
    const std::string p = path(name);
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return p;
}

Bytes packIndexedRows(int width, int height, int bitCount, const std::function<int(int, int)>& value, bool topDown) {
    const size_t rowBytes = (size_t(width) * size_t(bitCount) + 31) / 32 * 4;
    Bytes out(rowBytes * size_t(height), 0);
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        uint8_t* row = out.data() + size_t(r) * rowBytes;
        for (int x = 0; x < width; ++x) {
            const size_t bit = size_t(x) * size_t(bitCount);
            row[bit / 8] |= uint8_t(value(x, y) << (8 - bitCount - int(bit % 8)));
        }
    }
    return out;
}

Bytes packPixelRows(int width, int height, int bytesPerPixel, const std::function<uint32_t(int, int)>& pixel,
                    bool topDown) {
    const size_t rowBytes = (size_t(width) * size_t(bytesPerPixel) + 3) / 4 * 4;
    Bytes out(rowBytes * size_t(height), 0);
    for (int r = 0; r < height; ++r) {
        const int y = topDown ? r : height - 1 - r;
        for (int x = 0; x < width; ++x) {
            const uint32_t p = pixel(x, y);
            for (int i = 0; i < bytesPerPixel; ++i)
                out[size_t(r) * rowBytes + size_t(x) * size_t(bytesPerPixel) + size_t(i)] = uint8_t(p >> (8 * i));
        }
    }
    return out;
}

Bytes bmpFile(const BmpSpec& s) {
    Bytes b{'B', 'M'};
    put32(b, 0);  // file size, set below
    put32(b, 0);
    put32(b, 0);  // pixel offset, set below
    put32(b, uint32_t(s.headerSize));
    if (s.headerSize == 12) {
        put16(b, unsigned(s.width));
        put16(b, unsigned(s.height));
        put16(b, unsigned(s.planes));
        put16(b, unsigned(s.bitCount));
    } else {
        put32(b, uint32_t(s.width));
        put32(b, uint32_t(s.height));
        put16(b, unsigned(s.planes));
        put16(b, unsigned(s.bitCount));
        put32(b, s.compression);
        put32(b, uint32_t(s.pixels.size()));
        put32(b, 2835);
        put32(b, 2835);
        put32(b, s.colorsUsed);
        put32(b, 0);
        const size_t headerEnd = 14 + size_t(s.headerSize);
        for (uint32_t m : s.masks) put32(b, m);
        if (b.size() < headerEnd) b.resize(headerEnd, 0);
    }
    for (const Rgb8& c : s.palette) {
        b.push_back(c.blue);
        b.push_back(c.green);
        b.push_back(c.red);
        if (s.headerSize != 12) b.push_back(0);
    }
    set32(b, 10, uint32_t(b.size()));
    b.insert(b.end(), s.pixels.begin(), s.pixels.end());
    set32(b, 2, uint32_t(b.size()));
    return b;
}

int pcxBytesPerLine(const PcxSpec& s) {
    if (s.bytesPerLine) return s.bytesPerLine;
    const int bytes = (s.width * s.bitsPerPixel + 7) / 8;
    return bytes + (bytes & 1);
}

Bytes pcxFile(const PcxSpec& s) {
    Bytes b(128, 0);
    b[0] = s.manufacturer;
    b[1] = s.version;
    b[2] = 1;
    b[3] = uint8_t(s.bitsPerPixel);
    b[8] = uint8_t(s.width - 1), b[9] = uint8_t((s.width - 1) >> 8);
    b[10] = uint8_t(s.height - 1), b[11] = uint8_t((s.height - 1) >> 8);
    for (size_t i = 0; i < s.headerColors.size() && i < 16; ++i) {
        b[16 + 3 * i] = s.headerColors[i].red;
        b[17 + 3 * i] = s.headerColors[i].green;
        b[18 + 3 * i] = s.headerColors[i].blue;
    }
    b[65] = uint8_t(s.planes);
    const int bpl = pcxBytesPerLine(s);
    b[66] = uint8_t(bpl), b[67] = uint8_t(bpl >> 8);
    b[82] = uint8_t(s.colorMask), b[83] = uint8_t(s.colorMask >> 8);
    if (!s.encoded.empty()) {
        b.insert(b.end(), s.encoded.begin(), s.encoded.end());
    } else {
        // Runs of up to 63 within each plane line; bytes with both top bits
        // set always go as runs.
        for (size_t start = 0; start < s.lines.size(); start += size_t(bpl)) {
            const uint8_t* p = s.lines.data() + start;
            const int end = int(std::min(s.lines.size() - start, size_t(bpl)));
            for (int i = 0; i < end;) {
                int n = 1;
                while (i + n < end && n < 63 && p[i + n] == p[i]) ++n;
                if (n > 1 || p[i] >= 0xC0) b.push_back(uint8_t(0xC0 | n));
                b.push_back(p[i]);
                i += n;
            }
        }
    }
    if (!s.trailer.empty()) {
        b.push_back(12);
        for (size_t i = 0; i < 256; ++i) {
            const Rgb8 c = i < s.trailer.size() ? s.trailer[i] : Rgb8{};
            b.push_back(c.red);
            b.push_back(c.green);
            b.push_back(c.blue);
        }
    }
    return b;
}

Bytes jpegFile(int width, int height, int components, const std::function<void(int, int, uint8_t*)>& sample) {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr errors;
    cinfo.err = jpeg_std_error(&errors);
    jpeg_create_compress(&cinfo);
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&cinfo, &buffer, &size);
    cinfo.image_width = JDIMENSION(width);
    cinfo.image_height = JDIMENSION(height);
    cinfo.input_components = components;
    cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 3 ? JCS_RGB : JCS_CMYK;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, 100, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    std::vector<uint8_t> row(size_t(width) * size_t(components));
    while (cinfo.next_scanline < cinfo.image_height) {
        const int y = int(cinfo.next_scanline);
        for (int x = 0; x < width; ++x) sample(x, y, row.data() + size_t(x) * size_t(components));
        JSAMPROW rows[1] = {row.data()};
        jpeg_write_scanlines(&cinfo, rows, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    Bytes out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

Bytes aviFile(const AviSpec& s) {
    const uint32_t frameBytes = s.frames.empty() ? 0 : uint32_t(s.frames.front().size());
    const uint32_t declared = s.declaredFrames ? s.declaredFrames : uint32_t(s.frames.size());

    Bytes strh;
    putTag(strh, "vids");
    put32(strh, s.compression);  // handler
    put32(strh, 0);
    put32(strh, 0);
    put32(strh, 0);
    put32(strh, s.scale);
    put32(strh, s.rate);
    put32(strh, 0);
    put32(strh, declared);
    put32(strh, frameBytes);
    put32(strh, 0xFFFFFFFF);
    put32(strh, 0);
    put16(strh, 0), put16(strh, 0), put16(strh, unsigned(s.width)), put16(strh, unsigned(s.height));

    Bytes strf;
    put32(strf, 40);
    put32(strf, uint32_t(s.width));
    put32(strf, uint32_t(s.height));
    put16(strf, 1);
    put16(strf, unsigned(s.bitCount));
    put32(strf, s.compression);
    put32(strf, frameBytes);
    put32(strf, 0), put32(strf, 0);
    put32(strf, uint32_t(s.palette.size()));
    put32(strf, 0);
    for (const Rgb8& c : s.palette) {
        strf.push_back(c.blue), strf.push_back(c.green), strf.push_back(c.red), strf.push_back(0);
    }

    Bytes avih;
    put32(avih, s.rate ? uint32_t(uint64_t(1000000) * s.scale / s.rate) : 0);
    put32(avih, 0), put32(avih, 0), put32(avih, 0x10);
    put32(avih, declared);
    put32(avih, 0), put32(avih, 1), put32(avih, frameBytes);
    put32(avih, uint32_t(s.width)), put32(avih, uint32_t(s.height));
    put32(avih, 0), put32(avih, 0), put32(avih, 0), put32(avih, 0);

    auto chunk = [](Bytes& out, const char* tag, const Bytes& data) {
        putTag(out, tag);
        put32(out, uint32_t(data.size()));
        out.insert(out.end(), data.begin(), data.end());
        if (data.size() & 1) out.push_back(0);
    };
    auto list = [&](Bytes& out, const char* type, const Bytes& body) {
        Bytes data;
        putTag(data, type);
        data.insert(data.end(), body.begin(), body.end());
        chunk(out, "LIST", data);
    };

    Bytes strl, hdrl, movi, idx1;
    chunk(strl, "strh", strh);
    chunk(strl, "strf", strf);
    chunk(hdrl, "avih", avih);
    list(hdrl, "strl", strl);
    uint32_t offset = 4;
    for (const Bytes& f : s.frames) {
        putTag(idx1, s.compression ? "00dc" : "00db");
        put32(idx1, 0x10), put32(idx1, offset), put32(idx1, uint32_t(f.size()));
        chunk(movi, s.compression ? "00dc" : "00db", f);
        offset += 8 + uint32_t((f.size() + 1) & ~size_t(1));
    }
    Bytes body;
    putTag(body, "AVI ");
    list(body, "hdrl", hdrl);
    list(body, "movi", movi);
    chunk(body, "idx1", idx1);
    Bytes file;
    chunk(file, "RIFF", body);
    return file;
}

bool readPng(const std::string& path, RgbPicture& out) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> buffer(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, buffer.data(), 0, nullptr)) return false;
    out.width = int(image.width);
    out.height = int(image.height);
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (size_t i = 0; i < out.pixels.size(); ++i)
        out.pixels[i] = {buffer[3 * i], buffer[3 * i + 1], buffer[3 * i + 2]};
    return true;
}

bool readPpm(const std::string& path, RgbPicture& out) {
    std::ifstream in(path, std::ios::binary);
    std::string magic;
    int maxValue = 0;
    in >> magic >> out.width >> out.height >> maxValue;
    if (magic != "P6" || maxValue != 255) return false;
    in.get();
    std::vector<char> data(size_t(out.width) * size_t(out.height) * 3);
    if (!in.read(data.data(), std::streamsize(data.size()))) return false;
    out.pixels.resize(size_t(out.width) * size_t(out.height));
    for (size_t i = 0; i < out.pixels.size(); ++i)
        out.pixels[i] = {uint8_t(data[3 * i]), uint8_t(data[3 * i + 1]), uint8_t(data[3 * i + 2])};
    return true;
}

Rgb8 colorAt(const TDib256& image, int x, int y) {
    const RgbQuad& q = image.colors()[image.pixel(x, y)];
    return {q.red, q.green, q.blue};
}

}  // namespace movigram::test
