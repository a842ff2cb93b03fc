// What the heat map's title rows and names column show: every column's
// heading and every line's name in its short form (ChartNames.h), and
// which of them a reader could take for another's.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace quorl {

// Made by HeatMap::headings for one build at one width, and not changed
// after: a drawing holds it by reference for the whole of its pass.
struct HeatMapHeadings {
  // Two lines (series, setting) or three (series, setting, machine).
  int64_t lines = 2;
  // By column: the series line, the setting line, and with three lines the
  // machine's own line ("" for a column without a machine).
  std::vector<std::string> series, settings, machines;
  // By line of the map: its benchmark's name.
  std::vector<std::string> names;
  // The columns whose heading, and the lines whose name, a reader could
  // take for another column's or line's.
  uint32_t alikeColumns = 0, alikeNames = 0;
  bool alike() const { return alikeColumns > 0 || alikeNames > 0; }
};

namespace chart {

// One part of a list of items (a column's series, its setting...): the
// texts of that part with the form drawn for each, and each item's text.
// Items share their texts: a text may stand more than once. An item's parts
// are drawn one after another, each ending where the next begins.
struct ItemPart {
  std::vector<std::string_view> texts, forms;  // by text
  std::vector<uint32_t> of;                    // by item: its text
};

// Which items' drawn parts could be another item's, by the reading rule
// (readsAs) with ASCII letter case ignored: an item is alike when each of
// its forms reads as the same part of one other item, or when a form does
// not read as its own text. A form that ends without an ellipsis before
// another part stands whole there and reads as its text alone. Items with
// the same texts in every part are one item. By item, 1 for alike.
std::vector<uint8_t> readAlike(std::span<const ItemPart> parts);

}  // namespace chart
}  // namespace quorl
