// Files and Math: whole-file reading, existence, the length limit and abs.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>

#include "foundation/Data.h"
#include "foundation/Files.h"
#include "foundation/Math.h"
#include "foundation/String.h"

namespace quorl {
namespace fs = std::filesystem;

namespace {

// A fresh folder under the system's temporary folder, removed afterwards.
class FilesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / (std::string("quorl-files-") + info->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  // Writes `bytes` to the file `name` (UTF-8) in the folder; answers its
  // path as a UTF-8 String.
  Ref<String> file(const std::string& name, const std::string& bytes) {
    const fs::path p = dir_ / fs::path(std::u8string(name.begin(), name.end()));
    std::ofstream out(p, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return pathString(p);
  }
  static Ref<String> pathString(const fs::path& p) {
    const std::u8string text = p.u8string();
    return String::withBytes(text.data(), static_cast<uint32_t>(text.size()));
  }

  fs::path dir_;
};

std::string bytesOf(const Ref<Data>& d) { return std::string(reinterpret_cast<const char*>(d->bytes()), d->length()); }

TEST_F(FilesTest, ReadsEveryByteAsItIs) {
  const std::string bytes = std::string("line\r\n\0\xEF\xBB\xBF\xC3\x28 end", 16);
  Ref<String> path = file("raw.bin", bytes);
  Ref<Data> data = Files::readData(path);
  ASSERT_TRUE(data);
  EXPECT_EQ(bytesOf(data), bytes);
  EXPECT_EQ(data->capacity(), data->length()) << "a Data of exactly the bytes read";
  Ref<String> text = Files::readText(path);
  ASSERT_TRUE(text);
  EXPECT_EQ(std::string(text->view()), bytes) << "no UTF-8 check, no mark removal, no line-end change";
}

TEST_F(FilesTest, EmptyFileGivesEmptyValuesNotNull) {
  Ref<String> path = file("empty.json", "");
  Ref<Data> data = Files::readData(path);
  ASSERT_TRUE(data);
  EXPECT_EQ(data->length(), 0u);
  Ref<String> text = Files::readText(path);
  ASSERT_TRUE(text);
  EXPECT_TRUE(text->isEmpty());
}

TEST_F(FilesTest, LargerFilesAreReadWhole) {
  std::string bytes;
  for (int i = 0; i < 300000; ++i) bytes += static_cast<char>('a' + i % 26);
  Ref<Data> data = Files::readData(file("big.txt", bytes));
  ASSERT_TRUE(data);
  EXPECT_EQ(data->length(), bytes.size());
  EXPECT_EQ(bytesOf(data), bytes);
}

TEST_F(FilesTest, MissingFilesAndNullPaths) {
  // A name nothing has, also under a folder that is not there, and under a
  // regular file, which no name can be under.
  file("a.json", "{}");
  for (const fs::path& name : {fs::path("missing.json"), fs::path("none") / "missing.json", fs::path("a.json") / "x.json"}) {
    Ref<String> missing = pathString(dir_ / name);
    EXPECT_FALSE(Files::readData(missing)) << name;
    FileFailure failure = FileFailure::none;
    EXPECT_FALSE(Files::readText(missing, Files::kMaxLength, &failure)) << name;
    EXPECT_EQ(failure, FileFailure::missing) << name;
    EXPECT_FALSE(Files::exists(missing)) << name;
  }
  EXPECT_FALSE(Files::readData(nullptr));
  EXPECT_FALSE(Files::readText(nullptr));
  EXPECT_FALSE(Files::exists(nullptr));
}

TEST_F(FilesTest, FoldersExistButAreNotRead) {
  Ref<String> folder = pathString(dir_);
  EXPECT_TRUE(Files::exists(folder));
  EXPECT_FALSE(Files::readData(folder));
  FileFailure failure = FileFailure::none;
  EXPECT_FALSE(Files::readText(folder, Files::kMaxLength, &failure));
  EXPECT_EQ(failure, FileFailure::folder);
}

TEST_F(FilesTest, NamesOutsideAsciiOpen) {
  const std::string name = "donn\xC3\xA9" "es-\xE6\x97\xA5\xE6\x9C\xAC-\xF0\x9F\x98\x80.json";
  Ref<String> path = file(name, "{\"ok\":true}");
  ASSERT_TRUE(fs::exists(dir_ / fs::path(std::u8string(name.begin(), name.end()))));
  EXPECT_TRUE(Files::exists(path));
  Ref<String> text = Files::readText(path);
  ASSERT_TRUE(text);
  EXPECT_EQ(std::string(text->view()), "{\"ok\":true}");
  // Backslashes and slashes both separate on Windows; the path goes through
  // unchanged either way.
  Ref<String> folder = pathString(dir_);
  folder->appendCString("/");
  folder->appendCString(name.c_str());
  EXPECT_TRUE(Files::exists(folder));
}

TEST_F(FilesTest, ThePathEndsAtItsFirstNul) {
  Ref<String> path = file("cut.txt", "cut");
  Ref<String> longer = String::withBytes(path->_bytesAt(0), path->byteLength());
  longer->appendBytes("\0.ignored", 9);
  EXPECT_TRUE(Files::exists(longer));
  ASSERT_TRUE(Files::readText(longer));
  EXPECT_EQ(std::string(Files::readText(longer)->view()), "cut");
}

TEST_F(FilesTest, MoreBytesThanTheLimitGiveNothing) {
  Ref<String> path = file("limit.bin", std::string(5000, 'z'));
  EXPECT_FALSE(Files::_readData(path, 4999));
  FileFailure failure = FileFailure::none;
  EXPECT_FALSE(Files::readText(path, 4999, &failure));
  EXPECT_EQ(failure, FileFailure::tooLarge);
  ASSERT_TRUE(Files::readText(path, 5000, &failure));
  EXPECT_EQ(failure, FileFailure::none);
  Ref<Data> exact = Files::_readData(path, 5000);
  ASSERT_TRUE(exact);
  EXPECT_EQ(exact->length(), 5000u);
  EXPECT_EQ(Files::kMaxLength, 0xFFFFFFFFull);
}

TEST(MathTest, Abs) {
  EXPECT_EQ(Math::abs(-2.5), 2.5);
  EXPECT_EQ(Math::abs(3.0), 3.0);
  EXPECT_EQ(std::bit_cast<uint64_t>(Math::abs(-0.0)), std::bit_cast<uint64_t>(-0.0)) << "-0.0 stays -0.0";
  EXPECT_EQ(Math::abs(-std::numeric_limits<double>::infinity()), std::numeric_limits<double>::infinity());
  EXPECT_EQ(Math::abs(-std::numeric_limits<double>::denorm_min()), std::numeric_limits<double>::denorm_min());
  const double negativeNaN = std::bit_cast<double>(0xFFF8000000000001ull);
  EXPECT_EQ(std::bit_cast<uint64_t>(Math::abs(negativeNaN)), 0xFFF8000000000001ull) << "NaN comes back unchanged";
}

}  // namespace
}  // namespace quorl
