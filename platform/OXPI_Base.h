// Install information of the host platform: where temporary files go.
#pragma once

#include "platform/CelerraExport.h"

class OXPI_Base {
 public:
  // The directory named by CELERRA_TEMP_DIR, or null when it is unset or empty.
  const char* getOrvaneTempDirectory() const;
};
