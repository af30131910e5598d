// Sleep of the host platform. Tests replace it so that retry loops do not
// really wait.
#pragma once

#include <functional>

#include "platform/CelerraExport.h"

// Blocks the calling thread for `milliseconds`; file and line only name the
// caller.
void TUSLEEP_InTeRnAl(unsigned long milliseconds, const char* file, int line);

// Seam: a function called in place of the real sleep; null restores it.
using TuSleepHook = void (*)(unsigned long milliseconds, const char* file, int line);
TuSleepHook TuSetSleepHook(TuSleepHook hook);

#define TUSLEEP(ms) TUSLEEP_InTeRnAl((ms), __FILE__, __LINE__)

// A pause that a caller can watch: sleeps `milliseconds` in slices of at most
// `tickMs` and calls `tick` with the time still left after every slice but
// the last, on the sleeping thread. Under the seam the seam gets the whole
// pause in one call, and the ticks follow it at once.
void TuSleepTicking(unsigned long milliseconds, unsigned long tickMs,
                    const std::function<void(unsigned long leftMs)>& tick);
