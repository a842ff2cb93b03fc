// Controller: fields and lifecycle, and the program's entry point.
#include "app/Controller.h"

#include "app/PickView.h"
#include "net/Net.h"
#include "ux/core/UXViewDriver.h"
#include "ux/core/UXViewTree.h"

namespace quorl {

Controller::Controller()
    : dataSet(make<DataSet>()), filter(make<Filter>()), rows(make<Array>()), downloaded(make<Array>()) {}

// Fields 1 to 21 and 25 in declaration order: the model first, then the
// views, the window last of them.
Controller::~Controller() {
  dataSet.reset();
  filter.reset();
  chart.reset();
  chartScroll.reset();
  table.reset();
  cpuPick.reset();
  gpuPick.reset();
  suitePick.reset();
  devicePick.reset();
  optPick.reset();
  archPick.reset();
  viewPick.reset();
  baselinePick.reset();
  metricPopUp.reset();
  firstRunBox.reset();
  publishBox.reset();
  statusLabel.reset();
  window.reset();
  rows.reset();
  ownContribution.reset();
  lastStatus.reset();
  startPath.reset();
}

Ref<String> Controller::description() const {
  const uint16_t values[3] = {uint16_t(exitCode), uint16_t(updating ? 1 : 0), uint16_t(selfTest ? 1 : 0)};
  return String::_classDescribe("Controller", values, 3, 0x01);
}

void Controller::repaintNow() {
  if (!window || !gDriver || window->handle == 0) return;
  window->realize();
  gDriver->windowInvalidate(window->handle);
}

// ---------------------------------------------------------------------------
// The entry point

int quorlMain(int argc, const char* const* argv, const std::function<void(const Ref<Controller>&)>& prepare) {
  Ref<Controller> controller = make<Controller>();
  Ref<UXApplication> application = make<UXApplication>();
  if (argc > 1 && argv[1]) {
    Ref<String> first = String::withCString(argv[1]);
    if (first->equalsIgnoringCase(String::withCString("--selftest"))) {
      controller->selfTest = true;
      if (argc > 2 && argv[2]) controller->startPath = String::withCString(argv[2]);
      application->setHeadless(1);
    } else {
      controller->startPath = first;
    }
  }
  if (argc > 0 && argv[0]) Net::setProgramPath(String::withCString(argv[0]));
  application->delegate = controller;
  if (prepare) prepare(controller);

  const int32_t status = application->run();

  int result = controller->exitCode;
  if (controller->selfTest && !controller->selfTestCompleted) {
    // The checks never ran (the driver did not boot): that is no pass.
    result = status != 0 ? status : 1;
  } else if (result == 0 && status != 0) {
    // The application could not run at all.
    result = status;
  }
  // Release in order: the application (windows, menu bar, the controller as
  // its delegate) before the driver that its windows still talk to.
  if (gApp == application) gApp.reset();
  application->delegate.reset();
  application.reset();
  controller.reset();
  return result;
}

}  // namespace quorl
