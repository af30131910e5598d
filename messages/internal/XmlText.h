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

// The C library's atol/atoi reading of an attribute: 0 for missing or
// non-numeric text, 64-bit throughout.
int64_t ToInt64(const char* text);
int64_t ToInt64(const std::string& text);

}  // namespace celerra_internal
