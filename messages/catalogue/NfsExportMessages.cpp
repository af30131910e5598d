#include "messages/catalogue/NfsExportMessages.h"

#include "messages/ServerCodes.h"
#include "messages/internal/OnFailure.h"
#include "messages/internal/RequestWriter.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

// A slash in front when there is none.
void AddLeadingSlash(std::string& path) {
  if (path.empty() || path[0] != '/') path.insert(0, 1, '/');
}

// The whole export path rule: a doubled leading slash folded once, then a
// slash in front when there is none.
void NormalizeExportPath(std::string& path) {
  if (path.size() >= 2 && path[0] == '/' && path[1] == '/') path.erase(0, 1);
  AddLeadingSlash(path);
}

// One host list inside NewNfsExport, or nothing for an empty list.
std::string HostList(const char* element, const std::vector<std::string>& hosts) {
  if (hosts.empty()) return std::string();
  std::string xml = std::string("\t\t<") + element + ">\n";
  for (const std::string& host : hosts) xml += "\t\t<li>" + XmlEscape(host) + "</li>\n";
  xml += std::string("\t\t</") + element + ">\n";
  return xml;
}

const char* TrueFalse(bool value) { return value ? "true" : "false"; }

}  // namespace

// ------------------------------------------------------------------ requests

CelerraXMLGetNFSInfoReq::CelerraXMLGetNFSInfoReq() = default;
CelerraXMLGetNFSInfoReq::CelerraXMLGetNFSInfoReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}
CelerraXMLGetNFSInfoReq::~CelerraXMLGetNFSInfoReq() = default;
const char* CelerraXMLGetNFSInfoReq::GetMessageName() { return "CelerraXMLGetNFSInfoReq"; }

bool CelerraXMLGetNFSInfoReq::SerializeXML() {
  m_sSerializedXML.clear();
  if (!m_sShareName.empty()) {
    AddLeadingSlash(m_sShareName);
  } else if (!bAllShares) {
    CEL_WARN(m_Event, 0, "Returning false because m_sShareName is empty and bAllShares is false");
    return false;
  }
  m_sSerializedXML = RequestWriter()
                         .Open("  ", "Request")
                         .Open("    ", "Query")
                         .Empty("\t\t", "NfsExportQueryParams", bAllShares ? std::string() : Attr("path", m_sShareName))
                         .Close("    ", "Query")
                         .Close("  ", "Request")
                         .Finish(PacketEnd::kBlankLine);
  return true;
}

CelerraXMLCreateNFSShareReq::CelerraXMLCreateNFSShareReq() = default;
CelerraXMLCreateNFSShareReq::CelerraXMLCreateNFSShareReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}
CelerraXMLCreateNFSShareReq::~CelerraXMLCreateNFSShareReq() = default;
const char* CelerraXMLCreateNFSShareReq::GetMessageName() { return "CelerraXMLCreateNFSShareReq"; }

bool CelerraXMLCreateNFSShareReq::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sPFSOrChkPtName.empty() || m_sMoverId.empty()) {
    CEL_WARN(m_Event, 0, "Returning false because m_sPFSOrChkPtName or m_sMoverId is empty.");
    return false;
  }
  NormalizeExportPath(m_sPFSOrChkPtName);
  // The first host list (or the end tag) follows the start tag on its line.
  m_sSerializedXML = RequestWriter()
                         .Open("  ", "Request")
                         .Open("    ", "StartTask", Attr("timeout", "600"))
                         .Lines("\t\t<NewNfsExport" + Attr("mover", m_sMoverId) + Attr("path", m_sPFSOrChkPtName) +
                                Attr("anonUser", "0") + Attr("readOnly", TrueFalse(m_bReadOnly)) + ">")
                         .Lines(HostList("AccessHosts", m_vAccessHosts))
                         .Lines(HostList("RwHosts", m_vRwHosts))
                         .Lines(HostList("RootHosts", m_vRootHosts))
                         .Close("\t\t", "NewNfsExport")
                         .Close("\t ", "StartTask")
                         .Close("  ", "Request")
                         .Finish(PacketEnd::kSpacedBlankLine);
  CEL_DEBUG(m_Event, 6, "m_sXML = %s", m_sSerializedXML.c_str());
  return true;
}

CelerraXMLDeleteNFSShareReq::CelerraXMLDeleteNFSShareReq() = default;
CelerraXMLDeleteNFSShareReq::CelerraXMLDeleteNFSShareReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, std::string()) {}
CelerraXMLDeleteNFSShareReq::~CelerraXMLDeleteNFSShareReq() = default;
const char* CelerraXMLDeleteNFSShareReq::GetMessageName() { return "CelerraXMLDeleteNFSShareReq"; }

bool CelerraXMLDeleteNFSShareReq::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sShareName.empty() || m_sMoverId.empty()) {
    CEL_WARN(m_Event, 0, "Returning false because m_sShareName or m_sMoverId is empty.");
    return false;
  }
  NormalizeExportPath(m_sShareName);
  m_sSerializedXML = RequestWriter()
                         .Open("  ", "Request")
                         .Open("    ", "StartTask", Attr("timeout", "600"))
                         .Empty("\t\t", "DeleteNfsExport", Attr("mover", m_sMoverId) + Attr("path", m_sShareName))
                         .Close("\t ", "StartTask")
                         .Close("  ", "Request")
                         .Finish(PacketEnd::kSpacedBlankLine);
  CEL_DEBUG(m_Event, 2, "%s: NFS share:[%s] on mover:[%s]", "virtual bool CelerraXMLDeleteNFSShareReq::SerializeXML()",
            m_sShareName.c_str(), m_sMoverId.c_str());
  return true;
}

// ----------------------------------------------------------------- responses

CelerraXMLGetNFSInfoResp::CelerraXMLGetNFSInfoResp() : CelerraXMLGetNFSInfoResp(0) {}
CelerraXMLGetNFSInfoResp::CelerraXMLGetNFSInfoResp(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 0;
  init();
}
CelerraXMLGetNFSInfoResp::~CelerraXMLGetNFSInfoResp() = default;
const char* CelerraXMLGetNFSInfoResp::GetMessageName() { return "CelerraXMLGetNFSInfoResp"; }

bool CelerraXMLGetNFSInfoResp::UnSerializeXML() {
  ReplyDocument doc;
  OnFailure closing([&] { CEL_ERROR(m_Event, "Unable to get share info for share [%s]", m_sShareName.c_str()); });
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to GetNFSInfo for share name [%s]", m_sShareName.c_str());
    return false;
  }
  // Host lists and other children of the export are passed over: only the
  // export's own attributes are read.
  std::vector<const XmlElement*> exports = Elements(doc.document(), "NfsExport");
  if (exports.size() != 1) {
    CEL_ERROR(m_Event, "Inappropriate number [%lu] of NfsExport nodes in XML",
              static_cast<unsigned long>(exports.size()));
    // None: the server has no such export (not found); more than one: the
    // reply cannot be read as the answer.
    if (exports.empty())
      m_LastError = CelerraError::NotFound("No NFS export [" + m_sShareName + "] in the reply");
    else
      SetUnreadable(std::to_string(exports.size()) + " NFS exports in the reply for [" + m_sShareName + "]");
    return false;
  }
  std::string fileSystem = Attr(exports[0], "fileSystem");
  std::string readOnly = Attr(exports[0], "readOnly");
  std::string mover = Attr(exports[0], "mover");
  std::string path = Attr(exports[0], "path");
  if (fileSystem.empty() || readOnly.empty() || mover.empty() || path.empty()) {
    CEL_ERROR(m_Event,
              "Unable to get FileSystem Id or MoverID or ShareName or readOnly attribute from the filer for share "
              "[%s]",
              m_sShareName.c_str());
    SetUnreadable("The reply about NFS export [" + m_sShareName +
                  "] lacks its file system, mover, path or read-only flag");
    return false;
  }
  m_sPFSId = fileSystem;
  m_bReadOnly = readOnly == "true";
  m_sMoverId = mover;
  if (path != m_sShareName) {
    CEL_ERROR(m_Event,
              "We were looking for NFS info for share [%s] but we seem to have the share info for share [%s] "
              "instead!",
              m_sShareName.c_str(), path.c_str());
    SetUnreadable("Asked for NFS export [" + m_sShareName + "] but the reply is about [" + path + "]");
    return false;
  }
  return closing.Succeeded();
}

CelerraXMLGetAllNFSInfoResp::CelerraXMLGetAllNFSInfoResp() : CelerraXMLGetAllNFSInfoResp(0) {}
CelerraXMLGetAllNFSInfoResp::CelerraXMLGetAllNFSInfoResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 0;
  init();
}
CelerraXMLGetAllNFSInfoResp::~CelerraXMLGetAllNFSInfoResp() = default;
const char* CelerraXMLGetAllNFSInfoResp::GetMessageName() { return "CelerraXMLGetAllNFSInfoResp"; }

bool CelerraXMLGetAllNFSInfoResp::UnSerializeXML() {
  ReplyDocument doc;
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to GetNFSInfo for all exports");
    CEL_ERROR(m_Event, "Unable to get share info for all exports");
    return false;
  }
  std::vector<const XmlElement*> exports = Elements(doc.document(), "NfsExport");
  CEL_DEBUG(m_Event, 2, "%s: Found %lu nfs exports", "virtual bool CelerraXMLGetAllNFSInfoResp::UnSerializeXML()",
            static_cast<unsigned long>(exports.size()));
  m_vNfsInfo.reserve(m_vNfsInfo.size() + exports.size());
  for (const XmlElement* e : exports) {
    CelerraNFSInfo_t info;
    info.fileSystem = Attr(e, "fileSystem");
    info.readOnly = Attr(e, "readOnly") == "true";
    info.mover = Attr(e, "mover");
    info.path = Attr(e, "path");
    m_vNfsInfo.push_back(std::move(info));
  }
  m_bSuccess = true;
  return true;
}

CelerraXMLCreateNFSShareResp::CelerraXMLCreateNFSShareResp() : CelerraXMLCreateNFSShareResp(0) {}
CelerraXMLCreateNFSShareResp::CelerraXMLCreateNFSShareResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
CelerraXMLCreateNFSShareResp::~CelerraXMLCreateNFSShareResp() = default;
const char* CelerraXMLCreateNFSShareResp::GetMessageName() { return "CelerraXMLCreateNFSShareResp"; }

bool CelerraXMLCreateNFSShareResp::UnSerializeXML() {
  if (CelerraXMLMessageResp::UnSerializeXML()) return true;
  if (celerra_codes::Is(m_LastError, celerra_codes::kAlreadyExists)) {
    CEL_WARN(m_Event, 2, "NFS share for PFS/Chkpt name [%s] already exists, treating this as a success",
             m_sPFSOrChkPtName.c_str());
    ClearLastError();
    return true;
  }
  CEL_ERROR(m_Event, "Unable to create NFS share for PFS/Chkpt name [%s]", m_sPFSOrChkPtName.c_str());
  return false;
}

CelerraXMLDeleteNFSShareResp::CelerraXMLDeleteNFSShareResp() : CelerraXMLDeleteNFSShareResp(0) {}
CelerraXMLDeleteNFSShareResp::CelerraXMLDeleteNFSShareResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
CelerraXMLDeleteNFSShareResp::~CelerraXMLDeleteNFSShareResp() = default;
const char* CelerraXMLDeleteNFSShareResp::GetMessageName() { return "CelerraXMLDeleteNFSShareResp"; }

bool CelerraXMLDeleteNFSShareResp::UnSerializeXML() {
  if (CelerraXMLMessageResp::UnSerializeXML()) {
    CEL_DEBUG(m_Event, 2, "%s: NFS share:[%s] on mover:[%s]",
              "virtual bool CelerraXMLDeleteNFSShareResp::UnSerializeXML()", m_sShareName.c_str(), m_sMoverId.c_str());
    return true;
  }
  CEL_ERROR(m_Event, "Unable to delete NFS share:[%s] on mover:[%s]", m_sShareName.c_str(), m_sMoverId.c_str());
  return false;
}
