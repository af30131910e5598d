#include "messages/catalogue/CifsShareMessages.h"

#include "messages/ServerCodes.h"
#include "messages/catalogue/NfsExportMessages.h"
#include "messages/internal/OnFailure.h"
#include "messages/internal/RequestWriter.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

// Share names travel without a leading slash.
void DropLeadingSlash(std::string& name) {
  if (!name.empty() && name[0] == '/') name.erase(0, 1);
}

const char* TrueFalse(bool value) { return value ? "true" : "false"; }

// The name an `li` of a share's server list holds: the element's own text,
// without the blanks of a pretty-printed reply. Servers may come with
// details of their own as child elements (aliases, for one); those are not
// part of the name.
std::string ListItemText(const XmlElement* li) {
  std::string own = OwnText(li);
  const char* blanks = " \t\r\n";
  size_t first = own.find_first_not_of(blanks);
  if (first == std::string::npos) return std::string();
  return own.substr(first, own.find_last_not_of(blanks) - first + 1);
}

// Whether `li` lies inside another li below `list` (a server's aliases).
bool InsideAnotherItem(const XmlElement* li, const XmlElement* list) {
  for (const XmlNode* p = Parent(li); p && p != list; p = Parent(p))
    if (TagName(p) == "li") return true;
  return false;
}

// The servers listed in one CifsServers element, in document order, wherever
// their li elements sit below it (servers write the list one level deeper
// too); an li inside another li is not a server of its own.
void ReadServers(const XmlElement* list, std::vector<std::string>& servers, EvEvent* event) {
  for (const XmlElement* li : Elements(list, "li")) {
    if (InsideAnotherItem(li, list)) continue;
    servers.push_back(ListItemText(li));
    if (event) CEL_DEBUG(*event, 5, "server: %s", servers.back().c_str());
  }
}

}  // namespace

// ------------------------------------------------------------------ requests

ReqCifsShareQueryParams::ReqCifsShareQueryParams() = default;
ReqCifsShareQueryParams::ReqCifsShareQueryParams(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}
ReqCifsShareQueryParams::~ReqCifsShareQueryParams() = default;
const char* ReqCifsShareQueryParams::GetMessageName() { return "ReqCifsShareQueryParams"; }

bool ReqCifsShareQueryParams::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sShareName.empty()) return false;
  StandardXML_Prefix("Request", "Query", " apiVersion=\"V1_1\"");
  DropLeadingSlash(m_sShareName);
  m_sSerializedXML += "\t\t<CifsShareQueryParams " + Attr("name", m_sShareName) + "/>\n";
  StandardXML_Postfix("Request", "Query");
  CEL_DEBUG(m_Event, 6, "Query:\n%s", m_sSerializedXML.c_str());
  return true;
}

CelerraXMLGetCifsInfoReq::CelerraXMLGetCifsInfoReq() = default;
CelerraXMLGetCifsInfoReq::CelerraXMLGetCifsInfoReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}
CelerraXMLGetCifsInfoReq::~CelerraXMLGetCifsInfoReq() = default;
const char* CelerraXMLGetCifsInfoReq::GetMessageName() { return "CelerraXMLGetCifsInfoReq"; }

bool CelerraXMLGetCifsInfoReq::SerializeXML() {
  m_sSerializedXML = RequestWriter()
                         .Open("  ", "Request")
                         .Open("    ", "Query")
                         .Empty("\t\t", "CifsShareQueryParams")
                         .Close("    ", "Query")
                         .Close("  ", "Request")
                         .Finish(PacketEnd::kBlankLine);
  return true;
}

ReqCreateCifsShare::ReqCreateCifsShare() = default;
ReqCreateCifsShare::ReqCreateCifsShare(unsigned long long jobId) : CelerraXMLMessageReq(jobId, false, std::string()) {}
ReqCreateCifsShare::~ReqCreateCifsShare() = default;
const char* ReqCreateCifsShare::GetMessage() { return "ReqCreateCifsShare"; }

bool ReqCreateCifsShare::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sShareName.empty() || m_sPath.empty() || m_sMoverId.empty()) return false;
  DropLeadingSlash(m_sShareName);
  RequestWriter x;
  x.Open("  ", "Request").Open("    ", "StartTask", Attr("timeout", "600"));
  x.Open("\t\t", "NewCifsShare", Attr("name", m_sShareName) + " path =\"" + Escape(m_sPath) + "\"");
  // With a VDM the server list follows on the same line.
  x.Lines("\t\t  <MoverOrVdm" + Attr("mover", m_sMoverId) + Attr("moverIdIsVdm", TrueFalse(m_bMoverIdIsVdm)) + "/>" +
          (m_bMoverIdIsVdm ? "" : "\n"));
  if (m_vCifsServers.empty()) {
    x.Empty("\t\t", "CifsServers");
  } else {
    x.Open("\t\t", "CifsServers");
    for (const std::string& server : m_vCifsServers) x.Line("\t\t  ", "<li>" + Escape(server) + "</li>");
    x.Close("\t\t", "CifsServers");
  }
  x.Close("\t\t", "NewCifsShare").Close("\t ", "StartTask").Close("  ", "Request");
  m_sSerializedXML = x.Finish(PacketEnd::kSpacedBlankLine);
  CEL_DEBUG(m_Event, 6, "m_sXML = %s", m_sSerializedXML.c_str());
  return true;
}

ReqDeleteCifsShare::ReqDeleteCifsShare() = default;
ReqDeleteCifsShare::ReqDeleteCifsShare(unsigned long long jobId) : CelerraXMLMessageReq(jobId, false, std::string()) {}
ReqDeleteCifsShare::~ReqDeleteCifsShare() = default;
const char* ReqDeleteCifsShare::GetMessage() { return "ReqDeleteCifsShare"; }

bool ReqDeleteCifsShare::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sShareName.empty() || m_sMoverId.empty()) return false;
  DropLeadingSlash(m_sShareName);
  RequestWriter x;
  x.Open("  ", "Request").Open("    ", "StartTask", Attr("timeout", "600"));
  x.Open("     ", "DeleteCifsShare",
         Attr("mover", m_sMoverId) + Attr("moverIdIsVdm", TrueFalse(m_bMoverIdIsVdm)) + Attr("name", m_sShareName));
  if (m_vCifsServers.empty()) {
    x.Empty("       ", "CifsServers");
  } else {
    x.Open("       ", "CifsServers");
    for (const std::string& server : m_vCifsServers) x.Line("          ", "<li>" + Escape(server) + "</li>");
    x.Close("        ", "CifsServers");
  }
  x.Close("      ", "DeleteCifsShare").Close("    ", "StartTask").Close("  ", "Request");
  m_sSerializedXML = x.Finish(PacketEnd::kSpacedBlankLine);
  CEL_DEBUG(m_Event, 2, "%s: ****** Query \n %s", "virtual bool ReqDeleteCifsShare::SerializeXML()",
            m_sSerializedXML.c_str());
  return true;
}

// ----------------------------------------------------------------- responses

RespCifsShareQueryParams::RespCifsShareQueryParams() : RespCifsShareQueryParams(0) {}
RespCifsShareQueryParams::RespCifsShareQueryParams(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 0;
  init();
}
RespCifsShareQueryParams::~RespCifsShareQueryParams() = default;
const char* RespCifsShareQueryParams::GetMessageName() { return "RespCifsShareQueryParams"; }

bool RespCifsShareQueryParams::UnSerializeXML() {
  static const char* kSignature = "virtual bool RespCifsShareQueryParams::UnSerializeXML()";
  DropLeadingSlash(m_sShareName);
  // One parse serves the envelope check and the body: the envelope parse
  // refuses everything the bare package check would (faults, no Response).
  ReplyDocument doc;
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to Get cifs Info for share name [%s]", m_sShareName.c_str());
    return false;
  }
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to get share info for share [%s]", m_sShareName.c_str()); });
  std::vector<const XmlElement*> shares = Elements(doc.document(), "CifsShare");
  if (shares.size() != 1) {
    CEL_ERROR(m_Event, "Inappropriate number [%lu] of CifsShare nodes in XML",
              static_cast<unsigned long>(shares.size()));
    // None: the server has no such share (not found); more than one: the
    // reply cannot be read as the answer.
    if (shares.empty())
      m_LastError = CelerraError::NotFound("No CIFS share [" + m_sShareName + "] in the reply");
    else
      SetUnreadable(std::to_string(shares.size()) + " CIFS shares in the reply for [" + m_sShareName + "]");
    return false;
  }
  const XmlElement* share = shares[0];
  std::string fileSystem = Attr(share, "fileSystem");
  std::string name = Attr(share, "name");
  std::string moverIdIsVdm = Attr(share, "moverIdIsVdm");
  std::string mover = Attr(share, "mover");
  std::string path = Attr(share, "path");
  // The share's own server list, not lists nested deeper inside it.
  std::vector<const XmlElement*> lists = ChildElements(share, "CifsServers");
  if (lists.size() != 1) {
    CEL_DEBUG(m_Event, 0, "%s: Failed to get CifsServer node from XML", kSignature);
    SetUnreadable("The reply about CIFS share [" + m_sShareName + "] has no list of CIFS servers");
    return false;
  }
  m_vCifsServers.clear();
  ReadServers(lists[0], m_vCifsServers, &m_Event);
  if (fileSystem.empty() || moverIdIsVdm.empty() || mover.empty() || path.empty()) {
    CEL_ERROR(m_Event,
              "Unable to get FileSystem Id or MoverID or ShareName or readOnly attribute from the filer for share "
              "[%s]",
              m_sShareName.c_str());
    SetUnreadable("The reply about CIFS share [" + m_sShareName + "] lacks its file system, mover or path");
    return false;
  }
  m_sPFSId = fileSystem;
  m_sName = name;
  m_bMoverIdIsVdm = moverIdIsVdm == "true";
  m_sMoverId = mover;
  m_sPath = path;
  if (name != m_sShareName) {
    CEL_ERROR(m_Event,
              "We were looking for cifs info for share [%s] but we seem to have the share info for share [%s] "
              "instead!",
              m_sShareName.c_str(), name.c_str());
    SetUnreadable("Asked for CIFS share [" + m_sShareName + "] but the reply is about [" + name + "]");
    return false;
  }
  return closing.Succeeded();
}

CelerraXMLGetCifsInfoResp::CelerraXMLGetCifsInfoResp() : CelerraXMLGetCifsInfoResp(0) {}
CelerraXMLGetCifsInfoResp::CelerraXMLGetCifsInfoResp(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 0;
  init();
}
CelerraXMLGetCifsInfoResp::~CelerraXMLGetCifsInfoResp() = default;
const char* CelerraXMLGetCifsInfoResp::GetMessageName() { return "CelerraXMLGetCifsInfoResp"; }

bool CelerraXMLGetCifsInfoResp::UnSerializeXML() {
  ReplyDocument doc;
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to get Cifs shares info");
    return false;
  }
  std::vector<const XmlElement*> shares = Elements(doc.document(), "CifsShare");
  CEL_DEBUG(m_Event, 2, "%s: Found %lu cifs shares", "virtual bool CelerraXMLGetCifsInfoResp::UnSerializeXML()",
            static_cast<unsigned long>(shares.size()));
  m_vCifsInfo.reserve(m_vCifsInfo.size() + shares.size());
  for (const XmlElement* share : shares) {
    CelerraCIFSInfo_t info;
    info.name = Attr(share, "name");
    info.path = Attr(share, "path");
    info.fileSystem = Attr(share, "fileSystem");
    info.moverIdIsVdm = Attr(share, "moverIdIsVdm") == "true";
    info.mover = Attr(share, "mover");
    std::vector<const XmlElement*> lists = ChildElements(share, "CifsServers");
    if (!lists.empty()) ReadServers(lists[0], info.cifsServers, nullptr);
    m_vCifsInfo.push_back(std::move(info));
  }
  m_bSuccess = true;
  return true;
}

RespCreateCifsShare::RespCreateCifsShare() : RespCreateCifsShare(0) {}
RespCreateCifsShare::RespCreateCifsShare(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
RespCreateCifsShare::~RespCreateCifsShare() = default;
const char* RespCreateCifsShare::GetMessageName() { return "RespCreateCifsShare"; }

bool RespCreateCifsShare::UnSerializeXML() {
  if (CelerraXMLMessageResp::UnSerializeXML()) return true;
  if (celerra_codes::Is(m_LastError, celerra_codes::kAlreadyExists)) {
    CEL_WARN(m_Event, 2, "Cifs share in name [%s] already exists, treating this as a success", m_sShareName.c_str());
    ClearLastError();
    return true;
  }
  CEL_ERROR(m_Event, "Unable to create cifs share sharename name [%s]", m_sShareName.c_str());
  return false;
}

RespDeleteCifsShare::RespDeleteCifsShare() : RespDeleteCifsShare(0) {}
RespDeleteCifsShare::RespDeleteCifsShare(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
RespDeleteCifsShare::~RespDeleteCifsShare() = default;
const char* RespDeleteCifsShare::GetMessageName() { return "RespDeleteCifsShare"; }

bool RespDeleteCifsShare::UnSerializeXML() {
  if (CelerraXMLMessageResp::UnSerializeXML()) {
    CEL_DEBUG(m_Event, 2, "%s: NFS share:[%s] on mover:[%s]", "virtual bool RespDeleteCifsShare::UnSerializeXML()",
              m_sShareName.c_str(), m_sMoverId.c_str());
    return true;
  }
  CEL_ERROR(m_Event, "Unable to delete Cifs share:[%s] on mover:[%s]", m_sShareName.c_str(), m_sMoverId.c_str());
  return false;
}
