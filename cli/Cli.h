// The frame of celerractl: global options (before or after the subcommand),
// connection settings from flags, environment and profile, the facade, the
// optional embedded simulator, output as an aligned table or one JSON
// document, exit status. Each group of subcommands lives in a file of its own
// and registers itself with RegisterXxxCommands; the scripted demo reads in
// order in Demo.cpp.
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <map>
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

// Values that the demo's steps hand to each other.
struct DemoState {
  std::string pfsId, pfsName, stgId, moverId, savVolId;
  eCelerraStgType stgType = STG_TYPE_NONE;
  bool moverIsVdm = false;
  std::string ckptName, ckptId, baselineId;
  std::string snapDevice;
  bool simulated = false;  // the embedded simulator serves the demo
};

// How a table shows a column's values (JSON keeps them as they are).
enum class CellKind {
  Text,       // escaped text
  Count,      // a number, right-aligned
  Bytes,      // a size in bytes, with its unit: "1.5 GiB"
  MegaBytes,  // a size in MB as the server counts file-system space, with its unit
  Flag,       // yes / no
  List,       // items joined with ", "
  Use,        // `key` as a share of `of`: "73%", and on a terminal a bar of fixed width
};

struct Column {
  std::string key;      // the JSON key
  std::string heading;  // the table's heading
  CellKind kind = CellKind::Text;
  std::string of{};  // CellKind::Use: the key of the whole
};
using Columns = std::vector<Column>;

// Writes records one by one: with `json`, as the elements of one JSON array
// (the same text a whole array's dump(2) gives) straight to standard output;
// otherwise as table rows, kept as text until Finish() knows the widths.
class RecordPrinter {
 public:
  RecordPrinter(bool json, const Columns& columns);
  void Add(const json& record);
  void Finish();

 private:
  bool m_Json;
  bool m_Bars;  // a terminal that takes colour: use columns draw a bar
  const Columns& m_Columns;
  size_t m_Count = 0;
  std::string m_Text;  // one record's JSON, reused
  std::vector<std::vector<std::string>> m_Rows;
  std::vector<size_t> m_Width;
};

// Where the control station is and how to reach it: from the command line,
// then the environment, then the profile.
struct ConnectionSettings {
  std::string host, user, password;
  std::string caBundle, pin;  // TLS verification: a CA bundle and/or a pinned public key
  bool insecure = false;      // no verification, and no note about it
  double timeoutSeconds = 0;  // 0: the library's defaults
};

class Runtime {
 public:
  // The facade, set up with the connection settings; valid while a command
  // registered with OnRun runs.
  ManageCelerra& facade() { return *m_Facade; }
  bool jsonOutput() const { return m_Output == "json"; }
  DemoState& demo() { return m_Demo; }

  // Registers what runs when the subcommand `sub` was chosen: OnRun
  // connects first; OnRunLocal runs without a facade.
  void OnRun(CLI::App* sub, std::function<int()> action);
  void OnRunLocal(CLI::App* sub, std::function<int()> action);

  // The connection settings as resolved from the command line, the
  // environment and the profile; also for commands that connect on their
  // own (`trust`, which may name a profile it is about to make). False
  // (with one stderr line) when the host, the user or the password is
  // missing or the profile is unreadable.
  bool ResolveSettings(ConnectionSettings& settings, bool needCredentials, bool profileMayBeNew);
  std::string ProfileName() const;
  std::string ProfilePath() const;

  // --- output -------------------------------------------------------------
  // A list: each record becomes JSON through `toJson` and is written (or
  // made a table row) as soon as it is made, so a large list never stands
  // as a second whole tree of JSON. One JSON array, or an aligned table.
  template <class Records, class ToJson>
  void PrintList(const Records& records, ToJson toJson, const Columns& columns) {
    RecordPrinter printer(jsonOutput(), columns);
    for (const auto& record : records) printer.Add(toJson(record));
    printer.Finish();
  }
  void PrintRecords(const json& records, const Columns& columns);
  // One object: as JSON, or as aligned "key: value" lines.
  void PrintObject(const json& object);
  // For a failed operation: one line on stderr saying what failed and why in
  // plain words, then the server's code and message; returns 1.
  int Fail(const std::string& operation);
  // A line on stderr, prefixed "celerractl: ", with control characters
  // shown escaped.
  void Complain(const std::string& text);
  // Demo narration (stdout, never mixed into --json output of commands).
  void Say(const std::string& text);

  int Main(int argc, char** argv);

 private:
  void AddGlobalOptions();
  bool Connect();
  int RunAction(const std::function<int()>& action, bool needsFacade);
  int FinishOutput(int status);

  CLI::App m_App{"celerractl: manage a network file server through its control station"};
  // Global options as given.
  std::string m_Host, m_User, m_PasswordEnv, m_PasswordFile, m_Profile, m_CaBundle, m_Pin;
  double m_Timeout = 0;
  bool m_Insecure = false;
  unsigned long long m_JobId = 1;
  std::string m_Output = "table";
  bool m_Json = false;
  bool m_Sim = false;
  int m_LogLevel = -100;
  // The embedded simulator (when --sim) is declared before the facade so that
  // it outlives it: stopping the server while the facade's connection is
  // still open made every --sim run wait out the keep-alive time-out.
  std::shared_ptr<void> m_Simulator;
  std::unique_ptr<ManageCelerra> m_Facade;
  struct Action {
    CLI::App* sub;
    std::function<int()> run;
    bool needsFacade;
  };
  std::vector<Action> m_Actions;
  DemoState m_Demo;
};

// Each group of subcommands.
void RegisterFileSystemCommands(CLI::App& app, Runtime& rt);
void RegisterCheckpointCommands(CLI::App& app, Runtime& rt);
void RegisterMountCommands(CLI::App& app, Runtime& rt);
void RegisterNfsCommands(CLI::App& app, Runtime& rt);
void RegisterCifsCommands(CLI::App& app, Runtime& rt);
void RegisterMoverCommands(CLI::App& app, Runtime& rt);
void RegisterStorageCommands(CLI::App& app, Runtime& rt);
void RegisterOfflineCommands(CLI::App& app, Runtime& rt);
void RegisterTrustCommand(CLI::App& app, Runtime& rt);
void RegisterCompletionCommand(CLI::App& app, Runtime& rt);

// `celerractl demo`: the tour, step by step; the exit status.
int RunDemo(Runtime& rt);

// Output and calls that the demo shares with the subcommands, each defined
// with its group.
void PrintMoverNames(Runtime& rt, const std::map<std::string, std::string>& names);
void PrintCifsServers(Runtime& rt, const std::vector<CelerraCifsServer_t>& servers);
int ListPools(Runtime& rt);  // the exit status
void PrintFileSystems(Runtime& rt, const std::vector<CelerraFileSystem_t>& fileSystems);
struct PfsInfo {
  std::string pfsId, stgId, savVolId, pfsName, moverId;
  eCelerraStgType stgType = STG_TYPE_NONE;
  bool moverIsVdm = false;
};
json PfsJson(const PfsInfo& p);
// False when the list could not be read (nothing printed).
bool PrintCheckpoints(Runtime& rt, const std::string& name);
// The offline set-up with its progress shown on stderr.
bool ConfigureOffline(ManageCelerra& facade, const std::string& filerShare, const std::string& archiveShare,
                      const std::string& archiveUser, const std::string& password, bool skipConnectionLookup,
                      bool setOfflineAttr);

// Sizes in human units for tables: 1536 -> "1.5 KiB".
std::string HumanBytes(long long bytes);
// How full something is, for a table: `used` as a share of `whole`, rounded
// up as df does ("0%", "73%", "112%" when over-full); "-" when unknown (a
// whole of 0, as the server reports an unmounted file system, or a negative
// figure). With `bar`, followed by a coloured bar of ten cells.
std::string UseCell(long long used, long long whole, bool bar);
// Text from the server made safe for a terminal: control characters (C0,
// DEL, C1), bidirectional overrides and bytes that are not UTF-8 are shown
// as \n, \t, \x1b, \u202e escapes; everything else is kept.
std::string Printable(const std::string& text);
// A "true"/"false" text as the server sends it, as a JSON boolean.
bool IsTrueText(const std::string& text);

}  // namespace celcli
