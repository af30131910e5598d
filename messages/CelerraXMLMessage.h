// Base classes of every request and response message: the standard request
// envelope, the reply text, and the reply envelope parse into a status, a
// task id and the last-error record.
#pragma once

#include <string>

#include "messages/CelerraTypes.h"
#include "platform/CelerraExport.h"
#include "platform/EvDebug.h"

namespace celerra_internal {
class ReplyDocument;
class NumberReader;
}  // namespace celerra_internal

// The XML API namespace written into every RequestPacket. A neutral default
// that the configuration value sCELERRAXMLNS (section Vantrel) overrides.
const std::string& CelerraXMLNamespace();

class CelerraXMLMessageReq {
 public:
  CelerraXMLMessageReq();
  CelerraXMLMessageReq(unsigned long long jobId, bool sensitiveXML, const std::string& sensitiveText);
  virtual ~CelerraXMLMessageReq();

  // Builds the document into m_sSerializedXML; false when a required member
  // is missing.
  virtual bool SerializeXML() = 0;
  virtual std::string GetSerializedXML();
  virtual const char* GetMessageName();
  virtual void StandardXML_Prefix(const std::string& outer, const std::string& inner,
                                  const std::string& packetAttributes);
  virtual void StandardXML_Postfix(const std::string& outer, const std::string& inner);

  // The document carries a password: it must never be logged or traced.
  bool IsSensitive() const { return m_bSensitiveXML || !m_sSensitiveText.empty(); }
  unsigned long long GetJobId() const { return m_JobId; }

 protected:
  // Every value written into a request document goes through these: text
  // with & < > " ' escaped, and ` name="escaped value"`.
  static std::string Escape(const std::string& value);
  static std::string Attr(const char* name, const std::string& value);

  bool m_bSensitiveXML;
  std::string m_sSensitiveText;
  std::string m_sSerializedXML;
  unsigned long long m_JobId;
  EvEvent m_Event;
};

class CelerraXMLMessageResp {
 public:
  CelerraXMLMessageResp();
  CelerraXMLMessageResp(unsigned long long jobId, bool sensitiveXML);
  virtual ~CelerraXMLMessageResp();

  // Parses the reply envelope (and, in concrete responses, the body). This
  // base version and the envelope check below leave the reply text in
  // m_sXML, for a subclass that reads its body from it.
  virtual bool UnSerializeXML();
  virtual const char* GetMessageName() = 0;
  virtual void AppendXml(char* data, unsigned long length);
  // Makes room for a reply of about `bytes` (the length the server
  // announced, at most the reply-size limit) before its first bytes come, so
  // that a large reply is not copied as it grows. Never throws: without the
  // room the text grows as it comes.
  void ExpectXml(unsigned long long bytes);
  virtual int GetResponseType() { return m_eResponseType; }
  virtual void init();
  virtual eCelerraStatus XlateStatus(std::string status);
  virtual const char* XlateStatus(eCelerraStatus status);
  virtual void ClearLastError();
  virtual CelerraError GetLastError();
  virtual std::string GetLastTaskId();
  // Replaces the last-error record. The facade records here a failure that
  // kept the reply from being read (transport, refused input), so that every
  // reader of the response sees why.
  void SetLastError(const CelerraError& error) { m_LastError = error; }
  // Envelope check only, for responses that read their whole body
  // themselves. `tag` is "Response" or "ResponseEx" (either is accepted).
  virtual bool CheckResponsePackage(const std::string& tag);

  unsigned long long GetJobId() const { return m_JobId; }
  // The reply text received so far. The responses of the message catalogue
  // hand it to their parse, which reads it in place: it is empty after their
  // UnSerializeXML.
  const std::string& GetXml() const { return m_sXML; }
  const std::string& GetClientHandle() const { return m_sClientHandle; }

 protected:
  // The same two parses on a document the caller keeps, so that the body is
  // read from the one parse the envelope was read from. The document takes
  // the reply text over (m_sXML is left empty) and reads it in place.
  bool UnSerializeEnvelope(celerra_internal::ReplyDocument& doc);
  bool CheckResponsePackage(const std::string& tag, celerra_internal::ReplyDocument& doc);
  // Marks the reply unreadable: status error and a message that says why.
  void SetUnreadable(const std::string& why);
  // False, with the reply marked unreadable, when a number of the reply did
  // not fit its field.
  bool NumbersFit(const celerra_internal::NumberReader& numbers);
  // After CheckResponsePackage(tag, doc): a QueryStatus in the single
  // Response that names anything but success makes the reply a refusal, with
  // its status and problems in the last error (false). The envelope check
  // alone lets such a reply through, and a body parse that then finds no
  // elements would report the refusal as an empty success.
  bool CheckQueryStatus(celerra_internal::ReplyDocument& doc);

  unsigned long long m_JobId;
  std::string m_sXML;
  EvEvent m_Event;
  std::string m_sTaskId;
  int m_eResponseType;
  CelerraError m_LastError;
  std::string m_sClientHandle;
  bool m_bSensitiveXML;
};
