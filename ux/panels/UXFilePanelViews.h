// The file panel's drawn views and its alert record.
//
// The list shows ten rows of the panel's `visible` with a 14-pixel scroll
// strip at its right; the header shows the two column titles and the sort
// direction; the background fills the window; the group box frames the
// Manage buttons. All are drawn views (node kind 1) that read everything
// from the panel at each draw. Palette colours: 0 white, 1 black, 8 light
// grey, 9 grey, 250 light blue.
#pragma once

#include <cstdint>
#include <string>

#include "foundation/Object.h"
#include "ux/core/UXView.h"

namespace quorl {

class UXFilePanel;

class UXFileListView : public UXView {
 public:
  static constexpr int32_t kRowHeight = 18;
  static constexpr int32_t kStrip = 14;

  Weak<UXFilePanel> panel;

  void mouseDown(UXEvent& event) override;
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  uint8_t kind() const override { return 1; }
  const char* classNameC() const override { return "UXFileListView"; }

  // The scroll thumb's (position, length) for the strip of a list of height
  // h showing count rows from top.
  static void thumb(int32_t h, uint32_t count, int32_t top, int32_t& position, int32_t& length);
};

class UXFileHeader : public UXView {
 public:
  static constexpr int32_t kSizeZone = 88;  // from the right edge

  Weak<UXFilePanel> panel;

  void mouseDown(UXEvent& event) override;
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  uint8_t kind() const override { return 1; }
  const char* classNameC() const override { return "UXFileHeader"; }
};

class UXFilePanelBack : public UXView {
 public:
  void drawRect(UXGraphics& graphics, UXRect rect) override;
  const char* classNameC() const override { return "UXFilePanelBack"; }
};

class UXGroupBox : public UXView {
 public:
  std::string title;

  void drawRect(UXGraphics& graphics, UXRect rect) override;
  uint8_t kind() const override { return 1; }
  const char* classNameC() const override { return "UXGroupBox"; }
};

// A confirmation or a report, handed field by field to the driver's
// alertRun. Lines of `message` and titles of `buttons` are joined by '|'.
class UXAlert : public Object {
 public:
  int32_t style = 1;
  std::string message;
  std::string buttons;
  int32_t extra = 1;

  void addLine(const std::string& line);
  void addButton(const std::string& title);
  // The 1-based button chosen; 0 without a driver.
  int32_t run() const;

  // <UXAlert>(style, extra), signed 16-bit.
  Ref<String> description() const override;
  const char* classNameC() const override { return "UXAlert"; }
};

}  // namespace quorl
