// The native controls' rules that need no window: toolbar titles, the
// native scroll view's steps and range, and what a text field's stand-in
// shows.
#include <gtest/gtest.h>

#include <string>

#include "ux/win32/W32ControlRules.h"

namespace quorl {
namespace {

TEST(W32ControlRulesTest, ToolbarTitlesAreCutTo126BytesOnACharacterBoundary) {
  const std::string a125(125, 'a'), a126(126, 'a');
  struct Case {
    std::string in;
    std::string want;
  } cases[] = {
      {"", ""},
      {"Open", "Open"},
      {a126, a126},
      {std::string(200, 'x'), std::string(126, 'x')},
      // An é whose second byte would be the 127th: dropped whole.
      {a125 + "\xC3\xA9" + "tail", a125},
      {a126.substr(2) + "\xC3\xA9" + "z", a126.substr(2) + "\xC3\xA9"},
      // A four-byte emoji across the cut.
      {std::string(124, 'b') + "\xF0\x9F\x98\x80", std::string(124, 'b')},
  };
  for (const Case& c : cases) EXPECT_EQ(w32ToolbarTitle(c.in.c_str()), c.want) << c.in.size();
  EXPECT_EQ(w32ToolbarTitle(nullptr), "");
}

TEST(W32ControlRulesTest, ScrollViewsStepByLinePageThumbAndWheel) {
  struct Case {
    int32_t pos;
    uint32_t code;
    int32_t thumb;
    int32_t want;
  } codes[] = {
      {0, kW32SbLineDown, 0, 20},       {40, kW32SbLineUp, 0, 20},        {0, kW32SbPageDown, 0, 100},
      {150, kW32SbPageUp, 0, 50},       {10, kW32SbLineUp, 0, -10},  // the bar clamps it
      {5, kW32SbThumbPosition, 70000, 70000},                         // 32-bit thumb positions
      {5, kW32SbThumbTrack, 33, 33},    {77, 8 /* end scroll */, 0, 77}, {77, 6 /* top */, 0, 77},
  };
  for (const Case& c : codes) EXPECT_EQ(w32ScrollerStep(c.pos, c.code, c.thumb), c.want) << c.code;
  struct Wheel {
    int32_t pos, delta, want;
  } wheels[] = {{200, 240, 120}, {200, 100, 200}, {200, -120, 240}, {200, -359, 280}, {0, 120, -40}};
  for (const Wheel& w : wheels) EXPECT_EQ(w32ScrollerWheel(w.pos, w.delta), w.want) << w.delta;
}

TEST(W32ControlRulesTest, TheRangeIsTheContentBeyondThePage) {
  struct Case {
    int32_t content, client, fallback, want;
  } cases[] = {
      {500, 200, 10, 300}, {150, 200, 10, 0}, {200, 200, 0, 0}, {500, 0, 120, 380}, {500, -3, 120, 380}, {0, 0, 0, 0},
  };
  for (const Case& c : cases) EXPECT_EQ(w32ScrollerMax(c.content, c.client, c.fallback), c.want);
}

TEST(W32ControlRulesTest, ASecureFieldShowsOneBulletACharacter) {
  const std::string bullet = "\xE2\x80\xA2";
  struct Case {
    const char* buffer;
    bool secure;
    std::string want;
  } cases[] = {
      {"abc", false, "abc"},
      {"abc", true, bullet + bullet + bullet},
      {"\xC3\xA9t\xC3\xA9", true, bullet + bullet + bullet},  // characters, not bytes
      {"\xF0\x9F\x98\x80", true, bullet},
      {"", true, ""},
      {nullptr, true, ""},
      {nullptr, false, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(w32FieldShown(c.buffer, c.secure), c.want);
}

}  // namespace
}  // namespace quorl
