#include "messages/internal/XmlPlatform.h"

#include <xercesc/util/PlatformUtils.hpp>
#include <xercesc/util/XMLException.hpp>

#include <mutex>

namespace celerra_internal {

namespace {

std::mutex& Lock() {
  static std::mutex* lock = new std::mutex();  // outlives every static destructor
  return *lock;
}

// The library's own initialisation, released when the library is unloaded.
struct LibraryHold {
  bool held = false;
  ~LibraryHold() {
    std::lock_guard<std::mutex> guard(Lock());
    if (held) xercesc::XMLPlatformUtils::Terminate();
  }
};

bool InitializeLocked() {
  try {
    xercesc::XMLPlatformUtils::Initialize();
    return true;
  } catch (...) {
    return false;
  }
}

}  // namespace

bool XmlPlatformAcquire() {
  static LibraryHold hold;
  std::lock_guard<std::mutex> guard(Lock());
  if (!hold.held) hold.held = InitializeLocked();
  return hold.held && InitializeLocked();
}

void XmlPlatformRelease() {
  std::lock_guard<std::mutex> guard(Lock());
  xercesc::XMLPlatformUtils::Terminate();
}

}  // namespace celerra_internal
