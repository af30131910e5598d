#include "platform/TuSleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<TuSleepHook> g_hook{nullptr};
}

TuSleepHook TuSetSleepHook(TuSleepHook hook) { return g_hook.exchange(hook); }

void TuSleepTicking(unsigned long milliseconds, unsigned long tickMs,
                    const std::function<void(unsigned long leftMs)>& tick) {
  if (tickMs == 0) tickMs = milliseconds;
  TuSleepHook hook = g_hook.load();
  if (hook) hook(milliseconds, __FILE__, __LINE__);
  for (unsigned long left = milliseconds; left > 0;) {
    unsigned long slice = left < tickMs ? left : tickMs;
    if (!hook) std::this_thread::sleep_for(std::chrono::milliseconds(slice));
    left -= slice;
    if (left > 0 && tick) tick(left);
  }
}

void TUSLEEP_InTeRnAl(unsigned long milliseconds, const char* file, int line) {
  if (TuSleepHook hook = g_hook.load()) {
    hook(milliseconds, file, line);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
