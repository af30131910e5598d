// Enumerations and the error record shared by the whole library.
#pragma once

#include <cstdint>
#include <string>

#include "platform/CelerraExport.h"

// Translated `maxSeverity` of a reply; only STATUS_OK counts as success.
enum eCelerraStatus : uint32_t {
  STATUS_OK = 0,
  STATUS_WARNING = 1,
  STATUS_ERROR = 2,
};

// Where the space of a file system or checkpoint comes from.
enum eCelerraStgType : uint32_t {
  STG_TYPE_NONE = 0,
  STG_TYPE_POOL = 1,
  STG_TYPE_VOLUME = 2,
};

// One problem reported by the server (the last one of a reply), or the empty
// record: status 0 and every text empty.
struct CelerraError {
  eCelerraStatus m_eStatus = STATUS_OK;
  std::string m_sComponent;
  std::string m_sFacility;
  std::string m_sMessage;
  std::string m_sMessageCode;
  std::string m_sSeverity;
  std::string m_sDescription;
  std::string m_sAction;
  std::string m_sDiagnostics;

  void clear() { *this = CelerraError(); }
};
