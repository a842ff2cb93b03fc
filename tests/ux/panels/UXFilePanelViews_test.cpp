// The panel's drawn list, header, group box, background and alert record.
#include <string>

#include "PanelTest.h"
#include "RecordingGraphics.h"
#include "foundation/String.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXViewTree.h"
#include "ux/panels/UXFilePanelViews.h"

namespace quorl::test {
namespace {

class PanelViews : public PanelTest {
 protected:
  Ref<UXFilePanel> panel = make<UXFilePanel>();
  RecordingGraphics g;
  void rows(int n) {
    panel->visible.clear();
    for (int i = 0; i < n; ++i) panel->visible.push_back(make<UXFileRow>("r" + std::to_string(i), 0, 1536));
  }
  // A list attached as the root of a tree at (10, 98), 316 x 180.
  Ref<UXFileListView> attachedList() {
    tree = make<UXViewTree>();
    auto list = make<UXFileListView>();
    list->attachTo(tree, UXRect(10, 98, 316, 180));
    list->panel = panel;
    panel->list = list;
    return list;
  }
  void click(UXView& view, int32_t x, int32_t y) {
    UXEvent e;
    e.type = kUXEventMouseDown;
    e.x = int16_t(x);
    e.y = int16_t(y);
    view.mouseDown(e);
  }
  Ref<UXViewTree> tree;
};

TEST_F(PanelViews, ThumbFollowsTheRowCountAndTop) {
  struct Case { int32_t h; uint32_t count; int32_t top; int32_t position, length; } cases[] = {
      {180, 0, 0, 14, 12}, {180, 5, 0, 14, 152}, {180, 10, 0, 14, 152},
      {180, 25, 15, 106, 60}, {180, 25, 0, 14, 60}, {180, 1000, 990, 154, 12},
  };
  for (const Case& c : cases) {
    int32_t position = 0, length = 0;
    UXFileListView::thumb(c.h, c.count, c.top, position, length);
    EXPECT_EQ(position, c.position) << c.count << " " << c.top;
    EXPECT_EQ(length, c.length) << c.count << " " << c.top;
  }
}

TEST_F(PanelViews, ListDrawsRowsSizesSelectionAndStrip) {
  auto list = make<UXFileListView>();
  list->drawRect(g, UXRect(0, 0, 316, 180));
  EXPECT_EQ(g.text(), "fillRect 0,0,302,180 0\n");  // no panel: blank

  list->panel = panel;
  panel->visible.push_back(make<UXFileRow>("..", 1, 0));
  panel->visible.push_back(make<UXFileRow>("src", 1, 4096));
  panel->visible.push_back(make<UXFileRow>("notes.txt", 0, 1536));
  panel->selected = 2;
  g.clear();
  list->drawRect(g, UXRect(0, 0, 316, 180));
  EXPECT_EQ(g.text(),
            "fillRect 0,0,302,180 0\n"
            "drawText \"> ..\" 6 4 1 0\n"
            "drawText \"> src\" 6 22 1 0\n"
            "fillRect 0,36,302,18 250\n"
            "drawText \"  notes.txt\" 6 40 1 0\n"
            "drawText \"1.5K\" 272 40 1 0\n"
            "fillRect 302,0,14,180 9\n"
            "fillTriangle 309 3 305 11 313 11 0\n"
            "fillTriangle 305 169 313 169 309 177 0\n"
            "fillRect 304,14,10,152 0\n");

  panel->recentsMode = 1;  // recent paths show no sizes
  g.clear();
  list->drawRect(g, UXRect(0, 0, 316, 180));
  EXPECT_EQ(g.count("drawText"), 3u);

  rows(25);
  panel->recentsMode = 0;
  panel->selected = 2;
  panel->top = 15;  // the selection lies above the shown rows
  g.clear();
  list->drawRect(g, UXRect(0, 0, 316, 180));
  EXPECT_EQ(g.count("fillRect"), 3u);
}

TEST_F(PanelViews, ListClicksSelectScrollAndPosition) {
  auto list = attachedList();
  rows(25);
  panel->top = 5;
  click(*list, 10 + 20, 98 + 3 * 18 + 2);  // row 3 of the view
  EXPECT_EQ(panel->selected, 8);
  struct Case { int32_t dy; int32_t start; int32_t top; } cases[] = {
      {13, 5, 4}, {180 - 13, 5, 6}, {180 - 14, 5, 15}, {14, 5, 0}, {300, 5, 6}};
  for (const Case& c : cases) {
    panel->top = c.start;
    click(*list, 10 + 310, 98 + c.dy);
    EXPECT_EQ(panel->top, c.top) << c.dy;
  }
  click(*list, 10 + 20, 98 + 170);  // below the tenth row of 25 shown from 6: row 15
  EXPECT_EQ(panel->selected, 15);
  list->panel.reset();
  click(*list, 10 + 20, 98 + 2);
  EXPECT_EQ(panel->selected, 15);
}

TEST_F(PanelViews, HeaderShowsAndSetsTheOrder) {
  tree = make<UXViewTree>();
  auto header = make<UXFileHeader>();
  header->attachTo(tree, UXRect(10, 80, 316, 18));
  header->drawRect(g, UXRect(0, 0, 316, 18));  // no panel: by name, ascending
  EXPECT_EQ(g.text(),
            "drawTheme \"header.pressed\" 0,0,228,18\n"
            "drawTheme \"header\" 228,0,74,18\n"
            "drawText \"Name\" 6 3 1 0\n"
            "drawText \"Size\" 234 3 1 0\n"
            "fillTriangle 214 13 222 13 218 5 1\n"
            "drawLine 0 17 316 17 1\n");
  header->panel = panel;
  struct Case { int32_t dx; uint32_t key; uint8_t ascending; const char* triangle; } cases[] = {
      {227, 0, 0, "fillTriangle 214 5 222 5 218 13 1"},
      {228, 1, 1, "fillTriangle 288 13 296 13 292 5 1"},
      {315, 1, 0, "fillTriangle 288 5 296 5 292 13 1"},
  };
  for (const Case& c : cases) {
    click(*header, 10 + c.dx, 85);
    EXPECT_EQ(panel->sortKey, c.key) << c.dx;
    EXPECT_EQ(panel->ascending, c.ascending) << c.dx;
    g.clear();
    header->drawRect(g, UXRect(0, 0, 316, 18));
    EXPECT_EQ(g.of("fillTriangle").at(0), c.triangle) << c.dx;
  }
}

TEST_F(PanelViews, GroupBoxBackgroundAndAlert) {
  UXGroupBox box;
  box.drawRect(g, UXRect(0, 0, 100, 160));
  EXPECT_EQ(g.text(),
            "fillRect 0,8,1,152 9\nfillRect 99,8,1,152 9\nfillRect 0,159,100,1 9\nfillRect 0,8,100,1 9\n");
  box.title = "Manage";
  g.clear();
  box.drawRect(g, UXRect(0, 0, 100, 160));
  EXPECT_EQ(g.of("fillRect").back(), "fillRect 6,1,60,14 8");
  EXPECT_EQ(g.of("drawText").at(0), "drawText \"Manage\" 10 1 1 0");

  UXFilePanelBack back;
  g.clear();
  back.drawRect(g, UXRect(5, 5, 444, 330));
  EXPECT_EQ(g.text(), "fillRect 0,0,444,330 8\n");

  UXAlert alert;
  alert.style = -2;
  alert.addLine("Delete this file?");
  alert.addLine("a.txt");
  alert.addButton("Delete");
  EXPECT_EQ(alert.message, "Delete this file?|a.txt");
  EXPECT_EQ(alert.buttons, "Delete");
  EXPECT_STREQ(alert.description()->cString(), "<UXAlert>(-2, 1)");
}

}  // namespace
}  // namespace quorl::test
