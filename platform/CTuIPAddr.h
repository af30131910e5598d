// Resolver of the host platform: a host name to its address text.
#pragma once

#include <memory>
#include <string>

#include "platform/CelerraExport.h"

class CTuString {
 public:
  CTuString() = default;
  explicit CTuString(std::string text) : m_Text(std::move(text)) {}
  const char* c_str() const { return m_Text.c_str(); }
  bool empty() const { return m_Text.empty(); }

 private:
  std::string m_Text;
};

// Result of a resolver call: 0 is success; otherwise a getaddrinfo code and
// its text.
class CTuError {
 public:
  CTuError() = default;
  CTuError(int code, std::string detail) : m_Code(code), m_Detail(std::make_shared<std::string>(std::move(detail))) {}
  CTuError(const CTuError&) = default;
  CTuError& operator=(const CTuError&) = default;
  int code() const { return m_Code; }
  bool ok() const { return m_Code == 0; }
  const char* detail() const { return m_Detail ? m_Detail->c_str() : ""; }

 private:
  int m_Code = 0;
  std::shared_ptr<std::string> m_Detail;
};

class CTuIPAddr {
 public:
  enum IP_FAMILY { IP_ANY = 0, IP_V4 = 4, IP_V6 = 6 };

  CTuIPAddr() = default;
  // Resolves `host` (a name or an address literal) into `addr`.
  static CTuError GetByName(const char* host, CTuIPAddr& addr, IP_FAMILY family);
  CTuError GetAddressString(CTuString& text) const;

  // Replaces the resolver for tests: a function from a name to an address
  // text, empty when the name does not resolve. Null restores getaddrinfo.
  using Resolver = std::string (*)(const std::string& host);
  static void SetResolverForTesting(Resolver resolver);

 private:
  std::string m_Address;
};
