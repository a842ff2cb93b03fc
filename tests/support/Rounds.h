// How many rounds a heavy generated test runs: a tenth in the sanitized
// build, which checks memory, while the plain build checks the results.
#pragma once

namespace quorl::test {

constexpr int rounds(int plain) {
#ifdef QUORL_SANITIZE
  return plain / 10 > 0 ? plain / 10 : 1;
#else
  return plain;
#endif
}

}  // namespace quorl::test
