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
namespace celerra_internal {
class FacadeExchange;
class OfflineConfiguration;
class OperationLog;
}  // namespace celerra_internal

// Where a long-running operation stands (the offline-server configuration
// can take minutes). Handed to the facade's progress callback.
struct CelerraProgress {
  const char* step = "";  // what is being done, e.g. "finding the file system"
  unsigned attempt = 0;   // 1-based attempt of this step
  unsigned attempts = 0;  // attempts the step may take
  // Not 0: this attempt failed, and the next starts in this many
  // milliseconds. Reported when the pause starts and then once a second
  // until it ends, so that a caller can count it down without a clock.
  unsigned long pauseMs = 0;
};

// Receives every log line of the library in the host's own code (see
// ManageCelerra::SetLogCallback): its level (0 error, 1 what a failed
// operation's steps said, 2 and above debug), the job id of the facade that
// wrote it (0 outside a facade), and the text, without time stamp or process
// id. `userData` is the pointer given with the callback.
typedef void (*CelerraLogCallback)(int level, unsigned long long jobId, const char* text, void* userData);

// What every operation below has in common, unless its comment says
// otherwise:
//
// - It returns true on success, and then leaves a clean record (status ok,
//   kind none, every text empty; DeleteChkPt keeps the code of "deleted
//   already") and writes nothing at the default log threshold; an answer the
//   comment counts as success (already there, already gone) is a success in
//   this too. On failure it returns false,
//   GetLastError1() says why (its status is never STATUS_OK then, and its
//   kind says which kind of failure it was), and it writes exactly one line
//   at the error level: "<operation> failed [<kind>]: <reason>", the reason
//   being the record's message and the server's code when there is one.
//   What its steps said is written at level 1 (CELERRA_LOG_LEVEL=1 shows
//   it), and its debug lines at 2 and above. Every line carries the
//   facade's job id.
// - A lookup by name, id or path whose answer shows that the object does not
//   exist fails with ERROR_KIND_NOT_FOUND: an empty answer to what was asked
//   for, or the server's "no such object" problem (its code and message kept
//   in the record; messages/ServerCodes.h lists those codes). A listing
//   that matches nothing is a success with an empty list where the comment
//   says so.
// - Inputs are checked before anything is sent: control host, user and
//   password not set, a required argument empty, or a value holding control
//   characters or invalid UTF-8 end the call with an ERROR_KIND_INPUT record
//   and no traffic. So is a text boolean ("true" or "false", lower case
//   only) holding anything else. Such a refusal leaves the outputs as they
//   were unless the comment says they are cleared first.
// - Past the input checks the last error is cleared, then the operation
//   sends its request: one HTTPS exchange (the facade's first one also logs
//   in: one more). A reply the server refused is a failure with the server's
//   problem in the record (ERROR_KIND_SERVER, or ERROR_KIND_NOT_FOUND as
//   above), unless the comment names the
//   server codes that count as success (messages/ServerCodes.h holds them).
//   A reply that parsed but lacks what was asked for is ERROR_KIND_REPLY.
// - It blocks the calling thread for at most the transfer time-out per
//   exchange (900 s unless set). A task (creating, deleting, restoring,
//   mounting) is carried out by the server within its own 600 s limit, inside
//   the one exchange.
// - A facade is used by one thread at a time; separate facades may run in
//   separate threads and processes at once.
class CELERRA_API ManageCelerra {
 public:
  ManageCelerra();
  // `jobId` goes into every log line of this facade.
  explicit ManageCelerra(unsigned long long jobId);
  // Ends the session.
  ~ManageCelerra();
  ManageCelerra(const ManageCelerra&) = delete;
  ManageCelerra& operator=(const ManageCelerra&) = delete;

  // The control station (a host name or address, optionally with ":port")
  // and the credentials the exchanges log in with. Sends nothing.
  void SetControlHostInfo(std::string host, std::string user, std::string password);
  // Sets up the facade's HTTPS session if it is not set up yet; false when it
  // cannot be (the last error says why). The operations call it themselves.
  bool IsHTTPClientInitialized();
  // The last error becomes the empty record (status ok, kind none, every
  // text empty), and m_ErrorCode 0.
  void ClearLastError();
  // One exchange of a request and response of the library's message
  // catalogue (for the library's own message classes; not for callers of
  // the installed interface). True when a reply arrived and the server
  // accepted the request; otherwise the response's record becomes the last
  // error, logged as a summary line at `level`.
  bool ProcessRequestAndResponse(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response, CelerraLogLevel level);
  // The last error of this facade. After a failure its status is never
  // STATUS_OK and m_eKind says which kind of failure it was (a server's
  // problem reads ERROR_KIND_SERVER, or ERROR_KIND_NOT_FOUND for "no such
  // object"). For a failure of the transfer (connect, time-out, TLS,
  // transport) libcurl's words are appended to the message (": [text]") in
  // the copy returned, unless the message holds them already; nothing is
  // appended otherwise, and the empty record has an empty message. The
  // facade's record itself is not changed.
  CelerraError GetLastError1();

  // Every log line of the process goes to `callback` (with `userData`) in
  // place of standard error or CELERRA_LOG_FILE; null restores those. The
  // lines are those the threshold lets through. The callback runs on the
  // thread that logs, one line at a time (the library serialises the calls,
  // so it needs no lock of its own); it must not call the library, and an
  // exception it throws is swallowed. Safe to call from any thread.
  static void SetLogCallback(CelerraLogCallback callback, void* userData);
  // The process's log threshold: lines above `level` are dropped; -1 turns
  // logging off. The default is CELERRA_LOG_LEVEL, else 0 (one line per
  // failed operation, nothing on success).
  static void SetLogLevel(int level);

  // Transport settings of this facade, in place of the configuration's
  // (environment) values; see doc/library.md for those. Each setter returns
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
  // Whether this facade shares one login (the session cookie), TLS sessions
  // and resolved names (not connections) with the other facades of this process that use
  // the same control host and port, user, password and TLS settings: true
  // (the default) unless the configuration's sCELERRASHARESESSION is N;
  // false: a session of its own, as before sharing existed. The shared
  // state outlives its last facade by sCELERRASHAREIDLE seconds (default
  // 120). The next exchange starts a new session.
  void SetSessionSharing(bool share);

  // ------------------------------------------------------------ file systems

  // One production file system in detail. In: `pfsId`, or `pfsName` when
  // `pfsId` is empty (one of them must be given); the other one of the two is
  // filled from the reply. Out: `stgType` (pool or volume), `stgId` (the
  // pool's or volume's id) and `savVolId` (the save volume; empty without
  // checkpoints), cleared first; `moverId` and `moverIsVdm`, written once a
  // reply arrived. A file system the server lists without storage is
  // ERROR_KIND_REPLY; one it does not know, ERROR_KIND_NOT_FOUND.
  bool GetPFSInfo(std::string& pfsId, eCelerraStgType& stgType, std::string& stgId, std::string& savVolId,
                  std::string& pfsName, std::string& moverId, bool& moverIsVdm);
  // Every file system with its capacity figures (MB). `fileSystems` is
  // replaced with what the reply held, even when the reply is then judged a
  // failure (a list cut off by an unreadable record); it is left as it was
  // when no reply came. One exchange whatever the count (tens of thousands
  // are fine).
  bool GetFSInfo(std::vector<CelerraFileSystem_t>& fileSystems);
  // A file system's name and mover from its id. The three outputs are
  // cleared first, also when the input is refused. An id the server does not
  // know is ERROR_KIND_NOT_FOUND; a reply without the name or the mover,
  // ERROR_KIND_REPLY.
  bool GetFSNameByFSId(std::string fsId, std::string& fsName, std::string& moverId, bool& moverIsVdm);

  // ------------------------------------------------------------ checkpoints

  // A writeable checkpoint named `chkPtName` of file system `pfsId`, its
  // save space in the pool or volume `stgType`/`stgId`. With
  // `createBaseLine` the server makes a new read-only baseline for it
  // (named chkPtName + "_baseline"); without it `baseLineChkPtId` must name
  // the baseline to use. Out: `chkPtId` (cleared first) and
  // `baseLineChkPtId`, the baseline actually used, both read back from the
  // server's checkpoint list. A checkpoint of that name that exists already
  // (codes kRWCheckpointExistsTask, kRWCheckpointExistsNewBaseline,
  // kNameInUse) is returned as if it had been made. Cost: a server task and a
  // list query.
  bool CreateRWChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId, std::string chkPtName,
                     bool createBaseLine, std::string& baseLineChkPtId, std::string& chkPtId);
  // A read-only checkpoint, as CreateRWChkPt without a baseline. Out:
  // `chkPtId`, cleared first, read back from the server's list. No answer
  // but ok counts as success. Cost: a server task and a list query.
  bool CreateROChkPt(std::string pfsId, eCelerraStgType stgType, std::string stgId, std::string chkPtName,
                     std::string& chkPtId);
  // The ids of the checkpoint named exactly `chkPtName`. Both outputs are
  // cleared first (past the input check); `baseLineChkPtId` stays empty for a
  // read-only checkpoint. A name the server does not know, or a list
  // without it, is ERROR_KIND_NOT_FOUND, and both outputs stay empty.
  bool GetChkPointInfo(std::string chkPtName, std::string& chkPtId, std::string& baseLineChkPtId);
  // Every checkpoint, or those named `chkPtName` (empty: all). `chkPts` is
  // cleared first and holds the list only on success (never a partial one).
  // All of them, none there: success with an empty list; a name the server
  // does not know: ERROR_KIND_NOT_FOUND.
  bool GetChkPointsInfo(std::string chkPtName, std::list<CelerraChkPtInfo>& chkPts);
  // Deletes checkpoint `chkPtId`. With `deleteBaseLine` the server deletes
  // by force a baseline that still has writeable checkpoints, and those with
  // it; `baseLineChkPtId` is passed on as given. A checkpoint deleted already
  // (kCheckpointAlreadyDeleted) counts as deleted: success, status ok, kind
  // none and an empty message, with only m_sMessageCode holding that code.
  // An id the server does not know is ERROR_KIND_NOT_FOUND. Cost: a server
  // task.
  bool DeleteChkPt(std::string chkPtId, std::string baseLineChkPtId, bool deleteBaseLine);
  // Restores production file system `pfsId` from checkpoint `chkPtId`
  // (named `chkPtName`); all three are required. Cost: a server task.
  bool RestorePFSFromChkPt(std::string chkPtName, std::string chkPtId, std::string pfsId);

  // ------------------------------------------------------------ NFS exports

  // The NFS export of path `shareName` ("/" is put in front when missing).
  // The outputs are cleared first (`readOnly` set to true) and filled from a
  // reply about that very export; no export at that path is
  // ERROR_KIND_NOT_FOUND, a reply about another path ERROR_KIND_REPLY.
  bool GetNFSInfo(std::string shareName, std::string& pfsId, bool& readOnly, std::string& moverId,
                  std::vector<std::string>& accessHosts, std::vector<std::string>& rwHosts,
                  std::vector<std::string>& rootHosts);
  // Every NFS export. `exports` is replaced with what the reply held, as in
  // GetFSInfo; left as it was when no reply came.
  bool GetNFSInfo(std::vector<CelerraNFSInfo_t>& exports);
  // Exports the file system or checkpoint named `pfsOrChkPtName` on mover
  // `moverId` (both required), with the host lists given (read only, though
  // passed by reference). An export that exists already (kAlreadyExists)
  // counts; either way success needs the lookup that follows to find it.
  // Cost: two exchanges.
  bool CreateNFSShare(std::string pfsOrChkPtName, std::string moverId, bool readOnly,
                      std::vector<std::string>& accessHosts, std::vector<std::string>& rwHosts,
                      std::vector<std::string>& rootHosts);
  // Removes the export of path `shareName` from mover `moverId`. An export
  // that is not there (kDoesNotExist) counts as removed, with an empty record.
  bool DeleteNFSShare(std::string shareName, std::string moverId);

  // ------------------------------------------------------------ CIFS shares

  // Shares `path` as `shareName` on mover or VDM `moverId`, for the CIFS
  // servers named (empty: all of the mover's). Success is decided by the
  // lookup that follows, not by the server's answer: a share that exists
  // already counts, and when the lookup fails the record holds the server's
  // refusal if there was one. Cost: two exchanges.
  bool NewCifsShare(std::string shareName, std::string path, std::string moverId, bool moverIdIsVdm,
                    std::vector<std::string> cifsServers);
  // Removes share `shareName` from mover or VDM `moverId`. A share that is
  // not there (kDoesNotExist) counts as removed, with an empty record.
  bool DeleteCifsShare(std::string moverId, std::string shareName, bool moverIdIsVdm,
                       std::vector<std::string> cifsServers);
  // The share named `shareName`. `pfsId`, `moverId`, `cifsServers` are
  // cleared and `moverIdIsVdm` set to true first; `name` is written only on
  // success. No share of that name is ERROR_KIND_NOT_FOUND; a reply about
  // another share, or without file system or mover, ERROR_KIND_REPLY.
  bool GetCifsShareInfo(std::string shareName, std::string& pfsId, bool& moverIdIsVdm, std::string& moverId,
                        std::string& name, std::vector<std::string>& cifsServers);
  // Every CIFS share. `shares` is replaced with what the reply held, as in
  // GetFSInfo; left as it was when no reply came.
  bool GetCifsInfo(std::vector<CelerraCIFSInfo_t>& shares);

  // ------------------------------------------------------------ mounts

  // The mount paths of mover or VDM `moverId`; `moverIdIsVdm` is the text
  // "true" or "false", lower case (both required; any other text is refused
  // with ERROR_KIND_INPUT before anything is sent). `mountPaths` is replaced
  // with the reply's paths once a reply arrived (none: an empty list and
  // success). A mover or VDM the server does not know is
  // ERROR_KIND_NOT_FOUND.
  bool GetMountPts(std::string moverId, std::string moverIdIsVdm, std::vector<std::string>& mountPaths);
  // The mounts of mover or VDM `moverId` (empty: of all), only those at
  // `path` when it is not empty. `mounts` is replaced once a reply arrived.
  bool GetMountPtsInfo(std::vector<CelerraMountPointsInfo_t>& mounts, const std::string& moverId,
                       const bool& moverIdIsVdm, const std::string& path);
  // The mount at `path` (required) of mover or VDM `moverId` (empty: any).
  // `mount` is written only on success; no mount there is
  // ERROR_KIND_NOT_FOUND.
  bool GetMountPointInfo(CelerraMountPointsInfo_t& mount, const std::string& path, const std::string& moverId,
                         const bool& moverIdIsVdm);
  // Mounts file system or checkpoint `fileSystemId` at `mountPath` on mover
  // or VDM `moverId`; `moverIdIsVdm` is "true" or "false", lower case (any
  // other text: ERROR_KIND_INPUT, nothing sent). All required. A mover or
  // file system the server does not know is ERROR_KIND_NOT_FOUND. Cost: a
  // server task.
  bool CreateMount(std::string mountPath, std::string moverId, std::string fileSystemId, std::string moverIdIsVdm);

  // ------------------------------------------------------------ movers, VDMs and CIFS servers

  // Id to name of every data mover and VDM. `names` is replaced with the
  // movers once their reply arrived, and the VDMs are added (a VDM whose id
  // equals a mover's keeps the mover's name). Cost: two exchanges.
  bool GetMoverNames(std::map<std::string, std::string>& names);
  // The CIFS servers of mover `mover` (empty: of all). `servers` is written
  // only on success.
  bool GetCifsServers(std::vector<CelerraCifsServer_t>& servers, const std::string& mover);
  // Every address of the network device that carries `interfaceIp`,
  // `interfaceIp` among them. `aliases` is written only on success; an
  // address no device carries is ERROR_KIND_NOT_FOUND. m_ErrorCode says why
  // it failed in a number (see there).
  bool GetAliasList(const std::string& interfaceIp, std::set<std::string>& aliases);
  // The data mover that hosts VDM `vdm`, into `mover`. Returns true;
  // reports failure by throwing int 1 (the last error says why), as its old
  // callers expect; a VDM the server does not list is ERROR_KIND_NOT_FOUND.
  // Clears the last error first, like the others.
  bool GetMoverForVdm(const std::string& vdm, std::string& mover);

  // ------------------------------------------------------------ storage inventory

  // Every storage pool; every iSCSI LUN (sizes in bytes). The vector is
  // replaced with what the reply held, as in GetFSInfo; left as it was when
  // no reply came.
  bool GetStgPoolInfo(std::vector<CelerraStgPoolInfo_t>& pools);
  bool GetLunInfo(std::vector<CelerraLunInfo_t>& luns);

  // ------------------------------------------------------------ offline archiving

  // Prepares the file system behind CIFS share `celerraShare`
  // ("//server/share" or "cifs://server/share"; backslashes are read as
  // slashes) so that its files can be moved to the archive share
  // `arkivAgentShare` ("//server/share") and read back: a connection from the
  // file system to the archive share with `userName`/`password` (made, or
  // brought up to date when one exists; with `skipConnectionLookup` none is
  // looked for), with `setOfflineAttr` the file system's offline attribute
  // (one attempt, its failure only logged), and the archive server's address
  // among the hosts allowed to use the mover's HTTP feature. `reserved` is
  // not used.
  //
  // Every value is checked and the archive server's name resolved before
  // anything is sent, so a refusal changes nothing (ERROR_KIND_INPUT, or
  // ERROR_KIND_NOT_FOUND for a name that does not resolve). Each step is
  // tried up to 9 times with a 15 s pause after a failed attempt; a file
  // system that cannot be found after that is ERROR_KIND_NOT_FOUND. True once
  // every task has been submitted: the server carries them out later. Cost:
  // several exchanges, and minutes when the control station is busy; the
  // progress callback hears of every attempt and pause.
  bool ConfigureFilerForOffLineServer(std::string celerraShare, std::string arkivAgentShare,
                                      const std::string& userName, const std::string& password,
                                      bool skipConnectionLookup, bool setOfflineAttr, bool reserved);
  // Optional: called on the caller's thread at each attempt of
  // ConfigureFilerForOffLineServer, and at the start of each pause and once a
  // second during it. An empty function switches it off; an exception it
  // throws is swallowed.
  void SetProgressCallback(std::function<void(const CelerraProgress&)> callback);

  // Numeric reason of the last GetAliasList failure: the login outcome code
  // (2: refused with HTTP 403) or 3 (address not found); 0 otherwise.
  long long m_ErrorCode;

  // Kept for old callers that pass them as placeholder arguments; the
  // library neither reads nor writes them.
  static bool bDummyVar;
  static std::string sDummyVar;

 private:
  // The request cycle (manage/internal/Exchange.h) works on the session and
  // the last error; it is the facade's own machinery, not part of this
  // interface.
  friend class celerra_internal::FacadeExchange;
  friend class celerra_internal::OfflineConfiguration;
  friend class celerra_internal::OperationLog;

  bool HasLoginParameters() const { return !m_sControlHost.empty() && !m_sUserName.empty() && !m_sPassword.empty(); }

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
