// celerra-stress-client: one process of the concurrency stress test. Runs
// the shared workload against a control station with one facade of its own.
//   celerra-stress-client <host:port> <job id> <rounds>
// The password comes from the environment (CELERRA_STRESS_PASSWORD), never
// from the command line. Exit status 0 when every result was right; each
// wrong result is one line on standard error.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/StressWork.h"

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: %s <host:port> <job id> <rounds>\n", argv[0]);
    return 2;
  }
  const char* password = std::getenv("CELERRA_STRESS_PASSWORD");
  const char* user = std::getenv("CELERRA_STRESS_USER");
  if (!password || !user) {
    std::fprintf(stderr, "CELERRA_STRESS_USER and CELERRA_STRESS_PASSWORD must be set\n");
    return 2;
  }
  unsigned long long job = std::strtoull(argv[2], nullptr, 10);
  int rounds = std::atoi(argv[3]);
  int wrong = 0;
  {
    ManageCelerra facade(job);
    facade.SetControlHostInfo(argv[1], user, password);
    for (int round = 0; round < rounds; ++round) {
      std::string why = celstress::RunRound(facade, job, round);
      if (!why.empty()) {
        ++wrong;
        std::fprintf(stderr, "job %llu round %d: wrong result from %s\n", job, round, why.c_str());
      }
    }
  }
  return wrong == 0 ? 0 : 1;
}
