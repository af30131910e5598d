// Checkpoint operations: create (writeable and read-only), find, list,
// delete and restore. Creation, deletion and restore are server tasks sent
// with the server-side time-out; their one reply is the outcome.
#include <memory>
#include <utility>

#include "manage/ManageCelerraPrivate.h"

namespace {

const char* const kCreateRWSig =
    "bool ManageCelerra::CreateRWChkPt(std::string, eCelerraStgType, std::string, std::string, bool, std::string&, "
    "std::string&)";
const char* const kCreateROSig =
    "bool ManageCelerra::CreateROChkPt(std::string, eCelerraStgType, std::string, std::string, std::string&)";
const char* const kGetChkPtSig = "bool ManageCelerra::GetChkPointInfo(std::string, std::string&, std::string&)";
const char* const kGetChkPtsSig =
    "bool ManageCelerra::GetChkPointsInfo(std::string, std::list<CelerraChkPtInfo>&)";
const char* const kDeleteSig = "bool ManageCelerra::DeleteChkPt(std::string, std::string, bool)";
const char* const kRestoreSig = "bool ManageCelerra::RestorePFSFromChkPt(std::string, std::string, std::string)";

// Server codes: the writeable checkpoint exists already (the facade then
// returns the existing one), and the checkpoint is gone already.
const char* const kRWExistsCodeA = "13690535982";
const char* const kRWExistsCodeB = "13421840550";
const char* const kAlreadyDeletedCode = "13690535937";

// Texts of the create operations and the list query.
const char* const kAllocCreate = "Unabled to allocate the XML request or response packet";
const char* const kAlloc = "Unable to allocate the XML request or response packet";
const char* const kInit = "Unable to Initialize the HTTP client";
const char* const kLogin = "Unable to login into the control host";
const char* const kSerialize = "Unable to serialize the XML request";
const char* const kSend = "Unable to send HTTP request";

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

bool ManageCelerra::CreateRWChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId,
                                  std::string chkPtName, bool createBaseLine, std::string& baseLineChkPtId,
                                  std::string& chkPtId) {
  static const ExchangeTexts kTexts = {kAllocCreate, kInit, kLogin, kSerialize, kSend};
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

  std::unique_ptr<CelerraXMLCreateRWChkPtReq> req;
  std::unique_ptr<CelerraXMLCreateRWChkPtResp> resp;
  bool ok = false;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    req->m_sPFSId = pfsId;
    req->m_eStgType = stgType;
    req->m_sStgId = stgId;
    req->m_sChkPtName = chkPtName;
    req->m_bCreateBaseLine = createBaseLine;
    req->m_sBaseLineChkPtId = baseLineChkPtId;
    resp->m_sPFSId = pfsId;
    resp->m_sBaseLineChkPtId = baseLineChkPtId;
    resp->m_sChkPtName = chkPtName;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    m_LastError = resp->GetLastError();
    if (m_LastError.m_eStatus != STATUS_OK) {
      if (m_LastError.m_sMessageCode != kRWExistsCodeA && m_LastError.m_sMessageCode != kRWExistsCodeB) break;
      CEL_DEBUG(m_Event, 2, "%s: RW chkpt already exists [%s]. Checking if it can be used...", kCreateRWSig,
                chkPtName.c_str());
      ClearLastError();
    }
    // The ids come from the server's list, so the baseline id names the one
    // actually used, also when the task created it.
    if (!GetChkPointInfo(chkPtName, chkPtId, baseLineChkPtId)) {
      CEL_ERROR(m_Event, "Unable to get chkpoint info for chkpt:[%s]", chkPtName.c_str());
      break;
    }
    ok = true;
  } while (false);
  if (!ok) {
    RecordFailure("CreateRWChkPt");
    CEL_ERROR(m_Event, "Unable to create checkpoint for PFS:[%s]", pfsId.c_str());
  }
  return ok;
}

bool ManageCelerra::CreateROChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId,
                                  std::string chkPtName, std::string& chkPtId) {
  static const ExchangeTexts kTexts = {kAllocCreate, kInit, kLogin, kSerialize, kSend};
  if (const char* problem = CreateInputProblem(HasLoginParameters(), pfsId, stgType, stgId, chkPtName))
    return RefuseInput(problem);
  chkPtId.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Creating read-only checkpoint for PFS:[%s], Storage Type:[%d], Storage ID:[%s]",
            kCreateROSig, pfsId.c_str(), static_cast<int>(stgType), stgId.c_str());

  std::unique_ptr<CelerraXMLCreateROChkPtReq> req;
  std::unique_ptr<CelerraXMLCreateROChkPtResp> resp;
  bool ok = false;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    req->m_sPFSId = pfsId;
    req->m_eStgType = stgType;
    req->m_sStgId = stgId;
    req->m_sChkPtName = chkPtName;
    resp->m_sPFSId = pfsId;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    m_LastError = resp->GetLastError();
    if (m_LastError.m_eStatus != STATUS_OK) break;
    std::string baseline;
    if (!GetChkPointInfo(chkPtName, chkPtId, baseline)) {
      CEL_ERROR(m_Event, "Unable to get chkpoint info for chkpt:[%s]", chkPtName.c_str());
      break;
    }
    ok = true;
  } while (false);
  if (!ok) {
    RecordFailure("CreateROChkPt");
    CEL_ERROR(m_Event, "Unable to create checkpoint for PFS:[%s]", pfsId.c_str());
  }
  return ok;
}

bool ManageCelerra::GetChkPointInfo(std::string chkPtName, std::string& chkPtId, std::string& baseLineChkPtId) {
  if (chkPtName.empty()) {
    return RefuseInput("Invalid input to api, CheckPointName is empty, cannot proceed");
  }
  chkPtId.clear();
  baseLineChkPtId.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting checkpoint info for chkptname:[%s]", kGetChkPtSig, chkPtName.c_str());
  bool ok = false;
  do {
    std::list<CelerraChkPtInfo> chkPts;
    if (!GetChkPointsInfo(chkPtName, chkPts)) {
      CEL_ERROR(m_Event, "Unable to get chkpts from the  control host");
      break;
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
      m_LastError = CelerraError::Failure(ERROR_KIND_NOT_FOUND, "The server listed no checkpoint named [" + chkPtName + "]");
      break;
    }
    CEL_DEBUG(m_Event, 2, "%s: Got ChkPtId:[%s], BaselineChkPtId:[%s] for chkPtName:[%s]", kGetChkPtSig,
              chkPtId.c_str(), baseLineChkPtId.c_str(), chkPtName.c_str());
    ok = true;
  } while (false);
  if (!ok) {
    RecordFailure("GetChkPointInfo");
    CEL_ERROR(m_Event, "Unable to get chkpt info for chkpt:[%s]", chkPtName.c_str());
  }
  return ok;
}

bool ManageCelerra::GetChkPointsInfo(std::string chkPtName, std::list<CelerraChkPtInfo>& chkPts) {
  static const ExchangeTexts kTexts = {kAllocCreate, kInit, kLogin, kSerialize, kSend};
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  }
  chkPts.clear();
  ClearLastError();
  const char* which = chkPtName.empty() ? "ALL" : chkPtName.c_str();
  CEL_DEBUG(m_Event, 2, "%s: Getting chkpoint(s) info for [%s] chkpoint(s)", kGetChkPtsSig, which);

  std::unique_ptr<CelerraXMLGetChkPtInfoReq> req;
  std::unique_ptr<CelerraXMLGetChkPtInfoResp> resp;
  bool ok = false;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    req->m_sChkPtName = chkPtName;
    resp->m_sChkPtName = chkPtName;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    // A reply the server refused, or one the parse could not read, is a
    // failure: the records parsed before the fault are not the list.
    if (resp->GetLastError().m_eStatus != STATUS_OK) break;
    // Handed over, not copied: the list may hold tens of thousands.
    chkPts = std::move(resp->m_lChkPts);
    resp->m_lChkPts.clear();
    ok = true;
  } while (false);
  if (!ok) {
    chkPts.clear();
    if (resp) m_LastError = resp->GetLastError();
    RecordFailure("GetChkPointsInfo");
    CEL_ERROR(m_Event, "Unable to get chkpt info for [%s] chkpt(s)", which);
  }
  return ok;
}

bool ManageCelerra::DeleteChkPt(std::string chkPtId, std::string baseLineChkPtId, bool deleteBaseLine) {
  static const ExchangeTexts kTexts = {kAlloc, kInit, kLogin, kSerialize, nullptr};
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  }
  if (chkPtId.empty()) {
    return RefuseInput("Invalid input to api, ChkPtId or BaseLine ChkPt Id empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Deleting ChkPt (aka snapshot):[%s], Should baseline[%s] be deleted?:[%s]", kDeleteSig,
            chkPtId.c_str(), baseLineChkPtId.c_str(), deleteBaseLine ? "Yes" : "No");

  std::unique_ptr<CelerraXMLDeleteChkPtReq> req;
  std::unique_ptr<CelerraXMLDeleteChkPtResp> resp;
  bool ok = false;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    req->m_sChkPtId = chkPtId;
    req->m_bDeleteBaseLine = deleteBaseLine;
    req->m_sBaseLineChkPtId = baseLineChkPtId;
    resp->m_sChkPtId = chkPtId;
    resp->m_sBaseLineChkPtId = baseLineChkPtId;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    m_LastError = resp->GetLastError();
    if (m_LastError.m_eStatus != STATUS_OK) {
      if (m_LastError.m_sMessageCode != kAlreadyDeletedCode) break;
      CEL_WARN(m_Event, 2,
               "ChkPt [%s] seems to have been deleted already from the filer. Treating the operation as a success.  "
               "Snapshot has been deleted already.",
               chkPtId.c_str());
    }
    CEL_DEBUG(m_Event, 2, "%s: Successfully deleted ChkPt:[%s]; Performed a snapshot deletion via snapshot ID.",
              kDeleteSig, chkPtId.c_str());
    ok = true;
  } while (false);
  if (!ok) {
    RecordFailure("DeleteChkPt");
    CEL_ERROR(m_Event, "Unable to delete ChkPt:[%s]; Failed to delete snapshot having the ChkPt ID.", chkPtId.c_str());
  }
  return ok;
}

bool ManageCelerra::RestorePFSFromChkPt(std::string chkPtName, std::string chkPtId, std::string pfsId) {
  static const ExchangeTexts kTexts = {kAlloc, kInit, "Unabled to login into the control host", kSerialize, nullptr};
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  }
  if (chkPtId.empty() || chkPtName.empty() || pfsId.empty()) {
    return RefuseInput("Invalid input to api, ChkPtId or ChkPtName or a_sPFSId empty cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Restoring PFS [%s] from RW checkpoint [%s]:[%s]", kRestoreSig, pfsId.c_str(),
            chkPtName.c_str(), chkPtId.c_str());

  std::unique_ptr<CelerraXMLRestorePFSFromChkPtReq> req;
  std::unique_ptr<CelerraXMLRestorePFSFromChkPtResp> resp;
  bool sent = MakeMessages(req, resp, kTexts);
  if (sent) {
    req->m_sChkPtId = chkPtId;
    req->m_sChkPtName = chkPtName;
    req->m_sPFSId = pfsId;
    resp->m_sChkPtId = chkPtId;
    resp->m_sChkPtName = chkPtName;
    resp->m_sPFSId = pfsId;
    sent = RunExchange(*req, *resp, kTexts) == ExchangeStep::Done;
  }
  if (sent) m_LastError = resp->GetLastError();
  if (!sent || m_LastError.m_eStatus != STATUS_OK) {
    RecordFailure("RestorePFSFromChkPt");
    return false;
  }
  CEL_DEBUG(m_Event, 2, "%s: Successfully restored PFS [%s] from RW checkpoint[%s]:[%s]", kRestoreSig, pfsId.c_str(),
            chkPtName.c_str(), chkPtId.c_str());
  return true;
}
