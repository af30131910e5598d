// Listing NFS exports and CIFS shares from a control station that has many:
// the whole exchange (request, the server building its reply, transfer, one
// DOM parse, records handed over) per record, and the process's peak memory.
// The simulator runs in this process, so the peak includes its model and
// reply text too; run one size per process (--benchmark_filter) to read the
// peak of that size alone.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "manage/ManageCelerra.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"

namespace {

struct Station {
  std::unique_ptr<celsim::Simulator> sim;
  std::unique_ptr<ManageCelerra> facade;
};

// A simulator whose dataset holds `records` generated exports and shares
// beside the built-in ones, and a facade logged in to it.
Station Start(int records) {
  EvDebug::SetLevel(-2);  // the per-exchange lines would dominate the timing
  celsim::Simulator::Options options;
  options.scale = records;
  Station s;
  s.sim.reset(new celsim::Simulator(options));
  if (!s.sim->Start()) std::abort();
  s.facade.reset(new ManageCelerra(1));
  s.facade->SetControlHostInfo(s.sim->address(), options.user, options.password);
  return s;
}

long PeakRssKiB() {
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

void Report(benchmark::State& state, size_t records, double seconds, long setupPeakKiB) {
  state.counters["records"] = static_cast<double>(records);
  state.counters["ns_per_record"] =
      records && state.iterations() ? seconds * 1e9 / (static_cast<double>(records) * state.iterations()) : 0;
  state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
  // The peak before the first listing: the simulator and its dataset.
  state.counters["setup_rss_MiB"] = static_cast<double>(setupPeakKiB) / 1024.0;
  state.SetItemsProcessed(static_cast<int64_t>(records) * state.iterations());
}

void BM_GetNFSInfoAll(benchmark::State& state) {
  Station s = Start(static_cast<int>(state.range(0)));
  long setupPeak = PeakRssKiB();
  std::vector<CelerraNFSInfo_t> exports;
  double seconds = 0;
  for (auto _ : state) {
    auto begin = std::chrono::steady_clock::now();
    if (!s.facade->GetNFSInfo(exports)) {
      state.SkipWithError("GetNFSInfo failed");
      break;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    benchmark::DoNotOptimize(exports.data());
  }
  Report(state, exports.size(), seconds, setupPeak);
}

void BM_GetCifsInfo(benchmark::State& state) {
  Station s = Start(static_cast<int>(state.range(0)));
  long setupPeak = PeakRssKiB();
  std::vector<CelerraCIFSInfo_t> shares;
  double seconds = 0;
  for (auto _ : state) {
    auto begin = std::chrono::steady_clock::now();
    if (!s.facade->GetCifsInfo(shares)) {
      state.SkipWithError("GetCifsInfo failed");
      break;
    }
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
    benchmark::DoNotOptimize(shares.data());
  }
  Report(state, shares.size(), seconds, setupPeak);
}

}  // namespace

BENCHMARK(BM_GetNFSInfoAll)->Arg(1000)->Arg(10000)->Arg(50000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetCifsInfo)->Arg(1000)->Arg(10000)->Arg(50000)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
