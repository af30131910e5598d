/* libcelerra's C interface: the facade (manage/ManageCelerra.h) for callers
 * that are not C++ or not built with the library's C++ compiler settings.
 * Plain C11 types only (no C++ type crosses it), so no compiler setting of
 * the host, the standard library's string ABI among them, can make the two
 * sides read each other's data differently.
 *
 * Conventions, the same for every function below:
 *
 * - A client (celerra_client) is one facade: one control station, one set of
 *   credentials, one job id and one HTTPS session. Use a client from one
 *   thread at a time; separate clients may run in separate threads at once.
 * - Every operation returns true on success. On failure it returns false, its
 *   outputs are set to NULL, and celerra_last_error() says why. The operation
 *   is the facade's operation of the same name given in its comment, with
 *   that operation's contract (what is checked before sending, which server
 *   answers count as success, what it costs).
 * - Text is UTF-8, passed as `const char*`; NULL passes as the empty text.
 *   A list of texts is `const char* const* items, size_t count` (items may be
 *   NULL when count is 0; a NULL item passes as the empty text).
 * - Results are owned by the library and freed by the one free function of
 *   their kind; every text and array inside a result lives as long as the
 *   result and is freed with it. Every free function accepts NULL.
 * - A NULL client, or an output pointer that is NULL, is refused before
 *   anything else: false, with an "input" error. The error of a NULL client is
 *   read with celerra_last_error(NULL) (one per thread).
 *
 * Binary compatibility: the structs' layouts are part of the library's
 * interface (abi/libcelerra.abi); members are never removed or reordered
 * within a major version.
 */
#ifndef CELERRA_C_H
#define CELERRA_C_H

#include <stdbool.h>
#include <stddef.h>
#include <stdint.h>

#if defined(__GNUC__)
#define CELERRA_C_API __attribute__((visibility("default")))
#else
#define CELERRA_C_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* ---------------------------------------------------------------- basics */

/* One facade: see celerra_client_new. */
typedef struct celerra_client celerra_client;

/* The library's version, e.g. "1.0.0"; a static text. */
CELERRA_C_API const char* celerra_version(void);

/* Status of an error record (the reply's translated severity). */
#define CELERRA_STATUS_OK 0
#define CELERRA_STATUS_WARNING 1
#define CELERRA_STATUS_ERROR 2

/* Kind of failure of an error record; `kind_name` is the short stable name
 * given beside each. */
#define CELERRA_ERROR_KIND_NONE 0            /* "none": no failure recorded */
#define CELERRA_ERROR_KIND_SERVER 1          /* "server": the server refused the request */
#define CELERRA_ERROR_KIND_LOGIN_REFUSED 2   /* "login-refused": user name or password refused */
#define CELERRA_ERROR_KIND_CONNECT 3         /* "connect": host not found, refused, unreachable */
#define CELERRA_ERROR_KIND_TIMEOUT 4         /* "timeout": no connection or reply within the time-out */
#define CELERRA_ERROR_KIND_TLS 5             /* "tls": certificate, pinned key, CA bundle, handshake */
#define CELERRA_ERROR_KIND_TRANSPORT 6       /* "transport": HTTP error status, broken connection */
#define CELERRA_ERROR_KIND_REPLY 7           /* "reply": unreadable reply, or without what was asked */
#define CELERRA_ERROR_KIND_REPLY_TOO_LARGE 8 /* "reply-too-large": above the reply-size limit */
#define CELERRA_ERROR_KIND_INPUT 9           /* "input": refused before anything was sent */
#define CELERRA_ERROR_KIND_NOT_FOUND 10      /* "not-found": the server has no such object */
#define CELERRA_ERROR_KIND_LOCAL 11          /* "local": this machine (files, lock wait, memory) */

/* Why the last call failed, or the empty record after a success (status
 * CELERRA_STATUS_OK, kind CELERRA_ERROR_KIND_NONE, every text ""). No text
 * is ever NULL. */
typedef struct celerra_error {
  int32_t status;             /* CELERRA_STATUS_* */
  int32_t kind;               /* CELERRA_ERROR_KIND_* */
  const char* kind_name;      /* the kind's name, as beside CELERRA_ERROR_KIND_* */
  const char* server_code;    /* the server's message code, for its problems */
  const char* server_message; /* the server's message, when the server answered with a code; else "" */
  const char* message;        /* what failed, in plain words (with the transport's text) */
  const char* severity;       /* the server's severity, or "error" for the library's own */
  const char* description;    /* the server's description of its problem */
  const char* action;         /* what the server suggests doing */
  const char* diagnostics;    /* the server's diagnostics */
  int64_t error_code;         /* numeric reason of celerra_mover_aliases' failure (facade's m_ErrorCode) */
} celerra_error;

/* The error of the last call on `c`, valid until the next call on that
 * client (or until it is freed). With NULL: the error of the last call of
 * this thread that had no client to keep it (a NULL client, a failed
 * celerra_client_new, celerra_snap_device_name). Never NULL. */
CELERRA_C_API const celerra_error* celerra_last_error(const celerra_client* c);

/* A text result; NULL is accepted. */
CELERRA_C_API void celerra_string_free(char* s);

/* A list of texts. */
typedef struct celerra_string_list {
  const char** items;
  size_t count;
} celerra_string_list;
CELERRA_C_API void celerra_string_list_free(celerra_string_list* list);

/* ---------------------------------------------------------------- clients */

/* A client for control station `host` ("name" or "name:port") with the
 * credentials the exchanges log in with; `job_id` goes into every log line.
 * Sends nothing. NULL only when memory runs out (celerra_last_error(NULL)). */
CELERRA_C_API celerra_client* celerra_client_new(const char* host, const char* user, const char* password,
                                                 uint64_t job_id);
/* Ends the client's session and frees it, with every error record it
 * handed out; results already returned stay valid. NULL is accepted. */
CELERRA_C_API void celerra_client_free(celerra_client* c);

/* Settings, each the facade's setter of the same purpose (SetConnectTimeout,
 * SetTransferTimeout, SetCABundle, SetPinnedPublicKey, SetMaxReplySize): a
 * refused value returns false with an "input" error and the setting stays as
 * it was; a setting takes effect at the next exchange. Time-outs in seconds,
 * 0.001 to 86400. CA bundle: a readable PEM file; pinned key:
 * "sha256//<base64>" or a readable PEM/DER file; empty (or NULL) for either:
 * the environment's, else none. Max reply size: bytes, at least 1. */
CELERRA_C_API bool celerra_set_connect_timeout(celerra_client* c, double seconds);
CELERRA_C_API bool celerra_set_transfer_timeout(celerra_client* c, double seconds);
CELERRA_C_API bool celerra_set_ca_bundle(celerra_client* c, const char* path);
CELERRA_C_API bool celerra_set_pinned_public_key(celerra_client* c, const char* key);
CELERRA_C_API bool celerra_set_max_reply_size(celerra_client* c, uint64_t bytes);

/* Shares the login (session cookie), TLS sessions and resolved names with
 * the other clients of this process that use the same control host and
 * port, user, password and TLS settings: true by default unless the
 * configuration's sCELERRASHARESESSION is N; false gives the client a
 * session of its own. Takes effect at the next exchange. */
CELERRA_C_API bool celerra_set_session_sharing(celerra_client* c, bool share);

/* Every log line of the process, one at a time: its level (0 error, 1 the
 * steps of a failed operation, 2 and above debug), the job id of the client
 * that wrote it (0 outside a client) and the text. */
typedef void (*celerra_log_fn)(int32_t level, uint64_t job_id, const char* text, void* user_data);
/* Sends every log line of the process to `fn` (with `user_data`) in place of
 * standard error or CELERRA_LOG_FILE; NULL restores those. The calls are
 * serialised; `fn` must not call the library. Any thread. */
CELERRA_C_API void celerra_set_log_callback(celerra_log_fn fn, void* user_data);
/* The process's log threshold: lines above `level` are dropped; -1 turns
 * logging off. The default is CELERRA_LOG_LEVEL, else 0 (one line per failed
 * operation, nothing on success). */
CELERRA_C_API void celerra_set_log_level(int32_t level);

/* Where a long-running operation stands (celerra_offline_configure). */
typedef struct celerra_progress {
  const char* step;  /* what is being done, e.g. "finding the file system" */
  uint32_t attempt;  /* 1-based attempt of this step */
  uint32_t attempts; /* attempts the step may take */
  uint64_t pause_ms; /* not 0: this attempt failed, the next starts in this many ms */
} celerra_progress;
typedef void (*celerra_progress_fn)(const celerra_progress* progress, void* user_data);
/* Called on the caller's thread at each attempt of celerra_offline_configure,
 * and at the start of each pause and once a second during it (the facade's
 * SetProgressCallback). NULL switches it off. `progress` is valid for the
 * call only. */
CELERRA_C_API bool celerra_set_progress_callback(celerra_client* c, celerra_progress_fn fn, void* user_data);

/* ---------------------------------------------------------------- file systems */

#define CELERRA_STG_TYPE_NONE 0
#define CELERRA_STG_TYPE_POOL 1
#define CELERRA_STG_TYPE_VOLUME 2

/* One file system of the list (CelerraFileSystem_t); sizes in MB. */
typedef struct celerra_filesystem {
  const char* name;
  const char* fs_id;
  const char* type;
  const char* mover_id;
  const int32_t* storage_pools;
  size_t storage_pool_count;
  int64_t volume_size;
  int64_t space_total;
  int64_t space_used;
  int64_t files_used;
  int64_t files_total;
} celerra_filesystem;
typedef struct celerra_filesystem_list {
  celerra_filesystem* items;
  size_t count;
} celerra_filesystem_list;
CELERRA_C_API void celerra_filesystem_list_free(celerra_filesystem_list* list);

/* Every file system (GetFSInfo). */
CELERRA_C_API bool celerra_filesystem_list_all(celerra_client* c, celerra_filesystem_list** out);

/* One production file system in detail (GetPFSInfo). */
typedef struct celerra_pfs_info {
  const char* pfs_id;
  const char* pfs_name;
  int32_t stg_type;       /* CELERRA_STG_TYPE_* */
  const char* stg_id;     /* the pool's or volume's id */
  const char* sav_vol_id; /* the save volume; "" without checkpoints */
  const char* mover_id;
  bool mover_is_vdm;
} celerra_pfs_info;
CELERRA_C_API void celerra_pfs_info_free(celerra_pfs_info* info);
/* By `pfs_id`, or by `pfs_name` when `pfs_id` is empty. */
CELERRA_C_API bool celerra_filesystem_get_info(celerra_client* c, const char* pfs_id, const char* pfs_name,
                                               celerra_pfs_info** out);

/* A file system's name and mover from its id (GetFSNameByFSId). */
typedef struct celerra_filesystem_name {
  const char* fs_name;
  const char* mover_id;
  bool mover_is_vdm;
} celerra_filesystem_name;
CELERRA_C_API void celerra_filesystem_name_free(celerra_filesystem_name* name);
CELERRA_C_API bool celerra_filesystem_get_name(celerra_client* c, const char* fs_id, celerra_filesystem_name** out);

/* ---------------------------------------------------------------- checkpoints */

/* One checkpoint (CelerraChkPtInfo). */
typedef struct celerra_checkpoint {
  const char* chk_pt_id;
  const char* base_chk_pt_id; /* baseline of a writeable checkpoint; may be "" */
  const char* fs_id;          /* production file system */
  const char* chk_pt_name;
} celerra_checkpoint;
typedef struct celerra_checkpoint_list {
  celerra_checkpoint* items;
  size_t count;
} celerra_checkpoint_list;
CELERRA_C_API void celerra_checkpoint_list_free(celerra_checkpoint_list* list);

/* A writeable checkpoint (CreateRWChkPt). Without `create_baseline`,
 * `base_chk_pt_id` names the baseline to use. Out: the checkpoint's id and
 * the baseline actually used. */
CELERRA_C_API bool celerra_checkpoint_create_rw(celerra_client* c, const char* pfs_id, int32_t stg_type,
                                                const char* stg_id, const char* chk_pt_name, bool create_baseline,
                                                const char* base_chk_pt_id, char** chk_pt_id_out,
                                                char** base_chk_pt_id_out);
/* A read-only checkpoint (CreateROChkPt). */
CELERRA_C_API bool celerra_checkpoint_create_ro(celerra_client* c, const char* pfs_id, int32_t stg_type,
                                                const char* stg_id, const char* chk_pt_name, char** chk_pt_id_out);
/* The ids of the checkpoint named exactly `chk_pt_name` (GetChkPointInfo);
 * the baseline's is "" for a read-only checkpoint. */
CELERRA_C_API bool celerra_checkpoint_get_ids(celerra_client* c, const char* chk_pt_name, char** chk_pt_id_out,
                                              char** base_chk_pt_id_out);
/* Every checkpoint, or those named `chk_pt_name` (empty: all) (GetChkPointsInfo). */
CELERRA_C_API bool celerra_checkpoint_list_all(celerra_client* c, const char* chk_pt_name,
                                               celerra_checkpoint_list** out);
/* DeleteChkPt. */
CELERRA_C_API bool celerra_checkpoint_delete(celerra_client* c, const char* chk_pt_id, const char* base_chk_pt_id,
                                             bool delete_baseline);
/* RestorePFSFromChkPt. */
CELERRA_C_API bool celerra_checkpoint_restore(celerra_client* c, const char* chk_pt_name, const char* chk_pt_id,
                                              const char* pfs_id);

/* ---------------------------------------------------------------- NFS exports */

/* One NFS export (CelerraNFSInfo_t). */
typedef struct celerra_nfs_export {
  const char* path;
  const char* file_system;
  bool read_only;
  const char* mover;
  const char** access_hosts;
  size_t access_host_count;
  const char** rw_hosts;
  size_t rw_host_count;
  const char** root_hosts;
  size_t root_host_count;
} celerra_nfs_export;
typedef struct celerra_nfs_export_list {
  celerra_nfs_export* items;
  size_t count;
} celerra_nfs_export_list;
CELERRA_C_API void celerra_nfs_export_list_free(celerra_nfs_export_list* list);
CELERRA_C_API void celerra_nfs_export_free(celerra_nfs_export* e);

/* The export of path `share_name` (GetNFSInfo of one path); `path` of the
 * result is `share_name` as given. */
CELERRA_C_API bool celerra_nfs_get(celerra_client* c, const char* share_name, celerra_nfs_export** out);
/* Every NFS export (GetNFSInfo). */
CELERRA_C_API bool celerra_nfs_list_all(celerra_client* c, celerra_nfs_export_list** out);
/* CreateNFSShare. */
CELERRA_C_API bool celerra_nfs_create(celerra_client* c, const char* pfs_or_chk_pt_name, const char* mover_id,
                                      bool read_only, const char* const* access_hosts, size_t access_host_count,
                                      const char* const* rw_hosts, size_t rw_host_count, const char* const* root_hosts,
                                      size_t root_host_count);
/* DeleteNFSShare. */
CELERRA_C_API bool celerra_nfs_delete(celerra_client* c, const char* share_name, const char* mover_id);

/* ---------------------------------------------------------------- CIFS shares and servers */

/* One CIFS share (CelerraCIFSInfo_t). */
typedef struct celerra_cifs_share {
  const char* name;
  const char* path;
  const char* file_system;
  const char* mover;
  bool mover_id_is_vdm;
  const char** cifs_servers;
  size_t cifs_server_count;
} celerra_cifs_share;
typedef struct celerra_cifs_share_list {
  celerra_cifs_share* items;
  size_t count;
} celerra_cifs_share_list;
CELERRA_C_API void celerra_cifs_share_list_free(celerra_cifs_share_list* list);
CELERRA_C_API void celerra_cifs_share_free(celerra_cifs_share* share);

/* NewCifsShare. */
CELERRA_C_API bool celerra_cifs_create(celerra_client* c, const char* share_name, const char* path,
                                       const char* mover_id, bool mover_id_is_vdm, const char* const* cifs_servers,
                                       size_t cifs_server_count);
/* DeleteCifsShare. */
CELERRA_C_API bool celerra_cifs_delete(celerra_client* c, const char* mover_id, const char* share_name,
                                       bool mover_id_is_vdm, const char* const* cifs_servers, size_t cifs_server_count);
/* The share named `share_name` (GetCifsShareInfo); `path` of the result is "". */
CELERRA_C_API bool celerra_cifs_get(celerra_client* c, const char* share_name, celerra_cifs_share** out);
/* Every CIFS share (GetCifsInfo). */
CELERRA_C_API bool celerra_cifs_list_all(celerra_client* c, celerra_cifs_share_list** out);

/* One CIFS server (CelerraCifsServer_t). */
typedef struct celerra_cifs_server {
  const char* mover;
  const char* name;
  const char* interfaces;
  bool mover_id_is_vdm;
} celerra_cifs_server;
typedef struct celerra_cifs_server_list {
  celerra_cifs_server* items;
  size_t count;
} celerra_cifs_server_list;
CELERRA_C_API void celerra_cifs_server_list_free(celerra_cifs_server_list* list);
/* The CIFS servers of mover `mover` (empty: of all) (GetCifsServers). */
CELERRA_C_API bool celerra_cifs_list_servers(celerra_client* c, const char* mover, celerra_cifs_server_list** out);

/* ---------------------------------------------------------------- mounts */

/* One mount (CelerraMountPointsInfo_t). */
typedef struct celerra_mount {
  const char* mover;
  const char* file_system;
  const char* path;
  bool mover_id_is_vdm;
} celerra_mount;
typedef struct celerra_mount_list {
  celerra_mount* items;
  size_t count;
} celerra_mount_list;
CELERRA_C_API void celerra_mount_list_free(celerra_mount_list* list);
CELERRA_C_API void celerra_mount_free(celerra_mount* mount);

/* The mount paths of mover or VDM `mover_id` (GetMountPts). */
CELERRA_C_API bool celerra_mount_list_paths(celerra_client* c, const char* mover_id, bool mover_id_is_vdm,
                                            celerra_string_list** out);
/* The mounts of `mover_id` (empty: of all), at `path` only unless empty (GetMountPtsInfo). */
CELERRA_C_API bool celerra_mount_list_all(celerra_client* c, const char* mover_id, bool mover_id_is_vdm,
                                          const char* path, celerra_mount_list** out);
/* The mount at `path` of `mover_id` (empty: any) (GetMountPointInfo). */
CELERRA_C_API bool celerra_mount_get(celerra_client* c, const char* path, const char* mover_id, bool mover_id_is_vdm,
                                     celerra_mount** out);
/* CreateMount. */
CELERRA_C_API bool celerra_mount_create(celerra_client* c, const char* mount_path, const char* mover_id,
                                        const char* file_system_id, bool mover_id_is_vdm);

/* ---------------------------------------------------------------- movers */

/* One mover or VDM: id and name. */
typedef struct celerra_mover_name {
  const char* id;
  const char* name;
} celerra_mover_name;
typedef struct celerra_mover_name_list {
  celerra_mover_name* items;
  size_t count;
} celerra_mover_name_list;
CELERRA_C_API void celerra_mover_name_list_free(celerra_mover_name_list* list);

/* Every data mover and VDM, ordered by id (GetMoverNames). */
CELERRA_C_API bool celerra_mover_list_names(celerra_client* c, celerra_mover_name_list** out);
/* Every address of the device that carries `interface_ip`, sorted (GetAliasList);
 * the error's `error_code` holds the facade's numeric reason. */
CELERRA_C_API bool celerra_mover_list_aliases(celerra_client* c, const char* interface_ip, celerra_string_list** out);
/* The data mover that hosts VDM `vdm` (GetMoverForVdm). */
CELERRA_C_API bool celerra_mover_for_vdm(celerra_client* c, const char* vdm, char** mover_out);

/* ---------------------------------------------------------------- storage */

/* One storage pool (CelerraStgPoolInfo_t). */
typedef struct celerra_storage_pool {
  const char* name;
  int32_t pool;
  int64_t used_size;
  int64_t size;
  const char** movers;
  size_t mover_count;
} celerra_storage_pool;
typedef struct celerra_storage_pool_list {
  celerra_storage_pool* items;
  size_t count;
} celerra_storage_pool_list;
CELERRA_C_API void celerra_storage_pool_list_free(celerra_storage_pool_list* list);
/* GetStgPoolInfo. */
CELERRA_C_API bool celerra_storage_list_pools(celerra_client* c, celerra_storage_pool_list** out);

/* One iSCSI LUN (CelerraLunInfo_t); size in bytes. */
typedef struct celerra_lun {
  const char* name;
  int64_t size;
  const char* file_system;
  int32_t lun;
} celerra_lun;
typedef struct celerra_lun_list {
  celerra_lun* items;
  size_t count;
} celerra_lun_list;
CELERRA_C_API void celerra_lun_list_free(celerra_lun_list* list);
/* GetLunInfo. */
CELERRA_C_API bool celerra_storage_list_luns(celerra_client* c, celerra_lun_list** out);

/* ---------------------------------------------------------------- offline archiving */

/* ConfigureFilerForOffLineServer; can take minutes (see
 * celerra_set_progress_callback). */
CELERRA_C_API bool celerra_offline_configure(celerra_client* c, const char* celerra_share,
                                             const char* arkiv_agent_share, const char* user_name, const char* password,
                                             bool skip_connection_lookup, bool set_offline_attr);

/* ---------------------------------------------------------------- snapshot device name */

/* The snapshot device name of writeable checkpoint `chk_pt_id` named
 * `chk_pt_name` for the share `share_path` of file system `fs_id`
 * (Celerra_GetSnapDeviceNameWithManageCelerra), with the client's session. */
CELERRA_C_API bool celerra_snap_device_name_with_client(celerra_client* c, const char* share_path, const char* fs_id,
                                                        const char* chk_pt_id, const char* chk_pt_name,
                                                        char** snap_device_name_out);
/* The same with a client of its own for this one call (Celerra_GetSnapDeviceName);
 * the reason of a failure is in celerra_last_error(NULL). Any thread. */
CELERRA_C_API bool celerra_snap_device_name(uint64_t job_id, const char* host, const char* user, const char* password,
                                            const char* share_path, const char* fs_id, const char* chk_pt_id,
                                            const char* chk_pt_name, char** snap_device_name_out);

#ifdef __cplusplus
}
#endif

#endif /* CELERRA_C_H */
