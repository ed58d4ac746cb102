#pragma once
// Libraries that only some work needs (video, JPEG, PNG, WebP, AVIF, the
// high quality quantiser) are opened the first time that work comes, not when the
// program starts: every shared object loaded at start costs each run of the
// command-line tool some tenths of a millisecond, FFmpeg's tens of
// milliseconds, and most runs never need them.  A library stays open for
// the rest of the run.
//
// A user of a library lists the functions it calls in one place, as
// pointers with the types their header declares, so every call is checked
// as a direct one would be:
//
//     #define JPEG_FUNCTIONS(X) X(jpeg_std_error) X(jpeg_read_header)
//     struct JpegLibrary { JPEG_FUNCTIONS(MOVIGRAM_LIBRARY_POINTER) };
//
//     const JpegLibrary* jpeg = openLibraryOnce<JpegLibrary>("libjpeg.so.62", [](void* handle, auto& lib) {
//         bool complete = true;
//         JPEG_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)  // binds lib.jpeg_std_error ...
//         return complete;
//     });
namespace movigram {

// Opens the library with the given file name (its soname); null when it
// cannot be opened.
void* openSharedLibrary(const char* soname);

// The address of the function name in library, null when it has none.
void* sharedLibraryFunction(void* library, const char* name);

// Sets function to name in library; false when the library lacks it.
template <typename Function>
bool bindFunction(void* library, const char* name, Function*& function) {
    function = reinterpret_cast<Function*>(sharedLibraryFunction(library, name));
    return function != nullptr;
}

// The library of type Library, opened and bound by bind(handle, lib) on the
// first call; null, then and after, when it cannot be opened or bind finds
// a function missing.
template <typename Library, typename Bind>
const Library* openLibraryOnce(const char* soname, Bind bind) {
    static Library lib;
    static const bool loaded = [&] {
        void* handle = openSharedLibrary(soname);
        return handle && bind(handle, lib);
    }();
    return loaded ? &lib : nullptr;
}

}  // namespace movigram

// A member holding the function name with the type its header declares.
#define MOVIGRAM_LIBRARY_POINTER(name) decltype(&::name) name = nullptr;
// Binds lib.name from handle, clearing complete when the library lacks it.
#define MOVIGRAM_LIBRARY_BIND(name) complete = ::movigram::bindFunction(handle, #name, lib.name) && complete;
