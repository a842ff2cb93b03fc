// The bar charts' row labels (BarLabels.h).
#include "bench/BarLabels.h"

#include <algorithm>
#include <array>
#include <unordered_map>

#include "bench/ChartMetrics.h"

namespace quorl::chart {

using BM = BarMetrics;

BarLabels::BarLabels() { restart(); }
BarLabels::~BarLabels() = default;

BarLabels::Group::Group() : set_(BarLabels::joints()) {}

const std::vector<std::string>& BarLabels::joints() {
  static const std::vector<std::string> kJoints = {"", "  ", " ", "  "};
  return kJoints;
}

void BarLabels::restart() {
  ++generation_;
  rows.clear();
  heads.clear();
  machines.clear();
  texts_.assign(1, Ref<String>());
  idOf_.clear();
  idOf_.emplace(std::string_view(), 0);
  groups_.clear();
  titles = LabelSet({""});
  titleOf.clear();
}

uint32_t BarLabels::idOf(const Ref<String>& text) {
  const std::string_view bytes = text ? drawnText(*text) : std::string_view();
  const auto [it, added] = idOf_.try_emplace(bytes, static_cast<uint32_t>(texts_.size()));
  if (added) texts_.push_back(text);  // held: the view stays valid
  return it->second;
}

// The widest of the rows' labels with every part at its shortest telling
// form among the chart's parts of its kind: the widest head (series,
// architecture, level) and, where machines are shown, the widest machine
// after it. Within a group each part has no more texts of its kind to be
// told from, so its labels fit in this room.
int64_t BarLabels::widestNeed(const TextMeasure& measure) {
  const NeedKey key{generation_, measure.size, measure.perChar};
  if (need_ >= 0 && needKey_ == key) return need_;
  const TextMeasure alone{measure.size, measure.perChar};
  // Each kind's texts, and the shortest telling form of each.
  const auto shortestOf = [&](Kind kind, const std::vector<uint32_t>& ids) {
    std::vector<uint32_t> distinct(ids);
    std::sort(distinct.begin(), distinct.end());
    distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
    distinct.erase(std::remove(distinct.begin(), distinct.end(), 0u), distinct.end());
    KindForms& kept = kindForms_[kind];
    std::vector<Ref<String>> strings;
    for (uint32_t id : distinct) strings.push_back(texts_[id]);
    std::sort(strings.begin(), strings.end(), [](const Ref<String>& a, const Ref<String>& b) { return a.get() < b.get(); });
    KindForms::Source source{std::move(strings), {}, alone.size, alone.perChar};
    for (const Ref<String>& t : source.texts) source.lengths.push_back(t->byteLength());
    if (!(kept.source == source)) {
      kept = KindForms{std::move(source), {}};
      const std::vector<Ref<String>>& held = kept.source.texts;
      std::vector<std::string_view> views;
      for (const Ref<String>& t : held) views.push_back(drawnText(*t));
      const NameParts parts(views, true);
      for (uint32_t k = 0; k < held.size(); ++k)
        kept.shortest.emplace(held[k].get(),
                              kind == kLevel ? std::string(views[k]) : parts.shortest(k, alone, LabelSet::kFewestKept).text);
    }
    std::unordered_map<uint32_t, std::string> out;
    for (uint32_t id : distinct) out.emplace(id, kept.shortest.at(texts_[id].get()));
    return out;
  };
  std::array<std::vector<uint32_t>, 3> ids;
  for (const Head& h : heads) ids[0].push_back(h.series), ids[1].push_back(h.arch), ids[2].push_back(h.level);
  const auto series = shortestOf(kSeries, ids[0]), archs = shortestOf(kArch, ids[1]), levels = shortestOf(kLevel, ids[2]);
  const auto shownMachines = shortestOf(kMachine, machines);
  int64_t widest = 0;
  std::string head;
  for (const Head& h : heads) {
    head.clear();
    const std::pair<const std::unordered_map<uint32_t, std::string>*, uint32_t> parts[3] = {
        {&series, h.series}, {&archs, h.arch}, {&levels, h.level}};
    for (uint32_t k = 0; k < 3; ++k) {
      if (parts[k].second == 0) continue;
      if (!head.empty()) head += joints()[k];
      head += parts[k].first->at(parts[k].second);
    }
    widest = std::max(widest, measure.widthOf(head));
  }
  int64_t machine = 0;
  for (const auto& [id, form] : shownMachines) machine = std::max(machine, alone.widthOf(form));
  if (machine > 0) widest += alone.widthOf(joints()[kMachine]) + machine;
  needKey_ = key;
  need_ = widest;

  return widest;
}

void BarLabels::widen(int64_t least, const TextMeasure& measure) { need_ = std::max(widestNeed(measure), least); }

int64_t BarLabels::room(int64_t W, const TextMeasure& measure) {
  const int64_t most = BM::mostLabelRoom(W);
  if (most <= BM::kLabelRoom) return BM::kLabelRoom;
  return std::clamp(widestNeed(measure), BM::kLabelRoom, most);
}

const std::string& BarLabels::Group::form(int32_t j) const {
  static const std::string none;
  const auto at = static_cast<size_t>(j - key_.begin);
  if (at >= itemOf_.size()) return none;
  const std::optional<std::string>& f = set_.form(itemOf_[at]);
  return f ? *f : none;
}

const BarLabels::Group& BarLabels::group(int32_t begin, int32_t end, int32_t from, int32_t to, int64_t room,
                                         const TextMeasure& measure) {
  const Group::Key key{generation_, begin, end};
  auto it = std::find_if(groups_.begin(), groups_.end(), [&](const std::unique_ptr<Group>& g) { return g->key_ == key; });
  if (it == groups_.end()) {
    // As many groups as a tall view shows, and some.
    constexpr size_t kKept = 64;
    if (groups_.size() >= kKept) groups_.erase(groups_.begin());
    auto made = std::unique_ptr<Group>(new Group());
    made->key_ = key;
    // Rows of the same parts are one item, looked up by their ids.
    struct Ids {
      uint32_t part[kKinds];
      bool operator==(const Ids& o) const { return std::equal(part, part + kKinds, o.part); }
    };
    struct IdsHash {
      size_t operator()(const Ids& k) const {
        uint64_t h = 0;
        for (uint32_t p : k.part) h = (h ^ p) * 0x9E3779B97F4A7C15ull;
        return static_cast<size_t>(h ^ (h >> 29));
      }
    };
    std::unordered_map<Ids, uint32_t, IdsHash> itemOfIds;
    const bool known = static_cast<size_t>(end) <= rows.size() && begin >= 0;
    made->itemOf_.resize(known ? static_cast<size_t>(end - begin) : 0);
    for (int32_t j = begin; known && j < end; ++j) {
      Ids ids;
      std::copy(rows[j].part, rows[j].part + kKinds, ids.part);
      auto [at, added] = itemOfIds.try_emplace(ids, 0);
      if (added) {
        std::string_view parts[kKinds];
        for (uint32_t k = 0; k < kKinds; ++k) parts[k] = ids.part[k] ? drawnText(*texts_[ids.part[k]]) : std::string_view();
        at->second = made->set_.add(parts);
      }
      made->itemOf_[static_cast<size_t>(j - begin)] = at->second;
    }
    groups_.push_back(std::move(made));
    it = groups_.end() - 1;
  } else if (it + 1 != groups_.end()) {
    std::rotate(it, it + 1, groups_.end());
    it = groups_.end() - 1;
  }
  Group& g = **it;
  std::vector<uint32_t> asked;
  for (int32_t j = std::max(from, begin); j < std::min(to, end); ++j)
    if (static_cast<size_t>(j - begin) < g.itemOf_.size()) asked.push_back(g.itemOf_[static_cast<size_t>(j - begin)]);
  const LabelSet::Told told = g.set_.forms(asked, room, measure);
  if (g.room_ != room) g.told_ = LabelSet::Told::apart;
  g.room_ = room;
  g.told_ = std::max(g.told_, told);
  return g;
}

}  // namespace quorl::chart
