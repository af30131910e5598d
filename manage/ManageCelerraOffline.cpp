// Offline-archive configuration: prepares the file system behind a CIFS share
// so that its files can be stubbed out to an archive server and read back.
//
// The control station answers slowly and sometimes not at all while it is
// busy with DHSM work, so most exchanges are tried up to nine times with a
// 15-second pause after each failed attempt. Tasks are only submitted: the
// server carries them out later.
#include <arpa/inet.h>

#include <algorithm>
#include <cstring>
#include <exception>
#include <functional>

#include "manage/ManageCelerraPrivate.h"
#include "messages/catalogue/DhsmMessages.h"
#include "messages/catalogue/HttpFeatureMessages.h"
#include "messages/internal/ValueCheck.h"
#include "platform/CTuIPAddr.h"
#include "platform/TuSleep.h"

namespace {

constexpr unsigned kAttempts = 9;
constexpr unsigned long kPauseMs = 15000;
constexpr unsigned long kPauseTickMs = 1000;  // how often a pause reports the time left
const char kVendorId[] = "1";
const char kReadPolicyOverride[] = "full";
const char kOfflineAttr[] = "true";
const char kHttpFeature[] = "dhsm";
const char kFeatureChange[] = "append";
const char kCifsScheme[] = "cifs:";

bool StartsWith(const std::string& text, const char* prefix) {
  return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The server of "//server/share": the text after the two slashes, cut before
// the next slash unless that slash comes first.
std::string ServerOf(const std::string& share) {
  std::string server = share.substr(2);
  size_t slash = server.find('/');
  if (slash != std::string::npos && slash != 0) server.resize(slash);
  return server;
}

// What follows "//server/" in `share`; empty when nothing does.
std::string PathAfter(const std::string& share, const std::string& server) {
  size_t at = server.size() + 3;
  return at < share.size() ? share.substr(at) : std::string();
}

// True for an address that names no host at all (0.0.0.0, ::): allowing it
// would open the HTTP feature to hosts that have nothing to do with the
// archive.
bool IsUnspecifiedAddress(const std::string& text) {
  unsigned char bytes[16] = {0};
  if (inet_pton(AF_INET, text.c_str(), bytes) != 1 && inet_pton(AF_INET6, text.c_str(), bytes) != 1) return false;
  for (unsigned char b : bytes)
    if (b) return false;
  return true;
}

}  // namespace

namespace celerra_internal {

// One run of ConfigureFilerForOffLineServer: the steps in their order, each
// a method, over what the earlier steps found out.
class OfflineConfiguration {
 public:
  struct Input {
    std::string celerraShare;
    std::string arkivAgentShare;
    const std::string& userName;
    const std::string& password;
    bool skipConnectionLookup;
    bool setOfflineAttr;
  };

  OfflineConfiguration(ManageCelerra& facade, Input input)
      : m_Facade(facade), m_Event(facade.m_Event), m_LastError(facade.m_LastError), m_In(std::move(input)) {}

  // The whole configuration; an exception raised in it ends it as a failure.
  bool Run() {
    try {
      return RunSteps();
    } catch (const std::exception& e) {
      CEL_ERROR(m_Event, "Offline server configuration stopped by an exception: %s", e.what());
    } catch (...) {
      CEL_ERROR(m_Event, "Offline server configuration stopped by an unknown exception");
    }
    return Refuse("offline server configuration stopped by an internal error");
  }

 private:
  enum class Attempt { Done, Again, AgainAfterPause };

  bool RunSteps() {
    // Everything that can be refused is refused before the first exchange.
    if (!ReadShares() || !ResolveArchiveServer()) return false;
    if (!m_Facade.HasLoginParameters()) {
      CEL_ERROR(m_Event, "Control host, user name or password is not set; unable to configure the offline server");
      return Refuse("control host, user name or password not set");
    }
    if (!FindFileSystem()) return false;
    if (!m_In.skipConnectionLookup) FindConnection();
    if (!(m_ConnectionId.empty() ? CreateConnection() : ModifyConnection())) return false;
    if (m_In.setOfflineAttr) SetOfflineAttribute();
    if (!ArchiveAddressAllowed() && !AllowArchiveAddress()) return false;
    CEL_DEBUG(m_Event, 2, "Done Processing CelerraShare='%s' and ArkivAgentShare='%s'", m_In.celerraShare.c_str(),
              m_In.arkivAgentShare.c_str());
    // Failed attempts that were retried, and an offline attribute that could
    // not be set, are in the log: the call succeeded and leaves a clean record.
    m_Facade.ClearLastError();
    return true;
  }

  // ---------------------------------------------------------------- the steps

  // 1. The shares, and the servers and paths in them. Backslashes are the
  // Windows way of writing the same path.
  bool ReadShares() {
    std::string& celerraShare = m_In.celerraShare;
    std::string& arkivAgentShare = m_In.arkivAgentShare;
    std::replace(celerraShare.begin(), celerraShare.end(), '\\', '/');
    std::replace(arkivAgentShare.begin(), arkivAgentShare.end(), '\\', '/');
    CEL_DEBUG(m_Event, 2, "Processing CelerraShare='%s' and ArkivAgentShare='%s'", celerraShare.c_str(),
              arkivAgentShare.c_str());
    if (celerraShare.empty()) {
      CEL_ERROR(m_Event, "No Celerra share given; expected //server/share or cifs://server/share");
      return Refuse("no file server share given");
    }
    if (!InputsMaySend()) return false;

    m_Url = StartsWith(celerraShare, "cifs://") ? celerraShare : kCifsScheme + celerraShare;
    // The server name is the connection's local server: taken from the share
    // whether it was written //S/P or cifs://S/P.
    m_CelerraServer = celerraShare;
    std::string plainShare = StartsWith(celerraShare, "cifs://") ? celerraShare.substr(5) : celerraShare;
    if (StartsWith(plainShare, "//")) {
      m_CelerraServer = ServerOf(plainShare);
      std::string celerraSharePath = PathAfter(plainShare, m_CelerraServer);
      CEL_DEBUG(m_Event, 6, "Got server '%s' from %s, and share is %s", m_CelerraServer.c_str(), celerraShare.c_str(),
                celerraSharePath.c_str());
    }

    if (StartsWith(arkivAgentShare, "//")) {
      m_ArkivServer = ServerOf(arkivAgentShare);
      CEL_DEBUG(m_Event, 6, "Got '%s' from %s", m_ArkivServer.c_str(), arkivAgentShare.c_str());
    }
    if (m_ArkivServer.empty()) {
      CEL_ERROR(m_Event, "Could not get ARKIV server from %s, and no server specified for input argument.!!!",
                arkivAgentShare.c_str());
      return Refuse("no archive server in the archive share '" + arkivAgentShare + "'");
    }
    m_ArkivSharePath = PathAfter(arkivAgentShare, m_ArkivServer);
    CEL_DEBUG(m_Event, 3, "Using '%s' for ARKIV server share", m_ArkivSharePath.c_str());
    return true;
  }

  // Checked before the first exchange: the values reach the server in
  // several steps, and a refusal half-way would leave a half-made
  // configuration behind.
  bool InputsMaySend() {
    const std::pair<const char*, const std::string*> inputs[] = {{"the file server share", &m_In.celerraShare},
                                                                 {"the archive share", &m_In.arkivAgentShare},
                                                                 {"the archive user name", &m_In.userName},
                                                                 {"the archive password", &m_In.password}};
    for (const auto& input : inputs) {
      std::string why = RefusedText(*input.second);
      if (why.empty()) continue;
      std::string text = std::string(input.first) + " holds " + why + "; nothing was changed";
      CEL_ERROR(m_Event, "Unable to configure the offline server: %s", text.c_str());
      return Refuse(text);
    }
    return true;
  }

  // The archive server's address decides which host may use the mover's
  // HTTP feature, so it must be known before anything is changed.
  bool ResolveArchiveServer() {
    CTuIPAddr address;
    CTuString text;
    CTuError resolved = CTuIPAddr::GetByName(m_ArkivServer.c_str(), address, CTuIPAddr::IP_ANY);
    if (resolved.ok()) resolved = address.GetAddressString(text);
    if (!resolved.ok()) {
      CEL_ERROR(m_Event, "Unable to resolve ARKIV server %s to an IP address: %s; nothing was changed",
                m_ArkivServer.c_str(), resolved.detail());
      return Refuse("unable to resolve archive server '" + m_ArkivServer + "': " + resolved.detail(),
                    ERROR_KIND_NOT_FOUND);
    }
    m_ArkivIp = text.c_str();
    if (m_ArkivIp.empty() || IsUnspecifiedAddress(m_ArkivIp)) {
      CEL_ERROR(m_Event, "ARKIV server %s resolved to the unusable address [%s]; nothing was changed",
                m_ArkivServer.c_str(), m_ArkivIp.c_str());
      return Refuse("archive server '" + m_ArkivServer + "' resolved to the unusable address '" + m_ArkivIp + "'",
                    ERROR_KIND_NOT_FOUND);
    }
    return true;
  }

  // 2. The mover and file system behind the file server's share.
  bool FindFileSystem() {
    ReqFileSystemLocationQueryParams request(m_Facade.m_JobId, m_Url);
    bool sent = false;
    bool found = Retry("finding the file system", [&](unsigned) {
      RespFileSystemLocationQueryParams response(m_Facade.m_JobId);
      sent = Exchange(request, response);
      // A record without a file-system id locates nothing: the connection
      // query would go out without its filter and could find another file
      // system's connection.
      auto located = std::find_if(response.m_vLocations.begin(), response.m_vLocations.end(),
                                  [](const RespFileSystemLocationQueryParams::FileSystemLocation& location) {
                                    return !location.fileSystem.empty();
                                  });
      if (!sent || located == response.m_vLocations.end()) {
        CEL_ERROR(m_Event, "Could not find filesystem associated with URL %s!!!", m_Url.c_str());
        // An empty answer is the server's final word for now: ask again at once.
        return sent ? Attempt::Again : Attempt::AgainAfterPause;
      }
      m_MoverId = located->mover;
      m_FileSystemId = located->fileSystem;
      CEL_DEBUG(m_Event, 3, "Found Mover %s and fileSystem %s for Celrra share %s", m_MoverId.c_str(),
                m_FileSystemId.c_str(), m_In.celerraShare.c_str());
      return Attempt::Done;
    });
    if (found) return true;
    // Nine answers without a file system are a "not found"; a failed last
    // exchange keeps its own reason.
    if (sent) return Refuse("no file system found behind the share URL " + m_Url, ERROR_KIND_NOT_FOUND);
    return false;
  }

  // 3. An existing connection of this file system to the same archive share.
  void FindConnection() {
    CEL_DEBUG(m_Event, 2, "******* Please standby.... This request will take about 5 minutes...");
    ReqDhsmConnectionQueryParams request(m_Facade.m_JobId, m_FileSystemId, std::string());
    RespDhsmConnectionQueryParams response(m_Facade.m_JobId);
    Retry("looking for an existing connection", [&](unsigned) {
      // The session appends a reply to what the response holds: a reused
      // response starts each attempt empty, or an earlier partial reply
      // would spoil every later parse.
      response.init();
      response.m_vConnections.clear();
      if (!Exchange(request, response)) return Attempt::AgainAfterPause;
      for (const auto& c : response.m_vConnections) {
        // Only this file system's connections: another one's, to the same
        // archive share, is not ours to modify.
        if (c.fileSystem != m_FileSystemId || c.secondaryLocation.host != m_ArkivServer) continue;
        if (c.secondaryLocation.share == m_ArkivSharePath) {
          m_ConnectionId = c.connection;
          CEL_DEBUG(m_Event, 6, "Found matching connection %s:%s", c.connection.c_str(),
                    c.secondaryLocation.share.c_str());
          break;
        }
        CEL_DEBUG(m_Event, 6, "Connection %s associated share %s does not match %s", c.connection.c_str(),
                  c.secondaryLocation.share.c_str(), m_ArkivSharePath.c_str());
      }
      return Attempt::Done;
    });
  }

  // 4. Create the connection, or bring the matching one up to date.
  bool CreateConnection() {
    CEL_DEBUG(m_Event, 3,
              "URL '%s', is part of FileSystem ID %s, but does not have connection to ARKIV server %s. Calling "
              "ReqNewCifsDhsmConnection(xxx,%s,%s,%s,%s,%s,###)",
              m_Url.c_str(), m_FileSystemId.c_str(), m_ArkivServer.c_str(), m_FileSystemId.c_str(),
              m_CelerraServer.c_str(), m_ArkivSharePath.c_str(), m_ArkivServer.c_str(), m_In.userName.c_str());
    ReqNewCifsDhsmConnection request(m_Facade.m_JobId, m_FileSystemId, m_CelerraServer, m_ArkivSharePath, m_ArkivServer,
                                     m_In.userName, m_In.password, kVendorId);
    auto announce = [&] { CEL_DEBUG(m_Event, 3, "Adding connection to ARKIV server %s.", m_ArkivServer.c_str()); };
    if (SubmitConnection<RespNewCifsDhsmConnection>("creating the connection", request, "add the connection", announce))
      return true;
    CEL_ERROR(m_Event,
              "Failed to submit reqest to create new cifs connection for %s on Celerra share %s for FileSystemID "
              "%s",
              m_In.arkivAgentShare.c_str(), m_In.celerraShare.c_str(), m_FileSystemId.c_str());
    return false;
  }

  bool ModifyConnection() {
    CEL_DEBUG(m_Event, 3,
              "Celerra share '%s' has connection %s associated with share %s.  Going to try to modify the "
              "connection to make sure it's upto date.",
              m_In.celerraShare.c_str(), m_ConnectionId.c_str(), m_In.arkivAgentShare.c_str());
    ReqModifyCifsDhsmConnection request(m_Facade.m_JobId, m_FileSystemId, m_ConnectionId, m_CelerraServer,
                                        m_In.userName, m_In.password, kReadPolicyOverride, std::string(),
                                        std::string());
    auto announce = [&] {
      CEL_DEBUG(m_Event, 3, "Modifying connection %s to ARKIV server %s.", m_ConnectionId.c_str(),
                m_ArkivServer.c_str());
    };
    if (SubmitConnection<RespModifyCifsDhsmConnection>("modifying the connection", request, "modify the connection",
                                                       announce))
      return true;
    CEL_ERROR(m_Event,
              "Failed to submit reqest to modify cifs connection for %s on Celerra share %s for FileSystemID %s "
              "on connection %s",
              m_In.arkivAgentShare.c_str(), m_In.celerraShare.c_str(), m_FileSystemId.c_str(), m_ConnectionId.c_str());
    return false;
  }

  // Up to kAttempts submissions of either connection task: `announce` logs
  // each attempt's first line, `what` names the task in a failed attempt's.
  template <class Resp>
  bool SubmitConnection(const char* step, CelerraXMLMessageReq& request, const char* what,
                        const std::function<void()>& announce) {
    return Retry(step, [&](unsigned n) {
      announce();
      Resp response(m_Facade.m_JobId);
      if (!Exchange(request, response)) {
        LogRefusal(what, n);
        return Attempt::AgainAfterPause;
      }
      CEL_DEBUG(m_Event, 2,
                "Task was sent successfully to add new connection for share %s to Celerra filer %s on FileSystem "
                "%s.  Task may take 15 minutes to complete.",
                m_In.arkivAgentShare.c_str(), m_In.celerraShare.c_str(), m_FileSystemId.c_str());
      return Attempt::Done;
    });
  }

  // 5. The offline attribute: one attempt, and the configuration goes on
  // whatever its outcome.
  void SetOfflineAttribute() {
    Progress("setting the offline attribute", 1, 1, 0);
    ReqModifyFilesystemDHSM request(m_Facade.m_JobId, m_FileSystemId, kOfflineAttr, kReadPolicyOverride, std::string(),
                                    std::string(), std::string());
    RespModifyFilesystemDHSM response(m_Facade.m_JobId);
    if (Exchange(request, response)) {
      CEL_DEBUG(m_Event, 6,
                "Task was sent successfully to set offline attr option on FileSystem %s.   Task may take 15 "
                "minutes to complete.",
                m_FileSystemId.c_str());
    } else {
      CEL_WARN(m_Event, 0, "Could not set offline attr option on FileSystem %s", m_FileSystemId.c_str());
    }
  }

  // 6. The archive server's address among the hosts allowed to use the
  // mover's DHSM HTTP feature: is it there already?
  bool ArchiveAddressAllowed() {
    CEL_DEBUG(m_Event, 3, "Searching for ARKIV IP address %s in mover %s", m_ArkivIp.c_str(), m_MoverId.c_str());
    bool allowed = false;
    ReqMoverHttpFeatureQueryParams request(m_Facade.m_JobId, m_MoverId);
    RespMoverHttpFeatureQueryParams response(m_Facade.m_JobId);
    Retry("reading the mover's HTTP feature", [&](unsigned n) {
      response.init();
      response.m_vMoversConfig.clear();
      if (!Exchange(request, response)) {
        CEL_DEBUG(m_Event, 3, "Will try RespMoverHttpFeatureQueryParams again; retry-count=%lu",
                  static_cast<unsigned long>(n - 1));
        return Attempt::AgainAfterPause;
      }
      CEL_DEBUG(m_Event, 3, "RespMoverHttpFeatureQueryParams Success with %lu item(s)",
                static_cast<unsigned long>(response.m_vMoversConfig.size()));
      allowed = HoldsArchiveAddress(response);
      return Attempt::Done;
    });
    return allowed;
  }

  bool HoldsArchiveAddress(const RespMoverHttpFeatureQueryParams& response) {
    for (const auto& config : response.m_vMoversConfig) {
      for (const std::string& host : config.validHostList) {
        if (host == m_ArkivIp) {
          CEL_DEBUG(m_Event, 6, "Found matching Ip address for %s:%s", host.c_str(), m_ArkivIp.c_str());
          return true;
        }
        CEL_DEBUG(m_Event, 6, "Ip address %s does not match %s", host.c_str(), m_ArkivIp.c_str());
      }
    }
    return false;
  }

  // ... and if not, add it.
  bool AllowArchiveAddress() {
    ReqModifyHTTPFeatureUsersandHosts request(m_Facade.m_JobId, m_MoverId, m_ArkivIp, m_In.userName, kFeatureChange,
                                              kHttpFeature);
    RespModifyHTTPFeatureUsersandHosts response(m_Facade.m_JobId);
    return Retry("allowing the archive server's address", [&](unsigned n) {
      response.init();
      if (Exchange(request, response)) {
        CEL_DEBUG(m_Event, 2,
                  "Task was sent successfully to add IP address %s to Celerra filer %s on FileSystem %s, mover %s.  "
                  "Task may take 15 minutes to complete.",
                  m_ArkivIp.c_str(), m_In.celerraShare.c_str(), m_FileSystemId.c_str(), m_MoverId.c_str());
        return Attempt::Done;
      }
      CEL_ERROR(m_Event, "Failed to send task to add IP address %s to Celerra filer %s on FileSystem %s, mover %s.",
                m_ArkivIp.c_str(), m_In.celerraShare.c_str(), m_FileSystemId.c_str(), m_MoverId.c_str());
      LogRefusal("add the archive server's address", n);
      return Attempt::AgainAfterPause;
    });
  }

  // ---------------------------------------------------------------- what the steps share

  // A failure before (or instead of) an exchange: the caller reads why from
  // the last error.
  bool Refuse(const std::string& why, eCelerraErrorKind kind = ERROR_KIND_INPUT) {
    m_LastError = CelerraError::Failure(kind, why);
    return false;
  }

  void Progress(const char* step, unsigned attempt, unsigned attempts, unsigned long pauseMs) {
    if (!m_Facade.m_Progress) return;
    CelerraProgress p;
    p.step = step;
    p.attempt = attempt;
    p.attempts = attempts;
    p.pauseMs = pauseMs;
    try {
      m_Facade.m_Progress(p);
    } catch (...) {
      // A display problem must not end the configuration.
    }
  }

  // One exchange; an exception raised inside it counts as a failed one.
  bool Exchange(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response) {
    try {
      return m_Facade.ProcessRequestAndResponse(request, response, EvDebug::LVL_ERROR);
    } catch (const std::exception& e) {
      CEL_ERROR(m_Event, "Exchange [%s] ended with an exception: %s", request.GetMessageName(), e.what());
    } catch (...) {
      CEL_ERROR(m_Event, "Exchange [%s] ended with an unknown exception", request.GetMessageName());
    }
    return false;
  }

  // Up to kAttempts attempts of one step, with the pause after an attempt
  // that asks for it (none after the last). True once an attempt is done.
  bool Retry(const char* step, const std::function<Attempt(unsigned)>& attempt) {
    for (unsigned n = 1; n <= kAttempts; ++n) {
      Progress(step, n, kAttempts, 0);
      Attempt outcome = attempt(n);
      if (outcome == Attempt::Done) return true;
      // A request refused before it was sent is refused again the next time.
      if (m_LastError.m_eKind == ERROR_KIND_INPUT) return false;
      if (outcome == Attempt::AgainAfterPause && n < kAttempts) {
        Progress(step, n, kAttempts, kPauseMs);
        TuSleepTicking(kPauseMs, kPauseTickMs, [&](unsigned long left) { Progress(step, n, kAttempts, left); });
      }
    }
    return false;
  }

  // The server's reason for the last failed exchange, for the attempt's line.
  void LogRefusal(const char* what, unsigned n) {
    CEL_ERROR(m_Event, "Attempt %u of %u to %s failed: status [%u], messageCode [%s], message [%s]", n, kAttempts, what,
              static_cast<unsigned>(m_LastError.m_eStatus), m_LastError.m_sMessageCode.c_str(),
              m_LastError.m_sMessage.c_str());
  }

  ManageCelerra& m_Facade;
  ManageCelerra::LogContext& m_Event;
  CelerraError& m_LastError;
  Input m_In;
  // Found by the steps, in their order.
  std::string m_Url;            // the share as a cifs: URL
  std::string m_CelerraServer;  // the connection's local server
  std::string m_ArkivServer;
  std::string m_ArkivSharePath;
  std::string m_ArkivIp;
  std::string m_MoverId;
  std::string m_FileSystemId;
  std::string m_ConnectionId;  // empty: no connection to the archive share yet
};

}  // namespace celerra_internal

void ManageCelerra::SetProgressCallback(std::function<void(const CelerraProgress&)> callback) {
  m_Progress = std::move(callback);
}

bool ManageCelerra::ConfigureFilerForOffLineServer(std::string celerraShare, std::string arkivAgentShare,
                                                   const std::string& userName, const std::string& password,
                                                   bool skipConnectionLookup, bool setOfflineAttr, bool reserved) {
  celerra_internal::OperationLog log(*this, "ConfigureFilerForOffLineServer");
  (void)reserved;
  celerra_internal::OfflineConfiguration configuration(
      *this,
      {std::move(celerraShare), std::move(arkivAgentShare), userName, password, skipConnectionLookup, setOfflineAttr});
  return configuration.Run();
}
