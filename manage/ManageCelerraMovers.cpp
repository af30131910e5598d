// Mover, VDM and CIFS-server lookups.
#include <memory>

#include "manage/ManageCelerraPrivate.h"
#include "messages/catalogue/MoverMessages.h"
#include "transport/CelerraHTTPInterface.h"

using celerra_internal::Exchange;
using celerra_internal::ExchangeStep;
using celerra_internal::ExchangeTexts;
using celerra_internal::FacadeExchange;
using celerra_internal::OnFailure;

namespace {

const char* const kAllocFailed = "Unabled to allocate the XML request orresponse packet";
const char* const kInitFailed = "Unable to Initialize the HTTP client";
const char* const kLoginFailed = "Unable to login into the control host";
const char* const kSerializeFailed = "Unable to serialize the XML request";
// Texts of the two listings.
const ExchangeTexts kListTexts = {kAllocFailed, kInitFailed, kLoginFailed, kSerializeFailed,
                                  "Unable to send HHTP request"};

}  // namespace

bool ManageCelerra::GetMoverNames(std::map<std::string, std::string>& names) {
  celerra_internal::OperationLog log(*this, "GetMoverNames");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "Getting Movers info of all movers in [%s]", m_sControlHost.c_str());

  Exchange<ReqMoverQueryParams, RespMoverQueryParams> movers(*this, kListTexts);
  Exchange<ReqVdmQueryParams, RespVdmQueryParams> vdms(*this, kListTexts);
  bool askingVdms = false;
  OnFailure closing([&] {
    // The response whose record explains the failure: the mover reply until
    // the VDM exchange starts.
    if (askingVdms) {
      vdms.KeepResponseError();
    } else {
      movers.KeepResponseError();
    }
    RecordFailure("GetMoverNames");
    CEL_ERROR(m_Event, "Unable to get movers name of All movers");
  });
  if (!movers.Made() || !movers.Send()) return false;
  names = movers.response().m_mMoverNames;
  if (!movers.response().m_bSuccess) {
    CEL_ERROR(m_Event, "Failed to get movers list");
    return false;
  }
  if (!vdms.Made()) return false;
  askingVdms = true;
  // The session is set up and logged in by now, so this runs only the
  // serialisation and the POST.
  if (!vdms.Send()) return false;
  // A VDM whose id equals a mover id keeps the mover's name.
  names.insert(vdms.response().m_mVdmNames.begin(), vdms.response().m_mVdmNames.end());
  if (!vdms.response().m_bSuccess) {
    CEL_ERROR(m_Event, "Failed to get Vdm list");
    return false;
  }
  return closing.Succeeded();
}

bool ManageCelerra::GetCifsServers(std::vector<CelerraCifsServer_t>& servers, const std::string& mover) {
  celerra_internal::OperationLog log(*this, "GetCifsServers");
  ClearLastError();
  CEL_DEBUG(m_Event, 2, "Getting Cifs servers info of all cifs servers in [%s]", m_sControlHost.c_str());

  Exchange<ReqCifsServerQueryParams, RespCifsServerQueryParams> exchange(*this, kListTexts);
  OnFailure closing(
      exchange.ClosingWithReply("GetCifsServers", [&] { CEL_ERROR(m_Event, "Unable to get Cifs server list"); }));
  if (!exchange.Made()) return false;
  exchange.request().m_sMoverId = mover;
  if (!exchange.Send()) return false;
  if (!exchange.response().m_bSuccess) {
    CEL_ERROR(m_Event, "Failed to get cifs server list");
    return false;
  }
  servers = exchange.response().m_vCifsServers;
  return closing.Succeeded();
}

bool ManageCelerra::GetAliasList(const std::string& interfaceIp, std::set<std::string>& aliases) {
  celerra_internal::OperationLog log(*this, "GetAliasList");
  static const ExchangeTexts kTexts = {"Unable to allocate the XML request or response packet", kInitFailed,
                                       nullptr,  // logged below, after the login code is kept
                                       kSerializeFailed, nullptr};
  CEL_DEBUG(m_Event, 2, "Getting other interface alias for Ip [%s]", interfaceIp.c_str());
  if (!HasLoginParameters()) return RefuseInput("Control Host Login Parameters are not set,cannot proceed");
  if (interfaceIp.empty()) return RefuseInput("Empty interface input ip. Cannot proceed");
  ClearLastError();

  Exchange<ReqMoverQueryParams, RespMoverQueryParams> exchange(*this, kTexts);
  OnFailure closing(exchange.Closing(
      "GetAliasList", [&] { CEL_ERROR(m_Event, "Unable to get interface alias for ip [%s]", interfaceIp.c_str()); }));
  if (!exchange.Made()) return false;
  ExchangeStep step = exchange.Run();
  if (step == ExchangeStep::Login) {
    m_ErrorCode = m_pHTTPInterface ? m_pHTTPInterface->GetCelerraHttpErrorCode() : 0;
    CEL_ERROR(m_Event, "Unabled to login into the control host");
  }
  if (step != ExchangeStep::Done) return false;
  // The caller learns the server's reason, not just false.
  if (!exchange.response().m_bSuccess) {
    exchange.KeepResponseError();
    CEL_ERROR(m_Event, "Failed to get movers list");
    return false;
  }
  for (const RespMoverQueryParams::LogicalNetworkDevice& device : exchange.response().m_vLogicalNetworkDevices) {
    if (device.interfaces.count(interfaceIp)) {
      aliases = device.interfaces;
      return closing.Succeeded();
    }
  }
  m_ErrorCode = 3;
  CEL_ERROR(m_Event, "Interface ip [%s] not found in file server", interfaceIp.c_str());
  m_LastError = CelerraError::NotFound("Interface ip [" + interfaceIp + "] not found in file server");
  return false;
}

bool ManageCelerra::GetMoverForVdm(const std::string& vdm, std::string& mover) {
  celerra_internal::OperationLog log(*this, "GetMoverForVdm");
  static const ExchangeTexts kTexts = {nullptr, kInitFailed, kLoginFailed,
                                       "Unable to serialize the XML request to get the datamover for the VDM",
                                       "Unable to send HTTP request"};
  ClearLastError();
  ReqVdmQueryParams req(m_JobId);
  RespVdmQueryParams resp(m_JobId);
  req.m_sVdmId = vdm;
  if (FacadeExchange(*this, kTexts).Run(req, resp) != ExchangeStep::Done) throw 1;
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
    m_LastError = CelerraError::NotFound("VDM [" + vdm + "] not found in file server");
    CEL_ERROR(m_Event, "VDM [%s] not found in file server", vdm.c_str());
    throw 1;
  }
  mover = found->second;
  return true;
}
