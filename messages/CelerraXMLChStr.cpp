#include "messages/CelerraXMLChStr.h"

#include <xercesc/util/XercesDefs.hpp>

#include <cstring>
#include <type_traits>

#include "messages/internal/XmlText.h"

// The units are the 16-bit XML parser library's own, so that xc_str() can be
// handed to it as it is. Only its type is used: the library itself never
// calls that parser (replies are read with another), so it is not linked.
static_assert(std::is_same<XMLCh, char16_t>::value, "XMLCh is not char16_t");

namespace {
constexpr uint32_t kSpare = 32;  // zero units kept after the text
}

CelerraXMLChStr::CelerraXMLChStr() = default;

CelerraXMLChStr::CelerraXMLChStr(const char16_t* text) { *this = text; }

CelerraXMLChStr::CelerraXMLChStr(const char* text) { *this = text; }

CelerraXMLChStr::CelerraXMLChStr(const CelerraXMLChStr& other) { assign(other.m_pText, other.m_nLength); }

CelerraXMLChStr::~CelerraXMLChStr() {
  delete[] m_pText;
  delete[] m_pNarrow;
}

void CelerraXMLChStr::assign(const char16_t* text, uint32_t length) {
  char16_t* fresh = nullptr;
  if (text && length > 0) {
    fresh = new char16_t[length + kSpare]();
    std::memcpy(fresh, text, length * sizeof(char16_t));
  } else {
    length = 0;
  }
  delete[] m_pText;
  m_pText = fresh;
  m_nLength = length;
}

CelerraXMLChStr& CelerraXMLChStr::operator=(const char16_t* text) {
  if (text == m_pText) return *this;
  uint32_t n = 0;
  if (text)
    while (text[n]) ++n;
  assign(text, n);
  return *this;
}

CelerraXMLChStr& CelerraXMLChStr::operator=(const char* text) {
  std::u16string wide;
  // Each byte becomes one unit, sign-extended: callers pass ASCII names.
  for (const char* p = text ? text : ""; *p; ++p)
    wide.push_back(static_cast<char16_t>(static_cast<int16_t>(static_cast<signed char>(*p))));
  assign(wide.data(), static_cast<uint32_t>(wide.size()));
  return *this;
}

CelerraXMLChStr& CelerraXMLChStr::operator=(const CelerraXMLChStr& other) {
  if (this != &other) assign(other.m_pText, other.m_nLength);
  return *this;
}

const char* CelerraXMLChStr::c_str() {
  std::string utf8 = celerra_internal::Utf16ToUtf8(m_pText, m_nLength);
  delete[] m_pNarrow;
  m_pNarrow = new char[utf8.size() + kSpare]();
  std::memcpy(m_pNarrow, utf8.data(), utf8.size());
  return m_pNarrow;
}

char16_t CelerraXMLChStr::getAt(uint32_t i) const {
  if (i < m_nLength) return m_pText[i];
  return 0;
}

char16_t CelerraXMLChStr::setAt(uint32_t i, char16_t unit) {
  if (i >= m_nLength) return 0;
  m_pText[i] = unit;
  return unit;
}
