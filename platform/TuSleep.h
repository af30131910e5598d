// Sleep of the host platform. Tests replace it so that retry loops do not
// really wait.
#pragma once

#include "platform/CelerraExport.h"

// Blocks the calling thread for `milliseconds`; file and line only name the
// caller.
void TUSLEEP_InTeRnAl(unsigned long milliseconds, const char* file, int line);

// Seam: a function called in place of the real sleep; null restores it.
using TuSleepHook = void (*)(unsigned long milliseconds, const char* file, int line);
TuSleepHook TuSetSleepHook(TuSleepHook hook);

#define TUSLEEP(ms) TUSLEEP_InTeRnAl((ms), __FILE__, __LINE__)
