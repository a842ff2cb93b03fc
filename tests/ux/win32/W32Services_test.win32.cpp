// The driver's services under Wine: text measurement and font families,
// clocks, the settings file (also across two processes), listings and file
// operations on a folder with non-ASCII names, the modal dialogs driven from
// a helper thread, sound without a device, icons and window snapshots.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "SettingsFileBytes.h"
#include "W32TestSupport.h"
#include "WineHost.h"
#include "ux/core/UXSettingsFile.h"
#include "ux/core/UXSiblingCopy.h"
#include "ux/win32/W32SettingsFile.h"
#include "ux/win32/W32SiblingCopy.h"
#include "ux/win32/W32Services.h"

namespace quorl::test {
namespace {

// ---------------------------------------------------------------------------
// Text measurement and font families.

TEST_F(Win32DriverTest, TextWidthsFollowTheFontRules) {
  EXPECT_EQ(d->textWidth("", 0), 0u);
  EXPECT_EQ(d->textWidth(nullptr, 14), 0u);
  EXPECT_GT(d->textWidth("Wendle", 0), 0u);  // the stock GUI font
  const char* text = "Benchmark 42";
  uint32_t at12 = d->textWidthWeight(text, "Tahoma", 12, 400, 0);
  EXPECT_GT(at12, 0u);
  EXPECT_EQ(d->textWidthWeight(text, "Tahoma", 0, 400, 0), at12);  // size 0 measures at 12
  EXPECT_EQ(d->textWidthWeight(text, "Tahoma", 12, 0, 0), at12);   // weight 0 measures at 400
  EXPECT_GT(d->textWidthWeight(text, "Tahoma", 24, 400, 0), at12);
  EXPECT_EQ(d->textWidthStyled(text, "Tahoma", 12, 1, 0), d->textWidthWeight(text, "Tahoma", 12, 600, 0));
  EXPECT_EQ(d->textWidthStyled(text, "Tahoma", 12, 0, 0), at12);
  // Non-ASCII text is measured as characters, not as its UTF-8 bytes: an
  // accented letter is as wide as its base letter, not two glyphs.
  uint32_t plain = d->textWidthWeight("eeeeeeee", "Tahoma", 16, 400, 0);
  uint32_t accented = d->textWidthWeight("\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "Tahoma", 16, 400, 0);
  EXPECT_NEAR(double(accented), double(plain), 2.0);
  EXPECT_EQ(d->textWidth("\xC2\xB7", 16), d->textWidthWeight("\xC2\xB7", nullptr, 16, 400, 0));

  int32_t ascent = d->textAscent("Tahoma", 20, 400, 0);
  EXPECT_GT(ascent, 10);
  EXPECT_LE(ascent, 20);
  EXPECT_EQ(d->textAscent("Tahoma", 0, 400, 1), d->textAscent("Tahoma", 12, 400, 1));
  EXPECT_EQ(d->runPopupMenu(nullptr, 0, 0), -1);
}

TEST_F(Win32DriverTest, FontFamilies) {
  EXPECT_EQ(d->fontFamilyCount(), 12);
  struct Case {
    int32_t index;
    uint32_t capacity;
    int32_t answer;  // the bytes written, -1 for no family
    const char* name;
  } cases[] = {
      {0, 64, 5, "Arial"},   {1, 64, 15, "Times New Roman"}, {9, 64, 8, "Consolas"},
      {11, 64, 8, "Segoe UI"}, {0, 4, 3, "Ari"},             {12, 64, -1, "#"},
      {-1, 64, -1, "#"},     {3, 1, 0, ""},
  };
  for (const Case& c : cases) {
    char buffer[64] = "#";
    EXPECT_EQ(d->fontFamilyName(c.index, buffer, c.capacity), c.answer) << c.index;
    EXPECT_STREQ(buffer, c.name) << c.index;
  }
}

// ---------------------------------------------------------------------------
// Clocks.

TEST_F(Win32DriverTest, ClocksRunIn64BitsAndTellTheCalendar) {
  uint64_t a = d->nowUs();
  uint64_t previous = a;
  for (int i = 0; i < 1000; ++i) {
    uint64_t now = d->nowUs();
    ASSERT_GE(now, previous);
    previous = now;
  }
  Sleep(30);
  uint64_t b = d->nowUs();
  EXPECT_GE(b - a, 25000u);  // microseconds, not milliseconds
  // The tick count's low 32 bits: read between two readings of it.
  const uint32_t tickBefore = uint32_t(GetTickCount64());
  const uint32_t ms = d->nowMs();
  const uint32_t tickAfter = uint32_t(GetTickCount64());
  EXPECT_LE(uint32_t(ms - tickBefore), uint32_t(tickAfter - tickBefore));

  // Every calendar field lies between two readings of the system's clock
  // around the call: a second or day that rolls over between them passes, a
  // field written into another does not.
  uint32_t utc[7] = {};
  SYSTEMTIME before{}, after{};
  GetSystemTime(&before);
  d->nowUTC(utc);
  GetSystemTime(&after);
  EXPECT_LT(utc[6], 1000000u);  // microseconds, at the clock's millisecond resolution
  EXPECT_EQ(utc[6] % 1000, 0u);
  auto field = [&](int i) { return WORD(std::min(i == 6 ? utc[6] / 1000 : utc[i], 0xFFFFu)); };
  const SYSTEMTIME told{field(0), field(1), 0, field(2), field(3), field(4), field(5), field(6)};
  // 100-ns units since 1601, or 0 for a date the calendar does not hold.
  auto instant = [](const SYSTEMTIME& t) {
    FILETIME f{};
    return SystemTimeToFileTime(&t, &f) ? uint64_t(f.dwHighDateTime) << 32 | f.dwLowDateTime : 0;
  };
  const std::string said = testing::PrintToString(std::vector<uint32_t>(utc, utc + 7));
  EXPECT_LE(instant(before), instant(told)) << said;
  EXPECT_LE(instant(told), instant(after)) << said;
  int32_t offset = d->localOffsetMinutes();
  EXPECT_TRUE(offset >= -14 * 60 && offset <= 14 * 60) << offset;
}

// ---------------------------------------------------------------------------
// Settings.

TEST_F(Win32DriverTest, SettingsFileLivesInTheApplicationDataFolder) {
  std::wstring appdata(40000, L'\0');
  appdata.resize(GetEnvironmentVariableW(L"APPDATA", appdata.data(), DWORD(appdata.size())));
  EXPECT_EQ(w32SettingsFile(), (appdata.empty() ? std::wstring(L".") : appdata) + L"\\Wendle\\Wendle.ini");
}

TEST_F(Win32DriverTest, SettingsReadBackWhatWasWritten) {
  const std::string unicode = "Gr\xC3\xBC\xC3\x9F" "e \xC2\xB7 \xE6\x97\xA5\xE6\x9C\xAC \xF0\x9F\x98\x80";
  struct Case {
    const char* section;
    std::string key, value;
  } cases[] = {
      {"ui", "width", "1024"},
      {"ui", "empty", ""},                      // an empty value is a value
      {nullptr, "shared", "yes"},               // no section: "Shared"
      {"ui", "text", unicode},
      {"r\xC3\xA9glages", "cl\xC3\xA9", "valeur \xE2\x82\xAC"},
  };
  char buffer[128];
  for (const Case& c : cases) {
    d->settingRemove(c.section, c.key.c_str());
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(d->settingGet(c.section, c.key.c_str(), buffer, sizeof buffer), 0) << c.key;
    EXPECT_STREQ(buffer, "");
    ASSERT_TRUE(d->settingSet(c.section, c.key.c_str(), c.value.c_str())) << c.key;
    EXPECT_EQ(d->settingGet(c.section, c.key.c_str(), buffer, sizeof buffer), 1) << c.key;
    EXPECT_EQ(std::string(buffer), c.value);
  }
  EXPECT_EQ(d->settingGet("", "shared", buffer, sizeof buffer), 1);
  EXPECT_EQ(d->settingGet("Shared", "shared", buffer, sizeof buffer), 1);
  // A short buffer keeps whole characters.
  EXPECT_EQ(d->settingGet("ui", "text", buffer, 4), 1);
  EXPECT_STREQ(buffer, "Gr");
  std::memset(buffer, '#', 4);
  EXPECT_EQ(d->settingGet("ui", "text", buffer, 0), 0);
  EXPECT_EQ(buffer[0], '#');
  // The no-value marker stored as a value reads as no value.
  d->settingSet("ui", "marker", "\x01");
  EXPECT_EQ(d->settingGet("ui", "marker", buffer, sizeof buffer), 0);
  for (const Case& c : cases) {
    EXPECT_TRUE(d->settingRemove(c.section, c.key.c_str()));
    EXPECT_EQ(d->settingGet(c.section, c.key.c_str(), buffer, sizeof buffer), 0);
  }
  // What a line of the file cannot hold is refused, and nothing is written.
  struct Refused {
    const char *section, *key, *value;
  } refused[] = {{"ui", "a", "two\nlines"}, {"ui", "a", "cr\r"}, {"ui", "k=v", "x"},
                 {"u]i", "a", "x"},        {"ui", "", "x"},      {"ui", nullptr, "x"}};
  for (const Refused& r : refused) {
    EXPECT_FALSE(d->settingSet(r.section, r.key, r.value)) << (r.key ? r.key : "null");
    EXPECT_EQ(d->settingGet(r.section, r.key, buffer, sizeof buffer), 0);
  }
  // A missing key removes nothing, least of all the section.
  d->settingSet("ui", "keep", "1");
  EXPECT_FALSE(d->settingRemove("ui", nullptr));
  EXPECT_EQ(d->settingGet("ui", "keep", buffer, sizeof buffer), 1);
  d->settingRemove("ui", "keep");
  d->settingRemove("ui", "marker");
}

// Run by SettingsSurviveARestart in a second process of this program.
TEST(W32SettingsChild, ReadsWhatTheFirstProcessWrote) {
  wchar_t expected[256] = {};
  if (GetEnvironmentVariableW(L"QUORL_SETTINGS_CHILD", expected, 256) == 0) GTEST_SKIP() << "run by the parent";
  Ref<UXWin32Driver> driver = make<UXWin32Driver>();
  char buffer[256];
  ASSERT_GT(driver->settingGet("restart", "written", buffer, sizeof buffer), 0);
  EXPECT_EQ(std::string(buffer), w32Utf8(expected));
  EXPECT_TRUE(driver->settingSet("restart", "answer", "\xC3\xB1" "and\xC3\xBA"));
}

// Starts this program with the tests `filter` and the variables set for it alone, in `folder` (empty: this
// one's); a null process handle when it could not be started.
PROCESS_INFORMATION startThisProgram(const wchar_t* filter,
                                     const std::vector<std::pair<std::wstring, std::wstring>>& variables,
                                     const std::wstring& folder = L"") {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=" + filter + L" --gtest_brief=1";
  std::vector<std::pair<std::wstring, bool>> saved;
  for (const auto& [name, value] : variables) {
    std::wstring was(40000, L'\0');
    was.resize(GetEnvironmentVariableW(name.c_str(), was.data(), DWORD(was.size())));
    saved.emplace_back(was, !was.empty() || GetLastError() != ERROR_ENVVAR_NOT_FOUND);
    SetEnvironmentVariableW(name.c_str(), value.c_str());
  }
  STARTUPINFOW si{};
  si.cb = sizeof si;
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &si, &process))
    process = {};
  for (size_t i = 0; i < variables.size(); ++i)
    SetEnvironmentVariableW(variables[i].first.c_str(), saved[i].second ? saved[i].first.c_str() : nullptr);
  return process;
}

// Its exit code once it ended (99: not within two minutes).
DWORD endOf(PROCESS_INFORMATION& process) {
  DWORD code = 99;
  if (!process.hProcess || WaitForSingleObject(process.hProcess, 120000) != WAIT_OBJECT_0 ||
      !GetExitCodeProcess(process.hProcess, &code))
    code = 99;
  if (process.hThread) CloseHandle(process.hThread);
  if (process.hProcess) CloseHandle(process.hProcess);
  process = {};
  return code;
}

// Runs this program with the tests `filter` once for each value of the variable, all at once: their exit codes.
std::vector<DWORD> runThisProgram(const wchar_t* filter, const wchar_t* variable, std::vector<std::wstring> values) {
  std::vector<PROCESS_INFORMATION> processes;
  for (const std::wstring& value : values) processes.push_back(startThisProgram(filter, {{variable, value}}));
  std::vector<DWORD> codes;
  for (PROCESS_INFORMATION& process : processes) codes.push_back(endOf(process));
  return codes;
}

TEST_F(Win32DriverTest, SettingsSurviveARestart) {
  const std::string value = "first \xE2\x86\x92 second " + std::to_string(GetCurrentProcessId());
  ASSERT_TRUE(d->settingSet("restart", "written", value.c_str()));
  d->settingRemove("restart", "answer");
  EXPECT_EQ(runThisProgram(L"W32SettingsChild.*", L"QUORL_SETTINGS_CHILD", {w32Wide(value)}), std::vector<DWORD>{0})
      << "the second process did not read the setting back";
  char buffer[64];
  ASSERT_GT(d->settingGet("restart", "answer", buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "\xC3\xB1" "and\xC3\xBA");
  d->settingRemove("restart", "written");
  d->settingRemove("restart", "answer");
}

// Run twice at once by TwoInstancesChangingTheSettingsAtOnceLoseNothing.
constexpr int kRaceKeys = 300;
TEST(W32SettingsChild, AddsItsKeysWhileAnotherDoes) {
  wchar_t id[8] = {};
  if (GetEnvironmentVariableW(L"QUORL_SETTINGS_RACE", id, 8) == 0) GTEST_SKIP() << "run by the parent";
  Ref<UXWin32Driver> driver = make<UXWin32Driver>();
  for (int k = 0; k < kRaceKeys; ++k)
    ASSERT_TRUE(driver->settingSet("race", (w32Utf8(id) + "." + std::to_string(k)).c_str(), "1"))
        << k << ": failure " << int(driver->fileFailure());
}

// Every key of the race, removed.
std::vector<UXSettingChange> raceKeysGone() {
  std::vector<UXSettingChange> gone;
  for (int i = 0; i < 2 * kRaceKeys; ++i)
    gone.push_back({std::to_string(i / kRaceKeys) + "." + std::to_string(i % kRaceKeys), "", true});
  return gone;
}

TEST_F(Win32DriverTest, TwoInstancesChangingTheSettingsAtOnceLoseNothing) {
  ASSERT_TRUE(d->settingsChange("race", raceKeysGone()));
  EXPECT_EQ(runThisProgram(L"W32SettingsChild.AddsItsKeys*", L"QUORL_SETTINGS_RACE", {L"0", L"1"}),
            std::vector<DWORD>(2, 0)) << "a change answered false";
  char value[4];
  int kept = 0;
  for (int i = 0; i < 2 * kRaceKeys; ++i)
    kept += d->settingGet("race", (std::to_string(i / kRaceKeys) + "." + std::to_string(i % kRaceKeys)).c_str(), value,
                          sizeof value);
  EXPECT_EQ(kept, 2 * kRaceKeys);
  EXPECT_TRUE(d->settingsChange("race", raceKeysGone()));
}

// Run by ALockAnotherProcessHoldsIsWaitedForOnlySoLong: holds the settings lock from event "held" to "release".
TEST(W32SettingsChild, HoldsTheLock) {
  wchar_t name[64] = {};
  if (GetEnvironmentVariableW(L"QUORL_SETTINGS_HOLD", name, 64) == 0) GTEST_SKIP() << "run by the parent";
  W32File lock(CreateFileW((w32SettingsFile() + L".lock").c_str(), GENERIC_READ | GENERIC_WRITE, kW32ShareAll,
                           nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  OVERLAPPED from{};
  ASSERT_TRUE(lock && LockFileEx(lock.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &from));
  W32Owner<HANDLE, &CloseHandle> held(OpenEventW(EVENT_MODIFY_STATE, FALSE, (std::wstring(name) + L"held").c_str()));
  W32Owner<HANDLE, &CloseHandle> release(OpenEventW(SYNCHRONIZE, FALSE, (std::wstring(name) + L"release").c_str()));
  ASSERT_TRUE(held && release);
  SetEvent(held.get());
  EXPECT_EQ(WaitForSingleObject(release.get(), 60000), WAIT_OBJECT_0);
}

// A change waits for another process's lock only so long, then answers false and leaves the file; then it is made.
TEST_F(Win32DriverTest, ALockAnotherProcessHoldsIsWaitedForOnlySoLong) {
  ASSERT_TRUE(d->settingSet("held", "size", "10"));
  const std::wstring name = L"quorl-settings-" + std::to_wstring(GetCurrentProcessId()) + L"-";
  W32Owner<HANDLE, &CloseHandle> held(CreateEventW(nullptr, TRUE, FALSE, (name + L"held").c_str()));
  W32Owner<HANDLE, &CloseHandle> release(CreateEventW(nullptr, TRUE, FALSE, (name + L"release").c_str()));
  PROCESS_INFORMATION child = startThisProgram(L"W32SettingsChild.HoldsTheLock", {{L"QUORL_SETTINGS_HOLD", name}});
  ASSERT_TRUE(child.hProcess);
  const HANDLE either[2] = {held.get(), child.hProcess};
  ASSERT_EQ(WaitForMultipleObjects(2, either, FALSE, 60000), WAIT_OBJECT_0) << "the child took no lock";
  gUXSettingsLockWaitMs = 50;
  const bool made = d->settingSet("held", "size", "12");
  const UXFileFailure why = d->fileFailure();
  gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;
  SetEvent(release.get());
  EXPECT_EQ(endOf(child), 0u);
  EXPECT_FALSE(made);
  EXPECT_EQ(why, UXFileFailure::busy);
  char value[8];
  EXPECT_EQ(d->settingGet("held", "size", value, sizeof value), 1);
  EXPECT_STREQ(value, "10");
  EXPECT_TRUE(d->settingSet("held", "size", "12"));
  EXPECT_EQ(d->settingGet("held", "size", value, sizeof value), 1);
  EXPECT_STREQ(value, "12");
  EXPECT_TRUE(d->settingRemove("held", "size"));
}

// The names in the settings file's folder that a change leaves beside it.
std::vector<std::wstring> siblingsOfTheSettings() {
  const std::wstring& file = w32SettingsFile();
  std::vector<std::wstring> names;
  WIN32_FIND_DATAW e{};
  W32FindHandle find(FindFirstFileW((file.substr(0, file.rfind(L'\\')) + L"\\.quorl-copy-*").c_str(), &e));
  if (find) do names.push_back(e.cFileName);
    while (FindNextFileW(find.get(), &e));
  return names;
}

// A change the disk cannot hold whole (full at 8,192 bytes) answers false, keeps every key and leaves nothing beside.
TEST_F(Win32DriverTest, AChangeTheDiskCannotHoldWholeIsNotMade) {
  ASSERT_TRUE(d->settingSet("full", "first", "1"));
  ASSERT_TRUE(d->settingSet("full", "last", "2"));
  const std::string big(6000, 'v');
  gUXSiblingWriteFault = [](uint64_t written, uint32_t count) {
    return written + count > 8192 ? UXFileFailure::noSpace : UXFileFailure::none;
  };
  const bool made = d->settingSet("full", "big", big.c_str());
  gUXSiblingWriteFault = nullptr;
  EXPECT_FALSE(made);
  EXPECT_EQ(d->fileFailure(), UXFileFailure::noSpace);
  char value[8];
  EXPECT_EQ(d->settingGet("full", "first", value, sizeof value), 1);
  EXPECT_EQ(d->settingGet("full", "last", value, sizeof value), 1);
  EXPECT_STREQ(value, "2");
  EXPECT_EQ(d->settingGet("full", "big", value, sizeof value), 0);
  EXPECT_EQ(siblingsOfTheSettings(), std::vector<std::wstring>{});
  EXPECT_TRUE(d->settingsChange("full", {{"first", "", true}, {"last", "", true}}));
}

// ---------------------------------------------------------------------------
// Files, in a temporary folder with non-ASCII names.

// A full path in the long form, which reaches past MAX_PATH.
std::wstring longForm(const std::string& path) { return L"\\\\?\\" + w32Wide(path); }

// The bytes as the whole file at the full path, made or replaced.
void writeFile(const std::string& path, const std::string& bytes) {
  W32File f(CreateFileW(longForm(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
  DWORD written = 0;
  if (!bytes.empty()) WriteFile(f.get(), bytes.data(), DWORD(bytes.size()), &written, nullptr);
}

class TempFolder {
 public:
  // In the temporary folder, or in `base` (with its separator) when given.
  explicit TempFolder(std::wstring base = L"") {
    wchar_t temp[MAX_PATH] = {};
    if (base.empty()) base = GetTempPathW(MAX_PATH, temp) ? temp : L"";
    // A new folder each time: Wine reuses process ids, and a run that was
    // stopped midway leaves its folders behind.
    do {
      wide_ = base + L"quorl-\u00E9t\u00E9-\u65E5\u672C-" + std::to_wstring(GetCurrentProcessId()) +
              L"-" + std::to_wstring(counter_++);
    } while (!CreateDirectoryW(wide_.c_str(), nullptr) && GetLastError() == ERROR_ALREADY_EXISTS);
    path = w32Utf8(wide_.c_str());
  }
  ~TempFolder() { removeAll(L"\\\\?\\" + wide_); }  // the long form reaches deep folders too
  std::string path;  // UTF-8
  std::string at(const std::string& name) const { return path + "\\" + name; }
  void write(const std::string& name, const std::string& bytes) const { writeFile(at(name), bytes); }

 private:
  static void removeAll(const std::wstring& folder) {
    WIN32_FIND_DATAW e{};
    W32FindHandle find(FindFirstFileW((folder + L"\\*").c_str(), &e));
    if (find) {
      do {
        std::wstring name = e.cFileName;
        if (name == L"." || name == L"..") continue;
        std::wstring full = folder + L"\\" + name;
        if (e.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
          removeAll(full);
        else
          DeleteFileW(full.c_str());
      } while (FindNextFileW(find.get(), &e));
    }
    RemoveDirectoryW(folder.c_str());
  }
  std::wstring wide_;
  static inline int counter_ = 0;
};

std::vector<std::string> listing(UXViewDriver& d, const std::string& folder, int32_t& count) {
  std::vector<char> buffer(8192, '#');
  count = d.listDir(folder.c_str(), buffer.data(), uint32_t(buffer.size()));
  std::vector<std::string> lines;
  std::string text(buffer.data());
  for (size_t at = 0, lf; (lf = text.find('\n', at)) != std::string::npos; at = lf + 1)
    lines.push_back(text.substr(at, lf - at));
  std::sort(lines.begin(), lines.end());  // the platform's order is its own
  return lines;
}

TEST_F(Win32DriverTest, ListingsAndFileOperationsWithNonAsciiNames) {
  TempFolder folder;
  const std::string sub = "\xE6\x97\xA5\xE6\x9C\xAC", empty = "b-\xC3\xA9.txt", data = "data-\xC3\xBC";
  CreateDirectoryW(w32Wide(folder.at(sub)).c_str(), nullptr);
  folder.write(empty, "");
  folder.write(data, "12345");
  int32_t count = 0;
  EXPECT_EQ(listing(*d, folder.path, count),
            (std::vector<std::string>{"d\t0\t" + sub, "f\t0\t" + empty, "f\t5\t" + data}));
  EXPECT_EQ(count, 3);
  EXPECT_TRUE(d->listDirWhole());
  // A buffer without room for a line leaves the name out and says so.
  TempFolder wide;
  wide.write(std::string(255, 'n'), "x");
  std::vector<char> room(300);
  EXPECT_EQ(d->listDir(wide.path.c_str(), room.data(), uint32_t(room.size())), 0);
  EXPECT_FALSE(d->listDirWhole());
  room.assign(2000, 0);
  EXPECT_EQ(d->listDir(wide.path.c_str(), room.data(), uint32_t(room.size())), 1);
  EXPECT_TRUE(d->listDirWhole());

  const std::string renamed = "c-\xE2\x82\xAC.txt";
  EXPECT_TRUE(d->fileRename(folder.at(empty).c_str(), folder.at(renamed).c_str()));
  EXPECT_FALSE(d->fileRename(folder.at(renamed).c_str(), folder.at(data).c_str()));  // the target exists
  EXPECT_TRUE(d->fileCopy(folder.at(data).c_str(), folder.at(renamed).c_str()));    // replaces it
  EXPECT_FALSE(d->fileCopy(folder.at(data).c_str(), folder.at(data).c_str()));       // onto itself
  EXPECT_EQ(d->fileFailure(), UXFileFailure::same);
  // A file that may not be written stays as it was; neither copy leaves its
  // temporary sibling behind.
  folder.write("locked", "old");
  const std::wstring locked = w32Wide(folder.at("locked").c_str());
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY);
  EXPECT_FALSE(d->fileCopy(folder.at(data).c_str(), folder.at("locked").c_str()));
  EXPECT_EQ(d->fileFailure(), UXFileFailure::permission);
  EXPECT_EQ(listing(*d, folder.path, count),
            (std::vector<std::string>{"d\t0\t" + sub, "f\t3\tlocked", "f\t5\t" + renamed, "f\t5\t" + data}));
  SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(locked.c_str());
  // A rename moves a file into another folder of the same volume.
  EXPECT_TRUE(d->fileRename(folder.at(renamed).c_str(), folder.at(sub + "\\" + renamed).c_str()));
  EXPECT_EQ(listing(*d, folder.at(sub), count), (std::vector<std::string>{"f\t5\t" + renamed}));
  EXPECT_EQ(listing(*d, folder.at(sub) + "\\", count), (std::vector<std::string>{"f\t5\t" + renamed}));
  EXPECT_TRUE(d->fileDelete(folder.at(data).c_str()));
  EXPECT_FALSE(d->fileDelete(folder.at(data).c_str()));
  EXPECT_FALSE(d->fileCopy(folder.at(data).c_str(), folder.at("x").c_str()));
  EXPECT_EQ(listing(*d, folder.path, count), (std::vector<std::string>{"d\t0\t" + sub}));
  EXPECT_EQ(count, 1);

  char buffer[400] = "#";
  EXPECT_EQ(d->listDir(folder.at("missing").c_str(), buffer, sizeof buffer), -1);
  EXPECT_STREQ(buffer, "");
  TempFolder none;
  std::memset(buffer, '#', sizeof buffer);
  EXPECT_EQ(d->listDir(none.path.c_str(), buffer, sizeof buffer), 0);
  EXPECT_STREQ(buffer, "");
}

// A file that another program writes under the copy's name while the copy
// is made is never replaced by a copy meant for a new name; a copy the user
// chose to replace still replaces. No sibling stays.
TEST_F(Win32DriverTest, ACopyToANewNameReplacesNoFileThatAppeared) {
  TempFolder folder;
  folder.write("a.txt", "alpha");
  const struct Case { const char* what; bool oldFile; bool copied; const char* after; } cases[] = {
      {"a new name taken meanwhile", false, false, "f\t6\tb.txt"},
      {"a replace", true, true, "f\t5\tb.txt"},
  };
  for (const Case& c : cases) {
    DeleteFileW(w32Wide(folder.at("b.txt")).c_str());
    if (c.oldFile) folder.write("b.txt", "old");
    gUXBeforeSiblingPlace = [&](const std::string&) { folder.write("b.txt", "theirs"); };
    const bool copied = d->fileCopy(folder.at("a.txt").c_str(), folder.at("b.txt").c_str());
    gUXBeforeSiblingPlace = nullptr;
    EXPECT_EQ(copied, c.copied) << c.what;
    EXPECT_EQ(d->fileFailure(), c.copied ? UXFileFailure::none : UXFileFailure::exists) << c.what;
    int32_t count = 0;
    EXPECT_EQ(listing(*d, folder.path, count), (std::vector<std::string>{"f\t5\ta.txt", c.after})) << c.what;
  }
}

// A named pipe is never copied from nor written onto, and the refusal says
// so (not "permission denied"); the copy does not wait on it.
TEST_F(Win32DriverTest, ACopyRefusesNamedPipes) {
  TempFolder folder;
  folder.write("a.txt", "alpha");
  if (!onHost(L"mkfifo", folder.path, "pipe", true)) GTEST_SKIP() << "no named pipe could be made here (not under Wine?)";
  const struct { const char* from; const char* to; } cases[] = {{"pipe", "copy.txt"}, {"a.txt", "pipe"}};
  for (const auto& c : cases) {
    EXPECT_FALSE(d->fileCopy(folder.at(c.from).c_str(), folder.at(c.to).c_str())) << c.from;
    EXPECT_EQ(d->fileFailure(), UXFileFailure::notRegular) << c.from;
  }
  int32_t count = 0;
  EXPECT_EQ(listing(*d, folder.path, count), (std::vector<std::string>{"f\t0\tpipe", "f\t5\ta.txt"}));
  EXPECT_TRUE(onHost(L"rm", folder.path, "pipe", false));
}

// Host links (to a folder: a reparse point; to a file: opened as the file)
// are entries, neither deleted nor renamed: Wine would delete or move their
// targets.
TEST_F(Win32DriverTest, HostLinksAreEntriesNeitherDeletedNorRenamed) {
  TempFolder folder;
  CreateDirectoryW(w32Wide(folder.at("real")).c_str(), nullptr);
  folder.write("real.txt", "real");
  const std::string skip =
      makeHostLink("real", folder.path, "link") + makeHostLink("real.txt", folder.path, "flink");
  if (!skip.empty()) GTEST_SKIP() << skip;
  EXPECT_EQ(d->filePresence(folder.at("link").c_str()), UXFilePresence::file);
  for (const char* link : {"link", "flink"}) {
    EXPECT_FALSE(d->fileRename(folder.at(link).c_str(), folder.at("real/moved").c_str())) << link;
    EXPECT_EQ(d->fileFailure(), UXFileFailure::linkAsTarget) << link;
    EXPECT_FALSE(d->fileDelete(folder.at(link).c_str())) << link;
    EXPECT_EQ(d->fileFailure(), UXFileFailure::linkAsTarget) << link;
    EXPECT_TRUE(removeHostLink(folder.path, link)) << link;
  }
  int32_t count = 0;  // the targets stay where they were
  EXPECT_EQ(listing(*d, folder.path, count), (std::vector<std::string>{"d\t0\treal", "f\t4\treal.txt"}));
  EXPECT_EQ(listing(*d, folder.path + "\\real", count), std::vector<std::string>{});
}

// The bytes of the whole file at the full path, links followed ("" when it cannot be read).
std::string readFile(const std::string& path) {
  W32File f(CreateFileW(longForm(path).c_str(), GENERIC_READ, kW32ShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  std::string bytes;
  char chunk[4096];
  for (DWORD got = 0; f && ReadFile(f.get(), chunk, sizeof chunk, &got, nullptr) && got > 0;) bytes.append(chunk, got);
  return bytes;
}

// One change of the settings file at the full path through the Windows calls: its outcome.
UXFileFailure changeSettingsAt(const std::string& path, const char* section, const char* key, const char* value) {
  W32SettingsCalls calls(longForm(path));
  UXSettings settings;
  return uxSettingsChangeFile(
      calls, [&](UXSettings& now) { return uxSettingsApply(now, uxSettingsSection(section), {{key, value}}); },
      settings);
}

// The Windows build writes the very bytes the native build reads (the table both run), and a file in the
// native build's form stays in it.
TEST_F(Win32DriverTest, SettingsFilesAreWrittenInTheFormBothBuildsRead) {
  TempFolder folder;
  for (const SettingsFileBytes& row : settingsFileBytes()) {
    EXPECT_EQ(changeSettingsAt(folder.at("settings.ini"), row.section, row.key, row.value), UXFileFailure::none);
    EXPECT_EQ(readFile(folder.at("settings.ini")), row.windows) << row.key;
  }
  folder.write("plain.ini", "[ui]\nk=\xC3\xA9\n");
  EXPECT_EQ(changeSettingsAt(folder.at("plain.ini"), "ui", "j", "2"), UXFileFailure::none);
  EXPECT_EQ(readFile(folder.at("plain.ini")), "[ui]\nj=2\nk=\xC3\xA9\n");
  folder.write("odd.ini", std::string("\xFF\xFEk\0=", 5));
  EXPECT_EQ(changeSettingsAt(folder.at("odd.ini"), "ui", "j", "2"), UXFileFailure::notText);
  EXPECT_EQ(readFile(folder.at("odd.ini")), std::string("\xFF\xFEk\0=", 5));
}

// Windows moves no file over one another program has open: a change waits within its wait for it to be let
// go, else answers busy and leaves it. (Wine moves a file over a read-only one, which Windows refuses.)
TEST_F(Win32DriverTest, ASettingsFileHeldOpenIsWaitedFor) {
  TempFolder folder;
  const std::string file = folder.at("settings.ini");
  ASSERT_EQ(changeSettingsAt(file, "ui", "a", "1"), UXFileFailure::none);
  W32File reader(CreateFileW(longForm(file).c_str(), GENERIC_READ, kW32ShareAll, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(reader);
  gUXSettingsLockWaitMs = 0;
  EXPECT_EQ(changeSettingsAt(file, "ui", "b", "2"), UXFileFailure::busy);
  EXPECT_EQ(readFile(file), utf16FileBytes(u"[ui]\r\na=1\r\n"));
  gUXSettingsLockWaitMs = 60000;
  std::thread letGo([&reader] {
    Sleep(200);
    reader.reset();
  });
  EXPECT_EQ(changeSettingsAt(file, "ui", "b", "2"), UXFileFailure::none);
  letGo.join();
  gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;
  EXPECT_EQ(readFile(file), utf16FileBytes(u"[ui]\r\na=1\r\nb=2\r\n"));
}

// A settings file behind host links (a chain of two) is changed where it is, through the links or its own
// path alike: the links stay links, and the one lock beside the file holds up a change through them.
TEST_F(Win32DriverTest, ASettingsFileBehindLinksIsChangedWhereItIsUnderItsOneLock) {
  TempFolder folder;
  CreateDirectoryW(w32Wide(folder.at("real")).c_str(), nullptr);
  folder.write("real\\quorl.ini", "[ui]\r\nkeep=1\r\n");
  std::string skip = makeHostLink("real/quorl.ini", folder.path, "next.ini");  // first: Wine lists no link to nothing
  if (skip.empty()) skip = makeHostLink("next.ini", folder.path, "settings.ini");
  if (!skip.empty()) GTEST_SKIP() << skip;
  const std::string link = folder.at("settings.ini"), real = folder.at("real\\quorl.ini");
  EXPECT_EQ(changeSettingsAt(link, "ui", "a", "1"), UXFileFailure::none);
  EXPECT_EQ(changeSettingsAt(real, "ui", "b", "2"), UXFileFailure::none);
  EXPECT_EQ(changeSettingsAt(link, "ui", "c", "3"), UXFileFailure::none);
  EXPECT_EQ(readFile(real), "[ui]\r\na=1\r\nb=2\r\nc=3\r\nkeep=1\r\n");
  EXPECT_EQ(readFile(link), readFile(real));
  W32File lock(CreateFileW(longForm(real + ".lock").c_str(), GENERIC_READ | GENERIC_WRITE, kW32ShareAll, nullptr,
                           OPEN_EXISTING, 0, nullptr));
  OVERLAPPED from{};
  ASSERT_TRUE(lock && LockFileEx(lock.get(), LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &from));
  gUXSettingsLockWaitMs = 0;
  EXPECT_EQ(changeSettingsAt(link, "ui", "d", "4"), UXFileFailure::busy);
  gUXSettingsLockWaitMs = kUXSettingsLockWaitMs;
  lock.reset();
  EXPECT_EQ(GetFileAttributesW(longForm(link + ".lock").c_str()), INVALID_FILE_ATTRIBUTES) << "a lock beside the link";
  EXPECT_EQ(GetFileAttributesW(longForm(folder.at("next.ini.lock")).c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(removeHostLink(folder.path, "settings.ini"));
  EXPECT_TRUE(removeHostLink(folder.path, "next.ini"));
  EXPECT_EQ(readFile(real), "[ui]\r\na=1\r\nb=2\r\nc=3\r\nkeep=1\r\n");
}

// A copy whose source fails once its sibling is open leaves no sibling (an
// open one would not be removed).
TEST_F(Win32DriverTest, ACopyWhoseSourceFailsLeavesNoSibling) {
  TempFolder folder;
  folder.write("b.txt", "old");
  W32SiblingCopy copy(w32LongPath(folder.at("b.txt").c_str()));  // no source to read
  EXPECT_EQ(uxCopyThroughSibling(copy, folder.path + "\\", true), UXFileFailure::unknown);
  int32_t count = 0;
  EXPECT_EQ(listing(*d, folder.path, count), (std::vector<std::string>{"f\t3\tb.txt"}));
}

// A move to another volume (Wine's Z:\dev\shm) copies the file with its
// times and deletes it through the handle it copied from, which no other
// program can replace or write meanwhile; a read-only source takes its copy
// back; a folder, or a name taken there, is not moved.
TEST_F(Win32DriverTest, AMoveToAnotherVolumeDeletesOnlyWhatItCopied) {
  TempFolder folder, other(L"Z:\\dev\\shm\\");
  folder.write("probe", "");
  if (MoveFileExW(w32Wide(folder.at("probe")).c_str(), w32Wide(other.at("probe")).c_str(), 0) ||
      GetLastError() != ERROR_NOT_SAME_DEVICE)
    GTEST_SKIP() << "Z:\\dev\\shm is no other volume here (not Wine?)";
  for (const char* name : {"moved.txt", "kept.txt", "locked.txt", "rival"}) folder.write(name, name);
  other.write("kept.txt", "theirs");
  const FILETIME written{0x12345678, 0x01D00000};
  ASSERT_TRUE(SetFileTime(W32File(CreateFileW(w32Wide(folder.at("moved.txt")).c_str(), FILE_WRITE_ATTRIBUTES, 0,
                                              nullptr, OPEN_EXISTING, 0, nullptr)).get(), nullptr, nullptr, &written));
  SetFileAttributesW(w32Wide(folder.at("locked.txt")).c_str(), FILE_ATTRIBUTE_READONLY);
  CreateDirectoryW(w32Wide(folder.at("sub")).c_str(), nullptr);
  int held = 0;  // the sources another program could neither replace nor write
  gUXBeforeMoveDelete = [&](const std::string& source) {
    const bool replaced =
        MoveFileExW(w32Wide(folder.at("rival")).c_str(), w32Wide(source).c_str(), MOVEFILE_REPLACE_EXISTING);
    held += !replaced && !W32File(CreateFileW(w32Wide(source).c_str(), GENERIC_WRITE, kW32ShareAll, nullptr,
                                              OPEN_EXISTING, 0, nullptr));
  };
  const struct { const char* name; bool moves; UXFileFailure why; } cases[] = {
      {"moved.txt", true, UXFileFailure::none},
      {"kept.txt", false, UXFileFailure::exists},
      {"sub", false, UXFileFailure::otherVolume},
      {"locked.txt", false, UXFileFailure::permission},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(d->fileRename(folder.at(c.name).c_str(), other.at(c.name).c_str()), c.moves) << c.name;
    EXPECT_EQ(d->fileFailure(), c.why) << c.name;
  }
  gUXBeforeMoveDelete = nullptr;
  SetFileAttributesW(w32Wide(folder.at("locked.txt")).c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(held, 2);  // moved.txt and locked.txt
  int32_t count = 0;
  EXPECT_EQ(listing(*d, folder.path, count), (std::vector<std::string>{"d\t0\tsub", "f\t0\tprobe", "f\t10\tlocked.txt",
                                                                     "f\t5\trival", "f\t8\tkept.txt"}));
  EXPECT_EQ(listing(*d, other.path, count), (std::vector<std::string>{"f\t6\tkept.txt", "f\t9\tmoved.txt"}));
  WIN32_FILE_ATTRIBUTE_DATA kept{};
  ASSERT_TRUE(GetFileAttributesExW(w32Wide(other.at("moved.txt")).c_str(), GetFileExInfoStandard, &kept));
  EXPECT_EQ(CompareFileTime(&kept.ftLastWriteTime, &written), 0);
}

// A folder deeper than MAX_PATH, and than the 590 bytes the listing once
// kept, is listed and changed through its whole path: the cut path would
// have named its parent, whose same-named file would have been the one
// deleted.
TEST_F(Win32DriverTest, DeepFoldersAreReachedWhole) {
  TempFolder folder;
  std::string parent = folder.path;
  while (590 - parent.size() - 1 > 200) {
    parent += "\\" + std::string(200, 'p');
    ASSERT_TRUE(CreateDirectoryW(longForm(parent).c_str(), nullptr)) << parent.size();
  }
  parent += "\\" + std::string(590 - parent.size() - 1, 'q');
  const std::string deep = parent + "\\real";
  ASSERT_TRUE(CreateDirectoryW(longForm(parent).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryW(longForm(deep).c_str(), nullptr));
  writeFile(parent + "\\b.txt", "parent b");
  writeFile(deep + "\\a.txt", "deep a");
  writeFile(deep + "\\b.txt", "deep b");
  std::string slashed = deep;  // as the file panel writes paths
  std::replace(slashed.begin(), slashed.end(), '\\', '/');
  int32_t count = 0;
  for (const std::string& path : {deep, slashed}) {
    EXPECT_EQ(listing(*d, path, count), (std::vector<std::string>{"f\t6\ta.txt", "f\t6\tb.txt"})) << path;
    EXPECT_EQ(count, 2);
  }
  EXPECT_TRUE(d->fileCopy((slashed + "/a.txt").c_str(), (slashed + "/c.txt").c_str()));
  EXPECT_FALSE(d->fileRename((slashed + "/c.txt").c_str(), (slashed + "/b.txt").c_str()));
  EXPECT_EQ(d->fileFailure(), UXFileFailure::exists);
  EXPECT_TRUE(d->fileDelete((slashed + "/b.txt").c_str()));
  EXPECT_FALSE(d->fileDelete(slashed.c_str()));
  EXPECT_EQ(d->fileFailure(), UXFileFailure::isFolder);
  EXPECT_EQ(listing(*d, slashed, count), (std::vector<std::string>{"f\t6\ta.txt", "f\t6\tc.txt"}));
  EXPECT_EQ(listing(*d, parent, count), (std::vector<std::string>{"d\t0\treal", "f\t8\tb.txt"}));
}

// Run by TheSettingsFileIsMadeBelowALongApplicationDataFolder.
TEST(W32SettingsChild, SetsAKey) {
  if (GetEnvironmentVariableW(L"QUORL_SETTINGS_SET", nullptr, 0) == 0) GTEST_SKIP() << "run by the parent";
  EXPECT_TRUE(make<UXWin32Driver>()->settingSet("where", "set", "1"));
}

// An application-data folder of 256 characters or more holds the settings file, not the working folder.
TEST_F(Win32DriverTest, TheSettingsFileIsMadeBelowALongApplicationDataFolder) {
  TempFolder folder, working;
  std::string appdata = folder.path;
  for (const char* name : {"a", "b"}) {
    appdata += "\\" + std::string(120, *name);
    ASSERT_TRUE(CreateDirectoryW(longForm(appdata).c_str(), nullptr));
  }
  ASSERT_GE(w32Wide(appdata).size(), 256u);
  PROCESS_INFORMATION child = startThisProgram(
      L"W32SettingsChild.SetsAKey", {{L"APPDATA", w32Wide(appdata)}, {L"QUORL_SETTINGS_SET", L"1"}},
      w32Wide(working.path));
  EXPECT_EQ(endOf(child), 0u);
  EXPECT_NE(GetFileAttributesW(longForm(appdata + "\\Wendle\\Wendle.ini").c_str()), INVALID_FILE_ATTRIBUTES);
  int32_t count = 0;
  EXPECT_EQ(listing(*d, working.path, count), std::vector<std::string>{});
}

// ---------------------------------------------------------------------------
// Dialogs: modal, so a helper thread finds the dialog of this thread and
// answers it.

class DialogAnswerer {
 public:
  DialogAnswerer(std::function<void(HWND)> answer) : thread_([this, answer, tid = GetCurrentThreadId()] {
    // Until a dialog shows or the caller is done without one: a dialog never
    // found is the watchdog's, whatever the load.
    while (!stop_) {
      HWND found = nullptr;
      EnumThreadWindows(
          tid,
          [](HWND w, LPARAM out) -> BOOL {
            wchar_t name[16] = {};
            GetClassNameW(w, name, 16);
            if (wcscmp(name, L"#32770") == 0 && IsWindowVisible(w)) {
              *reinterpret_cast<HWND*>(out) = w;
              return FALSE;
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&found));
      if (found) {
        // A dialog may still be setting itself up when it shows, and undo an
        // answer given too early on a loaded machine: answer again for as
        // long as it stays open.
        while (!stop_) {
          Sleep(300);
          answer(found);
          for (int k = 0; k < 40 && IsWindow(found) && IsWindowVisible(found); ++k) Sleep(50);
          if (!IsWindow(found) || !IsWindowVisible(found)) break;
        }
        answered = true;
        return;
      }
      Sleep(50);
    }
  }) {}
  ~DialogAnswerer() {
    stop_ = true;
    thread_.join();
  }
  std::atomic<bool> answered{false};

 private:
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

void press(HWND dialog, int id) {
  PostMessageW(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

// The file name field of the file dialogs: a combo box (cmb13) or an edit
// control (edt1), as the system's template has it.
void typeFileName(HWND dialog, const std::wstring& name) {
  HWND field = GetDlgItem(dialog, 0x47C);
  if (!field) field = GetDlgItem(dialog, 0x480);
  SendMessageW(field, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(name.c_str()));
}

TEST_F(Win32DriverTest, FileDialogsAnswerTheChosenPath) {
  EXPECT_TRUE(d->hasNativeFileOpen());
  EXPECT_TRUE(d->hasNativeFileSave());
  EXPECT_FALSE(d->hasNativeNavigation());
  TempFolder folder;
  const std::string name = "r\xC3\xA9sum\xC3\xA9-\xE6\x97\xA5\xE6\x9C\xAC.txt";
  folder.write(name, "x");
  char buffer[1024];
  // A hook or a template puts a dialog of its own inside the file dialog,
  // and on Windows brings back the older dialog: neither may be there.
  std::atomic<int> inner{0};
  auto noInner = [&](HWND dialog) {
    inner += FindWindowExW(dialog, nullptr, L"#32770", nullptr) != nullptr;
    return dialog;
  };
  {
    DialogAnswerer answerer([&](HWND dialog) {
      typeFileName(noInner(dialog), w32Wide(name));
      press(dialog, IDOK);
    });
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(d->fileOpen("Open \xE2\x86\x92", folder.path.c_str(), buffer, sizeof buffer), 1);
  }
  EXPECT_EQ(std::string(buffer), folder.at(name));
  {
    DialogAnswerer answerer([&](HWND dialog) { press(dialog, IDCANCEL); });
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(d->fileOpen("Open", folder.path.c_str(), buffer, sizeof buffer), 0);
  }
  EXPECT_STREQ(buffer, "");
  {
    // A path that does not fit the buffer whole is not cut: no answer.
    DialogAnswerer answerer([&](HWND dialog) {
      typeFileName(dialog, w32Wide(name));
      press(dialog, IDOK);
    });
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(d->fileOpen("Open", folder.path.c_str(), buffer, 12), 0);
  }
  EXPECT_STREQ(buffer, "");
  const std::string proposed = "propos\xC3\xA9 \xE2\x82\xAC.csv";
  {
    DialogAnswerer answerer([&](HWND dialog) { press(noInner(dialog), IDOK); });
    std::memset(buffer, '#', sizeof buffer);
    EXPECT_EQ(d->fileSave("Save", folder.path.c_str(), proposed.c_str(), buffer, sizeof buffer), 1);
  }
  EXPECT_EQ(std::string(buffer), folder.at(proposed));
  EXPECT_EQ(inner.load(), 0);
}

TEST_F(Win32DriverTest, ColourAndFontDialogs) {
  EXPECT_TRUE(d->hasNativeColorPicker());
  EXPECT_TRUE(d->hasNativeFontPicker());
  uint32_t r = 7, g = 7, b = 7;
  {
    DialogAnswerer answerer([](HWND dialog) { press(dialog, IDOK); });
    EXPECT_TRUE(d->pickColor(10, 20, 30, r, g, b));
  }
  EXPECT_EQ(r, 10u);
  EXPECT_EQ(g, 20u);
  EXPECT_EQ(b, 30u);
  {
    DialogAnswerer answerer([](HWND dialog) { press(dialog, IDCANCEL); });
    r = g = b = 7;
    EXPECT_FALSE(d->pickColor(10, 20, 30, r, g, b));
  }
  EXPECT_EQ(r + g + b, 21u);  // untouched

  // A face the system has, so that the dialog proposes it as given.
  std::wstring installed;
  LOGFONTW query{};
  query.lfCharSet = DEFAULT_CHARSET;
  HDC screen = GetDC(nullptr);
  EnumFontFamiliesExW(
      screen, &query,
      [](const LOGFONTW* lf, const TEXTMETRICW*, DWORD type, LPARAM out) -> int {
        if (!(type & TRUETYPE_FONTTYPE) || lf->lfFaceName[0] == L'@') return 1;
        *reinterpret_cast<std::wstring*>(out) = lf->lfFaceName;
        return 0;
      },
      reinterpret_cast<LPARAM>(&installed), 0);
  ReleaseDC(nullptr, screen);
  ASSERT_FALSE(installed.empty());
  const std::string chosen = w32Utf8(installed.c_str());
  // What is proposed comes back when the dialog is confirmed as it opened.
  for (uint8_t style : {0, 1, 2, 3}) {
    const uint8_t bold = style & 1, italic = style >> 1;
    SCOPED_TRACE(int(style));
    char face[32] = "#";
    int32_t size = 0;
    uint8_t outBold = 9, outItalic = 9;
    {
      DialogAnswerer answerer([](HWND dialog) { press(dialog, IDOK); });
      EXPECT_TRUE(d->pickFont(chosen.c_str(), 12, bold, italic, face, sizeof face, size, outBold, outItalic));
    }
    EXPECT_EQ(std::string(face), chosen);
    EXPECT_EQ(size, 12);
    EXPECT_EQ(outBold, bold);
    EXPECT_EQ(outItalic, italic);
  }
  char face[32] = "#";
  int32_t size = 9;
  uint8_t outBold = 9, outItalic = 9;
  {
    DialogAnswerer answerer([](HWND dialog) { press(dialog, IDCANCEL); });
    EXPECT_FALSE(d->pickFont(chosen.c_str(), 12, 1, 1, face, sizeof face, size, outBold, outItalic));
  }
  EXPECT_EQ(size, 9);  // untouched
  EXPECT_EQ(outBold + outItalic, 18);
  EXPECT_STREQ(face, "#");
}

// ---------------------------------------------------------------------------
// Sound, icons, snapshots.

TEST_F(Win32DriverTest, SoundAnswersWhetherItPlays) {
  std::vector<int16_t> tone(4410);
  for (size_t i = 0; i < tone.size(); ++i) tone[i] = int16_t((i % 100) * 300 - 15000);
  EXPECT_EQ(w32SoundPlay(nullptr, 10, 44100), 0);
  EXPECT_EQ(w32SoundPlay(tone.data(), 0, 44100), 0);
  EXPECT_EQ(w32SoundPlay(tone.data(), uint32_t(tone.size()), 0), 0);
  // Without an audio device the wave mapper will not open: the failure is
  // answered and nothing is kept.
  HMODULE winmm = LoadLibraryW(L"winmm.dll");
  auto devices = reinterpret_cast<UINT(WINAPI*)()>(reinterpret_cast<void*>(GetProcAddress(winmm, "waveOutGetNumDevs")));
  ASSERT_TRUE(devices);
  int32_t expected = devices() > 0 ? 1 : 0;
  std::printf("wave output devices: %u\n", devices());
  EXPECT_EQ(w32SoundPlay(tone.data(), uint32_t(tone.size()), 44100), expected);
  d->audioPlay(tone.data(), uint32_t(tone.size()), 22050);
}

uint32_t firstPixelOf(HICON icon) {
  ICONINFO info{};
  if (!GetIconInfo(icon, &info)) return 0;
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 2;
  bi.bmiHeader.biHeight = -1;
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  uint32_t pixels[2] = {};
  HDC dc = GetDC(nullptr);
  GetDIBits(dc, info.hbmColor, 0, 1, pixels, &bi, DIB_RGB_COLORS);
  ReleaseDC(nullptr, dc);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels[0];
}

TEST_F(Win32DriverTest, ApplicationIconsInEitherByteOrder) {
  const uint8_t pixels[8] = {0x11, 0x22, 0x33, 0xFF, 0x44, 0x55, 0x66, 0xFF};
  struct Case {
    int32_t swap;
    uint32_t first;
  } cases[] = {{1, 0xFF332211}, {0, 0xFF112233}, {2, 0xFF112233}};
  for (const Case& c : cases) {
    HICON icon = w32AppIconMake(pixels, 2, 1, c.swap);
    ASSERT_TRUE(icon);
    EXPECT_EQ(firstPixelOf(icon), c.first) << c.swap;
    DestroyIcon(icon);
  }
  EXPECT_FALSE(w32AppIconMake(pixels, 0, 1, 0));
  EXPECT_FALSE(w32AppIconMake(nullptr, 2, 1, 0));

  uint32_t before = openWindow(200, 100);
  ASSERT_TRUE(d->appSetIcon(pixels, 2, 1, 1));
  ASSERT_TRUE(gW32AppIcon);
  EXPECT_EQ(firstPixelOf(gW32AppIcon.get()), 0xFF332211u);  // B, G, R, A kept
  ASSERT_TRUE(d->appSetIcon(pixels, 2, 1, 0));
  EXPECT_EQ(firstPixelOf(gW32AppIcon.get()), 0xFF112233u);  // R, G, B, A exchanged
  const HICON kept = gW32AppIcon.get();
  EXPECT_FALSE(d->appSetIcon(pixels, 0, 1, 0));
  EXPECT_EQ(gW32AppIcon.get(), kept);
  auto iconOf = [&](uint32_t h, WPARAM which) {
    return reinterpret_cast<HICON>(SendMessageW(hwndOf(h), WM_GETICON, which, 0));
  };
  EXPECT_EQ(iconOf(before, ICON_BIG), gW32AppIcon.get());
  uint32_t after = openWindow(200, 100);
  EXPECT_EQ(iconOf(after, ICON_SMALL), gW32AppIcon.get());
  d->windowSetIcon(after, "");
  EXPECT_EQ(iconOf(after, ICON_BIG), gW32AppIcon.get());
  d->windowSetIcon(after, "C:\\windows\\system32\\notepad.exe");
  HICON fileIcon = iconOf(after, ICON_BIG);
  ASSERT_TRUE(fileIcon);
  EXPECT_NE(fileIcon, gW32AppIcon.get()) << "the shell's icon of the file";
  d->windowSetIcon(after, "");
  EXPECT_EQ(iconOf(after, ICON_SMALL), gW32AppIcon.get());
  ICONINFO gone{};
  EXPECT_FALSE(GetIconInfo(fileIcon, &gone)) << "the file's icon is freed once the window shows another";
  d->windowDestroy(before);
  d->windowDestroy(after);
  gW32AppIcon.reset();
}

void paintBlue(int32_t, int32_t, int32_t, int32_t, int32_t, void*) {
  if (UXGraphics* g = gDriver->beginViewDraw(0, 0, 40, 30)) {
    g->fillRect(UXRect(0, 0, 40, 30), 250);  // light blue
    gDriver->endViewDraw();
  }
}

TEST_F(Win32DriverTest, SnapshotsReadInsideTheClientAreaOnly) {
  uint32_t h = openWindow(120, 80);
  int anchor = 0;
  d->windowSetContent(h, paintBlue, &anchor);
  d->windowInvalidate(h);
  HDC dc = GetDC(hwndOf(h));
  COLORREF blue = GetPixel(dc, 5, 5), grey = GetPixel(dc, 100, 70);
  ReleaseDC(hwndOf(h), dc);
  auto argb = [](COLORREF c) { return 0xFF000000u | (c & 255) << 16 | (c & 0xFF00) | (c >> 16 & 255); };

  uint32_t out[16];
  std::fill(out, out + 16, 0x12345678u);
  ASSERT_TRUE(d->windowSnapshot(h, 38, 28, 4, 4, out));
  EXPECT_EQ(out[0], argb(blue));    // (38, 28): inside the blue block
  EXPECT_EQ(out[15], argb(grey));   // (41, 31): the background
  for (uint32_t p : out) EXPECT_EQ(p >> 24, 0xFFu);

  struct Case {
    int32_t x, y, w, h;
  } refused[] = {
      {-1, 0, 4, 4}, {0, -4, 4, 4}, {117, 0, 4, 4}, {0, 77, 4, 4},
      {0x7FFFFFF0, 0, 0x20, 1},     // the far edge wraps in 32 bits
      {-0x7FFFFFF0, 0, 0x7FFFFFF8, 1},
      {0, 0, 0, 4},
  };
  for (const Case& c : refused) {
    std::fill(out, out + 16, 0x12345678u);
    EXPECT_FALSE(d->windowSnapshot(h, c.x, c.y, c.w, c.h, out)) << c.x << "," << c.y;
    EXPECT_EQ(out[0], 0x12345678u);
  }
  EXPECT_FALSE(d->windowSnapshot(h + 1, 0, 0, 1, 1, out));
}

}  // namespace
}  // namespace quorl::test
