// The last error a caller reads: its own per facade, never "ok" after a
// failure, a kind to switch on and a message in plain words for every way an
// exchange can fail; the transport settings of a facade; values that may not
// be sent; replies without end; and silence on success.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <fstream>
#include <functional>
#include <limits>
#include <list>
#include <set>
#include <thread>

#include "manage/SnapDeviceName.h"
#include "messages/ServerCodes.h"
#include "platform/CTuIPAddr.h"
#include "tests/support/EchoMessages.h"
#include "tests/support/HostileReplies.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

// A loopback port on which nothing listens.
int ClosedPort() {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
  socklen_t length = sizeof address;
  getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length);
  close(fd);
  return ntohs(address.sin_port);
}

class ErrorsTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim().AddHandler("EchoQuery", [](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(); });
  }
  bool Echo(ManageCelerra& facade, const std::string& value = "hello") {
    EchoReq req(7, value);
    EchoResp resp(7);
    return facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR);
  }
  std::unique_ptr<ManageCelerra> FacadeFor(const std::string& host, const std::string& password = kPassword) {
    std::unique_ptr<ManageCelerra> facade(new ManageCelerra(9));
    facade->SetControlHostInfo(host, kUser, password);
    return facade;
  }
  void AddFault(celsim::FaultKind kind, int delayMs = 0, const std::string& canned = std::string()) {
    celsim::Fault f;
    f.kind = kind;
    f.count = -1;
    f.delayMs = delayMs;
    f.canned = canned;
    sim().AddFault(f);
  }
  std::string WriteFile(const std::string& name, const std::string& text) {
    std::string path = m_Temp->path() + "/" + name;
    std::ofstream(path) << text;
    return path;
  }
  // A failure's record: status error, severity error, the kind expected, and
  // a message that holds `words`.
  void ExpectFailure(const CelerraError& e, eCelerraErrorKind kind, const std::string& words) {
    EXPECT_EQ(e.m_eStatus, STATUS_ERROR) << e.m_sMessage;
    EXPECT_EQ(e.m_eKind, kind) << CelerraErrorKindName(e.m_eKind) << ": " << e.m_sMessage;
    EXPECT_NE(e.m_sMessage.find(words), std::string::npos) << e.m_sMessage;
  }
};

// ------------------------------------------------------------- own records

TEST_F(ErrorsTest, EachFacadeReportsItsOwnFailureInThreads) {
  LogCapture quiet(0);
  const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
  const std::string address = sim().address();
  struct Case {
    std::string host, password;
    eCelerraErrorKind kind;
  };
  const Case cases[] = {{closed, kPassword, ERROR_KIND_CONNECT},
                        {address, "wrong password", ERROR_KIND_LOGIN_REFUSED},
                        {address, kPassword, ERROR_KIND_NONE}};
  std::vector<std::string> wrong(3);
  std::vector<std::thread> threads;
  for (int t = 0; t < 3; ++t) {
    threads.emplace_back([&, t] {
      ManageCelerra facade(100 + t);
      facade.SetControlHostInfo(cases[t].host, kUser, cases[t].password);
      for (int i = 0; i < 15 && wrong[t].empty(); ++i) {
        EchoReq req(100 + t);
        EchoResp resp(100 + t);
        bool ok = facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR);
        CelerraError e = facade.GetLastError1();
        if (ok != (cases[t].kind == ERROR_KIND_NONE) || e.m_eKind != cases[t].kind ||
            (cases[t].kind != ERROR_KIND_LOGIN_REFUSED && e.m_sMessage.find("403") != std::string::npos))
          wrong[t] = std::string(CelerraErrorKindName(e.m_eKind)) + ": " + e.m_sMessage;
      }
    });
  }
  for (auto& th : threads) th.join();
  for (int t = 0; t < 3; ++t) EXPECT_EQ(wrong[t], "") << "facade " << t;
}

// -------------------------------------------------------- the kinds of failure

TEST_F(ErrorsTest, EveryKindOfFailureHasItsKindAndItsWords) {
  LogCapture quiet(0);
  const std::string address = sim().address();
  {
    const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
    auto f = FacadeFor(closed);
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_CONNECT, "could not connect to " + closed + ": connection refused: [");
  }
  {
    auto f = FacadeFor(address, "wrong password");
    EXPECT_FALSE(Echo(*f));
    CelerraError e = f->GetLastError1();
    ExpectFailure(e, ERROR_KIND_LOGIN_REFUSED,
                  "login refused by " + address + " for user admin (HTTP 403): wrong user name or password");
    // The plain words say it all: libcurl's own words are for transfer failures.
    EXPECT_EQ(e.m_sMessage.find("[The requested URL returned error: 403]"), std::string::npos) << e.m_sMessage;
    EXPECT_EQ(e.m_sSeverity, "error");
  }
  {
    auto f = FacadeFor("no-such-host.invalid");
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_CONNECT,
                  "could not connect to no-such-host.invalid:443: host name not found");
  }
  {
    // The error page is no reply: the response is left unparsed.
    AddFault(celsim::FaultKind::Http500);
    auto f = NewFacade();
    EchoReq req(7);
    EchoResp resp(7);
    EXPECT_FALSE(f->ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
    EXPECT_TRUE(resp.GetXml().empty());
    ExpectFailure(f->GetLastError1(), ERROR_KIND_TRANSPORT, address + " answered HTTP 500 to message [EchoReq]");
    sim().ClearFaults();
  }
  {
    AddFault(celsim::FaultKind::Delay, 3000);
    auto f = NewFacade();
    ASSERT_TRUE(f->SetTransferTimeout(0.3));
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_TIMEOUT,
                  "message [EchoReq] to " + address + " was not complete within 0.3 s (transfer time-out)");
    sim().ClearFaults();
  }
  {
    // A listener that never answers the handshake: whichever limit is the
    // shorter is the one that fired, and the message names it.
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in silent{};
    silent.sin_family = AF_INET;
    silent.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof silent;
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&silent), sizeof silent), 0);
    ASSERT_EQ(listen(fd, 8), 0);
    getsockname(fd, reinterpret_cast<sockaddr*>(&silent), &length);
    const std::string host = "127.0.0.1:" + std::to_string(ntohs(silent.sin_port));
    auto f = FacadeFor(host);
    ASSERT_TRUE(f->SetConnectTimeout(10) && f->SetTransferTimeout(0.3));
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_TIMEOUT,
                  "the login to " + host + " was not complete within 0.3 s (transfer time-out; no connection yet)");
    ASSERT_TRUE(f->SetConnectTimeout(0.3) && f->SetTransferTimeout(10));
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_TIMEOUT,
                  "no connection to " + host + " within 0.3 s (connect time-out)");
    close(fd);
  }
  // An unreadable reply and the server's refusal: test_fault_matrix, for
  // every operation.
  {
    AddFault(celsim::FaultKind::Canned, 0, std::string(64 * 1024, ' ') + "<ResponsePacket/>");
    auto f = NewFacade();
    ASSERT_TRUE(f->SetMaxReplySize(4096));
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_REPLY_TOO_LARGE,
                  "the reply from " + address + " to message [EchoReq] is larger than the limit of 4096 bytes");
    sim().ClearFaults();
  }
  {
    // The server's key is not the pinned one.
    auto f = NewFacade();
    ASSERT_TRUE(f->SetPinnedPublicKey("sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="));
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_TLS, "TLS: the key of " + address + " does not match the pinned");
  }
  {
    // A CA bundle that did not sign the server's certificate.
    auto f = NewFacade();
    ASSERT_TRUE(f->SetCABundle(WriteFile("foreign.pem", celsim::SelfSignedCertificatePem("someone else"))));
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_TLS, "TLS: certificate of " + address + " not trusted (");
  }
}

TEST_F(ErrorsTest, AFailureBeforeAnyReplyStillSaysWhyInEveryOperation) {
  LogCapture quiet(0);
  const std::string closed = "127.0.0.1:" + std::to_string(ClosedPort());
  auto f = FacadeFor(closed);
  std::vector<CelerraFileSystem_t> fileSystems;
  EXPECT_FALSE(f->GetFSInfo(fileSystems));
  ExpectFailure(f->GetLastError1(), ERROR_KIND_CONNECT, "connection refused");
  std::string pfs, mover, name;
  bool vdm = false;
  std::vector<std::string> servers;
  EXPECT_FALSE(f->GetCifsShareInfo("fs1share", pfs, vdm, mover, name, servers));
  ExpectFailure(f->GetLastError1(), ERROR_KIND_CONNECT, "connection refused");
}

TEST_F(ErrorsTest, ACABundleThatCannotBeReadIsAnErrorNotAnUnverifiedSession) {
  LogCapture quiet(0);
  const std::string missing = m_Temp->path() + "/missing.pem";
  for (const auto& c :
       {std::make_pair("sCELERRACABUNDLE", "TLS: CA bundle " + missing + " (sCELERRACABUNDLE) cannot be read"),
        std::make_pair("sCELERRAPINNEDPUBKEY", std::string("TLS: pinned public key file"))}) {
    ScopedEnv setting(c.first, missing);
    auto f = NewFacade();
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_TLS, c.second);
    EXPECT_TRUE(sim().Journal().empty());
  }
}

// ------------------------------------------------------------ the settings

TEST_F(ErrorsTest, SettingsRefuseWhatCannotWork) {
  LogCapture log(0);
  auto f = NewFacade();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  for (double seconds : {0.0, 0.0001, -1.0, inf, -inf, nan, 1e300, 86400.5}) {
    EXPECT_FALSE(f->SetTransferTimeout(seconds)) << seconds;
    ExpectFailure(f->GetLastError1(), ERROR_KIND_INPUT, "Transfer time-out");
    EXPECT_FALSE(f->SetConnectTimeout(seconds)) << seconds;
    ExpectFailure(f->GetLastError1(), ERROR_KIND_INPUT, "Connect time-out");
  }
  EXPECT_TRUE(f->SetTransferTimeout(0.001));
  EXPECT_TRUE(f->SetTransferTimeout(86400));
  EXPECT_FALSE(f->SetCABundle(m_Temp->path() + "/missing.pem"));
  ExpectFailure(f->GetLastError1(), ERROR_KIND_INPUT, "missing.pem] refused: No such file");
  EXPECT_FALSE(f->SetPinnedPublicKey(m_Temp->path() + "/missing.key"));
  EXPECT_FALSE(f->SetPinnedPublicKey("sha256//"));
  EXPECT_FALSE(f->SetMaxReplySize(0));
  EXPECT_TRUE(log.Contains("refused"));
  // Nothing refused changed anything: the facade works with its defaults.
  EXPECT_TRUE(Echo(*f));
}

TEST_F(ErrorsTest, TimeOutsInTheEnvironmentThatMeanForEverAreRefused) {
  // Each value would have meant no time-out at all (libcurl's 0) or worse;
  // the default is used instead, so a reply that takes a moment arrives.
  for (const char* value : {"0.0001", "0", "inf", "nan", "-5", "1e300", "abc", "5 s"}) {
    SCOPED_TRACE(value);
    LogCapture log(1);
    ScopedEnv transfer("sCELERRATIMEOUT", value);
    ScopedEnv connect("sCELERRACONNECTTIMEOUT", value);
    auto f = NewFacade();
    EXPECT_TRUE(Echo(*f));
    EXPECT_TRUE(log.Contains(std::string("Configuration value sCELERRATIMEOUT=[") + value +
                             "] is not a time-out from 0.001 to 86400 seconds; using 900 s"));
    EXPECT_TRUE(log.Contains(std::string("Configuration value sCELERRACONNECTTIMEOUT=[") + value +
                             "] is not a time-out from 0.001 to 86400 seconds; using 30 s"));
  }
  // A good value is taken.
  LogCapture quiet(0);
  ScopedEnv transfer("sCELERRATIMEOUT", "0.25");
  AddFault(celsim::FaultKind::Delay, 2000);
  auto f = NewFacade();
  EXPECT_FALSE(Echo(*f));
  ExpectFailure(f->GetLastError1(), ERROR_KIND_TIMEOUT, "within 0.25 s");
}

TEST_F(ErrorsTest, ATLSSettingStartsANewSession) {
  LogCapture quiet(0);
  auto f = NewFacade();
  ASSERT_TRUE(Echo(*f));
  ASSERT_TRUE(f->SetPinnedPublicKey("sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="));
  EXPECT_FALSE(Echo(*f));
  EXPECT_EQ(f->GetLastError1().m_eKind, ERROR_KIND_TLS);
  ASSERT_TRUE(f->SetPinnedPublicKey(""));
  EXPECT_TRUE(Echo(*f));
  // The first settings again: the login made with them serves the new
  // session too (the wrong key never got that far).
  EXPECT_EQ(Logins(), 1u);
}

// ------------------------------------------------------------- hostile replies

TEST_F(ErrorsTest, AnEndlessReplyEndsAtTheSizeLimit) {
  LogCapture quiet(0);
  AddFault(celsim::FaultKind::Endless);
  auto f = NewFacade();
  ASSERT_TRUE(f->SetMaxReplySize(8 << 20));
  ASSERT_TRUE(f->SetTransferTimeout(60));
  bool measured = ResetPeakRss();
  long before = PeakRssKiB();
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Echo(*f));
  double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  long peak = PeakRssKiB();
  ExpectFailure(f->GetLastError1(), ERROR_KIND_REPLY_TOO_LARGE, "is larger than the limit of 8388608 bytes");
  EXPECT_LT(seconds, 30.0) << "ended by the limit, not by the time-out";
  if (measured && before > 0) {
    // The 8 MiB reply and a copy or two of it, with room for the allocator
    // (and a sanitizer's quarantine): nothing like the gigabytes an endless
    // reply reaches without a limit.
    EXPECT_LT(peak - before, 256L * 1024) << "the process grew by " << (peak - before) << " KiB";
  }
  // The facade goes on.
  sim().ClearFaults();
  EXPECT_TRUE(Echo(*f));
}

TEST_F(ErrorsTest, TheSizeLimitFromTheEnvironment) {
  LogCapture log(1);
  AddFault(celsim::FaultKind::Canned, 0, std::string(64 * 1024, ' ') + "<ResponsePacket/>");
  {
    ScopedEnv limit("sCELERRAMAXREPLYSIZE", "4096");
    auto f = NewFacade();
    EXPECT_FALSE(Echo(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_REPLY_TOO_LARGE, "limit of 4096 bytes");
  }
  {
    ScopedEnv limit("sCELERRAMAXREPLYSIZE", "-1");
    auto f = NewFacade();
    EXPECT_FALSE(Echo(*f));  // the canned reply is no reply: unreadable, but taken
    EXPECT_EQ(f->GetLastError1().m_eKind, ERROR_KIND_REPLY);
    EXPECT_TRUE(log.Contains("Configuration value sCELERRAMAXREPLYSIZE=[-1] is not a positive number of bytes"));
  }
}

// Replies that cost a parser far more than their size: their parse must take
// time and memory in proportion to the reply. (The reply parser that reads
// replies in place does; the earlier one spent 1 GB on the first and a minute
// on the second.) The operation may refuse the reply; it must come back in
// bounded time and memory, and the facade must go on working.
TEST_F(ErrorsTest, HostileRepliesCostTimeAndMemoryInProportionToTheirSize) {
  LogCapture quiet(0);
  struct Case {
    const char* name;
    std::string reply;
  };
  const Case cases[] = {{"entity-heavy", EntityHeavyReply()}, {"attribute-heavy", AttributeHeavyReply()}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    sim().AddFault(CannedFault("FileSystemQueryParams", c.reply));
    auto f = NewFacade();
    bool measured = ResetPeakRss();
    long before = PeakRssKiB();
    auto start = std::chrono::steady_clock::now();
    std::vector<CelerraFileSystem_t> fileSystems;
    bool ok = f->GetFSInfo(fileSystems);
    double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long grown = PeakRssKiB() - before;
    if (!ok) {
      EXPECT_NE(f->GetLastError1().m_eStatus, STATUS_OK);
    }
    EXPECT_LT(seconds, 20.0) << c.reply.size() << " bytes";
    // The reply, a copy or two, and the parser's nodes: some tens of MiB.
    if (measured && before > 0) {
      EXPECT_LT(grown, 160L * 1024) << "the process grew by " << grown << " KiB";
    }
    EXPECT_TRUE(f->GetFSInfo(fileSystems));
  }
}

// ------------------------------------------------------ values that may not be sent

// Values, the control host, the user name and the archive password alike:
// refused with the value's place named, before anything is sent (not even
// the login) and, in the offline set-up, before any retry.
TEST_F(ErrorsTest, ControlCharactersAndInvalidUtf8AreRefusedBeforeAnythingIsSent) {
  LogCapture log(0);
  SleepRecorder noPauses;
  CTuIPAddr::SetResolverForTesting([](const std::string&) { return std::string("192.0.2.50"); });
  std::string base, id;
  std::vector<std::string> hosts = {"10.0.0.1\t10.0.0.2"}, none;
  const struct {
    std::string host, user;
    std::function<bool(ManageCelerra&)> call;
    const char* words;
  } rows[] = {
      {"", kUser,
       [&](ManageCelerra& f) { return f.CreateRWChkPt(kFs1, STG_TYPE_POOL, "40", "ck\nother", true, base, id); },
       "the value of name holds control character U+000A at byte 2"},
      {"", kUser, [&](ManageCelerra& f) { return f.CreateROChkPt(kFs1, STG_TYPE_POOL, "40", "ck\x7f", id); },
       "control character U+007F"},
      {"", kUser, [](ManageCelerra& f) { return f.NewCifsShare("share\xff", "/fs1", "1", false, {}); },
       "invalid UTF-8 at byte 5"},
      {"", kUser, [](ManageCelerra& f) { return f.NewCifsShare("share", "/fs1", "1", false, {"SRV\xc2\x85"}); },
       "control character U+0085"},  // a C1 control
      {"", kUser, [&](ManageCelerra& f) { return f.CreateNFSShare("fs1", "1", false, hosts, none, none); },
       "control character U+0009"},
      {"", kUser, [&](ManageCelerra& f) { return f.CreateNFSShare("fs1\xe0\x80\xaf", "1", false, none, none, none); },
       "invalid UTF-8"},  // an overlong "/"
      {"\r\nX-Injected: 1", kUser, [this](ManageCelerra& f) { return Echo(f); },
       "the control host holds control character U+000D"},
      {"", "admin\nX", [this](ManageCelerra& f) { return Echo(f); }, "the user name holds control character U+000A"},
      {"", kUser,
       [](ManageCelerra& f) {
         return f.ConfigureFilerForOffLineServer("//CIFS_SRV1/fs1share", "//arkiv1/stubs", "arcuser", "pass\nword",
                                                 false, false, false);
       },
       "the archive password holds control character U+000A"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.words);
    ManageCelerra f(4);
    f.SetControlHostInfo(sim().address() + row.host, row.user, kPassword);
    EXPECT_FALSE(row.call(f));
    ExpectFailure(f.GetLastError1(), ERROR_KIND_INPUT, row.words);
  }
  EXPECT_TRUE(sim().Journal().empty());
  EXPECT_TRUE(SleepRecorder::Pauses().empty());
  CTuIPAddr::SetResolverForTesting(nullptr);

  // Text outside ASCII that is UTF-8 is sent as it is.
  EXPECT_TRUE(Echo(*NewFacade(), "caf\xc3\xa9 \xe2\x82\xac"));
  ASSERT_EQ(sim().Requests().size(), 1u);
  EXPECT_NE(sim().Requests()[0].body.find("caf\xc3\xa9 \xe2\x82\xac"), std::string::npos);
}

// ------------------------------------------------------------ missing inputs

// Every operation checks its required inputs and the login parameters before
// it sends anything: an input record, one error line, no traffic.
TEST_F(ErrorsTest, MissingInputsAreRefusedBeforeAnythingIsSent) {
  enum Who { kFull, kNoHost, kNoPassword };
  struct Row {
    Who who;
    const char* why;  // a log line says this ("": the error line alone)
    std::function<bool(ManageCelerra&)> call;
  };
  std::string a, b, c, base, id, empty;
  bool flag = false;
  eCelerraStgType type = STG_TYPE_NONE;
  std::vector<std::string> list, none;
  std::set<std::string> aliases;
  CelerraMountPointsInfo_t mount;
  auto pfs = [&](ManageCelerra& f, std::string pfsId) {
    std::string stg = "keep", mover = "keep", name;
    bool ok = f.GetPFSInfo(pfsId, type, stg, b, name, mover, flag);
    EXPECT_EQ(stg + mover, "keepkeep") << "a refusal leaves the outputs alone";
    return ok;
  };
  const Row rows[] = {
      {kFull, "both PFSId and PFSName is empty", [&](ManageCelerra& f) { return pfs(f, ""); }},
      {kNoHost, "Login Parameters are not set", [&](ManageCelerra& f) { return pfs(f, kFs1); }},
      {kFull, "",
       [&](ManageCelerra& f) {
         std::string name = "old", mover = "old";
         bool ok = f.GetFSNameByFSId("", name, mover, flag);
         EXPECT_EQ(name + mover, "") << "cleared first";
         return ok;
       }},
      {kFull, "base line check point id is invalid",
       [&](ManageCelerra& f) { return f.CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "rw", false, base, id); }},
      {kFull, "", [&](ManageCelerra& f) { return f.CreateRWChkPt(kFs1, STG_TYPE_NONE, "40", "rw", true, base, id); }},
      {kFull, "", [&](ManageCelerra& f) { return f.CreateRWChkPt("", STG_TYPE_POOL, "40", "rw", true, base, id); }},
      {kFull, "", [&](ManageCelerra& f) { return f.CreateROChkPt(kFs1, STG_TYPE_POOL, "", "ro", id); }},
      {kFull, "", [&](ManageCelerra& f) { return f.CreateROChkPt(kFs1, STG_TYPE_POOL, "40", "", id); }},
      {kFull, "", [&](ManageCelerra& f) { return f.GetChkPointInfo("", id, base); }},
      {kFull, "", [&](ManageCelerra& f) { return f.DeleteChkPt("", "5", true); }},
      {kFull, "", [&](ManageCelerra& f) { return f.RestorePFSFromChkPt("n", "", kFs1); }},
      {kFull, "", [&](ManageCelerra& f) { return f.RestorePFSFromChkPt("", kFs1Ckpt1, kFs1); }},
      {kFull, "", [&](ManageCelerra& f) { return f.RestorePFSFromChkPt("n", kFs1Ckpt1, ""); }},
      {kFull, "", [&](ManageCelerra& f) { return f.NewCifsShare("", "/fs1", "1", false, {}); }},
      {kFull, "", [&](ManageCelerra& f) { return f.NewCifsShare("s", "", "1", false, {}); }},
      {kFull, "", [&](ManageCelerra& f) { return f.NewCifsShare("s", "/fs1", "", false, {}); }},
      {kFull, "", [&](ManageCelerra& f) { return f.DeleteCifsShare("", "s", false, {}); }},
      {kFull, "", [&](ManageCelerra& f) { return f.DeleteCifsShare("1", "", false, {}); }},
      {kFull, "ShareName is empty", [&](ManageCelerra& f) { return f.GetCifsShareInfo("", a, flag, b, c, list); }},
      {kFull, "", [&](ManageCelerra& f) { return f.CreateNFSShare("", "1", false, none, none, none); }},
      {kFull, "", [&](ManageCelerra& f) { return f.CreateNFSShare("fs1", "", false, none, none, none); }},
      {kFull, "", [&](ManageCelerra& f) { return f.DeleteNFSShare("", "1"); }},
      {kFull, "", [&](ManageCelerra& f) { return f.DeleteNFSShare("/fs1", ""); }},
      {kFull, "", [&](ManageCelerra& f) { return f.GetNFSInfo("", a, flag, b, list, list, list); }},
      {kNoPassword, "", [&](ManageCelerra& f) { return f.CreateNFSShare("fs1", "1", false, none, none, none); }},
      {kNoPassword, "", [&](ManageCelerra& f) { return f.DeleteNFSShare("fs1", "1"); }},
      {kNoPassword, "", [&](ManageCelerra& f) { return f.GetNFSInfo("fs1", a, flag, b, list, list, list); }},
      {kFull, "Invalid input to API. Cannot proceed", [&](ManageCelerra& f) { return f.GetMountPts("1", "", list); }},
      {kFull, "Invalid input to API. Cannot proceed",
       [&](ManageCelerra& f) { return f.GetMountPts("", "false", list); }},
      {kFull, "Invalid input to API. Cannot proceed",
       [&](ManageCelerra& f) { return f.CreateMount("/x", "1", "", "false"); }},
      {kFull, "Invalid input to API. Cannot proceed",  // any mount would do
       [&](ManageCelerra& f) { return f.GetMountPointInfo(mount, "", "1", false); }},
      {kNoHost, "Control Host Login Parameters are not set,cannot proceed",
       [&](ManageCelerra& f) { return f.GetMountPts("1", "false", list); }},
      {kFull, "", [&](ManageCelerra& f) { return f.GetAliasList("", aliases); }},
      {kNoPassword, "", [&](ManageCelerra& f) { return f.GetAliasList("192.0.2.10", aliases); }},
      {kNoPassword, "empty Host Name, Login or password", [&](ManageCelerra& f) { return Echo(f); }},
  };
  for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
    const Row& row = rows[i];
    SCOPED_TRACE("row " + std::to_string(i) + ": " + row.why);
    auto f = FacadeFor(row.who == kNoHost ? "" : sim().address(), row.who == kNoPassword ? "" : kPassword);
    LogCapture log;
    EXPECT_FALSE(row.call(*f));
    ExpectFailure(f->GetLastError1(), ERROR_KIND_INPUT, "");
    std::vector<std::string> loud = log.LinesAtOrBelow(0);
    ASSERT_EQ(loud.size(), 1u) << (loud.empty() ? "" : loud[0]);
    EXPECT_NE(loud[0].find(" failed [input]: "), std::string::npos) << loud[0];
    EXPECT_TRUE(log.Contains(row.why));
    EXPECT_TRUE(sim().Journal().empty());
  }
}

// ------------------------------------------------------------ the contracts' sentences

// One row per sentence of a contract that names an outcome: the call, whether
// it succeeds, the kind of its record, and what its outputs must hold. Every
// row pins the sentences all operations share too: a success leaves a clean
// record and writes nothing at the default threshold; a failure writes one
// error line naming the operation and the kind; a refusal sends nothing.
TEST_F(ErrorsTest, EachOperationKeepsItsContract) {
  struct Row {
    const char* operation;
    std::function<void(celsim::Simulator&)> setup;
    std::function<bool(ManageCelerra&)> call;  // false: failed (also: threw int 1)
    eCelerraErrorKind kind;                    // ERROR_KIND_NONE: succeeds
    bool sends = true;
    const char* notice = "";  // the code a success keeps
  };
  auto none = [](celsim::Simulator&) {};
  auto chkPtInfo = [](const char* name) {
    return [name](ManageCelerra& f) {
      std::string id = "old", base = "old";
      bool ok = f.GetChkPointInfo(name, id, base);
      EXPECT_EQ(id + base, "") << "both outputs stay empty";
      return ok;
    };
  };
  const std::vector<Row> rows = {
      // A lookup of what does not exist is not found: an empty answer, the
      // server's "no such object", or a list without the name.
      {"GetChkPointInfo", none, chkPtInfo("nope"), ERROR_KIND_NOT_FOUND},
      {"GetChkPointInfo",
       [](celsim::Simulator& s) {
         s.AddFault(
             CannedFault("CheckpointQueryParams",
                         "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/><Checkpoint checkpoint=\"1\" "
                         "name=\"other\" checkpointOf=\"21\"/></Response></ResponsePacket>"));
       },
       chkPtInfo("mine"), ERROR_KIND_NOT_FOUND},
      {"GetChkPointsInfo", none,
       [](ManageCelerra& f) {
         std::list<CelerraChkPtInfo> l;
         return f.GetChkPointsInfo("nope", l);
       },
       ERROR_KIND_NOT_FOUND},
      {"GetFSNameByFSId", none,
       [](ManageCelerra& f) {
         std::string name, mover;
         bool vdm = true;
         bool ok = f.GetFSNameByFSId("4711", name, mover, vdm);
         EXPECT_EQ(name + mover, "");
         return ok;
       },
       ERROR_KIND_NOT_FOUND},
      {"GetPFSInfo", none,
       [](ManageCelerra& f) {
         std::string id = "4711", stg, sav, name, mover;
         eCelerraStgType type;
         bool vdm;
         return f.GetPFSInfo(id, type, stg, sav, name, mover, vdm);
       },
       ERROR_KIND_NOT_FOUND},
      {"GetNFSInfo", none,
       [](ManageCelerra& f) {
         std::string pfs, mover;
         bool ro;
         std::vector<std::string> a, rw, root;
         return f.GetNFSInfo("/nothing", pfs, ro, mover, a, rw, root);
       },
       ERROR_KIND_NOT_FOUND},
      {"GetCifsShareInfo", none,
       [](ManageCelerra& f) {
         std::string pfs, mover, name;
         bool vdm;
         std::vector<std::string> servers;
         return f.GetCifsShareInfo("noshare", pfs, vdm, mover, name, servers);
       },
       ERROR_KIND_NOT_FOUND},
      {"GetMountPointInfo", none,
       [](ManageCelerra& f) {
         CelerraMountPointsInfo_t m;
         return f.GetMountPointInfo(m, "/nothing", kServer2, false);
       },
       ERROR_KIND_NOT_FOUND},
      {"GetAliasList", none,
       [](ManageCelerra& f) {
         std::set<std::string> a;
         return f.GetAliasList("198.51.100.99", a);
       },
       ERROR_KIND_NOT_FOUND},
      {"GetMoverForVdm", none,
       [](ManageCelerra& f) {
         std::string mover;
         try {
           return f.GetMoverForVdm("4711", mover);
         } catch (int) {
           return false;
         }
       },
       ERROR_KIND_NOT_FOUND},
      {"DeleteChkPt", none, [](ManageCelerra& f) { return f.DeleteChkPt("4711", "", false); }, ERROR_KIND_NOT_FOUND},
      {"RestorePFSFromChkPt", none, [](ManageCelerra& f) { return f.RestorePFSFromChkPt("x", "4711", kFs1); },
       ERROR_KIND_NOT_FOUND},
      {"CreateMount", none, [](ManageCelerra& f) { return f.CreateMount("/x", kServer2, "4711", "false"); },
       ERROR_KIND_NOT_FOUND},
      // A listing that matches nothing is a success with an empty list.
      {"GetMountPtsInfo", none,
       [](ManageCelerra& f) {
         std::vector<CelerraMountPointsInfo_t> v(1);
         bool ok = f.GetMountPtsInfo(v, kServer2, false, "/nothing");
         EXPECT_TRUE(v.empty());
         return ok;
       },
       ERROR_KIND_NONE},
      // An info notice in place of the list is a success: an empty list.
      {"GetFSInfo",
       [](celsim::Simulator& s) {
         s.AddFault(ProblemFault("FileSystemQueryParams", "13421850000", "just so", "info"));
       },
       [](ManageCelerra& f) {
         std::vector<CelerraFileSystem_t> v(1);
         bool ok = f.GetFSInfo(v);
         EXPECT_TRUE(v.empty());
         return ok;
       },
       ERROR_KIND_NONE},
      // Already there, already gone: success, a clean record, silence.
      {"DeleteChkPt",
       [](celsim::Simulator& s) { s.WithModel([](celsim::Model& m) { return m.deletedIds.insert("4711").second; }); },
       [](ManageCelerra& f) { return f.DeleteChkPt("4711", "", false); }, ERROR_KIND_NONE, true,
       celerra_codes::kCheckpointAlreadyDeleted},
      {"DeleteNFSShare", none, [](ManageCelerra& f) { return f.DeleteNFSShare("/nosuch", kServer2); }, ERROR_KIND_NONE},
      {"DeleteCifsShare", none, [](ManageCelerra& f) { return f.DeleteCifsShare(kServer2, "noshare", false, {}); },
       ERROR_KIND_NONE},
      {"CreateRWChkPt", none,
       [](ManageCelerra& f) {
         std::string base, id;
         return f.CreateRWChkPt(kFs1, STG_TYPE_POOL, kPerformancePool, "fs1_ckpt1", true, base, id);
       },
       ERROR_KIND_NONE},
      // A text boolean is "true" or "false"; anything else is refused unsent.
      {"GetMountPts", none,
       [](ManageCelerra& f) {
         std::vector<std::string> v;
         return f.GetMountPts(kServer2, "TRUE", v);
       },
       ERROR_KIND_INPUT, false},
      {"CreateMount", none, [](ManageCelerra& f) { return f.CreateMount("/x", kServer2, kFs10, "yes"); },
       ERROR_KIND_INPUT, false},
      // The snapshot device name's own refusals are the facade's record too.
      {"Celerra_GetSnapDeviceNameWithManageCelerra", none,
       [](ManageCelerra& f) {
         std::string name;
         return Celerra_GetSnapDeviceNameWithManageCelerra(f, "/fs1", kFs1, kFs1Ckpt1, "a/b", name);
       },
       ERROR_KIND_INPUT, false},
      {"Celerra_GetSnapDeviceNameWithManageCelerra", none,
       [](ManageCelerra& f) {
         std::string name;
         return Celerra_GetSnapDeviceNameWithManageCelerra(f, "/fs1", kFs1, kFs1Ckpt1, "", name);
       },
       ERROR_KIND_INPUT, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.operation);
    sim().ClearFaults();
    sim().ClearJournal();
    row.setup(sim());
    LogCapture log;
    ManageCelerra f(4242);
    f.SetControlHostInfo(sim().address(), kUser, kPassword);
    // A stale failure first: every call clears or replaces it.
    EXPECT_FALSE(f.DeleteNFSShare("", kServer2));
    log.Clear();
    bool ok = row.call(f);
    CelerraError e = f.GetLastError1();
    std::vector<std::string> loud = log.LinesAtOrBelow(0);
    EXPECT_EQ(e.m_eKind, row.kind) << CelerraErrorKindName(e.m_eKind) << ": " << e.m_sMessage;
    if (row.kind == ERROR_KIND_NONE) {
      EXPECT_TRUE(ok);
      EXPECT_EQ(e.m_eStatus, STATUS_OK);
      EXPECT_EQ(e.m_sMessage + e.m_sDescription, "");
      EXPECT_EQ(e.m_sMessageCode, row.notice);
      EXPECT_TRUE(loud.empty()) << loud[0];
    } else {
      EXPECT_FALSE(ok);
      EXPECT_NE(e.m_eStatus, STATUS_OK);
      EXPECT_NE(e.m_sMessage, "");
      EXPECT_EQ(e.m_sMessage.find(": []"), std::string::npos) << e.m_sMessage;
      ASSERT_EQ(loud.size(), 1u) << loud[0];
      EXPECT_NE(loud[0].find(std::string(row.operation) + " failed [" + CelerraErrorKindName(row.kind) + "]: "),
                std::string::npos)
          << loud[0];
    }
    for (const std::string& line : log.Lines()) EXPECT_NE(line.find(" job 4242 "), std::string::npos) << line;
    if (!row.sends) {
      EXPECT_TRUE(sim().Journal().empty());
    }
  }
}

// ------------------------------------------------------------ silence on success

// celerractl at the library's default threshold: a successful command writes
// nothing on standard error; a failed one writes its one line.
TEST_F(ErrorsTest, StandardErrorStaysEmptyOnSuccess) {
  CliResult ok = RunCli("--log-level 0 fs list");
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.err, "");
  ok = RunCli("--log-level 0 ckpt create-rw --fs 21 --stg-type pool --stg-id 40 --name quiet --new-baseline");
  EXPECT_EQ(ok.status, 0);
  EXPECT_EQ(ok.err, "");
  CliResult failed = RunCli("fs show --id 999");
  EXPECT_EQ(failed.status, 1);
  EXPECT_EQ(std::count(failed.err.begin(), failed.err.end(), '\n'), 1) << failed.err;
}

}  // namespace
