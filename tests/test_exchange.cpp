// One exchange end to end: the request envelope as sent, the reply envelope
// in every shape the control station writes, and what reaches the caller.
#include <pugixml.hpp>

#include "tests/support/EchoMessages.h"
#include "tests/support/TestSupport.h"

using namespace celtest;

namespace {

class ExchangeTest : public SimTest {
 protected:
  void SetUp() override {
    SimTest::SetUp();
    sim().AddHandler("EchoQuery", [](celsim::Model&, const celsim::SimRequest& r) {
      return celsim::Outcome::Ok("<Echo" + celsim::A("value", r.body.attribute("value").value()) + "/>");
    });
  }

  // Runs one echo exchange whose reply is `canned`.
  bool Canned(const std::string& reply, int type, CelerraError* error, std::string* taskId = nullptr) {
    celsim::Fault fault;
    fault.kind = celsim::FaultKind::Canned;
    fault.canned = reply;
    sim().AddFault(fault);
    auto facade = NewFacade();
    EchoReq req(7, "x", type == 1);
    EchoResp resp(7, type);
    bool ok = facade->ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR);
    *error = resp.GetLastError();
    if (taskId) *taskId = resp.GetLastTaskId();
    return ok && error->m_eStatus == STATUS_OK;
  }
};

const char* kTwoProblems =
    "<ResponsePacket><Response><QueryStatus maxSeverity=\"error\">"
    "<Problem messageCode=\"1\" message=\"first\" severity=\"error\" component=\"c1\" facility=\"f1\">"
    "<Description>d1</Description></Problem>"
    "<Problem messageCode=\"2\" message=\"second\" severity=\"error\" component=\"c2\" facility=\"f2\">"
    "<Description>d2</Description><Action>a2</Action><Diagnostics>g2</Diagnostics></Problem>"
    "</QueryStatus></Response></ResponsePacket>";

TEST_F(ExchangeTest, QueryRepliesJudgedByTheirStatus) {
  CelerraError e;
  EXPECT_TRUE(Canned("<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/></Response></ResponsePacket>", 0, &e));
  // No QueryStatus at all is taken as success.
  EXPECT_TRUE(Canned("<ResponsePacket><Response/></ResponsePacket>", 0, &e));
  // "info" is a success with a notice.
  EXPECT_TRUE(Canned("<ResponsePacket><Response><QueryStatus maxSeverity=\"info\"/></Response></ResponsePacket>", 0, &e));
  // A warning is a failure, with the problem's fields.
  EXPECT_FALSE(Canned("<ResponsePacket><Response><QueryStatus maxSeverity=\"warning\">"
                      "<Problem messageCode=\"77\" message=\"careful\" severity=\"warning\"/>"
                      "</QueryStatus></Response></ResponsePacket>",
                      0, &e));
  EXPECT_EQ(e.m_eStatus, STATUS_WARNING);
  EXPECT_EQ(e.m_sMessageCode, "77");
  // Status texts compare exactly.
  EXPECT_FALSE(Canned("<ResponsePacket><Response><QueryStatus maxSeverity=\"OK\"/></Response></ResponsePacket>", 0, &e));
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
}

TEST_F(ExchangeTest, TwoProblemsKeepTheSecond) {
  LogCapture log;
  CelerraError e;
  EXPECT_FALSE(Canned(kTwoProblems, 0, &e));
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "2");
  EXPECT_EQ(e.m_sMessage, "second");
  EXPECT_EQ(e.m_sComponent, "c2");
  EXPECT_EQ(e.m_sFacility, "f2");
  EXPECT_EQ(e.m_sDescription, "d2");
  EXPECT_EQ(e.m_sAction, "a2");
  EXPECT_EQ(e.m_sDiagnostics, "g2");
  EXPECT_TRUE(log.Contains("message:[first]"));
  EXPECT_TRUE(log.Contains("message:[second]"));
}

TEST_F(ExchangeTest, FaultsAreFailuresWithTheServersProblems) {
  CelerraError e;
  EXPECT_FALSE(Canned("<ResponsePacket><PacketFault maxSeverity=\"error\"><Problem messageCode=\"9\" message=\"bad\"/>"
                      "</PacketFault></ResponsePacket>",
                      0, &e));
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(e.m_sMessageCode, "9");
  // A Fault inside the Response, on a query and on a task.
  for (int type : {0, 1}) {
    EXPECT_FALSE(Canned("<ResponsePacket><Response><Fault maxSeverity=\"error\"><Problem messageCode=\"13\" "
                        "message=\"unknown id\"/></Fault></Response></ResponsePacket>",
                        type, &e));
    EXPECT_EQ(e.m_eStatus, STATUS_ERROR) << type;
    EXPECT_EQ(e.m_sMessageCode, "13") << type;
  }
}

TEST_F(ExchangeTest, TaskRepliesCarryTheirTaskId) {
  CelerraError e;
  std::string task;
  EXPECT_TRUE(Canned("<ResponsePacket><Response><TaskResponse taskId=\"4711\"><Status maxSeverity=\"ok\"/>"
                     "</TaskResponse></Response></ResponsePacket>",
                     1, &e, &task));
  EXPECT_EQ(task, "4711");
  // A Status with its problems but no TaskResponse: refused, empty task id.
  EXPECT_FALSE(Canned("<ResponsePacket><Response><Status maxSeverity=\"error\"><Problem messageCode=\"13690535947\" "
                      "message=\"exists\"/></Status></Response></ResponsePacket>",
                      1, &e, &task));
  EXPECT_EQ(e.m_sMessageCode, "13690535947");
  EXPECT_EQ(task, "");
  // TaskResponse without Status: unreadable, but the task id is kept.
  EXPECT_FALSE(Canned("<ResponsePacket><Response><TaskResponse taskId=\"5\"/></Response></ResponsePacket>", 1, &e, &task));
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
  EXPECT_EQ(task, "5");
  EXPECT_NE(e.m_sMessage.find("Status"), std::string::npos);
}

// The reply's status is the TaskResponse's own Status, or a Status right
// inside the Response; one nested in a body element never is.
TEST_F(ExchangeTest, AStatusInsideABodyElementIsNotTheReplysStatus) {
  CelerraError e;
  std::string task;
  // The task's own status is ok; a body element's failed Status changes nothing.
  EXPECT_TRUE(Canned("<ResponsePacket><Response><TaskResponse taskId=\"8\">"
                     "<Detail><Status maxSeverity=\"error\"><Problem messageCode=\"1\" message=\"inner\"/></Status>"
                     "</Detail><Status maxSeverity=\"ok\"/></TaskResponse></Response></ResponsePacket>",
                     1, &e, &task));
  EXPECT_EQ(task, "8");
  // A nested ok Status does not make a task reply without its own status a
  // success.
  EXPECT_FALSE(Canned("<ResponsePacket><Response><Detail><Status maxSeverity=\"ok\"/></Detail>"
                      "</Response></ResponsePacket>",
                      1, &e));
  EXPECT_NE(e.m_sMessage.find("without TaskResponse"), std::string::npos) << e.m_sMessage;
  EXPECT_FALSE(Canned("<ResponsePacket><Response><TaskResponse taskId=\"9\"><Detail><Status maxSeverity=\"ok\"/>"
                      "</Detail></TaskResponse></Response></ResponsePacket>",
                      1, &e));
  EXPECT_NE(e.m_sMessage.find("without Status"), std::string::npos) << e.m_sMessage;
  // The bare shape: a Status right inside the Response is the reply's.
  EXPECT_FALSE(Canned("<ResponsePacket><Response><Status maxSeverity=\"error\"><Problem messageCode=\"5\" "
                      "message=\"refused\"/></Status><Detail><Status maxSeverity=\"ok\"/></Detail>"
                      "</Response></ResponsePacket>",
                      1, &e));
  EXPECT_EQ(e.m_sMessageCode, "5");
}

TEST_F(ExchangeTest, UnreadableRepliesAreErrorsThatSayWhy) {
  CelerraError e;
  const char* cases[] = {
      "<ResponsePacket><Response>",                                  // truncated
      "this is not XML",                                             // garbage
      "<Other/>",                                                    // no packet
      "<R><ResponsePacket><Response/></ResponsePacket><ResponsePacket><Response/></ResponsePacket></R>",
      "<ResponsePacket><Response/><Response/></ResponsePacket>",     // neither one Response nor a fault
  };
  for (const char* reply : cases) {
    EXPECT_FALSE(Canned(reply, 0, &e)) << reply;
    EXPECT_EQ(e.m_eStatus, STATUS_ERROR) << reply;
    EXPECT_FALSE(e.m_sMessage.empty()) << reply;
  }
  // A task reply without TaskResponse or Status.
  EXPECT_FALSE(Canned("<ResponsePacket><Response/></ResponsePacket>", 1, &e));
  EXPECT_EQ(e.m_eStatus, STATUS_ERROR);
}

TEST_F(ExchangeTest, RealWorldDecorationsChangeNothing) {
  CelerraError e;
  EXPECT_TRUE(Canned("<?xml version=\"1.0\" encoding=\"UTF-8\" standalone = \"yes\"?>\n"
                     "<ResponsePacket xmlns=\"http://example.invalid/api\" extra=\"1\">\n  "
                     "<ResponseEx clientHandle=\"h1\" >\n    <QueryStatus  maxSeverity = \"ok\" />\n"
                     "    <Unknown a=\"b\"><Child/></Unknown>\n  </ResponseEx>\n</ResponsePacket>\n",
                     0, &e));
}

TEST_F(ExchangeTest, EveryValueIsEscapedOnTheWayOut) {
  auto facade = NewFacade();
  std::string nasty = "a&b<c>d\"e'f</EchoQuery><Injected/>";
  EchoReq req(7, nasty);
  EchoResp resp(7);
  ASSERT_TRUE(facade->ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  auto requests = sim().Requests();
  ASSERT_EQ(requests.size(), 1u);
  pugi::xml_document doc;
  ASSERT_TRUE(doc.load_string(requests[0].body.c_str()));
  pugi::xml_node echo = doc.child("RequestPacket").child("Request").child("Query").child("EchoQuery");
  EXPECT_EQ(std::string(echo.attribute("value").value()), nasty);
  EXPECT_EQ(std::string(echo.text().get()), nasty);
  EXPECT_FALSE(doc.select_node("//Injected"));
  EXPECT_EQ(std::string(doc.child("RequestPacket").attribute("apiVersion").value()), "V1_1");
  EXPECT_FALSE(std::string(doc.child("RequestPacket").attribute("xmlns").value()).empty());
}

TEST_F(ExchangeTest, HttpErrorLeavesTheResponseUnparsed) {
  celsim::Fault fault;
  fault.kind = celsim::FaultKind::Http500;
  sim().AddFault(fault);
  auto facade = NewFacade();
  EchoReq req(7);
  EchoResp resp(7);
  EXPECT_FALSE(facade->ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  EXPECT_TRUE(resp.GetXml().empty());
  CelerraError e = facade->GetLastError1();
  EXPECT_NE(e.m_sMessage.find("500"), std::string::npos) << e.m_sMessage;
}

TEST_F(ExchangeTest, LastErrorSuffixIsNotStored) {
  sim().AddFault(ProblemFault("EchoQuery", "42", "nope"));
  auto facade = NewFacade();
  EchoReq req(7);
  EchoResp resp(7);
  EXPECT_FALSE(facade->ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  CelerraError first = facade->GetLastError1();
  CelerraError second = facade->GetLastError1();
  EXPECT_EQ(first.m_sMessage, second.m_sMessage);
  EXPECT_EQ(first.m_sMessage.rfind("nope: [", 0), 0u) << first.m_sMessage;
  EXPECT_EQ(first.m_sMessageCode, "42");
}

TEST_F(ExchangeTest, SuccessLeavesTheLastErrorAsItWas) {
  sim().AddFault(ProblemFault("EchoQuery", "42", "nope"));
  auto facade = NewFacade();
  EchoReq req(7);
  EchoResp resp(7);
  EXPECT_FALSE(facade->ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  EchoReq again(7);
  EchoResp resp2(7);
  EXPECT_TRUE(facade->ProcessRequestAndResponse(again, resp2, EvDebug::LVL_ERROR));
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "42");
}

}  // namespace
