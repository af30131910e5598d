// celerra-sim: the simulated control station as a program of its own.
//   celerra-sim [--port N] [--user U --password-env VAR] [--data FILE] [--scale N] [--log]
// Prints "listening on https://127.0.0.1:PORT" and serves until SIGINT or
// SIGTERM.
#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "sim/DataFile.h"
#include "sim/Simulator.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: celerra-sim [--port N] [--user U --password-env VAR] [--data FILE] [--scale N] [--log]\n"
               "       celerra-sim --dump-data [--scale N]   (the built-in dataset as JSON, a start for --data)\n"
               "  The password is read from the environment variable VAR, never from the command line.\n");
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  celsim::Simulator::Options options;
  int port = 0;
  bool dump = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    auto value = [&](std::string& out) {
      if (i + 1 >= argc) return false;
      out = argv[++i];
      return true;
    };
    std::string v;
    if (arg == "--port" && value(v)) {
      port = std::atoi(v.c_str());
    } else if (arg == "--user" && value(v)) {
      options.user = v;
    } else if (arg == "--password-env" && value(v)) {
      const char* password = std::getenv(v.c_str());
      if (!password) {
        std::fprintf(stderr, "celerra-sim: environment variable %s is not set\n", v.c_str());
        return 2;
      }
      options.password = password;
    } else if (arg == "--scale" && value(v)) {
      options.scale = std::atoi(v.c_str());
    } else if (arg == "--data" && value(v)) {
      options.dataFile = v;
    } else if (arg == "--dump-data") {
      dump = true;
    } else if (arg == "--log") {
      options.log = true;
    } else {
      return Usage();
    }
  }

  if (dump) {
    std::printf("%s\n", celsim::DumpModel(celsim::DefaultModel(options.scale)).c_str());
    return 0;
  }

  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);  // server threads inherit the mask

  celsim::Simulator sim(options);
  if (!sim.Start(port)) {
    std::fprintf(stderr, "celerra-sim: %s\n", sim.error().c_str());
    return 1;
  }
  std::printf("listening on https://%s\n", sim.address().c_str());
  std::fflush(stdout);
  int received = 0;
  sigwait(&signals, &received);
  sim.Stop();
  return 0;
}
