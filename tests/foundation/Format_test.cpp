// String::appendFormat: every directive, flags, widths, precisions, argument
// reading, object printing, and the number-appending helpers.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl {
namespace {

std::string Fmt(const char* format, std::vector<FormatArg> args) {
  String s;
  s.appendFormatArgs(format, args.data(), static_cast<uint32_t>(args.size()));
  return std::string(s.view());
}

struct Case {
  const char* format;
  std::vector<FormatArg> args;
  std::string expected;
};

void RunTable(const std::vector<Case>& table) {
  for (const Case& c : table) EXPECT_EQ(Fmt(c.format, c.args), c.expected) << "format: " << c.format;
}

TEST(Format, PlainTextAndEndings) {
  RunTable({
      {"", {}, ""},
      {"abc", {}, "abc"},
      {"abc%", {}, "abc"},          // ends inside a directive
      {"x%-", {}, "x"},             // unfinished directive appends nothing
      {"a%-5", {1}, "a"},           // nor does one ending after its width
      {"%5%", {}, "%"},
      {"%-08.3%|", {}, "%|"},
      {"%q", {}, "%q"},
      {"%q%d", {7}, "%q7"},         // %q consumes no argument
      {"%5.2q", {}, "%q"},          // flags, width and precision dropped
      {"\xC3\xA9%d\xE2\x82\xAC", {1}, "\xC3\xA9" "1\xE2\x82\xAC"},
  });
}

TEST(Format, SignedIntegers) {
  const uint64_t lowOnes = 0xABCD1234FFFFFFFFull;
  RunTable({
      {"%d", {0}, "0"},
      {"%d", {-42}, "-42"},
      {"%i", {2147483647}, "2147483647"},
      {"%d", {INT32_MIN}, "-2147483648"},
      {"%d", {FormatArg(lowOnes)}, "-1"},  // only the low 32 bits count
      {"%hhd", {255}, "-1"},
      {"%hhd", {0x17F}, "127"},
      {"%hd", {0x18000}, "-32768"},
      {"%ld", {INT64_MIN}, "-9223372036854775808"},
      {"%lld", {INT64_MIN}, "-9223372036854775808"},
      {"%jd", {INT64_MAX}, "9223372036854775807"},
      {"%zd", {int64_t{-5000000000}}, "-5000000000"},
      {"%td", {int64_t{5000000000}}, "5000000000"},
      {"%Ld", {int64_t{-1}}, "-1"},
      {"%+d", {5}, "+5"},
      {"% d", {5}, " 5"},
      {"%+ d", {5}, "+5"},
      {"% +d", {-5}, "-5"},
      {"%+d", {0}, "+0"},
      {"%5d", {42}, "   42"},
      {"%-5d|", {42}, "42   |"},
      {"%05d", {-42}, "-0042"},
      {"%+05d", {42}, "+0042"},
      {"%-05d|", {7}, "7    |"},
      {"%08.3d", {7}, "     007"},  // a precision turns zero padding off
      {"%.3d", {-7}, "-007"},
      {"%.0d", {0}, ""},
      {"%3.0d|", {0}, "   |"},
      {"%.d", {0}, ""},
      {"%1d", {12345}, "12345"},
      {"%.20d", {1}, "00000000000000000001"},
      {"%.40d", {5}, std::string(39, '0') + "5"},  // beyond any digit buffer
  });
}

TEST(Format, UnsignedOctalHex) {
  RunTable({
      {"%u", {-1}, "4294967295"},
      {"%+u", {5}, "5"},
      {"% u", {5}, "5"},
      {"%hu", {65537}, "1"},
      {"%hhu", {0x1FF}, "255"},
      {"%lu", {uint64_t{UINT64_MAX}}, "18446744073709551615"},
      {"%llu", {int64_t{-1}}, "18446744073709551615"},
      {"%x", {255}, "ff"},
      {"%X", {255}, "FF"},
      {"%#x", {255}, "0xff"},
      {"%#X", {255}, "0XFF"},
      {"%#x", {0}, "0"},
      {"%#08x", {255}, "0x0000ff"},
      {"%-#8x|", {255}, "0xff    |"},
      {"%.0x", {0}, ""},
      {"%5.0x", {0}, "     "},
      {"%#.4x", {10}, "0x000a"},
      {"%llx", {uint64_t{0xDEADBEEFCAFEF00Dull}}, "deadbeefcafef00d"},
      {"%x", {uint64_t{0xDEADBEEFCAFEF00Dull}}, "cafef00d"},
      {"%o", {8}, "10"},
      {"%#o", {8}, "010"},
      {"%#o", {0}, "0"},
      {"%#.0o", {0}, "0"},
      {"%.0o", {0}, ""},
      {"%#.3o", {8}, "010"},   // the body already begins with 0
      {"%#.2o", {8}, "010"},
      {"%#5o", {8}, "  010"},
      {"%#05o", {8}, "00010"},
      {"%llo", {uint64_t{UINT64_MAX}}, "1777777777777777777777"},
  });
}

TEST(Format, StarWidthAndPrecision) {
  RunTable({
      {"%*d|", {-6, 42}, "42    |"},
      {"%*d|", {6, 42}, "    42|"},
      {"%-*d|", {6, 42}, "42    |"},
      {"%.*d", {-1, 0}, "0"},
      {"%.*d", {3, 5}, "005"},
      {"%*.*f", {8, 2, 3.14159}, "    3.14"},
      {"%*d", {INT32_MIN, 1}, "1"},  // negated it still reads negative: no padding
      {"%2147483648d", {1}, "1"},     // wraps to a negative width
  });
}

TEST(Format, CharactersAndTexts) {
  const char* null = nullptr;
  std::string withNul = Fmt("a%cb", {0});
  EXPECT_EQ(withNul, std::string("a\0b", 3));
  RunTable({
      {"%c", {'A'}, "A"},
      {"%c", {0x141}, "A"},  // low byte only
      {"%3c|", {'x'}, "  x|"},
      {"%-3c|", {'x'}, "x  |"},
      {"%03c", {'x'}, "  x"},
      {"%.0c", {'x'}, "x"},
      {"%s", {"hello"}, "hello"},
      {"%s", {null}, "(null)"},
      {"%.3s", {null}, "(nu"},
      {"%.2s", {"hello"}, "he"},
      {"%.10s", {"hi"}, "hi"},
      {"%.0s|", {"hi"}, "|"},
      {"%5s", {"ab"}, "   ab"},
      {"%05s", {"ab"}, "   ab"},
      {"%-5s|", {"ab"}, "ab   |"},
      {"%.1s", {"\xC3\xA9"}, "\xC3"},  // a byte count, not characters
      {"[%s][%s]", {"a", "b"}, "[a][b]"},
  });
  // A precision bounds the read: the bytes need no terminating NUL.
  const char unterminated[3] = {'x', 'y', 'z'};
  EXPECT_EQ(Fmt("%.3s", {static_cast<const char*>(unterminated)}), "xyz");
}

TEST(Format, ObjectsByDescription) {
  Ref<Number> three = Number::withI64(3);
  Ref<Map> map = make<Map>();
  Ref<String> text = String::withCString("txt");
  const Object* none = nullptr;
  RunTable({
      {"%@", {three}, "3"},
      {"%@", {none}, "(null)"},
      {"%.3@", {map}, "<Ma"},
      {"%@", {map}, "<Map>(0, 0)"},
      {"%13@|", {map}, "  <Map>(0, 0)|"},
      {"%-5@|", {three}, "3    |"},
      {"%05@", {three}, "    3"},
      {"%@ and %@", {text, Number::withDouble(1.5)}, "txt and 1.500000"},
      {"%@", {Number::withBool(true)}, "true"},
  });
  Ref<String> bytes = String::withBytes("ab\0cd", 5);
  EXPECT_EQ(Fmt("<%@>", {bytes}), "<ab>");  // a String describes itself up to its first 0 byte
}

TEST(Format, Pointers) {
  const void* null = nullptr;
  const void* p = reinterpret_cast<const void*>(uintptr_t{0x1234abcd});
  RunTable({
      {"%p", {null}, "0x0"},
      {"%6p|", {null}, "   0x0|"},
      {"%-6p|", {null}, "0x0   |"},
      {"%06p", {null}, "   0x0"},
      {"%.8p", {p}, "0x1234abcd"},
      {"%p", {p}, "0x1234abcd"},
  });
  Ref<Number> n = Number::withI64(99999);
  char expected[32];
  snprintf(expected, sizeof expected, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(n.get())));
  EXPECT_EQ(Fmt("%p", {n}), expected);  // an object prints its own address
}

TEST(Format, ArgumentSlots) {
  RunTable({
      {"%n%d", {99, 7}, "7"},  // %n consumes a slot and stores nothing
      {"%d %d", {1}, "1 0"},   // past the supplied slots a directive reads 0
      {"%%%d", {5}, "%5"},
      {"%s=%d", {"k", 3}, "k=3"},
  });
}

TEST(Format, Floats) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  RunTable({
      {"%f", {1.5}, "1.500000"},
      {"%.2f s", {1.234}, "1.23 s"},
      {"%.1f ms", {0.05}, "0.1 ms"},  // 0.05 lies above the tie
      {"%.1f", {0.25}, "0.2"},
      {"%.0f", {0.5}, "0"},
      {"%.0f", {1.5}, "2"},
      {"%.0f", {2.5}, "2"},
      {"%.0f", {3.5}, "4"},
      {"%.0f", {9.5}, "10"},
      {"%.2f", {0.125}, "0.12"},
      {"%.2f", {0.375}, "0.38"},
      {"%.2f", {0.135}, "0.14"},
      {"%.30f", {0.1}, "0.100000000000000005551115123126"},
      {"%f", {-0.0}, "-0.000000"},
      {"%g", {-0.0}, "-0"},
      {"%e", {0.0}, "0.000000e+00"},
      {"%g", {0.0}, "0"},
      {"%e", {1e-7}, "1.000000e-07"},
      {"%e", {1e100}, "1.000000e+100"},
      {"%g", {100000.0}, "100000"},
      {"%g", {1000000.0}, "1e+06"},
      {"%g", {0.0001}, "0.0001"},
      {"%g", {0.00001}, "1e-05"},
      {"%.3g", {1234.5}, "1.23e+03"},
      {"%#g", {1.0}, "1.00000"},
      {"%g", {9.9999997}, "10"},
      {"%.0g", {2.5}, "2"},
      {"%.0e", {12345.0}, "1e+04"},
      {"%#.0e", {12345.0}, "1.e+04"},
      {"%#.0f", {3.0}, "3."},
      {"%f", {inf}, "inf"},
      {"%F", {inf}, "INF"},
      {"%f", {-inf}, "-inf"},
      {"%+f", {inf}, "+inf"},
      {"%05f", {inf}, "  inf"},
      {"%e", {nan}, "nan"},
      {"%E", {nan}, "NAN"},
      {"%G", {nan}, "NAN"},
      {"%f", {-nan}, "-nan"},
      {"%010.3f", {-3.14159}, "-00003.142"},
      {"%-10.3f|", {3.14159}, "3.142     |"},
      {"% .2f", {2.0}, " 2.00"},
      {"%+.2e", {12345.678}, "+1.23e+04"},
      {"%.3e", {4.9406564584124654e-324}, "4.941e-324"},
      {"%E", {1e-300}, "1.000000E-300"},
      {"%G", {1e-10}, "1E-10"},
      {"%Lf", {2.0}, "2.000000"},  // length modifiers are ignored
      {"%.1f", {static_cast<float>(0.1f)}, "0.1"},
  });
}

TEST(Format, FloatExtremes) {
  // All 301 integer digits of the double nearest 1e300, then six zeros.
  std::string big = Fmt("%f", {1e300});
  ASSERT_EQ(big.size(), 301u + 7u);
  EXPECT_EQ(big.substr(0, 20), "10000000000000000525");
  EXPECT_EQ(big.substr(301), ".000000");

  std::string max = Fmt("%.0f", {std::numeric_limits<double>::max()});
  EXPECT_EQ(max.size(), 309u);
  EXPECT_EQ(max.substr(0, 17), "17976931348623157");

  // The smallest subnormal written out in full: 1074 places, 751 of them
  // significant after 323 zeros.
  std::string tiny = Fmt("%.1074f", {4.9406564584124654e-324});
  ASSERT_EQ(tiny.size(), 2u + 1074u);
  EXPECT_EQ(tiny.substr(0, 2 + 323 + 5), "0." + std::string(323, '0') + "49406");
  EXPECT_EQ(tiny.back(), '5');

  // Past the exact expansion a precision only adds zeros.
  std::string wide = Fmt("%.2000f", {0.5});
  EXPECT_EQ(wide, "0.5" + std::string(1999, '0'));
  std::string wideE = Fmt("%.1000e", {0.5});
  EXPECT_EQ(wideE, "5." + std::string(1000, '0') + "e-01");
  EXPECT_EQ(Fmt("%.900g", {0.5}), "0.5");
  EXPECT_EQ(Fmt("%#.20g", {0.5}), "0.50000000000000000000");
}

TEST(Format, SubclassSeesEveryItemThroughTheVirtuals) {
  // A subclass that brackets each padded item: appendFormat must route
  // integers, texts and floats through its _fmtOut.
  class Bracketing : public String {
   public:
    void _fmtOut(Ptr<const String> prefix, Ptr<const String> body, int32_t width, bool left,
                 bool zero) override {
      appendByte('[');
      String::_fmtOut(prefix, body, width, left, zero);
      appendByte(']');
    }
  };
  Bracketing s;
  s.appendFormat("%d|%5s|%05.1f|%%|%c", -3, "ab", 2.25, 'z');
  EXPECT_EQ(s.view(), "[-3]|[   ab]|[002.2]|%|[z]");
}

TEST(Format, FmtOutAndFmtDigits) {
  auto out = [](const char* prefix, const char* body, int32_t width, bool left, bool zero) {
    String s;
    s._fmtOut(String::withCString(prefix), String::withCString(body), width, left, zero);
    return std::string(s.view());
  };
  EXPECT_EQ(out("-", "42", 5, false, true), "-0042");
  EXPECT_EQ(out("0x", "ff", 8, false, true), "0x0000ff");
  EXPECT_EQ(out("-", "42", 5, true, true), "-42  ");
  EXPECT_EQ(out("-", "42", 5, false, false), "  -42");
  EXPECT_EQ(out("-", "42", -9, false, false), "-42");
  EXPECT_EQ(out("", "abc", 2, false, false), "abc");
  String s;
  s._fmtOut(nullptr, nullptr, 3, false, false);
  EXPECT_EQ(s.view(), "   ");

  EXPECT_EQ(String::_fmtDigits(0, 10, false, -1)->view(), "0");
  EXPECT_EQ(String::_fmtDigits(0, 10, false, 0)->view(), "");
  EXPECT_EQ(String::_fmtDigits(7, 10, false, 3)->view(), "007");
  EXPECT_EQ(String::_fmtDigits(35, 36, false, -1)->view(), "z");
  EXPECT_EQ(String::_fmtDigits(35, 36, true, -1)->view(), "Z");
  EXPECT_EQ(String::_fmtDigits(UINT64_MAX, 2, false, -1)->view(), std::string(64, '1'));
  EXPECT_EQ(String::_fmtDigits(5, 0, false, -1)->view(), "101");  // a useless base is clamped
}

TEST(Format, NumberAppendingHelpers) {
  String s;
  s._appendU32(0);
  s.appendByte(' ');
  s._appendU32(4294967295u);
  s.appendByte(' ');
  s._appendI32(INT32_MIN);
  s.appendByte(' ');
  s._appendI32(-7);
  s.appendByte(' ');
  s._appendHex(0x1F, 4);
  s.appendByte(' ');
  s._appendHex(0xABCDEF12, 0);
  s._appendHex(0xABCDEF12, 8);
  s.appendByte(' ');
  s._appendHex(0xABCDEF12, 12);  // at most 8 digits
  s.appendByte(' ');
  s._appendHex64(0x0123456789ABCDEFull, 16);
  s.appendByte(' ');
  s._appendHex64(0xFFull, 3);
  EXPECT_EQ(s.view(), "0 4294967295 -2147483648 -7 001F ABCDEF12 ABCDEF12 0123456789ABCDEF 0FF");
}

TEST(Format, TruncateAndPad) {
  Ref<String> s = String::withCString("abcdef");
  s->_truncateTo(10);
  EXPECT_EQ(s->view(), "abcdef");
  s->_truncateTo(3);
  EXPECT_EQ(s->view(), "abc");
  EXPECT_EQ(s->cString()[3], '\0');

  Ref<String> p = String::withCString("ab");
  p->_padTo(0, 5, false);
  EXPECT_EQ(p->view(), "   ab");
  Ref<String> z = String::withCString("x=7");
  z->_padTo(2, 4, true);
  EXPECT_EQ(z->view(), "x=0007");
  z->_padTo(2, 3, true);  // already wide enough
  EXPECT_EQ(z->view(), "x=0007");
  Ref<String> e = String::withCString("ab");
  e->_padTo(9, 2, false);  // a start past the end pads at the end
  EXPECT_EQ(e->view(), "ab  ");
}

TEST(Format, AppendsToExistingTextAndItself) {
  Ref<String> s = String::withCString("n=");
  s->appendFormat("%d, %s", 12, "x");
  EXPECT_EQ(s->view(), "n=12, x");
  // The receiver's own bytes as a %s argument survive its growth.
  Ref<String> self = String::withCString("abc");
  self->appendFormat("%20s", self->cString());
  EXPECT_EQ(self->view(), "abc" + std::string(17, ' ') + "abc");
  Ref<String> viaObject = String::withCString("xy");
  viaObject->appendFormat("%@%@", viaObject, viaObject);
  EXPECT_EQ(viaObject->view(), "xyxyxyxy");  // each %@ describes the text as it is then
  EXPECT_EQ(String::withFormat("%d-%d", 1, 2)->view(), "1-2");
}

}  // namespace
}  // namespace quorl
