#pragma once
// Libraries that only some work needs (video, JPEG, the high quality
// quantiser) are opened the first time that work comes, not when the
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
//     void* handle = openSharedLibrary("libjpeg.so.62");
//     bool complete = handle != nullptr;
//     JPEG_FUNCTIONS(MOVIGRAM_LIBRARY_BIND)  // binds lib.jpeg_std_error ...
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

}  // namespace movigram

// A member holding the function name with the type its header declares.
#define MOVIGRAM_LIBRARY_POINTER(name) decltype(&::name) name = nullptr;
// Binds lib.name from handle, clearing complete when the library lacks it.
#define MOVIGRAM_LIBRARY_BIND(name) complete = ::movigram::bindFunction(handle, #name, lib.name) && complete;
