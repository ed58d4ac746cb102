#include "SharedLibrary.h"

#include <dlfcn.h>

namespace movigram {

void* openSharedLibrary(const char* soname) { return dlopen(soname, RTLD_NOW | RTLD_LOCAL); }

void* sharedLibraryFunction(void* library, const char* name) { return library ? dlsym(library, name) : nullptr; }

}  // namespace movigram
