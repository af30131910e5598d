#include "sim/Simulator.h"

#include "sim/DataFile.h"

#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>

#include <strings.h>

namespace celsim {

namespace {

const char kServlet[] = "/servlets/CelerraManagementServices";

// A fresh self-signed certificate for `commonName` (127.0.0.1 for the
// server), kept in memory.
struct Certificate {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  explicit Certificate(const char* commonName = "127.0.0.1") {
    key = EVP_EC_gen("P-256");
    cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), static_cast<long>(std::random_device()() & 0x7fffffff));
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName), -1,
                               -1, 0);
    X509_set_issuer_name(cert, name);
    X509_sign(cert, key, EVP_sha256());
  }
  ~Certificate() {
    X509_free(cert);
    EVP_PKEY_free(key);
  }
};

}  // namespace

std::string SelfSignedCertificatePem(const std::string& commonName) {
  Certificate certificate(commonName.c_str());
  BIO* bio = BIO_new(BIO_s_mem());
  PEM_write_bio_X509(bio, certificate.cert);
  char* data = nullptr;
  long size = BIO_get_mem_data(bio, &data);
  std::string pem(data, static_cast<size_t>(size));
  BIO_free(bio);
  return pem;
}

namespace {

std::string UrlDecode(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c == '+') {
      out += ' ';
    } else if (c == '%' && i + 2 < text.size() && isxdigit(static_cast<unsigned char>(text[i + 1])) &&
               isxdigit(static_cast<unsigned char>(text[i + 2]))) {
      out += static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      out += c;
    }
  }
  return out;
}

std::map<std::string, std::string> ParseForm(const std::string& body) {
  std::map<std::string, std::string> form;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    std::string pair = body.substr(start, end - start);
    size_t eq = pair.find('=');
    if (eq != std::string::npos) form[UrlDecode(pair.substr(0, eq))] = UrlDecode(pair.substr(eq + 1));
    start = end + 1;
  }
  return form;
}

// Passwords never reach the journal. A linear scan, not a regular expression:
// compiling one per thread races inside the C++ library's locale cache.
std::string MaskPasswords(const std::string& body, bool form) {
  std::string out;
  out.reserve(body.size());
  size_t pos = 0;
  while (pos < body.size()) {
    size_t hit = std::string::npos;
    for (size_t i = pos; i + 8 <= body.size(); ++i)
      if ((form ? strncmp : strncasecmp)(body.c_str() + i, "password", 8) == 0) {
        hit = i;
        break;
      }
    if (hit == std::string::npos) break;
    size_t p = hit + 8;
    if (form) {
      if (p < body.size() && body[p] == '=' && (hit == 0 || body[hit - 1] == '&')) {
        size_t end = body.find('&', p);
        if (end == std::string::npos) end = body.size();
        out.append(body, pos, p + 1 - pos);
        out += "********";
        pos = end;
        continue;
      }
    } else {
      while (p < body.size() && isspace(static_cast<unsigned char>(body[p]))) ++p;
      if (p < body.size() && body[p] == '=') {
        ++p;
        while (p < body.size() && isspace(static_cast<unsigned char>(body[p]))) ++p;
        if (p < body.size() && (body[p] == '"' || body[p] == '\'')) {
          size_t close = body.find(body[p], p + 1);
          if (close != std::string::npos) {
            out.append(body, pos, hit + 8 - pos);
            out += "=\"********\"";
            pos = close + 1;
            continue;
          }
        }
      }
    }
    out.append(body, pos, hit + 8 - pos);
    pos = hit + 8;
  }
  out.append(body, pos, std::string::npos);
  return out;
}

std::string SessionFromCookie(const std::string& cookie) {
  static const std::string key = "JSESSIONID=";
  size_t at = cookie.find(key);
  if (at == std::string::npos) return std::string();
  size_t end = cookie.find(';', at);
  return cookie.substr(at + key.size(), end == std::string::npos ? std::string::npos : end - at - key.size());
}

std::string NewSessionId() {
  static std::mt19937_64 rng(std::random_device{}());
  static std::mutex lock;
  std::lock_guard<std::mutex> guard(lock);
  char text[40];
  std::snprintf(text, sizeof text, "%016llx%016llx", static_cast<unsigned long long>(rng()),
                static_cast<unsigned long long>(rng()));
  return text;
}

Outcome InvalidRequest(const std::string& why) {
  Problem p;
  p.messageCode = "13421772802";
  p.message = "Invalid request: " + why;
  p.description = why;
  p.component = "API";
  p.facility = "XMLAPI";
  return Outcome::Fail(p);
}

// Whether an Accept-Encoding header value offers gzip (with a weight above
// zero, when it carries one).
bool AcceptsGzip(const std::string& accepted) {
  size_t start = 0;
  while (start < accepted.size()) {
    size_t end = accepted.find(',', start);
    if (end == std::string::npos) end = accepted.size();
    std::string item = accepted.substr(start, end - start);
    start = end + 1;
    size_t semicolon = item.find(';');
    std::string coding = item.substr(0, semicolon);
    coding.erase(0, coding.find_first_not_of(" \t"));
    coding.erase(coding.find_last_not_of(" \t") + 1);
    for (char& c : coding) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (coding != "gzip" && coding != "x-gzip") continue;
    size_t q = semicolon == std::string::npos ? std::string::npos : item.find("q=", semicolon);
    return q == std::string::npos || std::strtod(item.c_str() + q + 2, nullptr) > 0;
  }
  return false;
}

bool Gzip(const std::string& in, std::string& out) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  out.resize(deflateBound(&z, static_cast<uLong>(in.size())));
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
  z.avail_in = static_cast<uInt>(in.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  bool done = deflate(&z, Z_FINISH) == Z_STREAM_END;
  out.resize(z.total_out);
  deflateEnd(&z);
  return done;
}

// Whether the servlet compresses its reply: gzip when the client accepts
// it. The decision is the servlet's alone, so the offer is taken off the
// request: left there, httplib would compress every reply on its own, with
// brotli at its slowest setting for any client that offers br, which holds
// a streamed reply back for seconds. (The request is httplib's own object,
// handed to the handler as const.)
bool TakeGzipOffer(const httplib::Request& req) {
  bool gzip = AcceptsGzip(req.get_header_value("Accept-Encoding"));
  const_cast<httplib::Request&>(req).headers.erase("Accept-Encoding");
  return gzip;
}

// Sends a reply document, gzip-compressed when `gzip`, as a control station
// behind a compressing front end would.
void SendReply(httplib::Response& res, const std::string& reply, bool gzip) {
  auto body = std::make_shared<std::string>();
  if (gzip && reply.size() < (1u << 31) && Gzip(reply, *body))
    res.set_header("Content-Encoding", "gzip");
  else
    *body = reply;
  res.set_content_provider(body->size(), "text/xml; charset=UTF-8",
                           [body](size_t offset, size_t length, httplib::DataSink& sink) {
                             return sink.write(body->data() + offset, std::min(length, body->size() - offset));
                           });
}

}  // namespace

struct Simulator::Impl {
  Certificate certificate;
  httplib::SSLServer server{certificate.cert, certificate.key};
  std::map<int, std::string> sessionOfConnection;  // remote port -> session that logged in there
};

void RegisterAllHandlers(Registry& registry) {
  RegisterFileSystemHandlers(registry);
  RegisterCheckpointHandlers(registry);
  RegisterNfsHandlers(registry);
  RegisterCifsHandlers(registry);
  RegisterMountHandlers(registry);
  RegisterMoverHandlers(registry);
  RegisterStorageHandlers(registry);
  RegisterDhsmHandlers(registry);
  RegisterHttpFeatureHandlers(registry);
}

Simulator::Simulator() : Simulator(Options()) {}

Simulator::Simulator(Options options) : m_Options(std::move(options)), m_Model(DefaultModel(m_Options.scale)) {
  RegisterAllHandlers(m_Registry);
}

Simulator::~Simulator() { Stop(); }

std::vector<JournalEntry> Simulator::Journal() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return m_Journal;
}

std::vector<JournalEntry> Simulator::Requests() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  std::vector<JournalEntry> out;
  for (const auto& e : m_Journal)
    if (e.path == kServlet) out.push_back(e);
  return out;
}

void Simulator::ClearJournal() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Journal.clear();
}

void Simulator::AddFault(const Fault& fault) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Faults.push_back(fault);
}

void Simulator::ClearFaults() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Faults.clear();
}

void Simulator::ExpireSessions() {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Sessions.clear();
}

void Simulator::AddHandler(const std::string& bodyElement, Handler handler) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Registry.Add(bodyElement, std::move(handler));
}

void Simulator::SetStyle(const ReplyStyle& style) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Style = style;
}

namespace {

// Takes the first fault that matches `type` (and counts it); the caller
// holds the lock.
bool TakeFault(std::vector<Fault>& faults, const std::string& type, bool login, Fault* out) {
  for (size_t i = 0; i < faults.size(); ++i) {
    Fault& f = faults[i];
    bool isLoginFault = f.kind == FaultKind::RefuseLogin;
    if (isLoginFault != login) continue;
    if (!login && !f.messageType.empty() && f.messageType != type) continue;
    if (f.skip > 0) {
      --f.skip;
      continue;
    }
    *out = f;
    if (f.count > 0 && --f.count == 0) faults.erase(faults.begin() + static_cast<long>(i));
    return true;
  }
  return false;
}

}  // namespace

bool Simulator::Start(int port) {
  if (!m_Options.dataFile.empty()) {
    Model loaded;
    if (!LoadModel(m_Options.dataFile, loaded, m_Error)) return false;
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Model = std::move(loaded);
  }
  m_Impl.reset(new Impl());
  httplib::SSLServer& server = m_Impl->server;
  if (!server.is_valid()) return false;
  SSL_CTX* ctx = server.ssl_context();
  SSL_CTX_set_app_data(ctx, this);
  SSL_CTX_set_info_callback(ctx, [](const SSL* ssl, int where, int) {
    if (where & SSL_CB_HANDSHAKE_START) {
      auto* self = static_cast<Simulator*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
      if (self) {
        self->m_Handshakes++;
        self->m_Connections++;
      }
    }
  });
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.set_tcp_nodelay(true);  // headers and body go out in separate writes
  server.set_keep_alive_max_count(100000);
  server.set_keep_alive_timeout(30);
  server.set_read_timeout(30);
  server.set_payload_max_length(64 * 1024 * 1024);

  server.Post("/Login", [this](const httplib::Request& req, httplib::Response& res) {
    JournalEntry entry;
    entry.path = "/Login";
    entry.body = MaskPasswords(req.body, true);
    for (const auto& h : req.headers) entry.headers[h.first] = h.second;
    entry.connection = req.remote_port;
    std::map<std::string, std::string> form = ParseForm(req.body);
    std::lock_guard<std::mutex> lock(m_Mutex);
    Fault fault;
    bool refused = TakeFault(m_Faults, "Login", true, &fault) || form["user"] != m_Options.user ||
                   form["password"] != m_Options.password || form["Login"].empty();
    if (refused) {
      res.status = 403;
      res.set_content("<html><body>Login refused</body></html>", "text/html");
    } else {
      std::string session = NewSessionId();
      m_Sessions.insert(session);
      m_Impl->sessionOfConnection[req.remote_port] = session;
      res.set_header("Set-Cookie", "JSESSIONID=" + session + "; Path=/; Secure; HttpOnly");
      res.set_content("<html><body>Welcome</body></html>", "text/html");
      entry.session = session;
      res.status = 200;
    }
    entry.status = res.status;
    m_Journal.push_back(std::move(entry));
    if (m_Options.log) std::fprintf(stderr, "sim: login %s\n", refused ? "refused" : "ok");
  });

  server.Post(kServlet, [this](const httplib::Request& req, httplib::Response& res) {
    JournalEntry entry;
    entry.path = kServlet;
    entry.body = MaskPasswords(req.body, false);
    for (const auto& h : req.headers) entry.headers[h.first] = h.second;
    entry.connection = req.remote_port;
    entry.session = SessionFromCookie(req.get_header_value("Cookie"));
    const bool gzip = TakeGzipOffer(req);

    // Read the request with an independent parser before anything else.
    pugi::xml_document doc;
    pugi::xml_parse_result parsed = doc.load_buffer(req.body.data(), req.body.size());
    SimRequest request;
    std::string problem;
    if (!parsed) {
      problem = std::string("request is not well-formed: ") + parsed.description();
    } else {
      pugi::xml_node packet = doc.child("RequestPacket");
      pugi::xml_node outer = packet.child("Request");
      if (!outer) {
        outer = packet.child("RequestEx");
        request.ex = true;
      }
      pugi::xml_node inner = outer.child("Query");
      if (!inner) {
        inner = outer.child("StartTask");
        request.task = static_cast<bool>(inner);
      }
      request.body = inner.first_child();
      while (request.body && request.body.type() != pugi::node_element) request.body = request.body.next_sibling();
      request.name = request.body.name();
      request.timeout = inner.attribute("timeout").value();
      if (!packet) problem = "no RequestPacket";
      else if (std::string(packet.attribute("xmlns").value()).empty()) problem = "RequestPacket without xmlns";
      else if (!outer) problem = "no Request or RequestEx";
      else if (!inner) problem = "no Query or StartTask";
      else if (!request.body) problem = "empty request";
    }
    entry.messageType = request.name;

    Fault fault;
    bool faulted = false;
    Outcome outcome;
    ReplyStyle style;
    std::string taskId;
    {
      std::lock_guard<std::mutex> lock(m_Mutex);
      style = m_Style;
      faulted = TakeFault(m_Faults, request.name, false, &fault);
      if (faulted && fault.kind == FaultKind::ExpireSession) m_Sessions.clear();
      bool valid = !entry.session.empty() && m_Sessions.count(entry.session);
      if (valid) {
        auto known = m_Impl->sessionOfConnection.find(req.remote_port);
        if (known == m_Impl->sessionOfConnection.end())
          m_Impl->sessionOfConnection[req.remote_port] = entry.session;
        else if (known->second != entry.session)
          m_Crossed++;
      }
      if (!valid) {
        res.status = 403;
        res.set_content("<html><body>Session not valid</body></html>", "text/html");
        entry.status = 403;
        m_Journal.push_back(entry);
        return;
      }
      if (faulted && fault.kind == FaultKind::Problem) {
        outcome = Outcome::Fail(fault.problem);
        style = fault.style;
      } else if (!problem.empty()) {
        outcome = InvalidRequest(problem);
      } else if (const Handler* handler = m_Registry.Find(request.name)) {
        outcome = (*handler)(m_Model, request);
      } else {
        outcome = InvalidRequest("unknown request " + request.name);
      }
      taskId = std::to_string(m_Model.nextTaskId++);
    }
    if (!problem.empty() && style.failureShape == FailureShape::Status) style.failureShape = FailureShape::PacketFault;
    std::string reply = BuildReply(outcome, request.task, request.ex, taskId, style);

    if (faulted) {
      switch (fault.kind) {
        case FaultKind::Http500:
          res.status = 500;
          reply = "<html><body>Internal Server Error</body></html>";
          break;
        case FaultKind::Delay:
          for (int waited = 0; waited < fault.delayMs && !m_Stopping.load(); waited += 10)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
          break;
        case FaultKind::Malformed:
          reply = "<?xml version=\"1.0\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\">"
                  "</Response></ResponsePacket>\n";
          break;
        case FaultKind::Truncated: reply = reply.substr(0, reply.size() / 2); break;
        case FaultKind::Canned: reply = fault.canned; break;
        default: break;
      }
    }
    // httplib fills in 200 only after the handler: journal what is sent.
    if (res.status == -1) res.status = 200;
    entry.status = res.status;
    entry.reply = reply;
    {
      std::lock_guard<std::mutex> lock(m_Mutex);
      m_Journal.push_back(entry);
    }
    if (m_Options.log) std::fprintf(stderr, "sim: %s -> %d\n", request.name.c_str(), res.status);
    if (faulted && fault.kind == FaultKind::Endless) {
      // A well-formed start, then elements without end, as fast as the
      // client takes them.
      res.set_chunked_content_provider("text/xml", [this](size_t offset, httplib::DataSink& sink) {
        static const std::string kHead = "<?xml version=\"1.0\"?>\n<ResponsePacket><Response>";
        static const std::string kChunk = [] {
          std::string chunk;
          while (chunk.size() < 65536) chunk += "<FileSystem name=\"endless\" fileSystem=\"0\"/>\n";
          return chunk;
        }();
        if (m_Stopping.load()) return false;
        const std::string& data = offset == 0 ? kHead : kChunk;
        return sink.write(data.data(), data.size());
      });
      return;
    }
    if (faulted && fault.kind == FaultKind::CloseMidReply) {
      auto shared = std::make_shared<std::string>(reply);
      res.set_content_provider(shared->size(), "text/xml",
                               [shared](size_t offset, size_t, httplib::DataSink& sink) {
                                 if (offset == 0) sink.write(shared->data(), shared->size() / 2);
                                 return false;  // drop the connection mid-reply
                               });
      return;
    }
    SendReply(res, reply, gzip);
  });

  m_Port = port > 0 ? (server.bind_to_port("127.0.0.1", port) ? port : -1) : server.bind_to_any_port("127.0.0.1");
  if (m_Port <= 0) {
    m_Error = "cannot listen on 127.0.0.1:" + std::to_string(port);
    return false;
  }
  m_Thread = std::thread([this] { m_Impl->server.listen_after_bind(); });
  for (int i = 0; i < 500 && !m_Impl->server.is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return m_Impl->server.is_running();
}

void Simulator::Stop() {
  m_Stopping = true;
  if (m_Impl) m_Impl->server.stop();
  if (m_Thread.joinable()) m_Thread.join();
  m_Impl.reset();
  m_Stopping = false;
}

}  // namespace celsim
