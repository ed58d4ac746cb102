#include "TestScreen.h"

#include "PrivateDaemons.h"

#include <pipewire/pipewire.h>
#include <spa/param/video/format-utils.h>
#include <spa/pod/builder.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <map>
#include <thread>

namespace movigram::capture::test {

namespace {

const char* property(const spa_dict* props, const char* key) {
    const char* value = props ? spa_dict_lookup(props, key) : nullptr;
    return value ? value : "";
}

}  // namespace

// Everything here runs on the thread loop, or with it locked.
struct TestScreen::Graph {
    TestScreen* screen = nullptr;
    pw_thread_loop* loop = nullptr;
    pw_context* context = nullptr;
    pw_core* core = nullptr;
    pw_registry* registry = nullptr;
    pw_stream* stream = nullptr;
    spa_source* timer = nullptr;
    spa_hook registryListener{};
    spa_hook streamListener{};

    std::map<std::uint32_t, std::string> nodeClasses;                        // node id → media.class
    std::map<std::uint32_t, std::pair<std::uint32_t, std::string>> ports;    // port id → node id, direction
    std::vector<pw_proxy*> links;
    std::vector<std::uint32_t> linkedPorts;

    // Links our output port to every input port of a video stream.
    void linkReaders() {
        std::uint32_t output = 0;
        for (const auto& [id, port] : ports)
            if (port.first == screen->node_ && port.second == "out") output = id;
        if (output == 0) return;
        for (const auto& [id, port] : ports) {
            if (port.second != "in" || nodeClasses[port.first] != "Stream/Input/Video") continue;
            if (std::find(linkedPorts.begin(), linkedPorts.end(), id) != linkedPorts.end()) continue;
            linkedPorts.push_back(id);
            pw_properties* props = pw_properties_new(nullptr, nullptr);
            pw_properties_setf(props, PW_KEY_LINK_OUTPUT_NODE, "%u", screen->node_);
            pw_properties_setf(props, PW_KEY_LINK_OUTPUT_PORT, "%u", output);
            pw_properties_setf(props, PW_KEY_LINK_INPUT_NODE, "%u", port.first);
            pw_properties_setf(props, PW_KEY_LINK_INPUT_PORT, "%u", id);
            links.push_back(static_cast<pw_proxy*>(pw_core_create_object(
                core, "link-factory", PW_TYPE_INTERFACE_Link, PW_VERSION_LINK, &props->dict, 0)));
            pw_properties_free(props);
        }
    }

    static void onGlobal(void* data, std::uint32_t id, std::uint32_t, const char* type, std::uint32_t,
                         const spa_dict* props) {
        auto* self = static_cast<Graph*>(data);
        if (std::strcmp(type, PW_TYPE_INTERFACE_Node) == 0) {
            self->nodeClasses[id] = property(props, PW_KEY_MEDIA_CLASS);
        } else if (std::strcmp(type, PW_TYPE_INTERFACE_Port) == 0) {
            self->ports[id] = {std::uint32_t(std::strtoul(property(props, PW_KEY_NODE_ID), nullptr, 10)),
                               property(props, PW_KEY_PORT_DIRECTION)};
        }
        self->linkReaders();
    }

    static void onGlobalRemoved(void* data, std::uint32_t id) {
        auto* self = static_cast<Graph*>(data);
        self->nodeClasses.erase(id);
        self->ports.erase(id);
    }

    static void onStateChanged(void* data, pw_stream_state, pw_stream_state state, const char*) {
        auto* self = static_cast<Graph*>(data);
        if (state == PW_STREAM_STATE_PAUSED && self->screen->node_ == 0) {
            self->screen->node_ = pw_stream_get_node_id(self->stream);
            self->linkReaders();
        }
        pw_thread_loop_signal(self->loop, false);
    }

    static void onParamChanged(void* data, std::uint32_t id, const spa_pod* param) {
        auto* self = static_cast<Graph*>(data);
        if (id != SPA_PARAM_Format || !param) return;
        const int stride = self->screen->width_ * 4;
        std::uint8_t buffer[512];
        spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
        const spa_pod* params[] = {
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_ParamBuffers, SPA_PARAM_Buffers, SPA_PARAM_BUFFERS_buffers,
                SPA_POD_CHOICE_RANGE_Int(4, 2, 8), SPA_PARAM_BUFFERS_blocks, SPA_POD_Int(1), SPA_PARAM_BUFFERS_size,
                SPA_POD_Int(stride * self->screen->height_), SPA_PARAM_BUFFERS_stride, SPA_POD_Int(stride),
                SPA_PARAM_BUFFERS_dataType, SPA_POD_CHOICE_FLAGS_Int(1 << SPA_DATA_MemFd))),
            static_cast<const spa_pod*>(spa_pod_builder_add_object(
                &builder, SPA_TYPE_OBJECT_ParamMeta, SPA_PARAM_Meta, SPA_PARAM_META_type, SPA_POD_Id(SPA_META_VideoCrop),
                SPA_PARAM_META_size, SPA_POD_Int(int(sizeof(spa_meta_region)))))};
        pw_stream_update_params(self->stream, params, self->screen->shown_.width > 0 ? 2 : 1);
    }

    // Fills the next buffer with the picture to show, in the stream's format.
    static void onProcess(void* data) {
        auto* self = static_cast<Graph*>(data);
        pw_buffer* buffer = pw_stream_dequeue_buffer(self->stream);
        if (!buffer) return;
        spa_data& plane = buffer->buffer->datas[0];
        const TestScreen& screen = *self->screen;
        const std::vector<std::uint8_t> pixels = bgrx(screen.picture_, screen.width_, screen.height_);
        if (plane.data && plane.maxsize >= pixels.size()) {
            auto* to = static_cast<std::uint8_t*>(plane.data);
            const bool rgb = screen.format_ == SPA_VIDEO_FORMAT_RGBx || screen.format_ == SPA_VIDEO_FORMAT_RGBA;
            for (std::size_t i = 0; i < pixels.size(); i += 4) {
                to[i] = pixels[i + (rgb ? 2 : 0)];
                to[i + 1] = pixels[i + 1];
                to[i + 2] = pixels[i + (rgb ? 0 : 2)];
                to[i + 3] = 0x80;
            }
            plane.chunk->offset = 0;
            plane.chunk->size = std::uint32_t(pixels.size());
            plane.chunk->stride = screen.width_ * 4;
        }
        if (auto* crop = static_cast<spa_meta_region*>(
                spa_buffer_find_meta_data(buffer->buffer, SPA_META_VideoCrop, sizeof(spa_meta_region)))) {
            crop->region.position = {screen.shown_.x, screen.shown_.y};
            crop->region.size = {std::uint32_t(screen.shown_.width), std::uint32_t(screen.shown_.height)};
        }
        pw_stream_queue_buffer(self->stream, buffer);
    }

    // The screen drives the graph: a new picture every 20 ms.
    static void onTimer(void* data, std::uint64_t) {
        auto* self = static_cast<Graph*>(data);
        if (pw_stream_get_state(self->stream, nullptr) == PW_STREAM_STATE_STREAMING)
            pw_stream_trigger_process(self->stream);
    }
};

namespace {

const pw_registry_events kRegistryEvents = {
    .version = PW_VERSION_REGISTRY_EVENTS,
    .global = &TestScreen::Graph::onGlobal,
    .global_remove = &TestScreen::Graph::onGlobalRemoved,
};

const pw_stream_events kStreamEvents = {
    .version = PW_VERSION_STREAM_EVENTS,
    .state_changed = &TestScreen::Graph::onStateChanged,
    .param_changed = &TestScreen::Graph::onParamChanged,
    .process = &TestScreen::Graph::onProcess,
};

}  // namespace

TestScreen::TestScreen(spa_video_format format, int width, int height)
    : format_(format), width_(width), height_(height) {}

TestScreen::~TestScreen() {
    if (!graph_ || !graph_->loop) return;
    stop();
    pw_thread_loop_lock(graph_->loop);
    for (pw_proxy* link : graph_->links)
        if (link) pw_proxy_destroy(link);
    if (graph_->registry) pw_proxy_destroy(reinterpret_cast<pw_proxy*>(graph_->registry));
    if (graph_->core) pw_core_disconnect(graph_->core);
    pw_thread_loop_unlock(graph_->loop);
    pw_thread_loop_stop(graph_->loop);
    pw_context_destroy(graph_->context);
    pw_thread_loop_destroy(graph_->loop);
}

std::vector<std::uint8_t> TestScreen::bgrx(int k, int width, int height) {
    std::vector<std::uint8_t> pixels(std::size_t(width) * std::size_t(height) * 4);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::uint8_t* p = pixels.data() + (std::size_t(y) * std::size_t(width) + std::size_t(x)) * 4;
            p[0] = std::uint8_t(x * 7 + k * 40);
            p[1] = std::uint8_t(y * 5 + k * 90);
            p[2] = std::uint8_t(x + y * 3 + k * 13);
            p[3] = 0;
        }
    }
    return pixels;
}

bool TestScreen::start(const std::string& socketPath, std::string& why) {
    pw_init(nullptr, nullptr);
    graph_ = std::make_unique<Graph>();
    graph_->screen = this;
    graph_->loop = pw_thread_loop_new("test-screen", nullptr);
    graph_->context = pw_context_new(pw_thread_loop_get_loop(graph_->loop), nullptr, 0);
    pw_thread_loop_start(graph_->loop);
    pw_thread_loop_lock(graph_->loop);
    const int fd = connectSocket(QString::fromStdString(socketPath));
    graph_->core = fd >= 0 ? pw_context_connect_fd(graph_->context, fd, nullptr, 0) : nullptr;
    if (!graph_->core) {
        pw_thread_loop_unlock(graph_->loop);
        why = "cannot connect to the PipeWire daemon";
        return false;
    }
    graph_->registry = pw_core_get_registry(graph_->core, PW_VERSION_REGISTRY, 0);
    pw_registry_add_listener(graph_->registry, &graph_->registryListener, &kRegistryEvents, graph_.get());
    graph_->stream = pw_stream_new(graph_->core, "test-screen",
                                   pw_properties_new(PW_KEY_MEDIA_CLASS, "Video/Source", nullptr));
    pw_stream_add_listener(graph_->stream, &graph_->streamListener, &kStreamEvents, graph_.get());

    std::uint8_t buffer[512];
    spa_pod_builder builder = SPA_POD_BUILDER_INIT(buffer, sizeof buffer);
    spa_video_info_raw info{};
    info.format = format_;
    info.size = {std::uint32_t(width_), std::uint32_t(height_)};
    info.framerate = {50, 1};
    const spa_pod* params[] = {spa_format_video_raw_build(&builder, SPA_PARAM_EnumFormat, &info)};
    pw_stream_connect(graph_->stream, PW_DIRECTION_OUTPUT, PW_ID_ANY,
                      pw_stream_flags(PW_STREAM_FLAG_DRIVER | PW_STREAM_FLAG_MAP_BUFFERS), params, 1);

    pw_loop* loop = pw_thread_loop_get_loop(graph_->loop);
    graph_->timer = pw_loop_add_timer(loop, &Graph::onTimer, graph_.get());
    timespec every{0, 20'000'000};
    pw_loop_update_timer(loop, graph_->timer, &every, &every, false);

    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (node_ == 0 && std::chrono::steady_clock::now() < deadline) pw_thread_loop_timed_wait(graph_->loop, 1);
    pw_thread_loop_unlock(graph_->loop);
    if (node_ == 0) why = "the test's stream got no node";
    return node_ != 0;
}

void TestScreen::stop() {
    if (!graph_ || !graph_->stream) return;
    pw_thread_loop_lock(graph_->loop);
    pw_loop_destroy_source(pw_thread_loop_get_loop(graph_->loop), graph_->timer);
    graph_->timer = nullptr;
    pw_stream_destroy(graph_->stream);
    graph_->stream = nullptr;
    pw_thread_loop_unlock(graph_->loop);
}

}  // namespace movigram::capture::test
