// A fresh folder under the build tree, removed with everything in it when
// the object goes, whatever the test did meanwhile.
#pragma once

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <system_error>

namespace quorl::test {

class TempDir {
 public:
  std::string path;
  TempDir() {
    static unsigned serial = 0;
    const auto stamp = std::chrono::steady_clock::now().time_since_epoch().count();
    path = std::string(QUORL_BINARY_DIR) + "/test-" + std::to_string(stamp) + "-" + std::to_string(++serial);
    std::filesystem::create_directories(path);
  }
  ~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path, ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  // The path of a name in the folder.
  std::string at(const std::string& name) const { return path + "/" + name; }
  // Writes the bytes to a file of the folder; answers its path.
  std::string write(const std::string& name, const std::string& bytes) const {
    std::string file = at(name);
    if (FILE* f = std::fopen(file.c_str(), "wb")) {
      std::fwrite(bytes.data(), 1, bytes.size(), f);
      std::fclose(f);
    }
    return file;
  }
};

}  // namespace quorl::test
