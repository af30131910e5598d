// File-system lookups: one production file system in detail, the list of all
// file systems, and a file system's name from its id.
#include <memory>
#include <utility>

#include "manage/ManageCelerraPrivate.h"

using celerra_internal::Exchange;
using celerra_internal::ExchangeTexts;
using celerra_internal::OnFailure;

namespace {

const char* const kGetPFSInfoSig =
    "bool ManageCelerra::GetPFSInfo(std::string&, eCelerraStgType&, std::string&, std::string&, std::string&, "
    "std::string&, bool&)";
const char* const kGetFSInfoSig = "bool ManageCelerra::GetFSInfo(std::vector<CelerraFileSystem_t>&)";
const char* const kGetFSNameSig = "bool ManageCelerra::GetFSNameByFSId(std::string, std::string&, std::string&, bool&)";

// Texts of the two lookups by id or name and the list.
const ExchangeTexts kLookupTexts = {"Unabled to allocate the XML request or  response packet",
                                    "Unable to Initialize the HTTP client", "Unable to login into the control host",
                                    "Unable to serialize the XML request", "Unable to send HTTP request"};

}  // namespace

bool ManageCelerra::GetPFSInfo(std::string& pfsId, eCelerraStgType& stgType, std::string& stgId, std::string& savVolId,
                               std::string& pfsName, std::string& moverId, bool& moverIsVdm) {
  celerra_internal::OperationLog log(*this, "GetPFSInfo");
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set,cannot proceed");
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

  Exchange<CelerraXMLGetPFSInfoReq, CelerraXMLGetPFSInfoResp> exchange(*this, kLookupTexts);
  OnFailure closing(exchange.ClosingWithReply(
      "GetPFSInfo", [&] { CEL_ERROR(m_Event, "Unable to get PFS info for PFS:[%s]", pfsId.c_str()); }));
  if (!exchange.Made()) return false;
  CelerraXMLGetPFSInfoResp& resp = exchange.response();
  // The response must know what was asked for: it keeps the caller's value
  // and fills only the other one from the reply.
  if (!pfsId.empty()) {
    exchange.request().m_sPFSId = pfsId;
    resp.m_sPFSId = pfsId;
  } else {
    exchange.request().m_sPFSName = pfsName;
    resp.m_sPFSName = pfsName;
  }
  if (!exchange.Send()) return false;
  stgType = resp.GetStgType();
  stgId = resp.GetStgId();
  savVolId = resp.GetSavVolId();
  pfsName = resp.GetPFSName();
  pfsId = resp.GetPFSId();
  moverId = resp.GetMoverId();
  moverIsVdm = resp.IsMoverVdm();
  if (stgType == STG_TYPE_NONE || stgId.empty()) {
    CEL_ERROR(m_Event,
              "StgType or StgTypeId is empty, we didn't get valid values back from the celerra control host even "
              "though the HTTP request succeeded");
    return false;
  }
  CEL_DEBUG(m_Event, 2, "%s: Got StgType:[%d], StgTypeId:[%s], SavVol:[%s] for PFSID:[%s]", kGetPFSInfoSig,
            static_cast<int>(stgType), stgId.c_str(), savVolId.empty() ? "Empty" : savVolId.c_str(), pfsId.c_str());
  return closing.Succeeded();
}

bool ManageCelerra::GetFSInfo(std::vector<CelerraFileSystem_t>& fileSystems) {
  celerra_internal::OperationLog log(*this, "GetFSInfo");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting info of all file systems", kGetFSInfoSig);

  Exchange<CelerraXMLGetFSInfoReq, CelerraXMLGetFSInfoResp> exchange(*this, kLookupTexts);
  OnFailure closing(
      exchange.ClosingWithReply("GetFSInfo", [&] { CEL_ERROR(m_Event, "Unable to get info of all File Systems"); }));
  if (!exchange.Made() || !exchange.Send()) return false;
  // Handed over, not copied: the list may hold tens of thousands.
  fileSystems = std::move(exchange.response().m_vFileSystems);
  exchange.response().m_vFileSystems.clear();
  if (!exchange.response().IsSuccess()) {
    CEL_ERROR(m_Event, "Failed to get File systems info");
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::GetFSNameByFSId(std::string fsId, std::string& fsName, std::string& moverId, bool& moverIsVdm) {
  celerra_internal::OperationLog log(*this, "GetFSNameByFSId");
  static const ExchangeTexts kTexts = {"Unable to allocate the XML request or response packet",
                                       "Unable to Initialize the HTTP client", "Unabled to login into the control host",
                                       "Unable to serialize the XML request", nullptr};
  fsName.clear();
  moverId.clear();
  moverIsVdm = false;
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set,cannot proceed");
  if (fsId.empty()) return RefuseInput("Invalid input to api, a_sFSId is empty, cannot proceed");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting FS Name by FS Id[%s]", kGetFSNameSig, fsId.c_str());

  Exchange<CelerraXMLCreateFSNameReq, CelerraXMLCreateFSNameResp> exchange(*this, kTexts);
  OnFailure closing(exchange.Closing(
      "GetFSNameByFSId", [&] { CEL_ERROR(m_Event, "Unable to get the FS Name for FS ID[%s]", fsId.c_str()); }));
  if (!exchange.Made()) return false;
  exchange.request().m_sFSId = fsId;
  if (!exchange.Send()) return false;
  exchange.response().GetFSName(fsName);
  exchange.response().GetMoverId(moverId);
  exchange.response().GetIfMoverVdm(moverIsVdm);
  // A reply the server marked ok but whose body named no file system or no
  // mover carries the reason in the response's error; an empty name is never
  // an answer.
  if (!exchange.Accepted() || fsName.empty() || moverId.empty()) {
    CEL_ERROR(m_Event, "Unable to get the FS Name for FS ID[%s]", fsId.c_str());
    return false;
  }
  return closing.Succeeded();
}
