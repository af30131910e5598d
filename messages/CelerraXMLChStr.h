// 16-bit string wrapper for calls into the XML parser. c_str() gives the text
// as UTF-8.
#pragma once

#include <cstdint>
#include <string>

#include "platform/CelerraExport.h"

class CelerraXMLChStr {
 public:
  CelerraXMLChStr();
  CelerraXMLChStr(const char16_t* text);
  CelerraXMLChStr(const char* text);
  CelerraXMLChStr(const CelerraXMLChStr& other);
  virtual ~CelerraXMLChStr();

  CelerraXMLChStr& operator=(const char16_t* text);
  CelerraXMLChStr& operator=(const char* text);
  CelerraXMLChStr& operator=(const CelerraXMLChStr& other);

  // The 16-bit text (null when empty), for parser calls.
  const char16_t* xc_str() const { return m_pText; }
  uint32_t length() const { return m_nLength; }
  // The text as UTF-8; valid until the next c_str() or destruction.
  const char* c_str();

  char16_t getAt(uint32_t i) const;
  char16_t operator[](uint32_t i) const { return getAt(i); }
  char16_t setAt(uint32_t i, char16_t unit);

 private:
  void assign(const char16_t* text, uint32_t length);

  char16_t* m_pText = nullptr;
  char* m_pNarrow = nullptr;
  uint32_t m_nLength = 0;
};
