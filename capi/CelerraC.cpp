// The C interface (capi/celerra.h): each function checks its pointers, calls
// the facade and converts. A result is handed out as its C view inside an
// Owned block whose payload keeps the facade's own C++ values: the view's
// texts point into those (its number arrays into one block of the payload),
// so one free releases the view and everything it points to.
#include "capi/celerra.h"

#include <cstdlib>
#include <cstring>
#include <deque>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <set>
#include <string>
#include <type_traits>
#include <vector>

#include "manage/CelerraVersion.h"
#include "manage/ManageCelerra.h"
#include "manage/SnapDeviceName.h"
#include "platform/EvDebug.h"

static_assert(std::is_same<int32_t, int>::value, "storage pool ids are handed out as int32_t");
static_assert(CELERRA_ERROR_KIND_LOCAL == ERROR_KIND_LOCAL && CELERRA_STG_TYPE_VOLUME == STG_TYPE_VOLUME,
              "the C interface's numbers are the facade's");

namespace {

// The C view of one error record; its texts point into `record`.
struct ErrorView {
  CelerraError record;
  celerra_error view{};

  ErrorView() { Set(CelerraError(), 0); }
  ErrorView(const ErrorView&) = delete;
  ErrorView& operator=(const ErrorView&) = delete;
  void Set(CelerraError e, long long code) {
    record = std::move(e);
    // The server's own words, where the failure is the server's answer (a
    // refusal, or its "no such object"): the record holds its code then.
    const bool server = record.m_eKind == ERROR_KIND_SERVER || !record.m_sMessageCode.empty();
    view = {static_cast<int32_t>(record.m_eStatus),
            static_cast<int32_t>(record.m_eKind),
            CelerraErrorKindName(record.m_eKind),
            record.m_sMessageCode.c_str(),
            server ? record.m_sMessage.c_str() : "",
            record.m_sMessage.c_str(),
            record.m_sSeverity.c_str(),
            record.m_sDescription.c_str(),
            record.m_sAction.c_str(),
            record.m_sDiagnostics.c_str(),
            static_cast<int64_t>(code)};
  }
};

// The error of calls that have no client to keep it.
thread_local ErrorView t_noClient;

}  // namespace

struct celerra_client {
  explicit celerra_client(uint64_t jobId) : facade(jobId) {}
  ManageCelerra facade;
  ErrorView error;
};

namespace {

std::string Text(const char* s) { return s ? std::string(s) : std::string(); }

// Logs a refusal of the C layer and makes it the error of `c` (or of the
// thread). Returns false.
bool Refuse(celerra_client* c, const char* function, const char* what) {
  EvEvent event;
  CEL_ERROR(event, "%s: %s", function, what);
  (c ? c->error : t_noClient).Set(CelerraError::Input(std::string(function) + ": " + what), 0);
  return false;
}

// A list of texts from the caller; false when `items` is NULL but `count` is not 0.
bool Texts(const char* const* items, size_t count, std::vector<std::string>& out) {
  if (!items && count) return false;
  out.reserve(count);
  for (size_t i = 0; i < count; ++i) out.push_back(Text(items[i]));
  return true;
}

// Runs `op` on the client's facade and takes over its last error. A failure
// that left no record gets one, so that false never reads as "ok"; nothing
// the facade throws reaches the C caller.
template <class Op>
bool Call(celerra_client* c, const char* function, Op&& op) {
  bool ok = false;
  CelerraError fallback;
  try {
    ok = op(c->facade);
  } catch (const CelerraError& e) {
    fallback = e;
  } catch (const std::bad_alloc&) {
    fallback = CelerraError::Local(std::string(function) + ": out of memory");
  } catch (...) {
    fallback = CelerraError::Local(std::string(function) + ": failed");
  }
  CelerraError e = c->facade.GetLastError1();
  if (!ok && e.m_eStatus == STATUS_OK)
    e = fallback.m_eStatus != STATUS_OK ? fallback : CelerraError::Local(std::string(function) + ": failed");
  c->error.Set(std::move(e), c->facade.m_ErrorCode);
  return ok;
}

// ------------------------------------------------------------------ results

// What a result's C view points into: the facade's values and the arrays
// made for the view.
struct PayloadBase {
  virtual ~PayloadBase() = default;
  std::deque<std::vector<const char*>> textArrays;
  // The number arrays of a list's records, one after another in record
  // order, so that a binding can read those of a long list in one go. Its
  // room is reserved before the views are made: it never moves.
  std::vector<int32_t> numbers;

  const int32_t* Numbers(const std::vector<int32_t>& values) {
    if (numbers.size() + values.size() > numbers.capacity()) return values.data();
    const size_t at = numbers.size();
    numbers.insert(numbers.end(), values.begin(), values.end());
    return numbers.data() + at;
  }

  const char** TextArray(const std::vector<std::string>& texts) {
    textArrays.emplace_back();
    for (const std::string& s : texts) textArrays.back().push_back(s.c_str());
    return textArrays.back().data();
  }
};

template <class Src, class Item>
struct Payload : PayloadBase {
  explicit Payload(Src s) : src(std::move(s)) {}
  Src src;
  std::vector<Item> items;
};

// The block handed out: the view first, so that the view's address is the
// block's.
template <class View>
struct Owned {
  View view;
  PayloadBase* payload;
};

template <class View>
View* Hand(View view, PayloadBase* payload) {
  static_assert(std::is_standard_layout<Owned<View>>::value, "the view must be the block's first member");
  return &(new Owned<View>{view, payload})->view;
}

template <class View>
void Release(View* view) {
  if (!view) return;
  auto* owned = reinterpret_cast<Owned<View>*>(view);
  delete owned->payload;
  delete owned;
}

// One conversion per record kind: the C view of a facade record, its texts
// and arrays pointing into the record (and into `p`).
celerra_filesystem View(const CelerraFileSystem_t& r, PayloadBase& p) {
  return {r.m_sName.c_str(),
          r.m_sFSId.c_str(),
          r.m_sType.c_str(),
          r.m_sMoverId.c_str(),
          p.Numbers(r.m_vStoragePools),
          r.m_vStoragePools.size(),
          r.m_nVolumeSize,
          r.m_nSpaceTotal,
          r.m_nSpaceUsed,
          r.m_nFilesUsed,
          r.m_nFilesTotal};
}
celerra_checkpoint View(const CelerraChkPtInfo& r, PayloadBase&) {
  return {r.m_sChkPtId.c_str(), r.m_sBaseChkPtId.c_str(), r.m_sFSId.c_str(), r.m_sChkPtName.c_str()};
}
celerra_nfs_export View(const CelerraNFSInfo_t& r, PayloadBase& p) {
  return {r.path.c_str(),         r.fileSystem.c_str(),       r.readOnly,
          r.mover.c_str(),        p.TextArray(r.accessHosts), r.accessHosts.size(),
          p.TextArray(r.rwHosts), r.rwHosts.size(),           p.TextArray(r.rootHosts),
          r.rootHosts.size()};
}
celerra_cifs_share View(const CelerraCIFSInfo_t& r, PayloadBase& p) {
  return {r.name.c_str(),      r.path.c_str(), r.fileSystem.c_str(),
          r.mover.c_str(),     r.moverIdIsVdm, p.TextArray(r.cifsServers),
          r.cifsServers.size()};
}
celerra_cifs_server View(const CelerraCifsServer_t& r, PayloadBase&) {
  return {r.mover.c_str(), r.name.c_str(), r.interfaces.c_str(), r.moverIdIsVdm == "true"};
}
celerra_mount View(const CelerraMountPointsInfo_t& r, PayloadBase&) {
  return {r.mover.c_str(), r.fileSystem.c_str(), r.path.c_str(), r.moverIdIsVdm == "true"};
}
celerra_mover_name View(const std::pair<const std::string, std::string>& r, PayloadBase&) {
  return {r.first.c_str(), r.second.c_str()};
}
celerra_storage_pool View(const CelerraStgPoolInfo_t& r, PayloadBase& p) {
  return {r.name.c_str(), r.pool, r.usedSize, r.size, p.TextArray(r.movers), r.movers.size()};
}
celerra_lun View(const CelerraLunInfo_t& r, PayloadBase&) {
  return {r.name.c_str(), r.size, r.fileSystem.c_str(), r.lun};
}
const char* View(const std::string& r, PayloadBase&) { return r.c_str(); }

// How many numbers a record puts into its list's number block.
size_t NumberCount(const CelerraFileSystem_t& r) { return r.m_vStoragePools.size(); }
template <class Rec>
size_t NumberCount(const Rec&) {
  return 0;
}

// The one list builder: a C list view of every element of `src`, which the
// result keeps.
template <class ListView, class Src>
ListView* MakeList(Src&& src) {
  using Item = typename std::remove_pointer<decltype(ListView::items)>::type;
  using Value = typename std::remove_const<Item>::type;
  auto* payload = new Payload<typename std::decay<Src>::type, Value>(std::forward<Src>(src));
  std::unique_ptr<PayloadBase> guard(payload);
  payload->items.reserve(payload->src.size());
  size_t numbers = 0;
  for (const auto& r : payload->src) numbers += NumberCount(r);
  payload->numbers.reserve(numbers);
  for (const auto& r : payload->src) payload->items.push_back(View(r, *payload));
  ListView* list = Hand(ListView{payload->items.data(), payload->items.size()}, payload);
  guard.release();
  return list;
}

// One record of kind `Rec` as its C view.
template <class ItemView, class Rec>
ItemView* MakeOne(Rec&& rec) {
  auto* payload = new Payload<typename std::decay<Rec>::type, ItemView>(std::forward<Rec>(rec));
  std::unique_ptr<PayloadBase> guard(payload);
  ItemView* one = Hand(View(payload->src, *payload), payload);
  guard.release();
  return one;
}

// A text result, freed with celerra_string_free.
char* CopyText(const std::string& s) {
  char* copy = static_cast<char*>(std::malloc(s.size() + 1));
  if (!copy) throw std::bad_alloc();
  std::memcpy(copy, s.c_str(), s.size() + 1);
  return copy;
}

// The facade's multi-value answers that have no record of their own.
struct PfsInfo {
  std::string pfsId, pfsName, stgId, savVolId, moverId;
  eCelerraStgType stgType = STG_TYPE_NONE;
  bool moverIsVdm = false;
};
celerra_pfs_info View(const PfsInfo& r, PayloadBase&) {
  return {r.pfsId.c_str(),   r.pfsName.c_str(), static_cast<int32_t>(r.stgType), r.stgId.c_str(), r.savVolId.c_str(),
          r.moverId.c_str(), r.moverIsVdm};
}
struct FsName {
  std::string fsName, moverId;
  bool moverIsVdm = false;
};
celerra_filesystem_name View(const FsName& r, PayloadBase&) {
  return {r.fsName.c_str(), r.moverId.c_str(), r.moverIsVdm};
}

const char* TrueFalse(bool b) { return b ? "true" : "false"; }

// The entry checks of every operation: a client, and every output pointer
// (set to NULL at once, so that a failure leaves NULL behind).
template <class... Out>
bool Begin(celerra_client* c, const char* function, Out**... outs) {
  if (!c) return Refuse(nullptr, function, "no client (NULL)");
  if (!((outs != nullptr) && ...)) return Refuse(c, function, "an output pointer is NULL");
  ((*outs = nullptr), ...);
  return true;
}

template <class View, class = void>
struct IsList : std::false_type {};
template <class View>
struct IsList<View, std::void_t<decltype(View::count)>> : std::true_type {};

// An operation with one result: the facade fills `Src` through `op`, and it
// is handed out as its C view `View` in `*out` (a list's or one record's).
template <class View, class Src, class Op>
bool Result(celerra_client* c, const char* function, View** out, Op&& op) {
  if (!Begin(c, function, out)) return false;
  return Call(c, function, [&](ManageCelerra& f) {
    Src src;
    if (!op(f, src)) return false;
    if constexpr (IsList<View>::value)
      *out = MakeList<View>(std::move(src));
    else
      *out = MakeOne<View>(std::move(src));
    return true;
  });
}

}  // namespace

extern "C" {

// ------------------------------------------------------------------ basics

const char* celerra_version(void) { return CELERRA_VERSION; }

const celerra_error* celerra_last_error(const celerra_client* c) { return c ? &c->error.view : &t_noClient.view; }

void celerra_string_free(char* s) { std::free(s); }
void celerra_string_list_free(celerra_string_list* list) { Release(list); }

celerra_client* celerra_client_new(const char* host, const char* user, const char* password, uint64_t job_id) {
  try {
    auto* c = new celerra_client(job_id);
    c->facade.SetControlHostInfo(Text(host), Text(user), Text(password));
    t_noClient.Set(CelerraError(), 0);
    return c;
  } catch (...) {
    t_noClient.Set(CelerraError::Local("celerra_client_new: out of memory"), 0);
    return nullptr;
  }
}

void celerra_client_free(celerra_client* c) { delete c; }

bool celerra_set_connect_timeout(celerra_client* c, double seconds) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) { return f.SetConnectTimeout(seconds); });
}
bool celerra_set_transfer_timeout(celerra_client* c, double seconds) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) { return f.SetTransferTimeout(seconds); });
}
bool celerra_set_ca_bundle(celerra_client* c, const char* path) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) { return f.SetCABundle(Text(path)); });
}
bool celerra_set_pinned_public_key(celerra_client* c, const char* key) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) { return f.SetPinnedPublicKey(Text(key)); });
}
bool celerra_set_max_reply_size(celerra_client* c, uint64_t bytes) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) { return f.SetMaxReplySize(bytes); });
}

bool celerra_set_session_sharing(celerra_client* c, bool share) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    f.SetSessionSharing(share);
    return true;
  });
}

namespace {
struct LogTarget {
  celerra_log_fn fn;
  void* userData;
};
// The facade's callback has the same shape in C++ types; this one adapts
// them. The target is read under the library's own serialisation of calls.
LogTarget g_LogTarget = {nullptr, nullptr};
void ForwardLogLine(int level, unsigned long long jobId, const char* text, void* target) {
  const LogTarget* t = static_cast<const LogTarget*>(target);
  if (t && t->fn) t->fn(level, jobId, text, t->userData);
}
}  // namespace

void celerra_set_log_callback(celerra_log_fn fn, void* user_data) {
  static std::mutex settingIt;  // two threads setting it at once
  std::lock_guard<std::mutex> lock(settingIt);
  ManageCelerra::SetLogCallback(nullptr, nullptr);  // no line reaches the old target while it changes
  g_LogTarget = {fn, user_data};
  if (fn) ManageCelerra::SetLogCallback(ForwardLogLine, &g_LogTarget);
}

void celerra_set_log_level(int32_t level) { ManageCelerra::SetLogLevel(level); }

bool celerra_set_progress_callback(celerra_client* c, celerra_progress_fn fn, void* user_data) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    if (!fn) {
      f.SetProgressCallback(nullptr);
      return true;
    }
    f.SetProgressCallback([fn, user_data](const CelerraProgress& p) {
      celerra_progress view = {p.step, p.attempt, p.attempts, static_cast<uint64_t>(p.pauseMs)};
      fn(&view, user_data);
    });
    return true;
  });
}

// ------------------------------------------------------------------ file systems

void celerra_filesystem_list_free(celerra_filesystem_list* list) { Release(list); }
void celerra_pfs_info_free(celerra_pfs_info* info) { Release(info); }
void celerra_filesystem_name_free(celerra_filesystem_name* name) { Release(name); }

bool celerra_filesystem_list_all(celerra_client* c, celerra_filesystem_list** out) {
  return Result<celerra_filesystem_list, std::vector<CelerraFileSystem_t>>(
      c, __func__, out, [&](ManageCelerra& f, auto& fileSystems) { return f.GetFSInfo(fileSystems); });
}

bool celerra_filesystem_get_info(celerra_client* c, const char* pfs_id, const char* pfs_name, celerra_pfs_info** out) {
  return Result<celerra_pfs_info, PfsInfo>(c, __func__, out, [&](ManageCelerra& f, auto& r) {
    r.pfsId = Text(pfs_id);
    r.pfsName = Text(pfs_name);
    return f.GetPFSInfo(r.pfsId, r.stgType, r.stgId, r.savVolId, r.pfsName, r.moverId, r.moverIsVdm);
  });
}

bool celerra_filesystem_get_name(celerra_client* c, const char* fs_id, celerra_filesystem_name** out) {
  return Result<celerra_filesystem_name, FsName>(c, __func__, out, [&](ManageCelerra& f, auto& r) {
    return f.GetFSNameByFSId(Text(fs_id), r.fsName, r.moverId, r.moverIsVdm);
  });
}

// ------------------------------------------------------------------ checkpoints

void celerra_checkpoint_list_free(celerra_checkpoint_list* list) { Release(list); }

bool celerra_checkpoint_create_rw(celerra_client* c, const char* pfs_id, int32_t stg_type, const char* stg_id,
                                  const char* chk_pt_name, bool create_baseline, const char* base_chk_pt_id,
                                  char** chk_pt_id_out, char** base_chk_pt_id_out) {
  if (!Begin(c, __func__, chk_pt_id_out, base_chk_pt_id_out)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    std::string id, baseline = Text(base_chk_pt_id);
    if (!f.CreateRWChkPt(Text(pfs_id), static_cast<eCelerraStgType>(stg_type), Text(stg_id), Text(chk_pt_name),
                         create_baseline, baseline, id))
      return false;
    std::unique_ptr<char, decltype(&std::free)> idText(CopyText(id), &std::free);
    *base_chk_pt_id_out = CopyText(baseline);
    *chk_pt_id_out = idText.release();
    return true;
  });
}

bool celerra_checkpoint_create_ro(celerra_client* c, const char* pfs_id, int32_t stg_type, const char* stg_id,
                                  const char* chk_pt_name, char** chk_pt_id_out) {
  if (!Begin(c, __func__, chk_pt_id_out)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    std::string id;
    if (!f.CreateROChkPt(Text(pfs_id), static_cast<eCelerraStgType>(stg_type), Text(stg_id), Text(chk_pt_name), id))
      return false;
    *chk_pt_id_out = CopyText(id);
    return true;
  });
}

bool celerra_checkpoint_get_ids(celerra_client* c, const char* chk_pt_name, char** chk_pt_id_out,
                                char** base_chk_pt_id_out) {
  if (!Begin(c, __func__, chk_pt_id_out, base_chk_pt_id_out)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    std::string id, baseline;
    if (!f.GetChkPointInfo(Text(chk_pt_name), id, baseline)) return false;
    std::unique_ptr<char, decltype(&std::free)> idText(CopyText(id), &std::free);
    *base_chk_pt_id_out = CopyText(baseline);
    *chk_pt_id_out = idText.release();
    return true;
  });
}

bool celerra_checkpoint_list_all(celerra_client* c, const char* chk_pt_name, celerra_checkpoint_list** out) {
  return Result<celerra_checkpoint_list, std::list<CelerraChkPtInfo>>(
      c, __func__, out, [&](ManageCelerra& f, auto& chkPts) { return f.GetChkPointsInfo(Text(chk_pt_name), chkPts); });
}

bool celerra_checkpoint_delete(celerra_client* c, const char* chk_pt_id, const char* base_chk_pt_id,
                               bool delete_baseline) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__,
              [&](ManageCelerra& f) { return f.DeleteChkPt(Text(chk_pt_id), Text(base_chk_pt_id), delete_baseline); });
}

bool celerra_checkpoint_restore(celerra_client* c, const char* chk_pt_name, const char* chk_pt_id, const char* pfs_id) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    return f.RestorePFSFromChkPt(Text(chk_pt_name), Text(chk_pt_id), Text(pfs_id));
  });
}

// ------------------------------------------------------------------ NFS exports

void celerra_nfs_export_list_free(celerra_nfs_export_list* list) { Release(list); }
void celerra_nfs_export_free(celerra_nfs_export* e) { Release(e); }

bool celerra_nfs_get(celerra_client* c, const char* share_name, celerra_nfs_export** out) {
  return Result<celerra_nfs_export, CelerraNFSInfo_t>(c, __func__, out, [&](ManageCelerra& f, auto& r) {
    r.path = Text(share_name);
    return f.GetNFSInfo(r.path, r.fileSystem, r.readOnly, r.mover, r.accessHosts, r.rwHosts, r.rootHosts);
  });
}

bool celerra_nfs_list_all(celerra_client* c, celerra_nfs_export_list** out) {
  return Result<celerra_nfs_export_list, std::vector<CelerraNFSInfo_t>>(
      c, __func__, out, [&](ManageCelerra& f, auto& exports) { return f.GetNFSInfo(exports); });
}

bool celerra_nfs_create(celerra_client* c, const char* pfs_or_chk_pt_name, const char* mover_id, bool read_only,
                        const char* const* access_hosts, size_t access_host_count, const char* const* rw_hosts,
                        size_t rw_host_count, const char* const* root_hosts, size_t root_host_count) {
  if (!Begin(c, __func__)) return false;
  std::vector<std::string> access, rw, root;
  if (!Texts(access_hosts, access_host_count, access) || !Texts(rw_hosts, rw_host_count, rw) ||
      !Texts(root_hosts, root_host_count, root))
    return Refuse(c, __func__, "a host list is NULL but its count is not 0");
  return Call(c, __func__, [&](ManageCelerra& f) {
    return f.CreateNFSShare(Text(pfs_or_chk_pt_name), Text(mover_id), read_only, access, rw, root);
  });
}

bool celerra_nfs_delete(celerra_client* c, const char* share_name, const char* mover_id) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) { return f.DeleteNFSShare(Text(share_name), Text(mover_id)); });
}

// ------------------------------------------------------------------ CIFS shares and servers

void celerra_cifs_share_list_free(celerra_cifs_share_list* list) { Release(list); }
void celerra_cifs_share_free(celerra_cifs_share* share) { Release(share); }
void celerra_cifs_server_list_free(celerra_cifs_server_list* list) { Release(list); }

bool celerra_cifs_create(celerra_client* c, const char* share_name, const char* path, const char* mover_id,
                         bool mover_id_is_vdm, const char* const* cifs_servers, size_t cifs_server_count) {
  if (!Begin(c, __func__)) return false;
  std::vector<std::string> servers;
  if (!Texts(cifs_servers, cifs_server_count, servers))
    return Refuse(c, __func__, "the server list is NULL but its count is not 0");
  return Call(c, __func__, [&](ManageCelerra& f) {
    return f.NewCifsShare(Text(share_name), Text(path), Text(mover_id), mover_id_is_vdm, servers);
  });
}

bool celerra_cifs_delete(celerra_client* c, const char* mover_id, const char* share_name, bool mover_id_is_vdm,
                         const char* const* cifs_servers, size_t cifs_server_count) {
  if (!Begin(c, __func__)) return false;
  std::vector<std::string> servers;
  if (!Texts(cifs_servers, cifs_server_count, servers))
    return Refuse(c, __func__, "the server list is NULL but its count is not 0");
  return Call(c, __func__, [&](ManageCelerra& f) {
    return f.DeleteCifsShare(Text(mover_id), Text(share_name), mover_id_is_vdm, servers);
  });
}

bool celerra_cifs_get(celerra_client* c, const char* share_name, celerra_cifs_share** out) {
  return Result<celerra_cifs_share, CelerraCIFSInfo_t>(c, __func__, out, [&](ManageCelerra& f, auto& r) {
    return f.GetCifsShareInfo(Text(share_name), r.fileSystem, r.moverIdIsVdm, r.mover, r.name, r.cifsServers);
  });
}

bool celerra_cifs_list_all(celerra_client* c, celerra_cifs_share_list** out) {
  return Result<celerra_cifs_share_list, std::vector<CelerraCIFSInfo_t>>(
      c, __func__, out, [&](ManageCelerra& f, auto& shares) { return f.GetCifsInfo(shares); });
}

bool celerra_cifs_list_servers(celerra_client* c, const char* mover, celerra_cifs_server_list** out) {
  return Result<celerra_cifs_server_list, std::vector<CelerraCifsServer_t>>(
      c, __func__, out, [&](ManageCelerra& f, auto& servers) { return f.GetCifsServers(servers, Text(mover)); });
}

// ------------------------------------------------------------------ mounts

void celerra_mount_list_free(celerra_mount_list* list) { Release(list); }
void celerra_mount_free(celerra_mount* mount) { Release(mount); }

bool celerra_mount_list_paths(celerra_client* c, const char* mover_id, bool mover_id_is_vdm,
                              celerra_string_list** out) {
  return Result<celerra_string_list, std::vector<std::string>>(c, __func__, out, [&](ManageCelerra& f, auto& paths) {
    return f.GetMountPts(Text(mover_id), TrueFalse(mover_id_is_vdm), paths);
  });
}

bool celerra_mount_list_all(celerra_client* c, const char* mover_id, bool mover_id_is_vdm, const char* path,
                            celerra_mount_list** out) {
  return Result<celerra_mount_list, std::vector<CelerraMountPointsInfo_t>>(
      c, __func__, out, [&](ManageCelerra& f, auto& mounts) {
        return f.GetMountPtsInfo(mounts, Text(mover_id), mover_id_is_vdm, Text(path));
      });
}

bool celerra_mount_get(celerra_client* c, const char* path, const char* mover_id, bool mover_id_is_vdm,
                       celerra_mount** out) {
  return Result<celerra_mount, CelerraMountPointsInfo_t>(c, __func__, out, [&](ManageCelerra& f, auto& mount) {
    return f.GetMountPointInfo(mount, Text(path), Text(mover_id), mover_id_is_vdm);
  });
}

bool celerra_mount_create(celerra_client* c, const char* mount_path, const char* mover_id, const char* file_system_id,
                          bool mover_id_is_vdm) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    return f.CreateMount(Text(mount_path), Text(mover_id), Text(file_system_id), TrueFalse(mover_id_is_vdm));
  });
}

// ------------------------------------------------------------------ movers

void celerra_mover_name_list_free(celerra_mover_name_list* list) { Release(list); }

bool celerra_mover_list_names(celerra_client* c, celerra_mover_name_list** out) {
  return Result<celerra_mover_name_list, std::map<std::string, std::string>>(
      c, __func__, out, [&](ManageCelerra& f, auto& names) { return f.GetMoverNames(names); });
}

bool celerra_mover_list_aliases(celerra_client* c, const char* interface_ip, celerra_string_list** out) {
  return Result<celerra_string_list, std::set<std::string>>(
      c, __func__, out, [&](ManageCelerra& f, auto& aliases) { return f.GetAliasList(Text(interface_ip), aliases); });
}

bool celerra_mover_for_vdm(celerra_client* c, const char* vdm, char** mover_out) {
  if (!Begin(c, __func__, mover_out)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    std::string mover;
    f.ClearLastError();  // it reports by throwing, and keeps an older error otherwise
    if (!f.GetMoverForVdm(Text(vdm), mover)) return false;
    *mover_out = CopyText(mover);
    return true;
  });
}

// ------------------------------------------------------------------ storage

void celerra_storage_pool_list_free(celerra_storage_pool_list* list) { Release(list); }
void celerra_lun_list_free(celerra_lun_list* list) { Release(list); }

bool celerra_storage_list_pools(celerra_client* c, celerra_storage_pool_list** out) {
  return Result<celerra_storage_pool_list, std::vector<CelerraStgPoolInfo_t>>(
      c, __func__, out, [&](ManageCelerra& f, auto& pools) { return f.GetStgPoolInfo(pools); });
}

bool celerra_storage_list_luns(celerra_client* c, celerra_lun_list** out) {
  return Result<celerra_lun_list, std::vector<CelerraLunInfo_t>>(
      c, __func__, out, [&](ManageCelerra& f, auto& luns) { return f.GetLunInfo(luns); });
}

// ------------------------------------------------------------------ offline archiving

bool celerra_offline_configure(celerra_client* c, const char* celerra_share, const char* arkiv_agent_share,
                               const char* user_name, const char* password, bool skip_connection_lookup,
                               bool set_offline_attr) {
  if (!Begin(c, __func__)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    return f.ConfigureFilerForOffLineServer(Text(celerra_share), Text(arkiv_agent_share), Text(user_name),
                                            Text(password), skip_connection_lookup, set_offline_attr, false);
  });
}

// ------------------------------------------------------------------ snapshot device name

bool celerra_snap_device_name_with_client(celerra_client* c, const char* share_path, const char* fs_id,
                                          const char* chk_pt_id, const char* chk_pt_name, char** snap_device_name_out) {
  if (!Begin(c, __func__, snap_device_name_out)) return false;
  return Call(c, __func__, [&](ManageCelerra& f) {
    std::string name;
    f.ClearLastError();  // its own refusal of the name leaves no record
    if (!Celerra_GetSnapDeviceNameWithManageCelerra(f, Text(share_path), Text(fs_id), Text(chk_pt_id),
                                                    Text(chk_pt_name), name)) {
      if (f.GetLastError1().m_eStatus == STATUS_OK)
        throw CelerraError::Input("the checkpoint name is empty or holds \"/\"");
      return false;
    }
    *snap_device_name_out = CopyText(name);
    return true;
  });
}

bool celerra_snap_device_name(uint64_t job_id, const char* host, const char* user, const char* password,
                              const char* share_path, const char* fs_id, const char* chk_pt_id, const char* chk_pt_name,
                              char** snap_device_name_out) {
  std::unique_ptr<celerra_client, decltype(&celerra_client_free)> c(celerra_client_new(host, user, password, job_id),
                                                                    &celerra_client_free);
  if (!c) return false;
  bool ok =
      celerra_snap_device_name_with_client(c.get(), share_path, fs_id, chk_pt_id, chk_pt_name, snap_device_name_out);
  t_noClient.Set(c->error.record, c->error.view.error_code);
  return ok;
}

}  // extern "C"
