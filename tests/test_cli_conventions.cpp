// celerractl as administrators script it: options before or after the
// subcommand, -o json|table, --version, profiles, completion, password
// files, the exit status of output that cannot be written, and server text
// that must not reach the terminal as it is.
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "tests/support/TestSupport.h"

using namespace celtest;
using nlohmann::json;

namespace {

class CliConventionsTest : public SimTest {
 protected:
  std::string Path(const std::string& name) const { return m_Temp->path() + "/" + name; }
  // Private, as celerractl wants the files it reads.
  void Write(const std::string& name, const std::string& text) {
    std::ofstream(Path(name), std::ios::binary) << text;
    chmod(Path(name).c_str(), 0600);
  }
  // celerractl with only a password in the environment and the test's
  // profile directory: what the profile says is all it knows.
  CliResult RunBare(const std::string& args) {
    return RunCelerractl(args, m_Temp->path(), std::string("CELERRA_PASSWORD='") + kPassword + "'");
  }
  void WriteProfile(const std::string& text) {
    mkdir(Path("celerractl").c_str(), 0700);
    Write("celerractl/config", text);
  }
};

TEST_F(CliConventionsTest, GlobalOptionsBeforeOrAfterTheSubcommand) {
  CliResult before = RunCli("--json fs list");
  CliResult after = RunCli("fs list --json");
  CliResult output = RunCli("fs list -o json");
  ASSERT_EQ(before.status, 0) << before.err;
  EXPECT_EQ(after.status, 0) << after.err;
  EXPECT_EQ(after.out, before.out);
  EXPECT_EQ(output.out, before.out);
  EXPECT_TRUE(json::parse(before.out).is_array());
  // Connection options after the subcommand too.
  CliResult late =
      RunBare("fs list --host " + sim().address() + " --user " + kUser + " --pin " + sim().PublicKeyPin() + " -o json");
  EXPECT_EQ(late.status, 0) << late.err;
  EXPECT_EQ(late.out, before.out);
  EXPECT_EQ(RunCli("fs list -o yaml").status, 2);
  EXPECT_EQ(RunCli("fs list --no-such-option").status, 2);
}

TEST_F(CliConventionsTest, VersionAndHelpExitZero) {
  std::string version = getenv("CELERRA_VERSION");
  CliResult ctl = RunBare("--version");
  EXPECT_EQ(ctl.status, 0);
  EXPECT_EQ(ctl.out, "celerractl " + version + "\n");
  EXPECT_EQ(RunBare("fs list --help").status, 0);
  int status = -1;
  std::string bin = getenv("CELERRA_BIN_DIR");
  EXPECT_EQ(Shell(bin + "/celerra-sim --version", &status), "celerra-sim " + version + "\n");
  EXPECT_EQ(status, 0);
  EXPECT_NE(Shell(bin + "/celerra-sim --help", &status).find("--fault"), std::string::npos);
  EXPECT_EQ(status, 0);
}

TEST_F(CliConventionsTest, AProfileCarriesHostUserPasswordFileAndTimeout) {
  Write("password", std::string(kPassword) + "\n");
  WriteProfile("# the lab's control station\n[lab]\nhost = " + sim().address() + "\nuser = " + kUser +
               "\npassword-file = " + Path("password") + "\npin = " + sim().PublicKeyPin() + "\ntimeout = 20\n");
  CliResult r = RunCelerractl("--profile lab -o json fs list", m_Temp->path());
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(json::parse(r.out, nullptr, false).size(), 6u);
  EXPECT_EQ(r.err, "");  // verified by the pin: no note

  CliResult missing = RunBare("--profile nosuch fs list");
  EXPECT_EQ(missing.status, 2);
  EXPECT_NE(missing.err.find("no profile [nosuch]"), std::string::npos) << missing.err;

  WriteProfile("[lab]\nhots = " + sim().address() + "\n");
  CliResult typo = RunBare("--profile lab fs list");
  EXPECT_EQ(typo.status, 2);
  EXPECT_NE(typo.err.find("unknown key 'hots'"), std::string::npos) << typo.err;
  EXPECT_TRUE(sim().Requests().size() == 1u) << "only the first run reached the server";
}

TEST_F(CliConventionsTest, TheDefaultProfileAppliesWithoutProfileFlag) {
  WriteProfile("[default]\nhost = " + sim().address() + "\nuser = " + kUser + "\npin = " + sim().PublicKeyPin() + "\n");
  CliResult r = RunBare("mover names");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("server_2"), std::string::npos);
  // The command line wins over the profile.
  EXPECT_EQ(RunBare("--host 127.0.0.1:1 --timeout 5 mover names").status, 1);
}

TEST_F(CliConventionsTest, APasswordFileIsASmallRegularFile) {
  struct Case {
    std::string file, says;
  };
  Write("big", std::string(5000, 'x'));
  Write("empty", "\n");
  mkdir(Path("dir").c_str(), 0700);
  for (const Case& c : {Case{"/dev/zero", "not a regular file"}, Case{Path("dir"), "not a regular file"},
                        Case{Path("big"), "larger than 4096 bytes"}, Case{Path("empty"), "no password"},
                        Case{Path("absent"), "cannot read the password file"}}) {
    SCOPED_TRACE(c.file);
    CliResult r = RunCelerractl("--host " + sim().address() + " --user admin --password-file " + c.file + " fs list",
                                m_Temp->path());
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  }
  Write("good", std::string(kPassword) + "\r\nsecond line\n");
  CliResult ok = RunCelerractl(
      "--host " + sim().address() + " --user admin --insecure --password-file " + Path("good") + " fs list",
      m_Temp->path());
  EXPECT_EQ(ok.status, 0) << ok.err;
  EXPECT_TRUE(sim().Requests().size() == 1u);
}

TEST_F(CliConventionsTest, FilesOthersMayReadOrChangeAreRefused) {
  Write("password", std::string(kPassword) + "\n");
  Write("ca.pem", "x");
  Write("key.pem", "x");
  WriteProfile("[lab]\nhost = " + sim().address() + "\nuser = " + kUser + "\npassword-file = " + Path("password") +
               "\npin = " + sim().PublicKeyPin() + "\n");
  // Only the files say where the password is.
  auto run = [&](const std::string& args) { return RunCelerractl(args + " fs list", m_Temp->path()); };
  const std::string host = "--host " + sim().address() + " --user admin --password-file " + Path("password") + " ";
  struct Case {
    std::string file;
    mode_t mode;
    std::string args, says;
  };
  for (const Case& c : {
           Case{"password", 0644, "--profile lab",
                "password file " + Path("password") +
                    ": mode 0644 lets its group and other users read it; fix: chmod 600 " + Path("password")},
           Case{"password", 0640, host, "mode 0640 lets its group read it"},
           Case{"password", 0602, "--profile lab", "mode 0602 lets other users change it"},
           Case{"celerractl/config", 0666, "--profile lab",
                "profile " + Path("celerractl/config") +
                    ": mode 0666 lets its group and other users change it; fix: chmod 600"},
           Case{"celerractl/config", 0620, host, "mode 0620 lets its group change it"},  // even when not named
           Case{"ca.pem", 0664, host + "--ca-bundle " + Path("ca.pem"),
                "CA bundle " + Path("ca.pem") + ": mode 0664 lets its group change it; fix: chmod go-w " +
                    Path("ca.pem")},
           Case{"key.pem", 0646, host + "--pin " + Path("key.pem"), "pin file " + Path("key.pem") + ": mode 0646"},
       }) {
    SCOPED_TRACE(c.file + " " + std::to_string(c.mode));
    ASSERT_EQ(chmod(Path(c.file).c_str(), c.mode), 0);
    CliResult r = run(c.args);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("celerractl: refusing the ", 0), 0u) << r.err;
    EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    chmod(Path(c.file).c_str(), 0600);
  }
  EXPECT_TRUE(sim().Requests().empty());
  // A profile others may read is fine: it holds where the password is, not the password.
  chmod(Path("celerractl/config").c_str(), 0644);
  EXPECT_EQ(run("--profile lab").status, 0);

  if (geteuid() != 0) GTEST_SKIP() << "a file of another owner needs root to make";
  for (const std::string file : {"password", "celerractl/config"}) {
    SCOPED_TRACE(file);
    ASSERT_EQ(chown(Path(file).c_str(), 65534, 65534), 0);
    CliResult r = run("--profile lab");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find(Path(file) + ": it belongs to uid 65534, not to you (uid 0) or root; fix: chown 0 "),
              std::string::npos)
        << r.err;
    ASSERT_EQ(chown(Path(file).c_str(), 0, 0), 0);
  }
}

TEST_F(CliConventionsTest, OutputThatCannotBeWrittenExitsOne) {
  CliResult r = RunCli("fs list >/dev/full");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("cannot write the output"), std::string::npos) << r.err;
  EXPECT_EQ(RunCli("--json fs list >/dev/full").status, 1);
}

TEST_F(CliConventionsTest, ServerTextIsEscapedInTablesAndExactInJson) {
  // A line feed (forged line), a C1 control (CSI) and a right-to-left override.
  const std::string evil =
      "evil\n12  forged\xc2\x9b"
      "31m\xe2\x80\xae"
      "gpj.exe";
  sim().WithModel([&](celsim::Model& m) { m.fileSystems[0].name = evil; });
  CliResult table = RunCli("fs list");
  ASSERT_EQ(table.status, 0) << table.err;
  EXPECT_NE(table.out.find("evil\\n12  forged\\u009b31m\\u202egpj.exe"), std::string::npos) << table.out;
  EXPECT_EQ(table.out.find('\x9b'), std::string::npos);
  EXPECT_EQ(table.out.find("\xe2\x80\xae"), std::string::npos);
  EXPECT_EQ(std::count(table.out.begin(), table.out.end(), '\n'), 7);  // heading and six rows
  CliResult doc = RunCli("--json fs list");
  ASSERT_EQ(doc.status, 0);
  EXPECT_EQ(json::parse(doc.out)[0]["name"], evil);
}

TEST_F(CliConventionsTest, TextThatIsNotUtf8DoesNotStopTheJsonOutput) {
  celsim::Fault canned = CannedFault(
      "MoverQueryParams",
      "<?xml version=\"1.0\" encoding=\"ISO-8859-1\"?>\n<ResponsePacket xmlns=\"urn:celerra:xml-api:v1\"><Response>"
      "<QueryStatus maxSeverity=\"ok\"/><Mover mover=\"1\" name=\"caf\xe9\" role=\"primary\"/></Response>"
      "</ResponsePacket>\n");
  canned.count = -1;
  sim().AddFault(canned);
  CliResult r = RunCli("--json mover names");
  ASSERT_TRUE(r.status == 0 || r.status == 1) << r.status << r.err;
  if (r.status == 0) EXPECT_FALSE(json::parse(r.out, nullptr, false).is_discarded()) << r.out;
  CliResult table = RunCli("mover names");
  EXPECT_TRUE(table.status == 0 || table.status == 1) << table.status << table.err;
}

TEST_F(CliConventionsTest, CompletionKnowsEverySubcommandAndOption) {
  std::string bin = getenv("CELERRA_BIN_DIR");
  // What bash offers for the words typed so far (the last is the one completed).
  auto complete = [&](const std::string& words, int current) {
    Write("complete.sh", "source <(" + bin + "/celerractl completion bash)\nCOMP_WORDS=(" + words + ")\nCOMP_CWORD=" +
                             std::to_string(current) + "\n_celerractl\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n");
    return Shell("bash " + Path("complete.sh") + " 2>&1");
  };
  std::string top = complete("celerractl ''", 1);
  for (const char* word : {"fs\n", "ckpt\n", "mount\n", "trust\n", "completion\n", "--host\n", "--output\n"})
    EXPECT_NE(top.find(word), std::string::npos) << word << top;
  std::string fs = complete("celerractl fs ''", 2);
  for (const char* word : {"list\n", "show\n", "name\n", "--json\n"}) EXPECT_NE(fs.find(word), std::string::npos) << fs;
  EXPECT_EQ(fs.find("ckpt\n"), std::string::npos) << fs;
  std::string options = complete("celerractl --json ckpt create-rw --st", 4);
  EXPECT_EQ(options, "--stg-id\n--stg-type\n");
  EXPECT_EQ(complete("celerractl fs list -o ''", 4), "json\ntable\n");
  EXPECT_NE(complete("celerractl --json ''", 2).find("fs\n"), std::string::npos);  // a flag takes no value

  CliResult zsh = RunBare("completion zsh");
  EXPECT_EQ(zsh.status, 0);
  EXPECT_EQ(zsh.out.rfind("#compdef celerractl\n", 0), 0u);
  EXPECT_NE(zsh.out.find("'ckpt:create-rw') candidates=("), std::string::npos);
  if (Shell("command -v zsh").empty()) return;  // the syntax check needs zsh itself
  Write("complete.zsh", zsh.out);
  int status = -1;
  Shell("zsh -n " + Path("complete.zsh") + " 2>&1", &status);
  EXPECT_EQ(status, 0);
}

}  // namespace
