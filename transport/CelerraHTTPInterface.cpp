#include "transport/CelerraHTTPInterface.h"

#include <curl/curl.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>

#include "platform/OXPI_Base.h"
#include "platform/OXPlatformInfo.h"

struct CelerraHTTPInterface_PIMPL {
  CURLSH* share = nullptr;
  // This session's own libcurl error buffer; copied to the process-wide text
  // after every transfer.
  char errorBuffer[CURL_ERROR_SIZE + 1] = {0};
  // Which lock-data kinds this session's lock callback holds the mutex for.
  bool lockTaken[CURL_LOCK_DATA_LAST] = {false};
  // What the debug trace must not see: the login body and password-bearing
  // request documents.
  bool inLogin = false;
  bool sensitiveBody = false;
};

namespace {

constexpr size_t kLastErrorSize = 513;
const char kManagementServlet[] = "servlets/CelerraManagementServices";

// Process-wide record of the last transfer: its error text and the response
// object it finished with. Guarded, since sessions run in several threads.
struct TransportGlobals {
  std::mutex lock;
  char lastError[kLastErrorSize] = {0};
  const CelerraXMLMessageResp* lastCompleted = nullptr;
  std::string lastCompletedName;
};

TransportGlobals& Globals() {
  static TransportGlobals* globals = new TransportGlobals();
  return *globals;
}

void GlobalInitOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

long ConfiguredSeconds(const char* key, long fallback) {
  std::string text;
  if (!OXPlatformInfo().getString("Vantrel", key, &text) || text.empty()) return fallback;
  char* end = nullptr;
  double seconds = std::strtod(text.c_str(), &end);
  if (end == text.c_str() || seconds <= 0) return fallback;
  return static_cast<long>(seconds * 1000.0);  // milliseconds
}

std::string Configured(const char* key) {
  std::string text;
  OXPlatformInfo().getString("Vantrel", key, &text);
  return text;
}

void RecordCompleted(const CelerraXMLMessageResp* response, const char* name) {
  TransportGlobals& g = Globals();
  std::lock_guard<std::mutex> guard(g.lock);
  g.lastCompleted = response;
  g.lastCompletedName = name ? name : "";
}

bool IsLastCompleted(const CelerraXMLMessageResp* response, std::string* name) {
  TransportGlobals& g = Globals();
  std::lock_guard<std::mutex> guard(g.lock);
  if (name) *name = g.lastCompletedName;
  return response && g.lastCompleted == response;
}

void ForgetCompleted(const CelerraXMLMessageResp* response) {
  TransportGlobals& g = Globals();
  std::lock_guard<std::mutex> guard(g.lock);
  if (g.lastCompleted == response) g.lastCompleted = nullptr;
}

// Drops the copy of the last body that the handle keeps.
void ClearPostFields(CURL* curl) {
  curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE, 0L);
  curl_easy_setopt(curl, CURLOPT_COPYPOSTFIELDS, "");
}

std::string Header(const char* name, const std::string& value) { return std::string(name) + ": " + value; }

// ------------------------------------------------------------ the callbacks

size_t CurlCallBackResponse(char* data, size_t size, size_t count, void* userData) {
  EvEvent event;
  CelerraXMLMessageResp* response = static_cast<CelerraXMLMessageResp*>(userData);
  size_t bytes = size * count;
  std::string lastName;
  if (!response) {
    CEL_ERROR(event, "Something wrong with the XML response got back for message");
    return 0;
  }
  event.setJobId(static_cast<long long>(response->GetJobId()));
  if (!data || bytes == 0) {
    CEL_ERROR(event, "[%llu] No data got back from the server for message [%s]", response->GetJobId(),
              response->GetMessageName());
  } else if (IsLastCompleted(response, &lastName)) {
    CEL_ERROR(event, "Attempt to use call back object which is out of scope.  Ojbect address 0x%p;Name = %s",
              static_cast<void*>(response), lastName.c_str());
  } else {
    response->AppendXml(data, static_cast<unsigned long>(bytes));
    return bytes;
  }
  CEL_ERROR(event, "[%llu] Error processing message[%s] ", response->GetJobId(), response->GetMessageName());
  return 0;
}

size_t CurlCallBackResponseLogin(char* data, size_t size, size_t count, void* userData) {
  (void)data;
  (void)userData;
  EvEvent event;
  CEL_ERROR(event, "Got response for login operation, got [%lu] bytes", static_cast<unsigned long>(size * count));
  return size * count;
}

void CurlLockFunction(CURL* handle, curl_lock_data data, curl_lock_access access, void* userData) {
  (void)handle;
  if (userData) static_cast<CelerraHTTPInterface*>(userData)->LockShared(data, access);
}

void CurlUnLockFunction(CURL* handle, curl_lock_data data, void* userData) {
  (void)handle;
  if (userData) static_cast<CelerraHTTPInterface*>(userData)->UnlockShared(data);
}

size_t CurlHeaderCallBack(char* data, size_t size, size_t count, void* userData) {
  if (!userData) return 0;
  return static_cast<CelerraHTTPInterface*>(userData)->TraceHeader(data, size * count);
}

int CurlDebugCallBack(CURL* handle, curl_infotype type, char* data, size_t size, void* userData) {
  (void)handle;
  if (!userData) return 0;
  return static_cast<CelerraHTTPInterface*>(userData)->TraceDebug(type, data, size);
}

}  // namespace

std::string CelerraLastTransportError() {
  TransportGlobals& g = Globals();
  std::lock_guard<std::mutex> guard(g.lock);
  return std::string(g.lastError, strnlen(g.lastError, kLastErrorSize - 1));
}

// ------------------------------------------------------------------ session

CelerraHTTPInterface::CelerraHTTPInterface() { init(0); }

CelerraHTTPInterface::CelerraHTTPInterface(unsigned long long jobId) { init(jobId); }

void CelerraHTTPInterface::init(unsigned long long jobId) {
  m_pPIMPL.reset(new CelerraHTTPInterface_PIMPL());
  m_JobId = jobId;
  m_Event.setJobId(static_cast<long long>(jobId));
  m_sControlHost.clear();
  m_sUserName.clear();
  m_sPassword.clear();
  m_sDebugFile.clear();
  m_sHeaderFile.clear();
  m_sCookieFile.clear();
  m_pCurl = nullptr;
  m_bCurlInitialized = false;
  m_bTraceXMLMessages = false;
  m_bLoggedIn = false;
  m_CelerraHttpErrorCode = 0;
}

CelerraHTTPInterface::~CelerraHTTPInterface() {
  if (m_pCurl) curl_easy_cleanup(static_cast<CURL*>(m_pCurl));
  if (m_pPIMPL && m_pPIMPL->share) curl_share_cleanup(m_pPIMPL->share);
  if (!m_sCookieFile.empty()) {
    CEL_DEBUG(m_Event, 5, "Removing the cookie file [%s]", m_sCookieFile.c_str());
    if (::unlink(m_sCookieFile.c_str()) != 0 && errno != ENOENT)
      CEL_DEBUG(m_Event, -1, "Unable to delete the cookie file...");
  }
  m_pCurl = nullptr;
  if (m_pPIMPL) m_pPIMPL->share = nullptr;
  m_pPIMPL.reset();
  m_pNamedMutex.reset();
}

void CelerraHTTPInterface::SetControlHostInfo(std::string host, std::string user, std::string password) {
  m_sControlHost = std::move(host);
  m_sUserName = std::move(user);
  m_sPassword = std::move(password);
}

int CelerraHTTPInterface::GetLastError() { return errno; }

bool CelerraHTTPInterface::InitializeCURL() {
  if (m_bCurlInitialized) return true;
  GlobalInitOnce();
  bool ok = false;
  do {
    const char* dir = OXPI_Base().getOrvaneTempDirectory();
    m_sTempDir = dir ? dir : "/tmp/";
    m_sDebugFile = m_sTempDir + "/" + "CelerraXMLDebugFile";
    m_sHeaderFile = m_sTempDir + "/" + "CelerraXMLHeaderFile";
    // The cookie file is this session's alone: a fresh name, mode 0600,
    // created exclusively so that no planted file or link is used.
    std::string pattern = m_sTempDir + "/" + "CelerraCookie_XXXXXX";
    int fd = mkstemp(&pattern[0]);
    if (fd < 0) {
      CEL_ERROR(m_Event, "Unable to create the cookie file in [%s], errno [%d]", m_sTempDir.c_str(), errno);
      break;
    }
    ::close(fd);
    m_sCookieFile = pattern;

    CURL* curl = curl_easy_init();
    if (!curl) {
      CEL_ERROR(m_Event, "Failed to initialize cURL, curl_easy_init() failed");
      break;
    }
    m_pCurl = curl;
    CEL_DEBUG(m_Event, 2, "curl_easy_init() successful");
    m_pPIMPL->share = curl_share_init();
    if (!m_pPIMPL->share) {
      CEL_ERROR(m_Event, "Unable to initialize cURL shared handle");
      break;
    }
    if (!CurlSetCommonOptions()) {
      CEL_ERROR(m_Event, "Unable to set cURL common options");
      break;
    }
    m_bCurlInitialized = true;
    ok = true;
  } while (false);
  if (!ok) CEL_ERROR(m_Event, "Unable to initialize cURL");
  return ok;
}

#define CEL_SETOPT(option, value, text)                                       \
  if ((rc = curl_easy_setopt(curl, option, value)) != CURLE_OK) {           \
    CEL_ERROR(m_Event, text, curl_easy_strerror(rc));                       \
    break;                                                                   \
  }
#define CEL_SHOPT(option, value, text)                                            \
  if ((src = curl_share_setopt(m_pPIMPL->share, option, value)) != CURLSHE_OK) { \
    CEL_ERROR(m_Event, text, curl_share_strerror(src));                         \
    break;                                                                       \
  }

bool CelerraHTTPInterface::CurlSetCommonOptions() {
  CURL* curl = static_cast<CURL*>(m_pCurl);
  CURLcode rc = CURLE_OK;
  CURLSHcode src = CURLSHE_OK;
  bool ok = false;
  do {
    std::string trace = "N";
    if (OXPlatformInfo().getString("Vantrel", "sCELERRALOGXMLMSG", &trace) &&
        (trace == "Y" || trace == "y" || trace == "Yes" || trace == "yes")) {
      m_bTraceXMLMessages = true;
      CEL_DEBUG(m_Event, 2,
                "Registry key to log XML messages [%s\\%s]is set will log Debug messages to file [%s] and HTTP "
                "header messages to [%s]",
                "EventManager", "CELERRALOGXMLMSG", m_sDebugFile.c_str(), m_sHeaderFile.c_str());
    }
    CEL_SETOPT(CURLOPT_NOSIGNAL, 1L, "Failed to set CURLOPT_NOSIGNAL option Error [%s]");
    CEL_SETOPT(CURLOPT_PROTOCOLS_STR, "https", "Failed to restrict the protocols to HTTPS Error [%s]");
    CEL_SETOPT(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL),
               "Failed to set use CURLOPT_USE_SSL option while sending message. Error [%s]");
    // Control stations usually carry self-signed certificates: verification
    // is off unless a CA bundle is configured; a pinned key works either way.
    std::string caBundle = Configured("sCELERRACABUNDLE");
    std::string pinnedKey = Configured("sCELERRAPINNEDPUBKEY");
    long verify = caBundle.empty() ? 0L : 1L;
    CEL_SETOPT(CURLOPT_SSL_VERIFYPEER, verify,
               "Failed to set don't CURLOPT_SSL_VERIFYPEER option while sending message. Error [%s]");
    CEL_SETOPT(CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L,
               "Failed to set don't CURLOPT_SSL_VERIFYHOST option while sending message. Error [%s]");
    if (!caBundle.empty()) CEL_SETOPT(CURLOPT_CAINFO, caBundle.c_str(), "Failed to set the CA bundle Error [%s]");
    if (!pinnedKey.empty())
      CEL_SETOPT(CURLOPT_PINNEDPUBLICKEY, pinnedKey.c_str(), "Failed to set the pinned public key Error [%s]");
    // A silent control station must not hang the caller's job: connect
    // within 30 s, and finish within 900 s, above the server's 600 s task
    // time-out.
    CEL_SETOPT(CURLOPT_CONNECTTIMEOUT_MS, ConfiguredSeconds("sCELERRACONNECTTIMEOUT", 30000),
               "Failed to set the connect time-out Error [%s]");
    CEL_SETOPT(CURLOPT_TIMEOUT_MS, ConfiguredSeconds("sCELERRATIMEOUT", 900000),
               "Failed to set the transfer time-out Error [%s]");
    CEL_SETOPT(CURLOPT_POST, 1L, "Failed to set CURLOPT_POST flag while sending message Error [%s]");
    // Replies are XML, which shrinks to a fraction when compressed: offer
    // every encoding libcurl can decode (it decodes before the write
    // callback). Not while tracing, so that the trace file holds the reply as
    // text, nor when sCELERRACOMPRESSION says no.
    std::string compression = Configured("sCELERRACOMPRESSION");
    bool compress = !(compression == "N" || compression == "n" || compression == "No" || compression == "no");
    if (compress && !m_bTraceXMLMessages)
      CEL_SETOPT(CURLOPT_ACCEPT_ENCODING, "", "Failed to ask for compressed replies Error [%s]");
    if (!m_pPIMPL->share) {
      CEL_ERROR(m_Event, "Curl Shared opt handle is NULL cannot go ahead");
      break;
    }
    CEL_SHOPT(CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE, "Failed to set CURL_LOCK_DATA_COOKIE option Error [%s]");
    std::string mutexName = "CelerraNamedMutex_" + m_sControlHost;
    m_pNamedMutex.reset(new OxNamedMutex(mutexName.c_str()));
    if (!m_pNamedMutex->isValid()) {
      CEL_ERROR(m_Event, "CreateMutex error: %d", m_pNamedMutex->error());
      m_pNamedMutex.reset();
      break;
    }
    CEL_SHOPT(CURLSHOPT_LOCKFUNC, CurlLockFunction, "Failed to set CURLSHOPT_LOCKFUNC option Error [%s]");
    CEL_SHOPT(CURLSHOPT_UNLOCKFUNC, CurlUnLockFunction, "Failed to set CURLSHOPT_UNLOCKFUNC option Error [%s]");
    CEL_SHOPT(CURLSHOPT_USERDATA, this, "Failed to set CURLSHOPT_USERDATA option Error [%s]");
    CEL_SETOPT(CURLOPT_SHARE, m_pPIMPL->share, "Failed to set CURLOPT_SHARE flag while sending message Error [%s]");
    // libcurl keeps every cookie file it is given in a list and reads each one
    // again before every transfer: named once per handle, or a long-lived
    // session would open the file once more for each request it has sent.
    CEL_SETOPT(CURLOPT_COOKIEFILE, m_sCookieFile.c_str(),
               "Failed to set don't CURLOPT_COOKIEFILE option while sending message. Error [%s]");
    if (m_bTraceXMLMessages) {
      CEL_SETOPT(CURLOPT_VERBOSE, 1L, "Failed to increase CURL verbosity level%s");
      CEL_SETOPT(CURLOPT_DEBUGFUNCTION, CurlDebugCallBack,
                 "Failed to set Data reader callback while sending message Error [%s]");
      CEL_SETOPT(CURLOPT_DEBUGDATA, this, "Failed to set Data reader callback while sending message Error [%s]");
      CEL_SETOPT(CURLOPT_HEADERFUNCTION, CurlHeaderCallBack,
                 "Failed to set Data reader callback while sending message Error [%s]");
      CEL_SETOPT(CURLOPT_HEADERDATA, this, "Failed to set Data reader callback while sending message Error [%s]");
    }
    CEL_SETOPT(CURLOPT_FAILONERROR, 1L, "Failed to set option CURLOPT_FAILONERROR [%s]");
    CEL_SETOPT(CURLOPT_ERRORBUFFER, m_pPIMPL->errorBuffer, "Failed to register the error buffer Error [%s]");
    CEL_DEBUG(m_Event, 2, "Set cURL common options successfully");
    ok = true;
  } while (false);
  if (!ok) CEL_ERROR(m_Event, "Unable to set cURL common options");
  return ok;
}

// One transfer on the easy handle; the session's error text then becomes the
// process-wide last transport error.
bool CelerraHTTPInterface::Perform(const char* what) {
  (void)what;
  m_LastCode = CURLE_OK;
  std::memset(m_pPIMPL->errorBuffer, 0, sizeof m_pPIMPL->errorBuffer);
  CURLcode rc = curl_easy_perform(static_cast<CURL*>(m_pCurl));
  if (rc != CURLE_OK && !m_pPIMPL->errorBuffer[0])
    std::snprintf(m_pPIMPL->errorBuffer, sizeof m_pPIMPL->errorBuffer, "%s", curl_easy_strerror(rc));
  TransportGlobals& g = Globals();
  {
    std::lock_guard<std::mutex> guard(g.lock);
    std::memset(g.lastError, 0, sizeof g.lastError);
    std::snprintf(g.lastError, sizeof g.lastError, "%s", m_pPIMPL->errorBuffer);
  }
  m_LastCode = rc;
  return rc == CURLE_OK;
}

bool CelerraHTTPInterface::Login() {
  if (m_bLoggedIn) return true;
  if (m_sUserName.empty() || m_sControlHost.empty() || m_sPassword.empty()) {
    CEL_ERROR(m_Event,
              "Unable to login into Celerra host empty Host Name, Login or password, set these 3 parameters before "
              "logging in.");
    return false;
  }
  if (!m_bCurlInitialized) {
    CEL_ERROR(m_Event, "cURL is not initialized unable to go ahead with the login");
    return false;
  }
  m_CelerraHttpErrorCode = 1;
  CURL* curl = static_cast<CURL*>(m_pCurl);
  CURLcode rc = CURLE_OK;
  struct curl_slist* headers = nullptr;
  bool ok = false;
  do {
    char* user = curl_easy_escape(curl, m_sUserName.c_str(), static_cast<int>(m_sUserName.size()));
    char* password = curl_easy_escape(curl, m_sPassword.c_str(), static_cast<int>(m_sPassword.size()));
    if (!user || !password) {
      curl_free(user);
      curl_free(password);
      CEL_ERROR(m_Event, "failed to call curl_easy_escape()");
      break;
    }
    std::string body = std::string("user=") + user + "&password=" + password + "&Login=login";
    curl_free(user);
    curl_free(password);
    headers = curl_slist_append(headers, Header("Content-Type", "application/x-www-form-urlencoded").c_str());
    headers = curl_slist_append(headers, Header("Host", m_sControlHost).c_str());
    headers = curl_slist_append(headers, Header("Content-Length", std::to_string(body.size())).c_str());
    if (curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, nullptr) != CURLE_OK)
      CEL_ERROR(m_Event, "Failed reset callback while trying to log on");
    std::string url = "https://" + m_sControlHost + "/Login";
    CEL_SETOPT(CURLOPT_URL, url.c_str(), "Failed to set URL while sending message. Error [%s]");
    CEL_SETOPT(CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()),
               "Failed to set HTTP request data while sending message Error [%s]");
    CEL_SETOPT(CURLOPT_COPYPOSTFIELDS, body.c_str(), "Failed to set HTTP request data while sending message Error [%s]");
    std::fill(body.begin(), body.end(), '\0');
    CEL_SETOPT(CURLOPT_HTTPHEADER, headers, "Failed to set HTTP headers while sending message Error [%s]");
    CEL_SETOPT(CURLOPT_COOKIEJAR, m_sCookieFile.c_str(),
               "Failed to set don't CURLOPT_COOKIEJAR option while sending message. Error [%s]");
    CEL_SETOPT(CURLOPT_WRITEDATA, nullptr, "Failed to set Data reader while sending message Error [%s]");
    CEL_SETOPT(CURLOPT_WRITEFUNCTION, CurlCallBackResponseLogin,
               "Failed to set Data reader callback while sending message Error [%s]");
    m_pPIMPL->inLogin = true;
    bool performed = Perform("login");
    m_pPIMPL->inLogin = false;
    // The form, password and all, is gone from the handle once sent.
    ClearPostFields(curl);
    if (performed) {
      CEL_DEBUG(m_Event, 2, "Successfully logged into server [%s]", m_sControlHost.c_str());
      m_bLoggedIn = true;
      ok = true;
      break;
    }
    long code = 0;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &code);
    if (code == 403) m_CelerraHttpErrorCode = 2;
    std::string lastError = CelerraLastTransportError();
    CEL_ERROR(m_Event, "Failed to login.Error [%s][%.512s]", curl_easy_strerror(static_cast<CURLcode>(m_LastCode)),
              lastError.c_str());
  } while (false);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_slist_free_all(headers);
  if (!ok) CEL_ERROR(m_Event, "Unable to login into server [%s]", m_sControlHost.c_str());
  return ok;
}

bool CelerraHTTPInterface::PostRequest(CelerraXMLMessageReq* request, CelerraXMLMessageResp* response,
                                       long* httpCode) {
  CURL* curl = static_cast<CURL*>(m_pCurl);
  CURLcode rc = CURLE_OK;
  struct curl_slist* headers = nullptr;
  bool ok = false;
  *httpCode = 0;
  do {
    // Taken once, so the length header and the body are the same text.
    const std::string document = request->GetSerializedXML();
    headers = curl_slist_append(headers, Header("Content-Type", "text/xml charset \"UTF-8\"").c_str());
    headers = curl_slist_append(headers, Header("Content-Length", std::to_string(document.size())).c_str());
    headers = curl_slist_append(headers, "Expect:");
    std::string url = "https://" + m_sControlHost + "/" + kManagementServlet;
    CEL_SETOPT(CURLOPT_URL, url.c_str(), "Failed to set URL while sending message. Error [%s]");
    CEL_SETOPT(CURLOPT_HTTPHEADER, headers, "Failed to set HTTP headers while sending message Error [%s]");
    CEL_SETOPT(CURLOPT_POSTFIELDSIZE, static_cast<long>(document.size()),
               "Failed to set HTTP request data while sending message Error [%s]");
    CEL_SETOPT(CURLOPT_COPYPOSTFIELDS, document.c_str(),
               "Failed to set HTTP request data while sending message Error [%s]");
    CEL_SETOPT(CURLOPT_WRITEDATA, response, "Failed to set Data reader while sending message Error [%s]");
    CEL_SETOPT(CURLOPT_WRITEFUNCTION, CurlCallBackResponse,
               "Failed to set Data reader callback while sending message Error [%s]");
    m_pPIMPL->sensitiveBody = request->IsSensitive();
    ok = Perform(request->GetMessageName());
    m_pPIMPL->sensitiveBody = false;
    ClearPostFields(curl);
    if (!ok) curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, httpCode);
  } while (false);
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  curl_slist_free_all(headers);
  return ok;
}

bool CelerraHTTPInterface::SendHTTPRequest(CelerraXMLMessageReq* request, CelerraXMLMessageResp* response) {
  if (!request || !response) {
    CEL_ERROR(m_Event, "Unable to send a request without its request and response objects");
    return false;
  }
  if (!m_bCurlInitialized) {
    CEL_ERROR(m_Event, "cURL is not initialized unable to go ahead with the request");
    return false;
  }
  // A new exchange may reuse the address of a finished response object.
  ForgetCompleted(response);
  long httpCode = 0;
  bool ok = PostRequest(request, response, &httpCode);
  if (!ok && m_bLoggedIn && (httpCode == 401 || httpCode == 403)) {
    // The control station dropped the session: log in again once and resend.
    CEL_DEBUG(m_Event, 0, "Server answered [%ld] to message [%s]; logging in again", httpCode,
              request->GetMessageName());
    m_bLoggedIn = false;
    if (Login()) {
      response->init();
      ok = PostRequest(request, response, &httpCode);
    }
  }
  if (ok) {
    response->UnSerializeXML();
    CEL_DEBUG(m_Event, 2, "Successfully sent message [%s] to server [%s]", request->GetMessageName(),
              m_sControlHost.c_str());
  } else {
    std::string lastError = CelerraLastTransportError();
    CEL_ERROR(m_Event, "Failed to send message Server. Error [%s]:[%.512s]",
              curl_easy_strerror(static_cast<CURLcode>(m_LastCode)), lastError.c_str());
    CEL_ERROR(m_Event, "Unable to send request [%s] to server [%s]", request->GetMessageName(),
              m_sControlHost.c_str());
  }
  RecordCompleted(response, response->GetMessageName());
  return ok;
}

#undef CEL_SETOPT
#undef CEL_SHOPT

// ------------------------------------------------------- lock and trace hooks

void CelerraHTTPInterface::LockShared(int data, int access) {
  if (access == CURL_LOCK_ACCESS_SINGLE) {
    CEL_DEBUG(m_Event, 2, "Exclusive access was called for, locking mutex for pid[%d]", static_cast<int>(getpid()));
    if (m_pNamedMutex) m_pNamedMutex->lock();
    if (data >= 0 && data < CURL_LOCK_DATA_LAST) m_pPIMPL->lockTaken[data] = true;
  } else if (access == CURL_LOCK_ACCESS_SHARED) {
    CEL_DEBUG(m_Event, 2, "Shared access was called for, not locking pid [%d]", static_cast<int>(getpid()));
  }
}

void CelerraHTTPInterface::UnlockShared(int data) {
  CEL_DEBUG(m_Event, 2, "Unlock_function was called, pid[%d]", static_cast<int>(getpid()));
  if (data >= 0 && data < CURL_LOCK_DATA_LAST && m_pPIMPL->lockTaken[data]) {
    m_pPIMPL->lockTaken[data] = false;
    if (m_pNamedMutex) m_pNamedMutex->unlock();
  }
}

// Appends one traced chunk under the named mutex. Trace files are created
// mode 0600 and never through a symlink.
bool CelerraHTTPInterface::AppendTrace(const std::string& path, const char* failureText, const char* typeLine,
                                       const char* data, size_t bytes) {
  if (m_pNamedMutex) m_pNamedMutex->lock();
  int fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  bool first = fd >= 0;
  if (fd < 0) fd = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  if (fd < 0) {
    EvDebug(m_Event).Debug("CelerraHTTPInterface::AppendTrace", failureText, path.c_str());
    if (m_pNamedMutex) m_pNamedMutex->unlock();
    return false;
  }
  std::string out;
  std::string job = std::to_string(m_JobId);
  if (first) out += job + " ***" + "***" + "Got [" + std::to_string(bytes) + "] bytes of header data from the server\n";
  if (typeLine) out += std::string(typeLine) + "\n";
  out += job + "\t";
  out.append(data, bytes);
  if (out.back() != '\n') out += '\n';
  size_t done = 0;
  while (done < out.size()) {
    ssize_t n = ::write(fd, out.data() + done, out.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  if (m_pNamedMutex) m_pNamedMutex->unlock();
  return true;
}

size_t CelerraHTTPInterface::TraceHeader(const char* data, size_t bytes) {
  if (!AppendTrace(m_sHeaderFile, "Unable to write data to the Header file [%s]", nullptr, data, bytes)) return 0;
  static const char kCookie[] = "Set-Cookie:";
  if (bytes >= sizeof kCookie - 1 && std::strncmp(data, kCookie, sizeof kCookie - 1) == 0) {
    std::string header(data, bytes);
    size_t colon = header.find(':');
    size_t semicolon = header.rfind(';');
    std::string cookie = header.substr(colon + 1, semicolon == std::string::npos || semicolon < colon
                                                      ? std::string::npos
                                                      : semicolon - colon - 1);
    CEL_DEBUG(m_Event, 2, "Got cookie:[%s]", cookie.c_str());
  }
  return bytes;
}

int CelerraHTTPInterface::TraceDebug(int type, const char* data, size_t bytes) {
  const char* typeLine = nullptr;
  switch (type) {
    case CURLINFO_TEXT: typeLine = "Debug info: text type"; break;
    case CURLINFO_HEADER_IN: typeLine = "Debug info: header in type"; break;
    case CURLINFO_HEADER_OUT: typeLine = "Debug info: header out type"; break;
    case CURLINFO_SSL_DATA_IN:
    case CURLINFO_SSL_DATA_OUT: return 0;  // encrypted bytes: nothing a reader can use
    default: break;
  }
  std::string masked;
  if (type == CURLINFO_DATA_OUT && m_pPIMPL->inLogin) {
    char* user = curl_easy_escape(static_cast<CURL*>(m_pCurl), m_sUserName.c_str(), static_cast<int>(m_sUserName.size()));
    masked = std::string("user=") + (user ? user : "") + "&password=********&Login=login";
    curl_free(user);
  } else if (type == CURLINFO_DATA_OUT && m_pPIMPL->sensitiveBody) {
    masked = "[request document withheld: it carries a password]";
  }
  if (!masked.empty()) {
    data = masked.data();
    bytes = masked.size();
  }
  AppendTrace(m_sDebugFile, "Unable to write data to the debug file [%s]", typeLine, data, bytes);
  return 0;
}
