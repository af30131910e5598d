// Checkpoint operations: create (writeable and read-only), find, list,
// delete and restore. Creation, deletion and restore are server tasks sent
// with the server-side time-out; their one reply is the outcome.
#include <memory>
#include <utility>

#include "manage/ManageCelerraPrivate.h"
#include "messages/ServerCodes.h"

using celerra_internal::Exchange;
using celerra_internal::ExchangeTexts;
using celerra_internal::OnFailure;

namespace {

const char* const kCreateRWSig =
    "bool ManageCelerra::CreateRWChkPt(std::string, eCelerraStgType, std::string, std::string, bool, std::string&, "
    "std::string&)";
const char* const kCreateROSig =
    "bool ManageCelerra::CreateROChkPt(std::string, eCelerraStgType, std::string, std::string, std::string&)";
const char* const kGetChkPtSig = "bool ManageCelerra::GetChkPointInfo(std::string, std::string&, std::string&)";
const char* const kGetChkPtsSig = "bool ManageCelerra::GetChkPointsInfo(std::string, std::list<CelerraChkPtInfo>&)";
const char* const kDeleteSig = "bool ManageCelerra::DeleteChkPt(std::string, std::string, bool)";
const char* const kRestoreSig = "bool ManageCelerra::RestorePFSFromChkPt(std::string, std::string, std::string)";

// Texts of the create operations and the list query.
const char* const kAllocCreate = "Unabled to allocate the XML request or response packet";
const char* const kAlloc = "Unable to allocate the XML request or response packet";
const char* const kInit = "Unable to Initialize the HTTP client";
const char* const kLogin = "Unable to login into the control host";
const char* const kSerialize = "Unable to serialize the XML request";
const char* const kSend = "Unable to send HTTP request";
const ExchangeTexts kCreateTexts = {kAllocCreate, kInit, kLogin, kSerialize, kSend};

// The checks both create operations make before anything is sent, in their
// order: what is wrong, or null.
const char* CreateInputProblem(bool hasLoginParameters, const std::string& pfsId, eCelerraStgType stgType,
                               const std::string& stgId, const std::string& chkPtName) {
  if (!hasLoginParameters) return "Control Host Login Parameters are not set,cannot proceed";
  if (pfsId.empty()) return "Invalid input to api, PFSId is empty, cannot proceed";
  if (stgType == STG_TYPE_NONE) return "Invalid input to api, Storage Type,is empty, cannot proceed";
  if (stgId.empty()) return "Invalid input to api, Storage ID is empty, cannot proceed";
  if (chkPtName.empty()) return "Invalid input to api, CheckPointName is empty, cannot proceed";
  return nullptr;
}

}  // namespace

bool ManageCelerra::CreateRWChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId, std::string chkPtName,
                                  bool createBaseLine, std::string& baseLineChkPtId, std::string& chkPtId) {
  celerra_internal::OperationLog log(*this, "CreateRWChkPt");
  if (const char* problem = CreateInputProblem(HasLoginParameters(), pfsId, stgType, stgId, chkPtName))
    return RefuseInput(problem);
  if (!createBaseLine && baseLineChkPtId.empty()) {
    return RefuseInput("Invalid input to api, base line check point id is invalid");
  }
  chkPtId.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Creating checkpoint for PFS:[%s], Using baseline:[%s], Storage Type:[%d], Storage ID:[%s]",
            kCreateRWSig, pfsId.c_str(), createBaseLine ? "Needs to be created" : baseLineChkPtId.c_str(),
            static_cast<int>(stgType), stgId.c_str());

  Exchange<CelerraXMLCreateRWChkPtReq, CelerraXMLCreateRWChkPtResp> exchange(*this, kCreateTexts);
  OnFailure closing(exchange.Closing(
      "CreateRWChkPt", [&] { CEL_ERROR(m_Event, "Unable to create checkpoint for PFS:[%s]", pfsId.c_str()); }));
  if (!exchange.Made()) return false;
  CelerraXMLCreateRWChkPtReq& req = exchange.request();
  req.m_sPFSId = pfsId;
  req.m_eStgType = stgType;
  req.m_sStgId = stgId;
  req.m_sChkPtName = chkPtName;
  req.m_bCreateBaseLine = createBaseLine;
  req.m_sBaseLineChkPtId = baseLineChkPtId;
  CelerraXMLCreateRWChkPtResp& resp = exchange.response();
  resp.m_sPFSId = pfsId;
  resp.m_sBaseLineChkPtId = baseLineChkPtId;
  resp.m_sChkPtName = chkPtName;
  if (!exchange.Send()) return false;
  if (!exchange.Accepted()) {
    if (!celerra_codes::IsOneOf(m_LastError, celerra_codes::kRWCheckpointExists)) return false;
    CEL_DEBUG(m_Event, 2, "%s: RW chkpt already exists [%s]. Checking if it can be used...", kCreateRWSig,
              chkPtName.c_str());
    ClearLastError();
  }
  // The ids come from the server's list, so the baseline id names the one
  // actually used, also when the task created it.
  if (!GetChkPointInfo(chkPtName, chkPtId, baseLineChkPtId)) {
    CEL_ERROR(m_Event, "Unable to get chkpoint info for chkpt:[%s]", chkPtName.c_str());
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::CreateROChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId, std::string chkPtName,
                                  std::string& chkPtId) {
  celerra_internal::OperationLog log(*this, "CreateROChkPt");
  if (const char* problem = CreateInputProblem(HasLoginParameters(), pfsId, stgType, stgId, chkPtName))
    return RefuseInput(problem);
  chkPtId.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Creating read-only checkpoint for PFS:[%s], Storage Type:[%d], Storage ID:[%s]",
            kCreateROSig, pfsId.c_str(), static_cast<int>(stgType), stgId.c_str());

  Exchange<CelerraXMLCreateROChkPtReq, CelerraXMLCreateROChkPtResp> exchange(*this, kCreateTexts);
  OnFailure closing(exchange.Closing(
      "CreateROChkPt", [&] { CEL_ERROR(m_Event, "Unable to create checkpoint for PFS:[%s]", pfsId.c_str()); }));
  if (!exchange.Made()) return false;
  CelerraXMLCreateROChkPtReq& req = exchange.request();
  req.m_sPFSId = pfsId;
  req.m_eStgType = stgType;
  req.m_sStgId = stgId;
  req.m_sChkPtName = chkPtName;
  exchange.response().m_sPFSId = pfsId;
  if (!exchange.Send() || !exchange.Accepted()) return false;
  std::string baseline;
  if (!GetChkPointInfo(chkPtName, chkPtId, baseline)) {
    CEL_ERROR(m_Event, "Unable to get chkpoint info for chkpt:[%s]", chkPtName.c_str());
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::GetChkPointInfo(std::string chkPtName, std::string& chkPtId, std::string& baseLineChkPtId) {
  celerra_internal::OperationLog log(*this, "GetChkPointInfo");
  if (chkPtName.empty()) return RefuseInput("Invalid input to api, CheckPointName is empty, cannot proceed");
  chkPtId.clear();
  baseLineChkPtId.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting checkpoint info for chkptname:[%s]", kGetChkPtSig, chkPtName.c_str());
  OnFailure closing([&] {
    RecordFailure("GetChkPointInfo");
    CEL_ERROR(m_Event, "Unable to get chkpt info for chkpt:[%s]", chkPtName.c_str());
  });
  std::list<CelerraChkPtInfo> chkPts;
  if (!GetChkPointsInfo(chkPtName, chkPts)) {
    CEL_ERROR(m_Event, "Unable to get chkpts from the  control host");
    return false;
  }
  for (const CelerraChkPtInfo& info : chkPts) {
    if (info.m_sChkPtName == chkPtName) {
      baseLineChkPtId = info.m_sBaseChkPtId;
      chkPtId = info.m_sChkPtId;
      break;
    }
  }
  if (chkPtId.empty()) {
    CEL_ERROR(m_Event,
              "ChkPtId is empty,  we didn't get valid values back from the celerra control host even though the "
              "HTTP request succeeded");
    // The list came back fine but without this name: say so instead of
    // leaving the empty record, whose status reads as success.
    m_LastError = CelerraError::NotFound("The server listed no checkpoint named [" + chkPtName + "]");
    return false;
  }
  CEL_DEBUG(m_Event, 2, "%s: Got ChkPtId:[%s], BaselineChkPtId:[%s] for chkPtName:[%s]", kGetChkPtSig, chkPtId.c_str(),
            baseLineChkPtId.c_str(), chkPtName.c_str());
  return closing.Succeeded();
}

bool ManageCelerra::GetChkPointsInfo(std::string chkPtName, std::list<CelerraChkPtInfo>& chkPts) {
  celerra_internal::OperationLog log(*this, "GetChkPointsInfo");
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  chkPts.clear();
  ClearLastError();
  const char* which = chkPtName.empty() ? "ALL" : chkPtName.c_str();
  CEL_DEBUG(m_Event, 2, "%s: Getting chkpoint(s) info for [%s] chkpoint(s)", kGetChkPtsSig, which);

  Exchange<CelerraXMLGetChkPtInfoReq, CelerraXMLGetChkPtInfoResp> exchange(*this, kCreateTexts);
  OnFailure closing([&] {
    chkPts.clear();
    exchange.KeepResponseError();
    RecordFailure("GetChkPointsInfo");
    CEL_ERROR(m_Event, "Unable to get chkpt info for [%s] chkpt(s)", which);
  });
  if (!exchange.Made()) return false;
  exchange.request().m_sChkPtName = chkPtName;
  exchange.response().m_sChkPtName = chkPtName;
  // A reply the server refused, or one the parse could not read, is a
  // failure: the records parsed before the fault are not the list.
  if (!exchange.Send() || exchange.response().GetLastError().m_eStatus != STATUS_OK) return false;
  // Handed over, not copied: the list may hold tens of thousands.
  chkPts = std::move(exchange.response().m_lChkPts);
  exchange.response().m_lChkPts.clear();
  return closing.Succeeded();
}

bool ManageCelerra::DeleteChkPt(std::string chkPtId, std::string baseLineChkPtId, bool deleteBaseLine) {
  celerra_internal::OperationLog log(*this, "DeleteChkPt");
  static const ExchangeTexts kTexts = {kAlloc, kInit, kLogin, kSerialize, nullptr};
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  if (chkPtId.empty()) return RefuseInput("Invalid input to api, ChkPtId or BaseLine ChkPt Id empty, cannot proceed");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Deleting ChkPt (aka snapshot):[%s], Should baseline[%s] be deleted?:[%s]", kDeleteSig,
            chkPtId.c_str(), baseLineChkPtId.c_str(), deleteBaseLine ? "Yes" : "No");

  Exchange<CelerraXMLDeleteChkPtReq, CelerraXMLDeleteChkPtResp> exchange(*this, kTexts);
  OnFailure closing([&] {
    RecordFailure("DeleteChkPt");
    CEL_ERROR(m_Event, "Unable to delete ChkPt:[%s]; Failed to delete snapshot having the ChkPt ID.", chkPtId.c_str());
  });
  if (!exchange.Made()) return false;
  exchange.request().m_sChkPtId = chkPtId;
  exchange.request().m_bDeleteBaseLine = deleteBaseLine;
  exchange.request().m_sBaseLineChkPtId = baseLineChkPtId;
  exchange.response().m_sChkPtId = chkPtId;
  exchange.response().m_sBaseLineChkPtId = baseLineChkPtId;
  if (!exchange.Send()) return false;
  if (!exchange.Accepted()) {
    if (!celerra_codes::Is(m_LastError, celerra_codes::kCheckpointAlreadyDeleted)) return false;
    CEL_WARN(m_Event, 2,
             "ChkPt [%s] seems to have been deleted already from the filer. Treating the operation as a success.  "
             "Snapshot has been deleted already.",
             chkPtId.c_str());
    // Gone already is what was asked for: a clean record but for the
    // server's code, which tells the caller it was gone before the call.
    ClearLastError();
    m_LastError.m_sMessageCode = celerra_codes::kCheckpointAlreadyDeleted;
  }
  CEL_DEBUG(m_Event, 2, "%s: Successfully deleted ChkPt:[%s]; Performed a snapshot deletion via snapshot ID.",
            kDeleteSig, chkPtId.c_str());
  return closing.Succeeded();
}

bool ManageCelerra::RestorePFSFromChkPt(std::string chkPtName, std::string chkPtId, std::string pfsId) {
  celerra_internal::OperationLog log(*this, "RestorePFSFromChkPt");
  static const ExchangeTexts kTexts = {kAlloc, kInit, "Unabled to login into the control host", kSerialize, nullptr};
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  if (chkPtId.empty() || chkPtName.empty() || pfsId.empty()) {
    return RefuseInput("Invalid input to api, ChkPtId or ChkPtName or a_sPFSId empty cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Restoring PFS [%s] from RW checkpoint [%s]:[%s]", kRestoreSig, pfsId.c_str(),
            chkPtName.c_str(), chkPtId.c_str());

  // No closing line: the restore logs only its steps' texts.
  Exchange<CelerraXMLRestorePFSFromChkPtReq, CelerraXMLRestorePFSFromChkPtResp> exchange(*this, kTexts);
  OnFailure closing([&] { RecordFailure("RestorePFSFromChkPt"); });
  if (!exchange.Made()) return false;
  exchange.request().m_sChkPtId = chkPtId;
  exchange.request().m_sChkPtName = chkPtName;
  exchange.request().m_sPFSId = pfsId;
  exchange.response().m_sChkPtId = chkPtId;
  exchange.response().m_sChkPtName = chkPtName;
  exchange.response().m_sPFSId = pfsId;
  if (!exchange.Send() || !exchange.Accepted()) return false;
  CEL_DEBUG(m_Event, 2, "%s: Successfully restored PFS [%s] from RW checkpoint[%s]:[%s]", kRestoreSig, pfsId.c_str(),
            chkPtName.c_str(), chkPtId.c_str());
  return closing.Succeeded();
}
