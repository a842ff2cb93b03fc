// Shared set-up of the scroll, table and outline tests: a scripted driver
// as the installed driver, an application, and a view tree whose root view
// covers 800 x 600 at node 0.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingGraphics.h"
#include "ScriptedDriver.h"
#include "foundation/Array.h"
#include "ux/controls/UXTableView.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXViewTree.h"
#include "ux/core/UXWindow.h"

namespace quorl::test {

class ScrollTestBase : public ::testing::Test {
 protected:
  void SetUp() override {
    driver = make<ScriptedDriver>();
    gDriver = driver;
    gApp = make<UXApplication>();
    gNeedsDisplay = 0;
    gInputReplay = 0;
    gEventTap = UXEventTap();
    tree = make<UXViewTree>();
    tree->windowHandle = 1;
    root = make<UXView>();
    root->attachTo(tree, UXRect(0, 0, 800, 600));
  }
  void TearDown() override {
    gEventTap = UXEventTap();
    root.reset();
    tree.reset();
    gApp.reset();
    gDriver.reset();
  }

  // Attaches view under the root at frame.
  template <class V> Ref<V> place(const Ref<V>& view, UXRect frame) {
    view->attachTo(tree, frame);
    driver->structAddChild(tree->driverTree, 0, int16_t(view->node));
    view->superview = root;
    view->nextResponder = root;
    root->subviews->add(view);
    return view;
  }

  const UXNode& nodeOf(const UXView& v) const { return *tree->driverTree->at(int16_t(v.node)); }
  UXRect frameOf(const UXView& v) const { return v.frame(); }

  Ref<UXEvent> press(int32_t x, int32_t y, uint16_t mods = 0) {
    Ref<UXEvent> e = make<UXEvent>();
    e->type = kUXEventMouseDown;
    e->x = int16_t(x);
    e->y = int16_t(y);
    e->mods = mods;
    return e;
  }

  Ref<ScriptedDriver> driver;
  Ref<UXViewTree> tree;
  Ref<UXView> root;
};

// Rows "r<row>c<column>", texts built on demand and kept until the next
// count; every question is counted.
class GridSource : public Object, public UXTableDataSource {
 public:
  uint32_t rows = 0;
  uint32_t countCalls = 0, cellCalls = 0;
  std::vector<std::pair<uint32_t, uint32_t>> asked;
  bool record = true;

  uint32_t numberOfRows(UXTableView&) override {
    countCalls++;
    texts.clear();
    return rows;
  }
  const char* valueForCell(UXTableView&, uint32_t row, uint32_t column) override {
    cellCalls++;
    if (record) asked.emplace_back(row, column);
    texts.push_back(std::make_unique<std::string>("r" + std::to_string(row) + "c" + std::to_string(column)));
    return texts.back()->c_str();
  }

 private:
  std::vector<std::unique_ptr<std::string>> texts;
};

class SelectionLog : public Object, public UXTableDelegate {
 public:
  std::vector<int32_t> calls;
  void tableSelectionDidChange(UXTableView&, int32_t row) override { calls.push_back(row); }
};

}  // namespace quorl::test
