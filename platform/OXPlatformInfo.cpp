#include "platform/OXPlatformInfo.h"

#include <cstdlib>

int OXPlatformInfo::getString(const char* section, const char* key, std::string* value) const {
  (void)section;
  if (!key || !value) return 0;
  const char* text = std::getenv(key);
  if (!text) return 0;
  *value = text;
  return 1;
}
