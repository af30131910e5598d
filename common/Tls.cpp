#include "common/Tls.h"

#include <openssl/evp.h>
#include <openssl/sha.h>

namespace celcommon {

std::string PublicKeyPin(X509* cert) {
  unsigned char* der = nullptr;
  int n = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert), &der);
  if (n <= 0) return std::string();
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(der, static_cast<size_t>(n), digest);
  OPENSSL_free(der);
  unsigned char text[64];
  int length = EVP_EncodeBlock(text, digest, sizeof digest);
  return "sha256//" + std::string(reinterpret_cast<char*>(text), static_cast<size_t>(length));
}

}  // namespace celcommon
