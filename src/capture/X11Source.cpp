#include "X11Source.h"

#include "XcbLibrary.h"

#include <sys/ipc.h>
#include <sys/shm.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace movigram::capture {
namespace {

// Replies are malloc'd by xcb and freed by their reader.
template <typename Reply>
struct ReplyPtr {
    Reply* reply = nullptr;
    explicit ReplyPtr(Reply* r) : reply(r) {}
    ~ReplyPtr() { std::free(reply); }
    ReplyPtr(const ReplyPtr&) = delete;
    ReplyPtr& operator=(const ReplyPtr&) = delete;
    Reply* operator->() const { return reply; }
    explicit operator bool() const { return reply != nullptr; }
};

// Only called once open() found the libraries loaded.
const XcbLibrary& lib() { return *xcbLibrary(); }

size_t pictureBytes(const Region& r) { return size_t(r.width) * size_t(r.height) * 4; }

}  // namespace

std::unique_ptr<X11Source> X11Source::open(const X11Options& options, std::string& error) {
    if (!xcbLibrary()) {
        error = "The X client libraries (libxcb, libxcb-shm, libxcb-xfixes) cannot be loaded";
        return nullptr;
    }
    std::unique_ptr<X11Source> source(new X11Source);
    if (!source->openDisplay(options, error) || !source->findRegion(options, error)) return nullptr;
    source->pointer_ = options.pointer;
    if (options.pointer) {
        ReplyPtr version(lib().xcb_xfixes_query_version_reply(
            source->connection_, lib().xcb_xfixes_query_version(source->connection_, 4, 0), nullptr));
        // A server without XFixes records without the pointer.
        source->pointer_ = bool(version);
    }
    if (options.sharedMemory) source->attachSharedMemory();
    return source;
}

X11Source::~X11Source() {
    if (shmAddress_) {
        lib().xcb_shm_detach(connection_, segment_);
        lib().xcb_flush(connection_);
        shmdt(shmAddress_);
    }
    if (connection_) lib().xcb_disconnect(connection_);
}

uint32_t X11Source::windowAt(const std::string& display, int x, int y, std::string& error) {
    if (!xcbLibrary()) {
        error = "The X client libraries (libxcb, libxcb-shm, libxcb-xfixes) cannot be loaded";
        return 0;
    }
    X11Source source;
    X11Options options;
    options.display = display;
    if (!source.openDisplay(options, error)) return 0;
    ReplyPtr under(lib().xcb_translate_coordinates_reply(
        source.connection_,
        lib().xcb_translate_coordinates(source.connection_, source.root_, source.root_, int16_t(x), int16_t(y)),
        nullptr));
    return under ? under->child : 0;
}

bool X11Source::openDisplay(const X11Options& options, std::string& error) {
    int screenNumber = 0;
    connection_ = lib().xcb_connect(options.display.empty() ? nullptr : options.display.c_str(), &screenNumber);
    if (lib().xcb_connection_has_error(connection_)) {
        const char* name = options.display.empty() ? std::getenv("DISPLAY") : options.display.c_str();
        error = "Cannot open the X display \"" + std::string(name ? name : "") + "\"";
        return false;
    }
    const xcb_setup_t* setup = lib().xcb_get_setup(connection_);
    xcb_screen_iterator_t it = lib().xcb_setup_roots_iterator(setup);
    for (int i = 0; i < screenNumber && it.rem; ++i) lib().xcb_screen_next(&it);
    if (!it.rem) {
        error = "The X display has no screen " + std::to_string(screenNumber);
        return false;
    }
    const xcb_screen_t* screen = it.data;
    root_ = screen->root;
    screenWidth_ = screen->width_in_pixels;
    screenHeight_ = screen->height_in_pixels;

    // The pictures are taken as they lie in the server: 32 bits per pixel,
    // blue in the lowest byte, least significant byte first.
    int bitsPerPixel = 0;
    const xcb_format_t* formats = lib().xcb_setup_pixmap_formats(setup);
    for (int i = 0; i < lib().xcb_setup_pixmap_formats_length(setup); ++i)
        if (formats[i].depth == screen->root_depth) bitsPerPixel = formats[i].bits_per_pixel;
    const xcb_visualtype_t* visual = nullptr;
    auto depths = lib().xcb_screen_allowed_depths_iterator(screen);
    for (; depths.rem && !visual; lib().xcb_depth_next(&depths))
        for (auto v = lib().xcb_depth_visuals_iterator(depths.data); v.rem; lib().xcb_visualtype_next(&v))
            if (v.data->visual_id == screen->root_visual) visual = v.data;
    const bool bgrx = (screen->root_depth == 24 || screen->root_depth == 32) && bitsPerPixel == 32 &&
                      setup->image_byte_order == XCB_IMAGE_ORDER_LSB_FIRST && visual &&
                      visual->red_mask == 0xFF0000 && visual->green_mask == 0xFF00 && visual->blue_mask == 0xFF;
    if (!bgrx) {
        error = "The X display's pixels are not 24-bit colour (depth " + std::to_string(screen->root_depth) + ")";
        return false;
    }
    return true;
}

bool X11Source::findRegion(const X11Options& options, std::string& error) {
    Region wanted{0, 0, screenWidth_, screenHeight_};
    if (options.target == X11Options::Target::Region) {
        wanted = options.region;
    } else if (options.target == X11Options::Target::Window) {
        ReplyPtr geometry(
            lib().xcb_get_geometry_reply(connection_, lib().xcb_get_geometry(connection_, options.window), nullptr));
        ReplyPtr origin(lib().xcb_translate_coordinates_reply(
            connection_, lib().xcb_translate_coordinates(connection_, options.window, root_, 0, 0), nullptr));
        if (!geometry || !origin) {
            char id[16];
            std::snprintf(id, sizeof id, "0x%x", unsigned(options.window));
            error = std::string("There is no window ") + id + " on the X display";
            return false;
        }
        wanted = {origin->dst_x, origin->dst_y, geometry->width, geometry->height};
    }
    if (wanted.width <= 0 || wanted.height <= 0) {
        error = "The region to record is empty (" + std::to_string(wanted.width) + " x " +
                std::to_string(wanted.height) + " pixels)";
        return false;
    }
    // Computed in 64 bits: the caller's region may be anything.
    const int64_t left = std::max<int64_t>(wanted.x, 0), top = std::max<int64_t>(wanted.y, 0);
    const int64_t right = std::min<int64_t>(int64_t(wanted.x) + wanted.width, screenWidth_);
    const int64_t bottom = std::min<int64_t>(int64_t(wanted.y) + wanted.height, screenHeight_);
    if (left >= right || top >= bottom) {
        error = "The region to record lies outside the screen (" + std::to_string(screenWidth_) + " x " +
                std::to_string(screenHeight_) + ")";
        return false;
    }
    region_ = {int(left), int(top), int(right - left), int(bottom - top)};
    return true;
}

void X11Source::attachSharedMemory() {
    const xcb_query_extension_reply_t* extension = lib().xcb_get_extension_data(connection_, lib().shmExtension);
    if (!extension || !extension->present) return;
    const int id = shmget(IPC_PRIVATE, pictureBytes(region_), IPC_CREAT | 0600);
    if (id < 0) return;
    void* address = shmat(id, nullptr, SHM_RDONLY);
    if (address == reinterpret_cast<void*>(-1)) {
        shmctl(id, IPC_RMID, nullptr);
        return;
    }
    segment_ = lib().xcb_generate_id(connection_);
    xcb_generic_error_t* failed =
        lib().xcb_request_check(connection_, lib().xcb_shm_attach_checked(connection_, segment_, id, 0));
    // Once both sides hold it, the segment goes away with the last of them,
    // also when the program is killed.
    shmctl(id, IPC_RMID, nullptr);
    if (failed) {
        // A server on another machine, or in another IPC namespace.
        std::free(failed);
        shmdt(address);
        return;
    }
    shmAddress_ = address;
}

bool X11Source::grab(Picture& picture, std::string& error) {
    picture.time = std::chrono::steady_clock::now();
    picture.width = region_.width;
    picture.height = region_.height;
    picture.bgrx.resize(pictureBytes(region_));
    if (!(shmAddress_ ? grabShared(picture, error) : grabPlain(picture, error))) return false;
    if (pointer_) drawPointer(picture);
    return true;
}

bool X11Source::grabShared(Picture& picture, std::string& error) {
    xcb_generic_error_t* failed = nullptr;
    ReplyPtr reply(lib().xcb_shm_get_image_reply(
        connection_,
        lib().xcb_shm_get_image(connection_, root_, int16_t(region_.x), int16_t(region_.y), uint16_t(region_.width),
                          uint16_t(region_.height), ~0u, XCB_IMAGE_FORMAT_Z_PIXMAP, segment_, 0),
        &failed));
    if (!reply) {
        std::free(failed);
        error = lib().xcb_connection_has_error(connection_) ? "The X display closed the connection"
                                                      : "The X display refused to give the screen's pixels";
        return false;
    }
    std::memcpy(picture.bgrx.data(), shmAddress_, picture.bgrx.size());
    return true;
}

bool X11Source::grabPlain(Picture& picture, std::string& error) {
    xcb_generic_error_t* failed = nullptr;
    ReplyPtr reply(lib().xcb_get_image_reply(
        connection_,
        lib().xcb_get_image(connection_, XCB_IMAGE_FORMAT_Z_PIXMAP, root_, int16_t(region_.x), int16_t(region_.y),
                      uint16_t(region_.width), uint16_t(region_.height), ~0u),
        &failed));
    if (!reply || size_t(lib().xcb_get_image_data_length(reply.reply)) < picture.bgrx.size()) {
        std::free(failed);
        error = lib().xcb_connection_has_error(connection_) ? "The X display closed the connection"
                                                      : "The X display refused to give the screen's pixels";
        return false;
    }
    std::memcpy(picture.bgrx.data(), lib().xcb_get_image_data(reply.reply), picture.bgrx.size());
    return true;
}

void X11Source::drawPointer(Picture& picture) {
    ReplyPtr cursor(
        lib().xcb_xfixes_get_cursor_image_reply(connection_, lib().xcb_xfixes_get_cursor_image(connection_), nullptr));
    if (!cursor) return;
    const int count = lib().xcb_xfixes_get_cursor_image_cursor_image_length(cursor.reply);
    if (count < int(cursor->width) * int(cursor->height)) return;
    const uint32_t* pixels = lib().xcb_xfixes_get_cursor_image_cursor_image(cursor.reply);
    const int left = cursor->x - cursor->xhot - region_.x, top = cursor->y - cursor->yhot - region_.y;
    for (int cy = 0; cy < cursor->height; ++cy) {
        const int y = top + cy;
        if (y < 0 || y >= picture.height) continue;
        for (int cx = 0; cx < cursor->width; ++cx) {
            const int x = left + cx;
            if (x < 0 || x >= picture.width) continue;
            // Premultiplied ARGB over the screen.
            const uint32_t c = pixels[size_t(cy) * cursor->width + size_t(cx)];
            const unsigned alpha = c >> 24;
            if (alpha == 0) continue;
            uint8_t* p = picture.bgrx.data() + (size_t(y) * size_t(picture.width) + size_t(x)) * 4;
            for (int channel = 0; channel < 3; ++channel) {
                const unsigned over = c >> (8 * channel) & 0xFF;
                p[channel] = uint8_t(std::min(255u, over + (p[channel] * (255 - alpha) + 127) / 255));
            }
        }
    }
}

}  // namespace movigram::capture
