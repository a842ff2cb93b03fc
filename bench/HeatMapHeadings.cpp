// Which drawn headings and names a reader could take for another's
// (HeatMapHeadings.h).
//
// Each part is read on its own first: for every distinct text of the part,
// the distinct texts its form reads as, among the candidates FoldedTexts
// finds. An item is then alike when some other item has, in every part, a
// text its form reads as: its parts' readers are few, so their
// combinations are looked up among the items.
#include "bench/HeatMapHeadings.h"

#include <algorithm>
#include <string>
#include <unordered_map>

#include "bench/ChartNames.h"
#include "bench/TextKeys.h"

namespace quorl::chart {

namespace {

// More combinations of readers than this are taken for alike unread: the
// forms of such an item read as many others in more than one part.
constexpr uint64_t kMostCombinations = 1u << 16;

// Whether form f reads as text t where f stands before another part (not
// `last`): there a form without an ellipsis is seen ending, and stands
// for its whole text alone.
bool readsIn(std::string_view f, std::string_view t, bool last) {
  if (!last && f.find(kEllipsis) == std::string_view::npos) return f == t;
  return readsAs(f, t);
}

// One part read on its own.
struct PartReading {
  std::vector<uint32_t> id;  // by item: its distinct text
  // By distinct text: the distinct texts its form reads as, its own first;
  // none when the form does not read as its own text.
  std::vector<std::vector<uint32_t>> readers;
};

PartReading readingOf(const ItemPart& part, bool last) {
  PartReading out;
  std::unordered_map<std::string_view, uint32_t> idOf;
  std::vector<std::string_view> texts, forms;
  std::vector<uint32_t> distinct;  // by text of the part
  for (size_t k = 0; k < part.texts.size(); ++k) {
    const auto [it, added] = idOf.try_emplace(part.texts[k], static_cast<uint32_t>(texts.size()));
    if (added) {
      texts.push_back(part.texts[k]);
      forms.push_back(part.forms[k]);
    }
    distinct.push_back(it->second);
  }
  for (const uint32_t k : part.of) out.id.push_back(distinct[k]);
  const FoldedTexts folded(texts);
  const auto D = static_cast<uint32_t>(texts.size());
  out.readers.resize(D);
  for (uint32_t d = 0; d < D; ++d) {
    const std::string f = textkeys::folded(forms[d]);
    if (!readsIn(f, folded.texts[d], last)) continue;
    out.readers[d].push_back(d);
    for (const uint32_t k : folded.candidates(f))
      if (k != d && readsIn(f, folded.texts[k], last)) out.readers[d].push_back(k);
  }
  return out;
}

}  // namespace

std::vector<uint8_t> readAlike(std::span<const ItemPart> parts) {
  const size_t N = parts.empty() ? 0 : parts.front().of.size();
  std::vector<uint8_t> alike(N, 0);
  if (N == 0) return alike;
  std::vector<PartReading> readings;
  for (size_t p = 0; p < parts.size(); ++p) readings.push_back(readingOf(parts[p], p + 1 == parts.size()));
  // Each item's distinct texts, one after another, as its key.
  const auto keyOf = [&](const auto& idAt) {
    std::string key;
    for (size_t p = 0; p < parts.size(); ++p) {
      const uint32_t id = idAt(p);
      key.append(reinterpret_cast<const char*>(&id), sizeof id);
    }
    return key;
  };
  // The items by their keys, made when some item's forms read as more
  // than its own texts (most maps have none).
  std::unordered_map<std::string, uint32_t> items;
  const auto itemsByKey = [&]() -> const std::unordered_map<std::string, uint32_t>& {
    if (items.empty())
      for (uint32_t i = 0; i < N; ++i) items.try_emplace(keyOf([&](size_t p) { return readings[p].id[i]; }), i);
    return items;
  };

  std::vector<const std::vector<uint32_t>*> lists(parts.size());
  std::vector<uint32_t> at(parts.size());
  for (uint32_t i = 0; i < N; ++i) {
    uint64_t combinations = 1;
    for (size_t p = 0; p < parts.size(); ++p) {
      lists[p] = &readings[p].readers[readings[p].id[i]];
      combinations = std::min(combinations * lists[p]->size(), kMostCombinations + 1);
    }
    if (combinations != 1) {
      alike[i] = combinations == 0 || combinations > kMostCombinations;
      if (alike[i]) continue;
      // Every combination but the item's own (all firsts), in the order of
      // a counter whose digits are the parts.
      std::fill(at.begin(), at.end(), 0);
      for (uint64_t c = 1; c < combinations && !alike[i]; ++c) {
        for (size_t p = 0; p < parts.size(); ++p) {
          if (++at[p] < lists[p]->size()) break;
          at[p] = 0;
        }
        alike[i] = itemsByKey().count(keyOf([&](size_t p) { return (*lists[p])[at[p]]; })) > 0;
      }
    }
  }
  return alike;
}

}  // namespace quorl::chart
