// Mover, VDM and CIFS-server lookups.
#include <memory>

#include "manage/ManageCelerraPrivate.h"
#include "messages/catalogue/MoverMessages.h"
#include "transport/CelerraHTTPInterface.h"

namespace {

const char* const kAllocFailed = "Unabled to allocate the XML request orresponse packet";
const char* const kInitFailed = "Unable to Initialize the HTTP client";
const char* const kLoginFailed = "Unable to login into the control host";
const char* const kSerializeFailed = "Unable to serialize the XML request";

}  // namespace

bool ManageCelerra::GetMoverNames(std::map<std::string, std::string>& names) {
  static const ExchangeTexts kTexts = {kAllocFailed, kInitFailed, kLoginFailed, kSerializeFailed,
                                       "Unable to send HHTP request"};
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "Getting Movers info of all movers in [%s]", m_sControlHost.c_str());

  std::unique_ptr<ReqMoverQueryParams> moverReq;
  std::unique_ptr<RespMoverQueryParams> moverResp;
  std::unique_ptr<ReqVdmQueryParams> vdmReq;
  std::unique_ptr<RespVdmQueryParams> vdmResp;
  // The response whose last error explains a failure: the mover reply until
  // the VDM exchange starts.
  CelerraXMLMessageResp* current = nullptr;
  do {
    if (!MakeMessages(moverReq, moverResp, kTexts)) break;
    current = moverResp.get();
    if (RunExchange(*moverReq, *moverResp, kTexts) != ExchangeStep::Done) break;
    names = moverResp->m_mMoverNames;
    if (!moverResp->m_bSuccess) {
      CEL_ERROR(m_Event, "Failed to get movers list");
      break;
    }
    if (!MakeMessages(vdmReq, vdmResp, kTexts)) break;
    current = vdmResp.get();
    // The session is set up and logged in by now, so this runs only the
    // serialisation and the POST.
    if (RunExchange(*vdmReq, *vdmResp, kTexts) != ExchangeStep::Done) break;
    // A VDM whose id equals a mover id keeps the mover's name.
    names.insert(vdmResp->m_mVdmNames.begin(), vdmResp->m_mVdmNames.end());
    if (!vdmResp->m_bSuccess) {
      CEL_ERROR(m_Event, "Failed to get Vdm list");
      break;
    }
    return true;
  } while (false);

  if (current) m_LastError = current->GetLastError();
  RecordFailure("GetMoverNames");
  CEL_ERROR(m_Event, "Unable to get movers name of All movers");
  return false;
}

bool ManageCelerra::GetCifsServers(std::vector<CelerraCifsServer_t>& servers, const std::string& mover) {
  static const ExchangeTexts kTexts = {kAllocFailed, kInitFailed, kLoginFailed, kSerializeFailed,
                                       "Unable to send HHTP request"};
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "Getting Cifs servers info of all cifs servers in [%s]", m_sControlHost.c_str());

  std::unique_ptr<ReqCifsServerQueryParams> req;
  std::unique_ptr<RespCifsServerQueryParams> resp;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    req->m_sMoverId = mover;
    if (RunExchange(*req, *resp, kTexts) != ExchangeStep::Done) break;
    if (!resp->m_bSuccess) {
      CEL_ERROR(m_Event, "Failed to get cifs server list");
      break;
    }
    servers = resp->m_vCifsServers;
    return true;
  } while (false);

  if (resp) m_LastError = resp->GetLastError();
  RecordFailure("GetCifsServers");
  CEL_ERROR(m_Event, "Unable to get Cifs server list");
  return false;
}

bool ManageCelerra::GetAliasList(const std::string& interfaceIp, std::set<std::string>& aliases) {
  static const ExchangeTexts kTexts = {"Unable to allocate the XML request or response packet", kInitFailed,
                                       nullptr,  // logged below, after the login code is kept
                                       kSerializeFailed, nullptr};
  CEL_DEBUG(m_Event, 2, "Getting other interface alias for Ip [%s]", interfaceIp.c_str());
  if (!HasLoginParameters()) {
    return RefuseInput("Control Host Login Parameters are not set,cannot proceed");
  }
  if (interfaceIp.empty()) {
    return RefuseInput("Empty interface input ip. Cannot proceed");
  }
  ClearLastError();

  std::unique_ptr<ReqMoverQueryParams> req;
  std::unique_ptr<RespMoverQueryParams> resp;
  do {
    if (!MakeMessages(req, resp, kTexts)) break;
    ExchangeStep step = RunExchange(*req, *resp, kTexts);
    if (step == ExchangeStep::Login) {
      m_ErrorCode = m_pHTTPInterface ? m_pHTTPInterface->GetCelerraHttpErrorCode() : 0;
      CEL_ERROR(m_Event, "Unabled to login into the control host");
    }
    if (step != ExchangeStep::Done) break;
    if (!resp->m_bSuccess) {
      // The caller learns the server's reason, not just false.
      m_LastError = resp->GetLastError();
      CEL_ERROR(m_Event, "Failed to get movers list");
      break;
    }
    for (const RespMoverQueryParams::LogicalNetworkDevice& device : resp->m_vLogicalNetworkDevices) {
      if (device.interfaces.count(interfaceIp)) {
        aliases = device.interfaces;
        return true;
      }
    }
    m_ErrorCode = 3;
    CEL_ERROR(m_Event, "Interface ip [%s] not found in file server", interfaceIp.c_str());
    m_LastError = CelerraError::Failure(ERROR_KIND_NOT_FOUND, "Interface ip [" + interfaceIp + "] not found in file server");
  } while (false);

  RecordFailure("GetAliasList");
  CEL_ERROR(m_Event, "Unable to get interface alias for ip [%s]", interfaceIp.c_str());
  return false;
}

bool ManageCelerra::GetMoverForVdm(const std::string& vdm, std::string& mover) {
  static const ExchangeTexts kTexts = {nullptr, kInitFailed, kLoginFailed,
                                       "Unable to serialize the XML request to get the datamover for the VDM",
                                       "Unable to send HTTP request"};
  ReqVdmQueryParams req(m_JobId);
  RespVdmQueryParams resp(0);
  req.m_sVdmId = vdm;
  if (RunExchange(req, resp, kTexts) != ExchangeStep::Done) throw 1;
  // An unreadable reply, or one that does not list the VDM, says nothing
  // about its mover: that is a failure, not an empty answer.
  if (!resp.m_bSuccess) {
    m_LastError = resp.GetLastError();
    RecordFailure("GetMoverForVdm");
    CEL_ERROR(m_Event, "Unable to read the VDM list to get the datamover for the VDM [%s]", vdm.c_str());
    throw 1;
  }
  auto found = resp.m_mVdmMovers.find(vdm);
  if (found == resp.m_mVdmMovers.end()) {
    m_LastError = CelerraError::Failure(ERROR_KIND_NOT_FOUND, "VDM [" + vdm + "] not found in file server");
    CEL_ERROR(m_Event, "VDM [%s] not found in file server", vdm.c_str());
    throw 1;
  }
  mover = found->second;
  return true;
}
