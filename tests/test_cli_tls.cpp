// TLS from celerractl's command line against the celerra-sim program: the
// certificate it exports verifies the host (--ca-bundle), `trust` stores the
// key's pin so that the next call is verified without a CA, a wrong pin is
// refused, and an unverified call says so once.
#include <openssl/pem.h>

#include <fstream>

#include <nlohmann/json.hpp>

#include "common/Tls.h"
#include "tests/support/TestSupport.h"

using namespace celtest;
using nlohmann::json;

namespace {

const char kBadPin[] = "sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA=";

class CliTlsTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_Sim.Start({"--cert-out", CertFile()})); }
  std::string CertFile() const { return m_Dir.path() + "/sim-cert.pem"; }
  // The pin of the exported certificate, worked out here independently of
  // both programs' own output.
  std::string ExportedPin() const {
    FILE* f = fopen(CertFile().c_str(), "r");
    if (!f) return std::string();
    X509* cert = PEM_read_X509(f, nullptr, nullptr, nullptr);
    fclose(f);
    std::string pin = cert ? celcommon::PublicKeyPin(cert) : std::string();
    X509_free(cert);
    return pin;
  }
  CliResult Run(const std::string& args) {
    return RunCelerractl(args, m_Dir.path(), "CELERRA_PASSWORD=password CELERRA_USER=admin");
  }
  size_t Count(const std::string& text, const std::string& part) {
    size_t n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
  }

  TempDir m_Dir;
  SimProgram m_Sim;
};

TEST_F(CliTlsTest, AnUnverifiedCallWorksAndSaysSoOnce) {
  CliResult r = Run("--host " + m_Sim.address() + " mover names");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(Count(r.err, "not verified"), 1u) << r.err;
  CliResult quiet = Run("--host " + m_Sim.address() + " --insecure mover names");
  EXPECT_EQ(quiet.status, 0);
  EXPECT_EQ(quiet.err, "");
}

TEST_F(CliTlsTest, TheExportedCertificateVerifiesTheHost) {
  CliResult r = Run("--host " + m_Sim.address() + " --ca-bundle " + CertFile() + " mover names");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
}

TEST_F(CliTlsTest, TrustStoresThePinAndTheNextCallIsVerifiedByIt) {
  CliResult shown = Run("--host " + m_Sim.address() + " -o json trust </dev/null");
  ASSERT_EQ(shown.status, 0) << shown.err;
  json first = json::parse(shown.out);
  EXPECT_EQ(first["pin"], ExportedPin());
  EXPECT_EQ(first["subject"], "CN=127.0.0.1");
  EXPECT_EQ(first["stored"], false);  // no terminal, no --yes
  EXPECT_NE(shown.err.find("not stored"), std::string::npos);

  CliResult stored = Run("--host " + m_Sim.address() + " --profile lab trust --yes");
  ASSERT_EQ(stored.status, 0) << stored.err;
  EXPECT_NE(stored.out.find("stored in profile [lab]"), std::string::npos) << stored.out;
  std::ifstream config(m_Dir.path() + "/celerractl/config");
  std::string text((std::istreambuf_iterator<char>(config)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("pin = " + ExportedPin()), std::string::npos) << text;

  // The profile knows the host and the key: verified, without a CA.
  CliResult verified = Run("--profile lab mover names");
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_EQ(verified.err, "");
}

TEST_F(CliTlsTest, AWrongPinIsRefused) {
  CliResult r = Run("--host " + m_Sim.address() + " --pin " + kBadPin + " mover names");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(
      r.err.find("(GetMoverNames, tls): TLS: the key of " + m_Sim.address() + " does not match the pinned public key"),
      std::string::npos)
      << r.err;
  EXPECT_EQ(Count(r.err, "\n"), 1u) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(Run("--host " + m_Sim.address() + " --pin not-a-pin mover names").status, 2);
}

}  // namespace
