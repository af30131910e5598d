#include "transport/SharedSession.h"

#include <openssl/evp.h>
#include <openssl/rand.h>
#include <pthread.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <map>

#include "platform/OXPlatformInfo.h"

namespace celerra_internal {

namespace {

// The session whose transfer takes the lock (its easy handle's private
// pointer is the session's logging context), so that the line carries that
// facade's job id; null for the share handle's own work.
EvEvent* EventOf(CURL* handle) {
  char* event = nullptr;
  if (!handle || curl_easy_getinfo(handle, CURLINFO_PRIVATE, &event) != CURLE_OK) return nullptr;
  return reinterpret_cast<EvEvent*>(event);
}

void LockCallback(CURL* handle, curl_lock_data data, curl_lock_access access, void* userData) {
  if (userData) static_cast<SharedSession*>(userData)->Lock(data, access, EventOf(handle));
}

void UnlockCallback(CURL* handle, curl_lock_data data, void* userData) {
  if (userData) static_cast<SharedSession*>(userData)->Unlock(data, EventOf(handle));
}

}  // namespace

SharedSession::SharedSession(std::string key, bool shared)
    : m_Key(std::move(key)), m_Shared(shared), m_Pid(getpid()), m_LastUsed(std::chrono::steady_clock::now()) {
  m_Share = curl_share_init();
  if (!m_Share) return;
  // TLS sessions are shared only between sessions of the same credentials
  // and TLS settings, which the key guarantees. Connections are not shared:
  // libcurl (7.88) does not support sharing its connection cache between
  // threads that run transfers at once, and under the race detector two
  // threads were seen in the same TLS state. A new facade takes over the
  // handle, and so the connection, that an ended one left (TakeIdleHandle),
  // or else connects anew and resumes the TLS session.
  const curl_lock_data kinds[] = {CURL_LOCK_DATA_COOKIE, CURL_LOCK_DATA_SSL_SESSION, CURL_LOCK_DATA_DNS};
  bool ok = curl_share_setopt(m_Share, CURLSHOPT_LOCKFUNC, LockCallback) == CURLSHE_OK &&
            curl_share_setopt(m_Share, CURLSHOPT_UNLOCKFUNC, UnlockCallback) == CURLSHE_OK &&
            curl_share_setopt(m_Share, CURLSHOPT_USERDATA, this) == CURLSHE_OK;
  for (size_t i = 0; ok && i < (shared ? sizeof kinds / sizeof kinds[0] : 1); ++i)
    ok = curl_share_setopt(m_Share, CURLSHOPT_SHARE, kinds[i]) == CURLSHE_OK;
  if (ok) return;
  CEL_ERROR(m_Event, "Failed to set up the shared cURL handle");
  curl_share_cleanup(m_Share);
  m_Share = nullptr;
}

SharedSession::~SharedSession() {
  // The parent's handles are not this process's to close: closing would end
  // the parent's TLS connections under it. The easy handles go first: a
  // share is not freed while handles use it.
  if (!MadeByThisProcess()) return;
  CloseIdleHandles(std::chrono::steady_clock::duration::zero());
  if (m_Share) curl_share_cleanup(m_Share);
}

bool SharedSession::MadeByThisProcess() const { return m_Pid == getpid(); }

void SharedSession::Touch() {
  std::lock_guard<std::mutex> guard(m_TimeLock);
  m_LastUsed = std::chrono::steady_clock::now();
}

std::chrono::steady_clock::time_point SharedSession::lastUsed() const {
  std::lock_guard<std::mutex> guard(m_TimeLock);
  return m_LastUsed;
}

// The sessions that use this share may run in several threads: every kind
// of data has a mutex of its own, taken for shared and exclusive access
// alike.
void SharedSession::Lock(curl_lock_data data, curl_lock_access access, EvEvent* session) {
  EvEvent& event = session ? *session : m_Event;
  if (access == CURL_LOCK_ACCESS_SINGLE)
    CEL_DEBUG(event, 2, "Exclusive access was called for, locking mutex for pid[%d]", static_cast<int>(getpid()));
  else if (access == CURL_LOCK_ACCESS_SHARED)
    CEL_DEBUG(event, 2, "Shared access was called for, locking mutex for pid [%d]", static_cast<int>(getpid()));
  if (data >= 0 && data < CURL_LOCK_DATA_LAST) m_DataLocks[data].lock();
}

void SharedSession::Unlock(curl_lock_data data, EvEvent* session) {
  CEL_DEBUG(session ? *session : m_Event, 2, "Unlock_function was called, pid[%d]", static_cast<int>(getpid()));
  if (data >= 0 && data < CURL_LOCK_DATA_LAST) m_DataLocks[data].unlock();
}

namespace {

// A random salt of this process: the digest of a password is worth nothing
// outside it, and says nothing about the password to a reader of a core
// file without the salt.
const unsigned char* Salt() {
  static unsigned char salt[32];
  static bool made = RAND_bytes(salt, sizeof salt) == 1;
  return made ? salt : nullptr;
}

std::string Sha256Hex(const std::string& text) {
  const unsigned char* salt = Salt();
  if (!salt) return std::string();
  unsigned char digest[EVP_MAX_MD_SIZE];
  unsigned int length = 0;
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  bool ok = ctx && EVP_DigestInit_ex(ctx, EVP_sha256(), nullptr) == 1 && EVP_DigestUpdate(ctx, salt, 32) == 1 &&
            EVP_DigestUpdate(ctx, text.data(), text.size()) == 1 && EVP_DigestFinal_ex(ctx, digest, &length) == 1;
  EVP_MD_CTX_free(ctx);
  if (!ok) return std::string();
  static const char kHex[] = "0123456789abcdef";
  std::string out;
  for (unsigned int i = 0; i < length; ++i) {
    out += kHex[digest[i] >> 4];
    out += kHex[digest[i] & 15];
  }
  return out;
}

// How long an unused shared session is kept: sCELERRASHAREIDLE seconds
// (0 .. 86400), else 120.
std::chrono::seconds IdleLimit() {
  std::string text;
  if (!OXPlatformInfo().getString("Vantrel", "sCELERRASHAREIDLE", &text) || text.empty())
    return std::chrono::seconds(120);
  char* end = nullptr;
  errno = 0;
  long seconds = std::strtol(text.c_str(), &end, 10);
  if (end == text.c_str() || *end || errno || seconds < 0 || seconds > 86400) {
    EvEvent event;
    CEL_ERROR(event, "Configuration value sCELERRASHAREIDLE=[%s] is not a number of seconds from 0 to 86400; using 120",
              text.c_str());
    return std::chrono::seconds(120);
  }
  return std::chrono::seconds(seconds);
}

}  // namespace

CURL* SharedSession::TakeIdleHandle() {
  CloseIdleHandles(IdleLimit());
  std::lock_guard<std::mutex> guard(m_IdleLock);
  if (m_IdleHandles.empty()) return nullptr;
  CURL* handle = m_IdleHandles.back().first;
  m_IdleHandles.pop_back();
  return handle;
}

bool SharedSession::KeepIdleHandle(CURL* handle) {
  if (!handle || !m_Shared || !MadeByThisProcess()) return false;
  CloseIdleHandles(IdleLimit());
  // Nothing of the last owner stays in the handle: its callbacks, buffers
  // and logging context go with it. The connections, TLS sessions and the
  // share stay. The list of cookie files is emptied first: libcurl's reset
  // forgets it without freeing it (the cookies themselves are the share's).
  curl_easy_setopt(handle, CURLOPT_COOKIEFILE, nullptr);
  curl_easy_reset(handle);
  std::lock_guard<std::mutex> guard(m_IdleLock);
  if (m_IdleHandles.size() >= kIdleHandles) return false;
  m_IdleHandles.emplace_back(handle, std::chrono::steady_clock::now());
  return true;
}

// Closing a handle closes its connections, which may take a moment (a TLS
// close): it is done outside the lock.
void SharedSession::CloseIdleHandles(std::chrono::steady_clock::duration olderThan) {
  std::vector<CURL*> closing;
  {
    std::lock_guard<std::mutex> guard(m_IdleLock);
    auto now = std::chrono::steady_clock::now();
    auto it = m_IdleHandles.begin();
    while (it != m_IdleHandles.end() && now - it->second >= olderThan) closing.push_back((it++)->first);
    m_IdleHandles.erase(m_IdleHandles.begin(), it);
  }
  for (CURL* handle : closing) curl_easy_cleanup(handle);
}

namespace {

class Registry {
 public:
  Registry() { pthread_atfork(Prepare, Parent, Child); }

  std::shared_ptr<SharedSession> Acquire(const std::string& key) {
    std::lock_guard<std::mutex> guard(m_Lock);
    Sweep(IdleLimit());
    std::shared_ptr<SharedSession>& entry = m_Sessions[key];
    if (!entry) entry = std::make_shared<SharedSession>(key, true);
    entry->Touch();
    return entry;
  }

  // Drops what nobody uses and has idled for `limit`, and whatever another
  // process made (its destructor leaves the handles alone).
  void Sweep(std::chrono::seconds limit) {
    auto now = std::chrono::steady_clock::now();
    for (auto it = m_Sessions.begin(); it != m_Sessions.end();) {
      const SharedSession& s = *it->second;
      bool idle = it->second.use_count() == 1 && now - s.lastUsed() >= limit;
      it = idle || !s.MadeByThisProcess() ? m_Sessions.erase(it) : std::next(it);
    }
  }

  void SweepUnderLock(std::chrono::seconds limit) {
    std::lock_guard<std::mutex> guard(m_Lock);
    Sweep(limit);
  }

  size_t Count() {
    std::lock_guard<std::mutex> guard(m_Lock);
    return m_Sessions.size();
  }

 private:
  // A fork() while another thread holds the lock must not leave the child
  // with a lock nobody will release.
  static void Prepare() { Instance().m_Lock.lock(); }
  static void Parent() { Instance().m_Lock.unlock(); }
  static void Child() { Instance().m_Lock.unlock(); }

 public:
  // Made once and never destroyed, so that a thread still running at exit
  // finds it whole; the Unloader frees the idle shared sessions.
  static Registry& Instance() {
    static Registry* registry = new Registry();
    return *registry;
  }

 private:
  std::mutex m_Lock;
  std::map<std::string, std::shared_ptr<SharedSession>> m_Sessions;
};

// At unload (or exit), the shared sessions nobody uses go, with their
// connections. Made after libcurl's global set-up, so it runs before
// OpenSSL's own clean-up at exit.
struct Unloader {
  ~Unloader() { ForgetIdleSharedSessions(); }
};

}  // namespace

std::string SharedSessionKey(const std::string& hostAndPort, const std::string& user, const std::string& password,
                             const std::string& caBundle, const std::string& pinnedKey) {
  std::string digest = Sha256Hex(password);
  if (digest.empty()) return std::string();
  std::string host = hostAndPort;
  for (char& c : host) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  // Every part is measured, so that no two different tuples make one key.
  std::string key;
  const std::string parts[] = {host, user, digest, caBundle, pinnedKey};
  for (const std::string& part : parts) key += std::to_string(part.size()) + ":" + part + ";";
  return key;
}

std::shared_ptr<SharedSession> AcquireSharedSession(const std::string& key) {
  static Unloader unloader;
  return Registry::Instance().Acquire(key);
}

std::shared_ptr<SharedSession> PrivateSession(long long jobId) {
  auto session = std::make_shared<SharedSession>(std::string(), false);
  session->SetJobId(jobId);
  return session;
}

void SweepIdleSharedSessions() { Registry::Instance().SweepUnderLock(IdleLimit()); }

void ForgetIdleSharedSessions() { Registry::Instance().SweepUnderLock(std::chrono::seconds(0)); }

size_t SharedSessionCount() { return Registry::Instance().Count(); }

}  // namespace celerra_internal
