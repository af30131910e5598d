// Every public operation against every fault the control station or the
// network can produce: each call must return false (GetMoverForVdm: throw
// int 1), say why in the last error or the log, keep every password out of
// the log, and come back. An expired session is the one fault a sound
// client rides out: it logs in again once and succeeds. A fault-free row
// proves that the inputs are good, so that every false is the fault's doing.
#include <cstring>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "platform/CTuIPAddr.h"
#include "tests/support/Operations.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

const char* const kRefusal = "matrix refusal text";
const char* const kRefusalCode = "17716937323";

// Both forms a password could leak in besides the plain one: URL-escaped (the
// login form) and XML-escaped (a request document).
std::vector<std::string> Secrets() {
  return {kPassword, "S3cr%26t%3Dpa55", "S3cr&amp;t=pa55", kArchivePassword, "Ark1v%26pw%3Dx", "Ark1v&amp;pw=x"};
}

// The archive server has no connection yet and its address is not among the
// mover's DHSM hosts, so the offline set-up runs every one of its steps.
std::string ResolveArchiveServer(const std::string& host) { return host == "arkiv1" ? "192.0.2.77" : ""; }

// Runs one operation's good row. GetMoverForVdm reports a failure by
// throwing int 1, never by returning false.
bool RunGood(const Operation& op, ManageCelerra& facade) {
  try {
    bool ok = op.good(facade);
    if (std::string(op.name) == "GetMoverForVdm") {
      EXPECT_TRUE(ok) << "GetMoverForVdm reports failure by throwing, not by false";
    }
    return ok;
  } catch (int code) {
    EXPECT_EQ(code, 1);
    return false;
  }
}

enum class Expect { Success, Failure, SuccessAfterOneRelogin };

struct FaultRow {
  const char* name;
  std::function<void(celsim::Simulator&)> inject;
  Expect expect;
  const char* why;         // text the last error or the log must carry
  eCelerraErrorKind kind;  // of the last error after the failure
  const char* timeout;     // sCELERRATIMEOUT for the row, or null
  bool tasksOnly = false;  // applies to operations that send a task
};

celsim::Fault Every(celsim::FaultKind kind) { return KindFault(kind, "", -1); }

celsim::Fault Canned(const std::string& reply) {
  celsim::Fault f = Every(celsim::FaultKind::Canned);
  f.canned = reply;
  return f;
}

celsim::Fault Refusal(const char* severity, celsim::FailureShape shape) {
  celsim::Fault f = ProblemFault("", kRefusalCode, kRefusal, severity);
  f.count = -1;
  f.style.failureShape = shape;
  return f;
}

std::vector<FaultRow> Faults() {
  using K = celsim::FaultKind;
  return {
      {"none", [](celsim::Simulator&) {}, Expect::Success, "", ERROR_KIND_NONE, nullptr},
      {"login refused", [](celsim::Simulator& s) { s.AddFault(Every(K::RefuseLogin)); }, Expect::Failure, "403",
       ERROR_KIND_LOGIN_REFUSED, nullptr},
      {"HTTP 500", [](celsim::Simulator& s) { s.AddFault(Every(K::Http500)); }, Expect::Failure, "500",
       ERROR_KIND_TRANSPORT, nullptr},
      {"connection closed mid-reply", [](celsim::Simulator& s) { s.AddFault(Every(K::CloseMidReply)); },
       Expect::Failure, "Failed to send message", ERROR_KIND_TRANSPORT, nullptr},
      {"reply never comes",
       [](celsim::Simulator& s) {
         celsim::Fault f = Every(K::Delay);
         f.delayMs = 1500;
         s.AddFault(f);
       },
       Expect::Failure, "Timeout", ERROR_KIND_TIMEOUT, "0.25"},
      {"malformed XML", [](celsim::Simulator& s) { s.AddFault(Every(K::Malformed)); }, Expect::Failure,
       "Unreadable reply", ERROR_KIND_REPLY, nullptr},
      {"truncated XML", [](celsim::Simulator& s) { s.AddFault(Every(K::Truncated)); }, Expect::Failure,
       "Unreadable reply", ERROR_KIND_REPLY, nullptr},
      {"two ResponsePackets",
       [](celsim::Simulator& s) {
         s.AddFault(
             Canned("<?xml version=\"1.0\"?><Replies>"
                    "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/></Response></ResponsePacket>"
                    "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/></Response></ResponsePacket>"
                    "</Replies>"));
       },
       Expect::Failure, "2 ResponsePacket elements", ERROR_KIND_REPLY, nullptr},
      {"two Responses",
       [](celsim::Simulator& s) {
         s.AddFault(
             Canned("<?xml version=\"1.0\"?><ResponsePacket>"
                    "<Response><QueryStatus maxSeverity=\"ok\"/></Response>"
                    "<Response><QueryStatus maxSeverity=\"ok\"/></Response>"
                    "</ResponsePacket>"));
       },
       Expect::Failure, "Unreadable reply", ERROR_KIND_REPLY, nullptr},
      {"two TaskResponses",
       [](celsim::Simulator& s) {
         s.AddFault(
             Canned("<?xml version=\"1.0\"?><ResponsePacket><Response>"
                    "<TaskResponse taskId=\"1\"><Status maxSeverity=\"ok\"/></TaskResponse>"
                    "<TaskResponse taskId=\"2\"><Status maxSeverity=\"ok\"/></TaskResponse>"
                    "</Response></ResponsePacket>"));
       },
       Expect::Failure, "TaskResponse", ERROR_KIND_REPLY, nullptr, true},
      {"warning problem", [](celsim::Simulator& s) { s.AddFault(Refusal("warning", celsim::FailureShape::Status)); },
       Expect::Failure, kRefusal, ERROR_KIND_SERVER, nullptr},
      {"error problem", [](celsim::Simulator& s) { s.AddFault(Refusal("error", celsim::FailureShape::Status)); },
       Expect::Failure, kRefusal, ERROR_KIND_SERVER, nullptr},
      {"packet fault", [](celsim::Simulator& s) { s.AddFault(Refusal("error", celsim::FailureShape::PacketFault)); },
       Expect::Failure, kRefusal, ERROR_KIND_SERVER, nullptr},
      {"fault in Response", [](celsim::Simulator& s) { s.AddFault(Refusal("error", celsim::FailureShape::Fault)); },
       Expect::Failure, kRefusal, ERROR_KIND_SERVER, nullptr},
      {"warning fault in Response",
       [](celsim::Simulator& s) { s.AddFault(Refusal("warning", celsim::FailureShape::Fault)); }, Expect::Failure,
       kRefusal, ERROR_KIND_SERVER, nullptr},
      {"Status without TaskResponse",
       [](celsim::Simulator& s) { s.AddFault(Refusal("error", celsim::FailureShape::BareStatus)); }, Expect::Failure,
       kRefusal, ERROR_KIND_SERVER, nullptr, true},
      {"expired session", [](celsim::Simulator& s) { s.AddFault(KindFault(K::ExpireSession)); },
       Expect::SuccessAfterOneRelogin, "", ERROR_KIND_NONE, nullptr},
  };
}

class FaultMatrix : public SimTest {
 protected:
  void Restart() {
    m_Sim.reset(new celsim::Simulator(SimOptions()));
    ASSERT_TRUE(m_Sim->Start());
    AddEchoHandler(*m_Sim);
  }
};

std::string Why(const CelerraError& e) {
  return e.m_sMessage + " | " + e.m_sMessageCode + " | " + e.m_sDescription + " | " + e.m_sDiagnostics;
}

TEST_F(FaultMatrix, EveryOperationAgainstEveryFault) {
  SleepRecorder noPauses;
  CTuIPAddr::SetResolverForTesting(ResolveArchiveServer);
  const std::vector<Operation> operations = EveryOperation(kUser, kPassword);
  size_t cases = 0;
  std::map<size_t, size_t> linesPerFailure;  // error-level lines of a failed call: how many calls wrote that many
  unsigned long long job = 100;
  for (const FaultRow& row : Faults()) {
    // A fresh control station per fault, so the objects that the destructive
    // operations of one row remove are there for the next.
    Restart();
    std::unique_ptr<ScopedEnv> timeout;
    if (row.timeout) timeout.reset(new ScopedEnv("sCELERRATIMEOUT", row.timeout));
    for (const Operation& op : operations) {
      if (row.tasksOnly && op.queriesOnly) continue;
      SCOPED_TRACE(std::string(op.name) + " / " + row.name);
      ++cases;
      sim().ClearFaults();
      row.inject(sim());
      LogCapture log;
      size_t loginsBefore = Logins();
      bool ok = false;
      CelerraError error;
      {
        ManageCelerra facade(++job);
        facade.SetControlHostInfo(sim().address(), kUser, kPassword);
        // Each facade its own session, so that every one of them meets the
        // fault from its login on (sharing is tested on its own).
        facade.SetSessionSharing(false);
        ok = RunGood(op, facade);
        error = facade.GetLastError1();
      }
      size_t logins = Logins() - loginsBefore;
      std::vector<std::string> lines = log.Lines();
      switch (row.expect) {
        case Expect::Success:
          EXPECT_TRUE(ok) << Why(error);
          EXPECT_EQ(logins, 1u);
          break;
        case Expect::SuccessAfterOneRelogin:
          EXPECT_TRUE(ok) << Why(error);
          EXPECT_EQ(logins, 2u) << "one login, and one more after the session was dropped";
          break;
        case Expect::Failure: {
          EXPECT_FALSE(ok);
          // Never "ok" after a failure, and the kind of this fault.
          EXPECT_NE(error.m_eStatus, STATUS_OK) << Why(error);
          EXPECT_EQ(error.m_eKind, row.kind) << CelerraErrorKindName(error.m_eKind) << ": " << Why(error);
          // Dumps of the reply document would carry the fault's own text:
          // only the lines that report count.
          bool said = Why(error).find(row.why) != std::string::npos;
          for (size_t i = 0; !said && i < lines.size(); ++i)
            said = lines[i].find(row.why) != std::string::npos && lines[i].find("<?xml") == std::string::npos &&
                   lines[i].find("<ResponsePacket") == std::string::npos;
          EXPECT_TRUE(said) << "neither the last error [" << Why(error) << "] nor the log says [" << row.why << "]";
          // A refusal in any shape keeps the server's own code.
          if (row.kind == ERROR_KIND_SERVER) {
            EXPECT_EQ(error.m_sMessageCode, kRefusalCode);
          }
          // One error line, naming the operation and the kind.
          std::vector<std::string> loud = log.LinesAtOrBelow(0);
          ++linesPerFailure[loud.size()];
          std::string opName(op.name, std::strcspn(op.name, "("));
          std::string head = opName + " failed [" + CelerraErrorKindName(row.kind) + "]: ";
          ASSERT_EQ(loud.size(), 1u) << "the first: " << (loud.empty() ? "" : loud[0]);
          EXPECT_NE(loud[0].find(head), std::string::npos) << loud[0];
          break;
        }
      }
      // A success writes nothing at the default threshold and leaves a clean
      // record.
      if (row.expect != Expect::Failure) {
        std::vector<std::string> loud = log.LinesAtOrBelow(0);
        EXPECT_TRUE(loud.empty()) << loud.size() << " lines, the first: " << loud[0];
        EXPECT_EQ(error.m_eKind, ERROR_KIND_NONE);
        EXPECT_EQ(error.m_sMessage + error.m_sMessageCode, "");
      }
      // Every line carries the facade's job id (the integrator's own
      // messages of ProcessRequestAndResponse carry theirs).
      const std::string jobText = " job " + std::to_string(job) + " ";
      const bool ownMessages = std::string(op.name) == "ProcessRequestAndResponse";
      for (const std::string& line : lines) {
        if (!ownMessages) {
          EXPECT_NE(line.find(jobText), std::string::npos) << line;
        }
      }
      for (const std::string& line : lines)
        for (const std::string& secret : Secrets())
          ASSERT_EQ(line.find(secret), std::string::npos) << "a password in the log: " << line;
    }
  }
  CTuIPAddr::SetResolverForTesting(nullptr);
  for (const auto& n : linesPerFailure) std::printf("failures writing %zu error lines: %zu\n", n.first, n.second);
  std::printf("fault matrix: %zu cases (%zu operations x %zu faults)\n", cases, operations.size(), Faults().size());
}

}  // namespace
