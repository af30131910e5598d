// Replies built to make a reply parser do far more work than their size
// suggests, and the measure of what they cost in memory; shared by the tests
// (which bound the time and memory of their parse) and the benchmarks (which
// measure them).
#pragma once

#include <cstdlib>
#include <fstream>
#include <string>

namespace celtest {

// Peak resident memory of this process since the last reset, in KiB; -1
// when the kernel does not say.
inline long PeakRssKiB() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind("VmHWM:", 0) == 0) return std::atol(line.c_str() + 6);
  return -1;
}

// Lets the peak start again from the current size (Linux 4.0 and later);
// false when the kernel does not allow it.
inline bool ResetPeakRss() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

// About 1 MiB: an internal entity of 1 MiB, referenced 99 times in an
// attribute and 99 times in text. A parser that expands it builds some
// 200 MiB of text (twice that as UTF-16) from a reply of 1 MiB.
inline std::string EntityHeavyReply() {
  std::string refs;
  for (int i = 0; i < 99; ++i) refs += "&big;";
  return "<?xml version=\"1.0\"?>\n<!DOCTYPE ResponsePacket [<!ENTITY big \"" + std::string(1 << 20, 'A') +
         "\">]>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
         "<FileSystem fileSystem=\"1\" name=\"" +
         refs + "\" type=\"uxfs\">" + refs + "</FileSystem></Response></ResponsePacket>\n";
}

// About 4.7 MB: one element with 400,000 distinct attributes. A parser that
// checks each new attribute against all earlier ones spends quadratic time.
inline std::string AttributeHeavyReply() {
  std::string element = "<FileSystem fileSystem=\"1\" name=\"fs\" type=\"uxfs\"";
  element.reserve(5 << 20);
  for (int i = 0; i < 400000; ++i) element += " a" + std::to_string(i) + "=\"1\"";
  return "<?xml version=\"1.0\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>" + element +
         "/></Response></ResponsePacket>\n";
}

}  // namespace celtest
