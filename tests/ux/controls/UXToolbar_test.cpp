// The toolbar: its layout table (overflow, flexible spaces), the hit test,
// clicks and native commands, and the drawing in both heights.
#include "ControlTest.h"
#include "foundation/Array.h"
#include "ux/controls/UXIcon.h"
#include "ux/controls/UXToolbar.h"
#include "ux/core/UXGraphics.h"

namespace quorl::test {
namespace {

struct ItemSpec {
  int32_t kind;
  int16_t width;
  const char* title = "";
  const char* icon = "";
  uint32_t tag = 0;
};

Ref<UXToolbar> toolbarWith(const std::vector<ItemSpec>& specs) {
  auto t = make<UXToolbar>();
  for (const ItemSpec& s : specs) {
    auto item = make<UXToolbarItem>();
    item->itemKind = s.kind, item->width = s.width, item->title = s.title, item->iconName = s.icon;
    item->tag = s.tag;
    t->items->add(item);
  }
  return t;
}

Ref<UXToolbarItem> item(const Ref<UXToolbar>& t, uint32_t i) { return staticCast<UXToolbarItem>(t->items->get(i)); }

// Each item as "x+laidWidth", or "-" when hidden.
std::vector<std::string> placesOf(const Ref<UXToolbar>& t) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < t->items->count(); ++i) {
    auto it = item(t, i);
    out.push_back(it->visible ? std::to_string(it->x) + "+" + std::to_string(it->laidWidth) : "-");
  }
  return out;
}

constexpr int32_t B = kUXToolbarButton, S = kUXToolbarSpace, F = kUXToolbarFlexibleSpace, P = kUXToolbarSeparator;

TEST(UXToolbarLayout, PlacesHidesAndShares) {
  struct Case {
    const char* name;
    int16_t w;
    std::vector<ItemSpec> items;
    std::vector<std::string> places;
    uint32_t hidden;
  } cases[] = {
      {"overflow hides", 200, {{B, 60}, {B, 60}, {B, 60}}, {"8+60", "74+60", "-"}, 1},
      {"one pixel short hides", 207, {{B, 60}, {B, 60}, {B, 60}}, {"8+60", "74+60", "-"}, 1},
      {"exact fit is kept", 208, {{B, 60}, {B, 60}, {B, 60}}, {"8+60", "74+60", "140+60"}, 0},
      {"a flexible space hides nothing", 200, {{B, 60}, {B, 60}, {F, 99}, {B, 60}},
       {"8+60", "74+60", "140+0", "146+60"}, 0},
      {"two flexible spaces share 101", 179, {{B, 50}, {F, 0}, {F, 0}}, {"8+50", "64+50", "120+50"}, 0},
      {"later narrower items still fit", 150, {{B, 60}, {B, 80}, {S, 20}, {P, 1}},
       {"8+60", "-", "74+20", "100+1"}, 1},
      {"fixed spaces and separators take their width", 300, {{B, 60}, {P, 10}, {S, 20}, {B, 40}},
       {"8+60", "74+10", "90+20", "116+40"}, 0},
      {"nothing fits", 10, {{B, 60}, {S, 5}}, {"-", "-"}, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    auto t = toolbarWith(c.items);
    t->layout(c.w);
    EXPECT_EQ(placesOf(t), c.places);
    EXPECT_EQ(t->hiddenCount, c.hidden);
  }
  // A hidden item keeps the place it had; an empty toolbar clears the count.
  auto t = toolbarWith({{B, 60}, {B, 80}});
  item(t, 1)->x = 99, item(t, 1)->laidWidth = 77;
  t->layout(100);
  EXPECT_EQ(item(t, 1)->x, 99);
  EXPECT_EQ(item(t, 1)->laidWidth, 77);
  t->items->removeAll();
  t->layout(100);
  EXPECT_EQ(t->hiddenCount, 0u);
  // Sums of many wide items do not overflow: everything past the edge hides.
  auto wide = make<UXToolbar>();
  for (int i = 0; i < 70000; ++i) wide->items->add(toolbarWith({{B, 32767}})->items->get(0));
  wide->layout(32767);
  EXPECT_EQ(wide->hiddenCount, 70000u);
}

TEST(UXToolbarLayout, HitTestFindsVisibleButtonsOnly) {
  auto t = toolbarWith({{B, 60}, {P, 10}, {S, 20}, {B, 40}});
  t->layout(300);
  struct Case {
    int16_t x;
    uint32_t want;
  } cases[] = {{7, kNotFound},  {8, 0},  {67, 0},  {68, kNotFound}, {74, kNotFound},
               {95, kNotFound}, {116, 3}, {155, 3}, {156, kNotFound}};
  for (const Case& c : cases) EXPECT_EQ(t->itemAtLocalX(c.x), c.want) << c.x;
  // Laid out narrower, the last button is hidden though it keeps its place.
  t->layout(100);
  EXPECT_EQ(t->itemAtLocalX(120), kNotFound);
  EXPECT_EQ(make<UXToolbar>()->itemAtLocalX(10), kNotFound);
  EXPECT_EQ(UXToolbar::tbSlen("Open"), 4u);
  EXPECT_EQ(UXToolbar::tbSlen(nullptr), 0u);
  // Native commands pick the first item with the tag, of any kind.
  auto n = toolbarWith({{B, 10, "", "", 5}, {P, 1, "", "", 7}, {B, 10, "", "", 7}});
  for (auto [id, want] : {std::pair{7u, 1}, {99u, 1}, {5u, 0}}) {
    n->applyNativeItemClick(id);
    EXPECT_EQ(n->clickedIndex, want) << id;
  }
}

std::vector<std::string> iconLines(const char* name, int x, int y) {
  RecordingGraphics g;
  UXIcon::draw(g, name, x, y, 1);
  return g.lines;
}

// Concatenates runs of lines.
std::vector<std::string> join(std::initializer_list<std::vector<std::string>> parts) {
  std::vector<std::string> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST(UXToolbarDrawing, ShortToolbarTitlesBesideTheIcon) {
  auto t = toolbarWith({{B, 60, "Open", "open"}, {P, 1}, {B, 50, "Zz", "bogus"}});
  t->clickedIndex = 2;
  for (int16_t h : {30, 39}) {  // 39 pixels high is still the short layout
    RecordingGraphics g;
    t->drawRect(g, UXRect(0, 0, 200, h));
    const std::string ty = std::to_string((h - 12) / 2), bottom = std::to_string(h - 3),
                      side = std::to_string(h - 4);
    EXPECT_EQ(g.lines[1], "fillRect 8,2,60," + side + " 0");
    EXPECT_EQ(g.lines[6], iconLines("open", 14, (h - 16) / 2)[0]);
    // An unknown icon draws none, and its title moves left.
    EXPECT_EQ(g.of("drawText"), (std::vector<std::string>{"drawText \"Open\" 34 " + ty + " 1 0",
                                                           "drawText \"Zz\" 87 " + ty + " 1 0"}));
    EXPECT_EQ(g.of("fillRect").size(), 1 + 5 + iconLines("open", 0, 0).size() + 1 + 5);
    EXPECT_EQ(g.lines[g.lines.size() - 7], "fillRect 74,4,1," + std::to_string(h - 8) + " 9");
    EXPECT_EQ(g.lines[g.lines.size() - 5], "fillRect 81,2,50,1 9");
    EXPECT_EQ(g.lines[g.lines.size() - 4], "fillRect 81," + bottom + ",50,1 9");
    EXPECT_EQ(g.lines[g.lines.size() - 6], "fillRect 81,2,50," + side + " 250");  // the clicked face
  }
}

TEST(UXToolbarDrawing, TallToolbarTitlesBelowTheIcon) {
  auto t = toolbarWith({{B, 60, "Open", "open"}, {B, 40, "A very long title"}, {B, 50, "Img", ""}});
  auto image = make<UXImage>();
  image->width = 2, image->height = 3;
  image->pixels.assign(2 * 3 * 4, 0xFF);
  item(t, 2)->image = image;
  RecordingGraphics g;
  t->drawRect(g, UXRect(0, 0, 200, 40));
  EXPECT_EQ(g.lines, join({{"fillRect 0,0,200,40 8", "fillRect 8,2,60,36 0", "fillRect 8,2,60,1 9",
                            "fillRect 8,37,60,1 9", "fillRect 8,2,1,36 9", "fillRect 67,2,1,36 9"},
                           iconLines("open", 30, 6),
                           {"drawText \"Open\" 26 24 1 0",
                            "fillRect 74,2,40,36 0", "fillRect 74,2,40,1 9", "fillRect 74,37,40,1 9",
                            "fillRect 74,2,1,36 9", "fillRect 113,2,1,36 9",
                            // Too long for its button: starts 2 pixels in; no icon, so on the text line.
                            "drawText \"A very long title\" 76 14 1 0",
                            "fillRect 120,2,50,36 0", "fillRect 120,2,50,1 9", "fillRect 120,37,50,1 9",
                            "fillRect 120,2,1,36 9", "fillRect 169,2,1,36 9",
                            "drawPixels ptr 2 3 1 0,0,2,3 137,6,16,16 255", "drawText \"Img\" 136 24 1 0"}}));
}

class UXToolbarClick : public ControlTest {
 protected:
  // 300 x 30 at (30, 40) under the root at (10, 20): absolute x 40.
  Ref<UXToolbar> placed() {
    auto t = place(toolbarWith({{B, 60}, {P, 10}, {S, 20}, {B, 40}}), UXRect(30, 40, 300, 30));
    t->action = probe->block();
    return t;
  }
  void clickAt(const Ref<UXToolbar>& t, int16_t localX) {
    UXEvent e;
    e.type = kUXEventMouseDown;
    e.x = int16_t(40 + localX);
    e.y = 70;
    t->mouseDown(e);
  }
  Ref<ActionProbe> probe = make<ActionProbe>();
};

TEST_F(UXToolbarClick, ClicksOnButtonsOnly) {
  struct Case {
    const char* name;
    bool laidOut, enabled;
    std::vector<int16_t> xs;
    int32_t clicked;
    int calls;
  } cases[] = {
      {"buttons", true, true, {10, 120}, 3, 2},
      {"separator, space, gap and margin", true, true, {75, 95, 70, 2}, -1, 0},
      {"never laid out", false, true, {10}, -1, 0},
      {"disabled", true, false, {10}, -1, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    reset();
    auto t = placed();
    if (c.laidOut) t->layout(300);
    if (!c.enabled) disable(*t);
    clearMarks();
    for (int16_t x : c.xs) clickAt(t, x);
    EXPECT_EQ(t->clickedIndex, c.clicked);
    EXPECT_EQ(probe->calls, c.calls);
    EXPECT_EQ(gNeedsDisplay, c.calls ? 1 : 0);
    if (c.calls) {
      EXPECT_EQ(tree->dirtyRect, UXRect(40, 60, 300, 30));
    }
    TearDown();
    probe = make<ActionProbe>();
  }
}

TEST_F(UXToolbarClick, ClicksUseTheLastLayoutAndTheHighlightStays) {
  auto t = placed();
  RecordingGraphics g;
  t->drawRect(g, UXRect(0, 0, 300, 30));
  // Widths changed without a new layout: the old places still decide.
  item(t, 0)->width = 5;
  clickAt(t, 50);
  EXPECT_EQ(t->clickedIndex, 0);
  for (int pass = 0; pass < 2; ++pass) {
    RecordingGraphics again;
    t->drawRect(again, UXRect(0, 0, 300, 30));
    EXPECT_EQ(again.lines[1], "fillRect 8,2,5,26 250") << pass;
  }
  clickAt(t, 70);  // the draws above laid out again: button 3 now spans 61..100
  EXPECT_EQ(t->clickedIndex, 3);
  EXPECT_EQ(probe->calls, 2);
}

}  // namespace
}  // namespace quorl::test
