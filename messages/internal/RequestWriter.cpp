#include "messages/internal/RequestWriter.h"

#include <utility>

#include "messages/CelerraXMLMessage.h"
#include "messages/internal/XmlText.h"

namespace celerra_internal {

std::string PacketHead(const std::string& packetAttributes) {
  return "<?xml version=\"1.0\"?>\n<RequestPacket" + XmlAttr("xmlns", CelerraXMLNamespace()) + packetAttributes + ">\n";
}

const char* PacketTail(PacketEnd end) {
  switch (end) {
    case PacketEnd::kSpacedBlankLine: return "</RequestPacket >\n\n";
    case PacketEnd::kLine: return "</RequestPacket>\n";
    case PacketEnd::kBlankLine: break;
  }
  return "</RequestPacket>\n\n";
}

RequestWriter::RequestWriter(const std::string& packetAttributes) : m_Document(PacketHead(packetAttributes)) {}

RequestWriter& RequestWriter::Line(const char* indent, const std::string& text) {
  m_Document += indent;
  m_Document += text;
  m_Document += '\n';
  return *this;
}

RequestWriter& RequestWriter::Open(const char* indent, const char* tag, const std::string& attributes) {
  return Line(indent, std::string("<") + tag + attributes + ">");
}

RequestWriter& RequestWriter::Close(const char* indent, const char* tag) {
  return Line(indent, std::string("</") + tag + ">");
}

RequestWriter& RequestWriter::Empty(const char* indent, const char* tag, const std::string& attributes) {
  return Line(indent, std::string("<") + tag + attributes + "/>");
}

RequestWriter& RequestWriter::Lines(const std::string& lines) {
  m_Document += lines;
  return *this;
}

std::string RequestWriter::Finish(PacketEnd end) {
  m_Document += PacketTail(end);
  std::string document;
  document.swap(m_Document);
  return document;
}

}  // namespace celerra_internal
