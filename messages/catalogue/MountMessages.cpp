#include "messages/catalogue/MountMessages.h"

#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

// One line of a self-written request: `tabs` tab characters, then the text.
void Line(std::string& out, int tabs, const std::string& text) {
  out.append(static_cast<size_t>(tabs), '\t');
  out += text;
  out += '\n';
}

}  // namespace

// ------------------------------------------------------------ mount query

CelerraXMLGetFSMountPointsReq::CelerraXMLGetFSMountPointsReq() = default;

CelerraXMLGetFSMountPointsReq::CelerraXMLGetFSMountPointsReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}

CelerraXMLGetFSMountPointsReq::~CelerraXMLGetFSMountPointsReq() = default;

bool CelerraXMLGetFSMountPointsReq::SerializeXML() {
  std::string& x = m_sSerializedXML;
  x.clear();
  Line(x, 0, "<?xml version=\"1.0\"?>");
  Line(x, 0, "<RequestPacket" + Attr("xmlns", CelerraXMLNamespace()) + ">");
  Line(x, 1, "<Request>");
  Line(x, 2, "<Query>");
  Line(x, 3, m_sPath.empty() ? std::string("<MountQueryParams>") : "<MountQueryParams" + Attr("path", m_sPath) + ">");
  if (!m_sMoverId.empty())
    Line(x, 4, "<MoverOrVdm" + Attr("mover", m_sMoverId) + Attr("moverIdIsVdm", m_sMoverIdIsVdm) + "/>");
  Line(x, 3, "</MountQueryParams>");
  Line(x, 2, "</Query>");
  Line(x, 1, "</Request>");
  Line(x, 0, "</RequestPacket>");
  CEL_DEBUG(m_Event, 3, "m_sXML = %s", x.c_str());
  return true;
}

CelerraXMLGetFSMountPointsResp::CelerraXMLGetFSMountPointsResp() : CelerraXMLGetFSMountPointsResp(0) {}

CelerraXMLGetFSMountPointsResp::CelerraXMLGetFSMountPointsResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 0;
  init();
}

CelerraXMLGetFSMountPointsResp::~CelerraXMLGetFSMountPointsResp() = default;

void CelerraXMLGetFSMountPointsResp::init() {
  CelerraXMLMessageResp::init();
  m_bParsed = false;
  m_bParseResult = false;
}

void CelerraXMLGetFSMountPointsResp::AppendXml(char* data, unsigned long length) {
  if (!data) return;
  CelerraXMLMessageResp::AppendXml(data, length);
  m_bParsed = false;
}

void CelerraXMLGetFSMountPointsResp::SetXML(char* data, unsigned long length) { AppendXml(data, length); }

bool CelerraXMLGetFSMountPointsResp::UnSerializeXML() { return UnSerializeCompleteXML(); }

bool CelerraXMLGetFSMountPointsResp::UnSerializeCompleteXML() {
  // The session reads the reply as soon as it has arrived and the facade asks
  // again; one parse of the text serves both and fills the lists once.
  if (m_bParsed) return m_bParseResult;
  ReplyDocument doc;
  bool ok = ParseMounts(doc);
  m_bParsed = true;
  m_bParseResult = ok;
  return ok;
}

bool CelerraXMLGetFSMountPointsResp::ParseMounts(ReplyDocument& doc) {
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to UnSerializeXML");
    return false;
  }
  // The envelope parse has checked the document and its single packet.
  if (!doc.document()) {
    CEL_ERROR(m_Event, "Failed to get DOM Document from XML");
    return false;
  }
  if (!doc.packet) {
    CEL_ERROR(m_Event, "Failed to get ResponsePacket node from XML");
    return false;
  }
  const XmlElement* response = doc.response;
  if (!response) response = FirstElement(doc.packet, "Response");
  if (!response) {
    CEL_ERROR(m_Event, "Failed to get Response nodes from XML");
    return false;
  }
  std::vector<const XmlElement*> mounts = Elements(response, "Mount");
  if (mounts.empty()) {
    CEL_ERROR(m_Event, "Inappropriate number [%lu] of Mount nodes in XML", 0UL);
    return false;
  }
  m_vMountPoints.reserve(m_vMountPoints.size() + mounts.size());
  m_vMountPointsInfo.reserve(m_vMountPointsInfo.size() + mounts.size());
  for (const XmlElement* mount : mounts) {
    CelerraMountPointsInfo_t info;
    info.path = Attr(mount, "path");
    info.fileSystem = Attr(mount, "fileSystem");
    info.mover = Attr(mount, "mover");
    info.moverIdIsVdm = Attr(mount, "moverIdIsVdm");
    m_vMountPoints.push_back(info.path);
    m_vMountPointsInfo.push_back(std::move(info));
  }
  return true;
}

// -------------------------------------------------------------- new mount

CelerraXMLCreateMountPointReq::CelerraXMLCreateMountPointReq() = default;

CelerraXMLCreateMountPointReq::CelerraXMLCreateMountPointReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}

CelerraXMLCreateMountPointReq::~CelerraXMLCreateMountPointReq() = default;

bool CelerraXMLCreateMountPointReq::SerializeXML() {
  std::string& x = m_sSerializedXML;
  x.clear();
  Line(x, 0, "<?xml version=\"1.0\"?>");
  Line(x, 0, "<RequestPacket" + Attr("xmlns", CelerraXMLNamespace()) + ">");
  Line(x, 1, "<Request>");
  Line(x, 2, "<StartTask>");
  Line(x, 3, "<NewMount" + Attr("path", m_sPath) + Attr("fileSystem", m_sFileSystem) + Attr("ntCredential", "true") +
                 ">");
  Line(x, 4, "<MoverOrVdm" + Attr("mover", m_sMoverId) + Attr("moverIdIsVdm", m_sMoverIdIsVdm) + "/>");
  Line(x, 4, "<NfsOptions" + Attr("prefetch", "false") + Attr("ro", "false") + Attr("uncached", "true") +
                 Attr("virusScan", "false") + "/>");
  Line(x, 3, "</NewMount>");
  Line(x, 2, "</StartTask>");
  Line(x, 1, "</Request>");
  Line(x, 0, "</RequestPacket>");
  CEL_DEBUG(m_Event, 3, "m_sXML = %s", x.c_str());
  return true;
}

CelerraXMLCreateMountPointResp::CelerraXMLCreateMountPointResp() : CelerraXMLCreateMountPointResp(0) {}

CelerraXMLCreateMountPointResp::CelerraXMLCreateMountPointResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}

CelerraXMLCreateMountPointResp::~CelerraXMLCreateMountPointResp() = default;

bool CelerraXMLCreateMountPointResp::UnSerializeXML() {
  if (CelerraXMLMessageResp::UnSerializeXML()) return true;
  CEL_ERROR(m_Event, "Unable to Mount the RW checkpoint");
  CEL_ERROR(m_Event, "Unable to Mount the Read-Write checkpoint");
  return false;
}
