#include "transport/CelerraHTTPInterface.h"

#include <curl/curl.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <vector>

#include "messages/internal/ValueCheck.h"
#include "platform/OXPI_Base.h"
#include "platform/OXPlatformInfo.h"
#include "platform/internal/PrivateFiles.h"
#include "transport/SharedSession.h"

namespace {

// Where the bytes of one transfer go, and how many may come: a hostile or
// broken server must not grow the host process without end.
struct ReplySink {
  CelerraXMLMessageResp* response = nullptr;  // null for the login, whose reply is discarded
  unsigned long long limit = 0;
  unsigned long long received = 0;
  bool tooLarge = false;
  long long jobId = 0;  // the session's, for the login's lines
};

// What the header callback keeps of one transfer's answer: enough to refuse
// a redirect and a header without end before any of the body is taken, and
// to tell a login that set the session cookie.
struct AnswerHead {
  unsigned long long bytes = 0;  // all header lines so far
  bool complete = false;         // the last header block has ended
  bool cookie = false;           // the last block sets a cookie
  bool redirected = false;       // the last block is a 3xx answer
  long status = 0;               // of the last block, once complete
  std::string location;          // the last block's Location, shortened for messages
  std::string tooLarge;          // why the header was refused; empty while it is not
};

}  // namespace

struct CelerraHTTPInterface_PIMPL {
  // The cookie, TLS sessions, connections and names this session shares
  // (with others of the same key, or with nobody), and the login of it that
  // this session holds.
  std::shared_ptr<celerra_internal::SharedSession> shared;
  unsigned long long loginGeneration = 0;
  bool shareWanted = true;  // the facade's setting and sCELERRASHARESESSION
  // This session's own libcurl error buffer; copied to the process-wide text
  // after every transfer.
  char errorBuffer[CURL_ERROR_SIZE + 1] = {0};
  // What the debug trace must not see: the login body and password-bearing
  // request documents.
  bool inLogin = false;
  bool sensitiveBody = false;

  CelerraTransportSettings settings;  // as the facade gave them
  // In effect since InitializeCURL.
  long connectMs = 30000;
  long transferMs = 900000;
  std::string caBundle;
  std::string pinnedKey;
  unsigned long long maxReplyBytes = 256ULL << 20;

  ReplySink sink;
  AnswerHead head;
  CelerraError failure;
  long httpCode = 0;
  // Set when a trace file or the trace lock failed during a transfer: the
  // transfer then fails with this reason.
  std::string traceFailure;
  // Session cookie values seen in the traced headers, masked wherever they
  // would appear in a trace or a log line.
  std::vector<std::string> cookieValues;
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

constexpr long kDefaultConnectMs = 30000;
// Above the server's 600 s task time-out.
constexpr long kDefaultTransferMs = 900000;
// Far above the largest real list (50,000 file systems are some 60 MiB).
constexpr unsigned long long kDefaultMaxReplyBytes = 256ULL << 20;

std::string Seconds(long milliseconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%.3f", milliseconds / 1000.0);
  std::string out = text;
  while (out.back() == '0') out.pop_back();
  if (out.back() == '.') out.pop_back();
  return out;
}

// A time-out from the configuration, in milliseconds. A value that is not a
// number of seconds from 0.001 to 86400 is refused with a log line: libcurl
// reads 0 as "no time-out", so 0.0001, inf or nan would mean waiting for ever.
long ConfiguredMilliseconds(EvEvent& event, const char* key, long fallback) {
  std::string text;
  if (!OXPlatformInfo().getString("Vantrel", key, &text) || text.empty()) return fallback;
  char* end = nullptr;
  double seconds = std::strtod(text.c_str(), &end);
  while (end && std::isspace(static_cast<unsigned char>(*end))) ++end;
  long milliseconds = 0;
  if (end == text.c_str() || *end || !CelerraHTTPInterface::TimeoutMilliseconds(seconds, &milliseconds)) {
    CEL_ERROR(event, "Configuration value %s=[%s] is not a time-out from 0.001 to 86400 seconds; using %s s", key,
              text.c_str(), Seconds(fallback).c_str());
    return fallback;
  }
  return milliseconds;
}

unsigned long long ConfiguredBytes(EvEvent& event, const char* key, unsigned long long fallback) {
  std::string text;
  if (!OXPlatformInfo().getString("Vantrel", key, &text) || text.empty()) return fallback;
  char* end = nullptr;
  errno = 0;
  unsigned long long bytes = std::strtoull(text.c_str(), &end, 10);
  if (end == text.c_str() || *end || errno || bytes == 0 || text[0] == '-') {
    CEL_ERROR(event, "Configuration value %s=[%s] is not a positive number of bytes; using %llu", key, text.c_str(),
              fallback);
    return fallback;
  }
  return bytes;
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

// "host:port" for messages: the control host as given, with the HTTPS port
// when it names none.
std::string HostAndPort(const std::string& host) {
  if (host.empty()) return host;
  size_t colons = std::count(host.begin(), host.end(), ':');
  bool hasPort = host[0] == '[' ? host.find("]:") != std::string::npos : colons == 1;
  if (hasPort) return host;
  return (colons > 1 && host[0] != '[' ? "[" + host + "]" : host) + ":443";
}

// A file that libcurl is to read (CA bundle, pinned key): readable now, or
// the reason why not.
std::string Unreadable(const std::string& path) {
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  return std::string();
}

bool StartsWithNoCase(const std::string& text, size_t at, const char* prefix) {
  size_t n = std::strlen(prefix);
  if (text.size() - at < n) return false;
  for (size_t i = 0; i < n; ++i)
    if (std::tolower(static_cast<unsigned char>(text[at + i])) != prefix[i]) return false;
  return true;
}

const char kMask[] = "********";

// Masks, in the lines of `text`, the value of the session cookie of every
// Cookie and Set-Cookie header, every quoted value of libcurl's cookie-engine
// notes ("Added cookie NAME=\"VALUE\" ..."), and every cookie value in
// `known`, wherever it stands. The cookie is a bearer credential: whoever
// reads it takes over the session.
std::string MaskCookies(std::string text, const std::vector<std::string>& known) {
  std::string out;
  out.reserve(text.size());
  size_t at = 0;
  while (at < text.size()) {
    size_t end = text.find('\n', at);
    end = end == std::string::npos ? text.size() : end + 1;
    std::string line = text.substr(at, end - at);
    at = end;
    size_t stop = line.find_first_of("\r\n");
    if (stop == std::string::npos) stop = line.size();
    bool setCookie = StartsWithNoCase(line, 0, "set-cookie:");
    if (setCookie || StartsWithNoCase(line, 0, "cookie:")) {
      // Set-Cookie carries one cookie and then its attributes; Cookie carries
      // pairs only.
      size_t pos = line.find(':') + 1;
      while (pos < stop) {
        size_t pairEnd = line.find(';', pos);
        if (pairEnd == std::string::npos || pairEnd > stop) pairEnd = stop;
        size_t equals = line.find('=', pos);
        if (equals != std::string::npos && equals < pairEnd) {
          line.replace(equals + 1, pairEnd - equals - 1, kMask);
          size_t shift = std::strlen(kMask) - (pairEnd - equals - 1);
          pairEnd += shift;
          stop += shift;
        }
        if (setCookie) break;
        pos = pairEnd + 1;
      }
    } else {
      std::string lower = line;
      for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
      if (lower.find("cookie") != std::string::npos) {
        for (size_t open = line.find('"'); open != std::string::npos; open = line.find('"', open + 1)) {
          size_t close = line.find('"', open + 1);
          if (close == std::string::npos) break;
          line.replace(open + 1, close - open - 1, kMask);
          open += std::strlen(kMask) + 1;
        }
      }
    }
    out += line;
  }
  for (const std::string& value : known) {
    if (value.empty()) continue;
    for (size_t pos = out.find(value); pos != std::string::npos; pos = out.find(value, pos + std::strlen(kMask)))
      out.replace(pos, value.size(), kMask);
  }
  return out;
}

// The value of the cookie a Set-Cookie header line sets, or empty.
std::string CookieValueOf(const std::string& line) {
  if (!StartsWithNoCase(line, 0, "set-cookie:")) return std::string();
  size_t equals = line.find('=');
  if (equals == std::string::npos) return std::string();
  size_t end = line.find_first_of(";\r\n", equals);
  return line.substr(equals + 1, end == std::string::npos ? std::string::npos : end - equals - 1);
}

// A control station's header is a few hundred bytes; these bounds are far
// above that and keep a hostile one from growing the host. They lie below
// libcurl's own (lines of 100 KiB, 300 KiB in all), which it reports in
// words of its own; its cookie engine drops, without a word, a cookie longer
// than 4096 bytes: a session could never use one.
constexpr size_t kMaxHeaderLine = 64 << 10;
constexpr unsigned long long kMaxHeaderBytes = 256 << 10;
constexpr size_t kMaxCookie = 4096;
constexpr size_t kMaxShownLocation = 200;

// A header value as it may stand in a message: blanks trimmed, control
// characters dropped, and at most `limit` bytes.
std::string Shown(const std::string& value, size_t limit) {
  std::string out;
  for (char c : value)
    if (static_cast<unsigned char>(c) >= 0x20 && c != 0x7f) out += c;
  size_t first = out.find_first_not_of(' ');
  out = first == std::string::npos ? std::string() : out.substr(first, out.find_last_not_of(' ') - first + 1);
  if (out.size() > limit) out = out.substr(0, limit) + "...";
  return out;
}

// Takes one header line of the answer into `head`; false, with the reason
// in `head`, ends the transfer: a header too large, or the end of a 3xx
// answer's header (its body is never taken, and it is never followed).
bool TakeHeaderLine(AnswerHead& head, const char* data, size_t bytes, CURL* curl) {
  head.bytes += bytes;
  if (bytes > kMaxHeaderLine)
    head.tooLarge = "a line of " + std::to_string(bytes) + " bytes, more than " + std::to_string(kMaxHeaderLine);
  else if (head.bytes > kMaxHeaderBytes)
    head.tooLarge = "more than " + std::to_string(kMaxHeaderBytes) + " bytes in all";
  if (!head.tooLarge.empty()) return false;
  const std::string line(data, bytes);
  if (StartsWithNoCase(line, 0, "http/")) {
    // A new answer (after an informational one): its own header counts.
    head.complete = head.cookie = head.redirected = false;
    head.location.clear();
  } else if (StartsWithNoCase(line, 0, "set-cookie:")) {
    std::string pair = line.substr(11, line.find_first_of(";\r\n", 11) - 11);
    size_t length = Shown(pair, std::string::npos).size();
    if (length > kMaxCookie) {
      head.tooLarge = "a cookie of " + std::to_string(length) + " bytes, more than the " + std::to_string(kMaxCookie) +
                      " a session cookie may hold";
      return false;
    }
    head.cookie = true;
  } else if (StartsWithNoCase(line, 0, "location:")) {
    // Without its query or parameters, which may carry a session id.
    std::string location = line.substr(9);
    size_t cut = location.find_first_of("?;#");
    head.location = Shown(location.substr(0, cut), kMaxShownLocation) + (cut == std::string::npos ? "" : "?...");
  } else if (line == "\r\n" || line == "\n") {
    head.complete = true;
    curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &head.status);
    head.redirected = head.status >= 300 && head.status < 400;
    return !head.redirected;
  }
  return true;
}

// ------------------------------------------------------------ the callbacks

// Counts the bytes of a transfer against its limit; false (and the transfer
// is ended) once they pass it.
bool WithinLimit(ReplySink* sink, size_t bytes) {
  if (!sink) return true;
  if (sink->received + bytes > sink->limit) {
    sink->tooLarge = true;
    return false;
  }
  sink->received += bytes;
  return true;
}

size_t CurlCallBackResponse(char* data, size_t size, size_t count, void* userData) {
  EvEvent event;
  ReplySink* sink = static_cast<ReplySink*>(userData);
  CelerraXMLMessageResp* response = sink ? sink->response : nullptr;
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
  } else if (!WithinLimit(sink, bytes)) {
    CEL_ERROR(event, "[%llu] The reply to message [%s] is larger than the limit of %llu bytes; transfer stopped",
              response->GetJobId(), response->GetMessageName(), sink->limit);
  } else {
    response->AppendXml(data, static_cast<unsigned long>(bytes));
    return bytes;
  }
  CEL_ERROR(event, "[%llu] Error processing message[%s] ", response->GetJobId(), response->GetMessageName());
  return 0;
}

size_t CurlCallBackResponseLogin(char* data, size_t size, size_t count, void* userData) {
  (void)data;
  EvEvent event;
  if (userData) event.setJobId(static_cast<ReplySink*>(userData)->jobId);
  CEL_DEBUG(event, 5, "Got response for login operation, got [%lu] bytes", static_cast<unsigned long>(size * count));
  // Discarded, but not without end: an endless login reply would hold the
  // caller until the transfer time-out.
  if (!WithinLimit(static_cast<ReplySink*>(userData), size * count)) return 0;
  return size * count;
}

size_t CurlHeaderCallBack(char* data, size_t size, size_t count, void* userData) {
  if (!userData) return 0;
  return static_cast<CelerraHTTPInterface*>(userData)->TakeHeader(data, size * count);
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

namespace {

// `text` with its one "%s" replaced by `reason`.
std::string WithReason(const char* text, const char* reason) {
  std::string out = text;
  size_t at = out.find("%s");
  if (at != std::string::npos) out.replace(at, 2, reason);
  return out;
}

// Sets options on one session's handles up to the first that libcurl
// refuses, which is logged with its text (whose one "%s" names libcurl's
// reason); every later call does nothing, and ok() says whether all took.
class Options {
 public:
  Options(void* curl, EvEvent& event) : m_Curl(static_cast<CURL*>(curl)), m_Event(event) {}

  template <class T>
  Options& Set(CURLoption option, T value, const char* text) {
    CURLcode rc = m_Ok ? curl_easy_setopt(m_Curl, option, value) : CURLE_OK;
    if (rc != CURLE_OK) Refused(text, curl_easy_strerror(rc));
    return *this;
  }
  bool ok() const { return m_Ok; }

 private:
  void Refused(const char* text, const char* reason) {
    CEL_ERROR(m_Event, "%s", WithReason(text, reason).c_str());
    m_Ok = false;
  }

  CURL* m_Curl;
  EvEvent& m_Event;
  bool m_Ok = true;
};

// ----------------------------------------------- the session's options, by purpose

// No signals: a time-out must not raise one in the host's process.
bool SetSignals(Options& o) {
  return o.Set(CURLOPT_NOSIGNAL, 1L, "Failed to set CURLOPT_NOSIGNAL option Error [%s]").ok();
}

// HTTPS only. Control stations usually carry self-signed certificates:
// verification is off unless a CA bundle is configured; a pinned key works
// either way.
bool SetTls(Options& o, const std::string& caBundle, const std::string& pinnedKey) {
  long verify = caBundle.empty() ? 0L : 1L;
  o.Set(CURLOPT_PROTOCOLS_STR, "https", "Failed to restrict the protocols to HTTPS Error [%s]")
      .Set(CURLOPT_USE_SSL, static_cast<long>(CURLUSESSL_ALL),
           "Failed to set use CURLOPT_USE_SSL option while sending message. Error [%s]")
      .Set(CURLOPT_SSL_VERIFYPEER, verify,
           "Failed to set don't CURLOPT_SSL_VERIFYPEER option while sending message. Error [%s]")
      .Set(CURLOPT_SSL_VERIFYHOST, verify ? 2L : 0L,
           "Failed to set don't CURLOPT_SSL_VERIFYHOST option while sending message. Error [%s]");
  if (!caBundle.empty()) o.Set(CURLOPT_CAINFO, caBundle.c_str(), "Failed to set the CA bundle Error [%s]");
  if (!pinnedKey.empty())
    o.Set(CURLOPT_PINNEDPUBLICKEY, pinnedKey.c_str(), "Failed to set the pinned public key Error [%s]");
  return o.ok();
}

// The limits that may change on a live session: the time-outs and the reply
// size. The announced length of a reply too large is refused at once; the
// write callback counts the others (and decompressed bytes) as they come.
bool SetTimeoutsAndSize(Options& o, long connectMs, long transferMs, unsigned long long maxReplyBytes) {
  return o.Set(CURLOPT_CONNECTTIMEOUT_MS, connectMs, "Failed to set the connect time-out Error [%s]")
      .Set(CURLOPT_TIMEOUT_MS, transferMs, "Failed to set the transfer time-out Error [%s]")
      .Set(CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(std::min<unsigned long long>(maxReplyBytes, INT64_MAX)),
           "Failed to set the reply size limit Error [%s]")
      .ok();
}

// Every request is a POST.
bool SetMethod(Options& o) {
  return o.Set(CURLOPT_POST, 1L, "Failed to set CURLOPT_POST flag while sending message Error [%s]").ok();
}

// Replies are XML, which shrinks to a fraction when compressed: with `offer`,
// every encoding libcurl can decode (it decodes before the write callback).
bool SetCompression(Options& o, bool offer) {
  if (offer) o.Set(CURLOPT_ACCEPT_ENCODING, "", "Failed to ask for compressed replies Error [%s]");
  return o.ok();
}

// The session cookie is a bearer credential: libcurl's cookie engine keeps
// it in this process's memory (an empty file name starts the engine without
// reading a file), and no cookie jar is ever written, so a session leaves
// nothing on disk, not even when its process is killed. The share handle
// holds it (transport/SharedSession.h).
bool SetCookies(Options& o, CURLSH* share) {
  return o.Set(CURLOPT_SHARE, share, "Failed to set CURLOPT_SHARE flag while sending message Error [%s]")
      .Set(CURLOPT_COOKIEFILE, "", "Failed to set don't CURLOPT_COOKIEFILE option while sending message. Error [%s]")
      .ok();
}

// The trace hooks, which write the masked exchange into the trace files.
bool SetTracing(Options& o, CelerraHTTPInterface* session) {
  return o.Set(CURLOPT_VERBOSE, 1L, "Failed to increase CURL verbosity level%s")
      .Set(CURLOPT_DEBUGFUNCTION, CurlDebugCallBack,
           "Failed to set Data reader callback while sending message Error [%s]")
      .Set(CURLOPT_DEBUGDATA, session, "Failed to set Data reader callback while sending message Error [%s]")
      .ok();
}

// Every answer's header passes the session's checks (and the trace, when
// on) before any of its body is taken.
bool SetHeaderChecks(Options& o, CelerraHTTPInterface* session) {
  return o
      .Set(CURLOPT_HEADERFUNCTION, CurlHeaderCallBack,
           "Failed to set Data reader callback while sending message Error [%s]")
      .Set(CURLOPT_HEADERDATA, session, "Failed to set Data reader callback while sending message Error [%s]")
      .ok();
}

// An HTTP error status fails the transfer, and libcurl's words for a failure
// land in the session's buffer.
bool SetErrorReporting(Options& o, char* errorBuffer) {
  return o.Set(CURLOPT_FAILONERROR, 1L, "Failed to set option CURLOPT_FAILONERROR [%s]")
      .Set(CURLOPT_ERRORBUFFER, errorBuffer, "Failed to register the error buffer Error [%s]")
      .ok();
}

// Where a request goes and what it carries: the URL, the headers and the
// body (copied into the handle), and where the reply is written.
bool SetRequest(Options& o, const std::string& url, curl_slist* headers, const std::string& body, ReplySink* sink,
                curl_write_callback write) {
  return o.Set(CURLOPT_URL, url.c_str(), "Failed to set URL while sending message. Error [%s]")
      .Set(CURLOPT_HTTPHEADER, headers, "Failed to set HTTP headers while sending message Error [%s]")
      .Set(CURLOPT_POSTFIELDSIZE, static_cast<long>(body.size()),
           "Failed to set HTTP request data while sending message Error [%s]")
      .Set(CURLOPT_COPYPOSTFIELDS, body.c_str(), "Failed to set HTTP request data while sending message Error [%s]")
      .Set(CURLOPT_WRITEDATA, sink, "Failed to set Data reader while sending message Error [%s]")
      .Set(CURLOPT_WRITEFUNCTION, write, "Failed to set Data reader callback while sending message Error [%s]")
      .ok();
}

}  // namespace

// ------------------------------------------------------------------ session

CelerraHTTPInterface::CelerraHTTPInterface() { init(0); }

CelerraHTTPInterface::CelerraHTTPInterface(unsigned long long jobId) { init(jobId); }

void CelerraHTTPInterface::init(unsigned long long jobId) {
  m_pPIMPL.reset(new CelerraHTTPInterface_PIMPL());
  m_JobId = jobId;
  m_Event.setJobId(static_cast<long long>(jobId));
  m_pPIMPL->sink.jobId = static_cast<long long>(jobId);
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
  // A session made before a fork() leaves the handles to the parent.
  ReleaseHandle();
  if (m_pPIMPL && m_pPIMPL->shared) m_pPIMPL->shared->Touch();
  if (!m_sCookieFile.empty()) {
    CEL_DEBUG(m_Event, 5, "Removing the cookie file [%s]", m_sCookieFile.c_str());
    if (::unlink(m_sCookieFile.c_str()) != 0 && errno != ENOENT)
      CEL_DEBUG(m_Event, -1, "Unable to delete the cookie file...");
  }
  bool shared = m_pPIMPL && m_pPIMPL->shared && m_pPIMPL->shared->shared();
  m_pPIMPL.reset();
  if (shared) celerra_internal::SweepIdleSharedSessions();
  m_pNamedMutex.reset();
}

void CelerraHTTPInterface::SetControlHostInfo(std::string host, std::string user, std::string password) {
  m_sControlHost = std::move(host);
  m_sUserName = std::move(user);
  m_sPassword = std::move(password);
}

int CelerraHTTPInterface::GetLastError() { return errno; }

const CelerraError& CelerraHTTPInterface::GetLastFailure() const { return m_pPIMPL->failure; }

std::string CelerraHTTPInterface::GetLastTransportError() const {
  return std::string(m_pPIMPL->errorBuffer, strnlen(m_pPIMPL->errorBuffer, kLastErrorSize - 1));
}

long CelerraHTTPInterface::GetLastHttpCode() const { return m_pPIMPL->httpCode; }

bool CelerraHTTPInterface::TimeoutMilliseconds(double seconds, long* milliseconds) {
  if (!std::isfinite(seconds) || seconds < 0.001 || seconds > 86400.0) return false;
  *milliseconds = std::max(1L, std::lround(seconds * 1000.0));
  return true;
}

void CelerraHTTPInterface::Fail(eCelerraErrorKind kind, const std::string& message) {
  m_pPIMPL->failure = CelerraError::Failure(kind, message);
}

void CelerraHTTPInterface::SetTransportSettings(const CelerraTransportSettings& settings) {
  m_pPIMPL->settings = settings;
  if (m_bCurlInitialized && ResolveSettings()) ApplyLimits();
}

bool CelerraHTTPInterface::BelongsToThisProcess() const { return m_Pid == getpid(); }

// Before a login: the shared session of this session's host, user, password
// and TLS settings, unless sharing is off (the session then keeps its own).
// Credentials changed since an earlier failed login lead to another one.
bool CelerraHTTPInterface::JoinSharedSession() {
  CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  std::string key = p.shareWanted ? celerra_internal::SharedSessionKey(HostAndPort(m_sControlHost), m_sUserName,
                                                                       m_sPassword, p.caBundle, p.pinnedKey)
                                  : std::string();
  if (key.empty() || key == p.shared->key()) return true;
  std::shared_ptr<celerra_internal::SharedSession> shared = celerra_internal::AcquireSharedSession(key);
  if (!shared->share()) {
    Fail(ERROR_KIND_LOCAL, "unable to share the HTTPS session");
    return false;
  }
  // The share the handle is in stays alive until the handle has left it.
  std::shared_ptr<celerra_internal::SharedSession> previous = std::move(p.shared);
  p.shared = std::move(shared);
  p.loginGeneration = 0;
  bool ok = TakeIdleHandle();
  Options options(m_pCurl, m_Event);
  if (ok && SetCookies(options, p.shared->share())) return true;
  curl_easy_setopt(static_cast<CURL*>(m_pCurl), CURLOPT_SHARE, nullptr);
  p.shared = std::move(previous);
  Fail(ERROR_KIND_LOCAL, "unable to share the HTTPS session");
  return false;
}

// A handle that an ended session of the shared session left behind still
// has its connection open: taking it in place of this session's own spares
// a connect and a TLS handshake. It comes reset, and is set up as this
// session's own was.
bool CelerraHTTPInterface::TakeIdleHandle() {
  CURL* idle = m_pPIMPL->shared->TakeIdleHandle();
  if (!idle) return true;
  curl_easy_cleanup(static_cast<CURL*>(m_pCurl));
  m_pCurl = idle;
  CEL_DEBUG(m_Event, 2, "Taking over the connection that an ended session to [%s] left open", m_sControlHost.c_str());
  return CurlSetCommonOptions();
}

// This session's handle, connection and all, for the next session of the
// same shared session, once this one has logged in; else closed.
void CelerraHTTPInterface::ReleaseHandle() {
  CURL* curl = static_cast<CURL*>(m_pCurl);
  m_pCurl = nullptr;
  if (!curl || !BelongsToThisProcess()) return;
  celerra_internal::SharedSession* shared = m_pPIMPL ? m_pPIMPL->shared.get() : nullptr;
  if (!(m_bLoggedIn && shared && shared->KeepIdleHandle(curl))) curl_easy_cleanup(curl);
}

// The settings in effect: the facade's, else the configuration's, else the
// defaults. A CA bundle or pinned-key file that is named but cannot be read
// fails the set-up: silently going without verification would hand the
// session to whoever answers.
bool CelerraHTTPInterface::ResolveSettings() {
  CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  const CelerraTransportSettings& s = p.settings;
  if (!(s.connectTimeoutSeconds > 0 && TimeoutMilliseconds(s.connectTimeoutSeconds, &p.connectMs)))
    p.connectMs = ConfiguredMilliseconds(m_Event, "sCELERRACONNECTTIMEOUT", kDefaultConnectMs);
  if (!(s.transferTimeoutSeconds > 0 && TimeoutMilliseconds(s.transferTimeoutSeconds, &p.transferMs)))
    p.transferMs = ConfiguredMilliseconds(m_Event, "sCELERRATIMEOUT", kDefaultTransferMs);
  std::string share = Configured("sCELERRASHARESESSION");
  p.shareWanted = s.shareSession && !(share == "N" || share == "n" || share == "No" || share == "no");
  p.maxReplyBytes =
      s.maxReplyBytes ? s.maxReplyBytes : ConfiguredBytes(m_Event, "sCELERRAMAXREPLYSIZE", kDefaultMaxReplyBytes);
  std::string caSource = s.caBundle.empty() ? "sCELERRACABUNDLE" : "the facade's setting";
  p.caBundle = s.caBundle.empty() ? Configured("sCELERRACABUNDLE") : s.caBundle;
  std::string keySource = s.pinnedPublicKey.empty() ? "sCELERRAPINNEDPUBKEY" : "the facade's setting";
  p.pinnedKey = s.pinnedPublicKey.empty() ? Configured("sCELERRAPINNEDPUBKEY") : s.pinnedPublicKey;
  std::string why;
  if (!p.caBundle.empty() && !(why = Unreadable(p.caBundle)).empty()) {
    Fail(ERROR_KIND_TLS, "TLS: CA bundle " + p.caBundle + " (" + caSource + ") cannot be read: " + why);
  } else if (!p.pinnedKey.empty() && p.pinnedKey.compare(0, 8, "sha256//") != 0 &&
             !(why = Unreadable(p.pinnedKey)).empty()) {
    Fail(ERROR_KIND_TLS, "TLS: pinned public key file " + p.pinnedKey + " (" + keySource + ") cannot be read: " + why);
  } else {
    return true;
  }
  CEL_ERROR(m_Event, "%s", p.failure.m_sMessage.c_str());
  return false;
}

// The limits that may change on a live session: the time-outs, the reply
// size, and the wait for the trace lock (as long as a connection may take).
bool CelerraHTTPInterface::ApplyLimits() {
  CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  p.sink.limit = p.maxReplyBytes;
  if (m_pNamedMutex) m_pNamedMutex->setWaitLimit(std::chrono::milliseconds(p.connectMs));
  Options options(m_pCurl, m_Event);
  return SetTimeoutsAndSize(options, p.connectMs, p.transferMs, p.maxReplyBytes);
}

// Trace files live in the user's private directory, and their writes are
// kept apart by a lock there that no other user can open.
bool CelerraHTTPInterface::SetUpTraceFiles() {
  std::string dir, why;
  if (!celerra_platform::PrivateDirectory(&dir, &why)) {
    Fail(ERROR_KIND_LOCAL, "trace files: " + why);
    CEL_ERROR(m_Event, "Unable to trace the HTTP messages: %s", why.c_str());
    return false;
  }
  m_sTempDir = dir;
  m_sDebugFile = dir + "/" + "CelerraXMLDebugFile";
  m_sHeaderFile = dir + "/" + "CelerraXMLHeaderFile";
  std::string mutexName = "CelerraNamedMutex_" + m_sControlHost;
  m_pNamedMutex.reset(new OxNamedMutex(mutexName.c_str()));
  if (!m_pNamedMutex->isValid()) {
    CEL_ERROR(m_Event, "CreateMutex error: %d", m_pNamedMutex->error());
    Fail(ERROR_KIND_LOCAL, "trace lock: " + m_pNamedMutex->errorText());
    CEL_ERROR(m_Event, "Unable to trace the HTTP messages: %s", m_pNamedMutex->errorText().c_str());
    m_pNamedMutex.reset();
    return false;
  }
  return true;
}

bool CelerraHTTPInterface::InitializeCURL() {
  if (m_bCurlInitialized) return true;
  GlobalInitOnce();
  m_pPIMPL->failure.clear();
  bool ok = CreateHandles() && StartTracing();
  if (ok && !CurlSetCommonOptions()) {
    CEL_ERROR(m_Event, "Unable to set cURL common options");
    ok = false;
  }
  if (ok) {
    m_bCurlInitialized = true;
    return true;
  }
  if (m_pPIMPL->failure.m_eStatus == STATUS_OK) Fail(ERROR_KIND_LOCAL, "unable to set up the HTTPS session");
  CEL_ERROR(m_Event, "Unable to initialize cURL");
  return false;
}

// The settings in effect, the easy handle and the share handle that keeps
// the cookie.
bool CelerraHTTPInterface::CreateHandles() {
  const char* dir = OXPI_Base().getOrvaneTempDirectory();
  m_sTempDir = dir ? dir : "/tmp/";
  if (!ResolveSettings()) return false;
  CURL* curl = curl_easy_init();
  if (!curl) {
    CEL_ERROR(m_Event, "Failed to initialize cURL, curl_easy_init() failed");
    return false;
  }
  m_pCurl = curl;
  CEL_DEBUG(m_Event, 2, "curl_easy_init() successful");
  m_Pid = getpid();
  m_pPIMPL->shared = celerra_internal::PrivateSession(m_Event.getJobId());
  if (!m_pPIMPL->shared->share()) {
    CEL_ERROR(m_Event, "Unable to initialize cURL shared handle");
    return false;
  }
  return true;
}

bool CelerraHTTPInterface::CurlSetCommonOptions() {
  CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  Options options(m_pCurl, m_Event);
  // Replies are asked for compressed unless sCELERRACOMPRESSION says no, and
  // not while tracing, so that the trace file holds the replies as text.
  std::string compression = Configured("sCELERRACOMPRESSION");
  bool compress = !(compression == "N" || compression == "n" || compression == "No" || compression == "no");
  // The shared session's lock callbacks log with this session's job id.
  curl_easy_setopt(m_pCurl, CURLOPT_PRIVATE, reinterpret_cast<char*>(&m_Event));
  bool ok = SetSignals(options) && SetTls(options, p.caBundle, p.pinnedKey) &&
            // A silent or endless control station must not hang the caller's job.
            ApplyLimits() && SetMethod(options) && SetCompression(options, compress && !m_bTraceXMLMessages);
  if (ok && !p.shared->share()) {
    CEL_ERROR(m_Event, "Curl Shared opt handle is NULL cannot go ahead");
    ok = false;
  }
  ok = ok && SetCookies(options, p.shared->share()) && SetHeaderChecks(options, this) &&
       (!m_bTraceXMLMessages || SetTracing(options, this)) && SetErrorReporting(options, p.errorBuffer);
  if (!ok) {
    CEL_ERROR(m_Event, "Unable to set cURL common options");
    return false;
  }
  CEL_DEBUG(m_Event, 2, "Set cURL common options successfully");
  return true;
}

// With sCELERRALOGXMLMSG set, the exchanges are traced into the private
// directory's files.
bool CelerraHTTPInterface::StartTracing() {
  std::string trace = "N";
  if (!OXPlatformInfo().getString("Vantrel", "sCELERRALOGXMLMSG", &trace) ||
      !(trace == "Y" || trace == "y" || trace == "Yes" || trace == "yes"))
    return true;
  m_bTraceXMLMessages = true;
  if (!SetUpTraceFiles()) return false;
  CEL_DEBUG(m_Event, 2,
            "Registry key to log XML messages [%s\\%s]is set will log Debug messages to file [%s] and HTTP "
            "header messages to [%s]",
            "EventManager", "CELERRALOGXMLMSG", m_sDebugFile.c_str(), m_sHeaderFile.c_str());
  return true;
}

// A failure of the answer's header (too large, a redirect), which decides
// before libcurl's own code does: true with it in `out`.
bool CelerraHTTPInterface::HeadFailure(int code, const std::string& exchange, bool login, CelerraError& out) const {
  const std::string& host = m_sControlHost;
  // libcurl refuses a header line above 100 KiB as if memory had run out;
  // in the middle of a header it is the line, not this machine.
  const AnswerHead& head = m_pPIMPL->head;
  std::string tooLarge = head.tooLarge;
  if (tooLarge.empty() && code == CURLE_OUT_OF_MEMORY && head.bytes > 0 && !head.complete)
    tooLarge = "a line longer than the 102400 bytes libcurl takes";
  if (!tooLarge.empty()) {
    out = CelerraError::Failure(ERROR_KIND_TRANSPORT,
                                "the control station's response header is too large (" + tooLarge + ", in " +
                                    (login ? "the answer to the login" : "the reply to " + exchange) + " from " + host +
                                    ")");
    return true;
  }
  if (!head.redirected) return false;
  out = CelerraError::Failure(
      ERROR_KIND_TRANSPORT,
      host + " answered HTTP " + std::to_string(head.status) + " to " + exchange + ", " +
          (head.location.empty() ? std::string("a redirect without a Location") : "redirected to " + head.location) +
          "; not followed");
  return true;
}

// What went wrong with a transfer, in the words a caller can act on.
CelerraError CelerraHTTPInterface::DescribeTransferFailure(int code, const char* what, bool login) const {
  const CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  CURL* curl = static_cast<CURL*>(m_pCurl);
  const std::string text = GetLastTransportError();
  const std::string& host = m_sControlHost;
  const std::string detail = " (" + text + ")";
  const std::string exchange = login ? std::string("the login") : std::string("message [") + what + "]";
  auto failure = [](eCelerraErrorKind kind, const std::string& message) {
    return CelerraError::Failure(kind, message);
  };
  if (p.sink.tooLarge || code == CURLE_FILESIZE_EXCEEDED)
    return failure(ERROR_KIND_REPLY_TOO_LARGE, "the reply from " + host + " to " + exchange +
                                                   " is larger than the limit of " + std::to_string(p.maxReplyBytes) +
                                                   " bytes");
  if (!p.traceFailure.empty()) return failure(ERROR_KIND_LOCAL, p.traceFailure);
  CelerraError headFailure;
  if (HeadFailure(code, exchange, login, headFailure)) return headFailure;
  switch (code) {
    case CURLE_HTTP_RETURNED_ERROR: {
      std::string status = "HTTP " + std::to_string(p.httpCode);
      if (login && (p.httpCode == 401 || p.httpCode == 403))
        return failure(ERROR_KIND_LOGIN_REFUSED, "login refused by " + host + " for user " + m_sUserName + " (" +
                                                     status + "): wrong user name or password");
      if (login) return failure(ERROR_KIND_TRANSPORT, "login to " + host + " failed (" + status + ")");
      return failure(ERROR_KIND_TRANSPORT, host + " answered " + status + " to " + exchange);
    }
    case CURLE_COULDNT_RESOLVE_HOST:
      return failure(ERROR_KIND_CONNECT, "could not connect to " + HostAndPort(host) + ": host name not found");
    case CURLE_COULDNT_CONNECT: {
      long osErrno = 0;
      curl_easy_getinfo(curl, CURLINFO_OS_ERRNO, &osErrno);
      std::string reason = osErrno ? std::strerror(static_cast<int>(osErrno)) : text;
      if (!reason.empty()) reason[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(reason[0])));
      return failure(ERROR_KIND_CONNECT, "could not connect to " + HostAndPort(host) + ": " + reason);
    }
    case CURLE_OPERATION_TIMEDOUT: {
      // The request goes out once the connection stands (a reused one, or a
      // new one after its handshake): no pre-transfer time, no connection.
      // The transfer time-out covers the connection too, so without one the
      // shorter of the two limits is the one that fired.
      curl_off_t connected = 0;
      curl_easy_getinfo(curl, CURLINFO_PRETRANSFER_TIME_T, &connected);
      if (!connected && p.connectMs <= p.transferMs)
        return failure(ERROR_KIND_TIMEOUT, "no connection to " + HostAndPort(host) + " within " + Seconds(p.connectMs) +
                                               " s (connect time-out)");
      return failure(ERROR_KIND_TIMEOUT, exchange + " to " + host + " was not complete within " +
                                             Seconds(p.transferMs) + " s (transfer time-out" +
                                             (connected ? ")" : "; no connection yet)"));
    }
    case CURLE_PEER_FAILED_VERIFICATION:
      return failure(ERROR_KIND_TLS, "TLS: certificate of " + host + " not trusted" + detail);
    case CURLE_SSL_CACERT_BADFILE:
      return failure(ERROR_KIND_TLS, "TLS: CA bundle " + p.caBundle + " cannot be used" + detail);
    case CURLE_SSL_PINNEDPUBKEYNOTMATCH:
      return failure(ERROR_KIND_TLS, "TLS: the key of " + host + " does not match the pinned public key" + detail);
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_SSL_CERTPROBLEM:
    case CURLE_SSL_CIPHER:
    case CURLE_SSL_ISSUER_ERROR:
    case CURLE_SSL_CRL_BADFILE:
    case CURLE_USE_SSL_FAILED: return failure(ERROR_KIND_TLS, "TLS: handshake with " + host + " failed" + detail);
    case CURLE_OUT_OF_MEMORY: return failure(ERROR_KIND_LOCAL, "out of memory during " + exchange + " with " + host);
    case CURLE_WRITE_ERROR:
      return failure(ERROR_KIND_TRANSPORT, "the reply to " + exchange + " could not be taken" + detail);
    default: return failure(ERROR_KIND_TRANSPORT, exchange + " with " + host + " failed" + detail);
  }
}

// One transfer on the easy handle. The session keeps its own error text,
// HTTP status and failure record; the text also becomes the process-wide last
// transport error.
bool CelerraHTTPInterface::Perform(const char* what, bool login) {
  CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  CURL* curl = static_cast<CURL*>(m_pCurl);
  m_LastCode = CURLE_OK;
  std::memset(p.errorBuffer, 0, sizeof p.errorBuffer);
  p.sink.received = 0;
  p.sink.tooLarge = false;
  p.head = AnswerHead();
  p.traceFailure.clear();
  p.httpCode = 0;
  CURLcode rc = curl_easy_perform(curl);
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &p.httpCode);
  // A trace that could not be written fails the transfer even when its
  // last chunk came after the last header.
  if (rc == CURLE_OK && !p.traceFailure.empty()) rc = CURLE_WRITE_ERROR;
  // The header's end refuses a redirect; whatever a 3xx answer carried, it
  // is no reply.
  if (rc == CURLE_OK && p.httpCode >= 300 && p.httpCode < 400) {
    p.head.redirected = true;
    p.head.status = p.httpCode;
    rc = CURLE_WRITE_ERROR;
  }
  if (rc != CURLE_OK && !p.errorBuffer[0])
    std::snprintf(p.errorBuffer, sizeof p.errorBuffer, "%s", curl_easy_strerror(rc));
  TransportGlobals& g = Globals();
  {
    std::lock_guard<std::mutex> guard(g.lock);
    std::memset(g.lastError, 0, sizeof g.lastError);
    std::snprintf(g.lastError, sizeof g.lastError, "%s", p.errorBuffer);
  }
  m_LastCode = rc;
  if (rc == CURLE_OK) {
    p.failure.clear();
    return true;
  }
  p.failure = DescribeTransferFailure(rc, what, login);
  return false;
}

bool CelerraHTTPInterface::Login() {
  if (m_bLoggedIn) return true;
  return SignIn(false);
}

// The login, or the shared session's cookie when another session holds a
// login that may serve (`refused`: this session's cookie was just refused).
bool CelerraHTTPInterface::SignIn(bool refused) {
  if (m_sUserName.empty() || m_sControlHost.empty() || m_sPassword.empty()) {
    CEL_ERROR(m_Event,
              "Unable to login into Celerra host empty Host Name, Login or password, set these 3 parameters before "
              "logging in.");
    Fail(ERROR_KIND_INPUT, "control host, user name or password not set");
    return false;
  }
  // The host goes into the URL and a header, the user name into the form:
  // a line break there would add headers or fields of the caller's making.
  const std::pair<const char*, const std::string*> values[] = {{"control host", &m_sControlHost},
                                                               {"user name", &m_sUserName}};
  for (const auto& value : values) {
    std::string why = celerra_internal::RefusedText(*value.second);
    if (why.empty()) continue;
    Fail(ERROR_KIND_INPUT, std::string("the ") + value.first + " holds " + why);
    CEL_ERROR(m_Event, "Unable to login: %s", m_pPIMPL->failure.m_sMessage.c_str());
    return false;
  }
  if (!m_bCurlInitialized) {
    CEL_ERROR(m_Event, "cURL is not initialized unable to go ahead with the login");
    Fail(ERROR_KIND_LOCAL, "the HTTPS session is not set up");
    return false;
  }
  if (!JoinSharedSession()) return false;
  CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  bool posted = false, waitedOut = false;
  std::chrono::milliseconds wait(p.connectMs + p.transferMs);
  bool ok = p.shared->SignIn(p.loginGeneration, refused, wait, waitedOut, [this, &posted] {
    posted = true;
    m_CelerraHttpErrorCode = 1;
    return PostLoginForm();
  });
  p.shared->Touch();
  if (waitedOut)
    Fail(ERROR_KIND_TIMEOUT, "another facade's login to " + HostAndPort(m_sControlHost) + " was not complete within " +
                                 Seconds(p.connectMs + p.transferMs) +
                                 " s (this facade's connect and transfer time-outs)");
  if (ok && !posted) {
    m_bLoggedIn = true;
    p.failure.clear();
    CEL_DEBUG(m_Event, 2, "Using the session that another facade of this process opened on server [%s]",
              m_sControlHost.c_str());
  }
  if (!ok)
    CEL_ERROR(m_Event, "Unable to login into server [%s]: %s", m_sControlHost.c_str(),
              m_pPIMPL->failure.m_sMessage.c_str());
  return ok;
}

// The login form, password and all: on the wire and nowhere else (the copy
// here is wiped once libcurl has its own, and libcurl's is cleared once
// sent).
bool CelerraHTTPInterface::PostLoginForm() {
  CURL* curl = static_cast<CURL*>(m_pCurl);
  char* user = curl_easy_escape(curl, m_sUserName.c_str(), static_cast<int>(m_sUserName.size()));
  char* password = curl_easy_escape(curl, m_sPassword.c_str(), static_cast<int>(m_sPassword.size()));
  if (!user || !password) {
    curl_free(user);
    curl_free(password);
    CEL_ERROR(m_Event, "failed to call curl_easy_escape()");
    Fail(ERROR_KIND_LOCAL, "unable to encode the login form");
    return false;
  }
  std::string body = std::string("user=") + user + "&password=" + password + "&Login=login";
  curl_free(user);
  curl_free(password);
  struct curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, Header("Content-Type", "application/x-www-form-urlencoded").c_str());
  headers = curl_slist_append(headers, Header("Host", m_sControlHost).c_str());
  headers = curl_slist_append(headers, Header("Content-Length", std::to_string(body.size())).c_str());
  if (curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, nullptr) != CURLE_OK)
    CEL_ERROR(m_Event, "Failed reset callback while trying to log on");
  m_pPIMPL->sink.response = nullptr;
  Fail(ERROR_KIND_LOCAL, "unable to prepare the login");
  Options options(m_pCurl, m_Event);
  bool ok = SetRequest(options, "https://" + m_sControlHost + "/Login", headers, body, &m_pPIMPL->sink,
                       CurlCallBackResponseLogin);
  std::fill(body.begin(), body.end(), '\0');
  bool sent = ok;
  if (sent) {
    m_pPIMPL->inLogin = true;
    ok = Perform("login", true);
    m_pPIMPL->inLogin = false;
    // The form, password and all, is gone from the handle once sent.
    ClearPostFields(curl);
  }
  ok = ok && LoginAccepted();
  if (ok) {
    CEL_DEBUG(m_Event, 2, "Successfully logged into server [%s]", m_sControlHost.c_str());
    m_bLoggedIn = true;
  } else if (sent) {
    if (m_pPIMPL->httpCode == 403) m_CelerraHttpErrorCode = 2;
    CEL_ERROR(m_Event, "Failed to login.Error [%s][%.512s]", curl_easy_strerror(static_cast<CURLcode>(m_LastCode)),
              GetLastTransportError().c_str());
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  curl_slist_free_all(headers);
  return ok;
}

// A login counts when the control station answered 200 and set the session
// cookie: anything else (another success code, a page without a cookie) is
// not a session, and requests sent on it would only be refused.
bool CelerraHTTPInterface::LoginAccepted() {
  const AnswerHead& head = m_pPIMPL->head;
  if (m_pPIMPL->httpCode == 200 && head.cookie) return true;
  std::string status = "HTTP " + std::to_string(m_pPIMPL->httpCode);
  Fail(ERROR_KIND_TRANSPORT, "the login to " + m_sControlHost + " was answered with " + status +
                                 (m_pPIMPL->httpCode == 200 ? " but no session cookie" : ", not HTTP 200") +
                                 "; not logged in");
  return false;
}

bool CelerraHTTPInterface::PostRequest(CelerraXMLMessageReq* request, CelerraXMLMessageResp* response, long* httpCode) {
  CURL* curl = static_cast<CURL*>(m_pCurl);
  *httpCode = 0;
  // Taken once, so the length header and the body are the same text.
  const std::string document = request->GetSerializedXML();
  struct curl_slist* headers = nullptr;
  headers = curl_slist_append(headers, Header("Content-Type", "text/xml charset \"UTF-8\"").c_str());
  headers = curl_slist_append(headers, Header("Content-Length", std::to_string(document.size())).c_str());
  headers = curl_slist_append(headers, "Expect:");
  m_pPIMPL->sink.response = response;
  Fail(ERROR_KIND_LOCAL, std::string("unable to prepare message [") + request->GetMessageName() + "]");
  Options options(m_pCurl, m_Event);
  bool ok = SetRequest(options, "https://" + m_sControlHost + "/" + kManagementServlet, headers, document,
                       &m_pPIMPL->sink, CurlCallBackResponse);
  if (ok) {
    m_pPIMPL->sensitiveBody = request->IsSensitive();
    ok = Perform(request->GetMessageName(), false);
    m_pPIMPL->sensitiveBody = false;
    ClearPostFields(curl);
    if (!ok) *httpCode = m_pPIMPL->httpCode;
  }
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, nullptr);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, nullptr);
  m_pPIMPL->sink.response = nullptr;
  curl_slist_free_all(headers);
  return ok;
}

bool CelerraHTTPInterface::SendHTTPRequest(CelerraXMLMessageReq* request, CelerraXMLMessageResp* response) {
  if (!request || !response) {
    CEL_ERROR(m_Event, "Unable to send a request without its request and response objects");
    Fail(ERROR_KIND_INPUT, "no request or response object to send");
    return false;
  }
  if (!m_bCurlInitialized) {
    CEL_ERROR(m_Event, "cURL is not initialized unable to go ahead with the request");
    Fail(ERROR_KIND_LOCAL, "the HTTPS session is not set up");
    return false;
  }
  // A new exchange may reuse the address of a finished response object.
  ForgetCompleted(response);
  long httpCode = 0;
  bool ok = PostRequest(request, response, &httpCode);
  if (!ok && m_bLoggedIn && (httpCode == 401 || httpCode == 403)) {
    // The control station dropped the session: log in again once and resend.
    CEL_DEBUG(m_Event, 2, "Server answered [%ld] to message [%s]; logging in again", httpCode,
              request->GetMessageName());
    m_bLoggedIn = false;
    if (SignIn(true)) {
      response->init();
      ok = PostRequest(request, response, &httpCode);
    }
  }
  if (ok) {
    response->UnSerializeXML();
    CEL_DEBUG(m_Event, 2, "Successfully sent message [%s] to server [%s]", request->GetMessageName(),
              m_sControlHost.c_str());
  } else {
    CEL_ERROR(m_Event, "Failed to send message Server. Error [%s]:[%.512s]",
              curl_easy_strerror(static_cast<CURLcode>(m_LastCode)), GetLastTransportError().c_str());
    CEL_ERROR(m_Event, "Unable to send request [%s] to server [%s]: %s", request->GetMessageName(),
              m_sControlHost.c_str(), m_pPIMPL->failure.m_sMessage.c_str());
  }
  RecordCompleted(response, response->GetMessageName());
  return ok;
}

// ------------------------------------------------------- trace hooks

// Appends one traced chunk under the named mutex, to a file in the private
// directory that is created 0600 and refused when it is a link or is not
// this user's alone. A failure is kept and fails the transfer: once the lock
// or a file is refused, the rest of the transfer writes nothing and waits
// for nothing.
bool CelerraHTTPInterface::AppendTrace(const std::string& path, const char* failureText, const char* typeLine,
                                       const char* data, size_t bytes) {
  CelerraHTTPInterface_PIMPL& p = *m_pPIMPL;
  if (!p.traceFailure.empty() || !m_pNamedMutex) return false;
  if (!m_pNamedMutex->lock()) {
    p.traceFailure = "the trace lock " + m_pNamedMutex->path() + " was held by another process for more than " +
                     Seconds(static_cast<long>(m_pNamedMutex->waitLimit().count())) + " s";
    CEL_ERROR(m_Event, "Unable to trace the HTTP messages: %s", p.traceFailure.c_str());
    return false;
  }
  std::string why;
  int fd = celerra_platform::OpenPrivateFile(path, O_WRONLY | O_APPEND, &why);
  bool first = fd >= 0;
  if (fd < 0 && why.find("refused") == std::string::npos)
    fd = celerra_platform::OpenPrivateFile(path, O_WRONLY | O_APPEND, &why);
  if (fd < 0) {
    EvDebug(m_Event).Debug("CelerraHTTPInterface::AppendTrace", failureText, path.c_str());
    p.traceFailure = "trace file " + why;
    CEL_ERROR(m_Event, "Unable to trace the HTTP messages: %s", p.traceFailure.c_str());
    m_pNamedMutex->unlock();
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
  m_pNamedMutex->unlock();
  return true;
}

size_t CelerraHTTPInterface::TakeHeader(const char* data, size_t bytes) {
  if (!TakeHeaderLine(m_pPIMPL->head, data, bytes, static_cast<CURL*>(m_pCurl))) return 0;
  return m_bTraceXMLMessages ? TraceHeader(data, bytes) : bytes;
}

size_t CelerraHTTPInterface::TraceHeader(const char* data, size_t bytes) {
  std::string header(data, bytes);
  std::string cookie = CookieValueOf(header);
  std::vector<std::string>& known = m_pPIMPL->cookieValues;
  if (!cookie.empty() && std::find(known.begin(), known.end(), cookie) == known.end()) known.push_back(cookie);
  std::string masked = MaskCookies(header, known);
  if (!AppendTrace(m_sHeaderFile, "Unable to write data to the Header file [%s]", nullptr, masked.data(),
                   masked.size()))
    return 0;
  if (!cookie.empty()) {
    // The cookie's name and attributes, never its value.
    size_t colon = masked.find(':');
    size_t semicolon = masked.rfind(';');
    std::string shown = masked.substr(
        colon + 1, semicolon == std::string::npos || semicolon < colon ? std::string::npos : semicolon - colon - 1);
    CEL_DEBUG(m_Event, 2, "Got cookie:[%s]", shown.c_str());
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
  std::string text(data, bytes);
  if (type == CURLINFO_HEADER_IN) {
    std::string cookie = CookieValueOf(text);
    std::vector<std::string>& known = m_pPIMPL->cookieValues;
    if (!cookie.empty() && std::find(known.begin(), known.end(), cookie) == known.end()) known.push_back(cookie);
  }
  if (type == CURLINFO_DATA_OUT && m_pPIMPL->inLogin) {
    char* user =
        curl_easy_escape(static_cast<CURL*>(m_pCurl), m_sUserName.c_str(), static_cast<int>(m_sUserName.size()));
    text = std::string("user=") + (user ? user : "") + "&password=********&Login=login";
    curl_free(user);
  } else if (type == CURLINFO_DATA_OUT && m_pPIMPL->sensitiveBody) {
    text = "[request document withheld: it carries a password]";
  }
  text = MaskCookies(text, m_pPIMPL->cookieValues);
  AppendTrace(m_sDebugFile, "Unable to write data to the debug file [%s]", typeLine, text.data(), text.size());
  return 0;
}
