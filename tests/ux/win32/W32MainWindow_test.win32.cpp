// The application's main window on real windows under Wine, with a bundled
// sample loaded: every native control read back through its handle against
// the window's layout, the runs table's list against the controller's rows,
// and sample pixels of what the window shows (panes, pickers, chart bars
// with error bars, table, status line).
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cstdlib>
#include <string>
#include <vector>

#include "TempDir.h"
#include "W32Shot.h"
#include "W32TestSupport.h"
#include "app/Controller.h"
#include "app/PickView.h"
#include "ux/core/UXViewTree.h"
#include "ux/win32/W32Control.h"

namespace quorl::test {
namespace {

std::array<int, 3> channels(uint32_t p) { return {int(p & 0xFF), int((p >> 8) & 0xFF), int((p >> 16) & 0xFF)}; }
bool darkerThan(uint32_t p, int below) {  // in every channel: ink, not a fill
  const auto [r, g, b] = channels(p);
  return r < below && g < below && b < below;
}

class MainWindowTest : public Win32DriverTest {
 protected:
  Ref<UXApplication> savedApp;
  Ref<UXApplication> application;
  Ref<Controller> controller;
  int32_t dy = 0;  // how far the menu bar moved what is held to the bottom

  void SetUp() override {
    Win32DriverTest::SetUp();
    savedApp = gApp;
    application = make<UXApplication>();
    gApp = application;
    controller = make<Controller>();
    application->delegate = controller;
    controller->startPath = String::withCString("Z:" QUORL_SOURCE_DIR "/samples/contributions.json");
    ASSERT_EQ(controller->applicationDidStart(*application), 0);
    ASSERT_TRUE(controller->window);
    // The menu bar took its height from the client area: paint at the new
    // size (the autoresize pass), then realise as the loop's display does.
    d->windowInvalidate(controller->window->handle);
    d->realizeTree(controller->window->handle, controller->window->tree->driverTree.get());
    d->windowInvalidate(controller->window->handle);
    for (int i = 0; i < 10; ++i) drainQueue();
    RECT client{};
    GetClientRect(top(), &client);
    dy = client.bottom - 720;
  }
  void TearDown() override {
    if (controller && controller->window) controller->window->close();
    application->delegate.reset();
    gApp = savedApp;
    controller.reset();
    application.reset();
    Win32DriverTest::TearDown();
  }
  HWND top() const { return hwndOf(controller->window->handle); }
  HWND controlOf(const Ref<UXView>& view) const { return GetDlgItem(top(), int(view->node) + 1000); }
};

std::string lowerClass(HWND control) {
  wchar_t name[64] = {};
  int n = GetClassNameW(control, name, 64);
  std::string s = w32Utf8(name, size_t(n < 0 ? 0 : n));
  for (char& c : s) c = char(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return s;
}

std::vector<long> placeOf(HWND control) {
  RECT r{};
  GetWindowRect(control, &r);
  MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TEST_F(MainWindowTest, EveryControlStandsWhereTheLayoutPutsIt) {
  struct Expect {
    const char* className;
    const char* text;
    LONG style;
    LONG own;  // bits the control rewrites itself
    std::vector<long> place;  // h -1: a combo box, as high as its field
  };
  // Rows held to the bottom move with the client height.
  const std::vector<Expect> want = {
      {"button", "Open JSON...", 0x50010000, 0, {18, 32, 104, 24}},
      {"button", "Download", 0x50010000, 0, {128, 32, 104, 24}},
      {"combobox", "Time (ms)", 0x50210003, CBS_HASSTRINGS | WS_VSCROLL, {18, 484, 214, -1}},
      {"button", "First run (one-off costs)", 0x50010003, 0, {18, 516, 214, 20}},
      {"button", "I agree to publish this run", 0x50010003, 0, {18, 654 + dy, 214, 20}},
      {"button", "Submit to the corpus", 0x50010000, 0, {18, 680 + dy, 214, 24}},
      {"uxscroll32", "", 0x50A00000, WS_VSCROLL, {258, 8, 834, 534 + dy}},
      {"syslistview32", "", 0x5080100D, WS_HSCROLL | WS_VSCROLL, {258, 550 + dy, 834, 140}},
  };
  // The window's own children, in creation (node) order.
  std::vector<HWND> children;
  for (HWND c = GetWindow(top(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  std::sort(children.begin(), children.end(), [](HWND a, HWND b) { return GetDlgCtrlID(a) < GetDlgCtrlID(b); });
  ASSERT_EQ(children.size(), want.size());
  UXNodeTree* tree = controller->window->tree->driverTree.get();
  for (size_t i = 0; i < want.size(); ++i) {
    const Expect& e = want[i];
    HWND control = children[i];
    SCOPED_TRACE(e.text[0] ? e.text : e.className);
    // The id names the node whose control it is.
    int16_t node = int16_t(GetDlgCtrlID(control) - 1000);
    ASSERT_TRUE(tree->at(node));
    EXPECT_EQ(reinterpret_cast<HWND>(uintptr_t(tree->at(node)->native)), control);
    EXPECT_EQ(lowerClass(control), e.className);
    LONG style = GetWindowLongW(control, GWL_STYLE);
    EXPECT_EQ(uint32_t(style & ~e.own), uint32_t(e.style & ~e.own)) << std::hex << style;
    EXPECT_EQ(w32GetText(control), e.text);
    std::vector<long> place = placeOf(control);
    if (e.place[3] < 0) place[3] = -1;
    EXPECT_EQ(place, e.place);
    EXPECT_TRUE(IsWindowVisible(control));
  }
  // The named views own the controls found.
  EXPECT_EQ(controlOf(controller->table), children[7]);
  EXPECT_EQ(controlOf(controller->chartScroll), children[6]);
  EXPECT_EQ(controlOf(controller->metricPopUp), children[2]);
  // Pickers and the status line are drawn, not controls.
  EXPECT_EQ(controlOf(controller->cpuPick), nullptr);
  EXPECT_EQ(controlOf(controller->statusLabel), nullptr);
}

TEST_F(MainWindowTest, TheRunsListShowsTheControllersRowsAndCells) {
  HWND list = controlOf(controller->table);
  ASSERT_NE(list, nullptr);
  uint32_t rows = controller->numberOfRows(*controller->table);
  EXPECT_EQ(rows, 5u);
  ASSERT_EQ(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0), LRESULT(rows));
  HWND header = reinterpret_cast<HWND>(SendMessageW(list, LVM_GETHEADER, 0, 0));
  EXPECT_EQ(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0), 6);
  for (uint32_t r = 0; r < rows; ++r)
    for (int c = 0; c < 6; ++c) {
      wchar_t buffer[300] = {};
      LVITEMW item{};
      item.iSubItem = c;
      item.pszText = buffer;
      item.cchTextMax = 300;
      LRESULT n = SendMessageW(list, LVM_GETITEMTEXTW, r, reinterpret_cast<LPARAM>(&item));
      EXPECT_EQ(w32Utf8(buffer, size_t(n)), controller->valueForCell(*controller->table, r, uint32_t(c)))
          << r << "," << c;
    }
  // The Parameters column keeps its middle dots through the wide calls.
  EXPECT_NE(std::string(controller->valueForCell(*controller->table, 0, 5)).find("\xC2\xB7"), std::string::npos);
}

TEST_F(MainWindowTest, TheWindowShowsPanesPickersChartTableAndStatusLine) {
  saveShot(top());
  HDC dc = GetDC(top());
  auto at = [&](int x, int y) { return uint32_t(GetPixel(dc, x, y)); };
  auto count = [&](int x0, int y0, int x1, int y1, auto&& pick) {
    int n = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) n += pick(at(x, y)) ? 1 : 0;
    return n;
  };
  auto is = [](uint32_t colour) { return [colour](uint32_t p) { return p == colour; }; };
  auto dark = [](uint32_t p) { return darkerThan(p, 80); };

  // The chart's bars, one colour a series, within the chart's scroll view.
  UXRect chart = controller->chartScroll->absoluteFrame();
  const int cx0 = chart.x(), cy0 = chart.y(), cx1 = chart.x() + chart.w(), cy1 = chart.y() + 420;
  const uint32_t orange = w32Rgb(212, 117, 31), green = w32Rgb(22, 163, 74), blue = w32Rgb(59, 130, 246),
                 purple = w32Rgb(147, 51, 234);
  for (uint32_t colour : {orange, green, blue, purple})
    EXPECT_GT(count(cx0, cy0, cx1, cy1, is(colour)), 20) << std::hex << colour;
  // The first bar: a long orange run ending at a black error bar.
  int barY = -1, barEnd = -1;
  for (int y = cy0; y < cy1 && barY < 0; ++y)
    for (int x = cx0; x < cx1; ++x)
      if (at(x, y) == orange) {
        barY = y + 3;
        break;
      }
  ASSERT_GE(barY, 0);
  for (int x = cx0; x < cx1; ++x)
    if (at(x, barY) == orange) barEnd = x;
  EXPECT_GT(count(barEnd + 1, barY - 2, barEnd + 6, barY + 3, dark), 0);
  // Series in order down the chart: the green bar below the first orange one.
  int greenY = -1;
  for (int y = cy0; y < cy1 && greenY < 0; ++y)
    if (count(cx0, y, cx1, y + 1, is(green)) > 0) greenY = y;
  EXPECT_GT(greenY, barY);

  // Panes: light rounded frames on the grey window; a picker's white field.
  EXPECT_EQ(at(4, 300), 0xC0C0C0u);
  UXRect pick = controller->cpuPick->absoluteFrame();
  EXPECT_NE(at(pick.x() + pick.w() / 2, pick.y() + pick.h() / 2), 0xC0C0C0u);
  EXPECT_GT(count(pick.x() + 2, pick.y() + 2, pick.x() + 60, pick.y() + pick.h() - 2, dark), 5);  // "Any"

  // The table's first row and the status line have text.
  UXRect table = controller->table->absoluteFrame();
  EXPECT_GT(count(table.x() + 4, table.y() + 20, table.x() + 120, table.y() + 36, dark), 10);
  UXRect status = controller->statusLabel->absoluteFrame();
  EXPECT_GT(count(status.x(), status.y(), status.x() + 200, status.y() + status.h(), dark), 20);
  ReleaseDC(top(), dc);
}

// One slow sample among five: its error bar stays within the plot, clear of
// the row's label and of the room right of the plot, with the value text
// after it; a 60-character architecture keeps its label short of the bar, a
// 10,000-character name its title short of the panel's edge, and that name's
// rows from two machines read apart. The 20-us tick labels all differ.
TEST_F(MainWindowTest, ASlowSampleLongNamesAndTwoMachinesStayReadable) {
  TempDir dir;
  const std::string run = R"({"suite": "langs", "target": "quorl", "device": "cpu", "opt": "O3", "benchmark": ")";
  const std::string longName = run + std::string(10000, 'n') + "\", ";
  const std::string path = dir.write(
      "slow.json", R"([{"schema": "quorl-bench/1", "id": "slow", "machine": {"cpu": "c"}, "runs": [)" + run +
                       R"(b", "arch": ")" + std::string(60, 'a') +
                       R"(", "samples_us": [100, 100, 100, 100, 5000], "best_us": 100, "first_us": 100}, )" + longName +
                       R"("samples_us": [50], "best_us": 50, "first_us": 50}]},
        {"schema": "quorl-bench/1", "id": "other", "machine": {"cpu": "d"}, "runs": [)" + longName +
                       R"("samples_us": [60], "best_us": 60, "first_us": 60}]}])");
  controller->dataSet->replace(make<Array>());  // the slow file alone sets the scale
  controller->loadFile(String::withCString(path.c_str()));
  RECT frame{};  // the whole chart on the screen
  GetWindowRect(top(), &frame);
  SetWindowPos(top(), nullptr, 0, 0, std::min<int>(frame.right - frame.left, GetSystemMetrics(SM_CXSCREEN) - 40),
               frame.bottom - frame.top, SWP_NOZORDER);
  for (int i = 0; i < 10; ++i) drainQueue();
  d->windowInvalidate(controller->window->handle);
  for (int i = 0; i < 10; ++i) drainQueue();
  saveShot(top());
  HDC dc = GetDC(top());
  const auto at = [&](int x, int y) { return uint32_t(GetPixel(dc, x, y)); };
  const UXRect chart = controller->chartScroll->absoluteFrame();
  const int left = chart.x(), right = chart.x() + chart.w();
  const uint32_t orange = w32Rgb(212, 117, 31);
  int barY = -1, barStart = -1, barEnd = -1;
  for (int y = chart.y(); y < chart.y() + 200 && barY < 0; ++y)
    for (int x = left; x < right && barY < 0; ++x)
      if (at(x, y) == orange) barY = y, barStart = x;
  ASSERT_GE(barY, 0) << controller->lastStatus->cString();
  for (int x = barStart; x < right; ++x)
    if (at(x, barY + 3) == orange) barEnd = x;
  int blackLeft = 0, blackRight = 0, text = 0, labelOverBar = 0, titleAtEdge = 0;
  for (int y = barY - 4; y < barY + 18; ++y)
    for (int x = left; x < right - 4; ++x) {
      const uint32_t p = at(x, y);
      const auto [r, g, b] = channels(p);
      blackLeft += p == 0 && x < barStart;
      blackRight += p == 0 && x > right - 90 + 2;  // the plot ends 90 short of the edge
      text += p != 0 && darkerThan(p, 90) && x > barEnd + 2;
      // The label's grey (80, 80, 88), blended with what lies under it.
      labelOverBar += p != 0 && r < 170 && std::abs(r - g) < 40 && std::abs(g - b) < 40 && x >= barStart && x <= barEnd;
    }
  for (int y = chart.y(); y < chart.y() + 300; ++y)  // where the long title ran on
    for (int x = right - 9; x < right - 5; ++x) titleAtEdge += darkerThan(at(x, y), 100);
  const auto pixels = [&](int x0, int x1, int y0, int y1) {
    std::vector<uint32_t> out;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) out.push_back(at(x, y));
    return out;
  };
  std::vector<int> grid;
  for (int x = left; x < right; ++x)
    if (at(x, chart.y() + 52) == w32Rgb(208, 211, 219)) grid.push_back(x);
  EXPECT_GE(grid.size(), 6u);
  for (size_t i = 0; i + 1 < grid.size(); ++i)
    EXPECT_NE(pixels(grid[i] + 2, grid[i] + 30, chart.y() + 30, chart.y() + 44),
              pixels(grid[i + 1] + 2, grid[i + 1] + 30, chart.y() + 30, chart.y() + 44)) << "tick " << i;
  std::vector<int> barTops;  // not under the error bar's line
  for (int y = chart.y(); y < chart.y() + 400; ++y)
    if (at(barStart + 8, y) == orange && at(barStart + 8, y - 1) != orange && at(barStart + 8, y - 1) != 0)
      barTops.push_back(y);
  ASSERT_EQ(barTops.size(), 3u);
  // The long name's rows: "quorl  c" and "quorl  d", not "quorl" twice.
  EXPECT_NE(pixels(left + 20, barStart - 4, barTops[1] + 6, barTops[1] + 20),
            pixels(left + 20, barStart - 4, barTops[2] + 6, barTops[2] + 20));
  ReleaseDC(top(), dc);
  EXPECT_EQ(blackLeft, 0);
  EXPECT_EQ(blackRight, 0);
  EXPECT_GT(text, 10);  // "100 us"
  EXPECT_EQ(labelOverBar, 0);
  EXPECT_EQ(titleAtEdge, 0);
}

// Runs the command line with standard output and error on a pipe; answers
// what it printed and sets its exit status (99 when it did not start).
std::string runProgram(std::wstring commandLine, DWORD& status) {
  status = 99;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE readEnd = nullptr, writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "(no pipe)";
  W32File reading(readEnd);
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW si{};
  si.cb = sizeof si;
  si.dwFlags = STARTF_USESTDHANDLES;
  si.hStdOutput = si.hStdError = writeEnd;
  PROCESS_INFORMATION pi{};
  const BOOL started =
      CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi);
  CloseHandle(writeEnd);
  if (!started) return "(did not start)";
  W32File process(pi.hProcess), thread(pi.hThread);
  std::string out;
  char buffer[4096];
  DWORD n = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &n, nullptr) && n > 0) out.append(buffer, n);
  WaitForSingleObject(pi.hProcess, INFINITE);
  GetExitCodeProcess(pi.hProcess, &status);
  return out;
}

TEST_F(MainWindowTest, AFileNamedInAnyScriptOnTheCommandLineOpensAndNamesItselfInTheStatusLine) {
  // A copy of a sample under a name that no ANSI code page holds.
  wchar_t temp[MAX_PATH] = {};
  ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring path = std::wstring(temp) + L"r\u00e9sum\u00e9 \u65e5\u672c.json";
  ASSERT_TRUE(CopyFileW(w32Wide("Z:" QUORL_SOURCE_DIR "/samples/selftest.json").c_str(), path.c_str(), FALSE));
  // The program itself, started with that name: its entry point must hand
  // the name on whole, as the system keeps it in UTF-16.
  std::wstring program = w32Wide("Z:" QUORL_BINARY_DIR "/quorl.exe");
  std::replace(program.begin(), program.end(), L'/', L'\\');
  DWORD status = 99;
  const std::string printed = runProgram(L"\"" + program + L"\" --selftest \"" + path + L"\"", status);
  const char* opened = "Opened 19 runs: r\xC3\xA9sum\xC3\xA9 \xE6\x97\xA5\xE6\x9C\xAC.json";
  EXPECT_EQ(printed.substr(0, printed.find('\n')), opened) << printed;
  EXPECT_EQ(status, 0u) << printed;
  // The same name opened in this window shows in its status line.
  controller->loadFile(String::withCString(w32Utf8(path.c_str()).c_str()));
  DeleteFileW(path.c_str());
  EXPECT_STREQ(controller->lastStatus->cString(), opened);
  EXPECT_STREQ(uxTextOfSpec(controller->window->tree->driverTree->at(int16_t(controller->statusLabel->node))->spec),
               opened);
}

}  // namespace
}  // namespace quorl::test
