// What one message object, the parse of a small reply and one small
// operation cost.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"
#include "tests/support/EchoMessages.h"

namespace {

void BM_MessagePairLifetime(benchmark::State& state) {
  for (auto _ : state) {
    celtest::EchoReq req(1);
    celtest::EchoResp resp(1);
    benchmark::DoNotOptimize(req.SerializeXML());
  }
}
BENCHMARK(BM_MessagePairLifetime);

void BM_ParseSmallReply(benchmark::State& state) {
  std::string reply =
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
      "<Echo value=\"x\"/></Response></ResponsePacket>\n";
  for (auto _ : state) {
    celtest::EchoResp resp(1);
    resp.AppendXml(&reply[0], reply.size());
    benchmark::DoNotOptimize(resp.UnSerializeXML());
  }
}
BENCHMARK(BM_ParseSmallReply);

// One small operation end to end over HTTPS on a logged-in session.
void BM_SmallOperation(benchmark::State& state) {
  celsim::Simulator sim;
  sim.AddHandler("EchoQuery", [](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(); });
  if (!sim.Start()) {
    state.SkipWithError("simulator did not start");
    return;
  }
  ManageCelerra facade(1);
  facade.SetControlHostInfo(sim.address(), celsim::Simulator::Options().user, celsim::Simulator::Options().password);
  {
    celtest::EchoReq req(1);
    celtest::EchoResp resp(1);
    facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR);  // log in outside the loop
  }
  for (auto _ : state) {
    celtest::EchoReq req(1);
    celtest::EchoResp resp(1);
    if (!facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR)) state.SkipWithError("exchange failed");
  }
  struct rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  state.counters["peak_rss_kb"] = static_cast<double>(usage.ru_maxrss);
  state.counters["tls_handshakes"] = static_cast<double>(sim.Handshakes());
}
BENCHMARK(BM_SmallOperation)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
