// Shared set-up of the text-system tests: a scripted driver installed as
// the global driver (restored afterwards) and text views attached to a tree.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ScriptedDriver.h"
#include "foundation/Number.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXViewTree.h"
#include "ux/text/AttributedString.h"
#include "ux/text/UXTextView.h"

namespace quorl::test {

// Installs a scripted driver measuring perByte pixels a byte at size 12 (0:
// no driver at all) for the life of the object.
class DriverScope {
 public:
  explicit DriverScope(uint32_t perByte = 8) : saved_(gDriver) {
    if (perByte) {
      driver = make<ScriptedDriver>();
      driver->textWidthPerByte = perByte;
      driver->logging = false;
    }
    gDriver = driver;
  }
  ~DriverScope() { gDriver = saved_; }
  Ref<ScriptedDriver> driver;

 private:
  Ref<UXViewDriver> saved_;
};

inline Ref<Map> attrs(std::initializer_list<std::pair<const char*, int64_t>> kv) {
  Ref<Map> m = make<Map>();
  for (auto& [k, v] : kv) m->set(k, Number::withI64(v));
  return m;
}

inline Ref<AttributedString> astr(const char* s) { return AttributedString::withString(String::withCString(s)); }

// "start+length" per run, for readable comparisons.
inline std::vector<std::string> runsOf(const AttributedString& a) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < a.runCount(); i++) {
    Ref<Range> r = a.runRange(i);
    out.push_back(std::to_string(r->start) + "+" + std::to_string(r->length));
  }
  return out;
}

// Runs cover the text, none is empty, no equal neighbours.
inline ::testing::AssertionResult invariantsHold(const AttributedString& a) {
  int32_t at = 0;
  for (uint32_t i = 0; i < a.runCount(); i++) {
    const auto& r = a._run(i);
    if (r.start != at) return ::testing::AssertionFailure() << "gap or overlap at run " << i;
    if (r.length < 1) return ::testing::AssertionFailure() << "empty run " << i;
    if (i > 0 && AttributedString::same(a._run(i - 1).attributes.get(), r.attributes.get()))
      return ::testing::AssertionFailure() << "unmerged neighbours at run " << i;
    at += r.length;
  }
  if (at != a.byteLength()) return ::testing::AssertionFailure() << "runs end at " << at;
  return ::testing::AssertionSuccess();
}

// A view 200 x 100 at (10, 20) of a fresh tree, base size 12.
struct ViewScope {
  explicit ViewScope(uint32_t perByte = 8, int32_t w = 200, int32_t h = 100) : drivers(perByte) {
    tree = make<UXViewTree>();
    view = make<UXTextView>();
    view->baseSize = 12;
    view->attachTo(tree, UXRect(10, 20, w, h));
  }
  void setText(const char* s) {
    view->text = astr(s);
    view->invalidateLayout();
  }
  std::string str() const { return std::string(view->text->text->view()); }
  DriverScope drivers;
  Ref<UXViewTree> tree;
  Ref<UXTextView> view;
};

}  // namespace quorl::test
