// Symbol visibility for the shared library: everything is hidden unless
// marked CELERRA_API, so the library's internals never collide with the
// host's own symbols. Only the facade and the two entry points are marked;
// the facade's private members are marked CELERRA_LOCAL, and the linker's
// version script (cmake/celerra.map) keeps everything else, the standard
// library's template instances among it, out of the dynamic symbol table.
#pragma once

#define CELERRA_API __attribute__((visibility("default")))
#define CELERRA_LOCAL __attribute__((visibility("hidden")))
