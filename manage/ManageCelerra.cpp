#include "manage/ManageCelerraPrivate.h"

#include <errno.h>

#include <cstdio>
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
  // A session set up before this process was forked stays the parent's: a
  // child neither writes into the parent's connections nor takes its
  // session cookie.
  if (m_bHTTPClientInitialized && m_pHTTPInterface->BelongsToThisProcess()) return true;
  EvDebug(m_Event).DebugLvl("bool ManageCelerra::IsHTTPClientInitialized()", EvDebug::LVL_SETUP,
                            static_cast<long long>(m_JobId), "HTTP Client is not initialized, initializing it");
  m_pHTTPInterface.reset();
  m_pHTTPInterface.reset(new (std::nothrow) CelerraHTTPInterface(m_JobId));
  if (!m_pHTTPInterface) {
    CEL_ERROR(m_Event, "Unable to initialize the HTTP client interface");
    return false;
  }
  m_pHTTPInterface->SetTransportSettings(m_Settings);
  m_bHTTPClientInitialized = m_pHTTPInterface->InitializeCURL();
  return m_bHTTPClientInitialized;
}

void ManageCelerra::ClearLastError() {
  m_LastError.clear();
  m_ErrorCode = 0;
}

bool ManageCelerra::RefuseInput(const std::string& text) {
  CEL_ERROR(m_Event, "%s", text.c_str());
  m_LastError = CelerraError::Input(text);
  return false;
}

void ManageCelerra::RecordFailure(const char* operation) {
  if (m_LastError.m_eStatus != STATUS_OK) return;
  m_LastError = CelerraError::Reply(std::string(operation) + ": the reply from " + m_sControlHost +
                                    " did not hold what was asked for");
}

CelerraError ManageCelerra::SessionFailure() const {
  CelerraError failure = m_pHTTPInterface ? m_pHTTPInterface->GetLastFailure() : CelerraError();
  if (failure.m_eStatus == STATUS_OK) failure = CelerraError::Local("unable to set up the HTTPS session");
  return failure;
}

bool ManageCelerra::ProcessRequestAndResponse(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response,
                                              CelerraLogLevel level) {
  celerra_internal::OperationLog log(*this, "ProcessRequestAndResponse");
  static const celerra_internal::ExchangeTexts kTexts = {
      nullptr,
      "Unable to Initialize the HTTP client",
      "Unable to login into the control host",
      "Unable to serialize the XML request",
      "Unable to send HTTP request",
  };
  // A reply in which the server refused the request is a failure too: the
  // caller learns why from the last error instead of a bare true.
  if (celerra_internal::FacadeExchange(*this, kTexts).Run(request, response) == celerra_internal::ExchangeStep::Done) {
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
  if (copy.m_eStatus != STATUS_OK && copy.m_eKind == ERROR_KIND_NONE) copy.m_eKind = ERROR_KIND_SERVER;
  // libcurl's own words, once: only for a failure of the transfer itself,
  // and only when the message does not carry them already.
  const eCelerraErrorKind k = copy.m_eKind;
  bool transfer =
      k == ERROR_KIND_CONNECT || k == ERROR_KIND_TIMEOUT || k == ERROR_KIND_TLS || k == ERROR_KIND_TRANSPORT;
  std::string transport = transfer && m_pHTTPInterface ? m_pHTTPInterface->GetLastTransportError() : std::string();
  if (!transport.empty() && copy.m_sMessage.find(transport) == std::string::npos)
    copy.m_sMessage += (copy.m_sMessage.empty() ? "[" : ": [") + transport + "]";
  return copy;
}

void ManageCelerra::SetLogCallback(CelerraLogCallback callback, void* userData) {
  EvDebug::SetHostCallback(callback, userData);
}

void ManageCelerra::SetLogLevel(int level) { EvDebug::SetLevel(level); }

// ------------------------------------------------------------------ settings

void ManageCelerra::ApplySettings(bool newSession) {
  if (!m_pHTTPInterface) return;
  if (newSession) {
    // The TLS settings belong to the connection and its handshake: a new
    // session makes them hold from its first byte.
    m_pHTTPInterface.reset();
    m_bHTTPClientInitialized = false;
    return;
  }
  m_pHTTPInterface->SetTransportSettings(m_Settings);
}

namespace {

bool TimeoutSetting(double seconds, double* into) {
  long milliseconds = 0;
  if (!CelerraHTTPInterface::TimeoutMilliseconds(seconds, &milliseconds)) return false;
  *into = seconds;
  return true;
}

// A file that libcurl will read for a setting: readable now, or why not.
std::string UnreadableFile(const std::string& path) {
  FILE* f = std::fopen(path.c_str(), "re");
  if (!f) return std::strerror(errno);
  std::fclose(f);
  return std::string();
}

std::string SecondsText(double seconds) {
  char text[64];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

}  // namespace

bool ManageCelerra::SetConnectTimeout(double seconds) {
  if (!TimeoutSetting(seconds, &m_Settings.connectTimeoutSeconds))
    return RefuseInput("Connect time-out [" + SecondsText(seconds) + "] refused: give seconds from 0.001 to 86400");
  ApplySettings(false);
  return true;
}

bool ManageCelerra::SetTransferTimeout(double seconds) {
  if (!TimeoutSetting(seconds, &m_Settings.transferTimeoutSeconds))
    return RefuseInput("Transfer time-out [" + SecondsText(seconds) + "] refused: give seconds from 0.001 to 86400");
  ApplySettings(false);
  return true;
}

bool ManageCelerra::SetCABundle(const std::string& path) {
  std::string why = path.empty() ? std::string() : UnreadableFile(path);
  if (!why.empty()) return RefuseInput("CA bundle [" + path + "] refused: " + why);
  m_Settings.caBundle = path;
  ApplySettings(true);
  return true;
}

bool ManageCelerra::SetPinnedPublicKey(const std::string& key) {
  bool hash = key.compare(0, 8, "sha256//") == 0;
  std::string why = key.empty() || hash ? std::string() : UnreadableFile(key);
  if (hash && key.size() == 8) why = "no hash after sha256//";
  if (!why.empty()) return RefuseInput("Pinned public key [" + key + "] refused: " + why);
  m_Settings.pinnedPublicKey = key;
  ApplySettings(true);
  return true;
}

void ManageCelerra::SetSessionSharing(bool share) {
  m_Settings.shareSession = share;
  ApplySettings(true);
}

bool ManageCelerra::SetMaxReplySize(unsigned long long bytes) {
  if (bytes == 0) return RefuseInput("Reply size limit [0] refused: give at least 1 byte");
  m_Settings.maxReplyBytes = bytes;
  ApplySettings(false);
  return true;
}
