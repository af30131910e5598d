#include "platform/CTuIPAddr.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <atomic>
#include <cstring>

namespace {
std::atomic<CTuIPAddr::Resolver> g_resolver{nullptr};
}

void CTuIPAddr::SetResolverForTesting(Resolver resolver) { g_resolver.store(resolver); }

CTuError CTuIPAddr::GetByName(const char* host, CTuIPAddr& addr, IP_FAMILY family) {
  addr.m_Address.clear();
  if (!host || !*host) return CTuError(EAI_NONAME, "empty host name");
  if (Resolver resolver = g_resolver.load()) {
    std::string text = resolver(host);
    if (text.empty()) return CTuError(EAI_NONAME, gai_strerror(EAI_NONAME));
    addr.m_Address = text;
    return CTuError();
  }
  struct addrinfo hints;
  std::memset(&hints, 0, sizeof hints);
  hints.ai_family = family == IP_V4 ? AF_INET : family == IP_V6 ? AF_INET6 : AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* result = nullptr;
  int rc = getaddrinfo(host, nullptr, &hints, &result);
  if (rc != 0) return CTuError(rc, gai_strerror(rc));
  char text[INET6_ADDRSTRLEN] = {0};
  const struct addrinfo* first = result;
  if (first->ai_family == AF_INET)
    inet_ntop(AF_INET, &reinterpret_cast<const sockaddr_in*>(first->ai_addr)->sin_addr, text, sizeof text);
  else if (first->ai_family == AF_INET6)
    inet_ntop(AF_INET6, &reinterpret_cast<const sockaddr_in6*>(first->ai_addr)->sin6_addr, text, sizeof text);
  freeaddrinfo(result);
  if (!*text) return CTuError(EAI_FAMILY, "no usable address");
  addr.m_Address = text;
  return CTuError();
}

CTuError CTuIPAddr::GetAddressString(CTuString& text) const {
  if (m_Address.empty()) return CTuError(EAI_NONAME, "address not resolved");
  text = CTuString(m_Address);
  return CTuError();
}
