// Reading reply documents: one DOM parse per reply, shared by the envelope
// check and the body read, and the one element-lookup helper.
#pragma once

#include <xercesc/dom/DOM.hpp>

#include <memory>
#include <string>
#include <vector>

namespace celerra_internal {

using xercesc::DOMElement;
using xercesc::DOMNode;

// Owns the parser and the document it built from one reply text.
class ReplyDocument {
 public:
  ReplyDocument();
  ~ReplyDocument();
  ReplyDocument(const ReplyDocument&) = delete;
  ReplyDocument& operator=(const ReplyDocument&) = delete;

  // Parses `text`; false when it is not a well-formed document, with the
  // parser's reason in error(). External entities and DTDs are never loaded.
  bool Parse(const std::string& text);
  const std::string& error() const { return m_Error; }

  const xercesc::DOMDocument* document() const { return m_Document; }
  const DOMElement* root() const;

  // Set by the envelope parse: the single ResponsePacket and the single
  // Response (or ResponseEx) inside it, null when absent.
  const DOMElement* packet = nullptr;
  const DOMElement* response = nullptr;

  // The envelope's elements, found in one walk of the whole document on first
  // use, so that the envelope parse does not walk a large reply once per tag.
  enum EnvelopeTag { kPacket, kResponse /* and ResponseEx */, kPacketFault, kFault, kQueryStatus, kTaskResponse,
                     kStatus, kEnvelopeTags };
  const std::vector<const DOMElement*>& Envelope(EnvelopeTag tag);

 private:
  struct Impl;
  std::unique_ptr<Impl> m_Impl;
  const xercesc::DOMDocument* m_Document = nullptr;
  std::string m_Error;
  bool m_Indexed = false;
  std::vector<const DOMElement*> m_Envelope[kEnvelopeTags];
};

// The elements of `list` that lie below `ancestor` (not `ancestor` itself).
std::vector<const DOMElement*> Below(const std::vector<const DOMElement*>& list, const DOMNode* ancestor);

// Elements named `tag` anywhere below `under` (not `under` itself), in
// document order. Names are compared as written, without namespaces.
std::vector<const DOMElement*> Elements(const DOMNode* under, const char* tag);
// Elements named `tag` or `alternative` (such as Response and ResponseEx).
std::vector<const DOMElement*> Elements(const DOMNode* under, const char* tag, const char* alternative);
// The first such element, or null.
const DOMElement* FirstElement(const DOMNode* under, const char* tag);
// Elements named `tag` among the direct children of `parent`.
std::vector<const DOMElement*> ChildElements(const DOMNode* parent, const char* tag);

// Attribute text as UTF-8; empty when absent or when `element` is null.
std::string Attr(const DOMElement* element, const char* name);
bool HasAttr(const DOMElement* element, const char* name);
// Text content as UTF-8; empty when `element` is null.
std::string Text(const DOMNode* element);
// Tag name as UTF-8.
std::string TagName(const DOMElement* element);

}  // namespace celerra_internal
