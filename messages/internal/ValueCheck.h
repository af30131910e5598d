// Values that must not travel in a request document: control characters and
// byte sequences that are not UTF-8. The server's XML parser would turn a
// newline in an attribute into a blank (a checkpoint named "a\nb" is created
// as "a b") or refuse the whole document; a caller's typo must end in a clear
// refusal before anything is sent, never in an object of another name.
//
// Every value reaches a request document through XmlEscape, so that is where
// the values are checked: while a ValueCheck lives on a thread, XmlEscape and
// XmlAttr on that thread note the first value they meet that is refused, and
// the request cycle refuses to send the document.
#pragma once

#include <string>

namespace celerra_internal {

// What is wrong with `value`, or empty when it may be sent: "control
// character U+000A at byte 4" or "invalid UTF-8 at byte 2". Tab, line feed
// and every other C0 and C1 control character, and DEL, are refused.
std::string RefusedText(const std::string& value);

class ValueCheck {
 public:
  ValueCheck();
  ~ValueCheck();
  ValueCheck(const ValueCheck&) = delete;
  ValueCheck& operator=(const ValueCheck&) = delete;

  // Why the first refused value was refused (naming its attribute when it was
  // written as one), or empty when every value so far was fine.
  const std::string& refused() const { return m_Refused; }

  // Called by XmlEscape and XmlAttr; `attribute` may be null.
  static void Note(const char* attribute, const std::string& value);

 private:
  std::string m_Refused;
  ValueCheck* m_Outer;
};

}  // namespace celerra_internal
