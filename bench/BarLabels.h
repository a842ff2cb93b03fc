// The bar charts' row labels: what each row's label is made of, the room
// of the label column, and each group's labels as drawn (ChartDraw.cpp).
//
// A row's label is its series, architecture, level and machine (the kinds
// of chart::LabelSet, in that order), the level only where rows of its
// group that read alike differ in level, the machine only where they
// differ in machine: the rebuild works that out for every row (Row), so a
// draw reads no row out of sight. A group's labels are one LabelSet of the
// group's rows, made on first draw and kept, with the forms of the rows
// drawn, for the groups drawn lately.
//
// The label column is as wide as BarMetrics::kLabelRoom, or wider, up to
// half the chart, where a label needs it: it is the same for every group,
// so that the bars of all groups stand on one scale, and worked out from
// what every row's label is made of, each part at its shortest telling
// form among the chart's parts of its kind.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "bench/ChartNames.h"
#include "foundation/String.h"

namespace quorl::chart {

class BarLabels {
 public:
  enum Kind : uint32_t { kSeries, kArch, kLevel, kMachine, kKinds };
  // What the label of a row is made of: the text of each of its parts (an
  // id of text()), 0 where it has none or its label leaves it out.
  struct Row {
    uint32_t groupEnd = 0;  // one past the last row of its group
    uint32_t part[kKinds] = {};
  };

  BarLabels();
  ~BarLabels();

  // -- Made by a rebuild -------------------------------------------------------
  // Drops the rows, the texts and every group's labels.
  void restart();
  // The id of a text, the same for the same bytes (as drawn); 0 for none.
  uint32_t idOf(const Ref<String>& text);
  const String* text(uint32_t id) const { return texts_[id].get(); }
  std::vector<Row> rows;  // by row
  // What the labels of all rows are made of: the series, architecture and
  // level (0 where left out) of each, and each machine shown, each at
  // least once (the room of the label column is worked out from them).
  struct Head {
    uint32_t series = 0, arch = 0, level = 0;
  };
  std::vector<Head> heads;
  std::vector<uint32_t> machines;

  // -- Read by a draw ------------------------------------------------------------
  // The room of the label column in a chart W pixels wide.
  int64_t room(int64_t W, const TextMeasure& measure);
  // Makes the label column at least `least` wide from now on (until the
  // next rebuild): a group in sight needed it.
  void widen(int64_t least, const TextMeasure& measure);

  // The labels of the group of rows begin to end, their forms made at
  // `room` for rows from to to (kept per room).
  class Group {
   public:
    // Row j's label as drawn (j from begin to end, its form made).
    const std::string& form(int32_t j) const;
    // Whether the forms made tell their rows apart at the room.
    LabelSet::Told told() const { return told_; }

   private:
    friend class BarLabels;
    struct Key {
      uint64_t generation = 0;
      int32_t begin = 0, end = 0;
      bool operator==(const Key&) const = default;
    };
    Key key_;
    LabelSet set_;
    std::vector<uint32_t> itemOf_;  // by row from begin
    LabelSet::Told told_ = LabelSet::Told::apart;
    int64_t room_ = -1;

    Group();
  };
  const Group& group(int32_t begin, int32_t end, int32_t from, int32_t to, int64_t room, const TextMeasure& measure);

  // The joints before each kind: a blank before the level, two before the
  // architecture and the machine.
  static const std::vector<std::string>& joints();

  // -- The groups' titles ----------------------------------------------------------
  // Each group's benchmark, one item of a label set of them all, so that
  // no title cut to its panel reads as another's; added by the first draw
  // after a restart, by each group's first row.
  LabelSet titles{{""}};
  std::unordered_map<int32_t, uint32_t> titleOf;

 private:
  uint64_t generation_ = 0;  // counts the restarts
  std::vector<Ref<String>> texts_;  // by id, 0 the null text
  std::unordered_map<std::string_view, uint32_t> idOf_;  // views into texts_' Strings
  // The widest label any row needs, and the restart and measure it was
  // worked out for.
  struct NeedKey {
    uint64_t generation = 0;
    int32_t size = 0;
    int64_t perChar = 0;
    bool operator==(const NeedKey&) const = default;
  };
  NeedKey needKey_;
  int64_t need_ = -1;
  // The shortest telling forms of each kind's texts, kept from rebuild to
  // rebuild while the kind has the same Strings (of the same lengths) and
  // the measure is the same: most rebuilds (a metric, a baseline, the
  // view) keep every machine and series.
  struct KindForms {
    // What they were made of: the Strings by address, their lengths, and
    // the measure.
    struct Source {
      std::vector<Ref<String>> texts;
      std::vector<uint32_t> lengths;
      int32_t size = 0;
      int64_t perChar = 0;
      bool operator==(const Source&) const = default;
    };
    Source source;
    std::unordered_map<const String*, std::string> shortest;
  };
  KindForms kindForms_[kKinds];
  int64_t widestNeed(const TextMeasure& measure);
  std::vector<std::unique_ptr<Group>> groups_;  // the most recent last
};

}  // namespace quorl::chart
