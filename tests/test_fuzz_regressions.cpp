// Every input the fuzzers ever found (fuzz/crashes/**), the seed corpus
// (fuzz/corpus) and a set of hostile replies, through every fuzzed response
// class: as constructed and as its operation prepares it. No input may crash
// or hang a parse (the sanitizer build runs this too); a parse that succeeds
// carries no error status; entity tricks never bring in outside text.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "fuzz/FuzzParse.h"
#include "platform/EvDebug.h"
#include "tests/support/TestSupport.h"

namespace {

namespace fs = std::filesystem;

struct ResponseClass {
  const char* name;
  std::function<bool(const std::string&, bool, celfuzz::Verdict&)> parse;
};

template <class T>
bool ParseText(const std::string& reply, bool prepared, celfuzz::Verdict& v) {
  return celfuzz::ParseAs<T>(reinterpret_cast<const uint8_t*>(reply.data()), reply.size(), prepared, v);
}

const std::vector<ResponseClass>& Classes() {
  static const std::vector<ResponseClass> classes = {
#define FUZZ_RESPONSE_CLASS(cls) {#cls, &ParseText<cls>},
#include "fuzz/FuzzClasses.inc"
#undef FUZZ_RESPONSE_CLASS
  };
  return classes;
}

std::string SourceDir() {
  const char* dir = getenv("CELERRA_SOURCE_DIR");
  return dir ? dir : "";
}

std::vector<fs::path> FilesUnder(const fs::path& dir) {
  std::vector<fs::path> files;
  std::error_code ec;
  if (!fs::is_directory(dir, ec)) return files;
  for (const auto& entry : fs::recursive_directory_iterator(dir, ec))
    if (entry.is_regular_file()) files.push_back(entry.path());
  return files;
}

// What a hostile reply must not do to any class.
struct Expect {
  bool mustFail = false;    // no class may accept it
  std::string neverSeen;    // text that must not reach the error record
  bool preparedToo = true;  // also as each operation prepares the class
};

// Runs `reply` through every class, both ways; `what` names the input in
// failure messages.
void ParseEverywhere(const std::string& what, const std::string& reply, const Expect& expect = Expect()) {
  for (const ResponseClass& cls : Classes()) {
    for (bool prepared : {false, true}) {
      if (prepared && !expect.preparedToo) continue;
      celfuzz::Verdict v;
      if (!cls.parse(reply, prepared, v)) continue;
      SCOPED_TRACE(what + " as " + cls.name + (prepared ? " (prepared)" : ""));
      if (v.ok) {
        EXPECT_EQ(STATUS_OK, v.status) << "a successful parse carries an error status";
      }
      EXPECT_FALSE(v.entryPointsDisagree);
      if (expect.mustFail) {
        EXPECT_FALSE(v.ok);
      }
      if (!expect.neverSeen.empty()) {
        const CelerraError& e = v.error;
        for (const std::string* field : {&e.m_sComponent, &e.m_sFacility, &e.m_sMessage, &e.m_sMessageCode,
                                         &e.m_sSeverity, &e.m_sDescription, &e.m_sAction, &e.m_sDiagnostics})
          EXPECT_EQ(std::string::npos, field->find(expect.neverSeen)) << *field;
      }
    }
  }
}

const char* kQueryHead = "<?xml version=\"1.0\"?>\n<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>";
const char* kTail = "</Response></ResponsePacket>\n";

// A refused query whose problem description is `description` (raw XML).
std::string Refused(const std::string& description, const std::string& doctype = std::string()) {
  return "<?xml version=\"1.0\"?>\n" + doctype +
         "<ResponsePacket><Response><QueryStatus maxSeverity=\"error\">"
         "<Problem messageCode=\"1\" message=\"refused\" severity=\"error\"><Description>" +
         description + "</Description></Problem></QueryStatus></Response></ResponsePacket>\n";
}

std::string Nested(const char* tag, size_t depth) {
  std::string open = std::string("<") + tag + ">", close = std::string("</") + tag + ">";
  std::string out;
  out.reserve(depth * (open.size() + close.size()));
  for (size_t i = 0; i < depth; ++i) out += open;
  for (size_t i = 0; i < depth; ++i) out += close;
  return out;
}

class FuzzRegressions : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Level = EvDebug::GetLevel();
    EvDebug::SetLevel(-100);  // every refusal logs; thousands of parses run here
    ASSERT_FALSE(SourceDir().empty()) << "CELERRA_SOURCE_DIR is not set";
    ASSERT_FALSE(Classes().empty());
  }
  void TearDown() override { EvDebug::SetLevel(m_Level); }
  int m_Level = 0;
};

}  // namespace

TEST_F(FuzzRegressions, EveryKeptFuzzerFindingParsesSafely) {
  for (const fs::path& file : FilesUnder(fs::path(SourceDir()) / "fuzz" / "crashes"))
    ParseEverywhere(file.string(), celtest::ReadFile(file.string()));
}

TEST_F(FuzzRegressions, EverySeedReplyParsesSafely) {
  std::vector<fs::path> seeds = FilesUnder(fs::path(SourceDir()) / "fuzz" / "corpus");
  ASSERT_FALSE(seeds.empty()) << "the seed corpus is missing";
  for (const fs::path& file : seeds) ParseEverywhere(file.string(), celtest::ReadFile(file.string()));
}

TEST_F(FuzzRegressions, DeeplyNestedElementsNeitherCrashNorExhaustTheStack) {
  // Deep enough to overflow the stack of any parse step that recurses once
  // per level, and to make every search below each element quadratic; small
  // enough for a reply the server could send. The depth is refused before
  // any class reads the body, so the classes as constructed suffice.
  const size_t depth = 200000;
  ParseEverywhere("nested body", kQueryHead + Nested("FileSystem", depth) + kTail, Expect{true, "", false});
  ParseEverywhere("nested problem text", Refused(Nested("b", depth)), Expect{true, "", false});
  // Nesting as deep as real replies go is read.
  ParseEverywhere("moderately nested", kQueryHead + Nested("Mount", 100) + kTail);
}

TEST_F(FuzzRegressions, HugeAttributeValuesAndListsParse) {
  std::string big(2 * 1024 * 1024, 'x');
  ParseEverywhere("2 MB name", std::string(kQueryHead) + "<FileSystem fileSystem=\"21\" name=\"" + big +
                                   "\" type=\"uxfs\"/><Mount path=\"/" + big + "\"/>" + kTail);
  std::string pools;
  for (int i = 0; i < 200000; ++i) pools += std::to_string(i) + " ";
  ParseEverywhere(
      "200000 pools",
      std::string(kQueryHead) + "<FileSystem fileSystem=\"21\" name=\"fs1\" storagePools=\"" + pools + "\"/>" + kTail);
  ParseEverywhere("2 MB problem",
                  "<?xml version=\"1.0\"?><ResponsePacket><PacketFault maxSeverity=\"error\">"
                  "<Problem message=\"" +
                      big + "\"/></PacketFault></ResponsePacket>",
                  Expect{true, ""});
  ParseEverywhere(
      "numbers beyond 64 bits",
      std::string(kQueryHead) +
          "<FileSystem fileSystem=\"21\" name=\"fs1\" storagePools=\"99999999999999999999 -99999999999999999999\"/>"
          "<FileSystemCapacityInfo fileSystem=\"21\" volumeSize=\"184467440737095516160\">"
          "<ResourceUsage spaceTotal=\"-9223372036854775809\" spaceUsed=\"1e400\" filesTotal=\"0x7fffffff\"/>"
          "</FileSystemCapacityInfo>" +
          kTail);
}

TEST_F(FuzzRegressions, EntityExpansionIsRefused) {
  std::string laughs = "<!DOCTYPE ResponsePacket [\n<!ENTITY lol \"lol\">\n";
  laughs += "<!ENTITY lol1 \"&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;&lol;\">\n";
  for (int i = 2; i <= 9; ++i) {
    std::string prev = "&lol" + std::to_string(i - 1) + ";";
    std::string value;
    for (int k = 0; k < 10; ++k) value += prev;
    laughs += "<!ENTITY lol" + std::to_string(i) + " \"" + value + "\">\n";
  }
  laughs += "]>\n";
  ParseEverywhere("billion laughs", Refused("&lol9;", laughs), Expect{true, ""});
  // The same in an attribute and in a reply that would otherwise succeed.
  ParseEverywhere("billion laughs in a success",
                  "<?xml version=\"1.0\"?>\n" + laughs +
                      "<ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
                      "<FileSystem fileSystem=\"21\" name=\"&lol9;\"/>" +
                      kTail,
                  Expect{true, ""});
}

TEST_F(FuzzRegressions, DoctypesNestedAnyDepthAreRefusedWithoutExhaustingTheStack) {
  // Conditional sections and declarations nested far deeper than any stack
  // of one frame per level would hold.
  const int depth = 200000;
  std::string sections = "<!DOCTYPE ResponsePacket [";
  for (int i = 0; i < depth; ++i) sections += "<![ ";
  for (int i = 0; i < depth; ++i) sections += "]]>";
  ParseEverywhere("nested conditional sections", sections + "]>\n" + kQueryHead + kTail, Expect{true, "", false});
  std::string groups = "<!DOCTYPE ResponsePacket [";
  for (int i = 0; i < depth; ++i) groups += "<!x [";
  ParseEverywhere("nested declarations", groups + "]>\n" + kQueryHead + kTail, Expect{true, "", false});
}

TEST_F(FuzzRegressions, ExternalEntitiesAndDtdsAreNeverLoaded) {
  celtest::LogCapture log(6);
  const std::string passwdMark = "root:";
  ParseEverywhere("external entity",
                  Refused("&xxe;", "<!DOCTYPE ResponsePacket [<!ENTITY xxe SYSTEM \"file:///etc/passwd\">]>\n"),
                  Expect{false, passwdMark});
  ParseEverywhere("external parameter entity",
                  Refused("x", "<!DOCTYPE ResponsePacket [<!ENTITY % xxe SYSTEM \"file:///etc/passwd\"> %xxe;]>\n"),
                  Expect{false, passwdMark});
  ParseEverywhere("external DTD", Refused("x", "<!DOCTYPE ResponsePacket SYSTEM \"file:///etc/passwd\">\n"),
                  Expect{false, passwdMark});
  ParseEverywhere("external entity over the network",
                  Refused("&net;", "<!DOCTYPE ResponsePacket [<!ENTITY net SYSTEM \"http://192.0.2.1/x\">]>\n"),
                  Expect{false, ""});
  for (const std::string& line : log.Lines()) EXPECT_EQ(std::string::npos, line.find("root:x:0:0")) << line;
}

TEST_F(FuzzRegressions, OddButWellFormedRepliesParseSafely) {
  // UTF-16 with a byte order mark, characters outside the BMP, CDATA and
  // comments where text is read, and elements in odd places.
  std::u16string text =
      u"<?xml version=\"1.0\" encoding=\"UTF-16\"?><ResponsePacket>"
      u"<PacketFault maxSeverity=\"error\"><Problem message=\"\U0001F600\"><Description>"
      u"<![CDATA[a<b]]><!--c-->d</Description></Problem></PacketFault></ResponsePacket>";
  std::string utf16("\xff\xfe", 2);
  for (char16_t c : text) {
    utf16 += static_cast<char>(c & 0xff);
    utf16 += static_cast<char>(c >> 8);
  }
  ParseEverywhere("UTF-16 reply", utf16, Expect{true, ""});
  ParseEverywhere("two packets", std::string(kQueryHead) + kTail + "<ResponsePacket/>", Expect{true, ""});
  ParseEverywhere("packets nested",
                  "<ResponsePacket><ResponsePacket><Response><QueryStatus maxSeverity=\"ok\"/>"
                  "</Response></ResponsePacket></ResponsePacket>");
  ParseEverywhere("envelope elements in the problem",
                  Refused("<ResponsePacket><Response><TaskResponse taskId=\"1\"><Status maxSeverity=\"ok\"/>"
                          "</TaskResponse></Response></ResponsePacket>"));
}
