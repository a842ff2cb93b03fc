// Shared by the application's tests: a scripted driver installed as the
// platform, a controller with its window built, events pumped one by one as
// the main loop would, and temporary files.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "ScriptedDriver.h"
#include "TempDir.h"
#include "app/Controller.h"
#include "app/PickView.h"
#include "foundation/Array.h"
#include "foundation/String.h"
#include "ux/core/UXApplication.h"
#include "ux/core/UXEvent.h"

namespace quorl::apptest {

inline Ref<String> S(const char* text) { return String::withCString(text); }
inline std::string str(Ptr<const String> s) { return s ? std::string(s->view()) : std::string("<null>"); }

inline std::string samplePath(const char* name) { return std::string(QUORL_SOURCE_DIR) + "/samples/" + name; }

// The texts of an Array of Strings joined by "|".
inline std::string joined(Ptr<const Array> list) {
  std::string out;
  for (uint32_t i = 0; list && i < list->count(); i++) {
    if (i) out += "|";
    out += str(cast<String>(list->get(i)));
  }
  return out;
}

using test::TempDir;  // a fresh folder under the build tree, removed with the object

// A controller over the scripted driver. `open()` builds the main window as
// UXApplication.run does (boot, then applicationDidStart) without entering
// the loop; `pump()` then handles the queued events as the loop would.
class AppFixture : public ::testing::Test {
 protected:
  Ref<ScriptedDriver> driver;
  Ref<UXApplication> app;
  Ref<Controller> controller;
  Ref<String> out;  // everything the controller printed

  void SetUp() override {
    driver = make<ScriptedDriver>();
    driver->logging = false;
    gDriver = driver;
    app = make<UXApplication>();
    controller = make<Controller>();
    out = make<String>();
    controller->transcript = out;
    app->delegate = controller;
  }
  void TearDown() override {
    if (gApp == app) gApp.reset();
    app->delegate.reset();
    app.reset();
    controller.reset();
    gDriver.reset();
  }

  void open() {
    ASSERT_TRUE(app->boot());
    controller->applicationDidStart(*app);
  }
  uint32_t handle() const { return controller->window ? controller->window->handle : 0; }
  void pump() {
    while (driver->pendingEvents() > 0) {
      Ref<UXEvent> event = make<UXEvent>();
      driver->nextEvent(0, *event);
      app->dispatchEvent(*event);
      app->displayIfNeeded();
    }
  }
  // A click at the centre of the view, in window coordinates.
  void click(const Ref<UXView>& view) {
    const UXRect f = view->absoluteFrame();
    driver->postMouseDown(handle(), int16_t(f.x() + f.w() / 2), int16_t(f.y() + f.h() / 2));
    pump();
  }
  void menu(int32_t item) {
    driver->postMenu(0, item);
    pump();
  }
  // Picks entry `index` of the picker's menu (0 is the none-label).
  void choose(const Ref<PickView>& picker, int32_t index) {
    driver->popUpAnswers.push_back(index);
    click(picker);
  }
  // The output since the last call.
  std::string take() {
    std::string text = str(out);
    out->clear();
    return text;
  }
};

}  // namespace quorl::apptest
