// String: the system's mutable UTF-8 byte string, and Stdio.
//
// Sections:
//   1. FormatArg: one 64-bit argument slot of appendFormat
//   2. String
//      2a. construction, accessors           (String.cpp)
//      2b. comparison and hashing            (String.cpp)
//      2c. editing                           (String.cpp)
//      2d. search, substrings, derived texts (String.cpp; arrays in StringSplit.cpp)
//      2e. standard description text         (String.cpp)
//      2f. paths                             (StringPath.cpp; arrays in StringSplit.cpp)
//      2g. UTF-8 characters                  (StringUtf8.cpp)
//      2h. character sets                    (CharacterSet.cpp; splitOnSet in StringSplit.cpp)
//      2i. formatting                        (StringFormat.cpp)
//   3. Stdio: unbuffered standard output     (Stdout.posix.cpp / Stdout.win32.cpp)
//
// Every operation counts and indexes bytes unless its section says
// characters. Indices beyond the text clamp when editing or cutting and find
// nothing when searching; searches answer kNotFound.
#pragma once

#include <bit>
#include <concepts>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <type_traits>

#include "Object.h"

namespace quorl {

class Array;
class CharacterSet;

// ---------------------------------------------------------------------------
// 1. One argument slot of String::appendFormat. Each directive reads its slot
//    as its conversion says: integers are stored sign- or zero-extended to 64
//    bits, doubles by their bit pattern, texts and objects by address (an
//    object as its `Object*`, so %@ and %p see the same address).
struct FormatArg {
  uint64_t bits = 0;

  constexpr FormatArg() = default;
  template <std::signed_integral T>
  constexpr FormatArg(T v) : bits(static_cast<uint64_t>(static_cast<int64_t>(v))) {}
  template <std::unsigned_integral T>
  constexpr FormatArg(T v) : bits(static_cast<uint64_t>(v)) {}
  template <class T>
    requires std::is_enum_v<T>
  constexpr FormatArg(T v) : FormatArg(static_cast<std::underlying_type_t<T>>(v)) {}
  template <std::floating_point T>
  FormatArg(T v) : bits(std::bit_cast<uint64_t>(static_cast<double>(v))) {}
  FormatArg(std::nullptr_t) {}
  FormatArg(const char* text) : bits(reinterpret_cast<uintptr_t>(text)) {}
  FormatArg(const void* address) : bits(reinterpret_cast<uintptr_t>(address)) {}
  template <class T>
    requires std::is_base_of_v<Object, T>
  FormatArg(const T* object) : bits(reinterpret_cast<uintptr_t>(static_cast<const Object*>(object))) {}
  template <class T>
    requires std::is_base_of_v<Object, T>
  FormatArg(const Ref<T>& object) : FormatArg(static_cast<const T*>(object.get())) {}
  template <class T>
    requires std::is_base_of_v<Object, T>
  FormatArg(Ptr<T> object) : FormatArg(static_cast<const T*>(object.get())) {}

  int64_t asI64() const { return static_cast<int64_t>(bits); }
  double asDouble() const { return std::bit_cast<double>(bits); }
  const char* asCString() const { return reinterpret_cast<const char*>(static_cast<uintptr_t>(bits)); }
  const Object* asObject() const { return reinterpret_cast<const Object*>(static_cast<uintptr_t>(bits)); }
};

// ---------------------------------------------------------------------------
// 2. String. The buffer, when present, holds capacity + 1 bytes and always a
//    NUL at index length; 0 bytes inside the text are kept by every byte
//    operation, while operations that go through a NUL-terminated view stop
//    at the first one: withCString, withString and what copies through it
//    (copy, description, appending, uppercased, lowercased, the comparisons
//    ignoring case, the "copy of self" results of replacing, trimmed and
//    splitOnSet with no target or set, deletingPathExtension with no
//    extension, the copy replaceOccurrences takes when this string is its
//    own target or replacement) and asCharacterSet.
class String : public Object, public Copying {
 public:
  // An empty string has no buffer and capacity 0 until it first grows.
  String() = default;
  explicit String(const char* text);
  String(const void* bytes, uint32_t count);
  explicit String(std::string_view text);
  String(const String& other);
  String(String&& other) noexcept;
  String& operator=(const String& other);
  String& operator=(String&& other) noexcept;
  ~String() override = default;

  // -- 2a. Construction (each answers a new String) --------------------------
  static Ref<String> withCString(const char* text);  // text must not be null
  static Ref<String> withBytes(const void* bytes, uint32_t count);
  static Ref<String> withString(Ptr<const String> other);  // null gives ""
  static Ref<String> withU32(uint32_t value);
  static Ref<String> withU64(uint64_t value);
  static Ref<String> withI32(int32_t value);
  static Ref<String> withI64(int64_t value);
  // Convenience for the formatting directives of section 2i.
  template <class... Args> static Ref<String> withFormat(const char* format, const Args&... args) {
    Ref<String> s = make<String>();
    s->appendFormat(format, args...);
    return s;
  }

  Ref<String> description() const override;
  const char* classNameC() const override { return "String"; }
  Ref<String> copy() const;
  Ref<Object> copyObject() const override;

  // Accessors.
  uint32_t byteLength() const { return length_; }
  bool isEmpty() const { return length_ == 0; }
  uint32_t capacity() const { return capacity_; }
  uint8_t byteAt(uint32_t index) const { return bytes_.get()[index]; }  // index < byteLength
  const char* cString() const;                                           // never null
  std::unique_ptr<char[]> copyCString() const;                           // all bytes, then NUL
  uint32_t getBytes(void* buffer, uint32_t max) const;
  // Pointer to byte `index` of the buffer; the writable form makes the
  // buffer (capacity 16) when there is none yet.
  const uint8_t* _bytesAt(uint32_t index) const;
  uint8_t* _bytesAt(uint32_t index);
  // All length bytes, 0 bytes included; valid until the string changes.
  std::string_view view() const { return {cString(), length_}; }
  static uint32_t _cstringLen(const char* text);

  // -- 2b. Comparison and hashing ---------------------------------------------
  // The Object forms answer false / 0 for null or a non-String. The String
  // forms are the fast paths; a null String answers false / 0 as well.
  bool equals(Ptr<const Object> other) const override;
  bool equals(const String* other) const;
  bool equals(const String& other) const { return equals(&other); }
  bool equals(Ptr<const String> other) const { return equals(other.get()); }
  template <class T>
    requires std::is_base_of_v<String, T>
  bool equals(const Ref<T>& other) const { return equals(static_cast<const String*>(other.get())); }

  bool hasCompare() const override { return true; }
  int8_t compare(Ptr<const Object> other) const override;
  int8_t compare(const String* other) const;
  int8_t compare(const String& other) const { return compare(&other); }
  int8_t compare(Ptr<const String> other) const { return compare(other.get()); }
  template <class T>
    requires std::is_base_of_v<String, T>
  int8_t compare(const Ref<T>& other) const { return compare(static_cast<const String*>(other.get())); }

  uint32_t hash() const override;  // FNV-1a over all bytes
  // 32-bit FNV-1a of n bytes: the hash of String, of Data and of a Map key
  // looked up by its bytes, which must agree.
  static uint32_t _fnv1a(const void* bytes, uint32_t n);
  // Compares the texts up to their first 0 byte with ASCII letters folded to
  // small letters; 0 for a null argument.
  int8_t caseInsensitiveCompare(Ptr<const String> other) const;
  // A null argument answers TRUE (caseInsensitiveCompare gives 0 for null).
  // Every caller comparing a field that may be missing must test it for null
  // first, or a missing field matches everything.
  bool equalsIgnoringCase(Ptr<const String> other) const;

  // -- 2c. Editing (in place; the NUL after the text is kept) ----------------
  void reserve(uint32_t n);
  void append(Ptr<const String> other);  // appending a string to itself doubles it
  void appendCString(const char* text);  // text must not be null
  void appendByte(uint8_t byte) {
    if (length_ < capacity_ && !frozen_) {
      uint8_t* b = bytes_.get();
      b[length_++] = byte;
      b[length_] = 0;
      return;
    }
    appendBytes(&byte, 1);
  }
  void appendBytes(const void* bytes, uint32_t count);
  Ref<String> appending(Ptr<const String> other) const;
  void insertAtByte(uint32_t at, Ptr<const String> other);
  void insertCStringAtByte(uint32_t at, const char* text);  // text must not be null
  void insertByte(uint32_t at, uint8_t byte);
  void deleteByteRange(uint32_t at, uint32_t count);
  void replaceByteRange(uint32_t at, uint32_t count, Ptr<const String> other);
  void clear();  // keeps the buffer for reuse
  // For writers that fill the buffer in place (the JSON writer): room for
  // n more bytes after the text, grown as `reserve` grows, answered as a
  // pointer to the first of them, whose contents are undefined; null when
  // the text could not reach that length. `_setByteLength` then makes the
  // first n bytes of the buffer the text (n at most the capacity, else
  // nothing happens) and puts the NUL after them.
  uint8_t* _appendRoom(uint32_t n);
  void _setByteLength(uint32_t n);
  void setTo(Ptr<const String> other);
  void setCString(const char* text);  // text must not be null
  uint32_t replaceOccurrences(Ptr<const String> target, Ptr<const String> replacement);

  // A frozen text can no longer change: every edit is refused, reported as
  // an error line on standard output, and leaves the text as it is. The
  // JSON reader freezes each short text it hands out to more than one place
  // (keys, names of suites and targets), so that editing one value cannot
  // change the others; `copy` gives a text that can change.
  void _freeze() { frozen_ = true; }
  bool isFrozen() const { return frozen_; }

  // -- 2d. Search, substrings and derived texts --------------------------------
  uint32_t indexOfByte(uint8_t byte) const;
  uint32_t lastIndexOfByte(uint8_t byte) const;
  uint32_t byteIndexOf(Ptr<const String> other) const { return byteIndexOf(other, 0); }
  uint32_t byteIndexOf(Ptr<const String> other, uint32_t from) const;
  bool contains(Ptr<const String> other) const { return byteIndexOf(other, 0) != kNotFound; }
  bool hasPrefix(Ptr<const String> other) const;
  bool hasSuffix(Ptr<const String> other) const;
  bool _matchesAt(uint32_t at, Ptr<const String> other) const;

  Ref<String> substringFromByte(uint32_t start) const;
  Ref<String> substringBytes(uint32_t start, uint32_t count) const;
  Ref<String> substringToByte(uint32_t end) const { return substringBytes(0, end); }
  Ref<String> uppercased() const;
  Ref<String> lowercased() const;
  Ref<String> trimmed() const;  // space, TAB, LF, CR only
  Ref<Array> splitOnByte(uint8_t separator) const;
  Ref<String> replacing(Ptr<const String> target, Ptr<const String> replacement) const;

  // -- 2e. Standard description text: <Name>(v0, v1, ...) ---------------------
  // Values with k < 8 and bit k of signedMask set print as signed 16-bit,
  // the rest as unsigned 16-bit. The text is built in a 256-byte scratch
  // buffer; anything past its 255th byte is cut off.
  static Ref<String> _classDescribe(const char* name, const uint16_t* values, uint8_t n, uint8_t signedMask);
  // Scratch-buffer writers: `buffer` holds 256 bytes; each writes from `pos`
  // and answers the new position, stopping at 255 so a NUL always fits.
  static uint8_t _appendCStr(char* buffer, uint8_t pos, const char* text);
  static uint8_t _appendU16(char* buffer, uint8_t pos, uint16_t value);
  static uint8_t _appendI16(char* buffer, uint8_t pos, int16_t value);

  // -- 2f. Paths: '/' and '\' both separate; built paths use '/' -------------
  uint32_t _lastComponentEnd() const;
  uint32_t _lastComponentStart(uint32_t end) const;
  bool isAbsolutePath() const;
  Ref<String> lastPathComponent() const;
  // lastPathComponent by one platform's rule: with `backslashSeparates`
  // false only '/' separates, and a '\' is part of a name (POSIX).
  Ref<String> lastPathComponent(bool backslashSeparates) const;
  Ref<String> deletingLastPathComponent() const;
  uint32_t _extensionDot() const;
  Ref<String> pathExtension() const;
  Ref<String> deletingPathExtension() const;
  Ref<String> appendingPathComponent(Ptr<const String> component) const;
  Ref<String> appendingPathExtension(Ptr<const String> extension) const;
  Ref<Array> pathComponents() const;
  static Ref<String> pathWithComponents(Ptr<const Array> components);
  Ref<String> normalizedPath() const;

  // -- 2g. UTF-8 characters (positions are byte indices) ---------------------
  uint32_t _decodeLenAt(uint32_t i) const;  // 0: invalid, cut off or at the end
  // The strict decoder behind the character operations, for any byte buffer:
  // the length (1-4) of the well-formed sequence at `bytes` within
  // `available` bytes, with its code point in `codePoint` when not null; 0
  // when the sequence is invalid or cut off.
  static uint32_t _decodeUtf8(const uint8_t* bytes, uint32_t available, uint32_t* codePoint);
  // The encoder behind appendChar: the bytes (1-4) of the code point in
  // `out`; surrogates and values past U+10FFFF become U+FFFD.
  static uint32_t _encodeUtf8(uint32_t codePoint, uint8_t out[4]);
  bool isCharBoundary(uint32_t i) const;
  // The length of the longest prefix of `bytes` (of `length` bytes) that is
  // at most `limit` bytes and does not end inside a UTF-8 sequence: the one
  // rule for cutting text to fit a buffer or a field.
  static size_t utf8Prefix(const char* bytes, size_t length, size_t limit);
  uint32_t charCount() const;
  uint32_t charAtByte(uint32_t i) const;  // U+FFFD where nothing decodes
  uint32_t charByteLength(uint32_t i) const;
  uint32_t nextCharByte(uint32_t i) const;
  uint32_t prevCharByte(uint32_t i) const;
  uint32_t byteIndexOfChar(uint32_t n) const;
  uint32_t charAt(uint32_t n) const;
  Ref<String> substringChars(uint32_t start, uint32_t count) const;
  void appendChar(uint32_t codePoint);  // surrogates and values past U+10FFFF become U+FFFD
  bool isValidUtf8() const;
  Ref<String> sanitizedUtf8() const;

  // -- 2h. Character sets (bytes, not characters) ----------------------------
  uint32_t byteIndexOfSet(Ptr<const CharacterSet> set) const;
  uint32_t lastByteIndexOfSet(Ptr<const CharacterSet> set) const;
  bool containsByteFromSet(Ptr<const CharacterSet> set) const { return byteIndexOfSet(set) != kNotFound; }
  Ref<String> trimmed(Ptr<const CharacterSet> set) const;
  Ref<Array> splitOnSet(Ptr<const CharacterSet> set) const;
  Ref<CharacterSet> asCharacterSet() const;

  // -- 2i. Formatting. These members live in StringFormat.cpp. ---------------
  // printf-like directives plus %@ (an object's description); every argument
  // becomes one FormatArg slot, consumed left to right.
  template <class... Args> void appendFormat(const char* format, const Args&... args) {
    const FormatArg slots[sizeof...(Args) + 1] = {FormatArg(args)..., FormatArg()};
    appendFormatArgs(format, slots, static_cast<uint32_t>(sizeof...(Args)));
  }
  // The slot form behind appendFormat; a directive reading past `count`
  // slots reads 0.
  void appendFormatArgs(const char* format, const FormatArg* args, uint32_t count);
  virtual void _fmtOut(Ptr<const String> prefix, Ptr<const String> body, int32_t width, bool left, bool zero);
  static Ref<String> _fmtDigits(uint64_t value, uint32_t base, bool upper, int32_t precision);
  virtual void _fmtFloat(double value, uint8_t conversion, int32_t precision, int32_t width, bool left,
                         bool plus, bool space, bool alt, bool zero);
  virtual void _appendU32(uint32_t value);
  virtual void _appendI32(int32_t value);
  virtual void _appendHex(uint32_t value, uint8_t n);
  virtual void _appendHex64(uint64_t value, uint8_t n);
  virtual void _truncateTo(uint32_t n);
  virtual void _padTo(uint32_t start, uint32_t width, bool zero);

 private:
  void _reserve(uint32_t n);
  void _splice(uint32_t at, uint32_t count, const uint8_t* bytes, uint32_t m);
  void _appendDecimal(uint64_t magnitude);
  void _adopt(const void* bytes, uint32_t count);  // fresh buffer, capacity = count
  bool _refuseChange() const;                        // true (and said) when frozen

  // Holds capacity + 1 bytes once made; a fresh string has none.
  struct Bytes : PoolBytes {
    uint8_t* get() const { return PoolBytes::get(); }
  } bytes_;
  uint32_t length_ = 0;
  uint32_t capacity_ = 0;
  bool frozen_ = false;
};

// ---------------------------------------------------------------------------
// 3. Stdio: writes straight to standard output, unbuffered. Pending C stdio
//    output is flushed first so the two never interleave out of order. On
//    Windows a real console gets the text as UTF-16 (so UTF-8 shows correctly
//    whatever the console code page); a pipe or file gets the bytes unchanged.
//    Each write answers whether all its bytes went out: a full disk, a
//    closed or missing standard output, a pipe nobody reads answer false.
class Stdio {
 public:
  Stdio() = delete;
  static bool _emitStr(const char* text);  // up to the NUL; null writes nothing
  static bool _putString(Ptr<const String> string);  // all bytes, 0 bytes included
  // The platform write behind both: all `count` bytes, in order.
  static bool _write(const void* bytes, uint32_t count);

  // An outside text (a server's words, a file or folder name, a text read
  // from a document) as one line that is safe to show on the status line or
  // to print, and that cannot pass for another text. Written as escapes
  // ("\n", "\r", "\t", "\\", "\x1B", "\xE2\x80\xAE"): line breaks, tabs, every
  // other control character (C0, DEL, C1), the line and paragraph
  // separators, every format character (Unicode's category Cf: the
  // bidirectional controls, the zero-width characters, the byte-order mark,
  // the tags, the interlinear annotation marks...), the other characters
  // that Unicode has a renderer show as nothing (the default ignorable code
  // points: variation selectors, Hangul fillers, and those not yet
  // assigned), the noncharacters, every byte that is not UTF-8, and the
  // backslash itself. A "…" of the text is written "\…": a bare one
  // marks where a text was cut. The other characters stay as they are.
  // Reading the escapes back gives the very bytes. A text longer than
  // `limit` bytes is cut first at a character boundary within them
  // (String::utf8Prefix) and "…" follows, so that no whole text reads as
  // a cut one. The one home of that rule: every outside text on its way to
  // standard output or the status line goes through it.
  static Ref<String> lineOf(const uint8_t* bytes, uint32_t length, uint32_t limit = kNotFound);
  static Ref<String> lineOf(Ptr<const String> text, uint32_t limit = kNotFound);  // null: the empty text
  // Whether lineOf writes the character `codePoint` as anything but itself.
  static bool _escapes(uint32_t codePoint);

  // Bytes of one outside text that a status, report or log line quotes, and
  // bytes of a whole such line: a server's 40 kB reason or a 60 kB id makes
  // no line longer than a screen can tell.
  static constexpr uint32_t kQuoteLimit = 512;
  static constexpr uint32_t kLineLimit = 4096;
  // An outside text to be put into a line of the program's own words: its
  // lineOf, at most `limit` of its bytes. Null gives the empty text.
  static Ref<String> quote(const uint8_t* bytes, uint32_t length, uint32_t limit = kQuoteLimit);
  static Ref<String> quote(Ptr<const String> text, uint32_t limit = kQuoteLimit);
  // A line of the program's own words holding outside texts as quote gives
  // them, as the status line and the report show it: its escapes and its
  // cut marks stay; whatever else lineOf escapes is escaped (a backslash
  // that begins no escape among them), so that a text that came in without
  // quote still makes one line. A line longer than `limit` bytes is cut
  // between two of its characters or escapes, and "…" follows. Its words
  // come first and the outside texts last, so that a cut takes those.
  static Ref<String> lineOfQuoted(Ptr<const String> line, uint32_t limit = kLineLimit);
};

}  // namespace quorl
