// Generated URL authorities for the networking tests, each made from parts
// whose soundness is known as they are put together: the expected reading
// comes from how the text was made, never from scanning it.
#pragma once

#include <cstdint>
#include <random>
#include <string>

namespace quorl::test {

struct Authority {
  std::string text;     // host, anything behind it, and the port part
  std::string host;     // as Url::host answers it when the host is sound
  uint32_t port = 0;    // the port when sound, 0 when none is written
  const char* fault = nullptr;  // null, "invalid URL" or "invalid port in URL"
};

class AuthorityMaker {
 public:
  explicit AuthorityMaker(uint32_t seed) : rng_(seed) {}

  Authority next() {
    Authority a;
    bool hostFault = false, portFault = false;
    const bool bracketed = pick(2) == 0;
    if (bracketed) {
      std::string literal = letters("0123456789abcdefABCDEF:.%", 1 + pick(39));
      switch (pick(6)) {
        case 0: a.host = "[" + literal; hostFault = true; break;          // never closed
        case 1: a.host = "[]"; hostFault = true; break;                     // empty
        case 2: a.host = "[[" + literal + "]"; hostFault = true; break;     // opened twice
        default: a.host = "[" + literal + "]"; break;
      }
      // Bytes between the literal and its port's ':' (one never closed would be closed by a ']').
      if (a.host.back() == ']' && pick(4) == 0) {
        const std::string between[] = {"]", "x", "[", "]]", "a:", ".", "%41", "@h"};
        a.host += between[pick(8)];
        hostFault = true;
      }
    } else {
      a.host = letters("abcdefghijklmnopqrstuvwxyz0123456789.-_~%@!$&'()*+,;=", pick(24));
      if (pick(5) == 0) {
        a.host.insert(pick(uint32_t(a.host.size()) + 1), 1, pick(2) ? ']' : '[');
        hostFault = true;
      }
    }
    a.text = a.host;
    switch (pick(9)) {
      case 0: break;  // no port
      case 1: a.text += ":"; break;  // an empty port: the scheme's own
      case 2:  // in the range, maybe with leading zeros
        a.port = 1 + pick(65535);
        a.text += ":" + std::string(pick(3) ? 0 : pick(4), '0') + std::to_string(a.port);
        break;
      case 3: a.text += ":" + std::string(1 + pick(4), '0'); portFault = true; break;  // zero
      case 4: {  // past the range, past 2^32, past 2^64
        const std::string over[] = {"65536", std::to_string(65536 + pick(1000000)), "4294967296",
                                    std::to_string(4294967296ull + 1 + pick(65535)), "18446744073709551616",
                                    "18446744073709551696", std::string(20 + pick(20), '9')};
        a.text += ":" + over[pick(7)];
        portFault = true;
        break;
      }
      case 5: a.text += std::string(":") + "+-"[pick(2)] + std::to_string(pick(65536)); portFault = true; break;
      case 6: {  // a letter somewhere among the digits
        std::string digits = std::to_string(1 + pick(65535));
        digits.insert(pick(uint32_t(digits.size()) + 1), 1, "xXaeE.,_:@"[pick(10)]);
        a.text += ":" + digits;
        portFault = true;
        break;
      }
      case 7: a.text += ":" + std::to_string(1 + pick(65535)) + ":" + std::to_string(pick(100)); portFault = true; break;
      default: a.text += ":" + letters("abcxyz@", 1 + pick(4)); portFault = true; break;
    }
    if (hostFault) a.port = 0, a.fault = "invalid URL";
    else if (portFault) a.fault = "invalid port in URL";
    return a;
  }

  // What may follow an authority; none of it changes the reading.
  std::string tail() {
    const std::string tails[] = {"", "/", "/p:1/[x]", "?q=:80", "/a?b=[::1]:0", "?", "/benchmarks/submit.php"};
    return tails[pick(7)];
  }
  std::string scheme() {
    const std::string schemes[] = {"http://", "https://", "HTTP://", ""};
    return schemes[pick(4)];
  }
  uint32_t pick(uint32_t n) { return uint32_t(rng_() % n); }

 private:
  std::string letters(const char* alphabet, uint32_t n) {
    const std::string set = alphabet;
    std::string out;
    for (; n > 0; n--) out += set[pick(uint32_t(set.size()))];
    return out;
  }
  std::mt19937 rng_;
};

}  // namespace quorl::test
