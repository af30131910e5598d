#include "sim/Simulator.h"

#include <arpa/inet.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <strings.h>
#include <sys/socket.h>

#include <httplib.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <system_error>
#include <thread>

#include "common/Tls.h"
#include "sim/DataFile.h"

namespace celsim {

namespace {

const char kServlet[] = "/servlets/CelerraManagementServices";

// A fresh self-signed certificate, kept in memory: the bind address, the
// loopback addresses and "localhost" are its subject alternative names, so
// that a client given it as its CA bundle verifies the host as well.
struct Certificate {
  EVP_PKEY* key = nullptr;
  X509* cert = nullptr;
  explicit Certificate(const std::string& host) {
    key = EVP_EC_gen("P-256");
    cert = X509_new();
    X509_set_version(cert, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert), static_cast<long>(std::random_device()() & 0x7fffffff));
    X509_gmtime_adj(X509_getm_notBefore(cert), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert), 7L * 24 * 3600);
    X509_set_pubkey(cert, key);
    X509_NAME* name = X509_get_subject_name(cert);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(host.c_str()), -1, -1,
                               0);
    X509_set_issuer_name(cert, name);
    std::string altNames = "DNS:localhost,IP:127.0.0.1,IP:::1";
    if (host != "127.0.0.1" && host != "::1" && !host.empty()) {
      unsigned char probe[16];
      bool literal = inet_pton(AF_INET, host.c_str(), probe) == 1 || inet_pton(AF_INET6, host.c_str(), probe) == 1;
      altNames += (literal ? ",IP:" : ",DNS:") + host;
    }
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, cert, cert, nullptr, nullptr, 0);
    for (const auto& ext : {std::make_pair(NID_subject_alt_name, altNames),
                            std::make_pair(NID_basic_constraints, std::string("critical,CA:TRUE")),
                            std::make_pair(NID_key_usage, std::string("critical,digitalSignature,keyCertSign"))}) {
      if (X509_EXTENSION* e = X509V3_EXT_conf_nid(nullptr, &ctx, ext.first, ext.second.c_str())) {
        X509_add_ext(cert, e, -1);
        X509_EXTENSION_free(e);
      }
    }
    X509_sign(cert, key, EVP_sha256());
  }
  ~Certificate() {
    X509_free(cert);
    EVP_PKEY_free(key);
  }
  Certificate(const Certificate&) = delete;
  Certificate& operator=(const Certificate&) = delete;

  std::string Pem() const {
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    long n = BIO_get_mem_data(bio, &data);
    std::string pem(data, static_cast<size_t>(n));
    BIO_free(bio);
    return pem;
  }

  std::string Pin() const { return celcommon::PublicKeyPin(cert); }
};

}  // namespace

std::string SelfSignedCertificatePem(const std::string& commonName) { return Certificate(commonName).Pem(); }

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

// The [begin, end) ranges of the "name=value" fields of a form body.
std::vector<std::pair<size_t, size_t>> FormFields(const std::string& body) {
  std::vector<std::pair<size_t, size_t>> fields;
  size_t start = 0;
  while (start <= body.size()) {
    size_t end = body.find('&', start);
    if (end == std::string::npos) end = body.size();
    fields.emplace_back(start, end);
    start = end + 1;
  }
  return fields;
}

std::map<std::string, std::string> ParseForm(const std::string& body) {
  std::map<std::string, std::string> form;
  for (const auto& field : FormFields(body)) {
    std::string pair = body.substr(field.first, field.second - field.first);
    size_t eq = pair.find('=');
    if (eq != std::string::npos) form[UrlDecode(pair.substr(0, eq))] = UrlDecode(pair.substr(eq + 1));
  }
  return form;
}

// Passwords never reach the journal. Both scans are linear: a regular
// expression here once overflowed the stack on a long password.
std::string MaskFormPasswords(const std::string& body) {
  std::string out;
  out.reserve(body.size());
  for (const auto& field : FormFields(body)) {
    if (!out.empty() || field.first > 0) out += '&';
    if (body.compare(field.first, 9, "password=") == 0 && field.first + 9 <= field.second)
      out += "password=********";
    else
      out.append(body, field.first, field.second - field.first);
  }
  return out;
}

std::string MaskXmlPasswords(const std::string& body) {
  std::string out;
  out.reserve(body.size());
  size_t pos = 0;
  while (pos < body.size()) {
    size_t hit = std::string::npos;
    for (size_t i = pos; i + 8 <= body.size(); ++i) {
      if (strncasecmp(body.c_str() + i, "password", 8) == 0) {
        hit = i;
        break;
      }
    }
    if (hit == std::string::npos) break;
    size_t p = hit + 8;
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

// Takes the first fault that matches `type` (and counts it); the caller
// holds the lock.
bool TakeFault(std::vector<Fault>& faults, const std::string& type, bool login, Fault* out) {
  for (size_t i = 0; i < faults.size(); ++i) {
    Fault& f = faults[i];
    bool isLoginFault = f.kind == FaultKind::RefuseLogin || f.messageType == "Login";
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

// Whether every attribute value and text in `root`'s subtree could travel in
// a reply: a name no reply can carry must not get into the model, where it
// would spoil every later list. Walks without recursion: a request may nest
// as deep as its size allows.
bool AllXmlText(const pugi::xml_node& root) {
  pugi::xml_node node = root;
  while (node) {
    if (node.type() == pugi::node_element) {
      for (pugi::xml_attribute a = node.first_attribute(); a; a = a.next_attribute())
        if (!IsXmlText(a.value())) return false;
    } else if (!IsXmlText(node.value())) {
      return false;
    }
    if (node.first_child()) {
      node = node.first_child();
      continue;
    }
    while (node != root && !node.next_sibling()) node = node.parent();
    if (node == root) break;
    node = node.next_sibling();
  }
  return true;
}

// At most `limit` bytes of `text` for the journal, saying what was cut.
std::string Kept(const std::string& text, size_t limit) {
  if (text.size() <= limit) return text;
  return text.substr(0, limit) + "[... " + std::to_string(text.size() - limit) + " more bytes not kept]";
}

std::string HostForUrl(const std::string& host) {
  return host.find(':') != std::string::npos ? "[" + host + "]" : host;
}

// Raw deflate (level 1) of [p, p + n) appended to `out`; `last` ends the
// stream, otherwise it ends on a byte boundary for more to follow.
bool DeflatePiece(const char* p, size_t n, bool last, std::string& out) {
  z_stream z{};
  if (deflateInit2(&z, Z_BEST_SPEED, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) return false;
  const size_t at = out.size();
  out.resize(at + deflateBound(&z, static_cast<uLong>(n)) + 16);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(p));
  z.avail_in = static_cast<uInt>(n);
  z.next_out = reinterpret_cast<Bytef*>(&out[at]);
  z.avail_out = static_cast<uInt>(out.size() - at);
  int rc = deflate(&z, last ? Z_FINISH : Z_SYNC_FLUSH);
  bool done = last ? rc == Z_STREAM_END : rc == Z_OK && z.avail_in == 0 && z.avail_out > 0;
  out.resize(at + z.total_out);
  deflateEnd(&z);
  return done;
}

// `in` as one gzip member. A reply of several MB is cut into pieces that
// are compressed side by side, each by a deflate stream of its own, and
// laid one after another: the client of a large list waits for the
// compression of one piece, not of all.
bool Gzip(const std::string& in, std::string& out) {
  constexpr size_t kPiece = 2 << 20;
  const size_t cores = std::max(1u, std::thread::hardware_concurrency());
  const size_t count = std::max<size_t>(1, std::min(in.size() / kPiece, cores));
  const size_t length = in.size() / count;
  // The last piece also takes what the division left over.
  auto bytesOf = [&](size_t i) { return i + 1 == count ? in.size() - i * length : length; };
  std::vector<std::string> pieces(count);
  std::vector<uLong> crcs(count);
  std::vector<char> ok(count, 0);
  auto compress = [&](size_t i) {
    const size_t from = i * length, n = bytesOf(i);
    crcs[i] = crc32(0, reinterpret_cast<const Bytef*>(in.data() + from), static_cast<uInt>(n));
    ok[i] = DeflatePiece(in.data() + from, n, i + 1 == count, pieces[i]);
  };
  std::vector<std::thread> helpers;
  for (size_t i = 1; i < count; ++i) {
    try {
      helpers.emplace_back(compress, i);
    } catch (const std::system_error&) {  // no thread to be had: this one does it
      compress(i);
    }
  }
  compress(0);
  for (std::thread& t : helpers) t.join();
  if (std::count(ok.begin(), ok.end(), 0)) return false;

  uLong crc = crcs[0];
  for (size_t i = 1; i < count; ++i) crc = crc32_combine(crc, crcs[i], static_cast<z_off_t>(bytesOf(i)));
  static const char kHeader[10] = {'\x1f', '\x8b', 8, 0, 0, 0, 0, 0, 4, 3};  // deflate, fastest, Unix
  out.assign(kHeader, sizeof kHeader);
  for (const std::string& piece : pieces) out += piece;
  for (uint32_t word : {static_cast<uint32_t>(crc), static_cast<uint32_t>(in.size())})
    for (int b = 0; b < 4; ++b) out += static_cast<char>((word >> (8 * b)) & 0xFF);
  return true;
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
void SendReply(httplib::Response& res, std::string reply, bool gzip) {
  auto body = std::make_shared<std::string>();
  if (gzip && reply.size() < (1u << 31) && Gzip(reply, *body))
    res.set_header("Content-Encoding", "gzip");
  else
    *body = std::move(reply);
  res.set_content_provider(body->size(), "text/xml; charset=UTF-8",
                           [body](size_t offset, size_t length, httplib::DataSink& sink) {
                             return sink.write(body->data() + offset, std::min(length, body->size() - offset));
                           });
}

// The connections a simulator has open, so that stopping it does not wait
// for clients that keep theirs alive: httplib's worker holds an idle
// keep-alive connection until its time-out (30 s here) before it ends, and a
// client library that keeps connections for later (as the library's shared
// sessions do) would hold every Stop() that long.
class OpenConnections {
 public:
  void Add(int fd) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Fds.insert(fd);
  }
  void Remove(int fd) {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Fds.erase(fd);
  }
  // Ends every open connection in both directions: its worker reads the end
  // at once instead of waiting out the keep-alive time.
  void ShutDownAll() {
    std::lock_guard<std::mutex> lock(m_Mutex);
    for (int fd : m_Fds) ::shutdown(fd, SHUT_RDWR);
  }

 private:
  std::mutex m_Mutex;
  std::set<int> m_Fds;
};

// SSL_free calls this (before httplib closes the socket), so a number in the
// set is never one the process has reused for something else.
void ForgetConnection(void* parent, void* ptr, CRYPTO_EX_DATA*, int, long, void*) {
  if (parent && ptr) static_cast<OpenConnections*>(ptr)->Remove(SSL_get_fd(static_cast<SSL*>(parent)));
}

int OpenConnectionIndex() {
  static const int index = SSL_get_ex_new_index(0, nullptr, nullptr, nullptr, ForgetConnection);
  return index;
}

}  // namespace

// The HTTPS server and its two request handlers. A handler reads the
// request, decides under the simulator's lock, and answers; every exchange
// is journaled.
struct Simulator::Impl {
  Impl(Simulator& owner, const std::string& host) : sim(owner), certificate(host) {}

  void HandleLogin(const httplib::Request& req, httplib::Response& res);
  void HandleServlet(const httplib::Request& req, httplib::Response& res);

  // The servlet's steps.
  JournalEntry NewEntry(const char* path, const httplib::Request& req) const;
  // Reads the envelope into `request`; a problem that makes it invalid
  // goes to `problem`.
  static void ParseRequest(const std::string& body, pugi::xml_document& doc, SimRequest& request, std::string& problem);
  // With the lock held: whether the request's session is one the simulator
  // handed out (counting cookies that cross connections).
  bool SessionValidLocked(const httplib::Request& req, const std::string& session);
  // Applies a fault that changes the reply after the outcome was decided.
  void ApplyReplyFault(const Fault& fault, httplib::Response& res, std::string& reply);
  // Applies a fault of the answer's header (a redirect to `path`, a big
  // header, a huge cookie).
  static void ApplyHeaderFault(const Fault& fault, httplib::Response& res, const char* path);
  static void SendHalfThenClose(httplib::Response& res, const std::string& reply);
  // `ms` and the per-exchange latency, cut short by Stop.
  void Wait(int ms);
  void SendEndlessReply(httplib::Response& res);

  Simulator& sim;
  Certificate certificate;
  httplib::SSLServer server{certificate.cert, certificate.key};
  std::map<int, std::string> sessionOfConnection;  // remote port -> session that logged in there
  OpenConnections open;
};

JournalEntry Simulator::Impl::NewEntry(const char* path, const httplib::Request& req) const {
  JournalEntry entry;
  entry.path = path;
  for (const auto& h : req.headers) entry.headers[h.first] = h.second;
  entry.connection = req.remote_port;
  return entry;
}

void Simulator::Impl::HandleLogin(const httplib::Request& req, httplib::Response& res) {
  JournalEntry entry = NewEntry("/Login", req);
  entry.body = Kept(MaskFormPasswords(req.body), kMaxKeptTextBytes);
  std::map<std::string, std::string> form = ParseForm(req.body);
  Fault fault;
  bool faulted = false;
  {
    std::lock_guard<std::mutex> lock(sim.m_Mutex);
    faulted = TakeFault(sim.m_Faults, "Login", true, &fault);
  }
  // A slow login is slow outside the lock: other clients go on meanwhile.
  Wait(faulted && fault.kind == FaultKind::Delay ? fault.delayMs : 0);
  std::lock_guard<std::mutex> lock(sim.m_Mutex);
  bool refused = (faulted && fault.kind == FaultKind::RefuseLogin) || form["user"] != sim.m_Options.user ||
                 form["password"] != sim.m_Options.password || form["Login"].empty();
  if (refused) {
    res.status = 403;
    res.set_content("<html><body>Login refused</body></html>", "text/html");
  } else {
    std::string session = NewSessionId();
    sim.AddSessionLocked(session);
    sessionOfConnection[req.remote_port] = session;
    res.set_header("Set-Cookie", "JSESSIONID=" + session + "; Path=/; Secure; HttpOnly");
    res.set_content("<html><body>Welcome</body></html>", "text/html");
    entry.session = session;
    res.status = 200;
  }
  if (faulted) ApplyHeaderFault(fault, res, "/Login");
  entry.status = res.status;
  sim.RecordLocked(std::move(entry));
  sim.m_Logins++;
  if (sim.m_Options.log) std::fprintf(stderr, "sim: login %s\n", refused ? "refused" : "ok");
}

void Simulator::Impl::ParseRequest(const std::string& body, pugi::xml_document& doc, SimRequest& request,
                                   std::string& problem) {
  pugi::xml_parse_result parsed = doc.load_buffer(body.data(), body.size());
  if (!parsed) {
    problem = std::string("request is not well-formed: ") + parsed.description();
    return;
  }
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
  if (!packet)
    problem = "no RequestPacket";
  else if (std::string(packet.attribute("xmlns").value()).empty())
    problem = "RequestPacket without xmlns";
  else if (!outer)
    problem = "no Request or RequestEx";
  else if (!inner)
    problem = "no Query or StartTask";
  else if (!request.body)
    problem = "empty request";
  else if (!IsXmlText(request.name) || !AllXmlText(request.body))
    problem = "a name or value is not UTF-8 text without control characters";
}

bool Simulator::Impl::SessionValidLocked(const httplib::Request& req, const std::string& session) {
  if (session.empty() || !sim.m_Sessions.count(session)) return false;
  auto known = sessionOfConnection.find(req.remote_port);
  if (known == sessionOfConnection.end())
    sessionOfConnection[req.remote_port] = session;
  else if (known->second != session)
    sim.m_Crossed++;
  return true;
}

void Simulator::Impl::ApplyReplyFault(const Fault& fault, httplib::Response& res, std::string& reply) {
  switch (fault.kind) {
    case FaultKind::Http500:
      res.status = 500;
      reply = "<html><body>Internal Server Error</body></html>";
      break;
    case FaultKind::Delay: Wait(fault.delayMs); break;
    case FaultKind::Malformed:
      reply =
          "<?xml version=\"1.0\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\">"
          "</Response></ResponsePacket>\n";
      break;
    case FaultKind::Truncated: reply = reply.substr(0, reply.size() / 2); break;
    case FaultKind::Canned: reply = fault.canned; break;
    case FaultKind::TinyElements: reply = TinyElementReply(fault.size); break;
    case FaultKind::ManyAttributes: reply = ManyAttributeReply(fault.size); break;
    default: ApplyHeaderFault(fault, res, kServlet); break;
  }
}

void Simulator::Impl::ApplyHeaderFault(const Fault& fault, httplib::Response& res, const char* path) {
  switch (fault.kind) {
    case FaultKind::Redirect:
      res.status = 302;
      res.set_header("Location", path);
      break;
    case FaultKind::BigHeader:
      for (size_t sent = 0, line = 0; sent < fault.size; sent += 16384, ++line)
        res.set_header("X-Filler-" + std::to_string(line),
                       std::string(std::min<size_t>(16384, fault.size - sent), 'x'));
      break;
    case FaultKind::HugeCookie:
      res.set_header("Set-Cookie", "CelerraFiller=" + std::string(fault.size, 'c') + "; Path=/; Secure");
      break;
    default: break;
  }
}

void Simulator::Impl::SendHalfThenClose(httplib::Response& res, const std::string& reply) {
  auto shared = std::make_shared<std::string>(reply);
  res.set_content_provider(shared->size(), "text/xml", [shared](size_t offset, size_t, httplib::DataSink& sink) {
    if (offset == 0) sink.write(shared->data(), shared->size() / 2);
    return false;  // drop the connection mid-reply
  });
}

void Simulator::Impl::Wait(int ms) {
  ms += sim.m_Options.latencyMs;
  for (int waited = 0; waited < ms && !sim.m_Stopping.load(); waited += 10)
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min(10, ms - waited)));
}

void Simulator::Impl::HandleServlet(const httplib::Request& req, httplib::Response& res) {
  JournalEntry entry = NewEntry(kServlet, req);
  entry.session = SessionFromCookie(req.get_header_value("Cookie"));
  const bool gzip = TakeGzipOffer(req);

  // Read the request with an independent parser before anything else.
  pugi::xml_document doc;
  SimRequest request;
  std::string problem;
  ParseRequest(req.body, doc, request, problem);
  entry.messageType = request.name;

  Fault fault;
  bool faulted = false;
  Outcome outcome;
  ReplyStyle style;
  std::string taskId;
  {
    std::lock_guard<std::mutex> lock(sim.m_Mutex);
    style = sim.m_Style;
    faulted = TakeFault(sim.m_Faults, request.name, false, &fault);
    if (faulted && fault.kind == FaultKind::ExpireSession) {
      sim.m_Sessions.clear();
      sim.m_SessionOrder.clear();
    }
    if (!SessionValidLocked(req, entry.session)) {
      res.status = 403;
      res.set_content("<html><body>Session not valid</body></html>", "text/html");
      entry.status = 403;
      // Nothing of what an unknown client sent is kept.
      entry.body = "[" + std::to_string(req.body.size()) + " bytes not kept: no valid session]";
      sim.RecordLocked(std::move(entry));
      return;
    }
    if (faulted && fault.kind == FaultKind::Problem) {
      outcome = Outcome::Fail(fault.problem);
      style = fault.style;
    } else if (!problem.empty()) {
      outcome = InvalidRequest(problem);
    } else if (const Handler* handler = sim.m_Registry.Find(request.name)) {
      outcome = (*handler)(sim.m_Model, request);
    } else {
      outcome = InvalidRequest("unknown request " + request.name);
    }
    taskId = std::to_string(sim.m_Model.nextTaskId++);
  }
  entry.body = Kept(MaskXmlPasswords(req.body), kMaxKeptTextBytes);
  if (!problem.empty() && style.failureShape == FailureShape::Status) style.failureShape = FailureShape::PacketFault;
  std::string reply = BuildReply(std::move(outcome), request.task, request.ex, taskId, style);
  if (faulted) ApplyReplyFault(fault, res, reply);
  if (!faulted || fault.kind != FaultKind::Delay) Wait(0);

  // httplib fills in 200 only after the handler: journal what is sent.
  if (res.status == -1) res.status = 200;
  entry.status = res.status;
  entry.reply = Kept(reply, kMaxKeptTextBytes);
  {
    std::lock_guard<std::mutex> lock(sim.m_Mutex);
    sim.RecordLocked(std::move(entry));
  }
  if (sim.m_Options.log) std::fprintf(stderr, "sim: %s -> %d\n", request.name.c_str(), res.status);
  if (faulted && fault.kind == FaultKind::Endless)
    SendEndlessReply(res);
  else if (faulted && fault.kind == FaultKind::CloseMidReply)
    SendHalfThenClose(res, reply);
  else
    SendReply(res, std::move(reply), gzip);
}

void Simulator::Impl::SendEndlessReply(httplib::Response& res) {
  // A well-formed start, then elements without end, as fast as the client
  // takes them.
  Simulator* owner = &sim;
  res.set_chunked_content_provider("text/xml", [owner](size_t offset, httplib::DataSink& sink) {
    static const std::string kHead = "<?xml version=\"1.0\"?>\n<ResponsePacket><Response>";
    static const std::string kChunk = [] {
      std::string chunk;
      while (chunk.size() < 65536) chunk += "<FileSystem name=\"endless\" fileSystem=\"0\"/>\n";
      return chunk;
    }();
    if (owner->m_Stopping.load()) return false;
    const std::string& data = offset == 0 ? kHead : kChunk;
    return sink.write(data.data(), data.size());
  });
}

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

std::string Simulator::address() const { return HostForUrl(m_Options.bindAddress) + ":" + std::to_string(m_Port); }

std::string Simulator::CertificatePem() const { return m_Impl ? m_Impl->certificate.Pem() : std::string(); }

std::string Simulator::PublicKeyPin() const { return m_Impl ? m_Impl->certificate.Pin() : std::string(); }

void Simulator::RecordLocked(JournalEntry entry) {
  auto bytes = [](const JournalEntry& e) { return e.body.size() + e.reply.size() + 256; };
  m_JournalBytes += bytes(entry);
  m_Journal.push_back(std::move(entry));
  while (m_JournalBytes > kMaxJournalBytes && m_Journal.size() > 1) {
    m_JournalBytes -= bytes(m_Journal.front());
    m_Journal.pop_front();
  }
}

void Simulator::AddSessionLocked(const std::string& session) {
  m_Sessions.insert(session);
  m_SessionOrder.push_back(session);
  while (m_SessionOrder.size() > kMaxSessions) {
    m_Sessions.erase(m_SessionOrder.front());
    m_SessionOrder.pop_front();
  }
}

std::vector<JournalEntry> Simulator::Journal() const {
  std::lock_guard<std::mutex> lock(m_Mutex);
  return std::vector<JournalEntry>(m_Journal.begin(), m_Journal.end());
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
  m_JournalBytes = 0;
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
  m_SessionOrder.clear();
}

void Simulator::AddHandler(const std::string& bodyElement, Handler handler) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Registry.Add(bodyElement, std::move(handler));
}

void Simulator::SetStyle(const ReplyStyle& style) {
  std::lock_guard<std::mutex> lock(m_Mutex);
  m_Style = style;
}

bool Simulator::Start(int port) {
  if (port < 0 || port > 65535) {
    m_Error = "port " + std::to_string(port) + " is not in 0..65535";
    return false;
  }
  std::vector<Fault> faults;
  if (!m_Options.dataFile.empty()) {
    Model loaded;
    if (!LoadDataFile(m_Options.dataFile, loaded, faults, m_Error)) return false;
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Model = std::move(loaded);
  }
  faults.insert(faults.end(), m_Options.faults.begin(), m_Options.faults.end());
  {
    std::lock_guard<std::mutex> lock(m_Mutex);
    m_Faults.insert(m_Faults.end(), faults.begin(), faults.end());
  }
  m_Impl.reset(new Impl(*this, m_Options.bindAddress));
  httplib::SSLServer& server = m_Impl->server;
  if (!server.is_valid()) {
    m_Error = "cannot set up TLS";
    return false;
  }
  SSL_CTX* ctx = server.ssl_context();
  SSL_CTX_set_app_data(ctx, this);
  SSL_CTX_set_info_callback(ctx, [](const SSL* ssl, int where, int) {
    auto* self = static_cast<Simulator*>(SSL_CTX_get_app_data(SSL_get_SSL_CTX(ssl)));
    if (!self) return;
    if ((where & SSL_CB_HANDSHAKE_START) && !SSL_get_ex_data(ssl, OpenConnectionIndex())) {
      int fd = SSL_get_fd(ssl);
      self->m_Impl->open.Add(fd);
      SSL_set_ex_data(const_cast<SSL*>(ssl), OpenConnectionIndex(), &self->m_Impl->open);
      if (self->m_Stopping.load()) ::shutdown(fd, SHUT_RDWR);  // came in as Stop() ended the others
    }
    if (where & SSL_CB_HANDSHAKE_START) {
      self->m_Handshakes++;
      self->m_Connections++;
      // A handshake through a slow link: this connection's worker waits.
      for (int waited = 0; waited < self->m_Options.handshakeDelayMs && !self->m_Stopping.load(); waited += 10)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    if ((where & SSL_CB_HANDSHAKE_DONE) && SSL_session_reused(const_cast<SSL*>(ssl))) self->m_Resumed++;
  });
  server.new_task_queue = [] { return new httplib::ThreadPool(64); };
  server.set_tcp_nodelay(true);  // headers and body go out in separate writes
  server.set_keep_alive_max_count(100000);
  server.set_keep_alive_timeout(30);
  server.set_read_timeout(30);
  server.set_payload_max_length(kMaxRequestBytes);
  // Without SO_REUSEPORT (httplib's default): a second server on a busy
  // port must fail instead of sharing the port and answering the other
  // one's clients.
  server.set_socket_options([](socket_t sock) {
    int yes = 1;
    setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });

  Impl* impl = m_Impl.get();
  server.Post("/Login", [impl](const httplib::Request& req, httplib::Response& res) { impl->HandleLogin(req, res); });
  server.Post(kServlet, [impl](const httplib::Request& req, httplib::Response& res) { impl->HandleServlet(req, res); });

  const std::string& host = m_Options.bindAddress;
  errno = 0;
  m_Port = port > 0 ? (server.bind_to_port(host.c_str(), port) ? port : -1) : server.bind_to_any_port(host.c_str());
  int bindError = errno;
  if (m_Port <= 0) {
    m_Error = "cannot listen on " + HostForUrl(host) + ":" + std::to_string(port) + ": " +
              (bindError ? std::strerror(bindError) : "the address is not available");
    m_Port = 0;
    m_Impl.reset();
    return false;
  }
  m_Thread = std::thread([this] { m_Impl->server.listen_after_bind(); });
  for (int i = 0; i < 500 && !m_Impl->server.is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  return m_Impl->server.is_running();
}

void Simulator::Stop() {
  m_Stopping = true;
  if (m_Impl) {
    m_Impl->server.stop();
    m_Impl->open.ShutDownAll();
  }
  if (m_Thread.joinable()) m_Thread.join();
  m_Impl.reset();
  m_Stopping = false;
}

}  // namespace celsim
