// The frame of celerractl: global options, the facade, the optional embedded
// simulator, output as an aligned table or one JSON document, exit status,
// and the scripted demo. Each group of subcommands lives in a file of its
// own and registers itself with RegisterXxxCommands.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "manage/ManageCelerra.h"

namespace celcli {

using nlohmann::json;

// Exit statuses.
constexpr int kOk = 0;
constexpr int kFailed = 1;
constexpr int kUsage = 2;

class Runtime;

// Writes records one by one: with `json`, as the elements of one JSON array
// (the same text a whole array's dump(2) gives) straight to standard output;
// otherwise as table rows, kept until Finish() knows the column widths.
class RecordPrinter {
 public:
  RecordPrinter(bool json, const std::vector<std::pair<std::string, std::string>>& columns);
  void Add(const json& record);
  void Finish();

 private:
  bool m_Json;
  const std::vector<std::pair<std::string, std::string>>& m_Columns;
  size_t m_Count = 0;
  std::string m_Text;  // one record's JSON, reused
  std::vector<std::vector<std::string>> m_Rows;
  std::vector<size_t> m_Width;
};

// A step of `celerractl demo`. Steps run in `order`; each prints what it
// does and returns false to stop the tour.
struct DemoStep {
  int order;
  std::string title;
  std::function<bool(Runtime&)> run;
};

// Values that the demo's steps hand to each other.
struct DemoState {
  std::string pfsId, pfsName, stgId, moverId, savVolId;
  eCelerraStgType stgType = STG_TYPE_NONE;
  bool moverIsVdm = false;
  std::string ckptName, ckptId, baselineId;
  std::string snapDevice;
  bool simulated = false;  // the embedded simulator serves the demo
};

class Runtime {
 public:
  // The facade, set up with the global options; valid while a command runs.
  ManageCelerra& facade() { return *m_Facade; }
  bool jsonOutput() const { return m_Json; }
  DemoState& demo() { return m_Demo; }

  // Registers what runs when the subcommand `sub` was chosen.
  void OnRun(CLI::App* sub, std::function<int()> action);
  void AddDemoStep(DemoStep step) { m_DemoSteps.push_back(std::move(step)); }

  // --- output -------------------------------------------------------------
  // Prints records: a JSON array of objects with --json, else an aligned
  // table with the given columns (JSON keys and their headings).
  void PrintTable(const json& records, const std::vector<std::pair<std::string, std::string>>& columns);
  // The same for a list whose records `toJson` turns into JSON objects one
  // at a time: each is written (or made a table row) as soon as it is made,
  // so a large list never stands as a second whole tree of JSON.
  template <class Records, class ToJson>
  void PrintRecords(const Records& records, ToJson toJson,
                    const std::vector<std::pair<std::string, std::string>>& columns) {
    RecordPrinter printer(m_Json, columns);
    for (const auto& record : records) printer.Add(toJson(record));
    printer.Finish();
  }
  // Prints one object: as JSON, or as "key: value" lines.
  void PrintObject(const json& object);
  // For a failed operation: one line on stderr naming the operation and the
  // last error's status, message code, message and description; returns 1.
  int Fail(const std::string& operation);
  // Demo narration (stdout, never mixed into --json output of commands).
  void Say(const std::string& text);

  int Main(int argc, char** argv);

 private:
  bool Connect();
  int RunDemo();

  CLI::App m_App{"celerractl: manage a network file server through its control station"};
  std::string m_Host, m_User, m_PasswordEnv, m_PasswordFile;
  unsigned long long m_JobId = 1;
  bool m_Json = false;
  bool m_Sim = false;
  int m_LogLevel = -100;
  // The embedded simulator (when --sim) is declared before the facade so that
  // it outlives it: stopping the server while the facade's connection is
  // still open made every --sim run wait out the keep-alive time-out.
  std::shared_ptr<void> m_Simulator;
  std::unique_ptr<ManageCelerra> m_Facade;
  std::vector<std::pair<CLI::App*, std::function<int()>>> m_Actions;
  std::vector<DemoStep> m_DemoSteps;
  DemoState m_Demo;
};

// Each group of subcommands (and its demo steps).
void RegisterFileSystemCommands(CLI::App& app, Runtime& rt);
void RegisterCheckpointCommands(CLI::App& app, Runtime& rt);
void RegisterMountCommands(CLI::App& app, Runtime& rt);
void RegisterNfsCommands(CLI::App& app, Runtime& rt);
void RegisterCifsCommands(CLI::App& app, Runtime& rt);
void RegisterMoverCommands(CLI::App& app, Runtime& rt);
void RegisterStorageCommands(CLI::App& app, Runtime& rt);
void RegisterOfflineCommands(CLI::App& app, Runtime& rt);

// Sizes in human units for tables: 1536 -> "1.5 KiB".
std::string HumanBytes(long long bytes);

}  // namespace celcli
