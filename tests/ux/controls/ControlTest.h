// The fixture every controls suite shares: a ScriptedDriver installed as the
// driver, one view tree whose root (node 0) sits at (10, 20) so that
// relative and absolute frames differ, and an action probe.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "RecordingGraphics.h"
#include "ScriptedDriver.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXDispatch.h"
#include "ux/core/UXEvent.h"
#include "ux/core/UXNodeTree.h"
#include "ux/core/UXView.h"
#include "ux/core/UXViewTree.h"

namespace quorl::test {

// A target that counts the calls of the blocks made from it.
class ActionProbe : public Object {
 public:
  int calls = 0;
  Weak<UXView> lastSender;
  // A block whose function records the call on this probe.
  UXAction block() {
    UXAction a;
    a.target = self();
    a.function = [](const Ref<Object>& target, const Ref<UXView>& sender, const UXAction&) {
      auto* probe = static_cast<ActionProbe*>(target.get());
      probe->calls++;
      probe->lastSender = sender;
    };
    return a;
  }
};

inline std::string describe(const Object& o) { return std::string(o.description()->cString()); }

class ControlTest : public ::testing::Test {
 protected:
  void SetUp() override {
    driver = make<ScriptedDriver>();
    gDriver = driver;
    gNeedsDisplay = 0;
    gEventTap = UXEventTap();
    gInputReplay = 0;
    tree = make<UXViewTree>();
    root = make<UXView>();
    root->attachTo(tree, UXRect(10, 20, 800, 600));
    driver->clearCalls();
  }
  void TearDown() override {
    tree.reset();
    root.reset();
    gEventTap = UXEventTap();
    gInputReplay = 0;
    gNeedsDisplay = 0;
    gDriver.reset();
  }

  // A fresh driver and tree, for each row of a table-driven test.
  void reset() {
    TearDown();
    SetUp();
  }

  // Attaches the view as the builders do: attachTo, then its node linked
  // under the root.
  template <class T> Ref<T> place(const Ref<T>& view, UXRect frame) {
    view->attachTo(tree, frame);
    driver->structAddChild(tree->driverTree, 0, int16_t(view->node));
    return view;
  }
  UXNode& nodeOf(const UXView& view) { return *tree->driverTree->at(int16_t(view.node)); }
  void disable(const UXView& view) { driver->structSetEnabled(tree->driverTree, int16_t(view.node), 0); }
  // Clears the redraw marks so that a step's own marks can be checked.
  void clearMarks() {
    tree->clearDirty();
    gNeedsDisplay = 0;
  }

  Ref<ScriptedDriver> driver;
  Ref<UXViewTree> tree;
  Ref<UXView> root;
};

}  // namespace quorl::test
