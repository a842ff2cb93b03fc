// The one entry for choosing a file to open: the driver's native dialog when
// it has one, else the toolkit's own modal file panel.
#pragma once

#include "foundation/Object.h"
#include "ux/core/UXStr.h"

namespace quorl {

class UXOpenPanel : public Object {
 public:
  // The chosen path, or null when the user cancelled. `dir` is the folder
  // to start in (the toolkit panel starts where it was last left).
  static UXCString run(const char* title, const char* dir);
  // The toolkit panel alone.
  static UXCString runToolkit(const char* title, const char* dir);

  const char* classNameC() const override { return "UXOpenPanel"; }
};

}  // namespace quorl
