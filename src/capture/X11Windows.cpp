#include "X11Windows.h"

#include <xcb/xcb.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace movigram::capture {

namespace {

struct FreeReply {
    void operator()(void* reply) const { std::free(reply); }
};
template <typename Reply>
using Owned = std::unique_ptr<Reply, FreeReply>;

struct Connection {
    xcb_connection_t* c;
    ~Connection() { xcb_disconnect(c); }
};

xcb_atom_t atom(xcb_connection_t* c, const char* name) {
    Owned<xcb_intern_atom_reply_t> reply(
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 1, uint16_t(std::strlen(name)), name), nullptr));
    return reply ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// The property's value as 32-bit items, or as text.
std::vector<uint32_t> windowsOf(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property) {
    if (property == XCB_ATOM_NONE) return {};
    Owned<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, XCB_ATOM_WINDOW, 0, 65536), nullptr));
    if (!reply || reply->format != 32) return {};
    const auto* items = static_cast<const uint32_t*>(xcb_get_property_value(reply.get()));
    return {items, items + xcb_get_property_value_length(reply.get()) / 4};
}

std::string textOf(xcb_connection_t* c, xcb_window_t w, xcb_atom_t property, xcb_atom_t type) {
    if (property == XCB_ATOM_NONE) return {};
    Owned<xcb_get_property_reply_t> reply(
        xcb_get_property_reply(c, xcb_get_property(c, 0, w, property, type, 0, 1024), nullptr));
    if (!reply || reply->format != 8) return {};
    return {static_cast<const char*>(xcb_get_property_value(reply.get())),
            size_t(xcb_get_property_value_length(reply.get()))};
}

}  // namespace

std::vector<ScreenWindow> listWindows(const std::string& display, std::string& error) {
    int screenNumber = 0;
    Connection connection{xcb_connect(display.empty() ? nullptr : display.c_str(), &screenNumber)};
    xcb_connection_t* c = connection.c;
    if (xcb_connection_has_error(c)) {
        const char* name = display.empty() ? std::getenv("DISPLAY") : display.c_str();
        error = "Cannot open the X display \"" + std::string(name ? name : "") + "\"";
        return {};
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i) xcb_screen_next(&it);
    if (!it.rem) {
        error = "The X display has no screen " + std::to_string(screenNumber);
        return {};
    }
    const xcb_window_t root = it.data->root;
    const Region screen{0, 0, it.data->width_in_pixels, it.data->height_in_pixels};

    // Bottom to top, as both the window manager's list and the tree give them.
    std::vector<uint32_t> stack = windowsOf(c, root, atom(c, "_NET_CLIENT_LIST_STACKING"));
    if (stack.empty()) {
        Owned<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, root), nullptr));
        if (tree) {
            const xcb_window_t* children = xcb_query_tree_children(tree.get());
            stack.assign(children, children + xcb_query_tree_children_length(tree.get()));
        }
    }
    const xcb_atom_t netName = atom(c, "_NET_WM_NAME"), utf8 = atom(c, "UTF8_STRING");
    std::vector<ScreenWindow> windows;
    for (auto w = stack.rbegin(); w != stack.rend(); ++w) {
        Owned<xcb_get_window_attributes_reply_t> attributes(
            xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, *w), nullptr));
        if (!attributes || attributes->map_state != XCB_MAP_STATE_VIEWABLE ||
            attributes->_class == XCB_WINDOW_CLASS_INPUT_ONLY)
            continue;
        Owned<xcb_get_geometry_reply_t> geometry(xcb_get_geometry_reply(c, xcb_get_geometry(c, *w), nullptr));
        Owned<xcb_translate_coordinates_reply_t> at(
            xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, *w, root, 0, 0), nullptr));
        if (!geometry || !at) continue;
        // The window's area and its border, clipped to the screen.
        const int border = geometry->border_width;
        const int left = std::max(at->dst_x - border, 0), top = std::max(at->dst_y - border, 0);
        const int right = std::min(at->dst_x + geometry->width + border, screen.width);
        const int bottom = std::min(at->dst_y + geometry->height + border, screen.height);
        if (right <= left || bottom <= top) continue;
        std::string title = textOf(c, *w, netName, utf8);
        if (title.empty()) title = textOf(c, *w, XCB_ATOM_WM_NAME, XCB_ATOM_STRING);
        windows.push_back({*w, {left, top, right - left, bottom - top}, std::move(title)});
    }
    return windows;
}

}  // namespace movigram::capture
