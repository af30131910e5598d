// The simulated control station: HTTPS on a loopback port with a self-signed
// certificate made at start, the login form, session cookies, the XML
// management servlet with a stateful model of the file server, a journal of
// every exchange, and fault injection. Tests start it in-process; the
// celerra-sim binary serves it until interrupted.
#pragma once

#include <atomic>
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
#include "sim/Model.h"

namespace celsim {

// One request as a message handler sees it.
struct SimRequest {
  std::string name;       // the body element's name, e.g. "FileSystemQueryParams"
  pugi::xml_node body;    // that element
  bool task = false;      // inside StartTask (else Query)
  bool ex = false;        // RequestEx
  std::string timeout;    // StartTask's timeout attribute, if any
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
  std::string path;          // "/Login" or "/servlets/CelerraManagementServices"
  std::string body;          // as received, passwords masked
  std::map<std::string, std::string> headers;
  std::string session;       // session id from the request's cookie, empty if none
  std::string messageType;   // body element name of an XML request
  int status = 0;            // HTTP status answered
  std::string reply;         // reply body sent
  long connection = 0;       // which TCP connection carried it
};

enum class FaultKind {
  RefuseLogin,    // 403 on /Login
  Http500,        // HTTP 500 on the servlet
  CloseMidReply,  // half of the reply, then the connection is closed
  Delay,          // answer after delayMs
  Malformed,      // a reply that is not well-formed
  Truncated,      // the reply cut in half (Content-Length matches)
  Canned,         // `canned` sent as the reply
  Problem,        // the request refused with `problem`
  ExpireSession,  // the session is dropped before this request (403)
  Endless,        // a reply that never ends: chunks until the client hangs up
};

struct Fault {
  FaultKind kind = FaultKind::Http500;
  std::string messageType;  // body element to match; empty matches any servlet request
  int count = 1;            // how many matching exchanges it hits; -1: until cleared
  int skip = 0;             // matching exchanges to let through first
  int delayMs = 0;
  std::string canned;
  celsim::Problem problem;
  ReplyStyle style;         // shape of the refusal for Problem faults
};

class Simulator {
 public:
  struct Options {
    std::string user = "admin";
    std::string password = "password";
    int scale = 0;
    bool log = false;  // one line per exchange on standard error
    std::string dataFile;  // JSON dataset in place of the built-in one
  };

  Simulator();
  explicit Simulator(Options options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Listens on 127.0.0.1:port (0: an ephemeral port) in a thread of its own.
  // False when the port is taken or the data file could not be loaded
  // (error() says why).
  bool Start(int port = 0);
  const std::string& error() const { return m_Error; }
  void Stop();
  int port() const { return m_Port; }
  std::string address() const { return "127.0.0.1:" + std::to_string(m_Port); }

  std::vector<JournalEntry> Journal() const;
  // XML requests only (logins left out).
  std::vector<JournalEntry> Requests() const;
  void ClearJournal();
  long Connections() const { return m_Connections.load(); }
  long Handshakes() const { return m_Handshakes.load(); }
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
  Options m_Options;
  Model m_Model;
  Registry m_Registry;
  ReplyStyle m_Style;
  mutable std::mutex m_Mutex;
  std::vector<JournalEntry> m_Journal;
  std::vector<Fault> m_Faults;
  std::set<std::string> m_Sessions;
  std::atomic<long> m_Connections{0};
  std::atomic<long> m_Handshakes{0};
  std::atomic<long> m_Crossed{0};
  std::atomic<bool> m_Stopping{false};
  int m_Port = 0;
  std::string m_Error;
  std::unique_ptr<Impl> m_Impl;
  std::thread m_Thread;
};

}  // namespace celsim
