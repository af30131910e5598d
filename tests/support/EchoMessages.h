// A minimal request/response pair built on the two message base classes, as
// an integrator would write one for ProcessRequestAndResponse.
#pragma once

#include <string>

#include "messages/CelerraXMLMessage.h"

namespace celtest {

class EchoReq : public CelerraXMLMessageReq {
 public:
  explicit EchoReq(unsigned long long jobId, std::string value = "hello", bool task = false, bool ex = false)
      : CelerraXMLMessageReq(jobId, false, ""), m_Value(std::move(value)), m_Task(task), m_Ex(ex) {}
  bool SerializeXML() override {
    std::string outer = m_Ex ? "RequestEx" : "Request";
    std::string inner = m_Task ? "StartTask" : "Query";
    StandardXML_Prefix(outer, inner, " apiVersion=\"V1_1\"");
    m_sSerializedXML += "      <EchoQuery" + Attr("value", m_Value) + ">" + Escape(m_Value) + "</EchoQuery>\n";
    StandardXML_Postfix(outer, inner);
    return true;
  }
  const char* GetMessageName() override { return "EchoReq"; }

 private:
  std::string m_Value;
  bool m_Task;
  bool m_Ex;
};

class EchoResp : public CelerraXMLMessageResp {
 public:
  explicit EchoResp(unsigned long long jobId, int type = 0) : CelerraXMLMessageResp(jobId, false) {
    m_eResponseType = type;
    init();
  }
  const char* GetMessageName() override { return "EchoResp"; }
};

}  // namespace celtest
