// Enumerations and the error record shared by the whole library.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

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

// What kind of failure an error record describes, for a program to switch
// on; the record's message says the same in words.
enum eCelerraErrorKind : uint32_t {
  ERROR_KIND_NONE = 0,             // no failure recorded
  ERROR_KIND_SERVER = 1,           // the server refused the request; its problem is in the record
  ERROR_KIND_LOGIN_REFUSED = 2,    // the control station refused the user name or password
  ERROR_KIND_CONNECT = 3,          // no connection: host name not found, connection refused, unreachable
  ERROR_KIND_TIMEOUT = 4,          // no connection or no complete reply within the time-out
  ERROR_KIND_TLS = 5,              // certificate not trusted, pinned key mismatch, CA bundle, handshake
  ERROR_KIND_TRANSPORT = 6,        // HTTP error status, connection broken mid-reply, other transfer failures
  ERROR_KIND_REPLY = 7,            // a reply that could not be read or lacked what was asked for
  ERROR_KIND_REPLY_TOO_LARGE = 8,  // a reply above the facade's reply-size limit
  ERROR_KIND_INPUT = 9,            // the caller's input was refused before anything was sent
  ERROR_KIND_NOT_FOUND = 10,       // the server has no such object
  ERROR_KIND_LOCAL = 11,           // this machine: private files, lock wait, memory
};

// A short stable name of a kind ("login-refused"), e.g. for JSON output.
inline const char* CelerraErrorKindName(eCelerraErrorKind kind) {
  static const char* const kNames[] = {"none",      "server", "login-refused",   "connect", "timeout",   "tls",
                                       "transport", "reply",  "reply-too-large", "input",   "not-found", "local"};
  return kind < sizeof kNames / sizeof kNames[0] ? kNames[kind] : "unknown";
}

// One problem reported by the server (the last one of a reply), a failure
// the library met itself (transport, input, reply), or the empty record:
// status 0, kind none and every text empty.
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
  // Set with every failure; the server's problems count as ERROR_KIND_SERVER.
  eCelerraErrorKind m_eKind = ERROR_KIND_NONE;

  void clear() { *this = CelerraError(); }

  // A failure the library met itself: status error, severity "error", the
  // kind and a message in plain words.
  static CelerraError Failure(eCelerraErrorKind kind, std::string message) {
    CelerraError e;
    e.m_eStatus = STATUS_ERROR;
    e.m_sSeverity = "error";
    e.m_sMessage = std::move(message);
    e.m_eKind = kind;
    return e;
  }
  // The failures the library's own code meets most, by name.
  // An input refused before anything was sent.
  static CelerraError Input(std::string message) { return Failure(ERROR_KIND_INPUT, std::move(message)); }
  // A reply that could not be read or lacked what was asked for.
  static CelerraError Reply(std::string message) { return Failure(ERROR_KIND_REPLY, std::move(message)); }
  // A list that came back without the object asked for.
  static CelerraError NotFound(std::string message) { return Failure(ERROR_KIND_NOT_FOUND, std::move(message)); }
  // This machine: private files, the trace lock, memory, the session.
  static CelerraError Local(std::string message) { return Failure(ERROR_KIND_LOCAL, std::move(message)); }
};
