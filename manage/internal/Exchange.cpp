#include "manage/internal/Exchange.h"

#include <string>

#include "manage/ManageCelerraPrivate.h"
#include "messages/internal/ValueCheck.h"
#include "transport/CelerraHTTPInterface.h"

namespace celerra_internal {

OperationLog::OperationLog(ManageCelerra& facade, const char* operation) : m_Facade(facade), m_Operation(operation) {
  EvDebug::EnterOperation(static_cast<long long>(facade.m_JobId));
}

OperationLog::~OperationLog() {
  if (!EvDebug::LeaveOperation()) return;
  const CelerraError& e = m_Facade.m_LastError;
  if (e.m_eStatus == STATUS_OK) return;
  const eCelerraErrorKind kind = e.m_eKind == ERROR_KIND_NONE ? ERROR_KIND_SERVER : e.m_eKind;
  std::string code = e.m_sMessageCode.empty() ? std::string() : " (code " + e.m_sMessageCode + ")";
  CEL_ERROR(m_Facade.m_Event, "%s failed [%s]: %s%s", m_Operation, CelerraErrorKindName(kind),
            e.m_sMessage.empty() ? "no reason given" : e.m_sMessage.c_str(), code.c_str());
}

unsigned long long OperationLog::JobId() const { return m_Facade.m_JobId; }

bool OperationLog::Fail(const CelerraError& why) {
  m_Facade.m_LastError = why;
  return false;
}

unsigned long long FacadeExchange::JobId() const { return m_Facade.m_JobId; }

void FacadeExchange::LogAllocationFailure() const {
  if (m_Texts.allocFailed) CEL_ERROR(m_Facade.m_Event, "%s", m_Texts.allocFailed);
}

void FacadeExchange::RecordFailure(const char* operation) { m_Facade.RecordFailure(operation); }

void FacadeExchange::Keep(CelerraXMLMessageResp& response) { m_Facade.m_LastError = response.GetLastError(); }

bool FacadeExchange::Judge(CelerraXMLMessageResp& response) {
  Keep(response);
  return m_Facade.m_LastError.m_eStatus == STATUS_OK;
}

ExchangeStep FacadeExchange::Fail(ExchangeStep step, const char* text, const CelerraError& why,
                                  CelerraXMLMessageResp& response) {
  if (text) CEL_ERROR(m_Facade.m_Event, "%s", text);
  m_Facade.m_LastError = why;
  response.SetLastError(why);
  return step;
}

bool FacadeExchange::Serialize(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response) {
  // Every value of the document passes the escaping helper, which notes here
  // the first one that may not be sent.
  ValueCheck check;
  bool built = request.SerializeXML();
  if (!check.refused().empty()) {
    std::string why = std::string("request [") + request.GetMessageName() + "] not sent: " + check.refused() +
                      "; control characters and invalid UTF-8 are refused";
    CEL_ERROR(m_Facade.m_Event, "%s", why.c_str());
    Fail(ExchangeStep::Serialize, m_Texts.serializeFailed, CelerraError::Input(why), response);
    return false;
  }
  if (built) return true;
  Fail(ExchangeStep::Serialize, m_Texts.serializeFailed,
       CelerraError::Input(std::string("request [") + request.GetMessageName() +
                           "] not sent: it could not be built from the values given"),
       response);
  return false;
}

ExchangeStep FacadeExchange::Run(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response) {
  ManageCelerra& f = m_Facade;
  // The document is built first: a value that may not be sent is refused
  // before any traffic, the login included.
  CEL_DEBUG(f.m_Event, 5, "Calling celerraxmlmessagereq.SerializeXML");
  if (!Serialize(request, response)) return ExchangeStep::Serialize;
  if (!f.IsHTTPClientInitialized())
    return Fail(ExchangeStep::Initialize, m_Texts.initFailed, f.SessionFailure(), response);
  f.m_pHTTPInterface->SetControlHostInfo(f.m_sControlHost, f.m_sUserName, f.m_sPassword);
  if (!f.m_pHTTPInterface->Login()) return Fail(ExchangeStep::Login, m_Texts.loginFailed, f.SessionFailure(), response);
  CEL_DEBUG(f.m_Event, 5, "Calling SendHTTPRequest");
  if (!f.m_pHTTPInterface->SendHTTPRequest(&request, &response))
    return Fail(ExchangeStep::Send, m_Texts.sendFailed, f.SessionFailure(), response);
  CEL_DEBUG(f.m_Event, 5, "SendHTTPRequest success!!!");
  return ExchangeStep::Done;
}

}  // namespace celerra_internal
