// The toolkit's multi-line styled text view.
//
// Sections:
//   1. UXTextViewDelegate
//   2. UXTextView
//      2a. model, layout and drawing     (UXTextView.cpp)
//      2b. editing and keys              (UXTextViewEditing.cpp)
//      2c. the native bridge             (UXTextViewBridge.cpp)
//
// Self-drawn, the view wraps, paints and edits its text itself; native, a
// rich-text control of the driver shows the text and the view mirrors it.
// Every index is a UTF-8 byte offset into `text`. The caret and the ends of
// a selection the view makes itself lie on character boundaries.
//
// Layout: the wrapped lines and their heights are kept between calls and
// brought up to date from the text's edit record, so one edit rewraps only
// the paragraph it touched. The lines depend on the frame width, the base
// size and the driver's measurement; a driver whose measurement changes
// while a view shows text must be followed by `invalidateLayout`.
#pragma once

#include <cstdint>
#include <vector>

#include "foundation/Array.h"
#include "ux/core/UXView.h"
#include "ux/text/AttributedString.h"
#include "ux/text/UXTextLayout.h"
#include "ux/text/UXTextStyle.h"
#include "ux/text/UndoManager.h"

namespace quorl {

class UXTextView;

// ---------------------------------------------------------------------------
// 1. Told of changes the view made or was told of.
class UXTextViewDelegate {
 public:
  virtual ~UXTextViewDelegate() = default;
  virtual void textDidChange(UXTextView& view) = 0;
  virtual void selectionDidChange(UXTextView& view) = 0;
};

// ---------------------------------------------------------------------------
// 2. The view.
class UXTextView : public UXView {
 public:
  Ref<AttributedString> text = AttributedString::withString(nullptr);
  uint32_t selectionStart = 0;
  uint32_t selectionLength = 0;
  int32_t nativeWindow = -1;  // below 0: self-drawn
  int32_t nativeId = -1;
  Ref<UndoManager> undoManager = make<UndoManager>();
  Ref<UXTextStyle> typingStyle = make<UXTextStyle>();
  uint8_t typing = 0;  // 1 while a typing run is open
  uint32_t caret = 0;
  uint32_t anchor = 0;
  int32_t scrollY = 0;
  int32_t backgroundColor = -1;  // 0xRRGGBB; below 0 white
  int32_t textColor = -1;        // below 0 black
  int32_t caretColor = -1;       // below 0 the text colour
  int32_t selectionColor = -1;   // below 0 0xB4CDF5
  int32_t baseSize = 0;          // below 1: 13
  uint8_t monospace = 0;
  Weak<Object> delegate;  // a UXTextViewDelegate; others are sent nothing

  // -- 2a. Model, layout and drawing --------------------------------------------
  uint8_t kind() const override;  // 18 when the driver has textViewSetAll, else 1
  void attachTo(const Ref<UXViewTree>& tree, UXRect frame) override;
  bool acceptsFirstResponder() override { return nativeWindow < 0; }

  int32_t base() const { return baseSize >= 1 ? baseSize : 13; }
  Ref<Array> drawnLines();  // new Ranges
  uint32_t lineHeightOf(Ptr<const Range> line);
  int32_t xIn(Ptr<const Range> line, int32_t index, int32_t width);
  static uint16_t lineOf(Ptr<const Array> lines, int32_t index);
  uint32_t indexAt(int32_t x, int32_t y);
  uint32_t nextChar(int32_t i) const;
  uint32_t prevChar(int32_t i) const;
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  void mouseDown(UXEvent& event) override;
  void mouseDragged(UXEvent& event) override;
  void scrollWheel(UXEvent& event) override;
  void scrollToCaret();
  void fireChange();
  void fireSelection();
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXTextView"; }

  // The kept layout: lines in order with their heights.
  const std::vector<UXLineSpan>& layoutLines();
  const std::vector<int32_t>& layoutHeights();
  void invalidateLayout() { layout_.valid = false; }
  // Lines that the current scroll position shows, as [first, end) indices.
  void linesInView(uint32_t& first, uint32_t& end);
  // Plain forms over the kept lines.
  uint32_t lineIndexOf(int32_t index);
  int32_t lineX(const UXLineSpan& line, int32_t index, int32_t width);
  int32_t lineHeight(int32_t start, int32_t end);

  // -- 2b. Editing and keys ------------------------------------------------------
  void keyDown(UXEvent& event) override;
  void moveTo(int32_t index, bool extend);
  void typeText(Ptr<const String> s);
  void removeRange(int32_t from, int32_t to);
  void restoreSnapshot(const Ref<Object>& snapshot);
  void undo();
  void redo();

  // -- 2c. The native bridge -------------------------------------------------------
  // Packed runs: five words a run (start, length, flags, colour, size), room
  // for one run more than count.
  static std::vector<uint32_t> packRuns(Ptr<const AttributedString> attr, uint32_t& count);
  static Ref<UXTextStyle> styleOfRun(uint32_t flags, uint32_t colour, uint16_t size);
  static Ref<Map> attrsOf(Ptr<const UXTextStyle> style);
  static uint32_t flagsOf(const UXTextStyle& style);
  static uint32_t colourWord(int32_t colour);  // 0 for none, else 0x01000000 | rgb
  Ref<UXTextStyle> styleBefore(int32_t index);
  void pushAll();
  void pushSelection();
  void pushTyping();
  void pushLook();
  void pull();
  Ref<Range> selectedRange();
  void nativeDidChange();
  bool nativeUndoes() const;
  uint32_t nativeUndo(uint8_t redo);
  // For the driver: the control it made for this view, then the pushes.
  void becomeNative(int32_t window, int32_t id);
  // For the driver: the user moved the selection in the control.
  void nativeSelectionDidChange();

 private:
  struct Layout {
    bool valid = false;
    uint64_t serial = 0;
    uint64_t version = 0;
    int32_t wrapWidth = 0;
    int32_t base = 0;
    const void* driver = nullptr;
    std::vector<UXLineSpan> lines;
    std::vector<int32_t> heights;
    // tops[i]: the top of line i below the first line's top, known for
    // i < topsKnown (tops has one entry more than lines: the total height).
    std::vector<int32_t> tops;
    size_t topsKnown = 0;
  };

  int32_t wrapWidth() const;
  void updateLayout();
  void rewrapAll();
  void rewrapEdit(const AttributedString::Edit& edit);
  int32_t lineTop(uint32_t line);  // relative to the first line's top
  // Knows the tops of lines up to want, or up to the first top below limit.
  void extendTops(size_t want, int32_t limit);
  uint32_t nearestBoundary(const UXLineSpan& line, int32_t x, int32_t width);
  uint32_t charStart(int32_t i) const;  // i moved back onto a boundary
  uint32_t charEnd(int32_t i) const;    // i moved forward onto a boundary
  void registerSnapshot();
  void verticalMove(bool up, bool extend);

  Layout layout_;
};

}  // namespace quorl
