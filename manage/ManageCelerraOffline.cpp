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
#include "messages/internal/ValueCheck.h"
#include "messages/catalogue/HttpFeatureMessages.h"
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

enum class Attempt { Done, Again, AgainAfterPause };

}  // namespace

void ManageCelerra::SetProgressCallback(std::function<void(const CelerraProgress&)> callback) {
  m_Progress = std::move(callback);
}

bool ManageCelerra::ConfigureFilerForOffLineServer(std::string celerraShare, std::string arkivAgentShare,
                                                   const std::string& userName, const std::string& password,
                                                   bool skipConnectionLookup, bool setOfflineAttr, bool reserved) {
  (void)reserved;
  // Failures before any exchange (and a file system that cannot be found):
  // the caller reads why from the last error.
  auto refuse = [this](const std::string& why, eCelerraErrorKind kind = ERROR_KIND_INPUT) {
    m_LastError = CelerraError::Failure(kind, why);
    return false;
  };
  auto progress = [this](const char* step, unsigned attempt, unsigned attempts, unsigned long pauseMs) {
    if (!m_Progress) return;
    CelerraProgress p;
    p.step = step;
    p.attempt = attempt;
    p.attempts = attempts;
    p.pauseMs = pauseMs;
    try {
      m_Progress(p);
    } catch (...) {
      // A display problem must not end the configuration.
    }
  };
  // One exchange; an exception raised inside it counts as a failed one.
  auto exchange = [this](CelerraXMLMessageReq& request, CelerraXMLMessageResp& response) {
    try {
      return ProcessRequestAndResponse(request, response, EvDebug::LVL_ERROR);
    } catch (const std::exception& e) {
      CEL_ERROR(m_Event, "Exchange [%s] ended with an exception: %s", request.GetMessageName(), e.what());
    } catch (...) {
      CEL_ERROR(m_Event, "Exchange [%s] ended with an unknown exception", request.GetMessageName());
    }
    return false;
  };
  // Up to kAttempts attempts of one step, with the pause after an attempt
  // that asks for it (none after the last). True once an attempt is done.
  auto retry = [&](const char* step, const std::function<Attempt(unsigned)>& attempt) {
    for (unsigned n = 1; n <= kAttempts; ++n) {
      progress(step, n, kAttempts, 0);
      Attempt outcome = attempt(n);
      if (outcome == Attempt::Done) return true;
      // A request refused before it was sent is refused again the next time.
      if (m_LastError.m_eKind == ERROR_KIND_INPUT) return false;
      if (outcome == Attempt::AgainAfterPause && n < kAttempts) {
        progress(step, n, kAttempts, kPauseMs);
        TuSleepTicking(kPauseMs, kPauseTickMs, [&](unsigned long left) { progress(step, n, kAttempts, left); });
      }
    }
    return false;
  };
  // The server's reason for the last failed exchange, for the attempt's line.
  auto logRefusal = [this](const char* what, unsigned n) {
    CEL_ERROR(m_Event, "Attempt %u of %u to %s failed: status [%u], messageCode [%s], message [%s]", n, kAttempts,
              what, static_cast<unsigned>(m_LastError.m_eStatus), m_LastError.m_sMessageCode.c_str(),
              m_LastError.m_sMessage.c_str());
  };

  try {
    // 1. The shares. Backslashes are the Windows way of writing the same
    // path.
    for (char& c : celerraShare)
      if (c == '\\') c = '/';
    for (char& c : arkivAgentShare)
      if (c == '\\') c = '/';
    CEL_DEBUG(m_Event, 2, "Processing CelerraShare='%s' and ArkivAgentShare='%s'", celerraShare.c_str(),
              arkivAgentShare.c_str());
    if (celerraShare.empty()) {
      CEL_ERROR(m_Event, "No Celerra share given; expected //server/share or cifs://server/share");
      return refuse("no file server share given");
    }
    // Checked before the first exchange: the values reach the server in
    // several steps, and a refusal half-way would leave a half-made
    // configuration behind.
    const std::pair<const char*, const std::string*> inputs[] = {{"the file server share", &celerraShare},
                                                                 {"the archive share", &arkivAgentShare},
                                                                 {"the archive user name", &userName},
                                                                 {"the archive password", &password}};
    for (const auto& input : inputs) {
      std::string why = celerra_internal::RefusedText(*input.second);
      if (why.empty()) continue;
      std::string text = std::string(input.first) + " holds " + why + "; nothing was changed";
      CEL_ERROR(m_Event, "Unable to configure the offline server: %s", text.c_str());
      return refuse(text);
    }

    std::string url = StartsWith(celerraShare, "cifs://") ? celerraShare : kCifsScheme + celerraShare;
    // The server name is the connection's local server: taken from the share
    // whether it was written //S/P or cifs://S/P.
    std::string celerraServer = celerraShare;
    std::string celerraSharePath;
    std::string plainShare = StartsWith(celerraShare, "cifs://") ? celerraShare.substr(5) : celerraShare;
    if (StartsWith(plainShare, "//")) {
      celerraServer = ServerOf(plainShare);
      celerraSharePath = PathAfter(plainShare, celerraServer);
      CEL_DEBUG(m_Event, 6, "Got server '%s' from %s, and share is %s", celerraServer.c_str(), celerraShare.c_str(),
                celerraSharePath.c_str());
    }

    std::string arkivServer;
    if (StartsWith(arkivAgentShare, "//")) {
      arkivServer = ServerOf(arkivAgentShare);
      CEL_DEBUG(m_Event, 6, "Got '%s' from %s", arkivServer.c_str(), arkivAgentShare.c_str());
    }
    if (arkivServer.empty()) {
      CEL_ERROR(m_Event, "Could not get ARKIV server from %s, and no server specified for input argument.!!!",
                arkivAgentShare.c_str());
      return refuse("no archive server in the archive share '" + arkivAgentShare + "'");
    }
    std::string arkivSharePath = PathAfter(arkivAgentShare, arkivServer);
    CEL_DEBUG(m_Event, 3, "Using '%s' for ARKIV server share", arkivSharePath.c_str());

    // The archive server's address decides which host may use the mover's
    // HTTP feature, so it must be known before anything is changed.
    std::string arkivIp;
    {
      CTuIPAddr address;
      CTuString text;
      CTuError resolved = CTuIPAddr::GetByName(arkivServer.c_str(), address, CTuIPAddr::IP_ANY);
      if (resolved.ok()) resolved = address.GetAddressString(text);
      if (!resolved.ok()) {
        CEL_ERROR(m_Event, "Unable to resolve ARKIV server %s to an IP address: %s; nothing was changed",
                  arkivServer.c_str(), resolved.detail());
        return refuse("unable to resolve archive server '" + arkivServer + "': " + resolved.detail(),
                      ERROR_KIND_NOT_FOUND);
      }
      arkivIp = text.c_str();
      if (arkivIp.empty() || IsUnspecifiedAddress(arkivIp)) {
        CEL_ERROR(m_Event, "ARKIV server %s resolved to the unusable address [%s]; nothing was changed",
                  arkivServer.c_str(), arkivIp.c_str());
        return refuse("archive server '" + arkivServer + "' resolved to the unusable address '" + arkivIp + "'",
                      ERROR_KIND_NOT_FOUND);
      }
    }

    if (!HasLoginParameters()) {
      CEL_ERROR(m_Event, "Control host, user name or password is not set; unable to configure the offline server");
      return refuse("control host, user name or password not set");
    }

    // 2. The mover and file system behind the file server's share.
    std::string moverId;
    std::string fileSystemId;
    {
      ReqFileSystemLocationQueryParams request(m_JobId, url);
      bool sent = false;
      bool found = retry("finding the file system", [&](unsigned) {
        RespFileSystemLocationQueryParams response(m_JobId);
        sent = exchange(request, response);
        // A record without a file-system id locates nothing: the connection
        // query would go out without its filter and could find another file
        // system's connection.
        auto located = std::find_if(response.m_vLocations.begin(), response.m_vLocations.end(),
                                    [](const RespFileSystemLocationQueryParams::FileSystemLocation& location) {
                                      return !location.fileSystem.empty();
                                    });
        if (!sent || located == response.m_vLocations.end()) {
          CEL_ERROR(m_Event, "Could not find filesystem associated with URL %s!!!", url.c_str());
          // An empty answer is the server's final word for now: ask again at once.
          return sent ? Attempt::Again : Attempt::AgainAfterPause;
        }
        moverId = located->mover;
        fileSystemId = located->fileSystem;
        CEL_DEBUG(m_Event, 3, "Found Mover %s and fileSystem %s for Celrra share %s", moverId.c_str(),
                  fileSystemId.c_str(), celerraShare.c_str());
        return Attempt::Done;
      });
      if (!found) {
        // Nine answers without a file system are a "not found"; a failed
        // last exchange keeps its own reason.
        if (sent)
          return refuse("no file system found behind the share URL " + url, ERROR_KIND_NOT_FOUND);
        return false;
      }
    }

    // 3. An existing connection of this file system to the same archive share.
    std::string connectionId;
    if (!skipConnectionLookup) {
      CEL_DEBUG(m_Event, 2, "******* Please standby.... This request will take about 5 minutes...");
      ReqDhsmConnectionQueryParams request(m_JobId, fileSystemId, std::string());
      RespDhsmConnectionQueryParams response(m_JobId);
      retry("looking for an existing connection", [&](unsigned) {
        // The session appends a reply to what the response holds: a reused
        // response starts each attempt empty, or an earlier partial reply
        // would spoil every later parse.
        response.init();
        response.m_vConnections.clear();
        if (!exchange(request, response)) return Attempt::AgainAfterPause;
        for (const auto& c : response.m_vConnections) {
          // Only this file system's connections: another one's, to the same
          // archive share, is not ours to modify.
          if (c.fileSystem != fileSystemId || c.secondaryLocation.host != arkivServer) continue;
          if (c.secondaryLocation.share == arkivSharePath) {
            connectionId = c.connection;
            CEL_DEBUG(m_Event, 6, "Found matching connection %s:%s", c.connection.c_str(),
                      c.secondaryLocation.share.c_str());
            break;
          }
          CEL_DEBUG(m_Event, 6, "Connection %s associated share %s does not match %s", c.connection.c_str(),
                    c.secondaryLocation.share.c_str(), arkivSharePath.c_str());
        }
        return Attempt::Done;
      });
    }

    // 4. Create the connection, or bring the matching one up to date.
    if (connectionId.empty()) {
      CEL_DEBUG(m_Event, 3,
                "URL '%s', is part of FileSystem ID %s, but does not have connection to ARKIV server %s. Calling "
                "ReqNewCifsDhsmConnection(xxx,%s,%s,%s,%s,%s,###)",
                url.c_str(), fileSystemId.c_str(), arkivServer.c_str(), fileSystemId.c_str(), celerraServer.c_str(),
                arkivSharePath.c_str(), arkivServer.c_str(), userName.c_str());
      ReqNewCifsDhsmConnection request(m_JobId, fileSystemId, celerraServer, arkivSharePath, arkivServer, userName,
                                       password, kVendorId);
      bool submitted = retry("creating the connection", [&](unsigned n) {
        CEL_DEBUG(m_Event, 3, "Adding connection to ARKIV server %s.", arkivServer.c_str());
        RespNewCifsDhsmConnection response(m_JobId);
        if (!exchange(request, response)) {
          logRefusal("add the connection", n);
          return Attempt::AgainAfterPause;
        }
        CEL_DEBUG(m_Event, 2,
                  "Task was sent successfully to add new connection for share %s to Celerra filer %s on FileSystem "
                  "%s.  Task may take 15 minutes to complete.",
                  arkivAgentShare.c_str(), celerraShare.c_str(), fileSystemId.c_str());
        return Attempt::Done;
      });
      if (!submitted) {
        CEL_ERROR(m_Event,
                  "Failed to submit reqest to create new cifs connection for %s on Celerra share %s for FileSystemID "
                  "%s",
                  arkivAgentShare.c_str(), celerraShare.c_str(), fileSystemId.c_str());
        return false;
      }
    } else {
      CEL_DEBUG(m_Event, 3,
                "Celerra share '%s' has connection %s associated with share %s.  Going to try to modify the "
                "connection to make sure it's upto date.",
                celerraShare.c_str(), connectionId.c_str(), arkivAgentShare.c_str());
      ReqModifyCifsDhsmConnection request(m_JobId, fileSystemId, connectionId, celerraServer, userName, password,
                                          kReadPolicyOverride, std::string(), std::string());
      bool submitted = retry("modifying the connection", [&](unsigned n) {
        CEL_DEBUG(m_Event, 3, "Modifying connection %s to ARKIV server %s.", connectionId.c_str(),
                  arkivServer.c_str());
        RespModifyCifsDhsmConnection response(m_JobId);
        if (!exchange(request, response)) {
          logRefusal("modify the connection", n);
          return Attempt::AgainAfterPause;
        }
        CEL_DEBUG(m_Event, 2,
                  "Task was sent successfully to add new connection for share %s to Celerra filer %s on FileSystem "
                  "%s.  Task may take 15 minutes to complete.",
                  arkivAgentShare.c_str(), celerraShare.c_str(), fileSystemId.c_str());
        return Attempt::Done;
      });
      if (!submitted) {
        CEL_ERROR(m_Event,
                  "Failed to submit reqest to modify cifs connection for %s on Celerra share %s for FileSystemID %s "
                  "on connection %s",
                  arkivAgentShare.c_str(), celerraShare.c_str(), fileSystemId.c_str(), connectionId.c_str());
        return false;
      }
    }

    // 5. The offline attribute: one attempt, and the configuration goes on
    // whatever its outcome.
    if (setOfflineAttr) {
      progress("setting the offline attribute", 1, 1, 0);
      ReqModifyFilesystemDHSM request(m_JobId, fileSystemId, kOfflineAttr, kReadPolicyOverride, std::string(),
                                      std::string(), std::string());
      RespModifyFilesystemDHSM response(m_JobId);
      if (exchange(request, response)) {
        CEL_DEBUG(m_Event, 6,
                  "Task was sent successfully to set offline attr option on FileSystem %s.   Task may take 15 "
                  "minutes to complete.",
                  fileSystemId.c_str());
      } else {
        CEL_WARN(m_Event, 0, "Could not set offline attr option on FileSystem %s", fileSystemId.c_str());
      }
    }

    // 6. The archive server's address among the hosts allowed to use the
    // mover's DHSM HTTP feature.
    CEL_DEBUG(m_Event, 3, "Searching for ARKIV IP address %s in mover %s", arkivIp.c_str(), moverId.c_str());
    bool allowed = false;
    {
      ReqMoverHttpFeatureQueryParams request(m_JobId, moverId);
      RespMoverHttpFeatureQueryParams response(m_JobId);
      retry("reading the mover's HTTP feature", [&](unsigned n) {
        response.init();
        response.m_vMoversConfig.clear();
        if (!exchange(request, response)) {
          CEL_DEBUG(m_Event, 3, "Will try RespMoverHttpFeatureQueryParams again; retry-count=%lu",
                    static_cast<unsigned long>(n - 1));
          return Attempt::AgainAfterPause;
        }
        CEL_DEBUG(m_Event, 3, "RespMoverHttpFeatureQueryParams Success with %lu item(s)",
                  static_cast<unsigned long>(response.m_vMoversConfig.size()));
        for (const auto& config : response.m_vMoversConfig) {
          for (const std::string& host : config.validHostList) {
            if (host == arkivIp) {
              CEL_DEBUG(m_Event, 6, "Found matching Ip address for %s:%s", host.c_str(), arkivIp.c_str());
              allowed = true;
              break;
            }
            CEL_DEBUG(m_Event, 6, "Ip address %s does not match %s", host.c_str(), arkivIp.c_str());
          }
          if (allowed) break;
        }
        return Attempt::Done;
      });
    }
    if (!allowed) {
      ReqModifyHTTPFeatureUsersandHosts request(m_JobId, moverId, arkivIp, userName, kFeatureChange, kHttpFeature);
      RespModifyHTTPFeatureUsersandHosts response(m_JobId);
      bool submitted = retry("allowing the archive server's address", [&](unsigned n) {
        response.init();
        if (exchange(request, response)) {
          CEL_DEBUG(m_Event, 2,
                    "Task was sent successfully to add IP address %s to Celerra filer %s on FileSystem %s, mover %s.  "
                    "Task may take 15 minutes to complete.",
                    arkivIp.c_str(), celerraShare.c_str(), fileSystemId.c_str(), moverId.c_str());
          return Attempt::Done;
        }
        CEL_ERROR(m_Event, "Failed to send task to add IP address %s to Celerra filer %s on FileSystem %s, mover %s.",
                  arkivIp.c_str(), celerraShare.c_str(), fileSystemId.c_str(), moverId.c_str());
        logRefusal("add the archive server's address", n);
        return Attempt::AgainAfterPause;
      });
      if (!submitted) return false;
    }

    // 7. Done.
    CEL_DEBUG(m_Event, 2, "Done Processing CelerraShare='%s' and ArkivAgentShare='%s'", celerraShare.c_str(),
              arkivAgentShare.c_str());
    return true;
  } catch (const std::exception& e) {
    CEL_ERROR(m_Event, "Offline server configuration stopped by an exception: %s", e.what());
  } catch (...) {
    CEL_ERROR(m_Event, "Offline server configuration stopped by an unknown exception");
  }
  return refuse("offline server configuration stopped by an internal error");
}
