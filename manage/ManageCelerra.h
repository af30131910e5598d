// ManageCelerra: what a caller holds to manage one file server through its
// control station. One facade, one control host, one set of credentials and
// one job id; it owns the HTTP session, created on first use so that the
// login cookie serves every later exchange. Use a facade from one thread at
// a time; separate facades may run in separate threads and processes.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "messages/CelerraTypes.h"
#include "messages/catalogue/CelerraRecords.h"
#include "platform/CelerraExport.h"
#include "transport/CelerraTransportSettings.h"

// The library's own classes, only named here: a caller of the operations
// needs neither the message classes nor the platform layer, and this header
// keeps their names out of the caller's include path.
class CelerraHTTPInterface;
class CelerraXMLMessageReq;
class CelerraXMLMessageResp;
enum CelerraLogLevel : int;  // the platform logger's level type

// Where a long-running operation stands (the offline-server configuration
// can take minutes). Handed to the facade's progress callback.
struct CelerraProgress {
  const char* step = "";        // what is being done, e.g. "finding the file system"
  unsigned attempt = 0;         // 1-based attempt of this step
  unsigned attempts = 0;        // attempts the step may take
  // Not 0: this attempt failed, and the next starts in this many
  // milliseconds. Reported when the pause starts and then once a second
  // until it ends, so that a caller can count it down without a clock.
  unsigned long pauseMs = 0;
};

class CELERRA_API ManageCelerra {
 public:
  ManageCelerra();
  explicit ManageCelerra(unsigned long long jobId);
  ~ManageCelerra();
  ManageCelerra(const ManageCelerra&) = delete;
  ManageCelerra& operator=(const ManageCelerra&) = delete;

  void SetControlHostInfo(std::string host, std::string user, std::string password);
  bool IsHTTPClientInitialized();
  void ClearLastError();
  // One exchange of a request and response of the library's message
  // catalogue; `level` is the log level of the summary line on failure.
  bool ProcessRequestAndResponse(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response,
                                 CelerraLogLevel level);
  // The last error of this facade, with the libcurl text of this facade's
  // own session appended to its message (": [text]") in the copy returned.
  // After a failure its status is never STATUS_OK and m_eKind says which
  // kind of failure it was (a server's problem reads ERROR_KIND_SERVER).
  CelerraError GetLastError1();

  // Transport settings of this facade, in place of the configuration's
  // (environment) values; see the README for those. Each setter returns
  // false for a refused value, with one log line and an ERROR_KIND_INPUT
  // record in the last error, and the setting stays as it was. A setting
  // takes effect at the next exchange.
  //
  // Time-outs: seconds, a finite number from 0.001 to 86400. The connect
  // time-out also bounds the wait for the trace lock; the transfer time-out
  // bounds one whole exchange.
  bool SetConnectTimeout(double seconds);
  bool SetTransferTimeout(double seconds);
  // A CA bundle (PEM file) to verify the control station's certificate and
  // host name against; it must be readable now. Empty: the configuration's
  // (sCELERRACABUNDLE), else no verification. The next exchange starts a new
  // session (and logs in again) with it.
  bool SetCABundle(const std::string& path);
  // The control station's public key, "sha256//<base64 hash>" or a PEM/DER
  // file that must be readable now. Empty: the configuration's
  // (sCELERRAPINNEDPUBKEY), else none. The next exchange starts a new
  // session with it.
  bool SetPinnedPublicKey(const std::string& key);
  // The largest reply taken, in bytes (at least 1); a larger one ends its
  // exchange with ERROR_KIND_REPLY_TOO_LARGE. Without it: the configuration's
  // (sCELERRAMAXREPLYSIZE), else 256 MiB.
  bool SetMaxReplySize(unsigned long long bytes);

  // File systems
  bool GetPFSInfo(std::string& pfsId, eCelerraStgType& stgType, std::string& stgId, std::string& savVolId,
                  std::string& pfsName, std::string& moverId, bool& moverIsVdm);
  bool GetFSInfo(std::vector<CelerraFileSystem_t>& fileSystems);
  bool GetFSNameByFSId(std::string fsId, std::string& fsName, std::string& moverId, bool& moverIsVdm);

  // Checkpoints
  bool CreateRWChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId, std::string chkPtName,
                     bool createBaseLine, std::string& baseLineChkPtId, std::string& chkPtId);
  bool CreateROChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId, std::string chkPtName,
                     std::string& chkPtId);
  bool GetChkPointInfo(std::string chkPtName, std::string& chkPtId, std::string& baseLineChkPtId);
  bool GetChkPointsInfo(std::string chkPtName, std::list<CelerraChkPtInfo>& chkPts);
  bool DeleteChkPt(std::string chkPtId, std::string baseLineChkPtId, bool deleteBaseLine);
  bool RestorePFSFromChkPt(std::string chkPtName, std::string chkPtId, std::string pfsId);

  // NFS exports
  bool GetNFSInfo(std::string shareName, std::string& pfsId, bool& readOnly, std::string& moverId,
                  std::vector<std::string>& accessHosts, std::vector<std::string>& rwHosts,
                  std::vector<std::string>& rootHosts);
  bool GetNFSInfo(std::vector<CelerraNFSInfo_t>& exports);
  bool CreateNFSShare(std::string pfsOrChkPtName, std::string moverId, bool readOnly,
                      std::vector<std::string>& accessHosts, std::vector<std::string>& rwHosts,
                      std::vector<std::string>& rootHosts);
  bool DeleteNFSShare(std::string shareName, std::string moverId);

  // CIFS shares
  bool NewCifsShare(std::string shareName, std::string path, std::string moverId, bool moverIdIsVdm,
                    std::vector<std::string> cifsServers);
  bool DeleteCifsShare(std::string moverId, std::string shareName, bool moverIdIsVdm,
                       std::vector<std::string> cifsServers);
  bool GetCifsShareInfo(std::string shareName, std::string& pfsId, bool& moverIdIsVdm, std::string& moverId,
                        std::string& name, std::vector<std::string>& cifsServers);
  bool GetCifsInfo(std::vector<CelerraCIFSInfo_t>& shares);

  // Mounts
  bool GetMountPts(std::string moverId, std::string moverIdIsVdm, std::vector<std::string>& mountPaths);
  bool GetMountPtsInfo(std::vector<CelerraMountPointsInfo_t>& mounts, const std::string& moverId,
                       const bool& moverIdIsVdm, const std::string& path);
  bool GetMountPointInfo(CelerraMountPointsInfo_t& mount, const std::string& path, const std::string& moverId,
                         const bool& moverIdIsVdm);
  bool CreateMount(std::string mountPath, std::string moverId, std::string fileSystemId, std::string moverIdIsVdm);

  // Movers, VDMs and CIFS servers
  bool GetMoverNames(std::map<std::string, std::string>& names);
  bool GetCifsServers(std::vector<CelerraCifsServer_t>& servers, const std::string& mover);
  bool GetAliasList(const std::string& interfaceIp, std::set<std::string>& aliases);
  // Reports failure by throwing int 1.
  bool GetMoverForVdm(const std::string& vdm, std::string& mover);

  // Storage inventory
  bool GetStgPoolInfo(std::vector<CelerraStgPoolInfo_t>& pools);
  bool GetLunInfo(std::vector<CelerraLunInfo_t>& luns);

  // Offline archiving
  bool ConfigureFilerForOffLineServer(std::string celerraShare, std::string arkivAgentShare,
                                      const std::string& userName, const std::string& password,
                                      bool skipConnectionLookup, bool setOfflineAttr, bool reserved);
  // Optional: called on the caller's thread at each attempt of
  // ConfigureFilerForOffLineServer, and at the start of each pause and once a
  // second during it. An empty function switches it off.
  void SetProgressCallback(std::function<void(const CelerraProgress&)> callback);

  // Numeric reason of the last GetAliasList failure: the login outcome code
  // (2: refused with HTTP 403) or 3 (address not found).
  long long m_ErrorCode;

  static bool bDummyVar;
  static std::string sDummyVar;

 private:
  // The texts one operation logs when a step of its exchange fails; a null
  // text logs nothing for that step.
  struct ExchangeTexts {
    const char* allocFailed;
    const char* initFailed;
    const char* loginFailed;
    const char* serializeFailed;
    const char* sendFailed;
  };
  // Which step of an exchange failed, if any.
  enum class ExchangeStep { Done, Allocate, Initialize, Login, Serialize, Send };

  // The request cycle, written once: serialisation (a value that may not be
  // sent refuses the request before any traffic), session set-up,
  // credentials into the session, login and the POST (the response then
  // parses the reply). Logs the operation's text for a failed step and puts
  // why it failed into the last error and the response's.
  CELERRA_LOCAL ExchangeStep RunExchange(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response,
                                         const ExchangeTexts& texts);

  // Creates an operation's request and response with the job id; logs the
  // operation's allocation text and returns false when either can't be made.
  template <class Req, class Resp>
  CELERRA_LOCAL bool MakeMessages(std::unique_ptr<Req>& request, std::unique_ptr<Resp>& response,
                                  const ExchangeTexts& texts);

  // One whole exchange judged by the response's last error, which becomes
  // the facade's once a reply has arrived: the messages are made,
  // `fillRequest(request)` fills the request, and after the send
  // `readReply(response)` copies the results out. A server error logs
  // `failedText`; every failure then logs `closingText`. Used by the mount
  // operations.
  template <class Req, class Resp, class FillRequest, class ReadReply>
  CELERRA_LOCAL bool ExchangeAndJudge(const ExchangeTexts& texts, FillRequest fillRequest, ReadReply readReply,
                                      const std::string& failedText, const std::string& closingText);

  // One inventory listing (storage pools, LUNs): the exchange, the caller's
  // vector replaced with the parsed list, the parse's verdict, and the
  // response's last error on failure.
  template <class Req, class Resp, class Record>
  CELERRA_LOCAL bool RunInventory(std::vector<Record>& out, void (Resp::*read)(std::vector<Record>&) const,
                                  const char* start, const char* listFailed, const char* finalFailed);

  bool HasLoginParameters() const {
    return !m_sControlHost.empty() && !m_sUserName.empty() && !m_sPassword.empty();
  }

  // An operation's input refused before anything is sent: logs `text` and
  // makes it the message of an ERROR_KIND_INPUT record. Returns false.
  CELERRA_LOCAL bool RefuseInput(const std::string& text);
  // On an operation's failure path: a failure that left no record of its own
  // (a reply that parsed but lacked what the operation needs) must not leave
  // status "ok" behind for the caller to read.
  CELERRA_LOCAL void RecordFailure(const char* operation);
  // Why the session could not be set up or used, for the last error.
  CELERRA_LOCAL CelerraError SessionFailure() const;
  // The settings reach the session; a TLS change starts a new session.
  CELERRA_LOCAL void ApplySettings(bool newSession);

  unsigned long long m_JobId;
  std::string m_sControlHost;
  std::string m_sUserName;
  std::string m_sPassword;
  bool m_bHTTPClientInitialized;
  std::unique_ptr<CelerraHTTPInterface> m_pHTTPInterface;
  // The facade's logging context (the platform logger's, defined
  // in ManageCelerraPrivate.h); every facade log line goes through m_Event.
  struct LogContext;
  std::unique_ptr<LogContext> m_pLogContext;
  LogContext& m_Event;
  CelerraError m_LastError;
  std::function<void(const CelerraProgress&)> m_Progress;
  CelerraTransportSettings m_Settings;
};
