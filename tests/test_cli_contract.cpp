// celerractl's JSON contract, as doc/celerractl.md states it: every command
// in its table runs against the simulator, prints the document shape the
// table names with exactly the keys it names, and every key has the one
// type the document gives it (booleans, numbers, lists, objects, otherwise
// text; ids are text) wherever it appears.
#include <fstream>
#include <map>
#include <regex>
#include <set>
#include <sstream>

#include <nlohmann/json.hpp>

#include "tests/support/TestSupport.h"

using namespace celtest;
using nlohmann::json;

namespace {

struct Row {
  std::string shape;  // "array" or "object"
  std::set<std::string> keys;
};

struct Contract {
  std::map<std::string, Row> rows;           // "fs list" -> its row
  std::map<std::string, std::string> types;  // key -> "boolean", "number", "list", "object"; others text
};

std::set<std::string> Backticked(const std::string& text) {
  std::set<std::string> words;
  static const std::regex word("`([A-Za-z]+)`");
  for (std::sregex_iterator it(text.begin(), text.end(), word), end; it != end; ++it) words.insert((*it)[1]);
  return words;
}

Contract ReadContract() {
  std::ifstream in(std::string(getenv("CELERRA_SOURCE_DIR")) + "/doc/celerractl.md");
  Contract c;
  std::string line;
  bool inTable = false;
  static const std::map<std::string, std::string> kTypeLines = {{"- booleans:", "boolean"},
                                                                {"- numbers:", "number"},
                                                                {"- lists of text:", "list"},
                                                                {"- objects of text:", "object"}};
  while (std::getline(in, line)) {
    for (const auto& t : kTypeLines)
      if (line.rfind(t.first, 0) == 0)
        for (const auto& key : Backticked(line)) c.types[key] = t.second;
    if (line == "| command | JSON | keys |") {
      inTable = true;
      continue;
    }
    if (!inTable || line.rfind("|---", 0) == 0) continue;
    if (line.empty() || line[0] != '|') {
      inTable = false;
      continue;
    }
    // | `fs show --id ID` / `--name NAME` | object | `pfsId`, ... |
    std::vector<std::string> cells;
    std::stringstream split(line.substr(1));
    std::string cell;
    while (std::getline(split, cell, '|')) cells.push_back(cell);
    if (cells.size() < 3) continue;
    std::smatch m;
    static const std::regex command("`([a-z-]+(?: [a-z-]+)?)");
    if (!std::regex_search(cells[0], m, command)) continue;
    std::string name = m[1];
    name = std::regex_replace(name, std::regex(" (ID|NAME|PATH|IP|VDM)$"), "");
    Row row;
    row.shape = cells[1].find("array") != std::string::npos ? "array" : "object";
    row.keys = Backticked(cells[2]);
    c.rows[name] = row;
  }
  return c;
}

std::string TypeOf(const json& value) {
  if (value.is_boolean()) return "boolean";
  if (value.is_number()) return "number";
  if (value.is_array()) return "list";
  if (value.is_object()) return "object";
  if (value.is_string()) return "text";
  return "null";
}

class CliContractTest : public SimTest {};

TEST_F(CliContractTest, EveryCommandPrintsTheKeysAndTypesTheDocumentNames) {
  Contract contract = ReadContract();
  ASSERT_GE(contract.rows.size(), 25u) << "doc/celerractl.md's JSON table was not found";
  ASSERT_TRUE(contract.types.count("moverIsVdm") && contract.types.count("volumeSize"));
  ScopedEnv archive("CONTRACT_ARCHIVE_PASSWORD", "ark-pw");
  // Reads first, then the changes, in an order in which each one works.
  const std::vector<std::pair<std::string, std::string>> runs = {
      {"fs list", "fs list"},
      {"fs show", "fs show --id 21"},
      {"fs name", "fs name 24"},
      {"ckpt list", "ckpt list"},
      {"ckpt show", "ckpt show fs1_ckpt1"},
      {"mount list", "mount list"},
      {"mount paths", "mount paths --mover 1"},
      {"mount show", "mount show /fs1"},
      {"snapdev", "snapdev --share-path /fs1/dir1 --fs 21 --ckpt-id 31 --ckpt-name ck1"},
      {"nfs list", "nfs list"},
      {"nfs show", "nfs show /fs1"},
      {"cifs list", "cifs list"},
      {"cifs show", "cifs show fs1share"},
      {"mover names", "mover names"},
      {"mover cifs-servers", "mover cifs-servers"},
      {"mover aliases", "mover aliases 192.0.2.10"},
      {"mover of-vdm", "mover of-vdm 3"},
      {"pool list", "pool list"},
      {"lun list", "lun list"},
      {"ckpt create-rw", "ckpt create-rw --fs 21 --stg-type pool --stg-id 40 --name contract_rw --new-baseline"},
      {"ckpt create-ro", "ckpt create-ro --fs 21 --stg-type pool --stg-id 40 --name contract_ro"},
      {"mount create", "mount create /contract_ck --mover 1 --fs 31"},
      {"nfs create", "nfs create fs1_ckpt1 --mover 1 --read-only --access-host 192.0.2.150"},
      {"nfs delete", "nfs delete /fs1_ckpt1 --mover 1"},
      {"cifs create", "cifs create contract_share --path /fs1 --mover 1 --server CIFS_SRV1"},
      {"cifs delete", "cifs delete contract_share --mover 1"},
      {"offline configure",
       "offline configure //CIFS_SRV1/fs1share //127.0.0.1/stubs --archive-user arcuser "
       "--archive-password-env CONTRACT_ARCHIVE_PASSWORD"},
      {"ckpt restore", "ckpt restore --name fs1_ckpt1 --id 31 --fs 21"},
      {"ckpt delete", "ckpt delete 31"},
      {"trust", "trust --yes"},
  };
  std::set<std::string> ran;
  for (const auto& run : runs) {
    SCOPED_TRACE(run.second);
    ASSERT_TRUE(contract.rows.count(run.first)) << "doc/celerractl.md's table has no row for " << run.first;
    ran.insert(run.first);
    const Row& row = contract.rows[run.first];
    CliResult r = RunCli("-o json " + run.second);
    ASSERT_EQ(r.status, 0) << r.err;
    json doc = json::parse(r.out, nullptr, false);
    ASSERT_FALSE(doc.is_discarded()) << r.out;
    std::vector<json> records;
    if (row.shape == "array") {
      ASSERT_TRUE(doc.is_array()) << r.out;
      ASSERT_FALSE(doc.empty()) << "an empty list proves no keys";
      records.assign(doc.begin(), doc.end());
    } else {
      ASSERT_TRUE(doc.is_object()) << r.out;
      records.push_back(doc);
    }
    for (const json& record : records) {
      std::set<std::string> keys;
      for (auto it = record.begin(); it != record.end(); ++it) {
        keys.insert(it.key());
        auto declared = contract.types.find(it.key());
        std::string expected = declared == contract.types.end() ? "text" : declared->second;
        EXPECT_EQ(TypeOf(it.value()), expected) << it.key() << " = " << it.value().dump();
        if (it.value().is_array() || it.value().is_object())
          for (const auto& item : it.value()) EXPECT_TRUE(item.is_string()) << it.key() << ": " << item.dump();
      }
      EXPECT_EQ(keys, row.keys);
    }
  }
  for (const auto& row : contract.rows) EXPECT_TRUE(ran.count(row.first)) << "no run of " << row.first;
}

TEST_F(CliContractTest, NfsListNamesTheFileSystemAsNfsShowDoes) {
  CliResult list = RunCli("--json nfs list");
  CliResult show = RunCli("--json nfs show /fs1");
  ASSERT_EQ(list.status, 0);
  ASSERT_EQ(show.status, 0);
  json exports = json::parse(list.out);
  for (const auto& e : exports) {
    EXPECT_EQ(e["pfsId"], e["fileSystem"]);
    if (e["path"] == "/fs1") EXPECT_EQ(e["pfsId"], json::parse(show.out)["pfsId"]);
  }
}

}  // namespace
