// A function of the toolkit's own libraries (GTK, Pango, cairo), looked up in what the program
// has loaded anyway, so that their development headers are not needed to build it. Null where
// the platform or the library's version does not have it: the caller then goes the portable way.
#pragma once

#ifdef __WXGTK__
#include <dlfcn.h>
#endif

template <typename Function>
Function ToolkitSymbol(const char* name) {
#ifdef __WXGTK__
    return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
#else
    (void)name;
    return nullptr;
#endif
}
