#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

#include "cli/Cli.h"
#include "platform/EvDebug.h"
#include "sim/Simulator.h"

namespace celcli {

void Runtime::OnRun(CLI::App* sub, std::function<int()> action) { m_Actions.emplace_back(sub, std::move(action)); }

namespace {

std::string Cell(const json& value) {
  if (value.is_string()) return value.get<std::string>();
  if (value.is_null()) return "";
  if (value.is_array()) {
    std::string out;
    for (const auto& v : value) out += (out.empty() ? "" : ",") + Cell(v);
    return out;
  }
  return value.dump();
}

}  // namespace

std::string HumanBytes(long long bytes) {
  static const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while (value >= 1024.0 && unit < 6) {
    value /= 1024.0;
    ++unit;
  }
  char text[32];
  if (unit == 0)
    std::snprintf(text, sizeof text, "%lld B", bytes);
  else
    std::snprintf(text, sizeof text, "%.1f %s", value, units[unit]);
  return text;
}

RecordPrinter::RecordPrinter(bool json, const std::vector<std::pair<std::string, std::string>>& columns)
    : m_Json(json), m_Columns(columns) {
  if (m_Json) return;
  for (const auto& c : m_Columns) m_Width.push_back(c.second.size());
}

void RecordPrinter::Add(const json& record) {
  if (m_Json) {
    // Each record as an element of a two-space indented array: its own
    // dump(2) with two more blanks on every line.
    std::string dumped = record.dump(2);
    m_Text.assign(m_Count == 0 ? "[\n  " : ",\n  ");
    size_t from = 0;
    for (size_t end; (end = dumped.find('\n', from)) != std::string::npos; from = end + 1) {
      m_Text.append(dumped, from, end + 1 - from);
      m_Text += "  ";
    }
    m_Text.append(dumped, from, std::string::npos);
    std::cout.write(m_Text.data(), static_cast<std::streamsize>(m_Text.size()));
    ++m_Count;
    return;
  }
  std::vector<std::string> row;
  for (size_t i = 0; i < m_Columns.size(); ++i) {
    std::string cell = record.contains(m_Columns[i].first) ? Cell(record[m_Columns[i].first]) : "";
    m_Width[i] = std::max(m_Width[i], cell.size());
    row.push_back(std::move(cell));
  }
  m_Rows.push_back(std::move(row));
}

void RecordPrinter::Finish() {
  if (m_Json) {
    std::cout << (m_Count == 0 ? "[]" : "\n]") << std::endl;
    return;
  }
  auto print = [&](const std::vector<std::string>& row) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      line += row[i];
      if (i + 1 < row.size()) line += std::string(m_Width[i] - row[i].size() + 2, ' ');
    }
    std::cout << line << '\n';
  };
  std::vector<std::string> head;
  for (const auto& c : m_Columns) head.push_back(c.second);
  print(head);
  for (const auto& row : m_Rows) print(row);
  std::cout.flush();
}

void Runtime::PrintTable(const json& records, const std::vector<std::pair<std::string, std::string>>& columns) {
  RecordPrinter printer(m_Json, columns);
  for (const auto& record : records) printer.Add(record);
  printer.Finish();
}

void Runtime::PrintObject(const json& object) {
  if (m_Json) {
    std::cout << object.dump(2) << std::endl;
    return;
  }
  size_t width = 0;
  for (auto it = object.begin(); it != object.end(); ++it) width = std::max(width, it.key().size());
  for (auto it = object.begin(); it != object.end(); ++it)
    std::cout << it.key() << ":" << std::string(width - it.key().size() + 1, ' ') << Cell(it.value()) << '\n';
  std::cout.flush();
}

int Runtime::Fail(const std::string& operation) {
  CelerraError e = m_Facade->GetLastError1();
  std::cerr << "celerractl: " << operation << " failed: status=" << static_cast<unsigned>(e.m_eStatus)
            << " code=" << e.m_sMessageCode << " message=" << e.m_sMessage
            << " description=" << e.m_sDescription << std::endl;
  return kFailed;
}

void Runtime::Say(const std::string& text) { std::cout << text << std::endl; }

namespace {

std::string Trim(std::string s) {
  while (!s.empty() && (s.back() == '\n' || s.back() == '\r')) s.pop_back();
  return s;
}

const char* EnvOr(const char* name, const char* fallback) {
  const char* v = std::getenv(name);
  return v && *v ? v : fallback;
}

}  // namespace

bool Runtime::Connect() {
  std::string host = m_Host.empty() ? EnvOr("CELERRA_HOST", "") : m_Host;
  std::string user = m_User.empty() ? EnvOr("CELERRA_USER", "") : m_User;
  std::string password;
  if (!m_PasswordFile.empty()) {
    std::ifstream in(m_PasswordFile);
    if (!in) {
      std::cerr << "celerractl: cannot read the password file " << m_PasswordFile << std::endl;
      return false;
    }
    std::getline(in, password);
    password = Trim(password);
  } else {
    password = EnvOr(m_PasswordEnv.empty() ? "CELERRA_PASSWORD" : m_PasswordEnv.c_str(), "");
  }
  if (m_Sim) {
    auto sim = std::make_shared<celsim::Simulator>();
    if (!sim->Start()) {
      std::cerr << "celerractl: unable to start the embedded simulator" << std::endl;
      return false;
    }
    host = sim->address();
    user = celsim::Simulator::Options().user;
    password = celsim::Simulator::Options().password;
    m_Simulator = sim;
    m_Demo.simulated = true;
  }
  if (host.empty() || user.empty() || password.empty()) {
    std::cerr << "celerractl: the control host, user and password are required "
                 "(--host/CELERRA_HOST, --user/CELERRA_USER, --password-env or --password-file/CELERRA_PASSWORD, "
                 "or --sim)"
              << std::endl;
    return false;
  }
  m_Facade.reset(new ManageCelerra(m_JobId));
  m_Facade->SetControlHostInfo(host, user, password);
  std::fill(password.begin(), password.end(), '\0');
  return true;
}

int Runtime::RunDemo() {
  std::stable_sort(m_DemoSteps.begin(), m_DemoSteps.end(),
                   [](const DemoStep& a, const DemoStep& b) { return a.order < b.order; });
  int n = 0;
  for (DemoStep& step : m_DemoSteps) {
    Say("");
    Say("== " + std::to_string(++n) + ". " + step.title);
    if (!step.run(*this)) {
      Say("demo stopped: step failed");
      return kFailed;
    }
  }
  Say("");
  Say("demo finished: " + std::to_string(n) + " steps");
  return kOk;
}

int Runtime::Main(int argc, char** argv) {
  m_App.require_subcommand(1);
  m_App.add_option("--host", m_Host, "control station HOST[:PORT] (default: CELERRA_HOST)");
  m_App.add_option("--user", m_User, "user name (default: CELERRA_USER)");
  m_App.add_option("--password-env", m_PasswordEnv,
                   "environment variable holding the password (default: CELERRA_PASSWORD)");
  m_App.add_option("--password-file", m_PasswordFile, "file whose first line is the password");
  m_App.add_option("--job-id", m_JobId, "job id for the log lines");
  m_App.add_flag("--json", m_Json, "print one JSON document");
  m_App.add_option("--log-level", m_LogLevel, "library log threshold (0 errors ... 6 documents); off by default");
  m_App.add_flag("--sim", m_Sim, "start the embedded simulated control station and use it");

  RegisterFileSystemCommands(m_App, *this);
  RegisterCheckpointCommands(m_App, *this);
  RegisterMountCommands(m_App, *this);
  RegisterNfsCommands(m_App, *this);
  RegisterCifsCommands(m_App, *this);
  RegisterMoverCommands(m_App, *this);
  RegisterStorageCommands(m_App, *this);
  RegisterOfflineCommands(m_App, *this);
  CLI::App* demo = m_App.add_subcommand("demo", "scripted tour of the library (best with --sim)");
  OnRun(demo, [this] { return RunDemo(); });

  try {
    m_App.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return m_App.exit(e);
  } catch (const CLI::CallForAllHelp& e) {
    return m_App.exit(e);
  } catch (const CLI::ParseError& e) {
    m_App.exit(e);
    return kUsage;
  }
  EvDebug::SetLevel(m_LogLevel);
  if (!Connect()) return kUsage;
  for (auto& action : m_Actions) {
    // The innermost chosen subcommand runs.
    if (action.first->parsed() && action.first->get_subcommands().empty()) return action.second();
  }
  std::cerr << m_App.help() << std::endl;
  return kUsage;
}

}  // namespace celcli
