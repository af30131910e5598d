// The HTTPS session: login, cookies, re-login, trace files, time-outs and
// what a dropped connection does to the host process.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <zlib.h>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

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
  EXPECT_EQ(sim().Connections(), 1);
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
  sim().AddFault(KindFault(celsim::FaultKind::RefuseLogin));
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

// A client killed in the middle of a call (here celerractl, waiting for a
// reply that takes long) leaves nothing in the temp directory: there is no
// cookie file to leave.
TEST_F(SessionTest, AProcessKilledMidCallLeavesNothingBehind) {
  // The request is in the control station's hands, and takes a while there.
  auto arrived = std::make_shared<std::atomic<bool>>(false);
  sim().AddHandler("FileSystemQueryParams", [arrived](celsim::Model&, const celsim::SimRequest&) {
    arrived->store(true);
    std::this_thread::sleep_for(std::chrono::seconds(2));
    return celsim::Outcome::Ok();
  });
  ScopedEnv password("CELTEST_CLI_PASSWORD", kPassword);
  const std::string cli = std::string(getenv("CELERRA_BIN_DIR")) + "/celerractl";
  const std::string host = sim().address();
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    execl(cli.c_str(), cli.c_str(), "--host", host.c_str(), "--user", kUser, "--password-env", "CELTEST_CLI_PASSWORD",
          "fs", "list", static_cast<char*>(nullptr));
    _exit(127);
  }
  // Killed once its request has reached the control station.
  for (int i = 0; i < 1000 && !arrived->load(); ++i) usleep(10 * 1000);
  ASSERT_TRUE(arrived->load());
  kill(child, SIGKILL);
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_TRUE(WIFSIGNALED(status));
  std::vector<std::string> left = m_Temp->Files();
  EXPECT_TRUE(left.empty()) << left[0];
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
  sim().ExpireSessions();  // a second login, a second cookie
  EXPECT_TRUE(Echo(*facade));
  const std::string dir = m_Temp->PrivateDir();
  std::string debug = ReadFile(dir + "/CelerraXMLDebugFile");
  std::string header = ReadFile(dir + "/CelerraXMLHeaderFile");
  EXPECT_NE(debug.find("EchoQuery"), std::string::npos);
  EXPECT_NE(debug.find("password=********"), std::string::npos);
  EXPECT_NE(header.find("Set-Cookie: JSESSIONID=********; Path=/"), std::string::npos) << header;
  EXPECT_NE(debug.find("Cookie: JSESSIONID=********"), std::string::npos);
  EXPECT_TRUE(log.Contains("Got cookie:[ JSESSIONID=********; Path=/; Secure]"));
  // Neither password nor session cookie, in any trace or log line.
  std::vector<std::string> secrets = {kPassword, "S3cr%26t%3Dpa55"};
  for (const auto& e : sim().Journal())
    if (!e.session.empty()) secrets.push_back(e.session);
  ASSERT_GE(secrets.size(), 4u);
  for (const std::string& secret : secrets) {
    EXPECT_EQ(debug.find(secret), std::string::npos) << secret;
    EXPECT_EQ(header.find(secret), std::string::npos) << secret;
    for (const auto& line : log.Lines()) EXPECT_EQ(line.find(secret), std::string::npos) << line;
  }
  // The files and their directory are the user's alone.
  struct stat st;
  ASSERT_EQ(stat(dir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  for (const char* file : {"/CelerraXMLDebugFile", "/CelerraXMLHeaderFile", "/CelerraNamedMutex_.lock"}) {
    ASSERT_EQ(lstat((dir + file).c_str(), &st), 0) << file;
    EXPECT_EQ(st.st_mode & 0777, 0600u) << file;
    EXPECT_EQ(st.st_uid, geteuid()) << file;
  }
  // Nothing but the private directory in the temp directory.
  EXPECT_EQ(m_Temp->Files(), (std::vector<std::string>{"celerra-" + std::to_string(geteuid())}));
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

TEST_F(LargeListSessionTest, TheReplySizeLimitCountsTheReplyAsDecoded) {
  auto facade = NewFacade();
  ASSERT_TRUE(facade->SetMaxReplySize(100000));
  std::vector<CelerraFileSystem_t> fileSystems;
  EXPECT_FALSE(facade->GetFSInfo(fileSystems));
  EXPECT_EQ(facade->GetLastError1().m_eKind, ERROR_KIND_REPLY_TOO_LARGE);
  // Compressed, the reply would have been well within the limit.
  ASSERT_EQ(sim().Requests().size(), 1u);
  const std::string reply = sim().Requests()[0].reply;
  std::string packed(compressBound(static_cast<uLong>(reply.size())), '\0');
  uLongf packedSize = static_cast<uLongf>(packed.size());
  ASSERT_EQ(compress2(reinterpret_cast<Bytef*>(&packed[0]), &packedSize, reinterpret_cast<const Bytef*>(reply.data()),
                      static_cast<uLong>(reply.size()), Z_BEST_SPEED),
            Z_OK);
  EXPECT_GT(reply.size(), 100000u);
  EXPECT_LT(packedSize, 100000u);
}

TEST_F(SessionTest, ConnectionClosedMidReplyRaisesNoSignal) {
  struct sigaction old, dfl;
  dfl.sa_handler = SIG_DFL;
  sigemptyset(&dfl.sa_mask);
  dfl.sa_flags = 0;
  sigaction(SIGPIPE, &dfl, &old);
  sim().AddFault(KindFault(celsim::FaultKind::CloseMidReply, "", 2));
  auto facade = NewFacade();
  EXPECT_FALSE(Echo(*facade));
  EXPECT_FALSE(Echo(*facade));
  EXPECT_TRUE(Echo(*facade));
  sigaction(SIGPIPE, &old, nullptr);
}

// ------------------------------------------------------ files on a shared machine
//
// Traces and the trace lock live in <temp>/celerra-<uid>, mode 0700. What
// another user (or a link) put in their place is refused, never written to.

class PrivateFilesTest : public SessionTest {
 protected:
  void SetUp() override {
    SessionTest::SetUp();
    m_Trace.reset(new ScopedEnv("sCELERRALOGXMLMSG", "yes"));
  }
  void TearDown() override {
    m_Trace.reset();
    SessionTest::TearDown();
  }
  // One traced exchange that must fail on this machine's side, before or
  // during the login: returns the last error.
  CelerraError Refused() {
    auto facade = NewFacade();
    EXPECT_FALSE(Echo(*facade));
    CelerraError e = facade->GetLastError1();
    EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
    EXPECT_EQ(e.m_eKind, ERROR_KIND_LOCAL) << e.m_sMessage;
    return e;
  }
  std::string Dir() { return m_Temp->PrivateDir(); }
  void MakeDir(mode_t mode = 0700) {
    ASSERT_EQ(mkdir(Dir().c_str(), mode), 0);
    ASSERT_EQ(chmod(Dir().c_str(), mode), 0);
  }
  void Plant(const std::string& name, const std::string& text, mode_t mode) {
    std::string path = Dir() + "/" + name;
    FILE* f = fopen(path.c_str(), "w");
    ASSERT_NE(f, nullptr);
    fputs(text.c_str(), f);
    fclose(f);
    ASSERT_EQ(chmod(path.c_str(), mode), 0);
  }
  std::unique_ptr<ScopedEnv> m_Trace;
};

TEST_F(PrivateFilesTest, ALoosenedOrFakedDirectoryIsRefusedBeforeAnyTraffic) {
  MakeDir(0755);
  CelerraError e = Refused();
  EXPECT_NE(e.m_sMessage.find("has mode 0755"), std::string::npos) << e.m_sMessage;
  EXPECT_TRUE(sim().Journal().empty());
  ASSERT_EQ(rmdir(Dir().c_str()), 0);

  // A link to a directory the attacker controls.
  std::string elsewhere = m_Temp->path() + "/elsewhere";
  ASSERT_EQ(mkdir(elsewhere.c_str(), 0700), 0);
  ASSERT_EQ(symlink(elsewhere.c_str(), Dir().c_str()), 0);
  e = Refused();
  EXPECT_NE(e.m_sMessage.find("is not a directory"), std::string::npos) << e.m_sMessage;
  EXPECT_TRUE(sim().Journal().empty());
}

TEST_F(PrivateFilesTest, ALinkOrALooseFileInPlaceOfATraceIsNeverWritten) {
  MakeDir();
  std::string target = m_Temp->path() + "/target";
  FILE* f = fopen(target.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fputs("precious\n", f);
  fclose(f);
  ASSERT_EQ(symlink(target.c_str(), (Dir() + "/CelerraXMLHeaderFile").c_str()), 0);
  CelerraError e = Refused();
  EXPECT_NE(e.m_sMessage.find("CelerraXMLHeaderFile is a symbolic link"), std::string::npos) << e.m_sMessage;
  EXPECT_EQ(ReadFile(target), "precious\n");
  ASSERT_EQ(unlink((Dir() + "/CelerraXMLHeaderFile").c_str()), 0);

  Plant("CelerraXMLDebugFile", "readable by all\n", 0644);
  e = Refused();
  EXPECT_NE(e.m_sMessage.find("CelerraXMLDebugFile has mode 0644"), std::string::npos) << e.m_sMessage;
  EXPECT_EQ(ReadFile(Dir() + "/CelerraXMLDebugFile"), "readable by all\n");
}

TEST_F(PrivateFilesTest, AFilePlantedByAnotherUserIsNeverWritten) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to give a file to another user";
  MakeDir();
  Plant("CelerraXMLHeaderFile", "planted\n", 0600);
  ASSERT_EQ(chown((Dir() + "/CelerraXMLHeaderFile").c_str(), 65534, 65534), 0);
  CelerraError e = Refused();
  EXPECT_NE(e.m_sMessage.find("CelerraXMLHeaderFile is owned by uid 65534"), std::string::npos) << e.m_sMessage;
  EXPECT_EQ(ReadFile(Dir() + "/CelerraXMLHeaderFile"), "planted\n");

  // The same for the lock file.
  ASSERT_EQ(unlink((Dir() + "/CelerraXMLHeaderFile").c_str()), 0);
  Plant("CelerraNamedMutex_.lock", "", 0600);
  ASSERT_EQ(chown((Dir() + "/CelerraNamedMutex_.lock").c_str(), 65534, 65534), 0);
  e = Refused();
  EXPECT_NE(e.m_sMessage.find("CelerraNamedMutex_.lock is owned by uid 65534"), std::string::npos) << e.m_sMessage;
}

TEST_F(PrivateFilesTest, ALockHeldByAnotherProcessEndsTheCallAfterTheWait) {
  MakeDir();
  const std::string lock = Dir() + "/CelerraNamedMutex_.lock";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t holder = fork();
  ASSERT_GE(holder, 0);
  if (holder == 0) {
    // Takes the lock and keeps it until killed (system calls only: this is a
    // copy of a multi-threaded process).
    int fd = open(lock.c_str(), O_RDWR | O_CREAT, 0600);
    if (fd < 0 || flock(fd, LOCK_EX) != 0) _exit(1);
    (void)!write(ready[1], "x", 1);
    for (;;) pause();
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  auto facade = NewFacade();
  ASSERT_TRUE(facade->SetConnectTimeout(0.5));
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(Echo(*facade));
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_LT(waited, 30.0) << "the wait for the lock must be bounded";
  CelerraError e = facade->GetLastError1();
  EXPECT_EQ(e.m_eKind, ERROR_KIND_LOCAL);
  EXPECT_NE(e.m_sMessage.find("the trace lock " + lock + " was held by another process for more than 0.5 s"),
            std::string::npos)
      << e.m_sMessage;
  kill(holder, SIGKILL);
  waitpid(holder, nullptr, 0);
  close(ready[0]);
  close(ready[1]);
  // Released: the same facade goes on.
  EXPECT_TRUE(Echo(*facade));
}

// Two real accounts: root and "nobody". Each keeps its own private
// directory in the shared sticky temp directory; neither can open the
// other's lock; a directory that one planted in the other's name is refused.
TEST_F(PrivateFilesTest, TwoAccountsOnOneMachine) {
  struct passwd* nobody = getpwnam("nobody");
  if (geteuid() != 0 || !nobody) GTEST_SKIP() << "needs root and the account nobody";
  const uid_t uid = nobody->pw_uid;
  const gid_t gid = nobody->pw_gid;
  ASSERT_EQ(chmod(m_Temp->path().c_str(), 01777), 0);
  // Runs `body` in a child as nobody; returns its exit status.
  auto asNobody = [&](const std::function<int()>& body) {
    pid_t child = fork();
    if (child == 0) {
      if (setgroups(0, nullptr) != 0 || setgid(gid) != 0 || setuid(uid) != 0) _exit(99);
      _exit(body());
    }
    int status = 0;
    waitpid(child, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  };

  // Root traces; nobody cannot even open root's lock file.
  auto facade = NewFacade();
  ASSERT_TRUE(Echo(*facade));
  const std::string rootLock = Dir() + "/CelerraNamedMutex_.lock";
  ASSERT_EQ(access(rootLock.c_str(), F_OK), 0);
  EXPECT_EQ(asNobody([&] { return open(rootLock.c_str(), O_RDONLY) < 0 && errno == EACCES ? 0 : 1; }), 0);

  // Nobody runs celerractl with tracing on beside root's files: it works, in
  // a directory of its own.
  ScopedEnv password("CELTEST_CLI_PASSWORD", kPassword);
  const std::string cli = std::string(getenv("CELERRA_BIN_DIR")) + "/celerractl";
  const std::string host = sim().address();
  if (access(cli.c_str(), X_OK) != 0) GTEST_SKIP() << cli;
  int status = asNobody([&] {
    execl(cli.c_str(), cli.c_str(), "--host", host.c_str(), "--user", kUser, "--password-env", "CELTEST_CLI_PASSWORD",
          "--json", "mover", "names", static_cast<char*>(nullptr));
    return 127;
  });
  if (status == 127) GTEST_SKIP() << "nobody cannot run " << cli;
  EXPECT_EQ(status, 0);
  struct stat st;
  const std::string theirs = m_Temp->path() + "/celerra-" + std::to_string(uid);
  ASSERT_EQ(stat((theirs + "/CelerraXMLHeaderFile").c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, uid);
  ASSERT_EQ(stat(Dir().c_str(), &st), 0);
  EXPECT_EQ(st.st_uid, 0u);
  EXPECT_TRUE(Echo(*facade));

  // In another shared directory nobody plants root's private directory
  // first: root refuses it and sends nothing.
  TempDir shared;
  ASSERT_EQ(chmod(shared.path().c_str(), 01777), 0);
  const std::string planted = shared.PrivateDir();
  EXPECT_EQ(asNobody([&] { return mkdir(planted.c_str(), 0777) == 0 && chmod(planted.c_str(), 0777) == 0 ? 0 : 1; }),
            0);
  ScopedEnv temp("CELERRA_TEMP_DIR", shared.path());
  sim().ClearJournal();
  CelerraError e = Refused();
  EXPECT_NE(e.m_sMessage.find("is owned by uid " + std::to_string(uid)), std::string::npos) << e.m_sMessage;
  EXPECT_TRUE(sim().Journal().empty());
}

}  // namespace
