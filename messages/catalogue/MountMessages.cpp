#include "messages/catalogue/MountMessages.h"

#include "messages/internal/RequestWriter.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

// The mount requests are indented with tabs, one per level.
const char* const kTab1 = "\t";
const char* const kTab2 = "\t\t";
const char* const kTab3 = "\t\t\t";
const char* const kTab4 = "\t\t\t\t";

}  // namespace

// ------------------------------------------------------------ mount query

CelerraXMLGetFSMountPointsReq::CelerraXMLGetFSMountPointsReq() = default;

CelerraXMLGetFSMountPointsReq::CelerraXMLGetFSMountPointsReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}

CelerraXMLGetFSMountPointsReq::~CelerraXMLGetFSMountPointsReq() = default;

bool CelerraXMLGetFSMountPointsReq::SerializeXML() {
  RequestWriter x;
  x.Open(kTab1, "Request").Open(kTab2, "Query");
  x.Open(kTab3, "MountQueryParams", m_sPath.empty() ? std::string() : Attr("path", m_sPath));
  if (!m_sMoverId.empty())
    x.Empty(kTab4, "MoverOrVdm", Attr("mover", m_sMoverId) + Attr("moverIdIsVdm", m_sMoverIdIsVdm));
  x.Close(kTab3, "MountQueryParams").Close(kTab2, "Query").Close(kTab1, "Request");
  m_sSerializedXML = x.Finish(PacketEnd::kLine);
  CEL_DEBUG(m_Event, 3, "m_sXML = %s", m_sSerializedXML.c_str());
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
  m_sSerializedXML = RequestWriter()
                         .Open(kTab1, "Request")
                         .Open(kTab2, "StartTask")
                         .Open(kTab3, "NewMount",
                               Attr("path", m_sPath) + Attr("fileSystem", m_sFileSystem) + Attr("ntCredential", "true"))
                         .Empty(kTab4, "MoverOrVdm", Attr("mover", m_sMoverId) + Attr("moverIdIsVdm", m_sMoverIdIsVdm))
                         .Empty(kTab4, "NfsOptions",
                                Attr("prefetch", "false") + Attr("ro", "false") + Attr("uncached", "true") +
                                    Attr("virusScan", "false"))
                         .Close(kTab3, "NewMount")
                         .Close(kTab2, "StartTask")
                         .Close(kTab1, "Request")
                         .Finish(PacketEnd::kLine);
  CEL_DEBUG(m_Event, 3, "m_sXML = %s", m_sSerializedXML.c_str());
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
