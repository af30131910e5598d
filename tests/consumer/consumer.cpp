// A caller of the installed library: lists the file systems of the control
// station given on the command line (the password in CONSUMER_PASSWORD).
//   consumer HOST:PORT USER
#include <manage/CelerraVersion.h>
#include <manage/ManageCelerra.h>
#include <manage/SnapDeviceName.h>

#include <cstdio>
#include <cstdlib>

// The caller's own classes: the installed headers must not declare the
// library's platform stand-ins, or these would clash with them.
struct EvEvent {
  int mine;
};
struct EvDebug {
  int mine;
};
class OxNamedMutex {};

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
  return 0;
}
