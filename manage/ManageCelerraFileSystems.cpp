// File-system lookups: one production file system in detail, the list of all
// file systems, and a file system's name from its id.
#include <memory>
#include <utility>

#include "manage/ManageCelerraPrivate.h"

namespace {

const char* const kGetPFSInfoSig =
    "bool ManageCelerra::GetPFSInfo(std::string&, eCelerraStgType&, std::string&, std::string&, std::string&, "
    "std::string&, bool&)";
const char* const kGetFSInfoSig = "bool ManageCelerra::GetFSInfo(std::vector<CelerraFileSystem_t>&)";
const char* const kGetFSNameSig = "bool ManageCelerra::GetFSNameByFSId(std::string, std::string&, std::string&, bool&)";

}  // namespace

bool ManageCelerra::GetPFSInfo(std::string& pfsId, eCelerraStgType& stgType, std::string& stgId,
                               std::string& savVolId, std::string& pfsName, std::string& moverId,
                               bool& moverIsVdm) {
  static const ExchangeTexts kTexts = {
      "Unabled to allocate the XML request or  response packet", "Unable to Initialize the HTTP client",
      "Unable to login into the control host", "Unable to serialize the XML request", "Unable to send HTTP request"};
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set,cannot proceed");
  }
  if (pfsId.empty() && pfsName.empty()) {
    return RefuseInput("Invalid input to api, both PFSId and PFSName is empty, cannot proceed");
  }
  stgType = STG_TYPE_NONE;
  stgId.clear();
  savVolId.clear();
  ClearLastError();
  if (!pfsId.empty())
    CEL_DEBUG(m_Event, 2, "%s: Getting PFS info for PFS ID :[%s]", kGetPFSInfoSig, pfsId.c_str());
  else
    CEL_DEBUG(m_Event, 2, "%s: Getting PFS info for PFS Name :[%s]", kGetPFSInfoSig, pfsName.c_str());

  std::unique_ptr<CelerraXMLGetPFSInfoReq> req;
  std::unique_ptr<CelerraXMLGetPFSInfoResp> resp;
  bool ok = false;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    // The response must know what was asked for: it keeps the caller's
    // value and fills only the other one from the reply.
    if (!pfsId.empty()) {
      req->m_sPFSId = pfsId;
      resp->m_sPFSId = pfsId;
    } else {
      req->m_sPFSName = pfsName;
      resp->m_sPFSName = pfsName;
    }
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    stgType = resp->GetStgType();
    stgId = resp->GetStgId();
    savVolId = resp->GetSavVolId();
    pfsName = resp->GetPFSName();
    pfsId = resp->GetPFSId();
    moverId = resp->GetMoverId();
    moverIsVdm = resp->IsMoverVdm();
    if (stgType == STG_TYPE_NONE || stgId.empty()) {
      CEL_ERROR(m_Event,
                "StgType or StgTypeId is empty, we didn't get valid values back from the celerra control host even "
                "though the HTTP request succeeded");
      break;
    }
    CEL_DEBUG(m_Event, 2, "%s: Got StgType:[%d], StgTypeId:[%s], SavVol:[%s] for PFSID:[%s]", kGetPFSInfoSig,
              static_cast<int>(stgType), stgId.c_str(), savVolId.empty() ? "Empty" : savVolId.c_str(),
              pfsId.c_str());
    ok = true;
  } while (false);
  if (!ok) {
    if (resp) m_LastError = resp->GetLastError();
    RecordFailure("GetPFSInfo");
    CEL_ERROR(m_Event, "Unable to get PFS info for PFS:[%s]", pfsId.c_str());
  }
  return ok;
}

bool ManageCelerra::GetFSInfo(std::vector<CelerraFileSystem_t>& fileSystems) {
  static const ExchangeTexts kTexts = {
      "Unabled to allocate the XML request or  response packet", "Unable to Initialize the HTTP client",
      "Unable to login into the control host", "Unable to serialize the XML request", "Unable to send HTTP request"};
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting info of all file systems", kGetFSInfoSig);

  std::unique_ptr<CelerraXMLGetFSInfoReq> req;
  std::unique_ptr<CelerraXMLGetFSInfoResp> resp;
  bool ok = false;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    // Handed over, not copied: the list may hold tens of thousands.
    fileSystems = std::move(resp->m_vFileSystems);
    resp->m_vFileSystems.clear();
    if (!resp->IsSuccess()) {
      CEL_ERROR(m_Event, "Failed to get File systems info");
      break;
    }
    ok = true;
  } while (false);
  if (!ok) {
    if (resp) m_LastError = resp->GetLastError();
    RecordFailure("GetFSInfo");
    CEL_ERROR(m_Event, "Unable to get info of all File Systems");
  }
  return ok;
}

bool ManageCelerra::GetFSNameByFSId(std::string fsId, std::string& fsName, std::string& moverId, bool& moverIsVdm) {
  static const ExchangeTexts kTexts = {
      "Unable to allocate the XML request or response packet", "Unable to Initialize the HTTP client",
      "Unabled to login into the control host", "Unable to serialize the XML request", nullptr};
  fsName.clear();
  moverId.clear();
  moverIsVdm = false;
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set,cannot proceed");
  }
  if (fsId.empty()) {
    return RefuseInput("Invalid input to api, a_sFSId is empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting FS Name by FS Id[%s]", kGetFSNameSig, fsId.c_str());

  std::unique_ptr<CelerraXMLCreateFSNameReq> req;
  std::unique_ptr<CelerraXMLCreateFSNameResp> resp;
  bool ok = false;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    req->m_sFSId = fsId;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    resp->GetFSName(fsName);
    resp->GetMoverId(moverId);
    resp->GetIfMoverVdm(moverIsVdm);
    m_LastError = resp->GetLastError();
    // A reply the server marked ok but whose body named no file system or no
    // mover carries the reason in the response's error; an empty name is
    // never an answer.
    if (m_LastError.m_eStatus != STATUS_OK || fsName.empty() || moverId.empty()) {
      CEL_ERROR(m_Event, "Unable to get the FS Name for FS ID[%s]", fsId.c_str());
      break;
    }
    ok = true;
  } while (false);
  if (!ok) {
    RecordFailure("GetFSNameByFSId");
    CEL_ERROR(m_Event, "Unable to get the FS Name for FS ID[%s]", fsId.c_str());
  }
  return ok;
}
