// JSON reading and writing: exact error texts, numbers both ways, escapes,
// nesting limits and round trips.
#include <gtest/gtest.h>

#include <algorithm>
#include <bit>
#include <cfloat>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <random>
#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Data.h"
#include "foundation/JSON.h"
#include "foundation/Map.h"
#include "foundation/Null.h"
#include "foundation/Number.h"
#include "foundation/NumberText.h"
#include "foundation/Pool.h"
#include "foundation/String.h"
#include "Rounds.h"

namespace quorl {
namespace {

Ref<String> str(const std::string& bytes) { return String::withBytes(bytes.data(), static_cast<uint32_t>(bytes.size())); }

std::string bytesOf(const Ref<String>& s) { return std::string(s->view()); }

Ref<Object> parse(const std::string& text) { return JSON::parse(str(text)); }

// The message of the JSONError that parsing `text` throws, or "<no error>".
std::string parseError(const std::string& text) {
  try {
    JSON::parse(str(text));
  } catch (const JSONError& e) {
    return bytesOf(e.message());
  }
  return "<no error>";
}

std::string write(Ptr<const Object> value) { return bytesOf(JSON::stringify(value)); }

std::string writeError(Ptr<const Object> value) {
  try {
    JSON::stringify(value);
  } catch (const JSONError& e) {
    return bytesOf(e.message());
  }
  return "<no error>";
}

Ref<Number> number(const Ref<Object>& value) { return cast<Number>(value); }

// ---------------------------------------------------------------------------
// Reader: errors

struct ErrorCase {
  std::string text;
  std::string message;
};

TEST(JSONReaderTest, ErrorTextsNameTheFirstFaultAndItsByte) {
  const std::vector<ErrorCase> cases = {
      {"", "bad JSON at byte 0: unexpected end of input"},
      {"   ", "bad JSON at byte 3: unexpected end of input"},
      {"[1,2", "bad JSON at byte 4: unterminated array"},
      {"[", "bad JSON at byte 1: unexpected end of input"},
      {"[1,]", "bad JSON at byte 3: expected a value"},
      {"[1 2]", "bad JSON at byte 3: expected ',' or ']'"},
      {"{", "bad JSON at byte 1: expected a key"},
      {"{1:2}", "bad JSON at byte 1: expected a key"},
      {"{\"a\" 1}", "bad JSON at byte 5: expected ':'"},
      {"{\"a\"", "bad JSON at byte 4: expected ':'"},
      {"{\"a\":1,}", "bad JSON at byte 7: expected a key"},
      {"{\"a\":1 \"b\":2}", "bad JSON at byte 7: expected ',' or '}'"},
      {"{\"a\":1", "bad JSON at byte 6: unterminated object"},
      {"{\"a\":", "bad JSON at byte 5: unexpected end of input"},
      {"01", "bad JSON at byte 1: unexpected text after the JSON value"},
      {"-", "bad JSON at byte 1: bad number"},
      {"-x", "bad JSON at byte 1: bad number"},
      {"[-]", "bad JSON at byte 2: bad number"},
      {"1.", "bad JSON at byte 2: bad number"},
      {"1.e5", "bad JSON at byte 2: bad number"},
      {"1e+", "bad JSON at byte 3: bad number"},
      {"1E", "bad JSON at byte 2: bad number"},
      {".5", "bad JSON at byte 0: expected a value"},
      {"+1", "bad JSON at byte 0: expected a value"},
      {"truex", "bad JSON at byte 4: unexpected text after the JSON value"},
      {"nul", "bad JSON at byte 0: expected a value"},
      {"True", "bad JSON at byte 0: expected a value"},
      {"[1]x", "bad JSON at byte 3: unexpected text after the JSON value"},
      {"1 2", "bad JSON at byte 2: unexpected text after the JSON value"},
      {"\"a\\q\"", "bad JSON at byte 4: bad escape in a string"},
      {"\"\\u12G4\"", "bad JSON at byte 3: bad \\u escape"},
      {"\"\\u12", "bad JSON at byte 3: unexpected end of input"},
      {"\"\\ud83d\\uZZZZ\"", "bad JSON at byte 9: bad \\u escape"},
      {"\"a\tb\"", "bad JSON at byte 2: control character in a string"},
      {"\"abc", "bad JSON at byte 4: unterminated string"},
      {"\"ab\\", "bad JSON at byte 4: unterminated string"},
      {"[\"x\",\x01]", "bad JSON at byte 5: expected a value"},
      // Several faults: only the first one reached counts.
      {"[1 2, \"\\q\"", "bad JSON at byte 3: expected ',' or ']'"},
  };
  for (const ErrorCase& c : cases) EXPECT_EQ(parseError(c.text), c.message) << "input: " << c.text;
}

TEST(JSONReaderTest, NullTextAndTheErrorObject) {
  try {
    JSON::parse(nullptr);
    FAIL() << "no error thrown";
  } catch (const JSONError& e) {
    EXPECT_EQ(bytesOf(e.message()), "JSON: no text");
    EXPECT_TRUE(isA<Error>(&e));
    EXPECT_EQ(e.message(), e.message()) << "the message is shared, not copied";
    EXPECT_STREQ(e.what(), "JSON: no text");
    EXPECT_STREQ(e.classNameC(), "JSONError");
  }
}

TEST(JSONReaderTest, ControlCharactersAndStopsAreFoundAtEveryOffset) {
  // The string scanner looks at eight bytes at a time; a stop byte must be
  // found in every lane and in the tail.
  for (size_t k = 0; k < 20; ++k) {
    const std::string run(k, 'a');
    EXPECT_EQ(parseError("\"" + run + "\x1f" + "zzzzzzzzzz\""),
              "bad JSON at byte " + std::to_string(k + 1) + ": control character in a string");
    Ref<String> s = cast<String>(parse("\"" + run + "\\n" + run + "\""));
    ASSERT_TRUE(s);
    EXPECT_EQ(bytesOf(s), run + "\n" + run);
    EXPECT_EQ(parseError("\"" + run), "bad JSON at byte " + std::to_string(k + 1) + ": unterminated string");
  }
}

// ---------------------------------------------------------------------------
// Reader: nesting

TEST(JSONReaderTest, DepthLimitIs256OpenContainers) {
  EXPECT_TRUE(cast<Array>(parse(std::string(256, '[') + std::string(256, ']'))));
  EXPECT_EQ(parseError(std::string(257, '[') + std::string(257, ']')), "bad JSON at byte 256: nested too deeply");

  std::string objects;
  for (int i = 0; i < 256; ++i) objects += "{\"a\":";
  objects += "1" + std::string(256, '}');
  EXPECT_TRUE(cast<Map>(parse(objects)));
  std::string deeper;
  for (int i = 0; i < 257; ++i) deeper += "{\"a\":";
  EXPECT_EQ(parseError(deeper + "1" + std::string(257, '}')),
            "bad JSON at byte " + std::to_string(256 * 5) + ": nested too deeply");
}

TEST(JSONReaderTest, NoInputHoweverDeepOverflowsTheStack) {
  EXPECT_EQ(parseError(std::string(100000, '[')), "bad JSON at byte 256: nested too deeply");
  std::string mixed;
  for (int i = 0; i < 50000; ++i) mixed += "[{\"k\":";
  EXPECT_EQ(parseError(mixed), "bad JSON at byte " + std::to_string(128 * 6) + ": nested too deeply");
}

TEST(JSONReaderTest, EmptyObjectsCloseTheirLevel) {
  // Hundreds of empty objects side by side are one level deep, not hundreds.
  std::string flat = "[";
  for (int i = 0; i < 1000; ++i) flat += i ? ",{}" : "{}";
  flat += "]";
  Ref<Array> a = cast<Array>(parse(flat));
  ASSERT_TRUE(a);
  EXPECT_EQ(a->count(), 1000u);

  std::string members = "{";
  for (int i = 0; i < 300; ++i) members += (i ? ",\"k" : "\"k") + std::to_string(i) + "\":{}";
  members += "}";
  Ref<Map> m = cast<Map>(parse(members));
  ASSERT_TRUE(m);
  EXPECT_EQ(m->count(), 300u);

  // 255 levels of arrays around a run of empty objects and arrays still fit.
  std::string nested = std::string(255, '[') + "{},{},[],{}" + std::string(255, ']');
  EXPECT_TRUE(cast<Array>(parse(nested)));
}

// A budget gives up a document as soon as its values would take more than
// it allows: the shapes that cost most per byte are refused at ten times
// their size, while a result document of the same size passes.
TEST(JSONReaderTest, ABudgetGivesUpTheShapesThatCostMostPerByte) {
  const auto repeated = [](const std::string& element, size_t bytes) {
    std::string text = "[" + element;
    while (text.size() < bytes) text += "," + element;
    return text + "]";
  };
  const std::string deep = std::string(JSON::kMaxDepth - 1, '[') + std::string(JSON::kMaxDepth - 1, ']');
  std::string members = "{";  // a hash table's slots for each
  for (int i = 0; members.size() < 200000; ++i) members += (i ? ",\"m" : "\"m") + std::to_string(i) + "\":1";
  members += "}";
  // Texts of two bytes, no two alike: each is made, and none is shared.
  std::string alphabet;
  for (int b = 0x23; b <= 0xFF; ++b)
    if (b != '\\' && b != '{') alphabet += char(b);  // no brace: objects are counted by theirs
  std::string texts = "[";
  for (size_t i = 0; texts.size() < 200000; ++i)
    texts += std::string(i ? ",\"" : "\"") + alphabet[i % alphabet.size()] + alphabet[i / alphabet.size()] + "\"";
  texts += "]";
  const auto elements = [](const std::string& text) { return uint64_t(std::count(text.begin(), text.end(), ',') + 1); };
  const std::string unsignedNumbers = repeated("18446744073709551615", 200000);
  std::string run = R"({"suite":"cpu","benchmark":"nbody","target":"quorl","device":"serial","opt":"O2",)"
                    R"("arch":"x86_64","best_us":1204,"first_us":1377,"samples_us":[1204,1250,1262,1301],)"
                    R"("params":{"n":1000,"threads":1}})";
  const struct {
    const char* name;
    std::string text;
    bool refused;
    uint64_t made = 0;  // at least what its values take, each with its slot
  } cases[] = {
      {"empty objects", repeated("{}", 200000), true},
      {"empty arrays", repeated("[]", 200000), true},
      {"one-digit numbers", repeated("1", 200000), true},
      {"one-digit numbers among others", repeated("[null,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1]", 200000), true},
      {"deep nesting", repeated(deep, 200000), true},
      {"short objects", repeated(R"({"a":1})", 200000), true},
      {"one object of many members", members, true},
      {"distinct short texts", texts, true, elements(texts) * (sizeof(String) + 2 + sizeof(Ref<Object>))},
      {"numbers above the signed range", unsignedNumbers, false,
       elements(unsignedNumbers) * (sizeof(Number) + sizeof(Ref<Object>))},
      {"runs", R"({"schema":"quorl-bench/1","runs":)" + repeated(run, 200000) + "}", false},
  };
  for (const auto& k : cases) {
    const auto* bytes = reinterpret_cast<const uint8_t*>(k.text.data());
    const auto length = static_cast<uint32_t>(k.text.size());
    JSON::Budget budget{10 * uint64_t(length), 384};
    bool refused = false;
    try {
      EXPECT_TRUE(JSON::_parseBytes(bytes, length, budget)) << k.name;
    } catch (const std::bad_alloc&) {
      refused = true;
    }
    EXPECT_EQ(refused, k.refused) << k.name;
    // Without a budget every one of them is read.
    EXPECT_TRUE(JSON::_parseBytes(bytes, length)) << k.name;
    // What it spends: its per-object share once for every object, and the
    // exact amount is enough while a byte less refuses.
    JSON::Budget unbounded{UINT64_MAX, 384}, noShare;
    EXPECT_TRUE(JSON::_parseBytes(bytes, length, unbounded)) << k.name;
    JSON::_parseBytes(bytes, length, noShare);
    const auto objects = uint64_t(std::count(k.text.begin(), k.text.end(), '{'));
    EXPECT_EQ(unbounded.spent - noShare.spent, 384 * objects) << k.name;
    EXPECT_GE(noShare.spent, k.made) << k.name;
    JSON::Budget exact{unbounded.spent, 384}, byteLess{unbounded.spent - 1, 384};
    EXPECT_TRUE(JSON::_parseBytes(bytes, length, exact)) << k.name;
    EXPECT_EQ(exact.spent, unbounded.spent) << k.name;
    EXPECT_THROW(JSON::_parseBytes(bytes, length, byteLess), std::bad_alloc) << k.name;
  }
}

// Numbers and short texts are paid for with their container, but a long
// run of them is refused after a few hundred are made, not after all of
// them: a later allocation armed to fail is never reached.
TEST(JSONReaderTest, ABudgetRefusesALongArrayOfNumbersEarly) {
  std::string text = "[1.5";
  for (int i = 0; i < 100000; ++i) text += ",1.5";
  text += "]";
  JSON::Budget budget{1000};
  pool::_failAllocationForTesting(5000);
  EXPECT_THROW(JSON::_parseBytes(reinterpret_cast<const uint8_t*>(text.data()), uint32_t(text.size()), budget),
               std::bad_alloc);
  EXPECT_TRUE(pool::_failAllocationForTesting(0)) << "5,000 allocations made before the refusal";
}

// ---------------------------------------------------------------------------
// Reader: values

TEST(JSONReaderTest, LiteralsAndTopLevelScalars) {
  Ref<Number> t = number(parse("true"));
  ASSERT_TRUE(t);
  EXPECT_TRUE(t->isBool());
  EXPECT_TRUE(t->asBool());
  EXPECT_EQ(t->integerValue(), 1);
  Ref<Number> f = number(parse(" false "));
  ASSERT_TRUE(f);
  EXPECT_TRUE(f->isBool());
  EXPECT_EQ(f->integerValue(), 0);
  EXPECT_EQ(parse("null"), Null::null());
  EXPECT_EQ(bytesOf(cast<String>(parse("\"bare\""))), "bare");
  EXPECT_EQ(number(parse("\r\n\t 42 \n"))->integerValue(), 42);
}

TEST(JSONReaderTest, MapsKeepDocumentOrderAndTheLastOfRepeatedKeys) {
  Ref<Map> m = cast<Map>(parse("{\"b\":1,\"a\":2,\"c\":3,\"a\":4}"));
  ASSERT_TRUE(m);
  ASSERT_EQ(m->count(), 3u);
  EXPECT_EQ(bytesOf(cast<String>(m->enumAt(0))), "b");
  EXPECT_EQ(bytesOf(cast<String>(m->enumAt(1))), "a");
  EXPECT_EQ(bytesOf(cast<String>(m->enumAt(2))), "c");
  EXPECT_EQ(number(m->get("a"))->integerValue(), 4);
}

// Each object is made at its final size, yet repeated keys come out as
// one `set` after another would leave them: the last value in the first
// key's place, and the capacity those sets give (an existing key set into
// twelve entries still doubles the table).
TEST(JSONReaderTest, ObjectsAreTheMapsTheirSetsWouldMake) {
  auto keys = [](int from, int to) {
    std::vector<std::string> out;
    for (int i = from; i < to; ++i) out.push_back("k" + std::to_string(i));
    return out;
  };
  auto plus = [](std::vector<std::string> a, const std::vector<std::string>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  struct Case {
    std::vector<std::string> keys;  // in the document; the i-th has the value i
    std::string description;
    bool compact;
  };
  const Case cases[] = {
      {{}, "<Map>(0, 0)", true},
      {{"a", "b", "a"}, "<Map>(2, 16)", true},
      {{"a", "a", "a"}, "<Map>(1, 16)", true},
      {keys(0, 12), "<Map>(12, 16)", true},
      {plus(keys(0, 12), {"k0"}), "<Map>(12, 32)", false},
      {plus(keys(0, 11), {"k3", "k4"}), "<Map>(11, 16)", true},
      {keys(0, 13), "<Map>(13, 32)", false},
      {plus(keys(0, 25), {"k24", "k0"}), "<Map>(25, 64)", false},
  };
  for (const Case& c : cases) {
    std::string text = "{", written = "{";
    Ref<Map> bySets = make<Map>();
    for (size_t i = 0; i < c.keys.size(); ++i) {
      text += (i ? ",\"" : "\"") + c.keys[i] + "\":" + std::to_string(i);
      bySets->set(str(c.keys[i]), Number::withI64(static_cast<int64_t>(i)));
    }
    for (uint32_t i = 0; i < bySets->count(); ++i)
      written += (i ? ",\"" : "\"") + bytesOf(cast<String>(bySets->enumAt(i))) + "\":" +
                 std::to_string(number(bySets->valueAt(i))->integerValue());
    text += "}", written += "}";
    SCOPED_TRACE(text);
    Ref<Map> m = cast<Map>(parse(text));
    ASSERT_TRUE(m);
    EXPECT_EQ(bytesOf(m->description()), c.description);
    EXPECT_EQ(m->_isCompact(), c.compact);
    EXPECT_EQ(write(m), written);
    EXPECT_EQ(m->_isCompact(), c.compact) << "writing makes no table";
    EXPECT_EQ(bytesOf(bySets->description()), c.description);
    for (uint32_t i = 0; i < m->count(); ++i) EXPECT_EQ(m->_findSlot(m->enumAt(i)), bySets->_findSlot(m->enumAt(i)));
  }
}

TEST(JSONReaderTest, ArraysHoldTheirElementsInOrder) {
  Ref<Array> a = cast<Array>(parse("[ 1 , \"two\" , [ ] , { } , null , [3, [4]] ]"));
  ASSERT_TRUE(a);
  ASSERT_EQ(a->count(), 6u);
  EXPECT_EQ(number(a->get(0))->integerValue(), 1);
  EXPECT_EQ(bytesOf(cast<String>(a->get(1))), "two");
  EXPECT_EQ(cast<Array>(a->get(2))->count(), 0u);
  EXPECT_EQ(cast<Map>(a->get(3))->count(), 0u);
  EXPECT_TRUE(Null::isNull(a->get(4)));
  Ref<Array> inner = cast<Array>(cast<Array>(a->get(5))->get(1));
  ASSERT_TRUE(inner);
  EXPECT_EQ(number(inner->get(0))->integerValue(), 4);
}

TEST(JSONReaderTest, StringEscapes) {
  struct Case {
    std::string text;
    std::string bytes;
  };
  const std::vector<Case> cases = {
      {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\/\b\f\n\r\t"},
      {"\"\\u0041\\u00e9\\u20AC\"", "A\xC3\xA9\xE2\x82\xAC"},
      {"\"\\ud83d\\ude00\"", "\xF0\x9F\x98\x80"},
      {"\"\\ud83dx\"", "\xEF\xBF\xBDx"},
      {"\"\\ude00\"", "\xEF\xBF\xBD"},
      {"\"\\ud83d\\u0041\"", "\xEF\xBF\xBD" "A"},  // the second escape is read again on its own
      {"\"\\ud83d\\ud83d\\ude00\"", "\xEF\xBF\xBD\xF0\x9F\x98\x80"},
      {"\"\\ud83d\\u\"", "<error>"},
      {"\"\\u0000\"", std::string(1, '\0')},
      {"\"\xC3\x28\"", "\xC3\x28"},  // not UTF-8, kept byte for byte
      {"\"caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 long enough to pass eight\"",
       "caf\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80 long enough to pass eight"},
  };
  for (const Case& c : cases) {
    if (c.bytes == "<error>") {
      EXPECT_EQ(parseError(c.text), "bad JSON at byte 9: unexpected end of input");
      continue;
    }
    Ref<String> s = cast<String>(parse(c.text));
    ASSERT_TRUE(s) << c.text;
    EXPECT_EQ(bytesOf(s), c.bytes) << c.text;
  }
}

TEST(JSONReaderTest, RepeatedShortTextsAreOneSharedString) {
  const std::string longText(33, 'x');
  Ref<Array> a = cast<Array>(parse("[{\"k\":\"ab\"},{\"k\":\"ab\"},\"" + longText + "\",\"" + longText + "\",\"\"]"));
  ASSERT_TRUE(a);
  Ref<Map> first = cast<Map>(a->get(0));
  Ref<Map> second = cast<Map>(a->get(1));
  EXPECT_EQ(first->enumAt(0), second->enumAt(0)) << "one key object";
  EXPECT_EQ(first->get("k"), second->get("k")) << "one value object";
  EXPECT_NE(a->get(2), a->get(3)) << "longer texts are made one by one";
  EXPECT_EQ(bytesOf(cast<String>(a->get(2))), longText);
  EXPECT_EQ(cast<String>(a->get(4))->byteLength(), 0u);
  // Equal texts of other documents are never shared.
  EXPECT_NE(cast<Map>(cast<Array>(parse("[{\"k\":1}]"))->get(0))->enumAt(0), first->enumAt(0));
}

// Two texts that differ only in their last byte are each shared, at every
// length that is shared at all: neither pushes the other out of the cache.
TEST(JSONReaderTest, TextsDifferingInTheirLastByteAreEachShared) {
  const std::string padding(1 << 18, ' ');  // the largest cache
  for (uint32_t n = 1; n <= 32; ++n) {
    for (char last : {'1', 'q'}) {
      std::string a(n, 'k'), b(n, 'k');
      a.back() = '0', b.back() = last;
      const std::string object = "{\"" + a + "\":0,\"" + b + "\":1}";
      Ref<Array> doc = cast<Array>(parse("[" + object + "," + object + "]" + padding));
      ASSERT_TRUE(doc);
      Ref<Map> first = cast<Map>(doc->get(0)), second = cast<Map>(doc->get(1));
      EXPECT_EQ(first->enumAt(0), second->enumAt(0)) << a;
      EXPECT_EQ(first->enumAt(1), second->enumAt(1)) << b;
    }
  }
}

TEST(JSONReaderTest, IntegerTextsFollowTheSixtyFourBitRules) {
  struct Case {
    const char* text;
    int64_t value;
  };
  const std::vector<Case> integers = {
      {"0", 0},
      {"-0", 0},
      {"1023", 1023},
      {"1024", 1024},
      {"-129", -129},
      {"9223372036854775807", INT64_MAX},
      {"9223372036854775808", INT64_MIN},
      {"18446744073709551615", -1},
      {"18446744073709551614", -2},
      {"-9223372036854775808", INT64_MIN},
      {"-9223372036854775807", -INT64_MAX},
  };
  for (const Case& c : integers) {
    Ref<Number> n = number(parse(c.text));
    ASSERT_TRUE(n) << c.text;
    EXPECT_TRUE(n->isInteger()) << c.text;
    EXPECT_FALSE(n->isBool()) << c.text;
    EXPECT_EQ(n->integerValue(), c.value) << c.text;
  }
}

TEST(JSONReaderTest, DoubleTextsGiveTheNearestDouble) {
  struct Case {
    const char* text;
    double value;
  };
  const std::vector<Case> doubles = {
      {"18446744073709551616", 18446744073709551616.0},
      {"-9223372036854775809", -9223372036854775808.0},
      {"1E2", 100.0},
      {"0.1", 0.1},
      {"-2.5", -2.5},
      {"1e400", std::numeric_limits<double>::infinity()},
      {"-1e400", -std::numeric_limits<double>::infinity()},
      {"1e-400", 0.0},
      {"0e999999", 0.0},
      {"2.4703282292062328e-324", 4.9406564584124654e-324},
      {"2.4703282292062327e-324", 0.0},
      {"9007199254740993.0", 9007199254740992.0},
      {"1e23", 1e23},
      {"123456789012345678901234567890", 1.2345678901234568e29},
      {"1.7976931348623157e308", DBL_MAX},
      {"2.2250738585072014E-308", DBL_MIN},
      {"0.000001234e+2", 0.0001234},
      {"12345.678", 12345.678},
      {"4503599627370497.5", 4503599627370497.5},
      {"1e38", 1e38},
      {"3e22", 3e22},
      {"8.5e30", 8.5e30},
  };
  for (const Case& c : doubles) {
    Ref<Number> n = number(parse(c.text));
    ASSERT_TRUE(n) << c.text;
    EXPECT_TRUE(n->isDouble()) << c.text;
    EXPECT_EQ(std::bit_cast<uint64_t>(n->doubleValue()), std::bit_cast<uint64_t>(c.value)) << c.text;
  }
  Ref<Number> negativeZero = number(parse("-0.0"));
  EXPECT_TRUE(negativeZero->isDouble());
  EXPECT_TRUE(std::signbit(negativeZero->doubleValue()));

  // Digits past the 800th only break the tie: 2^53 + 1 rounds up.
  const std::string tie = "9007199254740993." + std::string(900, '0') + "1";
  EXPECT_EQ(number(parse(tie))->doubleValue(), 9007199254740994.0);
}

TEST(JSONReaderTest, ShortDecimalsAgreeWithTheExactConversion) {
  // The reader converts short texts itself; every one must equal the exact
  // big-integer conversion.
  std::mt19937_64 random(7);
  for (int i = 0; i < 20000; ++i) {
    std::string text;
    if (random() & 1) text += '-';
    const int intDigits = 1 + static_cast<int>(random() % 12);
    for (int d = 0; d < intDigits; ++d) text += static_cast<char>('0' + (d == 0 && intDigits > 1 ? 1 + random() % 9 : random() % 10));
    const int fracDigits = static_cast<int>(random() % 12);
    if (fracDigits) {
      text += '.';
      for (int d = 0; d < fracDigits; ++d) text += static_cast<char>('0' + random() % 10);
    }
    if (random() % 3 == 0 || fracDigits == 0) {
      text += (random() & 1) ? 'e' : 'E';
      const int e = static_cast<int>(random() % 70) - 35;
      text += std::to_string(e);
    }
    const double exact = _json_parseDouble(text.data(), static_cast<uint32_t>(text.size()));
    Ref<Number> n = number(parse(text));
    ASSERT_TRUE(n) << text;
    ASSERT_EQ(std::bit_cast<uint64_t>(n->doubleValue()), std::bit_cast<uint64_t>(exact)) << text;
  }
}

// ---------------------------------------------------------------------------
// Writer

TEST(JSONWriterTest, EmptyValuesAndCompactOutput) {
  EXPECT_EQ(write(nullptr), "null");
  EXPECT_EQ(write(Null::null()), "null");
  EXPECT_EQ(write(make<Array>()), "[]");
  EXPECT_EQ(write(make<Map>()), "{}");
  EXPECT_EQ(write(make<String>()), "\"\"");

  Ref<Map> m = make<Map>();
  Ref<Array> a = make<Array>();
  a->add(Number::withI64(1));
  a->add(Number::withBool(true));
  a->add(Null::null());
  m->set("a", a);
  const std::string text = write(m);
  EXPECT_EQ(text, "{\"a\":[1,true,null]}");
  EXPECT_EQ(text.size(), 19u);
}

TEST(JSONWriterTest, IntegersAndBooleans) {
  EXPECT_EQ(write(Number::withI64(-5)), "-5");
  EXPECT_EQ(write(Number::withI64(0)), "0");
  EXPECT_EQ(write(Number::withI64(INT64_MIN)), "-9223372036854775808");
  EXPECT_EQ(write(Number::withI64(INT64_MAX)), "9223372036854775807");
  EXPECT_EQ(write(Number::withI64(1000000)), "1000000");
  EXPECT_EQ(write(Number::withI64(99)), "99");
  EXPECT_EQ(write(parse("18446744073709551615")), "18446744073709551615");  // its integer view is -1
  EXPECT_EQ(write(Number::withU64(uint64_t{1} << 63)), "9223372036854775808");
  EXPECT_EQ(write(Number::withBool(false)), "false");
  for (int64_t v = 1; v > 0 && v < INT64_MAX / 10; v = v * 10 + 7) EXPECT_EQ(write(Number::withI64(v)), std::to_string(v));
}

TEST(JSONWriterTest, IntegersAtEveryDigitCountBoundary) {
  // Each power of ten and its neighbours, both signs, alone and followed by
  // more output (digits are stored a word at a time, past their end).
  for (int k = 0; k <= 18; ++k) {
    int64_t power = 1;
    for (int i = 0; i < k; ++i) power *= 10;
    for (int64_t v : {power - 1, power, power + 1}) {
      for (int64_t signedValue : {v, -v}) {
        const std::string digits = std::to_string(signedValue);
        EXPECT_EQ(write(Number::withI64(signedValue)), digits);
        Ref<Array> a = make<Array>();
        a->add(Number::withI64(signedValue));
        a->add(str("x"));
        EXPECT_EQ(write(a), "[" + digits + ",\"x\"]");
      }
    }
  }
}

TEST(JSONWriterTest, WriteAppendsToItsStringAndLeavesItAsItWasOnFailure) {
  Ref<String> out = str("abc");
  Ref<Array> one = make<Array>();
  one->add(Number::withI64(1));
  JSON::_write(out.get(), one, false, 0);
  EXPECT_EQ(bytesOf(out), "abc[1]");
  EXPECT_EQ(std::strlen(out->cString()), out->byteLength());

  // Enough text before the fault that the buffer has grown many times.
  Ref<Array> bad = make<Array>();
  for (int i = 0; i < 5000; ++i) bad->add(str("twelve bytes"));
  bad->add(Number::withDouble(std::nan("")));
  EXPECT_THROW(JSON::_write(out.get(), bad, false, 0), JSONError);
  EXPECT_EQ(bytesOf(out), "abc[1]");
}

TEST(JSONWriterTest, AStringWrittenIntoItselfIsReadAsItWasBefore) {
  // The value holds the very String that receives the text, long enough
  // that its buffer would move while it is read.
  Ref<String> out = str(std::string(70000, 'q') + "\"");
  Ref<Array> a = make<Array>();
  a->add(out);
  a->add(out);
  const std::string quoted = "\"" + std::string(70000, 'q') + "\\\"\"";
  const std::string before = bytesOf(out);
  JSON::_write(out.get(), a, false, 0);
  EXPECT_EQ(bytesOf(out), before + "[" + quoted + "," + quoted + "]");
  Ref<String> escaped = str("a\"b");
  JSON::_appendEscaped(escaped.get(), escaped->_bytesAt(0), escaped->byteLength());
  EXPECT_EQ(bytesOf(escaped), "a\"ba\\\"b");
}

TEST(JSONWriterTest, LongTextsKeepEveryEscapeAcrossBufferGrowth) {
  std::string raw, escaped = "\"";
  for (int i = 0; i < 30000; ++i) {
    raw += "ab\"c\\\n\x01\xC3\xA9/";
    escaped += "ab\\\"c\\\\\\n\\u0001\xC3\xA9/";
  }
  escaped += "\"";
  Ref<Array> a = make<Array>();
  a->add(str(raw));
  a->add(Number::withI64(-42));
  EXPECT_EQ(write(a), "[" + escaped + ",-42]");
}

TEST(JSONWriterTest, DoubleSpellings) {
  struct Case {
    double value;
    const char* text;
  };
  const std::vector<Case> cases = {
      {0.1, "0.1"},
      {1.0, "1.0"},
      {100.0, "100.0"},
      {-2.5, "-2.5"},
      {1.0 / 3.0, "0.3333333333333333"},
      {0.1 + 0.2, "0.30000000000000004"},
      {0.00001, "0.00001"},
      {0.000015, "0.000015"},
      {0.000001, "1.0e-6"},
      {1e16, "10000000000000000.0"},
      {1e17, "1.0e+17"},
      {1e20, "1.0e+20"},
      {1.5e-7, "1.5e-7"},
      {9223372036854775808.0, "9.223372036854776e+18"},
      {DBL_MAX, "1.7976931348623157e+308"},
      {DBL_MIN, "2.2250738585072014e-308"},
      {4.9406564584124654e-324, "5.0e-324"},
      {0.0, "0.0"},
      {-0.0, "-0.0"},
      {123456.789, "123456.789"},
      {0.5, "0.5"},
      {-1024.0, "-1024.0"},
      {12345.678, "12345.678"},
  };
  for (const Case& c : cases) EXPECT_EQ(write(Number::withDouble(c.value)), c.text) << c.text;
}

TEST(JSONWriterTest, EveryDoubleIsSpelledAsTheExactConversionSpellsIt) {
  // The writer takes the shortest digits for doubles with even neighbours;
  // the result must match the exact 15/16/17-digit search byte for byte and
  // read back to the same double.
  std::mt19937_64 random(11);
  std::vector<double> values;
  for (int i = 0; i < test::rounds(100000); ++i) {
    const double x = std::bit_cast<double>(random());
    if (std::isfinite(x)) values.push_back(x);
  }
  for (int i = 0; i < test::rounds(20000); ++i) values.push_back(static_cast<double>(random() % 100000000) / 1000.0);
  for (int e = -1074; e <= 1023; ++e) values.push_back(std::ldexp(1.0, e));
  for (int i = 0; i < test::rounds(2000); ++i) values.push_back(std::bit_cast<double>(random() & 0x000FFFFFFFFFFFFFull));
  for (const double x : values) {
    Ref<String> expected = make<String>();
    _json_appendDouble(expected, x, false);
    const std::string text = write(Number::withDouble(x));
    ASSERT_EQ(text, bytesOf(expected)) << std::bit_cast<uint64_t>(x);
    Ref<Number> back = number(parse(text));
    ASSERT_EQ(std::bit_cast<uint64_t>(back->doubleValue()), std::bit_cast<uint64_t>(x)) << text;
  }
}

TEST(JSONWriterTest, StringEscapes) {
  EXPECT_EQ(write(str("A/\x1f\xC3\xA9")), "\"A/\\u001f\xC3\xA9\"");
  EXPECT_EQ(write(str("\"\\\n\r\t\b\f\x7f")), "\"\\\"\\\\\\n\\r\\t\\b\\f\x7f\"");
  EXPECT_EQ(write(str(std::string("a\0b", 3))), "\"a\\u0000b\"");
  const char* const controls[] = {"\\u0000", "\\u0001", "\\u0002", "\\u0003", "\\u0004", "\\u0005", "\\u0006",
                                  "\\u0007", "\\b",     "\\t",     "\\n",     "\\u000b", "\\f",     "\\r",
                                  "\\u000e", "\\u000f", "\\u0010", "\\u0011", "\\u0012", "\\u0013", "\\u0014",
                                  "\\u0015", "\\u0016", "\\u0017", "\\u0018", "\\u0019", "\\u001a", "\\u001b",
                                  "\\u001c", "\\u001d", "\\u001e", "\\u001f"};
  for (int c = 0; c < 0x20; ++c) {
    const std::string one(1, static_cast<char>(c));
    EXPECT_EQ(write(str(one)), std::string("\"") + controls[c] + "\"") << c;
    // The same byte inside a long text, where the writer scans in blocks.
    const std::string pad = "0123456789abcdefghijklmnopqrstuvwxyz";
    EXPECT_EQ(write(str(pad + one + pad)), "\"" + pad + controls[c] + pad + "\"") << c;
  }
  Ref<String> appended = make<String>();
  JSON::_appendEscaped(appended.get(), reinterpret_cast<const uint8_t*>("x\"y\n"), 4);
  EXPECT_EQ(bytesOf(appended), "x\\\"y\\n");
}

TEST(JSONWriterTest, WhatCannotBeWrittenThrowsAndReturnsNoText) {
  EXPECT_EQ(writeError(str("\xC3\x28")), "JSON: a String that is not valid UTF-8");
  EXPECT_EQ(writeError(str("a long text that is fine until here \xED\xA0\x80")),
            "JSON: a String that is not valid UTF-8");

  Ref<Map> badKey = make<Map>();
  badKey->set(Number::withI64(1), str("x"));
  EXPECT_EQ(writeError(badKey), "JSON: a Map key that is not a String");

  Ref<Map> badKeyBytes = make<Map>();
  badKeyBytes->set(str("\xFF"), Number::withI64(1));
  EXPECT_EQ(writeError(badKeyBytes), "JSON: a String that is not valid UTF-8");

  EXPECT_EQ(writeError(Data::withBytes("ab", 2)), "JSON: a Data cannot be written as JSON");
  EXPECT_EQ(writeError(make<Object>()), "JSON: a Object cannot be written as JSON");

  Ref<Array> deep = make<Array>();
  Ref<Map> holder = make<Map>();
  holder->set("v", Number::withDouble(std::nan("")));
  deep->add(Number::withI64(1));
  deep->add(holder);
  EXPECT_EQ(writeError(deep), "JSON: NaN and the infinities have no JSON spelling");
  EXPECT_EQ(writeError(Number::withDouble(-std::numeric_limits<double>::infinity())),
            "JSON: NaN and the infinities have no JSON spelling");
  // Read as +infinity, which has no spelling on the way out.
  EXPECT_EQ(writeError(parse("[1e400]")), "JSON: NaN and the infinities have no JSON spelling");
}

TEST(JSONWriterTest, NestingPastTheReadersLimitThrows) {
  Ref<Array> root = make<Array>();
  Ref<Array> innermost = root;
  for (int i = 1; i < 256; ++i) {
    Ref<Array> next = make<Array>();
    innermost->add(next);
    innermost = next;
  }
  // 256 levels: what the reader accepts, the writer writes.
  const std::string text = write(root);
  EXPECT_EQ(text, std::string(256, '[') + std::string(256, ']'));
  EXPECT_TRUE(cast<Array>(JSON::parse(JSON::stringify(root))));
  innermost->add(make<Map>());
  EXPECT_EQ(writeError(root), "JSON: nested too deeply");

  // A value that contains itself is refused instead of recursing for ever.
  Ref<Array> loop = make<Array>();
  loop->add(loop);
  EXPECT_EQ(writeError(loop), "JSON: nested too deeply");
  loop->removeAll();  // break the cycle so the array is freed
  Ref<Map> selfMap = make<Map>();
  selfMap->set("me", selfMap);
  EXPECT_EQ(writeError(selfMap), "JSON: nested too deeply");
  selfMap->removeAll();
}

TEST(JSONWriterTest, SubclassesOfTheValueClassesAreWritten) {
  class Tagged : public String {
   public:
    using String::String;
    const char* classNameC() const override { return "Tagged"; }
  };
  Ref<Map> m = make<Map>();
  m->set(make<Tagged>("key"), make<Tagged>("value"));
  EXPECT_EQ(write(m), "{\"key\":\"value\"}");
}

TEST(JSONWriterTest, AStringChangedBetweenWritesIsWrittenAsItIsNow) {
  Ref<String> s = str("before");
  Ref<Array> a = make<Array>();
  a->add(s);
  a->add(s);
  EXPECT_EQ(write(a), "[\"before\",\"before\"]");
  s->setCString("after\n");
  EXPECT_EQ(write(a), "[\"after\\n\",\"after\\n\"]");
  s->setCString("\xC3");
  EXPECT_EQ(writeError(a), "JSON: a String that is not valid UTF-8");
}

TEST(JSONWriterTest, PrettyMode) {
  Ref<Map> m = cast<Map>(parse("{\"a\":[1,2],\"b\":{},\"c\":{\"d\":null}}"));
  Ref<String> out = make<String>();
  JSON::_write(out.get(), m, true, 0);
  EXPECT_EQ(bytesOf(out),
            "{\n  \"a\": [\n    1,\n    2\n  ],\n  \"b\": {},\n  \"c\": {\n    \"d\": null\n  }\n}");
  Ref<String> indented = make<String>();
  JSON::_newline(indented.get(), 3);
  EXPECT_EQ(bytesOf(indented), "\n      ");
}

// ---------------------------------------------------------------------------
// Round trips

TEST(JSONRoundTripTest, ReadingThenWritingKeepsOrderAndExactNumbers) {
  const std::string in =
      " { \"z\" : 1 , \"a\" : [ 1E2 , -0.0 , 0.1 , 18446744073709551615 , 9223372036854775807 ] ,"
      " \"s\" : \"\\/\\u00e9\\ud83d\\ude00\" , \"a\" : true , \"n\" : null , \"e\" : { } ,"
      " \"d\" : 2.5e-7 , \"big\" : 123456789012345678901234567890 } ";
  EXPECT_EQ(write(parse(in)),
            "{\"z\":1,\"a\":true,\"s\":\"/\xC3\xA9\xF0\x9F\x98\x80\",\"n\":null,\"e\":{},\"d\":2.5e-7,"
            "\"big\":1.2345678901234568e+29}");
  const std::string numbers = "[1E2,-0.0,0.1,18446744073709551615,9223372036854775807,1e-5,3.141592653589793]";
  EXPECT_EQ(write(parse(numbers)),
            "[100.0,-0.0,0.1,18446744073709551615,9223372036854775807,0.00001,3.141592653589793]");
}

// Every number read is written back as itself: integers digit for digit, doubles shortest; alone and in context.
TEST(JSONRoundTripTest, EveryNumberIsWrittenAsTheNumberThatWasRead) {
  const std::pair<const char*, const char*> cases[] = {  // second null: the text itself
      {"9223372036854775807", nullptr}, {"9223372036854775808", nullptr}, {"14695981039346656037", nullptr},
      {"18446744073709551614", nullptr}, {"18446744073709551615", nullptr}, {"-9223372036854775808", nullptr},
      {"-9223372036854775807", nullptr}, {"0", nullptr}, {"-0", "0"}, {"-0.0", nullptr},
      {"18446744073709551616", "1.8446744073709552e+19"},
      {"18446744073709551617000", "1.8446744073709552e+22"},
      {"-9223372036854775809", "-9.223372036854776e+18"},
      {"1.7976931348623157e308", "1.7976931348623157e+308"},
      {"-1.7976931348623157e308", "-1.7976931348623157e+308"},
      {"4.9406564584124654e-324", "5.0e-324"},
      {"-4.9406564584124654e-324", "-5.0e-324"},
      {"2.2250738585072014e-308", nullptr},
  };
  for (const auto& [text, form] : cases) {
    const std::string written = form ? form : text;
    // alone, among packed integers, among other values, as a member
    for (const auto& [open, close] :
         {std::pair<std::string, std::string>{"", ""}, {"[1,", ",2]"}, {"[", ",\"x\"]"}, {"{\"n\":", "}"}})
      EXPECT_EQ(write(parse(open + text + close)), open + written + close) << text;
    EXPECT_EQ(write(parse(written)), written) << text;
  }
  // Read above the signed range: the reader's integer view is -1, its text the number.
  Ref<Number> top = number(parse("18446744073709551615"));
  EXPECT_EQ(top->integerValue(), -1);
  EXPECT_TRUE(top->isInteger());
  EXPECT_EQ(bytesOf(top->description()), "18446744073709551615");
  EXPECT_EQ(bytesOf(String::withFormat("%@", top)), "18446744073709551615");
  EXPECT_FALSE(number(parse("9223372036854775807"))->isUnsigned());
}

// The same over random numbers of every size and spelling; a double's text is then stable.
TEST(JSONRoundTripTest, RandomNumbersComeBackAsTheSameNumbers) {
  constexpr int kRounds = test::rounds(20000);
  std::mt19937_64 random(45);
  std::string doc = "[";
  std::vector<std::string> texts;
  for (int i = 0; i < kRounds; ++i) {
    const uint64_t bits = random() >> (random() % 64);  // every magnitude
    std::string text;
    switch (random() % 5) {
      case 0: text = std::to_string(bits); break;
      case 1: text = std::to_string(int64_t(bits)); break;
      case 2: text = "-" + std::to_string(bits >> 1); break;
      case 3: text = (random() & 1 ? "-" : "") + std::to_string(bits | 1) + std::to_string(random() % 1000); break;
      default: {
        double x = std::bit_cast<double>(random());
        if (!std::isfinite(x)) x = 0.0;
        char buffer[64];
        text = std::string(buffer, std::to_chars(buffer, buffer + sizeof buffer, x).ptr);
        if (text.find_first_of(".e") == std::string::npos) text += ".0";
      }
    }
    texts.push_back(text);
    doc += (i ? "," : "") + text;
    const std::string once = write(parse(text));
    // Integers of 64 bits, signed or not, as from_chars reads them.
    uint64_t u;
    int64_t v;
    const char* end = text.data() + text.size();
    const bool integer = text.find_first_of(".e") == std::string::npos &&
                         (std::from_chars(text.data(), end, u).ec == std::errc() ||
                          std::from_chars(text.data(), end, v).ec == std::errc());
    if (integer) {
      ASSERT_EQ(once, text == "-0" ? "0" : text);
    } else {
      ASSERT_EQ(std::bit_cast<uint64_t>(number(parse(once))->doubleValue()),
                std::bit_cast<uint64_t>(number(parse(text))->doubleValue())) << text;
      ASSERT_EQ(write(parse(once)), once) << text;
    }
  }
  // All of them in one array (packed while it can be): each as alone.
  std::string expected = "[";
  for (size_t i = 0; i < texts.size(); ++i) expected += (i ? "," : "") + write(parse(texts[i]));
  EXPECT_EQ(write(parse(doc + "]")), expected + "]");
}

TEST(JSONRoundTripTest, ACorpusShapedDocumentIsStable) {
  std::string doc = "{\"contributions\":[";
  std::mt19937_64 random(3);
  for (int c = 0; c < 40; ++c) {
    if (c) doc += ',';
    doc += "{\"schema\":\"quorl-bench/1\",\"machine\":{\"cpu\":\"Caf\xC3\xA9 \\\"fast\\\" \\u00d7 2\",\"cores\":\"8\"},"
           "\"runs\":[";
    for (int r = 0; r < 30; ++r) {
      if (r) doc += ',';
      doc += "{\"suite\":\"s" + std::to_string(random() % 5) + "\",\"benchmark\":\"b" + std::to_string(random() % 50) +
             "\",\"params\":{},\"samples_us\":[";
      for (int s = 0; s < 10; ++s) doc += (s ? "," : "") + std::to_string(random() % 10000000);
      doc += "],\"mean_us\":" + std::to_string(random() % 100000) + "." + std::to_string(random() % 1000) + "}";
    }
    doc += "]}";
  }
  doc += "]}";
  const std::string once = write(parse(doc));
  const std::string twice = write(parse(once));
  EXPECT_EQ(once, twice);
  EXPECT_EQ(parseError(once), "<no error>");
}


// Integer arrays are kept packed; whatever reads them must see the Numbers
// the reader would have made, and writing them must spell them the same.
TEST(JSONPackedArrays, ReadWriteAndChangeAsOrdinaryArrays) {
  struct Case {
    const char* text;
    bool packed;
  } cases[] = {
      {"[-9223372036854775808,-9223372036854710273]", true},         // 2-byte offsets at the bottom
      {"[70000,135535,70001]", true},                                // offsets spanning 65,535
      {"[1,-2,1023,1024,2147483647,-2147483648]", true},            // 4 bytes an entry
      {"[2147483648,-9223372036854775808,-1]", true},  // 8 bytes an entry
      {"[1,18446744073709551615,9223372036854775808]", false},  // above the signed range
      {"[1,2.5,3]", false},
      {"[1,\"a\",3]", false},
      {"[1,[2],3]", false},
      {"[true,1]", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto array = cast<Array>(parse(c.text));
    ASSERT_TRUE(array);
    EXPECT_EQ(bool(array->_integers()), c.packed);
    EXPECT_EQ(write(array), c.text);  // written packed (or not) alike
    auto again = cast<Array>(parse(c.text));
    for (uint32_t i = 0; i < again->count(); ++i) {  // unpacks on first read
      auto n = cast<Number>(again->get(i));
      if (n && !n->isBool() && c.packed) EXPECT_EQ(n->integerValue(), array->_integers()[i]);
    }
    EXPECT_FALSE(again->_integers());
    EXPECT_EQ(write(again), c.text);
  }
  auto array = cast<Array>(parse("[5,6]"));
  array->add(String::withCString("x"));  // a change unpacks first
  EXPECT_EQ(write(array), "[5,6,\"x\"]");
  EXPECT_EQ(array->capacity(), 4u);       // grown from 2 as an array made at 2 would
}

// A short text that occurs twice is one object; it can no longer change, so
// editing one value never edits another.
TEST(JSONSharedTexts, AreFrozenOnceShared) {
  auto list = cast<Array>(parse("[\"same\",\"same\",\"once\"]"));
  auto first = cast<String>(list->get(0));
  auto second = cast<String>(list->get(1));
  auto once = cast<String>(list->get(2));
  ASSERT_EQ(first.get(), second.get());
  EXPECT_TRUE(first->isFrozen());
  first->appendCString("!");
  first->setCString("other");
  first->clear();
  EXPECT_EQ(bytesOf(second), "same");
  auto copy = first->copy();
  copy->appendCString("!");
  EXPECT_EQ(bytesOf(copy), "same!");
  EXPECT_FALSE(once->isFrozen());  // alone, it stays editable
  once->appendCString("!");
  EXPECT_EQ(bytesOf(once), "once!");
}

}  // namespace
}  // namespace quorl
