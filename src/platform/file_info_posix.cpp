// File kinds through stat(2); path arithmetic through std::filesystem on the
// names' bytes, exactly as the system holds them.
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <string>

#include "platform/file_info.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

std::filesystem::path Native(const std::u16string& path) {
  return std::filesystem::path(Utf16ToNative(path));
}

}  // namespace

FileKind KindOfFile(const std::u16string& path) {
  const std::string native = Utf16ToNative(path);
  if (native.empty() || native.find('\0') != std::string::npos) return FileKind::kUnknown;
  struct stat info;
  if (stat(native.c_str(), &info) != 0) {
    return errno == ENOENT || errno == ENOTDIR ? FileKind::kMissing : FileKind::kUnknown;
  }
  if (S_ISREG(info.st_mode)) return FileKind::kFile;
  if (S_ISDIR(info.st_mode)) return FileKind::kFolder;
  return FileKind::kOther;
}

bool SameFile(const std::u16string& a, const std::u16string& b) {
  struct stat first, second;
  return stat(Utf16ToNative(a).c_str(), &first) == 0 &&
         stat(Utf16ToNative(b).c_str(), &second) == 0 && first.st_dev == second.st_dev &&
         first.st_ino == second.st_ino;
}

bool SameNameInSameFolder(const std::u16string& a, const std::u16string& b) {
  const std::filesystem::path first = Native(a), second = Native(b);
  const std::string name = first.filename().native();
  if (name.empty() || name == "." || name == ".." || name != second.filename().native()) {
    return false;
  }
  auto folder = [](const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path().native() : std::string(".");
  };
  struct stat one, other;
  return stat(folder(first).c_str(), &one) == 0 && stat(folder(second).c_str(), &other) == 0 &&
         S_ISDIR(one.st_mode) && one.st_dev == other.st_dev && one.st_ino == other.st_ino;
}

bool IsRelativePath(const std::u16string& path) { return Native(path).is_relative(); }

std::u16string ParentFolder(const std::u16string& path) {
  return NativeToUtf16(Native(path).parent_path().native());
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  return NativeToUtf16((Native(folder) / Native(name)).native());
}

}  // namespace corvalen
