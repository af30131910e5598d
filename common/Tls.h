// TLS pieces the simulator and celerractl share.
#pragma once

#include <openssl/x509.h>

#include <string>

namespace celcommon {

// The pin of a certificate's public key as libcurl takes it: "sha256//"
// and the base-64 SHA-256 of the DER SubjectPublicKeyInfo. Empty on failure.
std::string PublicKeyPin(X509* cert);

}  // namespace celcommon
