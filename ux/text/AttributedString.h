// AttributedString: UTF-8 text plus contiguous runs of attribute maps.
//
// Sections:
//   1. AttrRun: one run as it is described
//   2. AttributedString
//      2a. construction
//      2b. queries (every map handed out is a new copy)
//      2c. mutations
//      2d. readers' access to the runs without copies, and the edit record
//
// Offsets and lengths are signed 32-bit byte offsets that never look at
// character boundaries. Invariants after every public operation: the runs
// cover the text exactly, none is empty, no two neighbours carry the same
// attributes (in the sense of `same`), empty text has no runs, and the text
// holds no NUL byte.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/Map.h"
#include "foundation/Object.h"
#include "foundation/Range.h"
#include "foundation/String.h"

namespace quorl {

// ---------------------------------------------------------------------------
// 1. A run, as `description` shows it. The string keeps its runs in a plain
//    vector (see Run below); this class exists for descriptions and for
//    callers that want a run as an object.
class AttrRun : public Object {
 public:
  int32_t start = 0;
  int32_t length = 0;
  Ref<Map> attributes;

  Ref<String> description() const override;  // <_AttrRun>(start, length), signed
  const char* classNameC() const override { return "_AttrRun"; }
};

// ---------------------------------------------------------------------------
// 2. The attributed string.
class AttributedString : public Object {
 public:
  // The plain text, always a private copy. Read it; never change it behind
  // the string's back.
  Ref<String> text;

  AttributedString();

  // -- 2a. Construction --------------------------------------------------------
  static Ref<AttributedString> withString(Ptr<const String> s);
  static Ref<AttributedString> withAttributes(Ptr<const String> s, Ptr<const Map> attrs);

  // -- 2b. Queries --------------------------------------------------------------
  uint32_t runCount() const { return uint32_t(runs_.size()); }
  int32_t byteLength() const { return int32_t(text->byteLength()); }
  Ref<Map> attributesAt(int32_t offset) const;
  Ref<Range> runRangeAt(int32_t offset) const;
  // Out of bounds (index >= runCount): the empty range at the end of the
  // text and an empty map.
  Ref<Range> runRange(uint32_t index) const;
  Ref<Map> runAttributes(uint32_t index) const;
  Ref<AttrRun> runAt(uint32_t index) const;  // a described copy; null out of bounds
  Ref<AttributedString> substring(Ptr<const Range> range) const;

  bool equals(Ptr<const Object> other) const override;
  uint32_t hash() const override;
  Ref<String> description() const override;  // the plain text
  const char* classNameC() const override { return "AttributedString"; }

  // -- 2c. Mutations ------------------------------------------------------------
  void addAttributes(Ptr<const Map> attrs, Ptr<const Range> range);
  void setAttributes(Ptr<const Map> attrs, Ptr<const Range> range);
  // Null range: append. Null text: delete.
  void replace(Ptr<const Range> range, Ptr<const String> text);
  // The range must not be null (a null one changes nothing); null other:
  // delete.
  void replaceWithAttributed(Ptr<const Range> range, Ptr<const AttributedString> other);

  // Sameness of two attribute maps: same count, and every key of a holds in
  // b a value that is the same object or equal by the value's `equals`.
  static bool same(const Map* a, const Map* b);

  // -- 2d. Readers' access ----------------------------------------------------------
  struct Run {
    int32_t start = 0;
    int32_t length = 0;
    Ref<Map> attributes;  // never null, owned by this run alone
    // A memo for readers that derive a value from the map (the text layout
    // keeps a run's style here); cleared whenever the map is replaced.
    mutable uint32_t memo[4] = {0, 0, 0, 0};
    mutable uint8_t memoValid = 0;
    int32_t end() const { return start + length; }
  };
  const Run& _run(uint32_t index) const { return runs_[index]; }  // index < runCount
  // Index of the first run that ends after offset; runCount when none.
  uint32_t _runIndexAt(int32_t offset) const;

  // Every mutation that changes anything raises `version` by one and
  // records what it changed: the bytes [start, start + removed) became
  // [start, start + inserted) (equal counts for attribute changes). Layout
  // caches use this to redo only what an edit touched. `serial` tells
  // strings apart for the life of the process.
  struct Edit {
    int32_t start = 0;
    int32_t removed = 0;
    int32_t inserted = 0;
  };
  uint64_t version() const { return version_; }
  uint64_t serial() const { return serial_; }
  const Edit& lastEdit() const { return lastEdit_; }

 private:
  void _resetRuns();
  static bool _clip(const Range* range, int32_t length, int32_t& s, int32_t& e);
  void _splitAt(int32_t offset);
  void _mergeAround(uint32_t from, uint32_t to);
  void _apply(const Map* attrs, bool replaceMaps, const Range* range);
  // adopt: other is a private temporary whose maps may be taken over.
  void _splice(int32_t s, int32_t e, const AttributedString& other, bool adopt);
  void _noteEdit(int32_t start, int32_t removed, int32_t inserted);

  std::vector<Run> runs_;
  uint64_t version_ = 0;
  uint64_t serial_ = 0;
  Edit lastEdit_;
};

}  // namespace quorl
