// Choosing a file to open: the one place the application asks for a path.
#pragma once

#include "foundation/String.h"

namespace quorl {

// The path the user chose, or null when they cancelled. Uses the driver's
// native open dialog when it has one; without one there is nothing to ask
// yet, and the answer is null.
Ref<String> appChooseFile(const char* title, const char* directory);

}  // namespace quorl
