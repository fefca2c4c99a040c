// A temporary folder for a test, removed with everything in it at the end.
#ifndef CORVALEN_TESTS_FAKES_TEMP_FOLDER_H_
#define CORVALEN_TESTS_FAKES_TEMP_FOLDER_H_

#include <filesystem>
#include <fstream>
#include <random>
#include <stdexcept>
#include <string>

#include "platform/utf.h"

namespace corvalen::testing {

class TempFolder {
 public:
  explicit TempFolder(const std::string& prefix = "corvalen") {
    // A fresh random name (as mkdtemp makes, which Windows lacks): creating
    // a folder that already exists fails, so no two tests share one.
    std::random_device random;
    for (int attempt = 0; path_.empty(); ++attempt) {
      const std::filesystem::path candidate =
          std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(random()));
      if (std::filesystem::create_directory(candidate)) {
        path_ = candidate;
      } else if (attempt == 100) {
        throw std::runtime_error("cannot make " + candidate.string());
      }
    }
  }
  ~TempFolder() {
    std::error_code ec;
    // A test may have locked the folder to make it unreadable.
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ec);
    std::filesystem::remove_all(path_, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& path() const { return path_; }
  // The folder, or a name in it, as the program's strings hold paths.
  std::u16string Utf16(const std::string& name = "") const {
    return Utf8ToUtf16((name.empty() ? path_ : path_ / name).string());
  }
  // Writes a file with exactly these bytes; returns its path.
  std::filesystem::path Write(const std::string& name, const std::string& bytes) const {
    std::ofstream(path_ / name, std::ios::binary) << bytes;
    return path_ / name;
  }

 private:
  std::filesystem::path path_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_FAKES_TEMP_FOLDER_H_
