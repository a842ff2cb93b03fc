// Object: the root class's universal operations and protocol conformance.
#include <gtest/gtest.h>

#include "foundation/Object.h"
#include "foundation/String.h"

namespace quorl {
namespace {

class Anonymous : public Object {
 public:
  const char* classNameC() const override { return nullptr; }
};

class Widget : public Object {
 public:
  const char* classNameC() const override { return "Widget"; }
};

TEST(ObjectTest, DescriptionOfPlainObject) {
  Ref<Object> o = make<Object>();
  EXPECT_EQ(o->description()->view(), "<Object>");
  // A class that only renames itself keeps the root's text.
  EXPECT_EQ(make<Widget>()->description()->view(), "<Object>");
}

TEST(ObjectTest, EqualsIsIdentity) {
  Ref<Object> a = make<Object>(), b = make<Object>();
  EXPECT_TRUE(a->equals(a));
  EXPECT_FALSE(a->equals(b));
  EXPECT_FALSE(a->equals(nullptr));
}

TEST(ObjectTest, HashAddressKnownValues) {
  struct Case {
    uintptr_t address;
    uint32_t hash;
  } cases[] = {
      {0, 0},
      {0x10000, 0x50604961u},
      {0x12345678, 0xe1f4b8c9u},
      {0xdeadbeef, 0xf7266ba0u},
  };
  for (const Case& c : cases)
    EXPECT_EQ(Object::hashAddress(reinterpret_cast<const void*>(c.address)), c.hash) << std::hex << c.address;
}

TEST(ObjectTest, HashUsesOnlyTheLow32Bits) {
  if constexpr (sizeof(uintptr_t) == 8) {
    const uint64_t low = 0x12345678;
    const uint64_t high = low | (uint64_t{0x7F} << 32);
    EXPECT_EQ(Object::hashAddress(reinterpret_cast<const void*>(static_cast<uintptr_t>(low))),
              Object::hashAddress(reinterpret_cast<const void*>(static_cast<uintptr_t>(high))));
  }
}

TEST(ObjectTest, HashIsTheHashOfTheObjectsAddress) {
  Ref<Object> o = make<Object>();
  EXPECT_EQ(o->hash(), Object::hashAddress(o.get()));
}

TEST(ObjectTest, ClassName) {
  EXPECT_EQ(Object::className(make<Object>())->view(), "Object");
  EXPECT_EQ(Object::className(String::withCString("x"))->view(), "String");
  EXPECT_EQ(Object::className(make<Widget>())->view(), "Widget");
  EXPECT_EQ(Object::className(nullptr), nullptr);
  EXPECT_EQ(Object::className(make<Anonymous>()), nullptr);
}

TEST(ObjectTest, CompareIsAbsentExceptOnValueClasses) {
  EXPECT_FALSE(make<Object>()->hasCompare());
  EXPECT_TRUE(make<String>()->hasCompare());
}

TEST(ObjectTest, ProtocolConformance) {
  Ref<Object> s = String::withCString("x");
  EXPECT_TRUE(isA<Copying>(s));
  EXPECT_TRUE(isA<String>(s));
  EXPECT_FALSE(isA<Enumerable>(s));
  EXPECT_FALSE(isA<Copying>(make<Object>()));
  EXPECT_FALSE(isA<String>(nullptr));
  Ref<Object> copied = cast<Copying>(s)->copyObject();
  ASSERT_TRUE(isA<String>(copied));
  EXPECT_NE(copied.get(), s.get());
  EXPECT_TRUE(copied->equals(s));
}

}  // namespace
}  // namespace quorl
