#include "platform/TuSleep.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace {
std::atomic<TuSleepHook> g_hook{nullptr};
}

TuSleepHook TuSetSleepHook(TuSleepHook hook) { return g_hook.exchange(hook); }

void TUSLEEP_InTeRnAl(unsigned long milliseconds, const char* file, int line) {
  if (TuSleepHook hook = g_hook.load()) {
    hook(milliseconds, file, line);
    return;
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}
