// String formatting: appendFormat and the number-appending helpers.
//
// Sections:
//   1. Helpers: padding runs, digit strings
//   2. Items: how one formatted item reaches the receiver
//   3. appendFormatArgs: the directive parser
//   4. The virtual item operations (_fmtOut, _fmtFloat) and _fmtDigits
//   5. Number appending, truncation and padding
//
// A receiver that is exactly a String writes every item straight into its
// buffer: what its own _fmtOut and _fmtFloat would do, without building the
// temporary prefix and body Strings. A subclass gets the virtual calls with
// real Strings, so an override of either still sees every item.
#include <cstring>
#include <typeinfo>

#include "FloatPrint.h"
#include "String.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. Helpers
namespace {

void appendRun(String& s, char c, uint64_t n) {
  char chunk[64];
  std::memset(chunk, c, sizeof chunk);
  while (n > 0) {
    uint32_t step = n < sizeof chunk ? static_cast<uint32_t>(n) : static_cast<uint32_t>(sizeof chunk);
    uint32_t before = s.byteLength();
    s.appendBytes(chunk, step);
    if (s.byteLength() == before) return;  // the string is full
    n -= step;
  }
}

// Digits of value in base 2..36, most significant first, none for 0.
uint32_t digitsOf(uint64_t value, uint32_t base, bool upper, char* out) {
  const char* alphabet = upper ? "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ" : "0123456789abcdefghijklmnopqrstuvwxyz";
  char tmp[64];
  uint32_t n = 0;
  for (; value != 0; value /= base) tmp[n++] = alphabet[value % base];
  for (uint32_t i = 0; i < n; ++i) out[i] = tmp[n - 1 - i];
  return n;
}

// Padding of an item of `total` bytes to `width` (a negative width pads
// nothing).
uint64_t padFor(int32_t width, uint64_t total) {
  return width > 0 && static_cast<uint64_t>(width) > total ? static_cast<uint64_t>(width) - total : 0;
}

// ---------------------------------------------------------------------------
// 2. One item: prefix, then `zeros` precision zeros and `length` body bytes.
struct Item {
  const char* prefix = "";
  uint32_t prefixLength = 0;
  uint64_t zeros = 0;
  const char* body = "";
  uint32_t length = 0;
};

void emit(String& s, bool plain, const Item& item, int32_t width, bool left, bool zero) {
  if (!plain) {
    Ref<String> prefix = String::withBytes(item.prefix, item.prefixLength);
    Ref<String> body = make<String>();
    appendRun(*body, '0', item.zeros);
    body->appendBytes(item.body, item.length);
    s._fmtOut(prefix, body, width, left, zero);
    return;
  }
  uint64_t pad = padFor(width, uint64_t{item.prefixLength} + item.zeros + item.length);
  if (!left && !zero) appendRun(s, ' ', pad);
  s.appendBytes(item.prefix, item.prefixLength);
  if (!left && zero) appendRun(s, '0', pad);
  appendRun(s, '0', item.zeros);
  s.appendBytes(item.body, item.length);
  if (left) appendRun(s, ' ', pad);
}

// An integer body: digits, with zeros in front up to the precision.
struct Digits {
  char text[64];
  uint32_t length;
  uint64_t zeros;
};

Digits integerDigits(uint64_t value, uint32_t base, bool upper, int32_t precision) {
  Digits d;
  d.length = digitsOf(value, base, upper, d.text);
  uint64_t minimum = precision < 0 ? 1 : static_cast<uint64_t>(precision);
  d.zeros = minimum > d.length ? minimum - d.length : 0;
  return d;
}

}  // namespace

// ---------------------------------------------------------------------------
// 3. appendFormatArgs
void String::appendFormatArgs(const char* format, const FormatArg* args, uint32_t count) {
  if (format == nullptr) return;
  const bool plain = typeid(*this) == typeid(String);
  uint32_t next = 0;
  auto take = [&]() -> uint64_t {
    uint64_t v = next < count && args != nullptr ? args[next].bits : 0;
    ++next;
    return v;
  };

  const char* f = format;
  for (;;) {
    const char* run = f;
    while (*f != '\0' && *f != '%') ++f;
    if (f != run) appendBytes(run, static_cast<uint32_t>(f - run));
    if (*f == '\0') return;
    ++f;

    bool left = false, plus = false, space = false, alt = false, zero = false;
    for (;; ++f) {
      if (*f == '-')
        left = true;
      else if (*f == '+')
        plus = true;
      else if (*f == ' ')
        space = true;
      else if (*f == '#')
        alt = true;
      else if (*f == '0')
        zero = true;
      else
        break;
    }

    // Widths and precisions accumulate in 32 bits and wrap; a wrapped
    // (negative) width pads nothing.
    int32_t width = 0;
    if (*f == '*') {
      int32_t w = static_cast<int32_t>(static_cast<uint32_t>(take()));
      if (w < 0) {
        left = true;
        width = static_cast<int32_t>(0u - static_cast<uint32_t>(w));
      } else {
        width = w;
      }
      ++f;
    } else {
      uint32_t w = 0;
      for (; *f >= '0' && *f <= '9'; ++f) w = w * 10 + static_cast<uint32_t>(*f - '0');
      width = static_cast<int32_t>(w);
    }

    int32_t precision = -1;
    if (*f == '.') {
      ++f;
      if (*f == '*') {
        int32_t p = static_cast<int32_t>(static_cast<uint32_t>(take()));
        precision = p < 0 ? -1 : p;
        ++f;
      } else {
        uint32_t p = 0;
        for (; *f >= '0' && *f <= '9'; ++f) p = p * 10 + static_cast<uint32_t>(*f - '0');
        precision = static_cast<int32_t>(p);
      }
    }

    uint8_t length = 0;
    if (*f == 'h') {
      length = f[1] == 'h' ? 1 : 2;
      f += f[1] == 'h' ? 2 : 1;
    } else if (*f == 'l') {
      length = f[1] == 'l' ? 4 : 3;
      f += f[1] == 'l' ? 2 : 1;
    } else if (*f == 'j' || *f == 'L') {
      length = 4;
      ++f;
    } else if (*f == 'z' || *f == 't') {
      length = 5;
      ++f;
    }

    const char c = *f;
    if (c == '\0') return;  // an unfinished directive ends the call
    ++f;

    Item item;
    switch (c) {
      case '%':
        appendByte('%');
        break;

      case 'd':
      case 'i': {
        uint64_t bits = take();
        int64_t v = length == 0   ? static_cast<int32_t>(static_cast<uint32_t>(bits))
                    : length == 1 ? static_cast<int8_t>(static_cast<uint8_t>(bits))
                    : length == 2 ? static_cast<int16_t>(static_cast<uint16_t>(bits))
                                  : static_cast<int64_t>(bits);
        uint64_t magnitude = v < 0 ? 0 - static_cast<uint64_t>(v) : static_cast<uint64_t>(v);
        Digits d = integerDigits(magnitude, 10, false, precision);
        item.prefix = v < 0 ? "-" : plus ? "+" : space ? " " : "";
        item.prefixLength = v < 0 || plus || space ? 1 : 0;
        item.zeros = d.zeros;
        item.body = d.text;
        item.length = d.length;
        emit(*this, plain, item, width, left, zero && precision < 0);
        break;
      }

      case 'u':
      case 'x':
      case 'X':
      case 'o': {
        uint64_t bits = take();
        uint64_t v = length == 0   ? static_cast<uint32_t>(bits)
                     : length == 1 ? static_cast<uint8_t>(bits)
                     : length == 2 ? static_cast<uint16_t>(bits)
                                   : bits;
        uint32_t base = c == 'u' ? 10 : c == 'o' ? 8 : 16;
        Digits d = integerDigits(v, base, c == 'X', precision);
        if (alt && c != 'u') {
          if (c == 'o') {
            // The body already begins with '0' exactly when it has precision zeros.
            if (d.zeros == 0) item.prefix = "0", item.prefixLength = 1;
          } else if (v != 0) {
            item.prefix = c == 'x' ? "0x" : "0X";
            item.prefixLength = 2;
          }
        }
        item.zeros = d.zeros;
        item.body = d.text;
        item.length = d.length;
        emit(*this, plain, item, width, left, zero && precision < 0);
        break;
      }

      case 'c': {
        char byte = static_cast<char>(take());
        item.body = &byte;
        item.length = 1;
        emit(*this, plain, item, width, left, false);
        break;
      }

      case 's': {
        const char* text = reinterpret_cast<const char*>(static_cast<uintptr_t>(take()));
        if (text == nullptr) text = "(null)";
        // With a precision only that many bytes are looked at, so a
        // precision-bounded buffer needs no terminating NUL.
        uint32_t n = 0;
        if (precision >= 0) {
          const void* nul = std::memchr(text, 0, static_cast<size_t>(precision));
          n = nul ? static_cast<uint32_t>(static_cast<const char*>(nul) - text) : static_cast<uint32_t>(precision);
        } else {
          n = _cstringLen(text);
        }
        // Text inside this very string would move as the string grows.
        Ref<String> own;
        const char* mine = cString();
        if (text >= mine && text <= mine + capacity()) {
          own = String::withBytes(text, n);
          text = own->cString();
        }
        item.body = text;
        item.length = n;
        emit(*this, plain, item, width, left, false);
        break;
      }

      case '@': {
        const Object* object = reinterpret_cast<const Object*>(static_cast<uintptr_t>(take()));
        Ref<String> description = object ? object->description() : nullptr;
        const char* text = description ? description->cString() : "(null)";
        uint32_t n = description ? description->byteLength() : 6;
        if (precision >= 0 && static_cast<uint32_t>(precision) < n) n = static_cast<uint32_t>(precision);
        item.body = text;
        item.length = n;
        emit(*this, plain, item, width, left, false);
        break;
      }

      case 'p': {
        Digits d = integerDigits(take(), 16, false, -1);
        item.prefix = "0x";
        item.prefixLength = 2;
        item.zeros = d.zeros;
        item.body = d.text;
        item.length = d.length;
        emit(*this, plain, item, width, left, false);
        break;
      }

      case 'f':
      case 'F':
      case 'e':
      case 'E':
      case 'g':
      case 'G': {
        FormatArg slot;
        slot.bits = take();
        double value = slot.asDouble();
        if (plain)
          String::_fmtFloat(value, static_cast<uint8_t>(c), precision, width, left, plus, space, alt, zero);
        else
          _fmtFloat(value, static_cast<uint8_t>(c), precision, width, left, plus, space, alt, zero);
        break;
      }

      case 'n':
        take();
        break;

      default:
        appendByte('%');
        appendByte(static_cast<uint8_t>(c));
        break;
    }
  }
}

// ---------------------------------------------------------------------------
// 4. Item operations
void String::_fmtOut(Ptr<const String> prefix, Ptr<const String> body, int32_t width, bool left, bool zero) {
  uint32_t prefixLength = prefix ? prefix->byteLength() : 0;
  uint32_t bodyLength = body ? body->byteLength() : 0;
  uint64_t pad = padFor(width, uint64_t{prefixLength} + bodyLength);
  if (left) {
    append(prefix);
    append(body);
    appendRun(*this, ' ', pad);
  } else if (zero) {
    append(prefix);
    appendRun(*this, '0', pad);
    append(body);
  } else {
    appendRun(*this, ' ', pad);
    append(prefix);
    append(body);
  }
}

Ref<String> String::_fmtDigits(uint64_t value, uint32_t base, bool upper, int32_t precision) {
  if (base < 2) base = 2;  // base 0 or 1 would never finish
  if (base > 36) base = 36;
  Digits d = integerDigits(value, base, upper, precision);
  Ref<String> s = make<String>();
  appendRun(*s, '0', d.zeros);
  s->appendBytes(d.text, d.length);
  return s;
}

void String::_fmtFloat(double value, uint8_t conversion, int32_t precision, int32_t width, bool left, bool plus,
                       bool space, bool alt, bool zero) {
  if (typeid(*this) == typeid(String)) {
    TextBuffer out;
    FloatPrint::item(out, value, conversion, precision, width, left, plus, space, alt, zero);
    if (out.size() <= 0xFFFFFFFFu - byteLength()) appendBytes(out.data(), static_cast<uint32_t>(out.size()));
    return;
  }
  TextBuffer prefix, body;
  bool finite = FloatPrint::parts(prefix, body, value, conversion, precision, plus, space, alt);
  if (body.size() > 0xFFFFFFFFu) return;
  _fmtOut(String::withBytes(prefix.data(), static_cast<uint32_t>(prefix.size())),
          String::withBytes(body.data(), static_cast<uint32_t>(body.size())), width, left, zero && finite);
}

// ---------------------------------------------------------------------------
// 5. Number appending, truncation and padding
void String::_appendU32(uint32_t value) {
  char text[10];
  uint32_t n = digitsOf(value, 10, false, text);
  if (n == 0) text[n++] = '0';
  appendBytes(text, n);
}

void String::_appendI32(int32_t value) {
  if (value < 0) {
    appendByte('-');
    char text[10];
    appendBytes(text, digitsOf(0u - static_cast<uint32_t>(value), 10, false, text));
    return;
  }
  _appendU32(static_cast<uint32_t>(value));
}

void String::_appendHex(uint32_t value, uint8_t n) {
  if (n > 8) n = 8;
  for (int i = n - 1; i >= 0; --i) appendByte(static_cast<uint8_t>("0123456789ABCDEF"[(value >> (4 * i)) & 0xF]));
}

void String::_appendHex64(uint64_t value, uint8_t n) {
  if (n > 16) n = 16;
  for (int i = n - 1; i >= 0; --i) appendByte(static_cast<uint8_t>("0123456789ABCDEF"[(value >> (4 * i)) & 0xF]));
}

void String::_truncateTo(uint32_t n) {
  if (n < byteLength()) deleteByteRange(n, byteLength() - n);
}

void String::_padTo(uint32_t start, uint32_t width, bool zero) {
  if (start > byteLength()) start = byteLength();
  uint32_t have = byteLength() - start;
  if (have >= width) return;
  Ref<String> fill = make<String>();
  appendRun(*fill, zero ? '0' : ' ', width - have);
  insertAtByte(start, fill);
}

}  // namespace quorl
