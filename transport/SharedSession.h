// What the sessions of one process share with each other: one login (the
// session cookie), TLS session ids, resolved names and the easy handles
// (with their open connections) that ended sessions left behind, for
// sessions with the same control host and port, user, password and TLS
// settings. libcurl's connection cache itself is not shared: libcurl does
// not support sharing it between threads that run transfers at once, so a
// handle, connections and all, passes from one session to the next
// instead. A control station keeps every session until it times out and
// answers a login slowly, so an agent that makes a facade per call would
// otherwise log in, connect and shake hands once per call.
//
// The shared state lives in memory only. It outlives the sessions that used
// it for an idle time (sCELERRASHAREIDLE seconds, default 120, well under a
// station's usual session time-out), is freed after it (at the next use of
// the library) and when the library is unloaded, and is never used by a
// process other than the one that made it: a child after fork() starts its
// own.
#pragma once

#include <curl/curl.h>
#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "platform/EvDebug.h"

namespace celerra_internal {

class SharedSession {
 public:
  // `shared`: in the process-wide registry (every lock data libcurl can
  // share); otherwise one session's own (its cookie only, as a session
  // that shares nothing has always kept it).
  SharedSession(std::string key, bool shared);
  ~SharedSession();
  SharedSession(const SharedSession&) = delete;
  SharedSession& operator=(const SharedSession&) = delete;

  // Null when libcurl could not make the share handle.
  CURLSH* share() const { return m_Share; }
  const std::string& key() const { return m_Key; }
  // The job id the share's own lines carry (a session's own share: its owner's).
  void SetJobId(long long jobId) { m_Event.setJobId(jobId); }
  bool shared() const { return m_Shared; }
  bool MadeByThisProcess() const;
  // Marks the shared state as used now; the idle time counts from the last
  // mark.
  void Touch();
  std::chrono::steady_clock::time_point lastUsed() const;

  // The login, once for everyone who shares it. A session that holds
  // generation `seen` (0: none yet) and finds the cookie refused
  // (`refused`), or has no cookie yet, calls this: when another session has
  // already logged in since (or, for a session without a cookie, holds a
  // login at all), the session takes that cookie and `login` is not called;
  // otherwise `login` runs while the others wait for it, each no longer than
  // `wait` (its own time-outs: another facade's login may be slower than
  // this one would give up on). True with the generation now held in
  // `seen`; false when `login` failed, or with `waitedOut` set when the wait
  // ran out (`login` not called).
  template <class Login>
  bool SignIn(unsigned long long& seen, bool refused, std::chrono::milliseconds wait, bool& waitedOut, Login login) {
    std::unique_lock<std::mutex> lock(m_LoginLock);
    waitedOut = !m_LoginDone.wait_for(lock, wait, [this] { return !m_LoggingIn; });
    if (waitedOut) return false;
    if (m_Valid && (refused ? m_Generation != seen : true)) {
      seen = m_Generation;
      return true;
    }
    // The others wait on the condition, not the lock, so that each can give
    // up at its own time.
    m_LoggingIn = true;
    lock.unlock();
    struct Done {  // also when `login` throws
      SharedSession& s;
      std::unique_lock<std::mutex>& lock;
      ~Done() {
        if (!lock.owns_lock()) lock.lock();
        s.m_LoggingIn = false;
        s.m_LoginDone.notify_all();
      }
    } done{*this, lock};
    bool valid = login();
    lock.lock();
    m_Valid = valid;
    if (valid) seen = ++m_Generation;
    return valid;
  }

  // An easy handle that an ended session of this key left behind, with its
  // open connection, reset to libcurl's defaults (its owner sets it up
  // again); null when there is none. The newest first: its connection is
  // the likeliest still to be open.
  CURL* TakeIdleHandle();
  // Keeps `handle`, reset to the defaults, for the next session of this key
  // (at most kIdleHandles; handles idle past the idle time are closed).
  // False when it was not kept: the caller closes it.
  bool KeepIdleHandle(CURL* handle);
  static constexpr size_t kIdleHandles = 8;

  // libcurl's lock callbacks (a real mutex per kind of shared data).
  // `session`: the logging context of the session that asks (null: the
  // share's own).
  void Lock(curl_lock_data data, curl_lock_access access, EvEvent* session);
  void Unlock(curl_lock_data data, EvEvent* session);

 private:
  std::string m_Key;
  bool m_Shared;
  pid_t m_Pid;
  CURLSH* m_Share = nullptr;
  EvEvent m_Event;
  std::mutex m_DataLocks[CURL_LOCK_DATA_LAST];
  std::mutex m_LoginLock;  // guards the login's state below
  std::condition_variable m_LoginDone;
  bool m_LoggingIn = false;             // a session's login is under way
  unsigned long long m_Generation = 0;  // logins so far
  bool m_Valid = false;                 // the last login's cookie is not known to be refused
  mutable std::mutex m_TimeLock;
  std::chrono::steady_clock::time_point m_LastUsed;
  std::mutex m_IdleLock;
  std::vector<std::pair<CURL*, std::chrono::steady_clock::time_point>> m_IdleHandles;  // oldest first

  void CloseIdleHandles(std::chrono::steady_clock::duration olderThan);
};

// The key of a shared session: host and port, user, a salted digest of the
// password (never the password), and the TLS settings in effect. Empty when
// the digest cannot be made (nothing is shared then).
std::string SharedSessionKey(const std::string& hostAndPort, const std::string& user, const std::string& password,
                             const std::string& caBundle, const std::string& pinnedKey);

// The shared session for `key`, made when there is none (or only one that
// idled too long or belongs to the parent of a forked process). Sweeps out
// the shared sessions that have idled past their time.
std::shared_ptr<SharedSession> AcquireSharedSession(const std::string& key);
// A session of one's own: shares nothing with anyone; its lines carry the
// owner's `jobId`.
std::shared_ptr<SharedSession> PrivateSession(long long jobId);
// Frees the shared sessions that no session uses and that have idled past
// their time (a session that ends calls it).
void SweepIdleSharedSessions();
// Frees every shared session no session uses now, whatever its idle time.
void ForgetIdleSharedSessions();
// Shared sessions held by the registry, in use or idle (for tests and
// benchmarks).
size_t SharedSessionCount();

}  // namespace celerra_internal
