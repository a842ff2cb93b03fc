// Reads a text as the status line and the report show it back to the bytes
// it stands for, as a user reading it would: "\\", "\n", "\r", "\t", "\xHH"
// (upper-case hex) and "\…" are escapes, a bare "…" marks a cut, everything
// else stands for itself. Written apart from the program's escaping, so that
// the two check each other.
#pragma once

#include <string>

namespace quorl::test {

inline const std::string kCutMark = "\xE2\x80\xA6";

// The bytes `shown` stands for and the number of cut marks in it; false
// when a backslash begins no escape.
inline bool readShown(const std::string& shown, std::string& bytes, int* cuts = nullptr) {
  bytes.clear();
  if (cuts) *cuts = 0;
  for (size_t i = 0; i < shown.size(); i++) {
    if (shown.compare(i, kCutMark.size(), kCutMark) == 0) {
      if (!cuts) return false;
      ++*cuts;
      i += kCutMark.size() - 1;
      continue;
    }
    if (shown[i] != '\\') {
      bytes += shown[i];
      continue;
    }
    if (i + 1 >= shown.size()) return false;
    const char e = shown[++i];
    if (e == '\\' || e == 'n' || e == 'r' || e == 't') {
      bytes += e == '\\' ? '\\' : e == 'n' ? '\n' : e == 'r' ? '\r' : '\t';
    } else if (shown.compare(i, kCutMark.size(), kCutMark) == 0) {
      bytes += kCutMark;
      i += kCutMark.size() - 1;
    } else if (e == 'x' && i + 2 < shown.size() &&
               shown.substr(i + 1, 2).find_first_not_of("0123456789ABCDEF") == std::string::npos) {
      bytes += char(std::stoi(shown.substr(i + 1, 2), nullptr, 16));
      i += 2;
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace quorl::test
