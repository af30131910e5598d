// Faults the simulator can inject into its answers, and their description
// in words, which celerra-sim takes from its command line (--fault) and from
// its data file's "faults" list:
//   kind=KIND[,request=ELEMENT][,count=N|all][,skip=N][,ms=N][,size=N][,code=CODE][,message=TEXT]
// KIND is refuse (HTTP 500; 403 for request=Login), drop (half the reply,
// then the connection closes), delay (answer after ms), expire-session (the
// session is dropped before the request), code (refused with message code
// CODE and TEXT), malformed, truncated or endless (a reply that never ends);
// hostile answers: redirect (HTTP 302 to the same path, with the answer that
// would have been sent), big-header (size bytes of header lines, default 4
// MiB), huge-cookie (an extra cookie of size bytes, default 1 MiB),
// tiny-elements (a reply of size bytes of empty elements, default 200 MB) and
// many-attributes (one element with size attributes, default a million).
// `request` is a request's body element (FileSystemQueryParams, ...) or
// Login (which takes refuse, redirect, big-header and huge-cookie); without
// it every request matches. A fault hits every matching request unless
// `count` says how many. In the --fault text `message` comes last and takes
// the rest, commas included.
#pragma once

#include <map>
#include <string>

#include "sim/Envelope.h"

namespace celsim {

enum class FaultKind {
  RefuseLogin,     // 403 on /Login
  Http500,         // HTTP 500 on the servlet
  CloseMidReply,   // half of the reply, then the connection is closed
  Delay,           // answer after delayMs
  Malformed,       // a reply that is not well-formed
  Truncated,       // the reply cut in half (Content-Length matches)
  Canned,          // `canned` sent as the reply
  Problem,         // the request refused with `problem`
  ExpireSession,   // the session is dropped before this request (403)
  Endless,         // a reply that never ends: chunks until the client hangs up
  Redirect,        // HTTP 302 to the same path, with the answer as its body
  BigHeader,       // `size` bytes of extra header lines
  HugeCookie,      // an extra Set-Cookie of `size` bytes
  TinyElements,    // a reply of `size` bytes of empty elements
  ManyAttributes,  // a reply with one element of `size` attributes
};

struct Fault {
  FaultKind kind = FaultKind::Http500;
  std::string messageType;  // body element to match; empty matches any servlet request
  int count = 1;            // how many matching exchanges it hits; -1: until cleared
  int skip = 0;             // matching exchanges to let through first
  int delayMs = 0;
  size_t size = 0;  // of the hostile answers; 0 takes the kind's default
  std::string canned;
  celsim::Problem problem;
  ReplyStyle style;  // shape of the refusal for Problem faults
};

// The longest delay a described fault may ask for: above any client's
// time-out worth testing, below a stuck test run.
constexpr int kMaxFaultDelayMs = 3600 * 1000;

// The size a hostile answer takes when its fault names none.
size_t DefaultFaultSize(FaultKind kind);

// A fault from its fields (the keys above); false with `error` saying what
// is wrong.
bool FaultFromFields(const std::map<std::string, std::string>& fields, Fault& fault, std::string& error);
// A fault from "key=value,key=value,..." as --fault takes it.
bool ParseFaultText(const std::string& text, Fault& fault, std::string& error);

// Replies that cost a reply parser far more memory than their size: about
// `bytes` of empty elements, and one element with `attributes` distinct
// attributes. Both are well-formed list replies.
std::string TinyElementReply(size_t bytes);
std::string ManyAttributeReply(size_t attributes);

}  // namespace celsim
