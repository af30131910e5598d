// CIFS shares: look up one or all, create (and verify), remove.
#include <memory>

#include "manage/ManageCelerraPrivate.h"
#include "messages/catalogue/CifsShareMessages.h"
#include "messages/catalogue/NfsExportMessages.h"

namespace {

const char kGetOneSignature[] =
    "bool ManageCelerra::GetCifsShareInfo(std::string, std::string&, bool&, std::string&, std::string&, "
    "std::vector<std::__cxx11::basic_string<char> >&)";
const char kGetAllSignature[] = "bool ManageCelerra::GetCifsInfo(std::vector<CelerraCIFSInfo_t>&)";
const char kCreateSignature[] =
    "bool ManageCelerra::NewCifsShare(std::string, std::string, std::string, bool, "
    "std::vector<std::__cxx11::basic_string<char> >)";
const char kDeleteSignature[] =
    "bool ManageCelerra::DeleteCifsShare(std::string, std::string, bool, std::vector<std::__cxx11::basic_string<char> >)";

const char* TrueFalseText(bool value) { return value ? "True" : "False"; }

}  // namespace

bool ManageCelerra::GetCifsShareInfo(std::string shareName, std::string& pfsId, bool& moverIdIsVdm,
                                     std::string& moverId, std::string& name, std::vector<std::string>& cifsServers) {
  static const ExchangeTexts kTexts = {
      "Unable to allocate the XML request orresponse packet", "Unable to Initialize the HTTP client",
      "Unable to login into the control host", "Unable to serialize the XML request", "Unable to send HTTP request"};
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  }
  if (shareName.empty()) {
    return RefuseInput("Invalid input to api, ShareName is empty, cannot proceed");
  }
  pfsId.clear();
  moverId.clear();
  moverIdIsVdm = true;
  cifsServers.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting CIFS info for CIFS share:[%s]", kGetOneSignature, shareName.c_str());

  std::unique_ptr<ReqCifsShareQueryParams> request;
  std::unique_ptr<RespCifsShareQueryParams> response;
  bool replied = false;
  bool ok = false;
  if (MakeMessages(request, response, kTexts)) {
    request->m_sShareName = shareName;
    response->m_sShareName = shareName;
    replied = RunExchange(*request, *response, kTexts) == ExchangeStep::Done;
    // A reply the response refused (the server's problem, no such share, or
    // another share than the one asked for) leaves the outputs empty.
    if (replied && response->GetLastError().m_eStatus == STATUS_OK) {
      pfsId = response->GetPFSId();
      moverIdIsVdm = response->IsMoverVdm();
      moverId = response->GetMoverId();
      name = response->GetName();
      response->GetCifsServersForShare(cifsServers);
      if (pfsId.empty() || moverId.empty()) {
        CEL_ERROR(m_Event,
                  "PFSId or MoverID is empty, we didn't get valid values back from the celerra control host even "
                  "though the HTTP request succeeded");
      } else {
        CEL_DEBUG(m_Event, 2, "%s: Got PFSId:[%s], MoverID :[%s], MoverISVdm:[%s]", kGetOneSignature, pfsId.c_str(),
                  moverId.c_str(), TrueFalseText(moverIdIsVdm));
        ok = true;
      }
    }
  }
  if (!ok) {
    // The caller learns why from the last error, as with the NFS lookups.
    if (replied) m_LastError = response->GetLastError();
    RecordFailure("GetCifsShareInfo");
    CEL_ERROR(m_Event, "Unable to get share info of :[%s]", shareName.c_str());
  }
  return ok;
}

bool ManageCelerra::GetCifsInfo(std::vector<CelerraCIFSInfo_t>& shares) {
  static const ExchangeTexts kTexts = {
      "Unabled to allocate the XML request orresponse packet", "Unable to Initialize the HTTP client",
      "Unable to login into the control host", "Unable to serialize the XML request", "Unable to send HHTP request"};
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting info of all cifs share in [%s]", kGetAllSignature, m_sControlHost.c_str());

  std::unique_ptr<CelerraXMLGetCifsInfoReq> request;
  std::unique_ptr<CelerraXMLGetCifsInfoResp> response;
  bool ok = false;
  if (MakeMessages(request, response, kTexts)) {
    if (RunExchange(*request, *response, kTexts) == ExchangeStep::Done) {
      // The response is discarded next: hand its list over, not a copy.
      shares = std::move(response->m_vCifsInfo);
      response->m_vCifsInfo.clear();
      if (response->IsSuccess())
        ok = true;
      else
        CEL_ERROR(m_Event, "Failed to get cifs share list");
    }
  }
  if (!ok) {
    if (response) m_LastError = response->GetLastError();
    RecordFailure("GetCifsInfo");
    CEL_ERROR(m_Event, "Unable to get info of all cifs share");
  }
  return ok;
}

bool ManageCelerra::NewCifsShare(std::string shareName, std::string path, std::string moverId, bool moverIdIsVdm,
                                 std::vector<std::string> cifsServers) {
  static const ExchangeTexts kTexts = {"Unable to allocate the XML request or response packet",
                                       "Unable to Initialize the HTTP client", "Unabled to login into the control host",
                                       "Unable to serialize the XML request", nullptr};
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  }
  if (shareName.empty() || path.empty() || moverId.empty()) {
    return RefuseInput("Invalid input to api, ShareName or path or mover id is empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Creating CIFS share on path :[%s] on moverID [%s], MoverIsVdm:[%s]", kCreateSignature,
            path.c_str(), moverId.c_str(), TrueFalseText(moverIdIsVdm));

  bool ok = false;
  CelerraError refusal;  // the server's problem with the new share, if any
  do {
    std::unique_ptr<ReqCreateCifsShare> request;
    std::unique_ptr<RespCreateCifsShare> response;
    if (!MakeMessages(request, response, kTexts)) break;
    request->m_sShareName = shareName;
    request->m_sPath = path;
    request->m_sMoverId = moverId;
    request->m_bMoverIdIsVdm = moverIdIsVdm;
    request->m_vCifsServers = cifsServers;
    response->m_sShareName = shareName;
    if (RunExchange(*request, *response, kTexts) != ExchangeStep::Done) break;
    // Whether the share exists is settled by the lookup below; a refusal is
    // kept so that a failed lookup reports the server's reason.
    refusal = response->GetLastError();
    CEL_DEBUG(m_Event, 2, "The command to create share [%s] returned sucess, verifying that the share was indeed created",
              shareName.c_str());
    std::string pfsId, foundMover, foundName;
    bool foundIsVdm = false;
    std::vector<std::string> servers;
    if (!GetCifsShareInfo(shareName, pfsId, foundIsVdm, foundMover, foundName, servers)) {
      CEL_ERROR(m_Event, "Unable to get NFS info for newly created Cifs share:[%s]", shareName.c_str());
      if (refusal.m_eStatus != STATUS_OK) m_LastError = refusal;
      break;
    }
    CEL_DEBUG(m_Event, 2, "%s: Successfully created Cifs share  :[%s]", kCreateSignature, shareName.c_str());
    ok = true;
  } while (false);
  if (!ok) {
    RecordFailure("NewCifsShare");
    CEL_ERROR(m_Event, "Unable to create share :[%s]", shareName.c_str());
  }
  return ok;
}

bool ManageCelerra::DeleteCifsShare(std::string moverId, std::string shareName, bool moverIdIsVdm,
                                    std::vector<std::string> cifsServers) {
  static const ExchangeTexts kTexts = {"Unable to allocate the XML request or response packet",
                                       "Unable to Initialize the HTTP client", "Unabled to login into the control host",
                                       "Unable to serialize the XML request", nullptr};
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  }
  if (shareName.empty() || moverId.empty()) {
    return RefuseInput("Invalid input to api, MoverId, is empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Deleting Cifsshare:[%s], on mover:[%s]", kDeleteSignature, shareName.c_str(),
            moverId.c_str());

  bool ok = false;
  do {
    std::unique_ptr<ReqDeleteCifsShare> request;
    std::unique_ptr<RespDeleteCifsShare> response;
    if (!MakeMessages(request, response, kTexts)) break;
    request->m_sShareName = shareName;
    request->m_sMoverId = moverId;
    request->m_bMoverIdIsVdm = moverIdIsVdm;
    request->m_vCifsServers = cifsServers;
    response->m_sShareName = shareName;
    response->m_sMoverId = moverId;
    if (RunExchange(*request, *response, kTexts) != ExchangeStep::Done) break;
    // A delete the server refused is a failure, with the server's reason.
    CelerraError reply = response->GetLastError();
    if (reply.m_eStatus != STATUS_OK) {
      if (reply.m_sMessageCode != kCelerraCodeDoesNotExist) {
        m_LastError = reply;
        break;
      }
      // A share that is not there is as good as removed, as with exports.
      CEL_DEBUG(m_Event, 2, "%s: Cifs share:[%s] does not exist. Treating this as a success.", kDeleteSignature,
                shareName.c_str());
    }
    CEL_DEBUG(m_Event, 2, "%s: Successfully deleted cifs share:[%s]", kDeleteSignature, shareName.c_str());
    ok = true;
  } while (false);
  if (!ok) {
    RecordFailure("DeleteCifsShare");
    CEL_ERROR(m_Event, "Unable to delete share:[%s] on mover:[%s]", shareName.c_str(), moverId.c_str());
  }
  return ok;
}
