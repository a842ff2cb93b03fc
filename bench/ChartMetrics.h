// The layout numbers of the bar charts (mode 0) and the summary panels
// (mode 1), one table per mode: the sizes (height, minimumWidth,
// summaryCols) and the drawing read the same names, so a change of layout
// is made here alone.
//
// Texts are not measured: a text of size s is taken as s pixels high from
// its anchor down, and as so many pixels a byte wide (the ...ByteW values).
#pragma once

#include <cstdint>

namespace quorl::chart {

// Mode 0: one rounded panel per benchmark, one bar per row, all on one
// horizontal scale; positions are from the view's top left.
struct BarMetrics {
  static constexpr int64_t kEmptyHeight = 220;     // the height without rows
  static constexpr int64_t kMessageX = 16, kMessageY = 16;  // "No runs match the filters."
  static constexpr int32_t kMessageSize = 13;

  // The plot runs from kPlotLeft to R = W - kRightRoom, or to kNarrowRight
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
  static constexpr int64_t kTickLabelByteW = 6;
  static constexpr int64_t kGridTop = 48;

  // Inside a panel at y: the benchmark title, then row i's line at
  // r = y + kFirstRowDY + i x kRowPitch.
  static constexpr int64_t kBenchX = 12, kBenchDY = 9;
  static constexpr int32_t kBenchSize = 13, kRowTextSize = 11;  // the title; label and value
  static constexpr int64_t kFirstRowDY = 30;
  static constexpr int64_t kLabelX = 24, kLabelDY = 21;
  static constexpr int64_t kBarDY = 14, kBarH = 14, kMinBar = 2;
  static constexpr int64_t kValueDX = 6, kValueDY = 19;  // right of the bar's end
  static constexpr int64_t kErrorTopDY = 16, kErrorMidDY = 21, kErrorBottomDY = 26;

  // The caption stands kCaptionDY below where a next panel would start,
  // and the content ends kBottomRoom below that point.
  static constexpr int64_t kCaptionX = 12, kCaptionDY = 4;
  static constexpr int32_t kCaptionSize = 11;
  static constexpr int64_t kBottomRoom = 40;

  static constexpr int64_t panelHeight(int64_t k) { return kRowPitch * k + kPanelPad; }
  // The y advance of a benchmark with k rows: its panel and the gap below.
  static constexpr int64_t groupAdvance(int64_t k) { return panelHeight(k) + kPanelGap; }
  static constexpr int64_t plotRight(int64_t W) { return W - kRightRoom > kPlotLeft ? W - kRightRoom : kNarrowRight; }
  // The narrowest view: the narrow plot and the room right of it.
  static constexpr int64_t kMinimumWidth = kNarrowRight + kRightRoom;
};

// Mode 1: a grid of panels, one per series; in each, one bar per benchmark
// on one scale shared by all panels, the benchmark names written downwards
// under the axis. Positions are from the panel slot's top left.
struct SummaryMetrics {
  static constexpr int64_t kEmptyHeight = 220;     // the height without series
  static constexpr int64_t kMessageX = 16, kMessageY = 16;
  static constexpr int32_t kMessageSize = 13;
  static constexpr int64_t kMargin = 16;           // the view's width less this holds the slots
  static constexpr int64_t kFoot = 8;              // below the last line of panels

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

  // Names: kNamesGap under the axis, kNameStep a byte, at most
  // labelChars() bytes; the box ends kBoxFoot below them.
  static constexpr int64_t kNamesGap = 4, kNameStep = 8, kNameDX = 6;
  static constexpr int32_t kNameSize = 8;
  static constexpr uint32_t kNameBytes = 16;  // the most written of a name
  static constexpr int64_t kBoxFoot = 14;

  // The box width for B benchmarks before texts widen it, and the slot's.
  static constexpr int64_t plotBoxW(int64_t B) { return B * kBarPitch + kBoxPad; }
  static constexpr int64_t slotWidth(int64_t boxW) { return kBoxInset + boxW + kSlotTail; }
  // The box width a text of w pixels needs to stand whole in it.
  static constexpr int64_t boxForText(int64_t w) { return kTextLeft + w + kTextRight; }
};

}  // namespace quorl::chart
