// Configuration reader of the host platform. Without the host, a value is
// read from the environment variable named exactly like its key (the section
// only groups the keys), e.g. sCELERRALOGXMLMSG=yes.
#pragma once

#include <string>

#include "platform/CelerraExport.h"

class OXPlatformInfo {
 public:
  // Non-zero when the value exists and was written to *value; zero leaves
  // *value as it was.
  int getString(const char* section, const char* key, std::string* value) const;
};
