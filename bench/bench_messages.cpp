// What one message object and one small operation cost, and what a full
// start-up and tear-down of the XML parser library would add to each message
// object if the library did not keep the parser initialised for its life.
#include <benchmark/benchmark.h>
#include <sys/resource.h>

#include <xercesc/util/PlatformUtils.hpp>

#include "manage/ManageCelerra.h"
#include "messages/catalogue/CelerraXMLMessagesReq.h"
#include "messages/catalogue/CelerraXMLMessagesResp.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"
#include "tests/support/EchoMessages.h"

namespace {

// Run first (before any message exists): the parser library starts from
// nothing and is torn down again, as it was once per message object.
void BM_ParserStartupAndTeardown(benchmark::State& state) {
  for (auto _ : state) {
    xercesc::XMLPlatformUtils::Initialize();
    xercesc::XMLPlatformUtils::Terminate();
  }
}
BENCHMARK(BM_ParserStartupAndTeardown);

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
