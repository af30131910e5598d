#include "messages/internal/XmlReply.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "messages/internal/XmlText.h"
#include "platform/OXPlatformInfo.h"

namespace celerra_internal {

namespace {

using pugi::xml_node;

xml_node Node(const XmlNode* node) { return xml_node(const_cast<pugi::xml_node_struct*>(node)); }
const XmlNode* Raw(xml_node node) { return node.internal_object(); }

// The one walk of a reply's tree: every node below `top` (not `top` itself)
// in document order, without recursion, so that a deep reply cannot exhaust
// the stack. `visit(node, depth)` sees each node with its depth below `top`
// (1 for a child of `top`) and returns false to stop the walk there. False
// when the walk was stopped.
template <class Visit>
bool WalkBelow(xml_node top, Visit visit) {
  size_t depth = 1;
  xml_node node = top.first_child();
  while (node) {
    if (!visit(node, depth)) return false;
    if (xml_node child = node.first_child()) {
      node = child;
      ++depth;
      continue;
    }
    while (node != top && !node.next_sibling()) {
      node = node.parent();
      --depth;
    }
    if (node == top) return true;
    node = node.next_sibling();
  }
  return true;
}

// What the parser is asked to do, and why:
// - no parse_escapes: references are expanded by ExpandReferences, which
//   refuses a reference to an undefined entity (the parser keeps it as text);
// - parse_doctype, parse_declaration and parse_fragment turn a DOCTYPE, a
//   misplaced declaration and text outside the root element into nodes, so
//   that the walk can refuse them (the parser would skip them silently);
// - parse_ws_pcdata_single keeps the blanks of an element that holds nothing
//   else, while blanks between elements are dropped;
// - comments and processing instructions are skipped.
constexpr unsigned kParseOptions = pugi::parse_cdata | pugi::parse_eol | pugi::parse_wconv_attribute |
                                   pugi::parse_ws_pcdata_single | pugi::parse_declaration | pugi::parse_doctype |
                                   pugi::parse_fragment;

std::string ByteOffset(size_t offset) { return " at byte " + std::to_string(offset); }

// Sixteen bytes, compared all at once (the compiler's vector extension:
// SSE2 on x86-64, NEON on ARM). A comparison gives 0xFF in each lane where
// it holds.
typedef unsigned char Bytes16 __attribute__((vector_size(16)));

// ---------------------------------------------------------------- encoding

bool IsXmlChar(uint32_t cp) {
  if (cp < 0x20) return cp == 0x9 || cp == 0xA || cp == 0xD;
  if (cp < 0xD800) return true;
  if (cp < 0xE000) return false;
  if (cp < 0xFFFE) return true;
  return cp >= 0x10000 && cp <= 0x10FFFF;
}

// Checks that [p, p + n) is UTF-8 (no overlong forms, no surrogates) and
// holds only characters XML allows; `asciiOnly` refuses every byte above
// 0x7F. Runs of ASCII text and line breaks, nearly all of a reply, go
// sixteen bytes at a time.
bool CheckUtf8(const unsigned char* p, size_t n, bool asciiOnly, size_t base, std::string& why) {
  size_t i = 0;
  while (i < n) {
    while (i + sizeof(Bytes16) <= n) {
      Bytes16 w;
      std::memcpy(&w, p + i, sizeof w);
      Bytes16 plain = reinterpret_cast<Bytes16>((w >= 0x20) & (w < 0x80)) |
                      reinterpret_cast<Bytes16>((w == '\n') | (w == '\t') | (w == '\r'));
      uint64_t halves[2];
      std::memcpy(halves, &plain, sizeof halves);
      if (~(halves[0] & halves[1])) break;  // a byte that is neither
      i += sizeof(Bytes16);
    }
    if (i >= n) break;
    unsigned char c = p[i];
    if (c < 0x80) {
      if (!IsXmlChar(c)) {
        why = "not XML: control character " + std::to_string(c) + ByteOffset(base + i);
        return false;
      }
      ++i;
      continue;
    }
    size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
    uint32_t cp = c & (0x7F >> length);
    bool valid = !asciiOnly && c >= 0xC2 && c <= 0xF4 && i + length <= n;
    for (size_t k = 1; valid && k < length; ++k) {
      valid = (p[i + k] & 0xC0) == 0x80;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const uint32_t kShortest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (!valid || cp < kShortest[length] || !IsXmlChar(cp)) {
      why = std::string(asciiOnly ? "not US-ASCII" : "not UTF-8") + ByteOffset(base + i);
      return false;
    }
    i += length;
  }
  return true;
}

// UTF-16 (after its byte-order mark, if any) as UTF-8; unpaired surrogates
// are refused.
bool Utf16ToUtf8Strict(const std::string& in, size_t start, bool bigEndian, std::string& out, std::string& why) {
  if ((in.size() - start) % 2) {
    why = "UTF-16 reply with an odd number of bytes";
    return false;
  }
  auto unit = [&](size_t i) -> uint32_t {
    uint32_t a = static_cast<unsigned char>(in[i]), b = static_cast<unsigned char>(in[i + 1]);
    return bigEndian ? (a << 8 | b) : (b << 8 | a);
  };
  out.clear();
  out.reserve(in.size() - start);
  char utf8[4];
  for (size_t i = start; i < in.size(); i += 2) {
    uint32_t cp = unit(i);
    if (cp >= 0xD800 && cp <= 0xDFFF) {
      uint32_t low = i + 3 < in.size() ? unit(i + 2) : 0;
      if (cp > 0xDBFF || low < 0xDC00 || low > 0xDFFF) {
        why = "unpaired surrogate in a UTF-16 reply" + ByteOffset(i);
        return false;
      }
      cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
      i += 2;
    }
    out.append(utf8, EncodeUtf8(cp, utf8));
  }
  return true;
}

// The encoding the XML declaration at `p` names, in capitals; empty when
// there is no declaration or it names none.
std::string DeclaredEncoding(const char* p, size_t n) {
  if (n < 6 || std::memcmp(p, "<?xml", 5) != 0 || !std::strchr(" \t\r\n", p[5])) return std::string();
  std::string head(p, std::min<size_t>(n, 512));
  size_t end = head.find("?>");
  size_t at = head.find("encoding");
  if (end == std::string::npos || at == std::string::npos || at > end) return std::string();
  at = head.find_first_not_of(" \t\r\n", at + 8);
  if (at == std::string::npos || head[at] != '=') return std::string();
  at = head.find_first_not_of(" \t\r\n", at + 1);
  if (at == std::string::npos || (head[at] != '"' && head[at] != '\'')) return std::string();
  size_t close = head.find(head[at], at + 1);
  if (close == std::string::npos || close > end) return std::string();
  // Upper case, and only what an encoding name is written with: the name may
  // end up in an error message.
  std::string name = head.substr(at + 1, std::min<size_t>(close - at - 1, 40));
  for (char& c : name)
    c = std::isalnum(static_cast<unsigned char>(c)) || (c && std::strchr("-_.:", c))
            ? static_cast<char>(std::toupper(static_cast<unsigned char>(c)))
            : '?';
  return name;
}

// Makes `text` UTF-8 holding only characters XML allows, converting UTF-16
// (told by its byte-order mark or its first characters) and a declared
// ISO-8859-1; `start` is set past a UTF-8 byte-order mark. A reply in plain
// US-ASCII or UTF-8, nearly every reply, is only checked.
bool PrepareUtf8(std::string& text, size_t* start, std::string& why) {
  *start = 0;
  const unsigned char* b = reinterpret_cast<const unsigned char*>(text.data());
  size_t n = text.size();
  bool utf16 = false;
  bool bomUtf16 = n >= 2 && ((b[0] == 0xFE && b[1] == 0xFF) || (b[0] == 0xFF && b[1] == 0xFE));
  bool bareUtf16 = n >= 4 && ((b[0] == '<' && b[1] == 0 && b[2] == '?' && b[3] == 0) ||
                              (b[0] == 0 && b[1] == '<' && b[2] == 0 && b[3] == '?'));
  if (bomUtf16 || bareUtf16) {
    std::string converted;
    if (!Utf16ToUtf8Strict(text, bomUtf16 ? 2 : 0, b[0] == 0xFE || b[0] == 0, converted, why)) return false;
    text.swap(converted);
    utf16 = true;
  } else if (n >= 3 && b[0] == 0xEF && b[1] == 0xBB && b[2] == 0xBF) {
    *start = 3;
  }
  std::string encoding = DeclaredEncoding(text.data() + *start, text.size() - *start);
  bool asciiOnly = false;
  if (encoding == "ISO-8859-1" || encoding == "ISO8859-1" || encoding == "ISO_8859-1" || encoding == "LATIN1" ||
      encoding == "L1") {
    if (utf16) {
      why = "reply declared " + encoding + " but written in UTF-16";
      return false;
    }
    // Every byte is a character of its own: those above 0x7F take two bytes
    // in UTF-8. A reply without any is already UTF-8.
    size_t high = 0;
    for (size_t i = *start; i < text.size(); ++i) high += static_cast<unsigned char>(text[i]) >> 7;
    if (high > 0) {
      std::string converted;
      converted.reserve(text.size() + high);
      char utf8[4];
      for (size_t i = *start; i < text.size(); ++i)
        converted.append(utf8, EncodeUtf8(static_cast<unsigned char>(text[i]), utf8));
      text.swap(converted);
      *start = 0;
    }
  } else if (encoding == "US-ASCII" || encoding == "ASCII") {
    asciiOnly = true;
  } else if (encoding == "UTF-16" || encoding == "UTF-16LE" || encoding == "UTF-16BE") {
    if (!utf16) {
      why = "reply declared " + encoding + " but written in an 8-bit encoding";
      return false;
    }
  } else if (!encoding.empty() && encoding != "UTF-8" && encoding != "UTF8") {
    why = "reply in the unsupported encoding " + encoding;
    return false;
  }
  return CheckUtf8(reinterpret_cast<const unsigned char*>(text.data()) + *start, text.size() - *start, asciiOnly,
                   *start, why);
}

// --------------------------------------------------------------- references

// Expands the character references and the five predefined entities of one
// text or attribute value in place (the value only shrinks). False, with the
// reason, for a reference to any other entity, a character reference to a
// character XML does not allow, an '&' that starts no reference, or a '<'
// in an attribute value.
bool ExpandReferences(char* value, bool attribute, std::string& why) {
  char* out = attribute ? std::strpbrk(value, "&<") : std::strchr(value, '&');
  if (!out) return true;
  const char* in = out;
  static const struct {
    const char* name;
    size_t length;
    char c;
  } kEntities[] = {{"lt;", 3, '<'}, {"gt;", 3, '>'}, {"amp;", 4, '&'}, {"apos;", 5, '\''}, {"quot;", 5, '"'}};
  while (*in) {
    if (*in == '<' && attribute) {
      why = "not well-formed: '<' in an attribute value";
      return false;
    }
    if (*in != '&') {
      *out++ = *in++;
      continue;
    }
    const char* reference = in++;
    if (*in == '#') {
      bool hex = *++in == 'x';
      if (hex) ++in;
      uint32_t cp = 0;
      size_t digits = 0;
      for (;; ++in, ++digits) {
        int d = *in >= '0' && *in <= '9'          ? *in - '0'
                : hex && *in >= 'a' && *in <= 'f' ? *in - 'a' + 10
                : hex && *in >= 'A' && *in <= 'F' ? *in - 'A' + 10
                                                  : -1;
        if (d < 0) break;
        cp = cp > 0x10FFFF ? cp : cp * (hex ? 16 : 10) + static_cast<uint32_t>(d);
      }
      if (digits == 0 || *in != ';') {
        why = "not well-formed: malformed character reference " +
              std::string(reference, std::min<size_t>(in - reference, 16));
        return false;
      }
      ++in;
      if (!IsXmlChar(cp)) {
        why = "not well-formed: reference to a character XML does not allow: " + std::string(reference, in - reference);
        return false;
      }
      // The reference is at least as long as the bytes it stands for.
      out += EncodeUtf8(cp, out);
      continue;
    }
    bool known = false;
    for (const auto& e : kEntities) {
      if (std::strncmp(in, e.name, e.length) == 0) {
        *out++ = e.c;
        in += e.length;
        known = true;
        break;
      }
    }
    if (!known) {
      size_t length = std::strcspn(in, ";<& \t\r\n\"'");
      why = in[length] == ';' ? "not well-formed: reference to the undefined entity " +
                                    std::string(reference, std::min<size_t>(length + 2, 40))
                              : std::string("not well-formed: '&' that starts no reference");
      return false;
    }
  }
  *out = '\0';
  return true;
}

// ------------------------------------------------------------ parse memory

// What the parser builds from a text: one node per element, per text or
// CDATA section it keeps, per declaration and DOCTYPE, and one attribute per
// name="value". Counted in one pass with the parse's own options in mind;
// on text that is not well-formed the count may be larger than what the
// parser would build before it stops, never smaller. The text ends in its
// one NUL (the encoding check refuses any other), so the C library's
// string scans stop at its end.
struct TreeCount {
  unsigned long long nodes = 0, attributes = 0;
};

bool AllBlank(const char* p, const char* end) { return p + std::strspn(p, " \t\r\n") >= end; }

// Past the first `close` at or after `p`, or `end`.
const char* Past(const char* p, const char* end, const char* close) {
  size_t n = std::strlen(close);
  while (p < end) {
    p = static_cast<const char*>(std::memchr(p, close[0], static_cast<size_t>(end - p)));
    if (!p || p + n > end) return end;
    if (std::memcmp(p, close, n) == 0) return p + n;
    ++p;
  }
  return end;
}

// Past the end of the tag that starts at `p` (after its '<'), counting its
// attributes; `open` tells whether it left an element open.
const char* PastTag(const char* p, const char* end, TreeCount& count, bool& open) {
  const char* start = p;
  open = false;
  for (p += std::strcspn(p, "\"'=>"); p < end && *p != '>'; p += std::strcspn(p, "\"'=>")) {
    if (*p == '=') {
      ++count.attributes;
      ++p;
      continue;
    }
    const char* close = static_cast<const char*>(std::memchr(p + 1, *p, static_cast<size_t>(end - p - 1)));
    if (!close) return end;
    p = close + 1;
  }
  open = p < end && p > start && p[-1] != '/';
  return p < end ? p + 1 : end;
}

TreeCount CountTree(const char* p, const char* end) {
  TreeCount count;
  bool afterStartTag = false;
  while (p < end) {
    const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
    const char* textEnd = lt ? lt : end;
    // Blanks between elements are dropped, except those that are all an
    // element holds.
    if (textEnd > p && (!AllBlank(p, textEnd) || (afterStartTag && textEnd + 1 < end && textEnd[1] == '/')))
      ++count.nodes;
    if (!lt || lt + 1 >= end) break;
    p = lt + 1;
    afterStartTag = false;
    if (*p == '/') {
      p = Past(p, end, ">");
    } else if (*p == '?') {
      ++count.nodes;
      bool ignored = false;
      p = PastTag(p, end, count, ignored);
    } else if (end - p >= 3 && std::memcmp(p, "!--", 3) == 0) {
      p = Past(p + 3, end, "-->");
    } else if (end - p >= 8 && std::memcmp(p, "![CDATA[", 8) == 0) {
      ++count.nodes;
      p = Past(p + 8, end, "]]>");
    } else {
      ++count.nodes;
      p = PastTag(p, end, count, afterStartTag);
    }
  }
  return count;
}

// Bounds of what CountTree counts, from one quick pass over 16 bytes at a
// time: every node but a text starts at a '<', at most one text lies before
// each '<' and one after the last, and every attribute has its '='. Nearly
// every reply fits its budget by these bounds, and is then not counted
// exactly.
TreeCount BoundTree(const char* p, const char* end) {
  const size_t n = static_cast<size_t>(end - p);
  unsigned long long lt = 0, eq = 0;
  size_t i = 0;
  while (i + sizeof(Bytes16) <= n) {
    // A lane counts up to 255 blocks before the lanes are added up.
    Bytes16 lts = {}, eqs = {};
    for (int k = 0; k < 255 && i + sizeof(Bytes16) <= n; ++k, i += sizeof(Bytes16)) {
      Bytes16 w;
      std::memcpy(&w, p + i, sizeof w);
      lts -= reinterpret_cast<Bytes16>(w == '<');  // a match is -1 in its lane
      eqs -= reinterpret_cast<Bytes16>(w == '=');
    }
    for (size_t b = 0; b < sizeof(Bytes16); ++b) {
      lt += lts[b];
      eq += eqs[b];
    }
  }
  for (; i < n; ++i) {
    lt += p[i] == '<';
    eq += p[i] == '=';
  }
  TreeCount count;
  count.nodes = 2 * lt + 1;
  count.attributes = eq;
  return count;
}

// The allowance above 4 bytes per reply byte.
unsigned long long ParseAllowance() {
  std::string text;
  OXPlatformInfo().getString("Vantrel", "sCELERRAPARSEALLOWANCE", &text);
  char* end = nullptr;
  errno = 0;
  unsigned long long bytes = std::strtoull(text.c_str(), &end, 10);
  bool valid = !text.empty() && std::isdigit(static_cast<unsigned char>(text[0])) && !*end && errno == 0;
  return valid ? bytes : kDefaultParseAllowance;
}

// Empty when the tree built from [p, end), with the text it is built in,
// fits the parse's memory for a reply of `replyBytes`; otherwise why not.
std::string OverParseBudget(const char* p, const char* end, size_t textBytes, size_t replyBytes) {
  // A node and an attribute of the parser, in pointers, on every platform.
  constexpr unsigned long long kNodeBytes = 8 * sizeof(void*), kAttributeBytes = 5 * sizeof(void*);
  auto cost = [&](const TreeCount& count) {
    return textBytes + count.nodes * kNodeBytes + count.attributes * kAttributeBytes;
  };
  unsigned long long allowance = ParseAllowance();
  unsigned long long budget = kParseMemoryPerReplyByte * static_cast<unsigned long long>(replyBytes) + allowance;
  if (cost(BoundTree(p, end)) <= budget) return std::string();
  TreeCount count = CountTree(p, end);
  if (cost(count) <= budget) return std::string();
  return "the reply would take " + std::to_string(cost(count) >> 20) + " MiB to parse (" + std::to_string(count.nodes) +
         " elements and texts, " + std::to_string(count.attributes) + " attributes in " + std::to_string(replyBytes) +
         " bytes), more than the parse limit of " + std::to_string(kParseMemoryPerReplyByte) +
         " times the reply's size plus " + std::to_string(allowance) +
         " bytes; the configuration value sCELERRAPARSEALLOWANCE (bytes) raises it";
}

// ----------------------------------------------------------------- the walk

bool IsEnvelopeTag(const char* name, ReplyDocument::EnvelopeTag* tag) {
  // By the first letter, so that the elements of a list (FileSystem,
  // RwFileSystemHosts, ...) cost one or two comparisons each.
  auto is = [&](const char* envelope, ReplyDocument::EnvelopeTag t) {
    for (int i = 1; i < 4; ++i)  // every envelope tag is longer
      if (name[i] != envelope[i]) return false;
    if (std::strcmp(name + 4, envelope + 4) != 0) return false;
    *tag = t;
    return true;
  };
  switch (name[0]) {
    case 'R':
      return is("Response", ReplyDocument::kResponse) || is("ResponseEx", ReplyDocument::kResponse) ||
             is("ResponsePacket", ReplyDocument::kPacket);
    case 'P': return is("PacketFault", ReplyDocument::kPacketFault);
    case 'F': return is("Fault", ReplyDocument::kFault);
    case 'Q': return is("QueryStatus", ReplyDocument::kQueryStatus);
    case 'T': return is("TaskResponse", ReplyDocument::kTaskResponse);
    default: return false;
  }
}

// The document's own children: exactly one element, no text, no DOCTYPE,
// and an XML declaration only in first place. Returns the root element, or
// null with the reason.
xml_node CheckTopLevel(const pugi::xml_document& document, std::string& why) {
  xml_node root;
  bool first = true;
  for (xml_node n = document.first_child(); n; n = n.next_sibling(), first = false) {
    switch (n.type()) {
      case pugi::node_element:
        if (root) {
          why = "not well-formed: a second element outside the root element";
          return xml_node();
        }
        root = n;
        break;
      case pugi::node_pcdata:
      case pugi::node_cdata: why = "not well-formed: text outside the root element"; return xml_node();
      case pugi::node_doctype:
        // Real replies carry none, and nothing is ever taken from one.
        why = "reply carries a DOCTYPE";
        return xml_node();
      case pugi::node_declaration:
        if (!first) {
          why = "not well-formed: an XML declaration after the start";
          return xml_node();
        }
        break;
      default: break;
    }
  }
  if (!root) why = "reply holds no element";
  return root;
}

}  // namespace

struct ReplyDocument::Impl {
  std::string text;  // the reply, parsed in place: the nodes point into it
  pugi::xml_document document;
  bool parsed = false;
  // Whether the text holds an '&' at all: most replies hold none, and then
  // no value has a reference to expand.
  bool references = true;

  // What ExpandReferences would do with `value`, quicker when the text
  // holds no reference: only an attribute's '<' is then refused.
  bool Expand(char* value, bool attribute, std::string& why) const {
    if (references) return ExpandReferences(value, attribute, why);
    if (!attribute) return true;
    // Values are short: a loop of its own is quicker than a call per value.
    const char* c = value;
    while (*c && *c != '<') ++c;
    return !*c || ExpandReferences(value, attribute, why);
  }

  // One walk of the whole document: refuses nesting past the limit,
  // expands the references of every value, and collects the envelope's
  // elements.
  bool Walk(std::vector<const XmlElement*>* envelope, std::string& why) {
    return WalkBelow(document, [&](xml_node node, size_t depth) {
      // A reply nested thousands deep would make every lookup that searches
      // below each element quadratic.
      if (depth > kMaxReplyDepth) {
        why = "reply nests elements more than " + std::to_string(kMaxReplyDepth) + " levels deep";
        return false;
      }
      if (node.type() == pugi::node_pcdata) return Expand(const_cast<char*>(node.value()), false, why);
      if (node.type() != pugi::node_element) return true;
      EnvelopeTag tag;
      if (IsEnvelopeTag(node.name(), &tag)) envelope[tag].push_back(Raw(node));
      for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (!Expand(const_cast<char*>(a.value()), true, why)) return false;
      return true;
    });
  }
};

ReplyDocument::ReplyDocument() : m_Impl(new Impl) {}

ReplyDocument::~ReplyDocument() = default;

bool ReplyDocument::Parse(std::string& text) {
  Impl& impl = *m_Impl;
  impl.document.reset();
  impl.parsed = false;
  for (auto& list : m_Envelope) list.clear();
  m_Error.clear();
  packet = nullptr;
  response = nullptr;
  m_TooLarge = false;
  impl.text = std::move(text);
  text.clear();

  const size_t replyBytes = impl.text.size();
  size_t start = 0;
  if (!PrepareUtf8(impl.text, &start, m_Error)) return false;
  if (impl.text.size() == start) {
    m_Error = "empty reply";
    return false;
  }
  const char* begin = impl.text.data() + start;
  m_Error = OverParseBudget(begin, impl.text.data() + impl.text.size(), impl.text.size(), replyBytes);
  if (!m_Error.empty()) {
    m_TooLarge = true;
    return false;
  }
  impl.references = std::memchr(begin, '&', impl.text.size() - start) != nullptr;
  pugi::xml_parse_result result = impl.document.load_buffer_inplace(&impl.text[start], impl.text.size() - start,
                                                                    kParseOptions, pugi::encoding_utf8);
  if (!result) {
    m_Error = std::string("not well-formed: ") + result.description() + ByteOffset(start + result.offset);
    return false;
  }
  xml_node root = CheckTopLevel(impl.document, m_Error);
  if (!root || !impl.Walk(m_Envelope, m_Error)) {
    for (auto& list : m_Envelope) list.clear();
    impl.document.reset();
    return false;
  }
  impl.parsed = true;
  return true;
}

const XmlNode* ReplyDocument::document() const { return m_Impl->parsed ? Raw(m_Impl->document) : nullptr; }

const XmlElement* ReplyDocument::root() const {
  return m_Impl->parsed ? Raw(m_Impl->document.document_element()) : nullptr;
}

// --------------------------------------------------------------- lookups

namespace {

// Visits the elements below `under` in document order; stops when `visit`
// returns false.
template <class Visit>
void EachElementBelow(const XmlNode* under, Visit visit) {
  if (!under) return;
  WalkBelow(Node(under), [&](xml_node node, size_t) { return node.type() != pugi::node_element || visit(node); });
}

}  // namespace

std::vector<const XmlElement*> Below(const std::vector<const XmlElement*>& list, const XmlNode* ancestor) {
  std::vector<const XmlElement*> out;
  if (!ancestor) return out;
  for (const XmlElement* e : list) {
    for (xml_node p = Node(e).parent(); p; p = p.parent()) {
      if (Raw(p) == ancestor) {
        out.push_back(e);
        break;
      }
    }
  }
  return out;
}

std::vector<const XmlElement*> Elements(const XmlNode* under, const char* tag) {
  std::vector<const XmlElement*> out;
  EachElementBelow(under, [&](xml_node e) {
    if (std::strcmp(e.name(), tag) == 0) out.push_back(Raw(e));
    return true;
  });
  return out;
}

std::vector<const XmlElement*> Elements(const XmlNode* under, const char* tag, const char* alternative) {
  std::vector<const XmlElement*> out;
  EachElementBelow(under, [&](xml_node e) {
    if (std::strcmp(e.name(), tag) == 0 || std::strcmp(e.name(), alternative) == 0) out.push_back(Raw(e));
    return true;
  });
  return out;
}

const XmlElement* FirstElement(const XmlNode* under, const char* tag) {
  const XmlElement* found = nullptr;
  EachElementBelow(under, [&](xml_node e) {
    if (std::strcmp(e.name(), tag) != 0) return true;
    found = Raw(e);
    return false;
  });
  return found;
}

const XmlElement* OnlyElement(const XmlNode* under, const char* tag) {
  const XmlElement* found = nullptr;
  bool more = false;
  EachElementBelow(under, [&](xml_node e) {
    if (std::strcmp(e.name(), tag) != 0) return true;
    more = found != nullptr;
    found = Raw(e);
    return !more;
  });
  return more ? nullptr : found;
}

std::vector<const XmlElement*> ChildElements(const XmlNode* parent, const char* tag) {
  std::vector<const XmlElement*> out;
  if (!parent) return out;
  for (xml_node n = Node(parent).first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_element && std::strcmp(n.name(), tag) == 0) out.push_back(Raw(n));
  return out;
}

const XmlNode* Parent(const XmlNode* node) {
  if (!node) return nullptr;
  xml_node parent = Node(node).parent();
  return parent ? Raw(parent) : nullptr;
}

const char* AttrText(const XmlElement* element, const char* name) {
  return element ? Node(element).attribute(name).value() : "";
}

std::string Attr(const XmlElement* element, const char* name) { return AttrText(element, name); }

bool HasAttr(const XmlElement* element, const char* name) { return element && Node(element).attribute(name); }

std::string Text(const XmlNode* node) {
  if (!node) return std::string();
  xml_node top = Node(node);
  switch (top.type()) {
    case pugi::node_element: break;
    case pugi::node_pcdata:
    case pugi::node_cdata:
    case pugi::node_comment:
    case pugi::node_pi: return top.value();
    default: return std::string();
  }
  // The text and CDATA below the element in document order.
  std::string text;
  WalkBelow(top, [&](xml_node n, size_t) {
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
    return true;
  });
  return text;
}

std::string OwnText(const XmlElement* element) {
  std::string text;
  if (!element) return text;
  for (xml_node n = Node(element).first_child(); n; n = n.next_sibling())
    if (n.type() == pugi::node_pcdata || n.type() == pugi::node_cdata) text += n.value();
  return text;
}

std::string TagName(const XmlElement* element) { return element ? Node(element).name() : std::string(); }

bool HasTag(const XmlElement* element, const char* tag) {
  return element && std::strcmp(Node(element).name(), tag) == 0;
}

}  // namespace celerra_internal
