#include "sim/Envelope.h"

#include "common/Utf8.h"

namespace celsim {

namespace {

// The reference a reply writes in place of `c`; null for a character
// written as it is.
const char* Reference(char c) {
  switch (c) {
    case '&': return "&amp;";
    case '<': return "&lt;";
    case '>': return "&gt;";
    case '"': return "&quot;";
    case '\'': return "&apos;";
    // Written as references so that a parser keeps them in attribute
    // values instead of folding them into blanks.
    case '\t': return "&#9;";
    case '\n': return "&#10;";
    case '\r': return "&#13;";
    default: return nullptr;
  }
}

}  // namespace

void AppendEsc(std::string& out, const std::string& text) {
  // The runs between references go in whole: nearly every value is one run.
  size_t run = 0;
  for (size_t i = 0; i < text.size(); ++i) {
    if (const char* reference = Reference(text[i])) {
      out.append(text, run, i - run);
      out += reference;
      run = i + 1;
    }
  }
  out.append(text, run, std::string::npos);
}

std::string Esc(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  AppendEsc(out, text);
  return out;
}

void AppendA(std::string& out, const char* name, const std::string& value) {
  out += ' ';
  out += name;
  out += "=\"";
  AppendEsc(out, value);
  out += '"';
}

std::string A(const char* name, const std::string& value) {
  std::string out;
  AppendA(out, name, value);
  return out;
}

bool IsXmlText(const std::string& text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    unsigned long code = 0;
    int length = celcommon::DecodeUtf8(p, end, code);
    if (length == 0 || code == 0xFFFE || code == 0xFFFF) return false;
    if (code < 0x20 && code != '\t' && code != '\n' && code != '\r') return false;
    p += length;
  }
  return true;
}

std::string ProblemXml(const Problem& p) {
  std::string x = "<Problem" + A("messageCode", p.messageCode) + A("facility", p.facility) +
                  A("component", p.component) + A("message", p.message) + A("severity", p.severity) + ">";
  if (!p.description.empty()) x += "<Description>" + Esc(p.description) + "</Description>";
  if (!p.action.empty()) x += "<Action>" + Esc(p.action) + "</Action>";
  if (!p.diagnostics.empty()) x += "<Diagnostics>" + Esc(p.diagnostics) + "</Diagnostics>";
  return x + "</Problem>\n";
}

namespace {

std::string Problems(const Outcome& o) {
  std::string x;
  for (const Problem& p : o.problems) x += ProblemXml(p);
  return x;
}

std::string Holder(const char* tag, const Outcome& o) {
  std::string inner = Problems(o);
  if (inner.empty()) return std::string("<") + tag + A("maxSeverity", o.severity) + "/>\n";
  return std::string("<") + tag + A("maxSeverity", o.severity) + ">\n" + inner + "</" + tag + ">\n";
}

}  // namespace

std::string BuildReply(Outcome o, bool task, bool ex, const std::string& taskId, const ReplyStyle& style,
                       const std::string& clientHandle) {
  std::string head, tail;
  if (style.decorated) {
    head += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone = \"no\" ?>\n";
    head += "<ResponsePacket xmlns=\"urn:celerra:xml-api:v1\" >\n";
  } else {
    head += "<?xml version=\"1.0\"?>\n<ResponsePacket>\n";
  }
  const char* response = ex ? "ResponseEx" : "Response";
  bool failed = o.failed();
  bool withBody = false;
  if (failed && style.failureShape == FailureShape::PacketFault) {
    head += Holder("PacketFault", o);
  } else {
    head += std::string("  <") + response + (clientHandle.empty() ? "" : A("clientHandle", clientHandle)) + ">\n";
    if (failed && style.failureShape == FailureShape::Fault) {
      head += Holder("Fault", o);
    } else if (!task) {
      head += Holder("QueryStatus", o);
      withBody = true;
    } else if (failed && style.failureShape == FailureShape::BareStatus) {
      head += Holder("Status", o);
    } else {
      head += "<TaskResponse" + A("taskId", taskId) + ">\n" + Holder("Status", o) + "</TaskResponse>\n";
      withBody = true;
    }
    tail += std::string("  </") + response + ">\n";
  }
  tail += "</ResponsePacket>\n";
  if (!withBody) return head + tail;
  // The envelope goes around the body where it lies: the body of a long list
  // is megabytes, and a copy would cost a page fault per 4 KiB.
  o.body.insert(0, head);
  o.body += tail;
  return std::move(o.body);
}

}  // namespace celsim
