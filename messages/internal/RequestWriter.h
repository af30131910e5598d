// The one writer of request documents. Every request is a RequestPacket
// holding the library's namespace; what differs between requests is kept
// byte for byte as the server has always received it: the indentation (tabs
// in some requests, blanks in others), and how the packet ends
// ("</RequestPacket>" or "</RequestPacket >", with or without a blank line
// after it). Values go into attributes through XmlAttr and into text through
// XmlEscape, never by hand.
#pragma once

#include <string>

namespace celerra_internal {

// How a request ends its packet.
enum class PacketEnd {
  kBlankLine,        // "</RequestPacket>\n\n"
  kSpacedBlankLine,  // "</RequestPacket >\n\n"
  kLine,             // "</RequestPacket>\n"
};

// The XML declaration and the packet's start tag every request begins
// with: the namespace (CelerraXMLNamespace()), then `packetAttributes` as
// written (e.g. ` apiVersion="V1_1"`).
std::string PacketHead(const std::string& packetAttributes = std::string());
// The packet's end tag as `end` says, with its line feeds.
const char* PacketTail(PacketEnd end);

// A whole request document, line by line, for requests written in one go.
class RequestWriter {
 public:
  // Starts with PacketHead(packetAttributes).
  explicit RequestWriter(const std::string& packetAttributes = std::string());

  // One line: `indent` as given, `text`, a line feed.
  RequestWriter& Line(const char* indent, const std::string& text);
  // `<tag attributes>`, `</tag>` and `<tag attributes/>` as one line each;
  // `attributes` is a run of XmlAttr results.
  RequestWriter& Open(const char* indent, const char* tag, const std::string& attributes = std::string());
  RequestWriter& Close(const char* indent, const char* tag);
  RequestWriter& Empty(const char* indent, const char* tag, const std::string& attributes = std::string());
  // Lines written elsewhere (each ending in a line feed).
  RequestWriter& Lines(const std::string& lines);

  // Ends the packet and hands the document over; the writer is empty after.
  std::string Finish(PacketEnd end);

 private:
  std::string m_Document;
};

}  // namespace celerra_internal
