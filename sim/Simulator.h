// The simulated control station: HTTPS on a loopback port (or the address
// it is given) with a self-signed certificate made at start, the login form,
// session cookies, the XML management servlet with a stateful model of the
// file server, a journal of the recent exchanges, and fault injection. Tests
// start it in-process; the celerra-sim binary serves it until interrupted.
// Hostile clients meet bounds: request size, journal size and the number of
// sessions kept are limited, and request text no reply could carry is
// refused.
#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include <pugixml.hpp>

#include "sim/Envelope.h"
#include "sim/Faults.h"
#include "sim/Model.h"

namespace celsim {

// One request as a message handler sees it.
struct SimRequest {
  std::string name;     // the body element's name, e.g. "FileSystemQueryParams"
  pugi::xml_node body;  // that element
  bool task = false;    // inside StartTask (else Query)
  bool ex = false;      // RequestEx
  std::string timeout;  // StartTask's timeout attribute, if any
};

using Handler = std::function<Outcome(Model&, const SimRequest&)>;

class Registry {
 public:
  void Add(const std::string& bodyElement, Handler handler) { m_Handlers[bodyElement] = std::move(handler); }
  const Handler* Find(const std::string& bodyElement) const {
    auto it = m_Handlers.find(bodyElement);
    return it == m_Handlers.end() ? nullptr : &it->second;
  }

 private:
  std::map<std::string, Handler> m_Handlers;
};

// A self-signed certificate (PEM) for `commonName`, made afresh: one the
// simulator's own certificate has nothing to do with.
std::string SelfSignedCertificatePem(const std::string& commonName);

// Every message group's handlers (one registration function per group).
void RegisterAllHandlers(Registry& registry);
void RegisterFileSystemHandlers(Registry& registry);
void RegisterCheckpointHandlers(Registry& registry);
void RegisterNfsHandlers(Registry& registry);
void RegisterCifsHandlers(Registry& registry);
void RegisterMountHandlers(Registry& registry);
void RegisterMoverHandlers(Registry& registry);
void RegisterStorageHandlers(Registry& registry);
void RegisterDhsmHandlers(Registry& registry);
void RegisterHttpFeatureHandlers(Registry& registry);

struct JournalEntry {
  std::string path;  // "/Login" or "/servlets/CelerraManagementServices"
  std::string body;  // as received, passwords masked
  std::map<std::string, std::string> headers;
  std::string session;      // session id from the request's cookie, empty if none
  std::string messageType;  // body element name of an XML request
  int status = 0;           // HTTP status answered
  std::string reply;        // reply body sent
  long connection = 0;      // which TCP connection carried it
};

class Simulator {
 public:
  struct Options {
    std::string user = "admin";
    std::string password = "password";
    int scale = 0;
    bool log = false;                       // one line per exchange on standard error
    std::string dataFile;                   // JSON dataset (and faults) in place of the built-in one
    std::string bindAddress = "127.0.0.1";  // an IPv4 or IPv6 address to listen on
    std::vector<Fault> faults;              // injected from the start, after the data file's
    int latencyMs = 0;                      // added to every answer, the login's too
    int handshakeDelayMs = 0;               // added to every TLS handshake
  };

  // Limits against hostile clients.
  static constexpr size_t kMaxRequestBytes = 1024 * 1024;       // larger bodies: HTTP 413
  static constexpr size_t kMaxKeptTextBytes = 1024 * 1024;      // of one journaled body or reply
  static constexpr size_t kMaxJournalBytes = 64 * 1024 * 1024;  // oldest entries go first
  static constexpr size_t kMaxSessions = 10000;                 // oldest sessions are forgotten

  Simulator();
  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Listens on the bind address's `port` (0: an ephemeral port) in a thread
  // of its own. The port is bound exclusively: false when another socket
  // holds it, or when the data file could not be loaded (error() says why).
  bool Start(int port = 0);
  const std::string& error() const { return m_Error; }
  void Stop();
  int port() const { return m_Port; }
  // HOST:PORT as a client writes it (an IPv6 address in brackets).
  std::string address() const;
  // After Start: the certificate in PEM, and its public key's pin as
  // "sha256//" and the base-64 SHA-256 of the key (what libcurl pins).
  std::string CertificatePem() const;
  std::string PublicKeyPin() const;

  std::vector<JournalEntry> Journal() const;
  // XML requests only (logins left out).
  std::vector<JournalEntry> Requests() const;
  void ClearJournal();
  long Connections() const { return m_Connections.load(); }
  long Handshakes() const { return m_Handshakes.load(); }
  // Handshakes that resumed an earlier TLS session (abbreviated ones).
  long ResumedHandshakes() const { return m_Resumed.load(); }
  // Login forms answered, refused ones included.
  long Logins() const { return m_Logins.load(); }
  // Requests whose session cookie did not belong to the session that
  // logged in on that connection's client (always 0 when cookies stay apart).
  long CrossedCookies() const { return m_Crossed.load(); }

  void AddFault(const Fault& fault);
  void ClearFaults();
  void ExpireSessions();
  void SetStyle(const ReplyStyle& style);
  // Adds or replaces the handler of one request body element.
  void AddHandler(const std::string& bodyElement, Handler handler);

  // Runs `f` on the model under the simulator's lock.
  template <class F>
  auto WithModel(F f) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    return f(m_Model);
  }

  struct Impl;  // the HTTPS server; Simulator.cpp

 private:
  friend struct Impl;
  // Both with m_Mutex held: journal one exchange (within the journal's
  // bounds), and remember a new session (forgetting the oldest past
  // kMaxSessions).
  void RecordLocked(JournalEntry entry);
  void AddSessionLocked(const std::string& session);

  Options m_Options;
  Model m_Model;
  Registry m_Registry;
  ReplyStyle m_Style;
  mutable std::mutex m_Mutex;
  std::deque<JournalEntry> m_Journal;
  size_t m_JournalBytes = 0;
  std::vector<Fault> m_Faults;
  std::set<std::string> m_Sessions;
  std::deque<std::string> m_SessionOrder;  // oldest first, to bound m_Sessions
  std::atomic<long> m_Connections{0};
  std::atomic<long> m_Handshakes{0};
  std::atomic<long> m_Resumed{0};
  std::atomic<long> m_Logins{0};
  std::atomic<long> m_Crossed{0};
  std::atomic<bool> m_Stopping{false};
  int m_Port = 0;
  std::string m_Error;
  std::unique_ptr<Impl> m_Impl;
  std::thread m_Thread;
};

}  // namespace celsim
