// Text helpers for request documents and reply values: the one escaping
// routine every value written into a request goes through, UTF-16 to UTF-8,
// and the list splitter.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace celerra_internal {

// Escapes & < > " ' for use in element text and in attribute values. Notes
// a value that may not be sent with the thread's ValueCheck (ValueCheck.h).
std::string XmlEscape(const std::string& value);

// ` name="escaped value"`, with its leading blank.
std::string XmlAttr(const char* name, const std::string& value);

// Writes code point `cp` (at most U+10FFFF) as UTF-8 into `out`; returns the
// number of bytes written (1 to 4).
size_t EncodeUtf8(uint32_t cp, char* out);

// UTF-16 units to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(const char16_t* text, size_t length);

// Splits `text` at every `separator`. The pieces are taken one after the
// other until the remaining text is empty: an empty text or a trailing
// separator adds nothing, two separators in a row add an empty piece.
std::vector<std::string> SplitList(const std::string& text, char separator);

// The numbers of one reply, read the C library's way (blanks, a sign and
// decimal digits, up to the first byte that is none of these; text that
// holds no number, or none at all, reads 0) into a field of 64 or 32 bits.
// A number the field cannot hold is never clamped or wrapped: it reads 0,
// and the first such number, with the field's name, is the reason the reply
// cannot be read (error()). Every number of a reply is read here.
class NumberReader {
 public:
  int64_t Int64(const char* field, const char* text);
  int Int32(const char* field, const char* text);
  // Empty while every number fitted its field.
  const std::string& error() const { return m_Error; }

 private:
  int64_t Read(const char* field, const char* text, int64_t low, int64_t high, const char* width);
  std::string m_Error;
};

}  // namespace celerra_internal
