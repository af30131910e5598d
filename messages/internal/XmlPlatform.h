// The XML parser library's process-wide start-up. Initialisation and
// termination are not thread-safe, so every call goes through one lock, and
// the library keeps one initialisation of its own from first use until it is
// unloaded: a message object's own pair of calls then only moves a counter.
#pragma once

namespace celerra_internal {

// Takes one counted initialisation; false when the parser could not start.
bool XmlPlatformAcquire();
// Releases one taken by XmlPlatformAcquire.
void XmlPlatformRelease();

}  // namespace celerra_internal
