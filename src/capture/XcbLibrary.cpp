#include "XcbLibrary.h"

#include "document/SharedLibrary.h"

namespace movigram::capture {
namespace {

enum Library { Xcb, Shm, Xfixes, libraryCount };
// The sonames of the libraries the build was made against.
constexpr const char* sonames[libraryCount] = {MOVIGRAM_XCB_SONAME, MOVIGRAM_XCB_SHM_SONAME, MOVIGRAM_XCB_XFIXES_SONAME};

bool load(XcbLibrary& lib) {
    void* handles[libraryCount] = {};
    for (int i = 0; i < libraryCount; ++i) {
        // Kept open for the rest of the run.
        handles[i] = openSharedLibrary(sonames[i]);
        if (!handles[i]) return false;
    }
    bool complete = true;
#define MOVIGRAM_XCB_LOOKUP(library, name) complete = bindFunction(handles[library], #name, lib.name) && complete;
    MOVIGRAM_XCB_FUNCTIONS(MOVIGRAM_XCB_LOOKUP)
#undef MOVIGRAM_XCB_LOOKUP
    lib.shmExtension = static_cast<xcb_extension_t*>(sharedLibraryFunction(handles[Shm], "xcb_shm_id"));
    return complete && lib.shmExtension;
}

}  // namespace

const XcbLibrary* xcbLibrary() {
    static XcbLibrary lib;
    static const bool loaded = load(lib);
    return loaded ? &lib : nullptr;
}

}  // namespace movigram::capture
