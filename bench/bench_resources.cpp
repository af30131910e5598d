// A long-lived facade: 10,000 sequential operations on one facade against
// the simulator over HTTPS. Reports the peak RSS after 1,000 and after
// 10,000 operations (flat when nothing accumulates per exchange), the TLS
// handshakes and connections (one each when the connection is reused).
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"

namespace {

long PeakRssKb() {
  struct rusage usage {};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

long CurrentRssKb() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
    std::fclose(f);
  }
  return resident * 4;
}

bool OneOperation(ManageCelerra& facade, int i) {
  switch (i % 4) {
    case 0: {
      std::map<std::string, std::string> movers;
      return facade.GetMoverNames(movers);
    }
    case 1: {
      std::vector<CelerraFileSystem_t> fs;
      return facade.GetFSInfo(fs);
    }
    case 2: {
      std::vector<CelerraStgPoolInfo_t> pools;
      return facade.GetStgPoolInfo(pools);
    }
    default: {
      std::vector<std::string> paths;
      return facade.GetMountPts("1", "false", paths);
    }
  }
}

void BM_TenThousandOperationsOneFacade(benchmark::State& state) {
  celsim::Simulator::Options options;
  options.password = "bench-pw";
  celsim::Simulator sim(options);
  if (!sim.Start()) {
    state.SkipWithError("simulator did not start");
    return;
  }
  const int total = static_cast<int>(state.range(0));
  long rssAt1000 = 0, peakAt1000 = 0, failures = 0;
  for (auto _ : state) {
    ManageCelerra facade(1);
    facade.SetControlHostInfo(sim.address(), options.user, options.password);
    for (int i = 1; i <= total; ++i) {
      failures += !OneOperation(facade, i);
      // The simulator journals every exchange; dropping the journal keeps
      // the figures the library's own.
      if (i % 100 == 0) sim.ClearJournal();
      if (i == 1000) {
        rssAt1000 = CurrentRssKb();
        peakAt1000 = PeakRssKb();
      }
    }
  }
  state.counters["ops"] = total;
  state.counters["failures"] = static_cast<double>(failures);
  state.counters["peak_rss_kb_at_1000"] = static_cast<double>(peakAt1000);
  state.counters["peak_rss_kb_at_end"] = static_cast<double>(PeakRssKb());
  state.counters["rss_kb_at_1000"] = static_cast<double>(rssAt1000);
  state.counters["rss_kb_at_end"] = static_cast<double>(CurrentRssKb());
  state.counters["handshakes"] = static_cast<double>(sim.Handshakes());
  state.counters["connections"] = static_cast<double>(sim.Connections());
  state.SetItemsProcessed(state.iterations() * total);
}
BENCHMARK(BM_TenThousandOperationsOneFacade)->Arg(10000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
