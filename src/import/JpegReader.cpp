#include "JpegReader.h"

#include <algorithm>
#include <climits>
#include <csetjmp>
#include <cstdio>
#include <memory>
#include <new>

// jpeglib.h needs FILE and size_t declared first.
#include <jpeglib.h>
#include <jerror.h>

#include "document/SharedLibrary.h"

namespace movigram {
namespace {

// libjpeg, opened when the first JPEG is read (document/SharedLibrary.h).
#define MOVIGRAM_JPEG_FUNCTIONS(X)                                                                  \
    X(jpeg_std_error) X(jpeg_CreateDecompress) X(jpeg_stdio_src) X(jpeg_mem_src) X(jpeg_read_header) \
    X(jpeg_start_decompress) X(jpeg_read_scanlines) X(jpeg_finish_decompress) X(jpeg_destroy_decompress)

struct JpegLibrary {
    MOVIGRAM_JPEG_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER)
};

// Null when the library cannot be opened: then no JPEG can be read.
const JpegLibrary* jpegLibrary() {
    return openLibraryOnce<JpegLibrary>(MOVIGRAM_JPEG_SONAME, [](void* handle, JpegLibrary& lib) {
        bool complete = true;
        MOVIGRAM_JPEG_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)
        return complete;
    });
}

// More scans than any real progressive file has; a file with more only
// makes the decoder spin.
constexpr int maxScans = 500;

// The library's error exit must not return: it formats the message into the
// session (never shown) and jumps back to the reader, which cleans up.
struct Session {
    jpeg_decompress_struct cinfo;
    const JpegLibrary* jpeg;
    jpeg_error_mgr errors;
    jpeg_progress_mgr progress;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    const DecodeLimits* limits;
    std::optional<TrueColorImage>* out;
};

Session& sessionOf(j_common_ptr cinfo) { return *reinterpret_cast<Session*>(cinfo); }

[[noreturn]] void errorExit(j_common_ptr cinfo) {
    Session& s = sessionOf(cinfo);
    (*cinfo->err->format_message)(cinfo, s.message);
    std::longjmp(s.jump, 1);
}

// Warnings (corrupt data the library worked around) are not shown either.
void outputMessage(j_common_ptr) {}

void limitScans(j_common_ptr cinfo) {
    auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
    if (d->is_decompressor && d->input_scan_number > maxScans) {
        cinfo->err->msg_code = JERR_NOTIMPL;
        (*cinfo->err->error_exit)(cinfo);
    }
}

bool allocate(Session& s, JDIMENSION width, JDIMENSION height) {
    try {
        *s.out = TrueColorImage::create(width, height, 24, *s.limits);
    } catch (const std::bad_alloc&) {
        s.out->reset();
    }
    return s.out->has_value();
}

// One row of library samples into picture row y (blue, green, red).
void storeRow(Session& s, const JSAMPLE* in, JDIMENSION y) {
    TrueColorImage& image = **s.out;
    uint8_t* out = image.row(int32_t(y));
    const JDIMENSION w = s.cinfo.output_width;
    switch (s.cinfo.output_components) {
    case 1:
        for (JDIMENSION x = 0; x < w; ++x, out += 3) out[0] = out[1] = out[2] = in[x];
        break;
    case 3:
        for (JDIMENSION x = 0; x < w; ++x, in += 3, out += 3) out[0] = in[2], out[1] = in[1], out[2] = in[0];
        break;
    default: {
        // CMYK, with each ink turned into the light it leaves (255 - ink);
        // Adobe's files store them that way already.
        const bool inverted = s.cinfo.saw_Adobe_marker;
        auto light = [inverted](JSAMPLE v) { return inverted ? int(v) : 255 - int(v); };
        for (JDIMENSION x = 0; x < w; ++x, in += 4, out += 3) {
            const int k = light(in[3]);
            out[0] = uint8_t(light(in[2]) * k / 255);
            out[1] = uint8_t(light(in[1]) * k / 255);
            out[2] = uint8_t(light(in[0]) * k / 255);
        }
    }
    }
}

// Runs the decompressor over a source set up by attach.  Only the session,
// reached through its reference, changes between setjmp and a jump back.
template <typename Attach>
bool decompress(Session& s, Attach attach) {
    s.jpeg = jpegLibrary();
    if (!s.jpeg) return false;
    s.cinfo.err = s.jpeg->jpeg_std_error(&s.errors);
    s.errors.error_exit = errorExit;
    s.errors.output_message = outputMessage;
    s.progress.progress_monitor = limitScans;
    if (setjmp(s.jump)) {
        s.jpeg->jpeg_destroy_decompress(&s.cinfo);
        s.out->reset();
        return false;
    }
    s.jpeg->jpeg_CreateDecompress(&s.cinfo, JPEG_LIB_VERSION, sizeof s.cinfo);
    s.cinfo.progress = &s.progress;
    // Coefficient buffers of progressive files count against the limit; the
    // library reports an error rather than go past it.
    s.cinfo.mem->max_memory_to_use = long(std::min<uint64_t>(s.limits->maxTotalBytes, LONG_MAX));
    attach(*s.jpeg, &s.cinfo);
    s.jpeg->jpeg_read_header(&s.cinfo, TRUE);
    if (s.cinfo.jpeg_color_space == JCS_CMYK || s.cinfo.jpeg_color_space == JCS_YCCK)
        s.cinfo.out_color_space = JCS_CMYK;
    if (!checkedImageBytes(s.cinfo.image_width, s.cinfo.image_height, 3, *s.limits)) {
        s.jpeg->jpeg_destroy_decompress(&s.cinfo);
        return false;
    }
    s.jpeg->jpeg_start_decompress(&s.cinfo);
    const int components = s.cinfo.output_components;
    if ((components != 1 && components != 3 && components != 4) ||
        !allocate(s, s.cinfo.output_width, s.cinfo.output_height)) {
        s.jpeg->jpeg_destroy_decompress(&s.cinfo);
        return false;
    }
    JSAMPARRAY buffer = (*s.cinfo.mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(&s.cinfo), JPOOL_IMAGE,
                                                     s.cinfo.output_width * JDIMENSION(components), 1);
    while (s.cinfo.output_scanline < s.cinfo.output_height) {
        const JDIMENSION y = s.cinfo.output_scanline;
        if (s.jpeg->jpeg_read_scanlines(&s.cinfo, buffer, 1) != 1) break;
        storeRow(s, buffer[0], y);
    }
    s.jpeg->jpeg_finish_decompress(&s.cinfo);
    s.jpeg->jpeg_destroy_decompress(&s.cinfo);
    return true;
}

}  // namespace

std::optional<TrueColorImage> readJpeg(const std::string& path, const DecodeLimits& limits) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) return std::nullopt;
    std::optional<TrueColorImage> out;
    auto session = std::make_unique<Session>();
    session->limits = &limits;
    session->out = &out;
    decompress(*session, [file](const JpegLibrary& jpeg, j_decompress_ptr cinfo) { jpeg.jpeg_stdio_src(cinfo, file); });
    std::fclose(file);
    return out;
}

std::optional<TrueColorImage> decodeJpeg(std::span<const uint8_t> file, const DecodeLimits& limits) {
    std::optional<TrueColorImage> out;
    if (file.empty()) return out;
    auto session = std::make_unique<Session>();
    session->limits = &limits;
    session->out = &out;
    decompress(*session, [file](const JpegLibrary& jpeg, j_decompress_ptr cinfo) {
        jpeg.jpeg_mem_src(cinfo, file.data(), static_cast<unsigned long>(file.size()));
    });
    return out;
}

}  // namespace movigram
