#include "messages/internal/XmlText.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>

#include "messages/internal/ValueCheck.h"

namespace celerra_internal {

std::string XmlEscape(const std::string& value) {
  ValueCheck::Note(nullptr, value);
  std::string out;
  out.reserve(value.size() + 8);
  for (char c : value) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c;
    }
  }
  return out;
}

std::string XmlAttr(const char* name, const std::string& value) {
  ValueCheck::Note(name, value);
  std::string out = " ";
  out += name;
  out += "=\"";
  out += XmlEscape(value);
  out += '"';
  return out;
}

size_t EncodeUtf8(uint32_t cp, char* out) {
  if (cp < 0x80) {
    out[0] = static_cast<char>(cp);
    return 1;
  }
  if (cp < 0x800) {
    out[0] = static_cast<char>(0xC0 | (cp >> 6));
    out[1] = static_cast<char>(0x80 | (cp & 0x3F));
    return 2;
  }
  if (cp < 0x10000) {
    out[0] = static_cast<char>(0xE0 | (cp >> 12));
    out[1] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out[2] = static_cast<char>(0x80 | (cp & 0x3F));
    return 3;
  }
  out[0] = static_cast<char>(0xF0 | (cp >> 18));
  out[1] = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
  out[2] = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
  out[3] = static_cast<char>(0x80 | (cp & 0x3F));
  return 4;
}

std::string Utf16ToUtf8(const char16_t* text, size_t length) {
  std::string out;
  if (!text) return out;
  out.reserve(length);
  char utf8[4];
  for (size_t i = 0; i < length; ++i) {
    uint32_t cp = text[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (cp >= 0xD800 && cp <= 0xDFFF) {
      cp = 0xFFFD;
    }
    out.append(utf8, EncodeUtf8(cp, utf8));
  }
  return out;
}

std::vector<std::string> SplitList(const std::string& text, char separator) {
  std::vector<std::string> pieces;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(separator, start);
    if (end == std::string::npos) {
      pieces.push_back(text.substr(start));
      break;
    }
    pieces.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  return pieces;
}

int64_t NumberReader::Int64(const char* field, const char* text) {
  return Read(field, text, INT64_MIN, INT64_MAX, "64-bit");
}

int NumberReader::Int32(const char* field, const char* text) {
  return static_cast<int>(Read(field, text, INT32_MIN, INT32_MAX, "32-bit"));
}

int64_t NumberReader::Read(const char* field, const char* text, int64_t low, int64_t high, const char* width) {
  if (!text) return 0;
  char* end = nullptr;
  errno = 0;
  long long value = std::strtoll(text, &end, 10);
  if (errno != ERANGE && value >= low && value <= high) return value;
  if (m_Error.empty()) {
    // The number as the reply wrote it (no blanks), shortened: a hostile
    // reply may send a million digits.
    const char* start = text;
    while (start < end && std::isspace(static_cast<unsigned char>(*start))) ++start;
    std::string number(start, std::min<size_t>(static_cast<size_t>(end - start), 40));
    if (static_cast<size_t>(end - start) > number.size()) number += "...";
    m_Error = std::string("the number ") + number + " in " + field + " is too " + (value < 0 ? "small" : "large") +
              " for its " + width + " field";
  }
  return 0;
}

}  // namespace celerra_internal
