#include "sim/Faults.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace celsim {

namespace {

bool IsHeaderFault(FaultKind kind) {
  return kind == FaultKind::Redirect || kind == FaultKind::BigHeader || kind == FaultKind::HugeCookie;
}

bool IsSized(FaultKind kind) {
  return kind == FaultKind::BigHeader || kind == FaultKind::HugeCookie || kind == FaultKind::TinyElements ||
         kind == FaultKind::ManyAttributes;
}

// A whole decimal number within [low, high].
bool ParseNumber(const std::string& text, long low, long high, long& out) {
  if (text.empty() || text.size() > 12) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  errno = 0;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (errno != 0 || value < low || value > high) return false;
  out = value;
  return true;
}

bool KindFromName(const std::string& name, bool login, FaultKind& kind) {
  static const std::map<std::string, FaultKind> kKinds = {
      {"refuse", FaultKind::Http500},
      {"drop", FaultKind::CloseMidReply},
      {"delay", FaultKind::Delay},
      {"expire-session", FaultKind::ExpireSession},
      {"code", FaultKind::Problem},
      {"malformed", FaultKind::Malformed},
      {"truncated", FaultKind::Truncated},
      {"endless", FaultKind::Endless},
      {"redirect", FaultKind::Redirect},
      {"big-header", FaultKind::BigHeader},
      {"huge-cookie", FaultKind::HugeCookie},
      {"tiny-elements", FaultKind::TinyElements},
      {"many-attributes", FaultKind::ManyAttributes},
  };
  auto it = kKinds.find(name);
  if (it == kKinds.end()) return false;
  kind = it->second;
  // The login form is refused with a 403 of its own; its other faults are
  // those of its answer's header.
  if (!login) return true;
  if (kind == FaultKind::Http500) kind = FaultKind::RefuseLogin;
  return kind == FaultKind::RefuseLogin || IsHeaderFault(kind);
}

// A limit on size=, so that a slip of the finger cannot exhaust memory.
constexpr long kMaxFaultSize = 1L << 30;

}  // namespace

bool FaultFromFields(const std::map<std::string, std::string>& fields, Fault& fault, std::string& error) {
  static const char* const kKeys[] = {"kind", "request", "count", "skip", "ms", "size", "code", "message"};
  for (const auto& field : fields) {
    bool known = false;
    for (const char* key : kKeys) known = known || field.first == key;
    if (!known) {
      error = "unknown fault field '" + field.first + "' (kind, request, count, skip, ms, size, code, message)";
      return false;
    }
  }
  auto get = [&](const char* key) {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
  };
  Fault f;
  f.messageType = get("request");
  if (f.messageType == "*") f.messageType.clear();
  bool login = f.messageType == "Login";
  std::string kind = get("kind");
  if (kind.empty()) {
    error =
        "a fault needs kind=refuse|drop|delay|expire-session|code|malformed|truncated|endless|redirect|big-header|"
        "huge-cookie|tiny-elements|many-attributes";
    return false;
  }
  if (!KindFromName(kind, login, f.kind)) {
    error = login ? "the login takes kind=refuse, redirect, big-header or huge-cookie"
                  : "unknown fault kind '" + kind + "'";
    return false;
  }
  long number = 0;
  std::string count = get("count");
  f.count = -1;
  if (!count.empty() && count != "all") {
    if (!ParseNumber(count, 1, INT_MAX, number)) {
      error = "count must be a number from 1 or 'all', not '" + count + "'";
      return false;
    }
    f.count = static_cast<int>(number);
  }
  std::string skip = get("skip");
  if (!skip.empty()) {
    if (!ParseNumber(skip, 0, INT_MAX, number)) {
      error = "skip must be a number from 0, not '" + skip + "'";
      return false;
    }
    f.skip = static_cast<int>(number);
  }
  std::string ms = get("ms");
  if (f.kind == FaultKind::Delay) {
    if (!ParseNumber(ms, 0, kMaxFaultDelayMs, number)) {
      error = "a delay needs ms=0.." + std::to_string(kMaxFaultDelayMs) + (ms.empty() ? "" : ", not '" + ms + "'");
      return false;
    }
    f.delayMs = static_cast<int>(number);
  } else if (!ms.empty()) {
    error = "ms belongs to kind=delay only";
    return false;
  }
  std::string size = get("size");
  if (IsSized(f.kind)) {
    if (!size.empty() && !ParseNumber(size, 1, kMaxFaultSize, number)) {
      error = "size must be a number from 1 to " + std::to_string(kMaxFaultSize) + ", not '" + size + "'";
      return false;
    }
    f.size = size.empty() ? DefaultFaultSize(f.kind) : static_cast<size_t>(number);
  } else if (!size.empty()) {
    error = "size belongs to kind=big-header, huge-cookie, tiny-elements and many-attributes only";
    return false;
  }
  std::string code = get("code");
  if (f.kind == FaultKind::Problem) {
    if (!ParseNumber(code, 0, LONG_MAX, number)) {
      error = "kind=code needs code=DIGITS" + (code.empty() ? std::string() : ", not '" + code + "'");
      return false;
    }
    f.problem.messageCode = code;
    f.problem.message = get("message").empty() ? "Injected fault" : get("message");
    f.problem.description = f.problem.message;
    if (!IsXmlText(f.problem.message)) {
      error = "the message must be UTF-8 text without control characters";
      return false;
    }
  } else if (!code.empty() || !get("message").empty()) {
    error = "code and message belong to kind=code only";
    return false;
  }
  fault = f;
  return true;
}

size_t DefaultFaultSize(FaultKind kind) {
  switch (kind) {
    case FaultKind::BigHeader: return 4 << 20;
    case FaultKind::HugeCookie: return 1 << 20;
    case FaultKind::TinyElements: return 200 * 1000 * 1000;
    case FaultKind::ManyAttributes: return 1000 * 1000;
    default: return 0;
  }
}

std::string TinyElementReply(size_t bytes) {
  static const char kHead[] = "<?xml version=\"1.0\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>";
  static const char kTail[] = "</Response></ResponsePacket>\n";
  std::string reply = kHead;
  reply.reserve(bytes + sizeof kTail);
  while (reply.size() + sizeof kTail < bytes) reply += "<a/>";
  return reply + kTail;
}

std::string ManyAttributeReply(size_t attributes) {
  std::string reply =
      "<?xml version=\"1.0\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
      "<FileSystem fileSystem=\"1\" name=\"fs\" type=\"uxfs\"";
  reply.reserve(attributes * 12 + 128);
  for (size_t i = 0; i < attributes; ++i) reply += " a" + std::to_string(i) + "=\"\"";
  return reply + "/></Response></ResponsePacket>\n";
}

bool ParseFaultText(const std::string& text, Fault& fault, std::string& error) {
  std::map<std::string, std::string> fields;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(',', start);
    if (end == std::string::npos) end = text.size();
    std::string item = text.substr(start, end - start);
    size_t eq = item.find('=');
    if (eq == std::string::npos || eq == 0) {
      error = "'" + item + "' is not key=value";
      return false;
    }
    std::string key = item.substr(0, eq);
    // A message may hold commas: it takes the rest of the text.
    if (key == "message") {
      fields[key] = text.substr(start + eq + 1);
      break;
    }
    if (!fields.emplace(key, item.substr(eq + 1)).second) {
      error = "'" + key + "' given twice";
      return false;
    }
    start = end + 1;
  }
  if (!FaultFromFields(fields, fault, error)) {
    error = "--fault " + text + ": " + error;
    return false;
  }
  return true;
}

}  // namespace celsim
