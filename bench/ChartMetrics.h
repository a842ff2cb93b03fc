// The layout numbers of the bar charts (mode 0), the summary panels
// (mode 1) and the heat map (mode 2), one table per mode: the sizes
// (height, minimumWidth, summaryCols, the heat map's cellW) and the drawing
// read the same names, so a change of layout is made here alone.
//
// A text of size s is taken as s pixels high from its anchor down. Widths
// are estimated at so many pixels a byte or a character (the ...ByteW and
// ...CharW values), except the bar chart's tick labels, which are measured
// by the driver: they stand side by side and must not touch. A text cut to
// its room is cut in the driver's measure (ChartNames.h), the estimates
// standing in without a driver.
#pragma once

#include <cstdint>

namespace quorl::chart {

// Mode 0: one rounded panel per benchmark, one bar per row, all on one
// horizontal scale; positions are from the view's top left.
struct BarMetrics {
  static constexpr int64_t kEmptyHeight = 220;     // the height without rows
  static constexpr int64_t kMessageX = 16, kMessageY = 16;  // "No runs match the filters."
  static constexpr int32_t kMessageSize = 13;

  // The plot runs from kPlotLeft (or further right where the row labels
  // take more room, plotLeft) to R = W - kRightRoom, or to kNarrowRight
  // when that leaves no plot.
  static constexpr int64_t kPlotLeft = 190;
  static constexpr int64_t kRightRoom = 90;
  static constexpr int64_t kNarrowRight = 230;

  // Panels: the first at kFirstPanel; a benchmark of k rows has a panel
  // k x kRowPitch + kPanelPad high and kPanelGap below it.
  static constexpr int64_t kFirstPanel = 56;
  static constexpr int64_t kRowPitch = 52;
  static constexpr int64_t kPanelPad = 22;
  static constexpr int64_t kPanelGap = 16;
  static constexpr int64_t kPanelX = 4;            // the border's inset from either side
  static constexpr int64_t kBorderRadius = 7, kFaceRadius = 6;

  // The axis: the title, the tick labels and where the grid lines start.
  static constexpr int64_t kAxisTitleY = 6;
  static constexpr int64_t kTickLabelY = 30;
  static constexpr int64_t kTickLabelDX = 2;       // right of its grid line
  static constexpr int32_t kTickLabelSize = 11, kAxisTitleSize = 12;
  static constexpr int64_t kTickLabelByteW = 6;  // without a driver to measure them
  static constexpr int64_t kGridTop = 48;
  static constexpr int32_t kTimeDecimals = 1, kSpeedUpDecimals = 2;  // the fewest a tick label carries

  // Inside a panel at y: the benchmark title, then row i's line at
  // r = y + kFirstRowDY + i x kRowPitch.
  static constexpr int64_t kBenchX = 12, kBenchDY = 9;
  // A group whose rows read alike says so at the right end of its title
  // line, kNoteDY below the panel's top.
  static constexpr int64_t kNoteDY = 11;
  static constexpr int32_t kNoteSize = 11;
  static constexpr int32_t kBenchSize = 13, kRowTextSize = 11;  // the title; label and value
  static constexpr int64_t kFirstRowDY = 30;
  static constexpr int64_t kLabelX = 24, kLabelDY = 21;
  static constexpr int64_t kBarDY = 14, kBarH = 14, kMinBar = 2;
  static constexpr int64_t kValueDX = 6, kValueDY = 19;  // right of the bar's end, or the error bar's
  static constexpr int64_t kErrorTopDY = 16, kErrorMidDY = 21, kErrorBottomDY = 26;
  // An error bar is held to the plot; where it goes on past an end, that
  // end is an arrowhead kMarkW long and 2 kMarkW high instead of a whisker.
  static constexpr int64_t kMarkW = 4;
  // A value text with no room after its bar or whisker stands above the
  // bar's end instead, between the row line and the bar.
  static constexpr int64_t kValueAboveDY = 2;
  // Every text keeps kTextGap from what it must not meet: a row label from
  // the plot, a value text and a title from the panel's right edge.
  static constexpr int64_t kTextGap = 6;
  static constexpr int64_t kTextCharW = 6, kBenchCharW = 7;  // without a driver to measure them
  static constexpr int64_t kLabelRoom = kPlotLeft - kTextGap - kLabelX;
  // The row labels' column is kLabelRoom wide, or wider where the labels
  // need it to be told apart, up to where the plot starts at the 1 /
  // kLabelShare of the view's width W; the plot starts kTextGap right of it.
  static constexpr int64_t kLabelShare = 2;
  static constexpr int64_t mostLabelRoom(int64_t W) { return W / kLabelShare - kLabelX - kTextGap; }
  static constexpr int64_t plotLeft(int64_t labelRoom) { return kLabelX + labelRoom + kTextGap; }
  // The right end of what a text in a panel may cover, in a view W wide.
  static constexpr int64_t textRight(int64_t W) { return W - kPanelX - kTextGap; }

  // The caption stands kCaptionDY below where a next panel would start,
  // and the content ends kBottomRoom below that point.
  static constexpr int64_t kCaptionX = 12, kCaptionDY = 4;
  static constexpr int32_t kCaptionSize = 11;
  static constexpr int64_t kBottomRoom = 40;

  static constexpr int64_t panelHeight(int64_t k) { return kRowPitch * k + kPanelPad; }
  // The y advance of a benchmark with k rows: its panel and the gap below.
  static constexpr int64_t groupAdvance(int64_t k) { return panelHeight(k) + kPanelGap; }
  // The plot's right end in a view W wide whose plot starts at L.
  static constexpr int64_t plotRight(int64_t W, int64_t L = kPlotLeft) {
    return W - kRightRoom > L ? W - kRightRoom : L + kNarrowRight - kPlotLeft;
  }
  // The narrowest view: the narrow plot and the room right of it.
  static constexpr int64_t kMinimumWidth = kNarrowRight + kRightRoom;
};

// Mode 1: a grid of panels, one per series; in each, one bar per benchmark
// on one scale shared by all panels, the benchmark names under the axis. Positions are from the panel slot's top left.
struct SummaryMetrics {
  static constexpr int64_t kEmptyHeight = 220;     // the height without series
  static constexpr int64_t kMessageX = 16, kMessageY = 16;
  static constexpr int32_t kMessageSize = 13;
  static constexpr int64_t kMargin = 16;           // the view's width less this holds the slots
  static constexpr int64_t kFoot = 8;              // below the last line of panels
  // A view whose titles or names read alike says so in a note at kNoteY,
  // and its panels start kNoteRoom lower.
  static constexpr int64_t kNoteY = 4, kNoteRoom = 20;
  static constexpr int32_t kNoteSize = 11;

  // A slot: kBoxInset, the panel box, kSlotTail. The box is at least
  // kBoxPad wider than the plot, and as wide as its texts and their insets.
  static constexpr int64_t kBoxInset = 8;
  static constexpr int64_t kSlotTail = 4;
  static constexpr int64_t kBoxPad = 16;
  static constexpr int64_t kBorderRadius = 7, kFaceRadius = 6;

  // Bars: one per benchmark on a kBarPitch pitch from kPlotX; the bar is
  // kBarInset into its pitch, the error bar and the name at their own DX.
  static constexpr int64_t kPlotX = 16;
  static constexpr int64_t kBarPitch = 18, kBarInset = 3, kBarW = 12, kMinBar = 2;
  static constexpr int64_t kErrorDX = 9;

  // Texts: the title kTextLeft into the box, the scale text kTextRight
  // short of its right edge (and as far from the title when they share the
  // title line); a scale text that does not fit there takes a line of its
  // own, kLineAdvance lower, and the plot moves down by that line.
  static constexpr int64_t kTitleX = kBoxInset + 10, kTitleY = 15;
  static constexpr int64_t kTextLeft = kTitleX - kBoxInset;
  static constexpr int64_t kTextRight = 6;
  static constexpr int32_t kTitleSize = 12, kScaleSize = 10;
  static constexpr int64_t kTitleByteW = 7, kScaleByteW = 6;
  static constexpr int64_t kLineAdvance = 16;

  // The plot: kPlotH high from kPlotTop to its axis, kGridLines lines.
  static constexpr int64_t kPlotTop = 28;
  static constexpr int64_t kPlotH = 150;
  static constexpr int64_t kGridLines = 4;

  // Names: one line each, kNameLine apart from kNamesGap under the axis,
  // the last benchmark's on the first line, so that each name starts under
  // its bar's left edge and a 1-pixel leader from the axis down to it meets
  // no other name. Every name has the same room, as wide as the widest
  // name (measured; kNameByteW a byte without a driver) up to kNameRoom,
  // and is shortened to it; the box is wide enough for the last bar's.
  static constexpr int64_t kNamesGap = 4, kNameLine = 12, kLeaderGap = 2;
  static constexpr int32_t kNameSize = 9;
  static constexpr int64_t kNameByteW = 5, kNameRoom = 150;
  // Names that cannot be told apart in kNameRoom take more, up to this.
  static constexpr int64_t kMostNameRoom = 3 * kNameRoom;
  static constexpr int64_t kBoxFoot = 14;

  // The box width for B benchmarks before texts widen it, and the slot's.
  static constexpr int64_t plotBoxW(int64_t B) { return B * kBarPitch + kBoxPad; }
  // The box width that holds the last of B names in a room `room` wide.
  static constexpr int64_t boxForNames(int64_t B, int64_t room) {
    return B > 0 ? kPlotX + (B - 1) * kBarPitch + kBarInset + room + kTextRight - kBoxInset : 0;
  }
  static constexpr int64_t slotWidth(int64_t boxW) { return kBoxInset + boxW + kSlotTail; }
  // The box width a text of w pixels needs to stand whole in it.
  static constexpr int64_t boxForText(int64_t w) { return kTextLeft + w + kTextRight; }
};

// Mode 2, in map pixels from the map's top left:
//
//   0 .. kFirstLine        title rows: the title, then each column's series
//                          and setting (and its machine on a line of its own
//                          where the setting with it does not fit one line)
//   kFirstLine + i kLine   line i: its benchmark's name in the names column,
//                          then one cell per column
//   below the last line    the separator, the geometric-mean line, the
//                          colour legend and its explanation
//
// The names column is as wide as the widest name needs, at least
// kNamesMinW and at most a kNamesShare-th of the map's width (never less
// than kNamesMinW); a name wider than that is shortened (ChartNames.h).
// Column j starts at the names column's width + j cellW, cellW being the
// width left after the names column and kRightMargin shared among the
// columns, within kMinCell..kMaxCell.
struct HeatMapMetrics {
  // Title rows. A column's series and setting are shortened to the
  // column's width less kHeaderInset before them and kHeaderGap after, in
  // measured widths (without a driver kHeaderCharW and kSettingCharW
  // pixels a character).
  static constexpr int64_t kTitleX = 12, kTitleY = 8;
  static constexpr int64_t kSeriesY = 32, kSettingY = 48;
  // A heading has two lines, its series and its setting, or three: where a
  // setting that carries its machine does not fit its line whole, every
  // machine takes a line of its own kMachineY down, and the title rows grow
  // by kHeadingLineRoom.
  static constexpr int64_t kHeadingLines = 2, kMostHeadingLines = 3;
  static constexpr int64_t kHeadingLineRoom = 14;
  static constexpr int64_t kMachineY = kSettingY + kHeadingLineRoom;
  static constexpr int32_t kSeriesSize = 12, kSettingSize = 10;
  static constexpr int64_t kHeaderInset = 4;   // a header's x inside its column
  static constexpr int64_t kHeaderGap = 1;
  static constexpr int64_t kHeaderCharW = 7, kSettingCharW = 6;

  // Lines and the names column. A name of c characters asks for
  // kNameX + c x kNameCharW pixels; it is shortened to what of the column
  // lies right of kNameX, in measured widths.
  static constexpr int64_t kFirstLine = 66;
  static constexpr int64_t kLine = 26;
  static constexpr int64_t kNamesMinW = 150;
  static constexpr int64_t kNamesShare = 3;
  static constexpr int64_t kNameX = 10, kNameCharW = 7;
  static constexpr int32_t kNameSize = 12;
  static constexpr int64_t kStripeX = 4, kStripeEnd = 4;  // the shade behind every other name, inside the column
  static constexpr int64_t kTextDown = 7;  // a name's or a cell's text below its line's top

  // Columns.
  static constexpr int64_t kRightMargin = 16;
  static constexpr int32_t kMinCell = 96, kMaxCell = 130;
  static constexpr int32_t kCellWithoutColumns = 100;

  // Cells: a frame inset by one pixel, the colour by three, a missing
  // cell's white inset by two; text centred on kCellCharW pixels a byte.
  static constexpr int64_t kFrameInset = 1, kFillInset = 3, kMissingInset = 2;
  static constexpr int64_t kCellCharW = 6;
  static constexpr int64_t kDashHalfW = 3;  // half the width of a missing cell's "-"

  // Below the lines. The legend stands at kLegendX whatever the names
  // column's width.
  static constexpr int64_t kSeparatorGap = 4;    // the separator below the last line
  static constexpr int64_t kMeanGap = 8;         // the geometric-mean line below the last line
  static constexpr int64_t kMeanCaptionDown = 2, kOutlierNoteDown = 15;
  static constexpr int64_t kLegendGap = 48;      // the legend strip below the geometric-mean line's top
  static constexpr int64_t kLegendX = 150;
  static constexpr int32_t kSwatches = 40;
  static constexpr int64_t kSwatchW = 6, kSwatchH = 12;
  static constexpr int64_t kLegendEndGap = 4;    // the captions' gap to the strip's ends
  static constexpr int64_t kLegendUpperDown = 1, kLegendLowerDown = 15;  // caption rows below the strip's top
  static constexpr int64_t kLegendSameX = 258, kLegendTwiceX = 246;      // the middle caption, each scale
  static constexpr int64_t kExplanationGap = 30;  // the explanation below the strip's top
  static constexpr int64_t kBottomMargin = 18;    // below the explanation's top
  static constexpr int64_t kEmptyHeight = 220;    // a map without lines
  static constexpr int64_t kMessageX = 16, kMessageY = 16;  // where an empty map says so

  // A map wider than its width is cut, and a map may have names or
  // headings that read alike: a note under the title says how many of its
  // columns it shows and how many read alike, and the title rows grow by
  // kNoteRoom to hold it, moving everything below them down. The note is
  // cut to the title's room, in measured widths (kSettingCharW a character
  // without a driver).
  static constexpr int64_t kNoteY = 26;
  static constexpr int32_t kNoteSize = 11;
  static constexpr int64_t kNoteRoom = 18;
  static constexpr int64_t titleRows(bool noted, int64_t headingLines = kHeadingLines) {
    return kFirstLine + (noted ? kNoteRoom : 0) + (headingLines - kHeadingLines) * kHeadingLineRoom;
  }

  // The map's height with n lines, with or without the note, its headings
  // of two or three lines.
  static constexpr int64_t belowTitles(int64_t lines) {
    return lines * kLine + kMeanGap + kLegendGap + kExplanationGap + kBottomMargin;
  }
  static constexpr int64_t heightFor(int64_t lines, bool noted = false, int64_t headingLines = kHeadingLines) {
    return lines == 0 ? kEmptyHeight : titleRows(noted, headingLines) + belowTitles(lines);
  }
  // The names column of a map `width` wide whose widest name has `chars`
  // characters.
  static constexpr int64_t namesWidth(int64_t width, int64_t chars) {
    const int64_t most = width / kNamesShare > kNamesMinW ? width / kNamesShare : kNamesMinW;
    const int64_t wanted = kNameX + chars * kNameCharW;
    return wanted < kNamesMinW ? kNamesMinW : (wanted > most ? most : wanted);
  }
  // The pixels a name may take in a names column `names` wide, and a
  // header in a column `cell` wide.
  static constexpr int64_t nameRoom(int64_t names) { return names - kNameX; }
  static constexpr int64_t headerRoom(int64_t cell) { return cell - kHeaderInset - kHeaderGap; }
};

}  // namespace quorl::chart
