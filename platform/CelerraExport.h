// Symbol visibility for the shared library: everything is hidden unless
// marked CELERRA_API, so the library's internals never collide with the
// host's own symbols. Only the facade and the two entry points are marked;
// the facade's private members are marked CELERRA_LOCAL, and the linker's
// version script (cmake/celerra.map) keeps everything else, the standard
// library's template instances among it, out of the dynamic symbol table.
#pragma once

// The C++ interface passes std::string and records holding it, so a caller
// must use the library's string layout, libstdc++'s C++11 one. A caller
// built with the old one (-D_GLIBCXX_USE_CXX11_ABI=0) would link against
// the unmangled entry points and read garbage; it stops here instead. The C
// interface (celerra.h) has no such constraint.
#ifdef __cplusplus
#include <cstddef>  // defines _GLIBCXX_USE_CXX11_ABI
#if defined(_GLIBCXX_USE_CXX11_ABI) && !_GLIBCXX_USE_CXX11_ABI
#error "libcelerra's C++ interface needs _GLIBCXX_USE_CXX11_ABI=1 (the C interface, celerra.h, does not)"
#endif
#endif

#define CELERRA_API __attribute__((visibility("default")))
#define CELERRA_LOCAL __attribute__((visibility("hidden")))
