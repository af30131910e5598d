#include "messages/internal/XmlReply.h"

#include <xercesc/framework/MemBufInputSource.hpp>
#include <xercesc/parsers/XercesDOMParser.hpp>
#include <xercesc/sax/HandlerBase.hpp>
#include <xercesc/sax/SAXParseException.hpp>
#include <xercesc/util/OutOfMemoryException.hpp>
#include <xercesc/util/SecurityManager.hpp>
#include <xercesc/util/XMLString.hpp>

#include <cstring>

#include "messages/internal/XmlText.h"

namespace celerra_internal {

using namespace xercesc;

namespace {

// Short ASCII names as 16-bit text, without going through the transcoder.
class Name {
 public:
  explicit Name(const char* ascii) {
    size_t n = std::strlen(ascii);
    if (n >= sizeof(m_Small) / sizeof(m_Small[0])) n = sizeof(m_Small) / sizeof(m_Small[0]) - 1;
    for (size_t i = 0; i < n; ++i) m_Small[i] = static_cast<XMLCh>(static_cast<unsigned char>(ascii[i]));
    m_Small[n] = 0;
  }
  const XMLCh* get() const { return m_Small; }

 private:
  XMLCh m_Small[128];
};

// Records the first problem so the caller can say what was wrong.
class ErrorRecorder : public HandlerBase {
 public:
  void warning(const SAXParseException&) override {}
  void error(const SAXParseException& e) override { Record(e); }
  void fatalError(const SAXParseException& e) override {
    Record(e);
    throw e;
  }
  std::string message;

 private:
  void Record(const SAXParseException& e) {
    if (!message.empty()) return;
    message = Utf16ToUtf8(e.getMessage()) + " at line " + std::to_string(e.getLineNumber()) + ", column " +
              std::to_string(e.getColumnNumber());
  }
};

void Collect(const DOMNode* under, const XMLCh* tag, const XMLCh* alternative,
             std::vector<const DOMElement*>& out) {
  if (!under) return;
  // Iterative pre-order walk: no recursion depth to exhaust on deep replies.
  const DOMNode* node = under->getFirstChild();
  while (node) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE) {
      const XMLCh* name = node->getNodeName();
      if (XMLString::equals(name, tag) || (alternative && XMLString::equals(name, alternative)))
        out.push_back(static_cast<const DOMElement*>(node));
      if (const DOMNode* child = node->getFirstChild()) {
        node = child;
        continue;
      }
    }
    while (node && node != under && !node->getNextSibling()) node = node->getParentNode();
    if (!node || node == under) break;
    node = node->getNextSibling();
  }
}

// The deepest element nesting below `root`, found without recursion; stops
// counting once past the limit.
size_t Depth(const DOMNode* root) {
  size_t depth = 0, deepest = 0;
  const DOMNode* node = root->getFirstChild();
  while (node) {
    if (const DOMNode* child = node->getFirstChild()) {
      node = child;
      if (++depth > deepest) deepest = depth;
      if (deepest > kMaxReplyDepth) break;
      continue;
    }
    while (node && node != root && !node->getNextSibling()) {
      node = node->getParentNode();
      --depth;
    }
    if (!node || node == root) break;
    node = node->getNextSibling();
  }
  return deepest + 1;
}

}  // namespace

struct ReplyDocument::Impl {
  XercesDOMParser parser;
  ErrorRecorder errors;
  SecurityManager security;
};

ReplyDocument::ReplyDocument() : m_Impl(new Impl) {
  XercesDOMParser& parser = m_Impl->parser;
  parser.setValidationScheme(XercesDOMParser::Val_Never);
  parser.setDoNamespaces(false);
  parser.setDoSchema(false);
  parser.setLoadExternalDTD(false);
  parser.setCreateEntityReferenceNodes(false);
  parser.setDisableDefaultEntityResolution(true);
  m_Impl->security.setEntityExpansionLimit(100);
  parser.setSecurityManager(&m_Impl->security);
  parser.setErrorHandler(&m_Impl->errors);
}

ReplyDocument::~ReplyDocument() = default;

bool ReplyDocument::Parse(const std::string& text) {
  m_Document = nullptr;
  m_Indexed = false;
  for (auto& list : m_Envelope) list.clear();
  m_Error.clear();
  packet = nullptr;
  response = nullptr;
  try {
    MemBufInputSource source(reinterpret_cast<const XMLByte*>(text.data()), text.size(), "Celerra", false);
    m_Impl->parser.parse(source);
  } catch (const SAXParseException&) {
    // recorded by the error handler
  } catch (const XMLException& e) {
    m_Error = Utf16ToUtf8(e.getMessage());
  } catch (const DOMException& e) {
    m_Error = "DOM error " + std::to_string(e.code);
  } catch (const OutOfMemoryException&) {
    m_Error = "out of memory while parsing";
  } catch (...) {
    m_Error = "unknown parser failure";
  }
  if (m_Error.empty()) m_Error = m_Impl->errors.message;
  if (m_Error.empty() && m_Impl->parser.getErrorCount() > 0) m_Error = "reply is not well-formed";
  if (!m_Error.empty()) return false;
  m_Document = m_Impl->parser.getDocument();
  if (!m_Document || !m_Document->getDocumentElement()) {
    m_Document = nullptr;
    m_Error = "reply holds no document";
    return false;
  }
  // Real replies nest a handful of levels. A reply nested thousands deep
  // would overflow the stack of the parser library's text read (it recurses
  // once per level) and make every lookup that searches below each element
  // quadratic: a hostile or broken server could crash or stall the host.
  if (Depth(m_Document) > kMaxReplyDepth) {
    m_Document = nullptr;
    m_Error = "reply nests elements more than " + std::to_string(kMaxReplyDepth) + " levels deep";
    return false;
  }
  return true;
}

const std::vector<const DOMElement*>& ReplyDocument::Envelope(EnvelopeTag tag) {
  if (!m_Indexed && m_Document) {
    m_Indexed = true;
    static const struct {
      const char* name;
      EnvelopeTag tag;
    } kTags[] = {{"ResponsePacket", kPacket},   {"Response", kResponse},         {"ResponseEx", kResponse},
                 {"PacketFault", kPacketFault}, {"Fault", kFault},               {"QueryStatus", kQueryStatus},
                 {"TaskResponse", kTaskResponse}, {"Status", kStatus}};
    std::vector<Name> names;
    for (const auto& t : kTags) names.emplace_back(t.name);
    const DOMNode* under = m_Document;
    const DOMNode* node = under->getFirstChild();
    while (node) {
      if (node->getNodeType() == DOMNode::ELEMENT_NODE) {
        const XMLCh* name = node->getNodeName();
        for (size_t i = 0; i < names.size(); ++i) {
          if (XMLString::equals(name, names[i].get())) {
            m_Envelope[kTags[i].tag].push_back(static_cast<const DOMElement*>(node));
            break;
          }
        }
        if (const DOMNode* child = node->getFirstChild()) {
          node = child;
          continue;
        }
      }
      while (node && node != under && !node->getNextSibling()) node = node->getParentNode();
      if (!node || node == under) break;
      node = node->getNextSibling();
    }
  }
  return m_Envelope[tag];
}

std::vector<const DOMElement*> Below(const std::vector<const DOMElement*>& list, const DOMNode* ancestor) {
  std::vector<const DOMElement*> out;
  if (!ancestor) return out;
  for (const DOMElement* e : list) {
    for (const DOMNode* p = e->getParentNode(); p; p = p->getParentNode()) {
      if (p == ancestor) {
        out.push_back(e);
        break;
      }
    }
  }
  return out;
}

const DOMElement* ReplyDocument::root() const { return m_Document ? m_Document->getDocumentElement() : nullptr; }

std::vector<const DOMElement*> Elements(const DOMNode* under, const char* tag) {
  std::vector<const DOMElement*> out;
  Collect(under, Name(tag).get(), nullptr, out);
  return out;
}

std::vector<const DOMElement*> Elements(const DOMNode* under, const char* tag, const char* alternative) {
  std::vector<const DOMElement*> out;
  Name alt(alternative);
  Collect(under, Name(tag).get(), alt.get(), out);
  return out;
}

const DOMElement* FirstElement(const DOMNode* under, const char* tag) {
  if (!under) return nullptr;
  Name name(tag);
  const DOMNode* node = under->getFirstChild();
  while (node) {
    if (node->getNodeType() == DOMNode::ELEMENT_NODE) {
      if (XMLString::equals(node->getNodeName(), name.get())) return static_cast<const DOMElement*>(node);
      if (const DOMNode* child = node->getFirstChild()) {
        node = child;
        continue;
      }
    }
    while (node && node != under && !node->getNextSibling()) node = node->getParentNode();
    if (!node || node == under) break;
    node = node->getNextSibling();
  }
  return nullptr;
}

std::vector<const DOMElement*> ChildElements(const DOMNode* parent, const char* tag) {
  std::vector<const DOMElement*> out;
  if (!parent) return out;
  Name name(tag);
  for (const DOMNode* n = parent->getFirstChild(); n; n = n->getNextSibling())
    if (n->getNodeType() == DOMNode::ELEMENT_NODE && XMLString::equals(n->getNodeName(), name.get()))
      out.push_back(static_cast<const DOMElement*>(n));
  return out;
}

std::string Attr(const DOMElement* element, const char* name) {
  if (!element) return std::string();
  return Utf16ToUtf8(element->getAttribute(Name(name).get()));
}

bool HasAttr(const DOMElement* element, const char* name) {
  return element && element->hasAttribute(Name(name).get());
}

std::string Text(const DOMNode* element) {
  if (!element) return std::string();
  switch (element->getNodeType()) {
    case DOMNode::ELEMENT_NODE:
    case DOMNode::ENTITY_REFERENCE_NODE:
    case DOMNode::DOCUMENT_FRAGMENT_NODE:
      break;
    case DOMNode::DOCUMENT_NODE:
    case DOMNode::DOCUMENT_TYPE_NODE:
    case DOMNode::NOTATION_NODE:
      return std::string();
    default:  // text, CDATA, comment, processing instruction, attribute
      return Utf16ToUtf8(element->getNodeValue());
  }
  // The text and CDATA below the element in document order, as the DOM's
  // text content, but walked without recursion.
  std::u16string text;
  const DOMNode* node = element->getFirstChild();
  while (node) {
    DOMNode::NodeType type = node->getNodeType();
    if (type == DOMNode::TEXT_NODE || type == DOMNode::CDATA_SECTION_NODE) {
      text += node->getNodeValue();
    } else if (type == DOMNode::ELEMENT_NODE || type == DOMNode::ENTITY_REFERENCE_NODE) {
      if (const DOMNode* child = node->getFirstChild()) {
        node = child;
        continue;
      }
    }
    while (node && node != element && !node->getNextSibling()) node = node->getParentNode();
    if (!node || node == element) break;
    node = node->getNextSibling();
  }
  return Utf16ToUtf8(text.data(), text.size());
}

std::string TagName(const DOMElement* element) {
  return element ? Utf16ToUtf8(element->getTagName()) : std::string();
}

}  // namespace celerra_internal
