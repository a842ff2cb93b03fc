// Small builders shared by the results tests.
#pragma once

#include <fstream>
#include <initializer_list>
#include <sstream>
#include <string>

#include "bench/ResultModel.h"
#include "foundation/Array.h"
#include "foundation/Map.h"
#include "foundation/Number.h"
#include "foundation/String.h"

namespace quorl::benchtest {

inline Ref<String> S(const char* text) { return text ? String::withCString(text) : nullptr; }

inline std::string str(Ptr<const String> s) { return s ? std::string(s->view()) : std::string("<null>"); }

inline Ref<Array> numbers(std::initializer_list<int64_t> values) {
  auto array = make<Array>();
  for (int64_t v : values) array->add(Number::withI64(v));
  return array;
}

inline Ref<Array> load(const char* json, const char* source = "test") {
  return Contribution::loadText(S(json), S(source));
}

inline Ref<Contribution> contributionAt(const Ref<Array>& list, uint32_t i) {
  return cast<Contribution>(list->get(i));
}

inline Ref<Run> runAt(const Ref<Contribution>& c, uint32_t i) { return cast<Run>(c->runs->get(i)); }

inline uint32_t totalRuns(const Ref<Array>& contributions) {
  uint32_t n = 0;
  for (uint32_t i = 0; i < contributions->count(); ++i) n += contributionAt(contributions, i)->runs->count();
  return n;
}

inline std::string paramText(const Ref<Map>& params) {
  std::string out;
  for (uint32_t i = 0; i < params->count(); ++i) {
    auto key = cast<String>(params->enumAt(i));
    if (!out.empty()) out += ",";
    out += str(key) + "=" + str(BHelp::text(params->get(key)));
  }
  return out;
}

inline std::string readSample(const char* name) {
  std::ifstream in(std::string(QUORL_SOURCE_DIR) + "/samples/" + name, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace quorl::benchtest
