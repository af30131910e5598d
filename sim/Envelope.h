// Reply documents as the control station writes them, and the outcome a
// message handler returns for the simulator to wrap.
#pragma once

#include <string>
#include <vector>

namespace celsim {

// Escapes text for element content and attribute values.
std::string Esc(const std::string& text);
// ` name="escaped"` with its leading blank.
std::string A(const char* name, const std::string& value);
// The same two appended to `out`, for replies of thousands of elements.
void AppendEsc(std::string& out, const std::string& text);
void AppendA(std::string& out, const char* name, const std::string& value);
// Whether a reply document can carry `text`: well-formed UTF-8 without
// control characters other than tab, line feed and carriage return. Names
// that fail this are refused when they come in, so that no reply is ever
// unreadable because of them.
bool IsXmlText(const std::string& text);

struct Problem {
  std::string messageCode;
  std::string message;
  std::string severity = "error";
  std::string component = "CS_CORE";
  std::string facility = "Storage";
  std::string description;
  std::string action;
  std::string diagnostics;
};

// What a handler decided: the result elements of a query (or the new
// object's elements of a task), or the problems of a refusal.
struct Outcome {
  std::string body;             // elements placed inside Response
  std::string severity = "ok";  // maxSeverity
  std::vector<Problem> problems;

  static Outcome Ok(std::string body = std::string()) {
    Outcome o;
    o.body = std::move(body);
    return o;
  }
  static Outcome Fail(Problem p) {
    Outcome o;
    o.severity = p.severity;
    o.problems.push_back(std::move(p));
    return o;
  }
  static Outcome Error(const std::string& code, const std::string& message) {
    Problem p;
    p.messageCode = code;
    p.message = message;
    p.description = message;
    return Fail(p);
  }
  static Outcome Warning(const std::string& code, const std::string& message) {
    Problem p;
    p.severity = "warning";
    p.messageCode = code;
    p.message = message;
    p.description = message;
    return Fail(p);
  }
  bool failed() const { return severity != "ok" && severity != "info"; }
};

// How refusals are written. The control station uses all of these.
enum class FailureShape {
  Status,       // QueryStatus / TaskResponse › Status carrying the problems
  Fault,        // a Fault element inside the single Response
  PacketFault,  // no Response; a PacketFault beside it
  BareStatus,   // tasks: a Status directly inside Response, no TaskResponse
};

struct ReplyStyle {
  FailureShape failureShape = FailureShape::Status;
  bool decorated = true;  // declaration with encoding/standalone, xmlns, whitespace
};

std::string ProblemXml(const Problem& p);
// The whole reply document for one request.
std::string BuildReply(Outcome outcome, bool task, bool ex, const std::string& taskId, const ReplyStyle& style,
                       const std::string& clientHandle = std::string());

}  // namespace celsim
