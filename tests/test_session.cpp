// The HTTPS session: login, cookies, re-login, trace files, time-outs and
// what a dropped connection does to the host process.
#include <signal.h>
#include <sys/stat.h>

#include <thread>

#include "tests/support/EchoMessages.h"
#include "tests/support/TestSupport.h"
#include "transport/CelerraHTTPInterface.h"

using namespace celtest;

namespace {

class SessionTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    AddEcho();
  }
  void AddEcho() {
    sim().AddHandler("EchoQuery", [](celsim::Model&, const celsim::SimRequest&) { return celsim::Outcome::Ok(); });
  }
  bool Echo(ManageCelerra& facade) {
    EchoReq req(7);
    EchoResp resp(7);
    return facade.ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR);
  }
  size_t Logins() {
    size_t n = 0;
    for (const auto& e : sim().Journal()) n += e.path == "/Login";
    return n;
  }
};

TEST_F(SessionTest, LogsInOnceAndReusesTheCookie) {
  auto facade = NewFacade();
  EXPECT_TRUE(Echo(*facade));
  EXPECT_TRUE(Echo(*facade));
  EXPECT_TRUE(Echo(*facade));
  EXPECT_EQ(Logins(), 1u);
  auto requests = sim().Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_FALSE(requests[0].session.empty());
  EXPECT_EQ(requests[0].session, requests[2].session);
  // One TLS connection serves them all.
  EXPECT_EQ(sim().Handshakes(), 1);
}

TEST_F(SessionTest, CredentialsWithFormCharactersArriveIntact) {
  sim().Stop();
  celsim::Simulator::Options options = SimOptions();
  options.user = "dom&ain=x user";
  options.password = "p&ss=w%rd+ ";
  m_Sim.reset(new celsim::Simulator(options));
  ASSERT_TRUE(m_Sim->Start());
  AddEcho();
  ManageCelerra facade(3);
  facade.SetControlHostInfo(sim().address(), options.user, options.password);
  EXPECT_TRUE(Echo(facade));
  auto journal = sim().Journal();
  ASSERT_FALSE(journal.empty());
  EXPECT_EQ(journal[0].path, "/Login");
  EXPECT_EQ(journal[0].body.find("p%26ss"), std::string::npos) << "journal must mask the password";
  EXPECT_NE(journal[0].body.find("user=dom%26ain%3Dx%20user"), std::string::npos) << journal[0].body;
}

TEST_F(SessionTest, RefusedLoginIsRememberedAsCode2) {
  celsim::Fault refuse;
  refuse.kind = celsim::FaultKind::RefuseLogin;
  sim().AddFault(refuse);
  CelerraHTTPInterface session(5);
  ASSERT_TRUE(session.InitializeCURL());
  session.SetControlHostInfo(sim().address(), kUser, kPassword);
  EXPECT_EQ(session.GetCelerraHttpErrorCode(), 0);
  EXPECT_FALSE(session.Login());
  EXPECT_EQ(session.GetCelerraHttpErrorCode(), 2);
  EXPECT_FALSE(session.IsLoggedIn());
  // The next attempt tries again.
  EXPECT_TRUE(session.Login());
  EXPECT_TRUE(session.Login());
  EXPECT_EQ(Logins(), 2u);
}

TEST_F(SessionTest, MissingCredentialsSendNothing) {
  LogCapture log;
  ManageCelerra facade(1);
  facade.SetControlHostInfo(sim().address(), kUser, "");
  EXPECT_FALSE(Echo(facade));
  EXPECT_TRUE(sim().Journal().empty());
  EXPECT_TRUE(log.Contains("empty Host Name, Login or password"));
}

TEST_F(SessionTest, LogsInAgainWhenTheServerDropsTheSession) {
  auto facade = NewFacade();
  EXPECT_TRUE(Echo(*facade));
  sim().ExpireSessions();
  EXPECT_TRUE(Echo(*facade));
  EXPECT_EQ(Logins(), 2u);
  auto requests = sim().Requests();
  ASSERT_EQ(requests.size(), 3u);
  EXPECT_EQ(requests[1].status, 403);
  EXPECT_NE(requests[0].session, requests[2].session);
}

TEST_F(SessionTest, CookieFileIsPrivateAndRemoved) {
  std::string cookie;
  {
    CelerraHTTPInterface session(5);
    ASSERT_TRUE(session.InitializeCURL());
    cookie = session.GetCookieFile();
    struct stat st;
    ASSERT_EQ(stat(cookie.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);
    CelerraHTTPInterface other(6);
    ASSERT_TRUE(other.InitializeCURL());
    EXPECT_NE(other.GetCookieFile(), cookie);
  }
  struct stat st;
  EXPECT_NE(stat(cookie.c_str(), &st), 0);
}

TEST_F(SessionTest, TraceFilesOnlyWhenSwitchedOnAndWithoutThePassword) {
  {
    auto facade = NewFacade();
    EXPECT_TRUE(Echo(*facade));
  }
  for (const auto& f : m_Temp->Files()) EXPECT_EQ(f.find("CelerraXML"), std::string::npos) << f;

  ScopedEnv trace("sCELERRALOGXMLMSG", "yes");
  sim().ClearJournal();
  LogCapture log;
  auto facade = NewFacade();
  EXPECT_TRUE(Echo(*facade));
  EXPECT_TRUE(Echo(*facade));
  std::string debug = ReadFile(m_Temp->path() + "/CelerraXMLDebugFile");
  std::string header = ReadFile(m_Temp->path() + "/CelerraXMLHeaderFile");
  EXPECT_NE(debug.find("EchoQuery"), std::string::npos);
  EXPECT_NE(debug.find("password=********"), std::string::npos);
  EXPECT_NE(header.find("Set-Cookie"), std::string::npos);
  std::string escaped = "S3cr%26t%3Dpa55";
  for (const std::string& text : {debug, header}) {
    EXPECT_EQ(text.find(kPassword), std::string::npos);
    EXPECT_EQ(text.find(escaped), std::string::npos);
  }
  for (const auto& line : log.Lines()) {
    EXPECT_EQ(line.find(kPassword), std::string::npos) << line;
    EXPECT_EQ(line.find(escaped), std::string::npos) << line;
  }
  struct stat st;
  ASSERT_EQ(stat((m_Temp->path() + "/CelerraXMLDebugFile").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // While tracing, replies are not asked for compressed: the trace holds
  // them as text.
  EXPECT_NE(debug.find("<ResponsePacket"), std::string::npos);
  for (const auto& request : sim().Requests()) EXPECT_EQ(request.headers.count("Accept-Encoding"), 0u);
}

class LargeListSessionTest : public SessionTest {
 protected:
  LargeListSessionTest() { m_Scale = 500; }
};

TEST_F(LargeListSessionTest, RepliesAreAskedForCompressedUnlessSwitchedOff) {
  for (const char* setting : {"", "no"}) {
    SCOPED_TRACE(std::string("sCELERRACOMPRESSION=") + setting);
    ScopedEnv compression("sCELERRACOMPRESSION", setting);
    sim().ClearJournal();
    auto facade = NewFacade();
    std::vector<CelerraFileSystem_t> fileSystems;
    ASSERT_TRUE(facade->GetFSInfo(fileSystems));
    EXPECT_EQ(fileSystems.size(), 6u + 2 * 500u);
    std::vector<celsim::JournalEntry> requests = sim().Requests();
    ASSERT_EQ(requests.size(), 1u);
    auto accepted = requests[0].headers.find("Accept-Encoding");
    if (*setting) {
      EXPECT_EQ(accepted, requests[0].headers.end());
    } else {
      ASSERT_NE(accepted, requests[0].headers.end());
      EXPECT_NE(accepted->second.find("gzip"), std::string::npos) << accepted->second;
    }
  }
}

TEST_F(SessionTest, TwoFacadesInTwoThreadsKeepTheirOwnCookies) {
  std::vector<std::string> sessions(2);
  std::vector<std::thread> threads;
  for (int t = 0; t < 2; ++t) {
    threads.emplace_back([&, t] {
      auto facade = NewFacade(100 + t);
      for (int i = 0; i < 20; ++i) EXPECT_TRUE(Echo(*facade));
    });
  }
  for (auto& th : threads) th.join();
  std::map<long, std::set<std::string>> perConnection;
  std::set<std::string> all;
  for (const auto& e : sim().Requests()) {
    perConnection[e.connection].insert(e.session);
    all.insert(e.session);
  }
  EXPECT_EQ(all.size(), 2u);
  for (const auto& c : perConnection) EXPECT_EQ(c.second.size(), 1u);
  EXPECT_EQ(sim().CrossedCookies(), 0);
}

TEST_F(SessionTest, AReplyThatNeverComesTimesOut) {
  ScopedEnv limit("sCELERRATIMEOUT", "1");
  celsim::Fault slow;
  slow.kind = celsim::FaultKind::Delay;
  slow.delayMs = 5000;
  sim().AddFault(slow);
  auto facade = NewFacade();
  EXPECT_FALSE(Echo(*facade));
  std::string message = facade->GetLastError1().m_sMessage;
  EXPECT_NE(message.find("imed out"), std::string::npos) << message;
}

TEST_F(SessionTest, ConnectionClosedMidReplyRaisesNoSignal) {
  struct sigaction old, dfl;
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  dfl.sa_flags = 0;
  sigaction(SIGPIPE, &dfl, &old);
  celsim::Fault cut;
  cut.kind = celsim::FaultKind::CloseMidReply;
  cut.count = 2;
  sim().AddFault(cut);
  auto facade = NewFacade();
  EXPECT_FALSE(Echo(*facade));
  EXPECT_FALSE(Echo(*facade));
  EXPECT_TRUE(Echo(*facade));
  sigaction(SIGPIPE, &old, nullptr);
}

}  // namespace
