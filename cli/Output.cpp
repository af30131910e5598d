// What celerractl prints: one JSON document, or tables and "key: value"
// lines for people, with the server's text made safe for a terminal.
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iomanip>
#include <iostream>
#include <sstream>

#include "cli/Cli.h"
#include "common/Utf8.h"

namespace celcli {

namespace {

// Invalid UTF-8 from a server becomes U+FFFD instead of an exception.
std::string Dump(const json& document) { return document.dump(2, ' ', false, json::error_handler_t::replace); }

// Code points that would move the cursor, change colours or reorder the
// text around them.
bool Hidden(unsigned long code) {
  return code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F) || code == 0x061C || code == 0x200E ||
         code == 0x200F || (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

std::string Escape(unsigned long code, bool rawByte) {
  // Room for any unsigned long in hex: the compiler cannot know that a code
  // point stops at six digits, and warns about truncation otherwise.
  char text[24];
  switch (code) {
    case '\n': return "\\n";
    case '\r': return "\\r";
    case '\t': return "\\t";
    default: break;
  }
  if (rawByte || code < 0x80)
    std::snprintf(text, sizeof text, "\\x%02lx", code);
  else
    std::snprintf(text, sizeof text, "\\u%04lx", code);
  return text;
}

std::string Join(const json& items) {
  if (items.empty()) return "-";
  std::string out;
  for (const auto& item : items) {
    if (!out.empty()) out += ", ";
    out += item.is_string() ? Printable(item.get<std::string>()) : Dump(item);
  }
  return out;
}

long long Number(const json& value) {
  if (value.is_number_integer()) return value.get<long long>();
  if (value.is_number()) return static_cast<long long>(value.get<double>());
  return 0;
}

// One value as a table cell or an object line shows it.
std::string Show(const json& value, CellKind kind) {
  if (value.is_null()) return "-";
  switch (kind) {
    case CellKind::Bytes: return HumanBytes(Number(value));
    case CellKind::MegaBytes: return HumanBytes(Number(value) * 1024 * 1024);
    default: break;
  }
  if (value.is_boolean()) return value.get<bool>() ? "yes" : "no";
  if (value.is_string()) return value.get_ref<const std::string&>().empty() ? "-" : Printable(value.get<std::string>());
  if (value.is_array()) return Join(value);
  if (value.is_object()) {
    std::string out;
    for (auto it = value.begin(); it != value.end(); ++it)
      out += (out.empty() ? "" : ", ") + Printable(it.key()) + "=" + Show(it.value(), CellKind::Text);
    return out;
  }
  return Dump(value);
}

std::string UseOf(const json& used, const json& whole, bool bars) {
  return used.is_number() && whole.is_number() ? UseCell(Number(used), Number(whole), bars) : "-";
}

// A record's cell in column `c`.
std::string Cell(const json& record, const Column& c, bool bars) {
  if (!record.contains(c.key)) return "-";
  if (c.kind == CellKind::Use) return UseOf(record[c.key], record.value(c.of, json()), bars);
  return Show(record[c.key], c.kind);
}

bool RightAligned(CellKind kind) {
  return kind == CellKind::Count || kind == CellKind::Bytes || kind == CellKind::MegaBytes || kind == CellKind::Use;
}

// Display width: one column per code point (the escapes are ASCII); the
// colour sequences of a use bar take none.
size_t Width(const std::string& text) {
  size_t n = 0;
  bool colour = false;
  for (unsigned char c : text) {
    if (c == 0x1B) colour = true;
    if (!colour && (c & 0xC0) != 0x80) ++n;
    if (colour && c == 'm') colour = false;
  }
  return n;
}

// Colour only for a person at a terminal who has not asked for none
// (no-color.org: NO_COLOR set and not empty).
bool BarsWanted() {
  const char* noColor = std::getenv("NO_COLOR");
  return isatty(STDOUT_FILENO) && !(noColor && *noColor);
}

std::string Pad(const std::string& text, size_t width, bool right) {
  std::string fill(width > Width(text) ? width - Width(text) : 0, ' ');
  return right ? fill + text : text + fill;
}

}  // namespace

std::string HumanBytes(long long bytes) {
  static const char* units[] = {"B", "KiB", "MiB", "GiB", "TiB", "PiB", "EiB"};
  double value = static_cast<double>(bytes);
  int unit = 0;
  while ((value >= 1024.0 || value <= -1024.0) && unit < 6) {
    value /= 1024.0;
    ++unit;
  }
  if (unit == 0) return std::to_string(bytes) + " B";
  // A stream, not snprintf into a fixed buffer: the compiler cannot bound
  // the text of a double and warns about truncation.
  std::ostringstream text;
  text << std::fixed << std::setprecision(1) << value << ' ' << units[unit];
  return text.str();
}

std::string UseCell(long long used, long long whole, bool bar) {
  if (whole <= 0 || used < 0) return "-";
  // In long double, whose mantissa holds any 64-bit figure, so that a pool's
  // bytes times 100 cannot overflow; bounded, so that a server's absurd
  // figure cannot overflow the text either.
  long double percent = std::min(1e6L, std::ceil(100.0L * used / whole));
  std::string text = std::to_string(static_cast<long long>(percent)) + "%";
  if (!bar) return text;
  constexpr int kCells = 10;
  int filled = static_cast<int>(std::min<long double>(kCells, std::round(percent / 10)));
  const char* colour = percent >= 90 ? "\x1b[31m" : percent >= 75 ? "\x1b[33m" : "\x1b[32m";
  std::string cells;
  for (int i = 0; i < kCells; ++i) cells += i < filled ? "\u2588" : "\u2591";
  return std::string(4 - std::min<size_t>(4, text.size()), ' ') + text + " " + colour + cells + "\x1b[0m";
}

std::string Printable(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const auto* end = p + text.size();
  while (p < end) {
    unsigned long code = 0;
    int length = celcommon::DecodeUtf8(p, end, code);
    if (length == 0) {
      out += Escape(*p, true);
      ++p;
      continue;
    }
    if (Hidden(code))
      out += Escape(code, false);
    else
      out.append(reinterpret_cast<const char*>(p), static_cast<size_t>(length));
    p += length;
  }
  return out;
}

bool IsTrueText(const std::string& text) { return text == "true"; }

RecordPrinter::RecordPrinter(bool json, const Columns& columns)
    : m_Json(json), m_Bars(!json && BarsWanted()), m_Columns(columns) {
  if (m_Json) return;
  for (const Column& c : m_Columns) m_Width.push_back(Width(c.heading));
}

void RecordPrinter::Add(const json& record) {
  if (m_Json) {
    // Each record as an element of a two-space indented array: its own
    // dump with two more blanks on every line.
    std::string dumped = Dump(record);
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
  row.reserve(m_Columns.size());
  for (size_t i = 0; i < m_Columns.size(); ++i) {
    const Column& c = m_Columns[i];
    std::string cell = Cell(record, c, m_Bars);
    m_Width[i] = std::max(m_Width[i], Width(cell));
    row.push_back(std::move(cell));
  }
  m_Rows.push_back(std::move(row));
}

void RecordPrinter::Finish() {
  if (m_Json) {
    std::cout << (m_Count == 0 ? "[]" : "\n]") << '\n';
    return;
  }
  auto print = [&](const std::vector<std::string>& row) {
    std::string line;
    for (size_t i = 0; i < row.size(); ++i) {
      bool last = i + 1 == row.size();
      bool right = RightAligned(m_Columns[i].kind);
      line += last && !right ? row[i] : Pad(row[i], m_Width[i], right);
      if (!last) line += "  ";
    }
    std::cout << line << '\n';
  };
  std::vector<std::string> head;
  for (const Column& c : m_Columns) head.push_back(c.heading);
  print(head);
  for (const auto& row : m_Rows) print(row);
}

void Runtime::PrintRecords(const json& records, const Columns& columns) {
  RecordPrinter printer(jsonOutput(), columns);
  for (const auto& record : records) printer.Add(record);
  printer.Finish();
}

void Runtime::PrintObject(const json& object) {
  if (jsonOutput()) {
    std::cout << Dump(object) << '\n';
    return;
  }
  size_t width = 0;
  for (auto it = object.begin(); it != object.end(); ++it) width = std::max(width, it.key().size());
  for (auto it = object.begin(); it != object.end(); ++it)
    std::cout << it.key() << ":" << std::string(width - it.key().size() + 1, ' ') << Show(it.value(), CellKind::Text)
              << '\n';
}

void Runtime::Complain(const std::string& text) { std::cerr << "celerractl: " << Printable(text) << std::endl; }

void Runtime::Say(const std::string& text) { std::cout << Printable(text) << std::endl; }

}  // namespace celcli
