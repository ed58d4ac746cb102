#include "X11Windows.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "XcbLibrary.h"

namespace movigram::capture {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using Owned = std::unique_ptr<Reply, FreeReply>;

struct Connection {
    const XcbLibrary& x;
    xcb_connection_t* c;
    ~Connection() { x.xcb_disconnect(c); }
};

xcb_atom_t atom(const XcbLibrary& x, xcb_connection_t* c, const char* name) {
    Owned<xcb_intern_atom_reply_t> reply(
        x.xcb_intern_atom_reply(c, x.xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The property's value as 32-bit items, or as text.
std::vector<uint32_t> windowsOf(const XcbLibrary& x, xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    if (property == XCB_ATOM_NONE) return {};
    Owned<xcb_get_property_reply_t> reply(
        x.xcb_get_property_reply(c, x.xcb_get_property(c, 0, w, property, XCB_ATOM_WINDOW, 0, 65536), nullptr));
    if (!reply || reply->format != 32) return {};
    const auto* items = static_cast<const uint32_t*>(x.xcb_get_property_value(reply.get()));
    return {items, items + x.xcb_get_property_value_length(reply.get()) / 4};
}

std::string textOf(const XcbLibrary& x, xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    if (property == XCB_ATOM_NONE) return {};
    Owned<xcb_get_property_reply_t> reply(
        x.xcb_get_property_reply(c, x.xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr));
    if (!reply || reply->format != 8) return {};
    return {static_cast<const char*>(x.xcb_get_property_value(reply.get())),
            size_t(x.xcb_get_property_value_length(reply.get()))};
}

}  // namespace

std::vector<ScreenWindow> listWindows(const std::string& display, std::string& error) {
    const XcbLibrary* library = xcbLibrary();
    if (!library) {
        error = "The X client libraries (libxcb, libxcb-shm, libxcb-xfixes) cannot be loaded";
        return {};
    }
    const XcbLibrary& x = *library;
    int screenNumber = 0;
    Connection connection{x, x.xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber)};
    xcb_connection_t* c = connection.c;
    if (x.xcb_connection_has_error(c)) {
        const char* name = display.empty() ? std::getenv("DISPLAY") : display.c_str();
        error = "Cannot open the X display \"" + std::string(name ? name : "") + "\"";
        return {};
    }
    xcb_screen_iterator_t it = x.xcb_setup_roots_iterator(x.xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i) x.xcb_screen_next(&it);
    if (!it.rem) {
        error = "The X display has no screen " + std::to_string(screenNumber);
        return {};
    }
    const xcb_window_t root = it.data->root;
    const Region screen{0, 0, it.data->width_in_pixels, it.data->height_in_pixels};

    // Bottom to top, as both the window manager's list and the tree give them.
    std::vector<uint32_t> stack = windowsOf(x, c, root, atom(x, c, "_NET_CLIENT_LIST_STACKING"));
    if (stack.empty()) {
        Owned<xcb_query_tree_reply_t> tree(x.xcb_query_tree_reply(c, x.xcb_query_tree(c, root), nullptr));
        if (tree) {
            const xcb_window_t* children = x.xcb_query_tree_children(tree.get());
            stack.assign(children, children + x.xcb_query_tree_children_length(tree.get()));
        }
    }
    const xcb_atom_t netName = atom(x, c, "_NET_WM_NAME"), utf8 = atom(x, c, "UTF8_STRING");
    std::vector<ScreenWindow> windows;
    for (auto w = stack.rbegin(); w != stack.rend(); ++w) {
        Owned<xcb_get_window_attributes_reply_t> attributes(
            x.xcb_get_window_attributes_reply(c, x.xcb_get_window_attributes(c, *w), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        Owned<xcb_get_geometry_reply_t> geometry(x.xcb_get_geometry_reply(c, x.xcb_get_geometry(c, *w), nullptr));
        Owned<xcb_translate_coordinates_reply_t> at(
            x.xcb_translate_coordinates_reply(c, x.xcb_translate_coordinates(c, *w, root, 0, 0), nullptr));
        if (!geometry || !at) continue;
        // The window's area and its border, clipped to the screen.
        const int border = geometry->border_width;
        const int left = std::max(at->dst_x - border, 0), top = std::max(at->dst_y - border, 0);
        const int right = std::min(at->dst_x + geometry->width + border, screen.width);
        const int bottom = std::min(at->dst_y + geometry->height + border, screen.height);
        if (right <= left || bottom <= top) continue;
        std::string title = textOf(x, c, *w, netName, utf8);
        if (title.empty()) title = textOf(x, c, *w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        windows.push_back({*w, {left, top, right - left, bottom - top}, std::move(title)});
    }
    return windows;
}

}  // namespace movigram::capture
