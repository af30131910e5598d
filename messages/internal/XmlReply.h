// Reading reply documents: one parse per reply, in place over the reply text,
// shared by the envelope check and the body read, and the one element-lookup
// helper set.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace pugi {
struct xml_node_struct;
}

namespace celerra_internal {

// A node of a parsed reply: an element, or the text inside one. Nodes belong
// to the ReplyDocument that parsed them and live as long as it does.
using XmlNode = pugi::xml_node_struct;
using XmlElement = pugi::xml_node_struct;

// Replies nested deeper than this many levels (elements and their text) are
// refused as unreadable; real replies nest fewer than ten.
constexpr size_t kMaxReplyDepth = 256;

// The memory a parse may take, reply text included: at most 4 times the
// reply's bytes plus an allowance, whatever the reply holds. Real replies
// take well under twice their size; one made of empty elements would take
// sixteen times. The allowance is kDefaultParseAllowance unless the
// configuration value sCELERRAPARSEALLOWANCE (bytes) says otherwise.
constexpr size_t kParseMemoryPerReplyByte = 4;
constexpr unsigned long long kDefaultParseAllowance = 64ULL << 20;

// Owns the document parsed from one reply text, and that text.
class ReplyDocument {
 public:
  ReplyDocument();
  ~ReplyDocument();
  ReplyDocument(const ReplyDocument&) = delete;
  ReplyDocument& operator=(const ReplyDocument&) = delete;

  // Parses `text` in place: the document takes the text over (`text` is left
  // empty) and its nodes and values point into it, so a reply is held once.
  // False when the text is not one well-formed XML document, carries a
  // DOCTYPE, is in an encoding other than UTF-8, UTF-16, US-ASCII or
  // ISO-8859-1, or nests deeper than kMaxReplyDepth, and also when its tree
  // would take more memory than the parse may (counted before the tree is
  // built; tooLarge() then says so); the reason is then in error(). Nothing
  // is ever loaded from outside the text, and only the five
  // predefined entities and character references are expanded. Values come
  // out as UTF-8; text that is nothing but white space between elements is
  // dropped.
  bool Parse(std::string& text);
  const std::string& error() const { return m_Error; }
  bool tooLarge() const { return m_TooLarge; }

  // The document node (parent of the root element); null until a parse
  // succeeded.
  const XmlNode* document() const;
  const XmlElement* root() const;

  // Set by the envelope parse: the single ResponsePacket and the single
  // Response (or ResponseEx) inside it, null when absent.
  const XmlElement* packet = nullptr;
  const XmlElement* response = nullptr;

  // The envelope's elements, collected during the parse's one walk of the
  // whole document, so that the envelope parse does not walk a large reply
  // once per tag.
  enum EnvelopeTag {
    kPacket,
    kResponse /* and ResponseEx */,
    kPacketFault,
    kFault,
    kQueryStatus,
    kTaskResponse,
    kEnvelopeTags
  };
  const std::vector<const XmlElement*>& Envelope(EnvelopeTag tag) const { return m_Envelope[tag]; }

 private:
  struct Impl;
  std::unique_ptr<Impl> m_Impl;
  std::string m_Error;
  bool m_TooLarge = false;
  std::vector<const XmlElement*> m_Envelope[kEnvelopeTags];
};

// The elements of `list` that lie below `ancestor` (not `ancestor` itself).
std::vector<const XmlElement*> Below(const std::vector<const XmlElement*>& list, const XmlNode* ancestor);

// Elements named `tag` anywhere below `under` (not `under` itself), in
// document order. Names are compared as written, without namespaces.
std::vector<const XmlElement*> Elements(const XmlNode* under, const char* tag);
// Elements named `tag` or `alternative` (such as Response and ResponseEx).
std::vector<const XmlElement*> Elements(const XmlNode* under, const char* tag, const char* alternative);
// The first such element, or null.
const XmlElement* FirstElement(const XmlNode* under, const char* tag);
// The one element named `tag` below `under`; null when there is none or
// more than one.
const XmlElement* OnlyElement(const XmlNode* under, const char* tag);
// Elements named `tag` among the direct children of `parent`.
std::vector<const XmlElement*> ChildElements(const XmlNode* parent, const char* tag);
// The node that holds `node`: its parent element, or the document node for
// the root element; null for the document node and for null.
const XmlNode* Parent(const XmlNode* node);

// Attribute text as UTF-8; empty when absent or when `element` is null.
std::string Attr(const XmlElement* element, const char* name);
// The same without a copy: valid while the document lives; "" when absent.
const char* AttrText(const XmlElement* element, const char* name);
bool HasAttr(const XmlElement* element, const char* name);
// Text content as UTF-8: the text and CDATA of everything below an element,
// in document order; a text node's own text; empty when `node` is null.
std::string Text(const XmlNode* node);
// The text and CDATA directly inside `element`, without that of its child
// elements.
std::string OwnText(const XmlElement* element);
// Tag name as UTF-8; empty for the document node.
std::string TagName(const XmlElement* element);
// Whether `element` is named `tag`, without a copy of its name.
bool HasTag(const XmlElement* element, const char* tag);

}  // namespace celerra_internal
