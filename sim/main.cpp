// celerra-sim: the simulated control station as a program of its own, for
// the demo, for manual tries and for integrators' own CI. Prints
// "listening on https://HOST:PORT" and serves until SIGINT or SIGTERM.
#include <signal.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "manage/CelerraVersion.h"
#include "sim/DataFile.h"
#include "sim/Simulator.h"

namespace {

// A bound on --scale, so that a slip of the finger cannot exhaust memory.
constexpr int kMaxScale = 100000;

const char kUsage[] =
    "usage: celerra-sim [--bind ADDR] [--port N] [--user U --password-env VAR] [--data FILE]\n"
    "                   [--scale N] [--fault FAULT]... [--cert-out FILE] [--log]\n"
    "       celerra-sim --dump-data [--scale N]\n"
    "       celerra-sim --help | --version\n";

const char kHelp[] =
    "\n"
    "A simulated control station: HTTPS with a self-signed certificate, the login\n"
    "form, session cookies and the XML management API over a model of a file server.\n"
    "\n"
    "  --bind ADDR         address to listen on (default 127.0.0.1; :: or 0.0.0.0 for all)\n"
    "  --port N            port, 0..65535 (default 0: a free one); a busy port is an error\n"
    "  --user U            login user (default admin)\n"
    "  --password-env VAR  read the login password from environment variable VAR\n"
    "                      (default password); never from the command line\n"
    "  --data FILE         JSON dataset (and faults) in place of the built-in one\n"
    "  --dump-data         print the built-in dataset as JSON, a start for --data\n"
    "  --scale N           add N generated file systems, checkpoints, exports and\n"
    "                      shares, 0..100000\n"
    "  --fault FAULT       inject a fault; repeatable. FAULT is\n"
    "                      kind=KIND[,request=ELEMENT][,count=N|all][,skip=N][,ms=N]\n"
    "                      [,size=N][,code=CODE][,message=TEXT] with KIND one of refuse,\n"
    "                      drop, delay, expire-session, code, malformed, truncated,\n"
    "                      endless, or a hostile answer: redirect (HTTP 302 to the\n"
    "                      same path, the answer as its body), big-header (size bytes\n"
    "                      of header lines, default 4 MiB), huge-cookie (a cookie of\n"
    "                      size bytes, default 1 MiB), tiny-elements (a reply of size\n"
    "                      bytes of empty elements, default 200 MB), many-attributes\n"
    "                      (one element with size attributes, default 1000000);\n"
    "                      request=Login takes refuse, redirect, big-header and\n"
    "                      huge-cookie; message comes last and takes the rest of\n"
    "                      FAULT. E.g.\n"
    "                        --fault kind=delay,request=FileSystemQueryParams,ms=5000\n"
    "                        --fault kind=code,request=MountQueryParams,code=13421971970\n"
    "                        --fault kind=refuse,request=Login,count=1\n"
    "                        --fault kind=redirect,request=Login\n"
    "                        --fault kind=tiny-elements,request=FileSystemQueryParams\n"
    "  --cert-out FILE     write the certificate (PEM) to FILE once listening, so\n"
    "                      clients can verify it (celerractl --ca-bundle FILE)\n"
    "  --log               one line per exchange on standard error\n";

int UsageError(const std::string& why) {
  std::fprintf(stderr, "celerra-sim: %s (celerra-sim --help lists the options)\n", why.c_str());
  return 2;
}

// A whole decimal number within [low, high].
bool Number(const std::string& text, long low, long high, long& out) {
  if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
  long value = std::strtol(text.c_str(), nullptr, 10);
  if (value < low || value > high) return false;
  out = value;
  return true;
}

struct Arguments {
  celsim::Simulator::Options options;
  int port = 0;
  bool dump = false;
  std::string certOut;
};

// 0 to go on; otherwise the exit status (help and version: 0 after printing).
int Parse(int argc, char** argv, Arguments& a, bool& exitNow) {
  exitNow = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    bool takesValue = arg == "--port" || arg == "--bind" || arg == "--user" || arg == "--password-env" ||
                      arg == "--scale" || arg == "--data" || arg == "--fault" || arg == "--cert-out";
    std::string v;
    if (takesValue) {
      if (i + 1 >= argc) return UsageError(arg + " needs a value");
      v = argv[++i];
    }
    long number = 0;
    std::string error;
    if (arg == "--help" || arg == "-h") {
      std::printf("%s%s", kUsage, kHelp);
      exitNow = true;
      return 0;
    } else if (arg == "--version") {
      std::printf("celerra-sim %s\n", CELERRA_VERSION);
      exitNow = true;
      return 0;
    } else if (arg == "--port") {
      if (!Number(v, 0, 65535, number)) return UsageError("--port must be a number from 0 to 65535, not '" + v + "'");
      a.port = static_cast<int>(number);
    } else if (arg == "--bind") {
      if (v.empty()) return UsageError("--bind needs an address");
      a.options.bindAddress = v;
    } else if (arg == "--user") {
      if (v.empty()) return UsageError("--user needs a name");
      a.options.user = v;
    } else if (arg == "--password-env") {
      const char* password = std::getenv(v.c_str());
      if (!password || !*password) return UsageError("the environment variable " + v + " is not set");
      a.options.password = password;
    } else if (arg == "--scale") {
      if (!Number(v, 0, kMaxScale, number))
        return UsageError("--scale must be a number from 0 to " + std::to_string(kMaxScale) + ", not '" + v + "'");
      a.options.scale = static_cast<int>(number);
    } else if (arg == "--data") {
      a.options.dataFile = v;
    } else if (arg == "--fault") {
      celsim::Fault fault;
      if (!celsim::ParseFaultText(v, fault, error)) return UsageError(error);
      a.options.faults.push_back(fault);
    } else if (arg == "--cert-out") {
      a.certOut = v;
    } else if (arg == "--dump-data") {
      a.dump = true;
    } else if (arg == "--log") {
      a.options.log = true;
    } else {
      return UsageError("unknown argument '" + arg + "'");
    }
  }
  return 0;
}

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.flush();
  return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments a;
  bool exitNow = false;
  if (int status = Parse(argc, argv, a, exitNow)) return status;
  if (exitNow) return std::fflush(stdout) == 0 ? 0 : 1;

  if (a.dump) {
    std::printf("%s\n", celsim::DumpModel(celsim::DefaultModel(a.options.scale)).c_str());
    return std::fflush(stdout) == 0 ? 0 : 1;
  }

  // A client that goes away mid-reply must not end the server.
  signal(SIGPIPE, SIG_IGN);
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // server threads inherit the mask

  celsim::Simulator sim(a.options);
  if (!sim.Start(a.port)) {
    std::fprintf(stderr, "celerra-sim: %s\n", sim.error().c_str());
    return 1;
  }
  if (!a.certOut.empty() && !WriteFile(a.certOut, sim.CertificatePem())) {
    std::fprintf(stderr, "celerra-sim: cannot write the certificate to %s: %s\n", a.certOut.c_str(),
                 std::strerror(errno));
    return 1;
  }
  std::printf("listening on https://%s\n", sim.address().c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&signals, &received);
  sim.Stop();
  return 0;
}
