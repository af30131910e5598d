// NFS exports: look up one or all, create (and verify), remove.
#include <memory>

#include "manage/ManageCelerraPrivate.h"
#include "messages/ServerCodes.h"
#include "messages/catalogue/NfsExportMessages.h"

using celerra_internal::Exchange;
using celerra_internal::ExchangeTexts;
using celerra_internal::OnFailure;

namespace {

const char kGetOneSignature[] =
    "bool ManageCelerra::GetNFSInfo(std::string, std::string&, bool&, std::string&, "
    "std::vector<std::__cxx11::basic_string<char> >&, std::vector<std::__cxx11::basic_string<char> >&, "
    "std::vector<std::__cxx11::basic_string<char> >&)";
const char kGetAllSignature[] = "bool ManageCelerra::GetNFSInfo(std::vector<CelerraNFSInfo_t>&)";
const char kCreateSignature[] =
    "bool ManageCelerra::CreateNFSShare(std::string, std::string, bool, "
    "std::vector<std::__cxx11::basic_string<char> >&, std::vector<std::__cxx11::basic_string<char> >&, "
    "std::vector<std::__cxx11::basic_string<char> >&)";
const char kDeleteSignature[] = "bool ManageCelerra::DeleteNFSShare(std::string, std::string)";

const char* TrueFalseText(bool value) { return value ? "True" : "False"; }

// Texts of the lookups, and of the changes.
const ExchangeTexts kLookupTexts = {"Unabled to allocate the XML request orresponse packet",
                                    "Unable to Initialize the HTTP client", "Unable to login into the control host",
                                    "Unable to serialize the XML request", "Unable to send HHTP request"};
const ExchangeTexts kChangeTexts = {"Unable to allocate the XML request or response packet",
                                    "Unable to Initialize the HTTP client", "Unabled to login into the control host",
                                    "Unable to serialize the XML request", nullptr};

}  // namespace

bool ManageCelerra::GetNFSInfo(std::string shareName, std::string& pfsId, bool& readOnly, std::string& moverId,
                               std::vector<std::string>& accessHosts, std::vector<std::string>& rwHosts,
                               std::vector<std::string>& rootHosts) {
  celerra_internal::OperationLog log(*this, "GetNFSInfo");
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  if (shareName.empty()) return RefuseInput("Invalid input to api, ShareName is empty, cannot proceed");
  std::string exportPath = shareName;
  if (exportPath[0] != '/') exportPath.insert(0, 1, '/');
  pfsId.clear();
  moverId.clear();
  readOnly = true;
  accessHosts.clear();
  rwHosts.clear();
  rootHosts.clear();
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting NFS info for NFS share:[%s]", kGetOneSignature, shareName.c_str());

  Exchange<CelerraXMLGetNFSInfoReq, CelerraXMLGetNFSInfoResp> exchange(*this, kLookupTexts);
  OnFailure closing(exchange.ClosingWithReply(
      "GetNFSInfo", [&] { CEL_ERROR(m_Event, "Unable to get NFS info for NFS share:[%s]", shareName.c_str()); }));
  if (!exchange.Made()) return false;
  CelerraXMLGetNFSInfoResp& response = exchange.response();
  exchange.request().m_sShareName = exportPath;
  response.m_sShareName = exportPath;
  // A reply the response refused (the server's problem, no such export, or
  // another export than the one asked for) leaves the outputs empty.
  if (!exchange.Send() || response.GetLastError().m_eStatus != STATUS_OK) return false;
  pfsId = response.GetPFSId();
  readOnly = response.IsShareReadOnly();
  moverId = response.GetMoverId();
  response.GetAccessHostsForShare(accessHosts);
  response.GetRWHostsForShare(rwHosts);
  response.GetRootHostsForShare(rootHosts);
  if (pfsId.empty() || moverId.empty()) {
    CEL_ERROR(m_Event,
              "PFSId or MoverID is empty, we didn't get valid values back from the celerra control host even "
              "though the HTTP request succeeded");
    return false;
  }
  CEL_DEBUG(m_Event, 2, "%s: Got PFSId:[%s], MoverID :[%s], ReadOnly:[%s]", kGetOneSignature, pfsId.c_str(),
            moverId.c_str(), TrueFalseText(readOnly));
  return closing.Succeeded();
}

bool ManageCelerra::GetNFSInfo(std::vector<CelerraNFSInfo_t>& exports) {
  celerra_internal::OperationLog log(*this, "GetNFSInfo");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Getting NFS info of all NFS export in [%s]", kGetAllSignature, m_sControlHost.c_str());

  Exchange<CelerraXMLGetNFSInfoReq, CelerraXMLGetAllNFSInfoResp> exchange(*this, kLookupTexts);
  OnFailure closing(
      exchange.ClosingWithReply("GetNFSInfo", [&] { CEL_ERROR(m_Event, "Unable to get NFS info of All exports"); }));
  if (!exchange.Made()) return false;
  exchange.request().bAllShares = true;
  if (!exchange.Send()) return false;
  // The response is discarded next: hand its list over instead of copying
  // what may be tens of thousands of records.
  exports = std::move(exchange.response().m_vNfsInfo);
  exchange.response().m_vNfsInfo.clear();
  if (!exchange.response().IsSuccess()) {
    CEL_ERROR(m_Event, "Failed to get nfs exports list");
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::CreateNFSShare(std::string pfsOrChkPtName, std::string moverId, bool readOnly,
                                   std::vector<std::string>& accessHosts, std::vector<std::string>& rwHosts,
                                   std::vector<std::string>& rootHosts) {
  celerra_internal::OperationLog log(*this, "CreateNFSShare");
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set,cannot proceed");
  if (pfsOrChkPtName.empty() || moverId.empty()) {
    return RefuseInput("Invalid input to api, ChkPtname or MoverId, is empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Creating NFS share for PFS/ChkPt:[%s] on moverID [%s], IsReadOnly:[%s]", kCreateSignature,
            pfsOrChkPtName.c_str(), moverId.c_str(), TrueFalseText(readOnly));

  Exchange<CelerraXMLCreateNFSShareReq, CelerraXMLCreateNFSShareResp> exchange(*this, kChangeTexts);
  OnFailure closing(exchange.Closing("CreateNFSShare", [&] {
    CEL_ERROR(m_Event, "Unable to create share on PFS/Chkpt:[%s]", pfsOrChkPtName.c_str());
  }));
  if (!exchange.Made()) return false;
  CelerraXMLCreateNFSShareReq& request = exchange.request();
  request.m_sPFSOrChkPtName = pfsOrChkPtName;
  request.m_sMoverId = moverId;
  request.m_bReadOnly = readOnly;
  request.m_vAccessHosts = accessHosts;
  request.m_vRwHosts = rwHosts;
  request.m_vRootHosts = rootHosts;
  exchange.response().m_sPFSOrChkPtName = pfsOrChkPtName;
  if (!exchange.Send()) return false;
  if (!exchange.Accepted()) {
    if (!celerra_codes::Is(m_LastError, celerra_codes::kAlreadyExists)) return false;
    CEL_DEBUG(m_Event, 2, "%s: Share [%s] already exists treating this as a success.", kCreateSignature,
              pfsOrChkPtName.c_str());
  }
  CEL_DEBUG(m_Event, 2, "The command to create share [%s] returned sucess, verifying that the share was indeed created",
            pfsOrChkPtName.c_str());
  // Look up the path the server was asked to export: the request has folded
  // a doubled leading slash, which the lookup alone would not.
  std::string exportPath = request.m_sPFSOrChkPtName;
  std::string pfsId, verifiedMover;
  bool verifiedReadOnly = false;
  std::vector<std::string> hosts1, hosts2, hosts3;
  if (!GetNFSInfo(exportPath, pfsId, verifiedReadOnly, verifiedMover, hosts1, hosts2, hosts3)) {
    CEL_ERROR(m_Event, "Unable to get NFS info for newly created NFS share:[%s]", pfsOrChkPtName.c_str());
    return false;
  }
  CEL_DEBUG(m_Event, 2, "%s: Successfully created NFS share on PFS/Chkpt:[%s]", kCreateSignature,
            pfsOrChkPtName.c_str());
  return closing.Succeeded();
}

bool ManageCelerra::DeleteNFSShare(std::string shareName, std::string moverId) {
  celerra_internal::OperationLog log(*this, "DeleteNFSShare");
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set, cannot proceed");
  if (shareName.empty() || moverId.empty()) {
    return RefuseInput("Invalid input to api, ShareName or MoverId, is empty, cannot proceed");
  }
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "%s: Deleting NFS share:[%s], on mover:[%s]", kDeleteSignature, shareName.c_str(),
            moverId.c_str());

  Exchange<CelerraXMLDeleteNFSShareReq, CelerraXMLDeleteNFSShareResp> exchange(*this, kChangeTexts);
  OnFailure closing(exchange.Closing("DeleteNFSShare", [&] {
    CEL_ERROR(m_Event, "Unable to delete share:[%s] on mover:[%s]", shareName.c_str(), moverId.c_str());
  }));
  if (!exchange.Made()) return false;
  exchange.request().m_sShareName = shareName;
  exchange.request().m_sMoverId = moverId;
  exchange.response().m_sShareName = shareName;
  exchange.response().m_sMoverId = moverId;
  if (!exchange.Send()) return false;
  if (!exchange.Accepted()) {
    if (!celerra_codes::Is(m_LastError, celerra_codes::kDoesNotExist)) return false;
    CEL_DEBUG(m_Event, 2, "%s: NFS share:[%s] does not exist. TReating this as a success.", kDeleteSignature,
              shareName.c_str());
    // Nothing of the accepted problem stays behind: the call succeeded.
    ClearLastError();
  }
  CEL_DEBUG(m_Event, 2, "%s: Successfully deleted NFS share:[%s]", kDeleteSignature, shareName.c_str());
  return closing.Succeeded();
}
