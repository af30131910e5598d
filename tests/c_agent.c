/* An agent written in C against the installed C interface: one whole flow
 * (list the file systems, make a writeable checkpoint of one, its snapshot
 * device name, delete it) and every kind of failure a control station and
 * the network can give it. Prints "ok" and exits 0 when every check held.
 *   c_agent HOST:PORT USER PIN FAULTY_HOST:PORT   (password in CONSUMER_PASSWORD)
 * FAULTY_HOST answers every request with a reply that is not well-formed. */
#include <celerra.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static int failures = 0;

#define CHECK(cond)                                                         \
  do {                                                                      \
    if (!(cond)) {                                                          \
      fprintf(stderr, "c_agent.c:%d: check failed: %s\n", __LINE__, #cond); \
      ++failures;                                                           \
    }                                                                       \
  } while (0)

/* Whether the last call on `c` failed with the kind named. */
static int Failed(bool ok, const celerra_client* c, int32_t kind, const char* name) {
  const celerra_error* e = celerra_last_error(c);
  if (!ok && e->kind == kind && strcmp(e->kind_name, name) == 0 && e->status != CELERRA_STATUS_OK &&
      e->message[0] != '\0')
    return 1;
  fprintf(stderr, "expected a \"%s\" failure, got %s: kind %s: %s\n", name, ok ? "success" : "failure", e->kind_name,
          e->message);
  return 0;
}

/* The flow an agent runs; the client's session serves every call. */
static void AgentFlow(celerra_client* c) {
  celerra_filesystem_list* fss = NULL;
  CHECK(celerra_filesystem_list_all(c, &fss) && fss && fss->count > 0);
  const celerra_filesystem* fs1 = NULL;
  for (size_t i = 0; fss && i < fss->count; ++i)
    if (strcmp(fss->items[i].name, "fs1") == 0) fs1 = &fss->items[i];
  CHECK(fs1 && fs1->storage_pool_count > 0 && fs1->space_total >= fs1->space_used);
  CHECK(celerra_last_error(c)->kind == CELERRA_ERROR_KIND_NONE);
  if (!fs1) return;

  celerra_pfs_info* info = NULL;
  CHECK(celerra_filesystem_get_info(c, fs1->fs_id, NULL, &info) && strcmp(info->pfs_name, "fs1") == 0);
  char *id = NULL, *baseline = NULL, *device = NULL;
  CHECK(info && celerra_checkpoint_create_rw(c, fs1->fs_id, info->stg_type, info->stg_id, "c_agent_ck", true, NULL, &id,
                                             &baseline));
  CHECK(id && *id && baseline && *baseline);
  CHECK(celerra_snap_device_name_with_client(c, "/fs1/dir1", fs1->fs_id, id, "c_agent_ck", &device));
  CHECK(device && strcmp(device, "/c_agent_ck/dir1") == 0);

  celerra_checkpoint_list* named = NULL;
  CHECK(celerra_checkpoint_list_all(c, "c_agent_ck", &named) && named->count == 1 &&
        strcmp(named->items[0].chk_pt_id, id ? id : "") == 0);
  CHECK(celerra_checkpoint_delete(c, id, baseline, true));
  char *gone = id, *goneBaseline = baseline;
  CHECK(Failed(celerra_checkpoint_get_ids(c, "c_agent_ck", &gone, &goneBaseline), c, CELERRA_ERROR_KIND_NOT_FOUND,
               "not-found"));
  CHECK(gone == NULL && goneBaseline == NULL); /* a failure leaves NULL behind, not the old texts */
  celerra_mount* mount = NULL;
  CHECK(Failed(celerra_mount_get(c, "/c_agent_ck", NULL, false, &mount), c, CELERRA_ERROR_KIND_NOT_FOUND, "not-found"));

  celerra_checkpoint_list_free(named);
  celerra_string_free(id);
  celerra_string_free(baseline);
  celerra_string_free(device);
  celerra_pfs_info_free(info);
  celerra_filesystem_list_free(fss);
}

/* The library's error lines, counted through the host's log callback. */
static void CountErrorLines(int32_t level, uint64_t jobId, const char* text, void* count) {
  (void)jobId;
  (void)text;
  if (level == 0) ++*(int*)count;
}

/* Every failure the caller can meet, each in its kind. */
static void Failures(celerra_client* c, const char* host, const char* user, const char* password,
                     const char* faultyHost) {
  celerra_filesystem_list* fss = NULL;
  char* text = NULL;
  /* refused before anything is sent */
  CHECK(Failed(celerra_filesystem_list_all(NULL, &fss), NULL, CELERRA_ERROR_KIND_INPUT, "input"));
  CHECK(Failed(celerra_filesystem_list_all(c, NULL), c, CELERRA_ERROR_KIND_INPUT, "input"));
  CHECK(Failed(celerra_set_connect_timeout(c, 0), c, CELERRA_ERROR_KIND_INPUT, "input"));
  CHECK(Failed(celerra_checkpoint_delete(c, NULL, NULL, false), c, CELERRA_ERROR_KIND_INPUT, "input"));
  CHECK(Failed(celerra_nfs_create(c, "fs1", "1", false, NULL, 2, NULL, 0, NULL, 0), c, CELERRA_ERROR_KIND_INPUT,
               "input"));
  CHECK(Failed(celerra_snap_device_name_with_client(c, "/fs1", "21", "5", "a/b", &text), c, CELERRA_ERROR_KIND_INPUT,
               "input"));
  /* the server's "no such object", with its code and words */
  celerra_pfs_info* info = NULL;
  CHECK(Failed(celerra_filesystem_get_info(c, "999999", NULL, &info), c, CELERRA_ERROR_KIND_NOT_FOUND, "not-found"));
  CHECK(info == NULL && celerra_last_error(c)->server_code[0] != '\0' &&
        celerra_last_error(c)->server_message[0] != '\0');
  /* a reply above the limit */
  CHECK(celerra_set_max_reply_size(c, 64));
  CHECK(Failed(celerra_filesystem_list_all(c, &fss), c, CELERRA_ERROR_KIND_REPLY_TOO_LARGE, "reply-too-large"));
  CHECK(fss == NULL);

  /* clients of their own: a wrong password, a closed port, another key, a broken server */
  int errorLines = 0;
  celerra_set_log_callback(CountErrorLines, &errorLines);
  celerra_client* other = celerra_client_new(host, user, "wrong", 2);
  CHECK(Failed(celerra_filesystem_list_all(other, &fss), other, CELERRA_ERROR_KIND_LOGIN_REFUSED, "login-refused"));
  celerra_set_log_callback(NULL, NULL);
  CHECK(errorLines == 1); /* one line per failed call */
  celerra_client_free(other);
  other = celerra_client_new("127.0.0.1:1", user, password, 3);
  CHECK(celerra_set_session_sharing(other, false));
  CHECK(Failed(celerra_filesystem_list_all(other, &fss), other, CELERRA_ERROR_KIND_CONNECT, "connect"));
  celerra_client_free(other);
  other = celerra_client_new(host, user, password, 4);
  CHECK(celerra_set_pinned_public_key(other, "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="));
  CHECK(Failed(celerra_filesystem_list_all(other, &fss), other, CELERRA_ERROR_KIND_TLS, "tls"));
  celerra_client_free(other);
  other = celerra_client_new(faultyHost, user, password, 5);
  CHECK(Failed(celerra_filesystem_list_all(other, &fss), other, CELERRA_ERROR_KIND_REPLY, "reply"));
  celerra_client_free(other);

  /* the self-contained entry point keeps its reason per thread */
  CHECK(Failed(celerra_snap_device_name(6, host, user, password, "/fs1", "21", "5", "", &text), NULL,
               CELERRA_ERROR_KIND_INPUT, "input"));
  CHECK(text == NULL);
}

int main(int argc, char** argv) {
  const char* password = getenv("CONSUMER_PASSWORD");
  if (argc != 5 || !password) {
    fprintf(stderr, "usage: c_agent HOST:PORT USER PIN FAULTY_HOST:PORT (password in CONSUMER_PASSWORD)\n");
    return 2;
  }
  celerra_client* c = celerra_client_new(argv[1], argv[2], password, 1);
  CHECK(c && strcmp(celerra_version(), CELERRA_C_TEST_VERSION) == 0);
  CHECK(celerra_set_pinned_public_key(c, argv[3]) && celerra_set_transfer_timeout(c, 60));
  AgentFlow(c);
  Failures(c, argv[1], argv[2], password, argv[4]);
  celerra_client_free(c);
  celerra_client_free(NULL);
  if (failures) return 1;
  printf("ok\n");
  return 0;
}
