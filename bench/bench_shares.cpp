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
#include <cstring>
#include <fstream>
#include <memory>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
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

// A line of /proc/self/status ("VmRSS", "VmHWM") in KiB; -1 when unknown.
long StatusKiB(const char* key) {
  std::ifstream status("/proc/self/status");
  std::string line;
  size_t n = std::strlen(key);
  while (std::getline(status, line))
    if (line.compare(0, n, key) == 0 && line.size() > n && line[n] == ':') return std::atol(line.c_str() + n + 1);
  return -1;
}

// Starts a new high-water mark at the current size, so that the peak read
// afterwards is the listing's and not the dataset generation's. False when
// the kernel does not allow it.
bool ResetPeak() {
  std::ofstream clear("/proc/self/clear_refs");
  clear << "5";
  clear.flush();
  return static_cast<bool>(clear);
}

struct Memory {
  long baseKiB = -1;  // resident size before the first listing
  bool reset = false;
};

Memory BeforeListing() {
  Memory m;
  m.baseKiB = StatusKiB("VmRSS");
  m.reset = ResetPeak();
  return m;
}

void Report(benchmark::State& state, size_t records, double seconds, const Memory& before) {
  state.counters["records"] = static_cast<double>(records);
  state.counters["ns_per_record"] =
      records && state.iterations() ? seconds * 1e9 / (static_cast<double>(records) * state.iterations()) : 0;
  // getrusage's peak: with the high-water mark reset after set-up, the peak
  // while listing (simulator and dataset included).
  state.counters["peak_rss_MiB"] = static_cast<double>(PeakRssKiB()) / 1024.0;
  state.counters["base_rss_MiB"] = static_cast<double>(before.baseKiB) / 1024.0;
  if (before.reset && before.baseKiB >= 0)
    state.counters["listing_MiB"] = static_cast<double>(StatusKiB("VmHWM") - before.baseKiB) / 1024.0;
  state.SetItemsProcessed(static_cast<int64_t>(records) * state.iterations());
}

void BM_GetNFSInfoAll(benchmark::State& state) {
  Station s = Start(static_cast<int>(state.range(0)));
  Memory before = BeforeListing();
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
    // The simulator's journal keeps every reply; it is not the library's.
    state.PauseTiming();
    s.sim->ClearJournal();
    state.ResumeTiming();
  }
  Report(state, exports.size(), seconds, before);
}

void BM_GetCifsInfo(benchmark::State& state) {
  Station s = Start(static_cast<int>(state.range(0)));
  Memory before = BeforeListing();
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
    // The simulator's journal keeps every reply; it is not the library's.
    state.PauseTiming();
    s.sim->ClearJournal();
    state.ResumeTiming();
  }
  Report(state, shares.size(), seconds, before);
}

void Take(CelerraXMLGetAllNFSInfoResp& r, std::vector<CelerraNFSInfo_t>& list) { r.GetNfsInfo(list); }
void Take(CelerraXMLGetCifsInfoResp& r, std::vector<CelerraCIFSInfo_t>& list) { r.GetCifsInfo(list); }

// The library's part alone: one all-exports reply, captured from the
// simulator, parsed into records (one DOM parse, records handed over).
template <class Resp, class Record>
void ParseOnly(benchmark::State& state, bool nfs) {
  std::string reply;
  {
    Station s = Start(static_cast<int>(state.range(0)));
    std::vector<CelerraNFSInfo_t> exports;
    std::vector<CelerraCIFSInfo_t> shares;
    bool ok = nfs ? s.facade->GetNFSInfo(exports) : s.facade->GetCifsInfo(shares);
    if (!ok || s.sim->Requests().empty()) {
      state.SkipWithError("listing failed");
      return;
    }
    reply = s.sim->Requests().back().reply;
  }
  Memory before = BeforeListing();
  size_t records = 0;
  double seconds = 0;
  for (auto _ : state) {
    auto begin = std::chrono::steady_clock::now();
    Resp response(1);
    response.AppendXml(&reply[0], reply.size());
    if (!response.UnSerializeXML() || !response.IsSuccess()) {
      state.SkipWithError("parse failed");
      break;
    }
    std::vector<Record> list;
    Take(response, list);
    records = list.size();
    seconds += std::chrono::duration<double>(std::chrono::steady_clock::now() - begin).count();
  }
  state.counters["reply_MiB"] = static_cast<double>(reply.size()) / (1024.0 * 1024.0);
  Report(state, records, seconds, before);
}

void BM_ParseAllExports(benchmark::State& state) {
  ParseOnly<CelerraXMLGetAllNFSInfoResp, CelerraNFSInfo_t>(state, true);
}
void BM_ParseAllShares(benchmark::State& state) {
  ParseOnly<CelerraXMLGetCifsInfoResp, CelerraCIFSInfo_t>(state, false);
}

}  // namespace

BENCHMARK(BM_GetNFSInfoAll)->Arg(1000)->Arg(10000)->Arg(50000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetCifsInfo)->Arg(1000)->Arg(10000)->Arg(50000)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK(BM_ParseAllExports)->Arg(1000)->Arg(10000)->Arg(50000)->UseRealTime()->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ParseAllShares)->Arg(1000)->Arg(10000)->Arg(50000)->UseRealTime()->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
