#include "messages/catalogue/CheckpointMessages.h"

#include "messages/ServerCodes.h"
#include "messages/internal/OnFailure.h"
#include "messages/internal/RequestWriter.h"
#include "messages/internal/XmlReply.h"
#include "messages/internal/XmlText.h"

using namespace celerra_internal;

namespace {

// A task document around `body`, with the server-side task time-out.
std::string TaskDocument(const std::string& body, PacketEnd end) {
  return RequestWriter()
      .Open("\t", "Request")
      .Open("\t\t", "StartTask", " timeout=\"600\"")
      .Lines(body)
      .Close("\t\t", "StartTask")
      .Close("\t", "Request")
      .Finish(end);
}

const char* YesNo(bool value) { return value ? "true" : "false"; }

}  // namespace

// ------------------------------------------------------------ requests

CelerraXMLGetChkPtInfoReq::CelerraXMLGetChkPtInfoReq() {}
CelerraXMLGetChkPtInfoReq::CelerraXMLGetChkPtInfoReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, "") {}
CelerraXMLGetChkPtInfoReq::~CelerraXMLGetChkPtInfoReq() {}
const char* CelerraXMLGetChkPtInfoReq::GetMessageName() { return "CelerraXMLGetChkPtInfoReq"; }

bool CelerraXMLGetChkPtInfoReq::SerializeXML() {
  RequestWriter x;
  x.Open("\t", "Request").Open("\t\t", "Query");
  if (m_sChkPtName.empty()) {
    x.Empty("\t\t\t", "CheckpointQueryParams");
  } else {
    x.Open("\t\t\t", "CheckpointQueryParams");
    x.Empty("\t\t\t\t", "Alias", Attr("name", m_sChkPtName));
    x.Close("\t\t\t", "CheckpointQueryParams");
  }
  x.Close("\t\t", "Query").Close("\t", "Request");
  m_sSerializedXML = x.Finish(PacketEnd::kSpacedBlankLine);
  return true;
}

CelerraXMLCreateRWChkPtReq::CelerraXMLCreateRWChkPtReq() : m_eStgType(STG_TYPE_NONE), m_bCreateBaseLine(false) {}
CelerraXMLCreateRWChkPtReq::CelerraXMLCreateRWChkPtReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, ""), m_eStgType(STG_TYPE_NONE), m_bCreateBaseLine(false) {}
CelerraXMLCreateRWChkPtReq::~CelerraXMLCreateRWChkPtReq() {}
const char* CelerraXMLCreateRWChkPtReq::GetMessageName() { return "CelerraXMLCreateRWChkPtReq"; }

bool CelerraXMLCreateRWChkPtReq::SerializeXML() {
  m_sSerializedXML.clear();
  // The storage is not sent (the baseline's space is used), but a caller
  // that does not know it has not looked the file system up.
  if (m_sPFSId.empty() || m_eStgType == STG_TYPE_NONE || m_sStgId.empty() || m_sChkPtName.empty()) {
    CEL_WARN(m_Event, 0,
             "Returning false because m_eStgType = STG_TYPE_NONE or {m_sPFSId or m_sStgId or m_sChkPtName is empty}.");
    return false;
  }
  std::string body = "\t\t\t<NewCheckpoint" + Attr("checkpointOf", m_sPFSId) + Attr("name", m_sChkPtName) + ">\n";
  if (m_bCreateBaseLine)
    body += "\t\t\t\t<BaselineCheckpoint" + Attr("baselineName", m_sChkPtName + "_baseline") + "/>\n";
  else
    body += "\t\t\t\t<BaselineCheckpoint" + Attr("baselineCheckpoint", m_sBaseLineChkPtId) + "/>\n";
  body += "\t\t\t</NewCheckpoint>\n";
  m_sSerializedXML = TaskDocument(body, PacketEnd::kBlankLine);
  CEL_DEBUG(m_Event, 3, "m_sXML = %s", m_sSerializedXML.c_str());
  return true;
}

CelerraXMLCreateROChkPtReq::CelerraXMLCreateROChkPtReq() : m_eStgType(STG_TYPE_NONE) {}
CelerraXMLCreateROChkPtReq::CelerraXMLCreateROChkPtReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, ""), m_eStgType(STG_TYPE_NONE) {}
CelerraXMLCreateROChkPtReq::~CelerraXMLCreateROChkPtReq() {}
const char* CelerraXMLCreateROChkPtReq::GetMessageName() { return "CelerraXMLCreateROChkPtReq"; }

bool CelerraXMLCreateROChkPtReq::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sPFSId.empty() || m_eStgType == STG_TYPE_NONE || m_sStgId.empty() || m_sChkPtName.empty()) {
    CEL_WARN(m_Event, 0,
             "Returning false because m_eStgType = STG_TYPE_NONE or {m_sPFSId or m_sStgId or m_sChkPtName is empty}.");
    return false;
  }
  std::string body = "\t\t\t<NewCheckpoint" + Attr("checkpointOf", m_sPFSId) + Attr("name", m_sChkPtName) + ">\n";
  if (m_eStgType == STG_TYPE_POOL) {
    body += "\t\t\t\t<SpaceAllocationMethod>\n";
    body += "\t\t\t\t\t<StoragePool" + Attr("pool", m_sStgId) + "/>\n";
    body += "\t\t\t\t</SpaceAllocationMethod>\n";
  } else if (m_eStgType == STG_TYPE_VOLUME) {
    body += "\t\t\t\t<SpaceAllocationMethod>\n";
    body += "\t\t\t\t\t<Volume" + Attr("volume", m_sStgId) + "/>\n";
    body += "\t\t\t\t</SpaceAllocationMethod>\n";
  }
  body += "\t\t\t</NewCheckpoint>\n";
  m_sSerializedXML = TaskDocument(body, PacketEnd::kBlankLine);
  CEL_DEBUG(m_Event, 6, "m_sXML = %s", m_sSerializedXML.c_str());
  return true;
}

CelerraXMLDeleteChkPtReq::CelerraXMLDeleteChkPtReq() : m_bDeleteBaseLine(true) {}
CelerraXMLDeleteChkPtReq::CelerraXMLDeleteChkPtReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, ""), m_bDeleteBaseLine(true) {}
CelerraXMLDeleteChkPtReq::~CelerraXMLDeleteChkPtReq() {}
const char* CelerraXMLDeleteChkPtReq::GetMessageName() { return "CelerraXMLDeleteChkPtReq"; }

bool CelerraXMLDeleteChkPtReq::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sChkPtId.empty()) {
    CEL_WARN(m_Event, 0, "Returning false because m_sChkPtId is empty; m_sBaseLineChkPtId=[%s]; m_bDeleteBaseLine=[%s]",
             m_sBaseLineChkPtId.c_str(), YesNo(m_bDeleteBaseLine));
    return false;
  }
  const std::string& target = m_bDeleteBaseLine ? m_sBaseLineChkPtId : m_sChkPtId;
  std::string body = "\t\t\t<DeleteCheckpoint" + Attr("checkpoint", target) +
                     Attr("force", m_bDeleteBaseLine ? "true" : "false") + "/>\n";
  m_sSerializedXML = TaskDocument(body, PacketEnd::kSpacedBlankLine);
  CEL_DEBUG(m_Event, 2, "sChkPtId=[%s]; m_sChkPtId=[%s]; m_sBaseLineChkPtId=[%s]; m_bDeleteBaseLine=[%s]",
            target.c_str(), m_sChkPtId.c_str(), m_sBaseLineChkPtId.c_str(), YesNo(m_bDeleteBaseLine));
  return true;
}

CelerraXMLRestorePFSFromChkPtReq::CelerraXMLRestorePFSFromChkPtReq() {}
CelerraXMLRestorePFSFromChkPtReq::CelerraXMLRestorePFSFromChkPtReq(unsigned long long jobId)
    : CelerraXMLMessageReq(jobId, false, "") {}
CelerraXMLRestorePFSFromChkPtReq::~CelerraXMLRestorePFSFromChkPtReq() {}
const char* CelerraXMLRestorePFSFromChkPtReq::GetMessageName() { return "CelerraXMLRestorePFSFromChkPtReq "; }

bool CelerraXMLRestorePFSFromChkPtReq::SerializeXML() {
  m_sSerializedXML.clear();
  if (m_sChkPtId.empty()) {
    CEL_WARN(m_Event, 0, "Returning false because m_sChkPtId is empty.");
    return false;
  }
  m_sSerializedXML =
      TaskDocument("\t\t\t<RestoreCheckpoint" + Attr("checkpoint", m_sChkPtId) + "/>\n", PacketEnd::kSpacedBlankLine);
  return true;
}

// ----------------------------------------------------------- responses

CelerraXMLGetChkPtInfoResp::CelerraXMLGetChkPtInfoResp() : CelerraXMLGetChkPtInfoResp(0) {}
CelerraXMLGetChkPtInfoResp::CelerraXMLGetChkPtInfoResp(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 0;
  init();
}
CelerraXMLGetChkPtInfoResp::~CelerraXMLGetChkPtInfoResp() {}
const char* CelerraXMLGetChkPtInfoResp::GetMessageName() { return "CelerraXMLGetChkPtInfoResp"; }

bool CelerraXMLGetChkPtInfoResp::UnSerializeXML() {
  ReplyDocument doc;
  OnFailure closing([&] {
    if (m_sChkPtName.empty())
      CEL_ERROR(m_Event, "Unable to get list of ChkPts");
    else
      CEL_ERROR(m_Event, "Unable to get ChkPt info for ChkPtName [%s]", m_sChkPtName.c_str());
  });
  if (!UnSerializeEnvelope(doc)) {
    CEL_ERROR(m_Event, "Unable to get ChkPtInfo for ChkPtName:[%s]", m_sChkPtName.c_str());
    return false;
  }
  std::vector<const XmlElement*> checkpoints = Elements(doc.response, "Checkpoint");
  if (!m_sChkPtName.empty() && checkpoints.size() != 1) {
    CEL_ERROR(m_Event, "Inappropriate number [%lu] of Checkpoint nodes in XML",
              static_cast<unsigned long>(checkpoints.size()));
    SetUnreadable(std::to_string(checkpoints.size()) + " checkpoints named " + m_sChkPtName +
                  " where one was expected");
    return false;
  }
  for (const XmlElement* element : checkpoints) {
    CelerraChkPtInfo info;
    info.m_sChkPtId = Attr(element, "checkpoint");
    info.m_sBaseChkPtId = Attr(element, "baseline");
    info.m_sFSId = Attr(element, "checkpointOf");
    info.m_sChkPtName = Attr(element, "name");
    if (info.m_sChkPtId.empty() || info.m_sFSId.empty()) {
      CEL_ERROR(m_Event, "sChkPtId or sBaseChkPtId or sFSID not valid");
      SetUnreadable("Reply holds a checkpoint without its id or its file system (name [" + info.m_sChkPtName + "])");
      return false;
    }
    m_lChkPts.push_back(std::move(info));
  }
  return closing.Succeeded();
}

CelerraXMLCreateRWChkPtResp::CelerraXMLCreateRWChkPtResp() : CelerraXMLCreateRWChkPtResp(0) {}
CelerraXMLCreateRWChkPtResp::CelerraXMLCreateRWChkPtResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
CelerraXMLCreateRWChkPtResp::~CelerraXMLCreateRWChkPtResp() {}
const char* CelerraXMLCreateRWChkPtResp::GetMessageName() { return "CelerraXMLCreateRWChkPtoResp"; }

bool CelerraXMLCreateRWChkPtResp::UnSerializeXML() {
  ReplyDocument doc;
  if (UnSerializeEnvelope(doc)) return true;
  CEL_ERROR(m_Event, "Unable to create checkpoint for PFSId:[%s]", m_sPFSId.c_str());
  // The code arrives in a TaskResponse's Status or in a bare Status; the
  // envelope parse reads both into the last error.
  if (celerra_codes::Is(m_LastError, celerra_codes::kRWCheckpointExistsTask)) {
    CEL_WARN(m_Event, 2, "RW Chkpt[%s] for PFS[%s] already exists, treating this as a success", m_sChkPtName.c_str(),
             m_sPFSId.c_str());
    ClearLastError();
    return true;
  }
  CEL_ERROR(m_Event, "Unable to create checkpoint for PFSId [%s]", m_sPFSId.c_str());
  return false;
}

CelerraXMLCreateROChkPtResp::CelerraXMLCreateROChkPtResp() : CelerraXMLCreateROChkPtResp(0) {}
CelerraXMLCreateROChkPtResp::CelerraXMLCreateROChkPtResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
CelerraXMLCreateROChkPtResp::~CelerraXMLCreateROChkPtResp() {}
const char* CelerraXMLCreateROChkPtResp::GetMessageName() { return "CelerraXMLCreateROChkPtResp"; }

bool CelerraXMLCreateROChkPtResp::UnSerializeXML() {
  ReplyDocument doc;
  if (UnSerializeEnvelope(doc)) return true;
  CEL_ERROR(m_Event, "Unable to create checkpoint for PFSId:[%s]", m_sPFSId.c_str());
  CEL_ERROR(m_Event, "Unable to create checkpoint for PFSId [%s]", m_sPFSId.c_str());
  return false;
}

CelerraXMLDeleteChkPtResp::CelerraXMLDeleteChkPtResp() : CelerraXMLDeleteChkPtResp(0) {}
CelerraXMLDeleteChkPtResp::CelerraXMLDeleteChkPtResp(unsigned long long jobId) : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
CelerraXMLDeleteChkPtResp::~CelerraXMLDeleteChkPtResp() {}
const char* CelerraXMLDeleteChkPtResp::GetMessageName() { return "CelerraXMLDeleteChkPtResp"; }

bool CelerraXMLDeleteChkPtResp::UnSerializeXML() {
  ReplyDocument doc;
  if (UnSerializeEnvelope(doc)) {
    CEL_DEBUG(m_Event, 2, "chkpt:[%s]; baselinechkpt:[%s]", m_sChkPtId.c_str(), m_sBaseLineChkPtId.c_str());
    return true;
  }
  CEL_ERROR(m_Event, "Unable to delete chkpt:[%s] AND/OR baselinechkpt[%s]", m_sChkPtId.c_str(),
            m_sBaseLineChkPtId.c_str());
  return false;
}

CelerraXMLRestorePFSFromChkPtResp::CelerraXMLRestorePFSFromChkPtResp() : CelerraXMLRestorePFSFromChkPtResp(0) {}
CelerraXMLRestorePFSFromChkPtResp::CelerraXMLRestorePFSFromChkPtResp(unsigned long long jobId)
    : CelerraXMLMessageResp(jobId, false) {
  m_eResponseType = 1;
  init();
}
CelerraXMLRestorePFSFromChkPtResp::~CelerraXMLRestorePFSFromChkPtResp() {}
const char* CelerraXMLRestorePFSFromChkPtResp::GetMessageName() { return "CelerraXMLRestorePFSFromChkPtResp "; }

bool CelerraXMLRestorePFSFromChkPtResp::UnSerializeXML() {
  ReplyDocument doc;
  if (UnSerializeEnvelope(doc)) return true;
  CEL_ERROR(m_Event, "Unable to restore PFS:[%s] from checkpoint:[%s]", m_sPFSId.c_str(), m_sChkPtName.c_str());
  CEL_ERROR(m_Event, "Unable to restore PFS:[%s] from checkpoint:[%s]", m_sPFSId.c_str(), m_sChkPtName.c_str());
  return false;
}
