// The celerra-sim program: serves what it prints, with the credentials,
// dataset and address it was given; checks its arguments and its data
// file; and never shares its port with another instance.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <httplib.h>
#include <zlib.h>

#include <cstdio>
#include <fstream>
#include <future>

#include "sim/DataFile.h"
#include "tests/support/EchoMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

TEST(SimulatorProgram, ServesWithItsOwnCredentialsAndData) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  ScopedEnv secret("SIM_TEST_PASSWORD", "pw&1");
  celsim::Model model = celsim::DefaultModel(0);
  model.movers.resize(1);
  {
    std::ofstream data(dir.path() + "/data.json");
    data << celsim::DumpModel(model);
  }
  SimProgram child;
  ASSERT_TRUE(
      child.Start({"--user", "operator", "--password-env", "SIM_TEST_PASSWORD", "--data", dir.path() + "/data.json"}));
  ManageCelerra facade(1);
  facade.SetControlHostInfo(child.address(), "operator", "pw&1");
  // The echo request is unknown to the program: the server refuses it, which
  // proves the login went through and the servlet answered.
  EchoReq req(1);
  EchoResp resp(1);
  EXPECT_FALSE(facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  EXPECT_EQ(facade.GetLastError1().m_eStatus, STATUS_ERROR);
  EXPECT_NE(facade.GetLastError1().m_sMessage.find("EchoQuery"), std::string::npos);

  ManageCelerra wrong(1);
  wrong.SetControlHostInfo(child.address(), "operator", "nope");
  EchoReq req2(1);
  EchoResp resp2(1);
  EXPECT_FALSE(wrong.ProcessRequestAndResponse(req2, resp2, EvDebug::LVL_ERROR));
  EXPECT_NE(wrong.GetLastError1().m_sMessage.find("403"), std::string::npos);
}

// What the servlet sends for one file-system list request that accepts
// `encodings`: the body as it travels and its Content-Encoding.
struct Served {
  bool ok = false;
  std::string encoding, body;
};

Served ListFileSystems(celsim::Simulator& sim, const std::string& encodings) {
  Served sent;
  std::string address = sim.address();
  httplib::SSLClient client(address.substr(0, address.find(':')), std::stoi(address.substr(address.find(':') + 1)));
  client.enable_server_certificate_verification(false);
  client.set_decompress(false);
  auto login = client.Post("/Login", httplib::Params{{"user", kUser}, {"password", kPassword}, {"Login", "login"}});
  if (!login || login->status != 200) return sent;
  std::string cookie = login->get_header_value("Set-Cookie");
  httplib::Headers headers = {{"Cookie", cookie.substr(0, cookie.find(';'))}};
  if (!encodings.empty()) headers.emplace("Accept-Encoding", encodings);
  auto reply = client.Post("/servlets/CelerraManagementServices", headers,
                           "<RequestPacket xmlns=\"urn:x\"><Request><Query><FileSystemQueryParams>"
                           "<AspectSelection fileSystems=\"true\" fileSystemCapacityInfos=\"true\"/>"
                           "</FileSystemQueryParams></Query></Request></RequestPacket>",
                           "text/xml");
  if (!reply || reply->status != 200) return sent;
  sent.ok = true;
  sent.encoding = reply->get_header_value("Content-Encoding");
  sent.body = reply->body;
  return sent;
}

std::string Gunzip(const std::string& in) {
  z_stream z{};
  std::string out;
  if (inflateInit2(&z, 15 + 16) != Z_OK) return out;
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  char buffer[65536];
  int rc = Z_OK;
  while (rc == Z_OK) {
    z.next_out = reinterpret_cast<Bytef*>(buffer);
    z.avail_out = sizeof buffer;
    rc = inflate(&z, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - z.avail_out);
  }
  inflateEnd(&z);
  return rc == Z_STREAM_END ? out : std::string();
}

class SimulatorReplies : public SimTest {
 protected:
  SimulatorReplies() { m_Scale = 200; }
};

TEST_F(SimulatorReplies, CompressedWithGzipOnlyWhenTheClientAcceptsIt) {
  struct Case {
    const char* accepted;
    const char* encoding;
  } cases[] = {{"", ""},
               {"gzip", "gzip"},
               {"deflate, gzip, br, zstd", "gzip"},
               {"br", ""},  // never brotli: the reply goes as it is
               {"gzip;q=0, identity", ""},
               {"GZip ; q=0.5", "gzip"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string("Accept-Encoding: ") + c.accepted);
    sim().ClearJournal();
    Served sent = ListFileSystems(sim(), c.accepted);
    ASSERT_TRUE(sent.ok);
    std::vector<celsim::JournalEntry> requests = sim().Requests();
    ASSERT_EQ(requests.size(), 1u);
    const std::string& reply = requests[0].reply;
    ASSERT_NE(reply.find("gen_fs199"), std::string::npos);
    EXPECT_EQ(sent.encoding, c.encoding);
    if (*c.encoding) {
      EXPECT_LT(sent.body.size(), reply.size() / 4);
      EXPECT_EQ(Gunzip(sent.body), reply);
    } else {
      EXPECT_EQ(sent.body, reply);
    }
  }
}

// A client that keeps its connection alive for later (as shared sessions
// do) must not hold the simulator's Stop() for the keep-alive time: tools
// and test fixtures stop it after every run.
TEST_F(SimulatorReplies, StopsAtOnceWhileAClientKeepsItsConnection) {
  httplib::SSLClient client("127.0.0.1", sim().port());
  client.enable_server_certificate_verification(false);
  client.set_keep_alive(true);
  auto login = client.Post("/Login", httplib::Params{{"user", kUser}, {"password", kPassword}, {"Login", "login"}});
  ASSERT_TRUE(login && login->status == 200);
  auto stopped = std::async(std::launch::async, [this] { sim().Stop(); });
  // A hang guard, not a speed check: the keep-alive time is 30 s.
  EXPECT_EQ(stopped.wait_for(std::chrono::seconds(20)), std::future_status::ready);
}

TEST(SimulatorProgram, RefusesABadDataFile) {
  TempDir dir;
  SimProgram child;
  EXPECT_FALSE(child.Start({"--data", "/nonexistent/data.json"}));
  // Text no reply could carry is refused when the file is read.
  std::ofstream(dir.path() + "/control.json") << "{\"movers\": [{\"id\": \"1\", \"name\": \"a\\u0001b\"}]}";
  SimProgram control;
  EXPECT_FALSE(control.Start({"--data", dir.path() + "/control.json"}, dir.path() + "/err"));
  EXPECT_EQ(control.Stop(), 1);
  EXPECT_NE(ReadFile(dir.path() + "/err").find("/movers/0/name"), std::string::npos) << ReadFile(dir.path() + "/err");
}

TEST(SimulatorProgram, ASecondInstanceOnABusyPortFailsClearly) {
  TempDir dir;
  SimProgram first;
  ASSERT_TRUE(first.Start({}));
  std::string port = first.address().substr(first.address().rfind(':') + 1);
  SimProgram second;
  EXPECT_FALSE(second.Start({"--port", port}, dir.path() + "/err"));
  EXPECT_EQ(second.Stop(), 1);
  EXPECT_NE(ReadFile(dir.path() + "/err").find("Address already in use"), std::string::npos)
      << ReadFile(dir.path() + "/err");
  // The first one still answers, and only it.
  CliResult r = RunCelerractl("--host " + first.address() + " --insecure mover names", dir.path(),
                              "CELERRA_PASSWORD=password CELERRA_USER=admin");
  EXPECT_EQ(r.status, 0) << r.err;
}

TEST(SimulatorProgram, ArgumentsAreChecked) {
  for (std::vector<std::string> args : {std::vector<std::string>{"--port", "70000"},
                                        {"--port", "80a"},
                                        {"--port", "-1"},
                                        {"--scale", "100001"},
                                        {"--scale", "1e9"},
                                        {"--bind", ""},
                                        {"--user"},
                                        {"--nonsense"},
                                        {"--password-env", "CELTEST_UNSET_VARIABLE"}}) {
    SimProgram sim;
    std::string words;
    for (const auto& a : args) words += a + " ";
    EXPECT_FALSE(sim.Start(args)) << words;
    EXPECT_EQ(sim.Stop(), 2) << words;
  }
}

TEST(SimulatorProgram, ListensOnTheAddressItIsGiven) {
  TempDir dir;
  SimProgram sim;
  if (!sim.Start({"--bind", "::1", "--cert-out", dir.path() + "/cert.pem"})) GTEST_SKIP() << "no IPv6 loopback";
  EXPECT_EQ(sim.address().rfind("[::1]:", 0), 0u) << sim.address();
  CliResult r = RunCelerractl("--host " + sim.address() + " --ca-bundle " + dir.path() + "/cert.pem mover names",
                              dir.path(), "CELERRA_PASSWORD=password CELERRA_USER=admin");
  EXPECT_EQ(r.status, 0) << r.err;
}

}  // namespace
