// Settings of one HTTPS session, as a facade hands them to its session.
#pragma once

#include <string>

#include "platform/CelerraExport.h"

// A value left 0 or empty takes the configuration's (sCELERRACONNECTTIMEOUT,
// sCELERRATIMEOUT, sCELERRACABUNDLE, sCELERRAPINNEDPUBKEY,
// sCELERRAMAXREPLYSIZE) or else the built-in default.
struct CelerraTransportSettings {
  double connectTimeoutSeconds = 0;      // default 30
  double transferTimeoutSeconds = 0;     // one whole transfer; default 900
  std::string caBundle;                  // verify the server against it; default: no verification
  std::string pinnedPublicKey;           // "sha256//..." or a PEM/DER file; default: none
  unsigned long long maxReplyBytes = 0;  // default 256 MiB
  // One login, TLS sessions and idle connections shared with the process's
  // other sessions of the same host, user, password and TLS settings; off
  // when false or when sCELERRASHARESESSION is N.
  bool shareSession = true;
};
