// The native build's platform driver: the headless driver, keeping its
// settings in $XDG_CONFIG_HOME/quorl/settings.ini (or ~/.config/...).
#include <cstdlib>
#include <string>

#include "ux/headless/UXHeadlessDriver.h"

namespace quorl {

Ref<UXViewDriver> uxMakePlatformDriver() {
  auto driver = make<UXHeadlessDriver>();
  std::string folder;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) folder = xdg;
  else if (const char* home = std::getenv("HOME"); home && *home) folder = std::string(home) + "/.config";
  if (!folder.empty()) driver->setSettingsFile(folder + "/quorl/settings.ini");
  return driver;
}

}  // namespace quorl
