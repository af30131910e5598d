// The HTTPS session with the control station: transport set-up, one login
// with the server's form, the session cookie, one POST per request document,
// optional trace files, and the inter-process lock around shared cookie data
// and trace writes.
#pragma once

#include <memory>
#include <string>

#include "messages/CelerraXMLMessage.h"
#include "platform/CelerraExport.h"
#include "platform/EvDebug.h"
#include "platform/OxNamedMutex.h"

struct CelerraHTTPInterface_PIMPL;

// The text of the last transport error of any session in the process, at
// most 512 characters; what ManageCelerra::GetLastError1 appends.
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

  bool IsLoggedIn() const { return m_bLoggedIn; }
  const std::string& GetCookieFile() const { return m_sCookieFile; }
  const std::string& GetDebugFile() const { return m_sDebugFile; }
  const std::string& GetHeaderFile() const { return m_sHeaderFile; }

  // Called by the transport's callbacks (free functions with C linkage
  // signatures); not for callers.
  void LockShared(int data, int access);
  void UnlockShared(int data);
  size_t TraceHeader(const char* data, size_t bytes);
  int TraceDebug(int type, const char* data, size_t bytes);

 private:
  bool Perform(const char* what);
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
};
