// String path operations: both separators, drive letters, the root.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "foundation/Array.h"
#include "foundation/Files.h"
#include "foundation/String.h"

namespace quorl {
namespace {

Ref<String> S(std::string_view text) { return String::withBytes(text.data(), static_cast<uint32_t>(text.size())); }
std::string str(const Ref<String>& s) { return std::string(s->view()); }
std::vector<std::string> strs(const Ref<Array>& a) {
  std::vector<std::string> out;
  for (uint32_t i = 0; i < a->count(); i++) out.push_back(str(cast<String>(a->get(i))));
  return out;
}

struct PathCase {
  const char* path;
  const char* result;
};

TEST(StringPathTest, ComponentBounds) {
  struct Case {
    const char* path;
    uint32_t end, start;
  } cases[] = {
      {"", 0, 0}, {"/", 0, 0}, {"\\\\", 0, 0}, {"a", 1, 0}, {"a/b/", 3, 2}, {"a\\bc", 4, 2}, {"C:\\", 2, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(S(c.path)->_lastComponentEnd(), c.end) << c.path;
    EXPECT_EQ(S(c.path)->_lastComponentStart(c.end), c.start) << c.path;
  }
  // An end just after a separator starts there.
  EXPECT_EQ(S("a/b")->_lastComponentStart(2), 2u);
  EXPECT_EQ(S("a/b")->_lastComponentStart(0), 0u);
}

TEST(StringPathTest, IsAbsolutePath) {
  struct Case {
    const char* path;
    bool absolute;
  } cases[] = {
      {"", false},    {"/", true},      {"\\x", true}, {"/a/b", true}, {"C:/x", true}, {"C:\\", true},
      {"C:", false},  {"C:x", false},   {"a/b", false}, {"x:\\", true}, {"ab:/", false}, {"..", false},
  };
  for (const Case& c : cases) EXPECT_EQ(S(c.path)->isAbsolutePath(), c.absolute) << c.path;
}

TEST(StringPathTest, LastPathComponent) {
  const PathCase cases[] = {
      {"a/b/", "b"}, {"/", "/"},   {"\\\\", "/"},       {"C:\\", "C:"},       {"", ""},
      {"name", "name"}, {"a\\b", "b"}, {"/x//y//", "y"}, {"C:\\dir\\f.txt", "f.txt"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(str(S(c.path)->lastPathComponent()), c.result) << c.path;
}

// A file's name as a platform separates a path's parts: where only '/'
// separates, a '\' is part of the name. Files::nameOf takes this platform's
// rule.
TEST(StringPathTest, FileNameByThePlatformsRule) {
  const struct {
    const char* path;
    const char* posix;
    const char* windows;
  } cases[] = {
      {"my\\results.json", "my\\results.json", "results.json"},
      {"a/b\\", "b\\", "b"},
      {"\\", "\\", "/"},
      {"a\\/", "a\\", "a"},
      {"", "", ""},
      {"C:\\dir\\f.txt", "C:\\dir\\f.txt", "f.txt"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(str(S(c.path)->lastPathComponent(false)), c.posix) << c.path;
    EXPECT_EQ(str(S(c.path)->lastPathComponent(true)), c.windows) << c.path;
#ifdef _WIN32
    EXPECT_EQ(str(Files::nameOf(S(c.path))), c.windows) << c.path;
#else
    EXPECT_EQ(str(Files::nameOf(S(c.path))), c.posix) << c.path;
#endif
  }
  EXPECT_EQ(Files::nameOf(nullptr), nullptr);
}

TEST(StringPathTest, DeletingLastPathComponent) {
  const PathCase cases[] = {
      {"a/b", "a"},   {"a//b/", "a"}, {"/a", "/"},  {"C:\\a", "C:"}, {"C:\\", ""},     {"", ""},
      {"/", "/"},     {"\\\\", "/"},  {"a", ""},    {"a/b/c", "a/b"}, {"\\a\\b", "\\a"}, {"//a", "/"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(str(S(c.path)->deletingLastPathComponent()), c.result) << c.path;
}

TEST(StringPathTest, PathExtension) {
  const PathCase cases[] = {
      {".profile", ""}, {"name.", ""},   {"/..", ""},          {"a.b/", "b"},   {"dir.x/file", ""},
      {"a.tar.gz", "gz"}, {"", ""},      {"C:\\x\\y.TXT", "TXT"}, {"a\\b.c\\", "c"}, {"x.", ""},
  };
  for (const PathCase& c : cases) EXPECT_EQ(str(S(c.path)->pathExtension()), c.result) << c.path;
  EXPECT_EQ(S("a.tar.gz")->_extensionDot(), 5u);
  EXPECT_EQ(S(".profile")->_extensionDot(), kNotFound);
  EXPECT_EQ(S("/")->_extensionDot(), kNotFound);
}

TEST(StringPathTest, DeletingPathExtension) {
  const PathCase cases[] = {
      {"a.txt/", "a"}, {".profile", ".profile"}, {"a.tar.gz", "a.tar"}, {"dir/f.c", "dir/f"},
      {"noext", "noext"}, {"dir.x/file/", "dir.x/file/"}, {"", ""},
  };
  for (const PathCase& c : cases) EXPECT_EQ(str(S(c.path)->deletingPathExtension()), c.result) << c.path;
}

TEST(StringPathTest, AppendingPathComponent) {
  struct Case {
    const char* path;
    const char* component;  // nullptr: null argument
    const char* result;
  } cases[] = {
      {"a", "b", "a/b"},   {"a\\", "\\b\\", "a/b"}, {"/", "b", "/b"},   {"", "b", "b"},
      {"C:\\", "x", "C:/x"}, {"a", "", "a"},        {"a/", nullptr, "a"}, {"/", "", "/"},
      {"", "", ""},        {"", "/", ""},           {"\\\\", "//", "/"}, {"a/b", "c/d", "a/b/c/d"},
      {"", "\\x", "x"},
  };
  for (const Case& c : cases) {
    Ref<String> comp = c.component ? String::withCString(c.component) : nullptr;
    EXPECT_EQ(str(S(c.path)->appendingPathComponent(comp)), c.result) << c.path << " + " << (c.component ? c.component : "null");
  }
}

TEST(StringPathTest, AppendingPathExtension) {
  struct Case {
    const char* path;
    const char* extension;
    const char* result;
  } cases[] = {
      {"/", "txt", ".txt"}, {"a", "txt", "a.txt"}, {"dir/a/", "c", "dir/a.c"}, {"a\\\\", nullptr, "a"},
      {"a/", "", "a"},      {"", "x", ".x"},
  };
  for (const Case& c : cases) {
    Ref<String> ext = c.extension ? String::withCString(c.extension) : nullptr;
    EXPECT_EQ(str(S(c.path)->appendingPathExtension(ext)), c.result) << c.path;
  }
}

TEST(StringPathTest, PathComponents) {
  struct Case {
    const char* path;
    std::vector<std::string> components;
  } cases[] = {
      {"/a//b/", {"/", "a", "b"}},
      {"//", {"/"}},
      {"", {}},
      {"a\\b", {"a", "b"}},
      {"C:\\x\\y", {"C:", "x", "y"}},
      {"\\\\host\\share", {"/", "host", "share"}},
  };
  for (const Case& c : cases) EXPECT_EQ(strs(S(c.path)->pathComponents()), c.components) << c.path;
}

TEST(StringPathTest, PathWithComponents) {
  EXPECT_EQ(str(String::pathWithComponents(nullptr)), "");
  Ref<Array> a = make<Array>();
  EXPECT_EQ(str(String::pathWithComponents(a)), "");
  a->add(S("\\\\"));
  a->add(make<Object>());  // not a String: skipped
  a->add(S("x"));
  a->add(nullptr);
  a->add(S("y/"));
  EXPECT_EQ(str(String::pathWithComponents(a)), "/x/y");
  Ref<Array> b = make<Array>();
  b->add(S("C:"));
  b->add(S("dir"));
  EXPECT_EQ(str(String::pathWithComponents(b)), "C:/dir");
  // A root entry later on is joined like any other component.
  Ref<Array> c = make<Array>();
  c->add(S("a"));
  c->add(S("/"));
  c->add(S("b"));
  EXPECT_EQ(str(String::pathWithComponents(c)), "a/b");
}

TEST(StringPathTest, NormalizedPath) {
  const PathCase cases[] = {
      {"/a/../../b", "/b"},  {"a/..", ""},         {"../x/..", ".."},   {"../..", "../.."},
      {"C:\\a\\..", "C:"},   {"\\\\host\\share", "/host/share"},        {"/..", "/"},
      {".", ""},             {"C:\\x\\y", "C:/x/y"}, {"a/./b/", "a/b"},   {"C:\\..\\..", "C:"},
      {"a/b/../../..", ".."}, {"/", "/"},         {"", ""},             {"./a", "a"},
      {"a/../../b", "../b"},
  };
  for (const PathCase& c : cases) EXPECT_EQ(str(S(c.path)->normalizedPath()), c.result) << c.path;
}

}  // namespace
}  // namespace quorl
