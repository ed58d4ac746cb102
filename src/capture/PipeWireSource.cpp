#include "capture/PipeWireSource.h"

#include "capture/PortalScreenCast.h"

#include <pipewire/pipewire.h>
#include <spa/param/format-utils.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>
#include <spa/utils/result.h>

#include <algorithm>
#include <condition_variable>
#include <cstring>
#include <mutex>

namespace movigram::capture {

namespace {

// The largest picture we accept from a stream, in pixels a side.
constexpr int kMaxSide = 16384;

bool isBgrOrder(spa_video_format format) {
    return format == SPA_VIDEO_FORMAT_BGRx || format == SPA_VIDEO_FORMAT_BGRA;
}

bool isRgbOrder(spa_video_format format) {
    return format == SPA_VIDEO_FORMAT_RGBx || format == SPA_VIDEO_FORMAT_RGBA;
}

// The part of the picture to keep: the region, given in the coordinates of
// the part the stream shows, clipped to that part; all of it without a region.
Region clipTo(const std::optional<Region>& region, const Region& shown) {
    if (!region) return shown;
    const std::int64_t left = std::max<std::int64_t>(region->x, 0);
    const std::int64_t top = std::max<std::int64_t>(region->y, 0);
    const std::int64_t right = std::min<std::int64_t>(std::int64_t(region->x) + region->width, shown.width);
    const std::int64_t bottom = std::min<std::int64_t>(std::int64_t(region->y) + region->height, shown.height);
    if (right <= left || bottom <= top) return {};
    return {shown.x + int(left), shown.y + int(top), int(right - left), int(bottom - top)};
}

// Copies the `crop` rectangle of a 4-byte-per-pixel picture into tight BGRX rows.
void copyToBgrx(const std::uint8_t* pixels, std::size_t stride, spa_video_format format, const Region& crop,
                std::vector<std::uint8_t>& out) {
    const std::size_t rowBytes = std::size_t(crop.width) * 4;
    out.resize(rowBytes * std::size_t(crop.height));
    for (int y = 0; y < crop.height; ++y) {
        const std::uint8_t* from = pixels + std::size_t(crop.y + y) * stride + std::size_t(crop.x) * 4;
        std::uint8_t* to = out.data() + std::size_t(y) * rowBytes;
        if (isBgrOrder(format)) {
            std::memcpy(to, from, rowBytes);
            continue;
        }
        for (int x = 0; x < crop.width; ++x, from += 4, to += 4) {
            to[0] = from[2];
            to[1] = from[1];
            to[2] = from[0];
            to[3] = from[3];
        }
    }
}

}  // namespace

// The stream's objects live on PipeWire's thread loop: they are made and
// destroyed with the loop locked, and the callbacks run on its thread.  The
// newest picture passes to grab() under `mutex`.
struct PipeWireSource::Stream {
    std::optional<Region> region;
    std::uint32_t node = 0;

    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_stream* stream = nullptr;
    spa_hook coreListener{};
    spa_hook registryListener{};
    spa_hook streamListener{};

    // The negotiated format; PipeWire's thread only.
    spa_video_format format = SPA_VIDEO_FORMAT_UNKNOWN;
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> scratch;

    std::mutex mutex;
    std::condition_variable changed;
    Picture latest;            // empty until the first picture
    std::string endedBecause;  // empty while the stream runs

    ~Stream() {
        if (loop) pw_thread_loop_lock(loop);
        if (stream) pw_stream_destroy(stream);
        if (registry) pw_proxy_destroy(reinterpret_cast<pw_proxy*>(registry));
        if (core) pw_core_disconnect(core);
        if (loop) {
            pw_thread_loop_unlock(loop);
            pw_thread_loop_stop(loop);
        }
        if (context) pw_context_destroy(context);
        if (loop) pw_thread_loop_destroy(loop);
    }

    void end(std::string reason) {
        {
            std::lock_guard lock(mutex);
            if (endedBecause.empty()) endedBecause = std::move(reason);
        }
        changed.notify_all();
    }

    static void onCoreError(void* data, std::uint32_t id, int, int result, const char* message) {
        if (id != PW_ID_CORE) return;
        auto* self = static_cast<Stream*>(data);
        if (result == -EPIPE)
            self->end("The connection to PipeWire was lost");
        else
            self->end(std::string("PipeWire failed: ") + (message ? message : spa_strerror(result)));
    }

    static void onGlobalRemoved(void* data, std::uint32_t id) {
        auto* self = static_cast<Stream*>(data);
        if (id == self->node) self->end("The screen cast was stopped");
    }

    static void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char* error) {
        auto* self = static_cast<Stream*>(data);
        if (state == PW_STREAM_STATE_ERROR)
            self->end(std::string("The screen cast failed: ") + (error ? error : "no reason given"));
        else if (state == PW_STREAM_STATE_UNCONNECTED)
            self->end("The screen cast was stopped");
    }

    static void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
        auto* self = static_cast<Stream*>(data);
        if (id != SPA_PARAM_Format || !param) return;
        std::uint32_t mediaType = 0;
        std::uint32_t mediaSubtype = 0;
        spa_video_info_raw info{};
        if (spa_format_parse(param, &mediaType, &mediaSubtype) < 0 || mediaType != SPA_MEDIA_TYPE_video ||
            mediaSubtype != SPA_MEDIA_SUBTYPE_raw || spa_format_video_raw_parse(param, &info) < 0 ||
            !(isBgrOrder(info.format) || isRgbOrder(info.format)) || info.size.width == 0 ||
            info.size.height == 0 || info.size.width > kMaxSide || info.size.height > kMaxSide) {
            self->end("The screen cast sends pictures in a form we cannot read");
            return;
        }
        self->format = info.format;
        self->width = int(info.size.width);
        self->height = int(info.size.height);

        // Plain memory only: no DMA-BUF, which would need the graphics card.
        // A window's cast may show only part of each buffer, which the crop
        // metadata tells.
        std::uint8_t buffer[512];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_pod* params[] = {
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
                SPA_POD_CHOICE_RANGE_Int(8, 2, 16), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1),
                SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int((1 << SPA_DATA_MemPtr) | (1 << SPA_DATA_MemFd)))),
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoCrop),
                SPA_PARAM_META_size, SPA_POD_Int(int(sizeof(spa_meta_region)))))};
        pw_stream_update_params(self->stream, params, 2);
    }

    // Takes the newest buffer waiting, gives the older ones back unread.
    static void onProcess(void* data) {
        auto* self = static_cast<Stream*>(data);
        pw_buffer* newest = nullptr;
        while (pw_buffer* next = pw_stream_dequeue_buffer(self->stream)) {
            if (newest) pw_stream_queue_buffer(self->stream, newest);
            newest = next;
        }
        if (!newest) return;
        self->take(*newest->buffer);
        pw_stream_queue_buffer(self->stream, newest);
    }

    // The part of the buffer's picture the stream shows.
    Region shownPart(const spa_buffer& buffer) const {
        const Region whole{0, 0, width, height};
        const auto* meta = static_cast<const spa_meta_region*>(
            spa_buffer_find_meta_data(&buffer, SPA_META_VideoCrop, sizeof(spa_meta_region)));
        if (!meta || !spa_meta_region_is_valid(meta)) return whole;
        const Region shown = clipTo(Region{meta->region.position.x, meta->region.position.y,
                                           int(std::min<std::uint32_t>(meta->region.size.width, kMaxSide)),
                                           int(std::min<std::uint32_t>(meta->region.size.height, kMaxSide))},
                                    whole);
        return shown.width > 0 ? shown : whole;
    }

    void take(const spa_buffer& buffer) {
        if (buffer.n_datas < 1 || format == SPA_VIDEO_FORMAT_UNKNOWN) return;
        const spa_data& plane = buffer.datas[0];
        const spa_chunk* chunk = plane.chunk;
        // An empty chunk only moves the pointer, which we do not follow.
        if (!plane.data || !chunk || chunk->size == 0 || (chunk->flags & SPA_CHUNK_FLAG_CORRUPTED)) return;
        const std::int64_t minStride = std::int64_t(width) * 4;
        const std::int64_t stride = chunk->stride == 0 ? minStride : std::int64_t(chunk->stride);
        const std::int64_t offset = chunk->offset;
        if (stride < minStride || offset + stride * (height - 1) + minStride > std::int64_t(plane.maxsize)) return;

        const Region crop = clipTo(region, shownPart(buffer));
        if (crop.width == 0) {
            end("The region lies outside the shared picture");
            return;
        }
        copyToBgrx(static_cast<const std::uint8_t*>(plane.data) + offset, std::size_t(stride), format, crop, scratch);
        {
            std::lock_guard lock(mutex);
            latest.width = crop.width;
            latest.height = crop.height;
            latest.bgrx.swap(scratch);
            latest.time = std::chrono::steady_clock::now();
        }
        changed.notify_all();
    }
};

namespace {

const pw_core_events kCoreEvents = {
    .version = PW_VERSION_CORE_EVENTS,
    .error = &PipeWireSource::Stream::onCoreError,
};

const pw_registry_events kRegistryEvents = {
    .version = PW_VERSION_REGISTRY_EVENTS,
    .global_remove = &PipeWireSource::Stream::onGlobalRemoved,
};

const pw_stream_events kStreamEvents = {
    .version = PW_VERSION_STREAM_EVENTS,
    .state_changed = &PipeWireSource::Stream::onStateChanged,
    .param_changed = &PipeWireSource::Stream::onParamChanged,
    .process = &PipeWireSource::Stream::onProcess,
};

}  // namespace

PipeWireSource::PipeWireSource() = default;

PipeWireSource::~PipeWireSource() {
    stream_.reset();  // before the portal's session closes
}

std::unique_ptr<PipeWireSource> PipeWireSource::open(OwnedFd remote, std::uint32_t node, std::optional<Region> region,
                                                     std::string& error, std::chrono::milliseconds firstPicture) {
    if (region && (region->width <= 0 || region->height <= 0)) {
        error = "The region to record is empty";
        return nullptr;
    }
    static std::once_flag initialised;
    std::call_once(initialised, [] { pw_init(nullptr, nullptr); });

    std::unique_ptr<PipeWireSource> source(new PipeWireSource);
    source->stream_ = std::make_unique<Stream>();
    Stream& s = *source->stream_;
    s.region = region;
    s.node = node;
    s.loop = pw_thread_loop_new("movigram-capture", nullptr);
    s.context = s.loop ? pw_context_new(pw_thread_loop_get_loop(s.loop), nullptr, 0) : nullptr;
    if (!s.context || pw_thread_loop_start(s.loop) < 0) {
        error = "Cannot start PipeWire";
        return nullptr;
    }

    pw_thread_loop_lock(s.loop);
    s.core = pw_context_connect_fd(s.context, remote.release(), nullptr, 0);  // the core owns the socket now
    if (!s.core) {
        pw_thread_loop_unlock(s.loop);
        error = std::string("Cannot connect to PipeWire: ") + std::strerror(errno);
        return nullptr;
    }
    pw_core_add_listener(s.core, &s.coreListener, &kCoreEvents, &s);
    s.registry = pw_core_get_registry(s.core, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(s.registry, &s.registryListener, &kRegistryEvents, &s);
    s.stream = pw_stream_new(s.core, "movigram-capture",
                             pw_properties_new(PW_KEY_MEDIA_TYPE, "Video", PW_KEY_MEDIA_CATEGORY, "Capture",
                                               PW_KEY_MEDIA_ROLE, "Screen", nullptr));
    if (!s.stream) {
        pw_thread_loop_unlock(s.loop);
        error = "Cannot make a PipeWire stream";
        return nullptr;
    }
    pw_stream_add_listener(s.stream, &s.streamListener, &kStreamEvents, &s);

    std::uint8_t buffer[512];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    const spa_rectangle sizeDefault{1920, 1080};
    const spa_rectangle sizeMin{1, 1};
    const spa_rectangle sizeMax{kMaxSide, kMaxSide};
    const spa_fraction rateDefault{30, 1};
    const spa_fraction rateMin{0, 1};
    const spa_fraction rateMax{1000, 1};
    const spa_pod* formats[] = {static_cast<const spa_pod*>(spa_pod_builder_add_object(
        &builder, SPA_TYPE_OBJECT_Format, SPA_PARAM_EnumFormat, SPA_FORMAT_mediaType, SPA_POD_Id(SPA_MEDIA_TYPE_video),
        SPA_FORMAT_mediaSubtype, SPA_POD_Id(SPA_MEDIA_SUBTYPE_raw), SPA_FORMAT_VIDEO_format,
        SPA_POD_CHOICE_ENUM_Id(5, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRx, SPA_VIDEO_FORMAT_BGRA,
                               SPA_VIDEO_FORMAT_RGBx, SPA_VIDEO_FORMAT_RGBA),
        SPA_FORMAT_VIDEO_size, SPA_POD_CHOICE_RANGE_Rectangle(&sizeDefault, &sizeMin, &sizeMax),
        SPA_FORMAT_VIDEO_framerate, SPA_POD_CHOICE_RANGE_Fraction(&rateDefault, &rateMin, &rateMax)))};
    const int connected = pw_stream_connect(
        s.stream, PW_DIRECTION_INPUT, node,
        pw_stream_flags(PW_STREAM_FLAG_AUTOCONNECT | PW_STREAM_FLAG_MAP_BUFFERS | PW_STREAM_FLAG_DONT_RECONNECT),
        formats, 1);
    pw_thread_loop_unlock(s.loop);
    if (connected < 0) {
        error = std::string("Cannot read the screen cast: ") + spa_strerror(connected);
        return nullptr;
    }

    std::unique_lock lock(s.mutex);
    s.changed.wait_for(lock, firstPicture, [&] { return !s.latest.bgrx.empty() || !s.endedBecause.empty(); });
    if (!s.endedBecause.empty()) {
        error = s.endedBecause;
        return nullptr;
    }
    if (s.latest.bgrx.empty()) {
        error = "No picture came from the screen cast";
        return nullptr;
    }
    return source;
}

std::unique_ptr<PipeWireSource> PipeWireSource::openThroughPortal(const PortalOptions& options,
                                                                  std::optional<Region> region, std::string& error) {
    auto session = std::make_unique<PortalScreenCast>(options);
    PortalStream stream;
    if (!session->start(stream, error)) return nullptr;
    auto source = open(std::move(stream.pipeWire), stream.node, region, error);
    if (source) source->session_ = std::move(session);
    return source;
}

bool PipeWireSource::grab(Picture& picture, std::string& error) {
    std::lock_guard lock(stream_->mutex);
    if (!stream_->endedBecause.empty()) {
        error = stream_->endedBecause;
        return false;
    }
    const Picture& latest = stream_->latest;
    picture.width = latest.width;
    picture.height = latest.height;
    picture.bgrx.assign(latest.bgrx.begin(), latest.bgrx.end());
    picture.time = latest.time;
    return true;
}

}  // namespace movigram::capture
