// Listing text, ordering, filtering, sizes, strings and scrolling.
#include <string>

#include "PanelTest.h"
#include "foundation/String.h"
#include "ux/controls/UXTextField.h"

namespace quorl::test {
namespace {

std::string describeRows(const UXFileRows& rows) {
  std::string out;
  for (const Ref<UXFileRow>& r : rows)
    out += std::string(r->isDir ? "d" : "f") + ":" + std::to_string(r->size) + ":[" + r->name + "] ";
  return out;
}

TEST(FileListing, ParsesEachLineForm) {
  struct Case { const char* text; const char* dirs; const char* files; } cases[] = {
      {"d\t0\tsrc\nf\t1536\tnotes.txt\n", "d:0:[src] ", "f:1536:[notes.txt] "},
      {"f data\n", "", "f:0:[data] "},                    // a space instead of the TAB
      {"f\t12 x\n", "", "f:12:[ x] "},                    // no TAB after the digits
      {"d\n", "d:0:[] ", ""},                             // a folder with an empty name
      {"\nf\t1\ta\n", "", "f:0:[f\t1\ta] "},              // an empty line eats the next
      {"f\t4294967296\tbig\n", "", "f:0:[big] "},         // sizes wrap at 32 bits
      {"x\t5\tother\n", "", "f:5:[other] "},              // unknown kinds are files
      {"f\t1\tcr\r\nf\t2\tlast", "", "f:1:[cr\r] f:2:[last] "},  // CR kept, no final LF
      {"f\t3\t\xff\xfe\n", "", "f:3:[\xff\xfe] "},        // bytes that are not UTF-8
      {"", "", ""},
  };
  for (const Case& c : cases) {
    UXFileRows dirs, files;
    EXPECT_TRUE(UXFilePanel::parseListing(c.text, dirs, files));
    EXPECT_EQ(describeRows(dirs), c.dirs) << c.text;
    EXPECT_EQ(describeRows(files), c.files) << c.text;
  }
}

TEST(FileListing, KeepsRowPositionsWithinSixteenBits) {
  std::string text;
  for (int i = 0; i < 70000; ++i) text += "f\t1\tn" + std::to_string(i) + "\n";
  UXFileRows dirs, files;
  EXPECT_FALSE(UXFilePanel::parseListing(text.c_str(), dirs, files));
  EXPECT_EQ(files.size(), UXFilePanel::kMaxRows - 1);
}

// One row per ordering rule: folders first by name, case folded only for
// A-Z, stable ties, sizes mixing folders in, names breaking size ties.
TEST(FileListing, OrdersByTheKeyAndDirection) {
  struct Case { uint32_t key; uint8_t ascending; const char* listing; const char* order; } cases[] = {
      {0, 1, "f\t0\tb\nf\t0\tA\nf\t0\ta\nf\t0\t_x\nf\t0\tab\n", "..,_x,A,a,ab,b"},
      {0, 0, "f\t0\tb\nd\t0\tz\nf\t0\ta\nd\t0\ty\n", "..,z,y,b,a"},
      {0, 1, "f\t0\t\xc3\xa9\nf\t0\tz\nf\t0\tZa\n", "..,z,Za,\xc3\xa9"},
      {1, 1, "f\t5\tbig\nd\t0\tsub\nf\t0\tempty\n", "..,empty,sub,big"},
      {1, 0, "f\t5\tbig\nd\t0\tsub\nf\t0\tempty\nf\t9\tbigger\n", "..,bigger,big,empty,sub"},
      {1, 0, "f\t5\tb\nf\t5\ta\n", "..,a,b"},
  };
  for (const Case& c : cases) {
    auto panel = make<UXFilePanel>();
    panel->dir = "/tmp";
    panel->dotDot = make<UXFileRow>("..", 1, 0);
    UXFilePanel::parseListing(c.listing, panel->dirs, panel->files);
    panel->sortKey = c.key;
    panel->ascending = c.ascending;
    panel->showHidden = 1;
    panel->rebuild();
    EXPECT_EQ(names(panel->rows), c.order) << c.listing;
  }
}

TEST(FileListing, MatchesMasks) {
  struct Case { const char* mask; const char* name; bool match; } cases[] = {
      {"", "anything", true},  {"*", "x", true},        {"*.txt", "a.txt", true},
      {"*.txt", "a.TXT", false}, {"*x", "x", true},     {"*long", "ng", false},
      {"ab", "a", false},      {"re", "readme", true},  {"*a*", "ba*", true},
      {"*a*", "bab", false},
  };
  for (const Case& c : cases) EXPECT_EQ(UXFilePanel::matchMask(c.mask, c.name), c.match) << c.mask << " " << c.name;
}

TEST(FileListing, HidesDotNamesAndMaskedFilesButNeverFolders) {
  auto panel = make<UXFilePanel>();
  panel->dir = "/tmp";
  panel->dotDot = make<UXFileRow>("..", 1, 0);
  UXFilePanel::parseListing("d\t0\t.git\nd\t0\tsrc\nf\t1\t.profile\nf\t1\ta.txt\nf\t1\tb.json\n", panel->dirs,
                            panel->files);
  panel->rebuild();
  EXPECT_EQ(names(panel->visible), "..,src,a.txt,b.json");
  panel->showHidden = 1;
  panel->applyMask();
  EXPECT_EQ(names(panel->visible), "..,.git,src,.profile,a.txt,b.json");
  panel->maskField = make<UXTextField>();
  panel->select(4);
  panel->maskField->setText("*.json");
  panel->syncMask();
  EXPECT_EQ(names(panel->visible), "..,.git,src,b.json");
  EXPECT_EQ(panel->selected, -1);
  EXPECT_EQ(panel->mask, "*.json");
}

TEST(FileListing, FormatsSizesAtTheUnitBoundaries) {
  struct Case { uint32_t size; const char* text; } cases[] = {
      {0, "0"},           {1023, "1023"},          {1024, "1.0K"},       {1536, "1.5K"},
      {1048575, "1023.9K"}, {1048576, "1.0M"},     {1073741823, "1023.9M"}, {1073741824, "1.0G"},
      {1610612736, "1.5G"}, {4294967295u, "3.9G"},
  };
  for (const Case& c : cases) {
    char buffer[8] = "garbage";
    UXFilePanel::formatSize(c.size, buffer);
    EXPECT_STREQ(buffer, c.text) << c.size;
  }
  char digits[11];
  EXPECT_EQ(UXFilePanel::utoa(0, digits), 1u);
  EXPECT_STREQ(digits, "0");
  EXPECT_EQ(UXFilePanel::utoa(4294967295u, digits), 10u);
}

TEST(FileListing, JoinsAndCutsPaths) {
  struct Join { const char* dir; const char* name; const char* path; } joins[] = {
      {"/", "a", "/a"}, {"C:", "a", "C:/a"}, {"C:/", "a", "C://a"}, {"/tmp", "sub/x", "/tmp/sub/x"}};
  for (const Join& j : joins) EXPECT_EQ(UXFilePanel::join(j.dir, j.name), j.path);
  struct Up { const char* dir; const char* parent; } ups[] = {
      {"/a", "/"}, {"/a/b/", "/a/b"}, {"C:", "/"}, {"/", "/"}, {"/a/b", "/a"}, {"C:/x", "C:/"}, {"C:/", "C:/"}};
  for (const Up& u : ups) EXPECT_EQ(UXFilePanel::parentOf(u.dir), u.parent);
}

// "/tmp" natively, "Z:/tmp" on Windows: absolute, '/'-separated, no
// trailing '/' but at a root, and never a single byte such as ".".
TEST(FileListing, MakesTheStartFolderAbsolute) {
  const std::string here = UXFilePanel::absoluteDir(".");
  ASSERT_GT(here.size(), 1u);
  EXPECT_NE(here.back(), '/');
  EXPECT_EQ(here.find('\\'), std::string::npos);
  EXPECT_FALSE(UXFilePanel::isRoot(here));
  EXPECT_EQ(UXFilePanel::absoluteDir(""), here);
  const std::string tmp = UXFilePanel::absoluteDir("/tmp");
  EXPECT_EQ(tmp.substr(tmp.size() - 4), "/tmp");
  EXPECT_EQ(UXFilePanel::absoluteDir("/tmp/x/../"), tmp);
  EXPECT_TRUE(UXFilePanel::isRoot(UXFilePanel::absoluteDir("/")));
  EXPECT_EQ(UXFilePanel::parentOf(tmp), UXFilePanel::absoluteDir("/"));
}

TEST(FileListing, ScrollsWithinTheShownRows) {
  struct Case { int rows; int32_t start; int32_t delta; int32_t top; } cases[] = {
      {25, 0, 100, 15}, {25, 10, -100, 0}, {7, 0, 3, 0}, {25, 5, 3, 8}, {0, 0, -3, 0}};
  for (const Case& c : cases) {
    auto panel = make<UXFilePanel>();
    for (int i = 0; i < c.rows; ++i) panel->visible.push_back(make<UXFileRow>("r", 0, 0));
    panel->top = c.start;
    panel->scrollBy(c.delta);
    EXPECT_EQ(panel->top, c.top) << c.rows << " " << c.delta;
  }
  auto panel = make<UXFilePanel>();
  for (int i = 0; i < 30; ++i) panel->visible.push_back(make<UXFileRow>("r", 0, 0));
  struct Drag { int32_t y, span, top; } drags[] = {{50, 100, 10}, {150, 100, 20}, {50, 0, 20}, {-5, 100, 0}};
  for (const Drag& d : drags) {
    panel->setTopFromY(d.y, d.span);
    EXPECT_EQ(panel->top, d.top) << d.y << " " << d.span;
  }
}

TEST(FileListing, DescribesThePanelAndRows) {
  auto panel = make<UXFilePanel>();
  EXPECT_STREQ(panel->description()->cString(), "<UXFilePanel>(-1, 0, 0, 0, 0, 0, 0, 1, 0)");
  UXFileRow row("x", 1, 70000);
  EXPECT_STREQ(row.description()->cString(), "<UXFileRow>(1, 4464)");
}

// The listing through the driver: a real folder, an unreadable one and one
// too large for the first buffer.
TEST_F(PanelTest, ListsRealFoldersWhateverTheirSize) {
  fs::create_directory(at("sub"));
  write("a.txt", std::string(1536, 'x'));
  auto panel = listed();
  EXPECT_EQ(names(panel->visible), "..,sub,a.txt");
  EXPECT_EQ(panel->visible[2]->size, 1536u);
  EXPECT_EQ(panel->dirText(), rootText);

  fs::create_directory(at("many"));
  // 800 names of 120 bytes fill several times the first buffer; few files, as each is slow under Wine.
  for (int i = 0; i < 800; ++i) {
    std::string name = "entry-" + std::to_string(i) + "-";
    std::ofstream(at("many/" + name + std::string(120 - name.size(), 'x')));
  }
  panel->dir = rootText + "/many";
  panel->reload();
  EXPECT_EQ(panel->visible.size(), 801u);
  EXPECT_EQ(panel->truncated, 0);

  panel->dir = rootText + "/missing";
  panel->reload();
  EXPECT_EQ(names(panel->visible), "..");
  EXPECT_EQ(panel->unreadable, 1);
  EXPECT_EQ(panel->dirText(), rootText + "/missing (cannot be read)");
}

}  // namespace
}  // namespace quorl::test
