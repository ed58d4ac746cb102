#pragma once
// The X client libraries, loaded the first time a recording opens the X
// display rather than when the program starts (document/SharedLibrary.h):
// libxcb brings four more shared objects with it, which every run of the
// command-line tool would load for nothing.
#include <xcb/shm.h>
#include <xcb/xcb.h>
#include <xcb/xfixes.h>

namespace movigram::capture {

// The functions the X source and the window list call, by library.
#define MOVIGRAM_XCB_FUNCTIONS(X)                    \
    X(Xcb, xcb_connect)                              \
    X(Xcb, xcb_connection_has_error)                 \
    X(Xcb, xcb_disconnect)                           \
    X(Xcb, xcb_flush)                                \
    X(Xcb, xcb_generate_id)                          \
    X(Xcb, xcb_request_check)                        \
    X(Xcb, xcb_get_extension_data)                   \
    X(Xcb, xcb_get_setup)                            \
    X(Xcb, xcb_setup_roots_iterator)                 \
    X(Xcb, xcb_screen_next)                          \
    X(Xcb, xcb_setup_pixmap_formats)                 \
    X(Xcb, xcb_setup_pixmap_formats_length)          \
    X(Xcb, xcb_screen_allowed_depths_iterator)       \
    X(Xcb, xcb_depth_next)                           \
    X(Xcb, xcb_depth_visuals_iterator)               \
    X(Xcb, xcb_visualtype_next)                      \
    X(Xcb, xcb_get_geometry)                         \
    X(Xcb, xcb_get_geometry_reply)                   \
    X(Xcb, xcb_translate_coordinates)                \
    X(Xcb, xcb_translate_coordinates_reply)          \
    X(Xcb, xcb_get_image)                            \
    X(Xcb, xcb_get_image_reply)                      \
    X(Xcb, xcb_get_image_data)                       \
    X(Xcb, xcb_get_image_data_length)                \
    X(Xcb, xcb_intern_atom)                          \
    X(Xcb, xcb_intern_atom_reply)                    \
    X(Xcb, xcb_get_property)                         \
    X(Xcb, xcb_get_property_reply)                   \
    X(Xcb, xcb_get_property_value)                   \
    X(Xcb, xcb_get_property_value_length)            \
    X(Xcb, xcb_query_tree)                           \
    X(Xcb, xcb_query_tree_reply)                     \
    X(Xcb, xcb_query_tree_children)                  \
    X(Xcb, xcb_query_tree_children_length)           \
    X(Xcb, xcb_get_window_attributes)                \
    X(Xcb, xcb_get_window_attributes_reply)          \
    X(Shm, xcb_shm_attach_checked)                   \
    X(Shm, xcb_shm_detach)                           \
    X(Shm, xcb_shm_get_image)                        \
    X(Shm, xcb_shm_get_image_reply)                  \
    X(Xfixes, xcb_xfixes_query_version)              \
    X(Xfixes, xcb_xfixes_query_version_reply)        \
    X(Xfixes, xcb_xfixes_get_cursor_image)           \
    X(Xfixes, xcb_xfixes_get_cursor_image_reply)     \
    X(Xfixes, xcb_xfixes_get_cursor_image_cursor_image) \
    X(Xfixes, xcb_xfixes_get_cursor_image_cursor_image_length)

struct XcbLibrary {
#define MOVIGRAM_XCB_POINTER(library, name) decltype(&::name) name = nullptr;
    MOVIGRAM_XCB_FUNCTIONS(MOVIGRAM_XCB_POINTER)
#undef MOVIGRAM_XCB_POINTER
    xcb_extension_t* shmExtension = nullptr;  // the library's xcb_shm_id
};

// The libraries, loaded on the first call; null when they cannot be.
const XcbLibrary* xcbLibrary();

}  // namespace movigram::capture
