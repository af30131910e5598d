#include "sim/Envelope.h"

#include "common/Utf8.h"

namespace celsim {

namespace {

bool NeedsEscape(char c) {
  switch (c) {
    case '&': case '<': case '>': case '"': case '\'': case '\t': case '\n': case '\r': return true;
    default: return false;
  }
}

}  // namespace

void AppendEsc(std::string& out, const std::string& text) {
  // Nearly every value has nothing to escape: copied in one piece.
  size_t plain = 0;
  while (plain < text.size() && !NeedsEscape(text[plain])) ++plain;
  if (plain == text.size()) {
    out += text;
    return;
  }
  out.append(text, 0, plain);
  for (size_t i = plain; i < text.size(); ++i) {
    char c = text[i];
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      // Written as references so that a parser keeps them in attribute
      // values instead of folding them into blanks.
      case '\t': out += "&#9;"; break;
      case '\n': out += "&#10;"; break;
      case '\r': out += "&#13;"; break;
      default: out += c;
    }
  }
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

std::string BuildReply(const Outcome& o, bool task, bool ex, const std::string& taskId, const ReplyStyle& style,
                       const std::string& clientHandle) {
  std::string doc;
  doc.reserve(o.body.size() + 512);
  if (style.decorated) {
    doc += "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone = \"no\" ?>\n";
    doc += "<ResponsePacket xmlns=\"urn:celerra:xml-api:v1\" >\n";
  } else {
    doc += "<?xml version=\"1.0\"?>\n<ResponsePacket>\n";
  }
  const char* response = ex ? "ResponseEx" : "Response";
  bool failed = o.failed();
  if (failed && style.failureShape == FailureShape::PacketFault) {
    doc += Holder("PacketFault", o);
  } else {
    doc += std::string("  <") + response + (clientHandle.empty() ? "" : A("clientHandle", clientHandle)) + ">\n";
    if (failed && style.failureShape == FailureShape::Fault) {
      doc += Holder("Fault", o);
    } else if (!task) {
      doc += Holder("QueryStatus", o);
      doc += o.body;
    } else if (failed && style.failureShape == FailureShape::BareStatus) {
      doc += Holder("Status", o);
    } else {
      doc += "<TaskResponse" + A("taskId", taskId) + ">\n" + Holder("Status", o) + "</TaskResponse>\n";
      doc += o.body;
    }
    doc += std::string("  </") + response + ">\n";
  }
  doc += "</ResponsePacket>\n";
  return doc;
}

}  // namespace celsim
