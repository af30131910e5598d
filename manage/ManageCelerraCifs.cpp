// CIFS shares: look up one or all, create (and verify), remove.
#include <memory>

#include "manage/ManageCelerraPrivate.h"
#include "messages/ServerCodes.h"
#include "messages/catalogue/CifsShareMessages.h"

using celerra_internal::Exchange;
using celerra_internal::ExchangeTexts;
using celerra_internal::OnFailure;

namespace {

const char kGetOneSignature[] =
    "bool ManageCelerra::GetCifsShareInfo(std::string, std::string&, bool&, std::string&, std::string&, "
    "std::vector<std::__cxx11::basic_string<char> >&)";
const char kGetAllSignature[] = "bool ManageCelerra::GetCifsInfo(std::vector<CelerraCIFSInfo_t>&)";
const char kCreateSignature[] =
    "bool ManageCelerra::NewCifsShare(std::string, std::string, std::string, bool, "
    "std::vector<std::__cxx11::basic_string<char> >)";
const char kDeleteSignature[] =
    "bool ManageCelerra::DeleteCifsShare(std::string, std::string, bool, std::vector<std::__cxx11::basic_string<char> "
    ">)";

const char* TrueFalseText(bool value) { return value ? "True" : "False"; }

// Texts of the changes.
const ExchangeTexts kChangeTexts = {"Unable to allocate the XML request or response packet",
                                    "Unable to Initialize the HTTP client", "Unabled to login into the control host",
                                    "Unable to serialize the XML request", nullptr};

}  // namespace

bool ManageCelerra::GetCifsShareInfo(std::string shareName, std::string& pfsId, bool& moverIdIsVdm,
                                     std::string& moverId, std::string& name, std::vector<std::string>& cifsServers) {
  celerra_internal::OperationLog log(*this, "GetCifsShareInfo");
  static const ExchangeTexts kTexts = {"Unable to allocate the XML request orresponse packet",
                                       "Unable to Initialize the HTTP client", "Unable to login into the control host",
                                       "Unable to serialize the XML request", "Unable to send HTTP request"};
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  if (shareName.empty()) return RefuseInput("Invalid input to api, ShareName is empty, cannot proceed");
  pfsId.clear();
  moverId.clear();
  moverIdIsVdm = true;
  cifsServers.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting CIFS info for CIFS share:[%s]", kGetOneSignature, shareName.c_str());

  Exchange<ReqCifsShareQueryParams, RespCifsShareQueryParams> exchange(*this, kTexts);
  OnFailure closing([&] {
    // The caller learns why from the last error, as with the NFS lookups.
    exchange.KeepResponseError();
    RecordFailure("GetCifsShareInfo");
    CEL_ERROR(m_Event, "Unable to get share info of :[%s]", shareName.c_str());
  });
  if (!exchange.Made()) return false;
  RespCifsShareQueryParams& response = exchange.response();
  exchange.request().m_sShareName = shareName;
  response.m_sShareName = shareName;
  // A reply the response refused (the server's problem, no such share, or
  // another share than the one asked for) leaves the outputs empty.
  if (!exchange.Send() || response.GetLastError().m_eStatus != STATUS_OK) return false;
  pfsId = response.GetPFSId();
  moverIdIsVdm = response.IsMoverVdm();
  moverId = response.GetMoverId();
  name = response.GetName();
  response.GetCifsServersForShare(cifsServers);
  if (pfsId.empty() || moverId.empty()) {
    CEL_ERROR(m_Event,
              "PFSId or MoverID is empty, we didn't get valid values back from the celerra control host even "
              "though the HTTP request succeeded");
    return false;
  }
  CEL_DEBUG(m_Event, 2, "%s: Got PFSId:[%s], MoverID :[%s], MoverISVdm:[%s]", kGetOneSignature, pfsId.c_str(),
            moverId.c_str(), TrueFalseText(moverIdIsVdm));
  return closing.Succeeded();
}

bool ManageCelerra::GetCifsInfo(std::vector<CelerraCIFSInfo_t>& shares) {
  celerra_internal::OperationLog log(*this, "GetCifsInfo");
  static const ExchangeTexts kTexts = {"Unabled to allocate the XML request orresponse packet",
                                       "Unable to Initialize the HTTP client", "Unable to login into the control host",
                                       "Unable to serialize the XML request", "Unable to send HHTP request"};
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting info of all cifs share in [%s]", kGetAllSignature, m_sControlHost.c_str());

  Exchange<CelerraXMLGetCifsInfoReq, CelerraXMLGetCifsInfoResp> exchange(*this, kTexts);
  OnFailure closing(
      exchange.ClosingWithReply("GetCifsInfo", [&] { CEL_ERROR(m_Event, "Unable to get info of all cifs share"); }));
  if (!exchange.Made() || !exchange.Send()) return false;
  // The response is discarded next: hand its list over, not a copy.
  shares = std::move(exchange.response().m_vCifsInfo);
  exchange.response().m_vCifsInfo.clear();
  if (!exchange.response().IsSuccess()) {
    CEL_ERROR(m_Event, "Failed to get cifs share list");
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::NewCifsShare(std::string shareName, std::string path, std::string moverId, bool moverIdIsVdm,
                                 std::vector<std::string> cifsServers) {
  celerra_internal::OperationLog log(*this, "NewCifsShare");
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  if (shareName.empty() || path.empty() || moverId.empty()) {
    return RefuseInput("Invalid input to api, ShareName or path or mover id is empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Creating CIFS share on path :[%s] on moverID [%s], MoverIsVdm:[%s]", kCreateSignature,
            path.c_str(), moverId.c_str(), TrueFalseText(moverIdIsVdm));

  Exchange<ReqCreateCifsShare, RespCreateCifsShare> exchange(*this, kChangeTexts);
  OnFailure closing(
      exchange.Closing("NewCifsShare", [&] { CEL_ERROR(m_Event, "Unable to create share :[%s]", shareName.c_str()); }));
  if (!exchange.Made()) return false;
  ReqCreateCifsShare& request = exchange.request();
  request.m_sShareName = shareName;
  request.m_sPath = path;
  request.m_sMoverId = moverId;
  request.m_bMoverIdIsVdm = moverIdIsVdm;
  request.m_vCifsServers = cifsServers;
  exchange.response().m_sShareName = shareName;
  if (!exchange.Send()) return false;
  // Whether the share exists is settled by the lookup below; a refusal is
  // kept so that a failed lookup reports the server's reason.
  CelerraError refusal = exchange.response().GetLastError();
  CEL_DEBUG(m_Event, 2, "The command to create share [%s] returned sucess, verifying that the share was indeed created",
            shareName.c_str());
  std::string pfsId, foundMover, foundName;
  bool foundIsVdm = false;
  std::vector<std::string> servers;
  if (!GetCifsShareInfo(shareName, pfsId, foundIsVdm, foundMover, foundName, servers)) {
    CEL_ERROR(m_Event, "Unable to get NFS info for newly created Cifs share:[%s]", shareName.c_str());
    if (refusal.m_eStatus != STATUS_OK) m_LastError = refusal;
    return false;
  }
  CEL_DEBUG(m_Event, 2, "%s: Successfully created Cifs share  :[%s]", kCreateSignature, shareName.c_str());
  return closing.Succeeded();
}

bool ManageCelerra::DeleteCifsShare(std::string moverId, std::string shareName, bool moverIdIsVdm,
                                    std::vector<std::string> cifsServers) {
  celerra_internal::OperationLog log(*this, "DeleteCifsShare");
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  if (shareName.empty() || moverId.empty()) {
    return RefuseInput("Invalid input to api, MoverId, is empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Deleting Cifsshare:[%s], on mover:[%s]", kDeleteSignature, shareName.c_str(),
            moverId.c_str());

  Exchange<ReqDeleteCifsShare, RespDeleteCifsShare> exchange(*this, kChangeTexts);
  OnFailure closing(exchange.Closing("DeleteCifsShare", [&] {
    CEL_ERROR(m_Event, "Unable to delete share:[%s] on mover:[%s]", shareName.c_str(), moverId.c_str());
  }));
  if (!exchange.Made()) return false;
  ReqDeleteCifsShare& request = exchange.request();
  request.m_sShareName = shareName;
  request.m_sMoverId = moverId;
  request.m_bMoverIdIsVdm = moverIdIsVdm;
  request.m_vCifsServers = cifsServers;
  exchange.response().m_sShareName = shareName;
  exchange.response().m_sMoverId = moverId;
  if (!exchange.Send()) return false;
  // A delete the server refused is a failure, with the server's reason; a
  // share that is not there is as good as removed, as with exports.
  CelerraError reply = exchange.response().GetLastError();
  if (reply.m_eStatus != STATUS_OK) {
    if (!celerra_codes::Is(reply, celerra_codes::kDoesNotExist)) {
      m_LastError = reply;
      return false;
    }
    CEL_DEBUG(m_Event, 2, "%s: Cifs share:[%s] does not exist. Treating this as a success.", kDeleteSignature,
              shareName.c_str());
  }
  CEL_DEBUG(m_Event, 2, "%s: Successfully deleted cifs share:[%s]", kDeleteSignature, shareName.c_str());
  return closing.Succeeded();
}
