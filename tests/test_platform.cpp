// The host-services layer: configuration, resolver, sleep seam, the named
// mutex across processes, and the files that must stay the user's alone.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "platform/CTuIPAddr.h"
#include "platform/OXPI_Base.h"
#include "platform/OXPlatformInfo.h"
#include "platform/OxNamedMutex.h"
#include "platform/internal/PrivateFiles.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

TEST(Platform, ConfigurationComesFromTheEnvironment) {
  OXPlatformInfo info;
  std::string value = "N";
  unsetenv("sCELERRALOGXMLMSG");
  EXPECT_EQ(info.getString("Vantrel", "sCELERRALOGXMLMSG", &value), 0);
  EXPECT_EQ(value, "N");
  ScopedEnv set("sCELERRALOGXMLMSG", "yes");
  EXPECT_NE(info.getString("Vantrel", "sCELERRALOGXMLMSG", &value), 0);
  EXPECT_EQ(value, "yes");
}

TEST(Platform, TempDirectoryIsNullWhenUnset) {
  {
    ScopedEnv set("CELERRA_TEMP_DIR", "/var/tmp");
    EXPECT_STREQ(OXPI_Base().getOrvaneTempDirectory(), "/var/tmp");
  }
  ScopedEnv empty("CELERRA_TEMP_DIR", "");
  EXPECT_EQ(OXPI_Base().getOrvaneTempDirectory(), nullptr);
  // The root itself is a temp directory like any other.
  ScopedEnv root("CELERRA_TEMP_DIR", "/");
  const std::string expected = "/celerra-" + std::to_string(geteuid());
  bool existed = access(expected.c_str(), F_OK) == 0;
  std::string path, why;
  EXPECT_TRUE(celerra_platform::PrivateDirectory(&path, &why)) << why;
  EXPECT_EQ(path, expected);
  if (!existed) rmdir(expected.c_str());
}

TEST(Platform, ResolverTurnsNamesIntoAddresses) {
  CTuIPAddr addr;
  CTuString text;
  ASSERT_TRUE(CTuIPAddr::GetByName("127.0.0.1", addr, CTuIPAddr::IP_ANY).ok());
  ASSERT_TRUE(addr.GetAddressString(text).ok());
  EXPECT_STREQ(text.c_str(), "127.0.0.1");
  EXPECT_FALSE(CTuIPAddr::GetByName("no-such-host.invalid", addr, CTuIPAddr::IP_ANY).ok());
  EXPECT_FALSE(addr.GetAddressString(text).ok());
}

TEST(Platform, NamedMutexExcludesAcrossProcesses) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  std::string journal = dir.path() + "/order";
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    OxNamedMutex mutex("CelerraNamedMutex_");
    mutex.lock();
    FILE* f = fopen(journal.c_str(), "a");
    fputs("child-in\n", f);
    fflush(f);
    (void)!write(ready[1], "x", 1);
    usleep(200 * 1000);  // hold it while the parent asks for it
    fputs("child-out\n", f);
    fclose(f);
    mutex.unlock();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  OxNamedMutex mutex("CelerraNamedMutex_");
  ASSERT_TRUE(mutex.isValid());
  mutex.lock();
  FILE* f = fopen(journal.c_str(), "a");
  fputs("parent-in\n", f);
  fclose(f);
  mutex.unlock();
  int status = 0;
  waitpid(child, &status, 0);
  EXPECT_EQ(ReadFile(journal), "child-in\nchild-out\nparent-in\n");
  close(ready[0]);
  close(ready[1]);
}

TEST(Platform, NamedMutexMayBeTakenAgainByItsHolder) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  OxNamedMutex mutex("again");
  mutex.lock();
  mutex.lock();
  mutex.unlock();
  mutex.unlock();
  SUCCEED();
}

// A holder that never lets go (a stopped or hostile process of the same
// user) costs a bounded wait, not the caller's job; one that dies without
// unlocking releases it.
TEST(Platform, NamedMutexWaitIsBounded) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  int ready[2];
  ASSERT_EQ(pipe(ready), 0);
  pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    OxNamedMutex mutex("held");
    if (!mutex.lock()) _exit(1);
    (void)!write(ready[1], "x", 1);
    for (;;) pause();
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  OxNamedMutex mutex("held");
  ASSERT_TRUE(mutex.isValid()) << mutex.errorText();
  mutex.setWaitLimit(std::chrono::milliseconds(200));
  auto start = std::chrono::steady_clock::now();
  EXPECT_FALSE(mutex.lock());
  double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  EXPECT_GE(waited, 0.2);
  EXPECT_LT(waited, 10.0);
  kill(child, SIGKILL);
  waitpid(child, nullptr, 0);
  EXPECT_TRUE(mutex.lock());
  mutex.unlock();
  close(ready[0]);
  close(ready[1]);
}

// The lock file lives in <temp>/celerra-<uid>, made 0700, with the file
// 0600; a link or a loosened directory in their place is refused.
TEST(Platform, NamedMutexLivesInThePrivateDirectory) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  {
    OxNamedMutex mutex("mine");
    ASSERT_TRUE(mutex.isValid()) << mutex.errorText();
    EXPECT_EQ(mutex.path(), dir.PrivateDir() + "/mine.lock");
    struct stat st;
    ASSERT_EQ(stat(dir.PrivateDir().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0700u);
    ASSERT_EQ(stat(mutex.path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0600u);
  }
  std::string target = dir.path() + "/target";
  ASSERT_EQ(symlink(target.c_str(), (dir.PrivateDir() + "/linked.lock").c_str()), 0);
  OxNamedMutex linked("linked");
  EXPECT_FALSE(linked.isValid());
  EXPECT_NE(linked.errorText().find("is a symbolic link"), std::string::npos) << linked.errorText();
  EXPECT_FALSE(linked.lock());
  EXPECT_NE(access(target.c_str(), F_OK), 0) << "the link was followed";

  ASSERT_EQ(chmod(dir.PrivateDir().c_str(), 0755), 0);
  OxNamedMutex loose("mine");
  EXPECT_FALSE(loose.isValid());
  EXPECT_NE(loose.errorText().find("has mode 0755"), std::string::npos) << loose.errorText();

  // A shared temp directory without the sticky bit lets others swap ours.
  TempDir open;
  ASSERT_EQ(chmod(open.path().c_str(), 0777), 0);
  ScopedEnv openTemp("CELERRA_TEMP_DIR", open.path());
  OxNamedMutex unsafe("mine");
  EXPECT_FALSE(unsafe.isValid());
  EXPECT_NE(unsafe.errorText().find("lets others rename"), std::string::npos) << unsafe.errorText();
}

// CELERRA_LOG_FILE is created 0600 and never written through a link or when
// others could read it; the lines then go to standard error, the first one
// saying why. Run in celerractl (the log file is chosen once per process).
TEST(Platform, TheLogFileIsTheUsersAlone) {
  TempDir dir;
  const std::string cli = std::string(getenv("CELERRA_BIN_DIR")) + "/celerractl --sim --log-level 2 mover names";
  const std::string log = dir.path() + "/celerra.log";
  std::string err = Shell("CELERRA_LOG_FILE=" + log + " " + cli + " 2>&1 >/dev/null");
  EXPECT_EQ(err, "");
  struct stat st;
  ASSERT_EQ(stat(log.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0600u);
  EXPECT_NE(ReadFile(log).find("Successfully logged into server"), std::string::npos);

  const std::string target = dir.path() + "/target";
  const std::string link = dir.path() + "/link.log";
  ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
  err = Shell("CELERRA_LOG_FILE=" + link + " " + cli + " 2>&1 >/dev/null");
  EXPECT_EQ(err.find("celerra: log file " + link + " is a symbolic link; refused; logging to standard error"), 0u)
      << err;
  EXPECT_NE(access(target.c_str(), F_OK), 0);

  const std::string loose = dir.path() + "/loose.log";
  FILE* f = fopen(loose.c_str(), "w");
  ASSERT_NE(f, nullptr);
  fclose(f);
  ASSERT_EQ(chmod(loose.c_str(), 0644), 0);
  err = Shell("CELERRA_LOG_FILE=" + loose + " " + cli + " 2>&1 >/dev/null");
  EXPECT_NE(err.find("has mode 0644"), std::string::npos) << err;
  EXPECT_EQ(ReadFile(loose), "");

  // A character device keeps nothing for others to read: taken as it is.
  EXPECT_EQ(Shell("CELERRA_LOG_FILE=/dev/null " + cli + " 2>&1 >/dev/null"), "");

  // A long line reaches the log whole.
  LogCapture capture(0);
  const std::string longText(2048, 'x');
  EvDebug(5).error("%s|", longText.c_str());
  EXPECT_TRUE(capture.Contains(longText + "|"));
}

// Threads that share one object exclude each other too, though they share
// its one open lock file (on which flock alone would let them all in).
TEST(Platform, NamedMutexExcludesThreadsSharingTheObject) {
  TempDir dir;
  ScopedEnv temp("CELERRA_TEMP_DIR", dir.path());
  OxNamedMutex mutex("shared");
  ASSERT_TRUE(mutex.isValid()) << mutex.errorText();
  mutex.setWaitLimit(std::chrono::milliseconds(100));
  ASSERT_TRUE(mutex.lock());
  bool other = true;
  std::thread([&] { other = mutex.lock(); }).join();
  EXPECT_FALSE(other) << "a second thread got the lock its holder still has";
  mutex.unlock();
  std::thread([&] {
    other = mutex.lock();
    if (other) mutex.unlock();
  }).join();
  EXPECT_TRUE(other);
}
