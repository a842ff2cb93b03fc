// The member names and fixed texts of the result documents, made once so
// that reading a large corpus does not build a key string per lookup.
#pragma once

#include <cstring>
#include <typeinfo>

#include "foundation/Object.h"
#include "foundation/String.h"

namespace quorl {

// The class test of parsed values on the plain pointer. Parsed documents hold
// exactly the foundation classes, which an identity test of the type settles
// at once; anything else (a subclass) takes the full dynamic_cast.
template <class T> const T* valueAs(const Object* object) {
  if (!object) return nullptr;
  if (typeid(*object) == typeid(T)) return static_cast<const T*>(object);
  return dynamic_cast<const T*>(object);
}

// Whether a member name equals a fixed key, byte for byte, as Map lookups
// compare keys.
inline bool isKey(const String& name, const char* key, uint32_t length) {
  return name.byteLength() == length && std::memcmp(name.cString(), key, length) == 0;
}

struct ResultKeys {
  static const ResultKeys& shared() {
    static const ResultKeys keys;
    return keys;
  }

  static Ref<String> s(const char* text) { return String::withCString(text); }

  // Contribution document
  Ref<String> schema = s("schema"), id = s("id"), collected = s("collected"), repeats = s("repeats");
  Ref<String> machine = s("machine"), toolchains = s("toolchains"), runs = s("runs");
  // Machine object
  Ref<String> os = s("os"), arch = s("arch"), cpu = s("cpu"), gpu = s("gpu"), gpu_driver = s("gpu_driver"),
              memory_mb = s("memory_mb");
  // Run object (read member by member, see readRun) and par results
  Ref<String> opt = s("opt"), checksum = s("checksum"), best_us = s("best_us"), first_us = s("first_us");
  // Corpus
  Ref<String> contributions = s("contributions"), published = s("published");
  Ref<String> publishedSource = s("published");
  Ref<String> ourSchema = s("quorl-bench/1");
  // run.py and par results
  Ref<String> net = s("net"), raw = s("raw"), platform = s("platform"), version = s("version");
  Ref<String> baseline = s("baseline"), unknown = s("unknown"), x86_64 = s("x86_64"), suffix = s("_x86_64");
  Ref<String> lang = s("lang"), langs = s("langs"), par = s("par"), quorl = s("quorl"), O3 = s("O3");
  Ref<String> runPy = s("run.py"), parPy = s("par.py");
  Ref<String> QUORL_PAR = s("QUORL_PAR"), QUORL_PAR_THREADS = s("QUORL_PAR_THREADS"),
              QUORL_PAR_GPU = s("QUORL_PAR_GPU");
  Ref<String> cpuText = s("cpu");
};

}  // namespace quorl
