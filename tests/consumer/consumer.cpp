// A caller of the installed library: lists the file systems of the control
// station given on the command line (the password in CONSUMER_PASSWORD).
//   consumer HOST:PORT USER
#include <manage/CelerraVersion.h>
#include <manage/ManageCelerra.h>
#include <manage/SnapDeviceName.h>

#include <cstdio>
#include <cstdlib>
#include <string>

// The caller's own classes: the installed headers must not declare the
// library's platform stand-ins, or these would clash with them.
struct EvEvent {
  int mine;
};
struct EvDebug {
  int mine;
};
class OxNamedMutex {};

// The host's own log, as the README shows it: every line of the library
// comes here instead of standard error.
struct HostLog {
  int errors = 0;
  unsigned long long jobId = 0;
  std::string last;
  void Write(int level, unsigned long long job, const char* text) {
    if (level == 0) ++errors;
    jobId = job;
    last = text;
  }
};

void ToHostLog(int level, unsigned long long jobId, const char* text, void* host) {
  static_cast<HostLog*>(host)->Write(level, jobId, text);
}

int main(int argc, char** argv) {
  if (argc != 3 || !std::getenv("CONSUMER_PASSWORD")) {
    std::fprintf(stderr, "usage: consumer HOST:PORT USER (password in CONSUMER_PASSWORD)\n");
    return 2;
  }
  EvEvent event{1};
  EvDebug debug{event.mine};
  ManageCelerra celerra(static_cast<unsigned long long>(debug.mine));
  celerra.SetControlHostInfo(argv[1], argv[2], std::getenv("CONSUMER_PASSWORD"));
  std::vector<CelerraFileSystem_t> fileSystems;
  if (!celerra.GetFSInfo(fileSystems)) {
    CelerraError e = celerra.GetLastError1();
    std::fprintf(stderr, "GetFSInfo failed: %s\n", e.m_sMessage.c_str());
    return 1;
  }
  Celerra_GetSnapDeviceName_t entry = &Celerra_GetSnapDeviceName;
  std::printf("libcelerra %s: %zu file systems%s\n", CELERRA_VERSION, fileSystems.size(), entry ? "" : "?");

  // A failed lookup writes one error line, to the host's log; with logging
  // off, nothing.
  HostLog hostLog;
  ManageCelerra::SetLogCallback(&ToHostLog, &hostLog);
  std::string id, baseline;
  bool found = celerra.GetChkPointInfo("no_such_checkpoint", id, baseline);
  bool named = hostLog.last.find("GetChkPointInfo failed [not-found]") != std::string::npos;
  std::printf("log: %d error line(s) for job %llu%s\n", hostLog.errors, hostLog.jobId, found || !named ? "?" : "");
  ManageCelerra::SetLogLevel(-1);
  celerra.GetChkPointInfo("no_such_checkpoint", id, baseline);
  ManageCelerra::SetLogCallback(nullptr, nullptr);
  std::printf("log off: %d error line(s)\n", hostLog.errors - 1);
  return 0;
}
