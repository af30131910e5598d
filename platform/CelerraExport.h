// Symbol visibility for the shared library: everything is hidden unless
// marked CELERRA_API, so the library's internals never collide with the
// host's own symbols.
#pragma once

#define CELERRA_API __attribute__((visibility("default")))
#define CELERRA_LOCAL __attribute__((visibility("hidden")))
