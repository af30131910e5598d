// The request cycle every operation of the facade runs, and the closing an
// operation writes on failure (through OnFailure). Private to the facade's
// sources: none of it is installed, so a new operation cannot pick another
// shape.
//
// An operation reads top to bottom:
//
//   Exchange<SomeReq, SomeResp> exchange(*this, kTexts);
//   OnFailure closing(exchange.Closing("Some", [&] { CEL_ERROR(m_Event, "Unable to ..."); }));
//   if (!exchange.Made()) return false;
//   exchange.request().m_sId = id;
//   if (!exchange.Send()) return false;
//   if (!exchange.Accepted()) return false;   // the server's verdict
//   ... copy the results out ...
//   return closing.Succeeded();
#pragma once

#include <functional>
#include <memory>
#include <new>
#include <utility>

#include "manage/ManageCelerra.h"
#include "messages/CelerraXMLMessage.h"
#include "messages/internal/OnFailure.h"

namespace celerra_internal {

// One public operation of the facade, from its first line to its return:
// while it runs, every error line of its steps (and of the operations it
// calls) is written at the detail level, and when the outermost operation
// ends with a failure in the facade's record it writes the one error line:
// the operation, the kind and the reason. Success writes nothing at the
// default threshold, and a call that succeeds leaves a clean record, so the
// record alone says which way the call went.
class OperationLog {
 public:
  OperationLog(ManageCelerra& facade, const char* operation);
  ~OperationLog();
  OperationLog(const OperationLog&) = delete;
  OperationLog& operator=(const OperationLog&) = delete;

  unsigned long long JobId() const;
  // The operation refuses `why` on its own: the facade's record, false.
  bool Fail(const CelerraError& why);

 private:
  ManageCelerra& m_Facade;
  const char* m_Operation;
};

// The texts one operation logs when a step of its exchange fails; a null
// text logs nothing for that step. Kept per operation, word for word, since
// the callers' log watchers know them.
struct ExchangeTexts {
  const char* allocFailed;
  const char* initFailed;
  const char* loginFailed;
  const char* serializeFailed;
  const char* sendFailed;
};

// Which step of an exchange failed, if any.
enum class ExchangeStep { Done, Allocate, Initialize, Login, Serialize, Send };

// The facade's side of one exchange: serialisation (a value that may not be
// sent refuses the request before any traffic), session set-up, credentials
// into the session, login and the POST, after which the response has parsed
// the reply. A failed step logs the operation's text and puts why it failed
// into the facade's last error and the response's, so that an operation that
// copies the response's record on its way out reports it too.
class FacadeExchange {
 public:
  FacadeExchange(ManageCelerra& facade, const ExchangeTexts& texts) : m_Facade(facade), m_Texts(texts) {}

  ExchangeStep Run(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response);

 protected:
  unsigned long long JobId() const;
  void LogAllocationFailure() const;
  // The failure recorded as `operation`'s: never status "ok" after a failure.
  void RecordFailure(const char* operation);
  // The response's record becomes the facade's.
  void Keep(CelerraXMLMessageResp& response);
  // Keep, then true when the record says ok.
  bool Judge(CelerraXMLMessageResp& response);

 private:
  ExchangeStep Fail(ExchangeStep step, const char* text, const CelerraError& why, CelerraXMLMessageResp& response);
  // Builds the document; false (the record set) for a value that may not be
  // sent or a document that could not be built.
  bool Serialize(CelerraXMLMessageReq& request, CelerraXMLMessageResp& response);

  ManageCelerra& m_Facade;
  const ExchangeTexts& m_Texts;
};

// One operation's request and response, made with the facade's job id, and
// their exchange.
template <class Req, class Resp>
class Exchange : public FacadeExchange {
 public:
  Exchange(ManageCelerra& facade, const ExchangeTexts& texts)
      : FacadeExchange(facade, texts),
        m_Request(new (std::nothrow) Req(JobId())),
        m_Response(new (std::nothrow) Resp(JobId())) {
    if (Made()) return;
    LogAllocationFailure();
    m_Request.reset();
    m_Response.reset();
  }

  // False when either message could not be made (the allocation text is
  // logged); nothing else may be called then.
  bool Made() const { return m_Request && m_Response; }
  Req& request() { return *m_Request; }
  Resp& response() { return *m_Response; }

  // The whole cycle; which step failed, if any.
  ExchangeStep Run() { return FacadeExchange::Run(*m_Request, *m_Response); }
  // The whole cycle; true once a reply has been parsed (it may still be the
  // server's refusal: see Accepted).
  bool Send() { return Run() == ExchangeStep::Done; }
  // After Send: the response's record becomes the facade's; true when the
  // server accepted the request and the reply could be read.
  bool Accepted() { return Judge(*m_Response); }
  // On a way out: the response's record (the reply's problem, or why the
  // exchange failed) becomes the facade's, when the messages were made.
  void KeepResponseError() {
    if (Made()) Keep(*m_Response);
  }

  // What most operations do on every way out but success (for OnFailure):
  // the failure recorded as `operation`'s, then `line` writes the closing
  // log line. ClosingWithReply first makes the response's record the
  // facade's, for operations whose caller learns the reply's reason.
  std::function<void()> Closing(const char* operation, std::function<void()> line) {
    return [this, operation, line] {
      RecordFailure(operation);
      line();
    };
  }
  std::function<void()> ClosingWithReply(const char* operation, std::function<void()> line) {
    return [this, operation, line] {
      KeepResponseError();
      RecordFailure(operation);
      line();
    };
  }

 private:
  std::unique_ptr<Req> m_Request;
  std::unique_ptr<Resp> m_Response;
};

}  // namespace celerra_internal
