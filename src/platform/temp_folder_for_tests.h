// Test helper: a fresh folder under the test temp dir holding real files, folders and links,
// removed with everything in it when the helper goes. Its path is fully resolved and ends in '/',
// so tests can compare it with resolved link targets.
#pragma once

#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>

#include <gtest/gtest.h>

namespace vidoria {

class TempFolder {
 public:
  TempFolder() {
    std::string pattern = ::testing::TempDir() + "vidoria_test.XXXXXX";
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    std::unique_ptr<char, void (*)(void*)> real(::realpath(pattern.c_str(), nullptr), ::free);
    path_ = std::string(real.get()) + "/";
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;
  ~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }

  const std::string& Path() const { return path_; }
  std::string Path(const std::string& relative) const { return path_ + relative; }

  // Writes the bytes to a file, creating its folders; returns the full path.
  std::string Write(const std::string& relative, const std::string& bytes = "") const {
    const std::filesystem::path full = path_ + relative;
    std::filesystem::create_directories(full.parent_path());
    std::ofstream(full, std::ios::binary) << bytes;
    return full.string();
  }
  std::string MakeFolder(const std::string& relative) const {
    std::filesystem::create_directories(path_ + relative);
    return path_ + relative + "/";
  }
  // A symbolic link at `relative` holding `target` as given (relative targets stay relative).
  std::string Link(const std::string& target, const std::string& relative) const {
    const std::string full = path_ + relative;
    std::filesystem::create_directories(std::filesystem::path(full).parent_path());
    if (::symlink(target.c_str(), full.c_str()) != 0) throw std::runtime_error("symlink failed");
    return full;
  }

  static std::string Read(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  // Every name in the folder itself, so a test sees stray temporary or .bad files.
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(path_)) {
      names.insert(entry.path().filename().string());
    }
    return names;
  }
  bool Exists(const std::string& relative) const {
    std::error_code ignored;
    return std::filesystem::exists(std::filesystem::symlink_status(path_ + relative, ignored));
  }

 private:
  std::string path_;
};

}  // namespace vidoria
