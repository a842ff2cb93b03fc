// JSON reading and writing over the foundation values.
//
// Sections:
//   1. JSONError: the thrown error of parse and stringify
//   2. JSON: parse, stringify and their building blocks
//
// Values: an object is a Map with String keys in document order, an array an
// Array, a string a String, a number or a boolean a Number, null the shared
// Null. The grammar is strict JSON; positions in error texts count bytes
// from 0.
#pragma once

#include <cstdint>
#include <exception>
#include <new>

#include "Object.h"

namespace quorl {

class String;

// ---------------------------------------------------------------------------
// 1. JSONError. Thrown by value, caught by reference; `message` is shared.
class JSONError : public Object, public Error, public std::exception {
 public:
  explicit JSONError(Ref<String> message, uint32_t position = kNotFound);
  explicit JSONError(const char* message);

  Ref<String> message() const override { return message_; }
  // The byte of the text where reading stopped, or kNotFound for an error
  // of no place in a text.
  uint32_t position() const { return position_; }
  const char* what() const noexcept override;
  Ref<String> description() const override;  // the message
  const char* classNameC() const override { return "JSONError"; }

 private:
  Ref<String> message_;
  uint32_t position_ = kNotFound;
};

// ---------------------------------------------------------------------------
// 2. JSON: static operations only.
class JSON final : public Object {
 public:
  JSON() = delete;
  const char* classNameC() const override { return "JSON"; }

  // Deepest nesting of arrays and objects that is read or written.
  static constexpr uint32_t kMaxDepth = 256;

  // The value of the whole text; throws JSONError ("JSON: no text" for a
  // null text, "bad JSON at byte N: reason" for the first fault).
  //
  // Texts of up to 32 bytes that occur more than once in one document (keys,
  // names of suites and targets) come back as one shared String object:
  // treat parsed Strings as read-only and copy one before changing it.
  static Ref<Object> parse(Ptr<const String> text);
  static Ref<Object> _parseBytes(const uint8_t* bytes, uint32_t length);

  // What a parse, and whatever is built from its document, may make in
  // bytes: the parse spends on the values it builds (each at its size,
  // containers with their slots) and `perObject` more for every object;
  // the readers of the document spend on what they build of it. Spending
  // past `bytes` throws std::bad_alloc, so that a hostile file of empty
  // containers or tiny numbers cannot take memory at many times its size,
  // whichever step would take it; spending exactly `bytes` is allowed. The
  // parse pays for numbers and short texts with the container that holds
  // them, and at the latest once 16 KiB of them are unpaid; `spent` holds
  // what was spent so far.
  struct Budget {
    uint64_t bytes = UINT64_MAX;
    uint32_t perObject = 0;
    uint64_t spent = 0;

    void spend(uint64_t n) {
      if (n > bytes - spent) throw std::bad_alloc();
      spent += n;
    }
  };
  static Ref<Object> _parseBytes(const uint8_t* bytes, uint32_t length, Budget& budget);

  // Compact JSON text of the value (null writes "null"); throws JSONError
  // for what has no JSON spelling, and returns no partial text.
  static Ref<String> stringify(Ptr<const Object> value);

  // Appends one value. Pretty mode puts each element and member on its own
  // line, indented two blanks a level, and writes ": " between key and value.
  static void _write(String* out, Ptr<const Object> value, bool pretty, uint32_t depth);
  // String content with JSON escapes, over exactly `length` bytes.
  static void _appendEscaped(String* out, const uint8_t* bytes, uint32_t length);
  // A line feed and n indentation steps of two blanks.
  static void _newline(String* out, uint32_t n);
};

}  // namespace quorl
