// The HTTPS session with the control station: transport set-up, one login
// with the server's form, the session cookie (kept in memory only), one POST
// per request document, optional trace files in the user's private directory,
// and the lock that keeps the trace writes of the user's processes apart.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

#include "messages/CelerraXMLMessage.h"
#include "platform/CelerraExport.h"
#include "platform/EvDebug.h"
#include "platform/OxNamedMutex.h"
#include "transport/CelerraTransportSettings.h"

struct CelerraHTTPInterface_PIMPL;

// The text of the last transport error of any session in the process, at
// most 512 characters. A facade reports the text of its own session
// (CelerraHTTPInterface::GetLastTransportError) instead.
std::string CelerraLastTransportError();

class CelerraHTTPInterface {
 public:
  CelerraHTTPInterface();
  explicit CelerraHTTPInterface(unsigned long long jobId);
  ~CelerraHTTPInterface();
  CelerraHTTPInterface(const CelerraHTTPInterface&) = delete;
  CelerraHTTPInterface& operator=(const CelerraHTTPInterface&) = delete;

  void init(unsigned long long jobId);
  void SetControlHostInfo(std::string host, std::string user, std::string password);
  bool InitializeCURL();
  bool CurlSetCommonOptions();
  bool Login();
  bool SendHTTPRequest(CelerraXMLMessageReq* request, CelerraXMLMessageResp* response);
  long long GetCelerraHttpErrorCode() const { return m_CelerraHttpErrorCode; }
  static int GetLastError();

  // Takes effect at InitializeCURL; on a session that is set up already, the
  // time-outs and the reply limit change at once (the TLS settings do not:
  // the facade starts a new session for those).
  void SetTransportSettings(const CelerraTransportSettings& settings);

  // Why the last InitializeCURL, Login or SendHTTPRequest of this session
  // failed: status error, the kind and a message in plain words; the empty
  // record once a later call succeeded.
  const CelerraError& GetLastFailure() const;
  // This session's libcurl text of its last transfer (empty after a
  // successful one), at most 512 characters.
  std::string GetLastTransportError() const;
  // HTTP status of this session's last transfer, 0 when none arrived.
  long GetLastHttpCode() const;

  // A time-out in seconds as milliseconds: false unless it is a finite number
  // from 0.001 (one millisecond) to 86400 (a day). No value means "for ever".
  static bool TimeoutMilliseconds(double seconds, long* milliseconds);

  bool IsLoggedIn() const { return m_bLoggedIn; }
  // Empty: the cookie lives in libcurl's memory, never in a file.
  const std::string& GetCookieFile() const { return m_sCookieFile; }
  const std::string& GetDebugFile() const { return m_sDebugFile; }
  const std::string& GetHeaderFile() const { return m_sHeaderFile; }

  // False for a session set up before this process was forked from the one
  // that set it up: its handles, connections and cookie are the parent's.
  bool BelongsToThisProcess() const;

  // Called by the transport's callbacks (free functions with C linkage
  // signatures); not for callers.
  size_t TakeHeader(const char* data, size_t bytes);
  size_t TraceHeader(const char* data, size_t bytes);
  int TraceDebug(int type, const char* data, size_t bytes);

 private:
  bool Perform(const char* what, bool login);
  bool SignIn(bool refused);
  bool JoinSharedSession();
  bool TakeIdleHandle();
  void ReleaseHandle();
  bool ResolveSettings();
  bool ApplyLimits();
  // Tracing on when the configuration asks for it: the trace files and their lock.
  bool StartTracing();
  bool CreateHandles();
  bool PostLoginForm();
  bool LoginAccepted();
  bool SetUpTraceFiles();
  void Fail(eCelerraErrorKind kind, const std::string& message);
  CelerraError DescribeTransferFailure(int code, const char* what, bool login) const;
  bool HeadFailure(int code, const std::string& exchange, bool login, CelerraError& out) const;
  bool PostRequest(CelerraXMLMessageReq* request, CelerraXMLMessageResp* response, long* httpCode);
  bool AppendTrace(const std::string& path, const char* failureText, const char* typeLine, const char* data,
                   size_t bytes);

  std::unique_ptr<OxNamedMutex> m_pNamedMutex;
  unsigned long long m_JobId = 0;
  std::string m_sControlHost;
  std::string m_sUserName;
  std::string m_sPassword;
  void* m_pCurl = nullptr;
  std::unique_ptr<CelerraHTTPInterface_PIMPL> m_pPIMPL;
  bool m_bCurlInitialized = false;
  EvEvent m_Event;
  bool m_bTraceXMLMessages = false;
  std::string m_sTempDir;
  std::string m_sDebugFile;
  std::string m_sHeaderFile;
  std::string m_sCookieFile;
  bool m_bLoggedIn = false;
  long long m_CelerraHttpErrorCode = 0;
  int m_LastCode = 0;  // libcurl result of the last transfer
  pid_t m_Pid = 0;     // the process that set the session up
};
