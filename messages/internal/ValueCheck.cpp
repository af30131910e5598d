#include "messages/internal/ValueCheck.h"

#include <cstdio>

namespace celerra_internal {

namespace {

thread_local ValueCheck* t_check = nullptr;

std::string CodePoint(unsigned long cp) {
  char text[16];
  std::snprintf(text, sizeof text, "U+%04lX", cp);
  return text;
}

}  // namespace

std::string RefusedText(const std::string& value) {
  const unsigned char* p = reinterpret_cast<const unsigned char*>(value.data());
  size_t n = value.size();
  for (size_t i = 0; i < n;) {
    unsigned char c = p[i];
    size_t length = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 0;
    std::string where = " at byte " + std::to_string(i);
    if (length == 0 || i + length > n) return "invalid UTF-8" + where;
    unsigned long cp = length == 1 ? c : length == 2 ? c & 0x1F : length == 3 ? c & 0x0F : c & 0x07;
    for (size_t k = 1; k < length; ++k) {
      if ((p[i + k] & 0xC0) != 0x80) return "invalid UTF-8" + where;
      cp = (cp << 6) | (p[i + k] & 0x3F);
    }
    static const unsigned long kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kSmallest[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
      return "invalid UTF-8" + where;  // overlong, beyond Unicode, or a surrogate
    if (cp < 0x20 || (cp >= 0x7F && cp <= 0x9F)) return "control character " + CodePoint(cp) + where;
    i += length;
  }
  return std::string();
}

ValueCheck::ValueCheck() : m_Outer(t_check) { t_check = this; }

ValueCheck::~ValueCheck() { t_check = m_Outer; }

void ValueCheck::Note(const char* attribute, const std::string& value) {
  ValueCheck* check = t_check;
  if (!check || !check->m_Refused.empty()) return;
  std::string why = RefusedText(value);
  if (why.empty()) return;
  check->m_Refused = attribute ? "the value of " + std::string(attribute) + " holds " + why : "a value holds " + why;
}

}  // namespace celerra_internal
