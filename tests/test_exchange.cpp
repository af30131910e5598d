// One exchange end to end: the request envelope as the server reads it, and
// what of a failed exchange reaches the caller. How the reply envelope is
// judged, shape by shape, is pinned without a server in
// test_messages_internal.cpp.
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
};

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

// A server's message has no libcurl text after it, reading the record does
// not change it, and a later success of the general exchange leaves it.
TEST_F(ExchangeTest, TheServersRefusalIsKeptAsItCame) {
  sim().AddFault(ProblemFault("EchoQuery", "42", "nope"));
  auto facade = NewFacade();
  EchoReq req(7);
  EchoResp resp(7);
  EXPECT_FALSE(facade->ProcessRequestAndResponse(req, resp, EvDebug::LVL_ERROR));
  CelerraError first = facade->GetLastError1();
  EXPECT_EQ(first.m_sMessage, "nope");
  EXPECT_EQ(first.m_sMessageCode, "42");
  EXPECT_EQ(facade->GetLastError1().m_sMessage, "nope");
  EchoReq again(7);
  EchoResp resp2(7);
  EXPECT_TRUE(facade->ProcessRequestAndResponse(again, resp2, EvDebug::LVL_ERROR));
  EXPECT_EQ(facade->GetLastError1().m_sMessageCode, "42");
}

}  // namespace
