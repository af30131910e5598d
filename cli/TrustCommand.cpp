// `celerractl trust`: connects once without verification, shows the control
// station's certificate (subject, issuer, validity, public-key pin) and, on
// confirmation or --yes, stores the pin in the profile, so that later calls
// are verified against that key without a CA. Control stations usually
// carry self-signed certificates; this is how one comes to be trusted.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <cmath>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>

#include "cli/Cli.h"
#include "cli/Profile.h"
#include "common/Tls.h"

namespace celcli {

namespace {

struct PeerCertificate {
  std::string subject, issuer, notBefore, notAfter, pin;
};

// HOST[:PORT] or [IPV6]:PORT; port 443 when none is given.
bool SplitHost(const std::string& text, std::string& host, std::string& port) {
  port = "443";
  if (!text.empty() && text[0] == '[') {
    size_t close = text.find(']');
    if (close == std::string::npos) return false;
    host = text.substr(1, close - 1);
    if (close + 1 < text.size()) {
      if (text[close + 1] != ':') return false;
      port = text.substr(close + 2);
    }
  } else if (std::count(text.begin(), text.end(), ':') == 1) {
    host = text.substr(0, text.find(':'));
    port = text.substr(text.find(':') + 1);
  } else {
    host = text;
  }
  return !host.empty() && !port.empty() && port.find_first_not_of("0123456789") == std::string::npos;
}

std::string NameText(X509_NAME* name) {
  BIO* bio = BIO_new(BIO_s_mem());
  X509_NAME_print_ex(bio, name, 0, XN_FLAG_RFC2253);
  char* data = nullptr;
  long n = BIO_get_mem_data(bio, &data);
  std::string text(data, static_cast<size_t>(n));
  BIO_free(bio);
  return text;
}

std::string TimeText(const ASN1_TIME* time) {
  struct tm tm;
  if (ASN1_TIME_to_tm(time, &tm) != 1) return "?";
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%SZ", &tm);
  return text;
}

// A TCP connection to the first address of `host` that answers within
// `timeoutMs`, with reads and writes bounded by the same time.
int ConnectWithin(const std::string& host, const std::string& port, int timeoutMs, std::string& error) {
  struct addrinfo hints {};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  struct addrinfo* found = nullptr;
  int rc = getaddrinfo(host.c_str(), port.c_str(), &hints, &found);
  if (rc != 0) {
    error = "the control station's name does not resolve (" + std::string(gai_strerror(rc)) + ")";
    return -1;
  }
  int fd = -1;
  error = "cannot connect to the control station";
  for (struct addrinfo* a = found; a && fd < 0; a = a->ai_next) {
    fd = socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
    if (fd < 0) continue;
    int done = connect(fd, a->ai_addr, a->ai_addrlen);
    if (done != 0 && errno == EINPROGRESS) {
      struct pollfd p {
        fd, POLLOUT, 0
      };
      int soError = ETIMEDOUT;
      socklen_t length = sizeof soError;
      if (poll(&p, 1, timeoutMs) == 1) getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
      done = soError == 0 ? 0 : -1;
      errno = soError;
    }
    if (done != 0) {
      error = "cannot connect to the control station (" + std::string(std::strerror(errno)) + ")";
      close(fd);
      fd = -1;
    }
  }
  freeaddrinfo(found);
  if (fd < 0) return -1;
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  struct timeval tv {
    timeoutMs / 1000, (timeoutMs % 1000) * 1000
  };
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof tv);
  return fd;
}

bool FetchCertificate(const std::string& address, int timeoutMs, PeerCertificate& out, std::string& error) {
  std::string host, port;
  if (!SplitHost(address, host, port)) {
    error = "'" + address + "' is not HOST[:PORT]";
    return false;
  }
  int fd = ConnectWithin(host, port, timeoutMs, error);
  if (fd < 0) return false;
  std::unique_ptr<SSL_CTX, decltype(&SSL_CTX_free)> ctx(SSL_CTX_new(TLS_client_method()), SSL_CTX_free);
  std::unique_ptr<SSL, decltype(&SSL_free)> ssl(ctx ? SSL_new(ctx.get()) : nullptr, SSL_free);
  bool ok = false;
  if (ssl) {
    // Not verified on purpose: the point is to show the key before trusting it.
    SSL_set_verify(ssl.get(), SSL_VERIFY_NONE, nullptr);
    unsigned char probe[16];
    if (inet_pton(AF_INET, host.c_str(), probe) != 1 && inet_pton(AF_INET6, host.c_str(), probe) != 1)
      SSL_set_tlsext_host_name(ssl.get(), host.c_str());
    SSL_set_fd(ssl.get(), fd);
    if (SSL_connect(ssl.get()) == 1) {
      if (X509* cert = SSL_get_peer_certificate(ssl.get())) {
        out.subject = NameText(X509_get_subject_name(cert));
        out.issuer = NameText(X509_get_issuer_name(cert));
        out.notBefore = TimeText(X509_get0_notBefore(cert));
        out.notAfter = TimeText(X509_get0_notAfter(cert));
        out.pin = celcommon::PublicKeyPin(cert);
        X509_free(cert);
        ok = !out.pin.empty();
      }
      SSL_shutdown(ssl.get());
    }
    if (!ok) {
      char text[256] = "no certificate";
      if (unsigned long e = ERR_get_error()) ERR_error_string_n(e, text, sizeof text);
      error = "the TLS handshake with the control station failed (" + std::string(text) + ")";
    }
  } else {
    error = "cannot set up TLS";
  }
  close(fd);
  return ok;
}

bool Confirmed(const std::string& question) {
  if (!isatty(STDIN_FILENO)) return false;
  std::cerr << question << " [y/N] " << std::flush;
  std::string answer;
  std::getline(std::cin, answer);
  return answer == "y" || answer == "Y" || answer == "yes";
}

}  // namespace

void RegisterTrustCommand(CLI::App& app, Runtime& rt) {
  auto yes = std::make_shared<bool>(false);
  CLI::App* trust =
      app.add_subcommand("trust", "show the control station's certificate and store its key's pin in the profile");
  trust->add_flag("--yes,-y", *yes, "store the pin without asking");
  rt.OnRunLocal(trust, [&rt, yes] {
    ConnectionSettings s;
    if (!rt.ResolveSettings(s, false, true)) return kUsage;
    double seconds = s.timeoutSeconds > 0 ? std::min(s.timeoutSeconds, 30.0) : 30.0;
    PeerCertificate cert;
    std::string error;
    if (!FetchCertificate(s.host, static_cast<int>(std::ceil(seconds * 1000)), cert, error)) {
      rt.Complain("cannot read the control station's certificate (trust): " + error);
      return kFailed;
    }
    std::string profile = rt.ProfileName(), path = rt.ProfilePath();
    json shown = {{"host", s.host},
                  {"subject", cert.subject},
                  {"issuer", cert.issuer},
                  {"notBefore", cert.notBefore},
                  {"notAfter", cert.notAfter},
                  {"pin", cert.pin}};
    if (!rt.jsonOutput()) rt.PrintObject(shown);
    bool store = *yes || Confirmed("Store this pin in profile [" + profile + "] of " + path + "?");
    if (store) {
      ProfileFile file;
      std::map<std::string, std::string> values;
      if (!file.Load(path, error)) {
        rt.Complain(error);
        return kFailed;
      }
      file.Section(profile, values, error);  // unknown keys are left as they are
      file.Set(profile, "pin", cert.pin);
      if (values["host"].empty()) file.Set(profile, "host", s.host);
      if (!file.Save(error)) {
        rt.Complain("cannot store the pin: " + error);
        return kFailed;
      }
    } else if (!isatty(STDIN_FILENO)) {
      rt.Complain("the pin was not stored: confirm on a terminal or pass --yes");
    }
    shown["profile"] = profile;
    shown["stored"] = store;
    if (rt.jsonOutput())
      rt.PrintObject(shown);
    else if (store)
      rt.Say("stored in profile [" + profile + "] of " + path);
    return kOk;
  });
}

}  // namespace celcli
