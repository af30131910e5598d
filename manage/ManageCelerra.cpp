#include "manage/ManageCelerraPrivate.h"

#include <cstring>

#include "transport/CelerraHTTPInterface.h"

bool ManageCelerra::bDummyVar = false;
std::string ManageCelerra::sDummyVar;

ManageCelerra::ManageCelerra() : ManageCelerra(0) {}

ManageCelerra::ManageCelerra(unsigned long long jobId)
    : m_ErrorCode(0),
      m_JobId(jobId),
      m_bHTTPClientInitialized(false),
      m_pLogContext(new LogContext()),
      m_Event(*m_pLogContext) {
  m_Event.setJobId(static_cast<long long>(jobId));
}

ManageCelerra::~ManageCelerra() {
  m_JobId = 0;
  m_sControlHost.clear();
  m_sUserName.clear();
  m_sPassword.clear();
  m_pHTTPInterface.reset();
  m_bHTTPClientInitialized = false;
}

void ManageCelerra::SetControlHostInfo(std::string host, std::string user, std::string password) {
  m_sControlHost = std::move(host);
  m_sUserName = std::move(user);
  m_sPassword = std::move(password);
}

bool ManageCelerra::IsHTTPClientInitialized() {
  if (m_bHTTPClientInitialized) return true;
  EvDebug(m_Event).DebugLvl("bool ManageCelerra::IsHTTPClientInitialized()", EvDebug::LVL_SETUP,
                            static_cast<long long>(m_JobId), "HTTP Client is not initialized, initializing it");
  m_pHTTPInterface.reset();
  m_pHTTPInterface.reset(new (std::nothrow) CelerraHTTPInterface(m_JobId));
  if (!m_pHTTPInterface) {
    CEL_ERROR(m_Event, "Unable to initialize the HTTP client interface");
    return false;
  }
  m_bHTTPClientInitialized = m_pHTTPInterface->InitializeCURL();
  return m_bHTTPClientInitialized;
}

void ManageCelerra::ClearLastError() {
  m_LastError.m_eStatus = STATUS_OK;
  m_LastError.m_sComponent.clear();
  m_LastError.m_sFacility.clear();
  m_LastError.m_sMessage.clear();
  m_LastError.m_sMessageCode.clear();
  m_LastError.m_sSeverity.clear();
  m_ErrorCode = 0;
}

ManageCelerra::ExchangeStep ManageCelerra::RunExchange(CelerraXMLMessageReq& request,
                                                       CelerraXMLMessageResp& response,
                                                       const ExchangeTexts& texts) {
  auto fail = [&](ExchangeStep step, const char* text) {
    if (text) CEL_ERROR(m_Event, "%s", text);
    return step;
  };
  if (!IsHTTPClientInitialized()) return fail(ExchangeStep::Initialize, texts.initFailed);
  m_pHTTPInterface->SetControlHostInfo(m_sControlHost, m_sUserName, m_sPassword);
  if (!m_pHTTPInterface->Login()) return fail(ExchangeStep::Login, texts.loginFailed);
  CEL_DEBUG(m_Event, 5, "Calling celerraxmlmessagereq.SerializeXML");
  if (!request.SerializeXML()) return fail(ExchangeStep::Serialize, texts.serializeFailed);
  CEL_DEBUG(m_Event, 5, "Calling SendHTTPRequest");
  if (!m_pHTTPInterface->SendHTTPRequest(&request, &response)) return fail(ExchangeStep::Send, texts.sendFailed);
  CEL_DEBUG(m_Event, 5, "SendHTTPRequest success!!!");
  return ExchangeStep::Done;
}

bool ManageCelerra::ProcessRequestAndResponse(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response,
                                              CelerraLogLevel level) {
  static const ExchangeTexts kTexts = {
      nullptr,
      "Unable to Initialize the HTTP client",
      "Unable to login into the control host",
      "Unable to serialize the XML request",
      "Unable to send HTTP request",
  };
  // A reply in which the server refused the request is a failure too: the
  // caller learns why from the last error instead of a bare true.
  if (RunExchange(request, response, kTexts) == ExchangeStep::Done) {
    if (response.GetLastError().m_eStatus == STATUS_OK) return true;
    CEL_ERROR(m_Event, "The server refused the request [%s]", request.GetMessageName());
  }
  m_LastError = response.GetLastError();
  CEL_WARN(m_Event, level, "Status=%u;Msg=%s;MsgCode=%s", static_cast<unsigned>(m_LastError.m_eStatus),
           m_LastError.m_sMessage.c_str(), m_LastError.m_sMessageCode.c_str());
  return false;
}

CelerraError ManageCelerra::GetLastError1() {
  CelerraError copy = m_LastError;
  copy.m_sMessage += ": [" + CelerraLastTransportError() + "]";
  return copy;
}
