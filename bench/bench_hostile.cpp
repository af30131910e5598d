// What a hostile or broken control station can cost the host: an endless
// reply (ended by the reply-size limit), a reply whose one entity is
// referenced 198 times, and one with 400,000 attributes on one element. Each
// runs once through an operation over HTTPS; reported are the wall time and
// the growth of the process's peak resident memory during the call. The
// replies made of tiny elements or of a million attributes are parsed alone
// (the simulator's own copies would hide what the parse costs): reported is
// the peak growth from handing the reply to the response to the end of its
// parse, as a multiple of the reply's size.
#include <benchmark/benchmark.h>

#include <string>
#include <vector>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"
#include "tests/support/HostileReplies.h"

namespace {

// One GetFSInfo answered with `fault`, on a facade with a `limit`-byte reply
// limit (0: the default).
void RunFaulted(benchmark::State& state, const celsim::Fault& fault, unsigned long long limit) {
  celsim::Simulator::Options options;
  options.password = "bench-pw";
  celsim::Simulator sim(options);
  if (!sim.Start()) {
    state.SkipWithError("simulator did not start");
    return;
  }
  long grown = 0;
  bool ok = true;
  std::string why;
  for (auto _ : state) {
    state.PauseTiming();
    sim.ClearFaults();
    sim.AddFault(fault);
    ManageCelerra facade(1);
    facade.SetControlHostInfo(sim.address(), options.user, options.password);
    if (limit) facade.SetMaxReplySize(limit);
    std::vector<CelerraFileSystem_t> fileSystems;
    celtest::ResetPeakRss();
    long before = celtest::PeakRssKiB();
    state.ResumeTiming();
    ok = facade.GetFSInfo(fileSystems);
    state.PauseTiming();
    grown = std::max(grown, celtest::PeakRssKiB() - before);
    why = ok ? "" : facade.GetLastError1().m_sMessage;
    state.ResumeTiming();
  }
  state.counters["peak_rss_growth_kib"] = static_cast<double>(grown);
  state.counters["succeeded"] = ok ? 1 : 0;
  if (!why.empty()) state.SetLabel(why.substr(0, 100));
}

celsim::Fault Canned(const std::string& reply) {
  celsim::Fault fault;
  fault.kind = celsim::FaultKind::Canned;
  fault.messageType = "FileSystemQueryParams";
  fault.canned = reply;
  return fault;
}

void BM_EndlessReplyEndedByTheLimit(benchmark::State& state) {
  celsim::Fault fault;
  fault.kind = celsim::FaultKind::Endless;
  fault.messageType = "FileSystemQueryParams";
  RunFaulted(state, fault, static_cast<unsigned long long>(state.range(0)) << 20);
}
BENCHMARK(BM_EndlessReplyEndedByTheLimit)->Arg(64)->Arg(256)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_EntityHeavyReply(benchmark::State& state) { RunFaulted(state, Canned(celtest::EntityHeavyReply()), 0); }
BENCHMARK(BM_EntityHeavyReply)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_AttributeHeavyReply(benchmark::State& state) { RunFaulted(state, Canned(celtest::AttributeHeavyReply()), 0); }
BENCHMARK(BM_AttributeHeavyReply)->Iterations(1)->Unit(benchmark::kMillisecond);

void ParseAlone(benchmark::State& state, std::string reply) {
  EvDebug::SetSink([](int, const std::string&) {});
  long grown = 0;
  bool ok = true;
  std::string why;
  for (auto _ : state) {
    celtest::ResetPeakRss();
    long before = celtest::PeakRssKiB();
    CelerraXMLGetFSInfoResp resp(1);
    resp.AppendXml(&reply[0], static_cast<unsigned long>(reply.size()));
    ok = resp.UnSerializeXML();
    grown = std::max(grown, celtest::PeakRssKiB() - before);
    why = ok ? "" : resp.GetLastError().m_sMessage;
  }
  state.counters["reply_MiB"] = static_cast<double>(reply.size()) / (1 << 20);
  state.counters["peak_rss_growth_kib"] = static_cast<double>(grown);
  state.counters["growth_per_reply_byte"] = grown * 1024.0 / static_cast<double>(reply.size());
  state.counters["succeeded"] = ok ? 1 : 0;
  if (!why.empty()) state.SetLabel(why.substr(0, 160));
}

void BM_TinyElementReplyParse(benchmark::State& state) {
  ParseAlone(state, celsim::TinyElementReply(static_cast<size_t>(state.range(0)) * 1000 * 1000));
}
BENCHMARK(BM_TinyElementReplyParse)->Arg(200)->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_ManyAttributeReplyParse(benchmark::State& state) {
  ParseAlone(state, celsim::ManyAttributeReply(static_cast<size_t>(state.range(0))));
}
BENCHMARK(BM_ManyAttributeReplyParse)->Arg(1000000)->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
