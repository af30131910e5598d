// The one UTF-8 reader of the tools: the simulator checks incoming names
// with it, celerractl escapes what it prints with it.
#pragma once

namespace celcommon {

// The code point that starts at `p` (before `end`) in `code`; returns its
// length in bytes, or 0 when the bytes there are not well-formed UTF-8
// (stray continuation bytes, overlong forms, surrogates, past U+10FFFF).
inline int DecodeUtf8(const unsigned char* p, const unsigned char* end, unsigned long& code) {
  unsigned char c = *p;
  if (c < 0x80) {
    code = c;
    return 1;
  }
  int length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
  if (length == 0 || c > 0xF4 || end - p < length) return 0;
  code = c & (0x7F >> length);
  for (int i = 1; i < length; ++i) {
    if ((p[i] & 0xC0) != 0x80) return 0;
    code = (code << 6) | (p[i] & 0x3F);
  }
  if ((length == 3 && code < 0x800) || (length == 4 && (code < 0x10000 || code > 0x10FFFF)) ||
      (code >= 0xD800 && code <= 0xDFFF))
    return 0;
  return length;
}

}  // namespace celcommon
