// File kinds through GetFileAttributesW; path arithmetic through
// std::filesystem on the UTF-16 names (a std::filesystem::path made from a
// narrow string would read it in the C runtime's code page, not as UTF-8).
#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/file_info.h"
#include "platform/long_path.h"
#include "platform/system_error.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

std::filesystem::path FsPath(const std::u16string& path) {
  return std::filesystem::path(std::wstring(path.begin(), path.end()));
}

std::u16string Utf16(const std::filesystem::path& path) {
  const std::wstring& wide = path.native();
  return std::u16string(wide.begin(), wide.end());
}

}  // namespace

FileKind KindOfFile(const std::u16string& path) {
  if (path.empty() || path.find(u'\0') != std::u16string::npos) return FileKind::kUnknown;
  const std::u16string system_path = SystemPath(path);
  const wchar_t* name = reinterpret_cast<const wchar_t*>(system_path.c_str());
  // The device namespace (\\.\PIPE\x, \\.\COM1) holds no files; looking
  // closer could connect to a pipe.
  if (path.starts_with(u"\\\\.\\")) return FileKind::kOther;
  const DWORD attributes = GetFileAttributesW(name);
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const int32_t number = FileErrorNumber(GetLastError());
    return number == kErrFileNotFound || number == kErrPathNotFound ? FileKind::kMissing
                                                                    : FileKind::kUnknown;
  }
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return FileKind::kFolder;
  if ((attributes & FILE_ATTRIBUTE_DEVICE) != 0) return FileKind::kOther;
  // A device name (NUL, CON, COM1) answers as a file: opened without any
  // access (which reads and changes nothing), it tells what it is.
  const HANDLE handle = CreateFileW(name, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return FileKind::kFile;
  const DWORD type = GetFileType(handle);
  CloseHandle(handle);
  return type == FILE_TYPE_DISK ? FileKind::kFile : FileKind::kOther;
}

bool SameFile(const std::u16string& a, const std::u16string& b) {
  // Volume and file index, as the system knows a file whatever its name.
  auto identity = [](const std::u16string& path, BY_HANDLE_FILE_INFORMATION* info) {
    if (path.empty() || path.starts_with(u"\\\\.\\")) return false;
    HANDLE file = CreateFileW(reinterpret_cast<const wchar_t*>(path.c_str()), 0,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    const bool ok = GetFileInformationByHandle(file, info) != 0;
    CloseHandle(file);
    return ok;
  };
  BY_HANDLE_FILE_INFORMATION first, second;
  return identity(a, &first) && identity(b, &second) &&
         first.dwVolumeSerialNumber == second.dwVolumeSerialNumber &&
         first.nFileIndexHigh == second.nFileIndexHigh &&
         first.nFileIndexLow == second.nFileIndexLow;
}

bool SameNameInSameFolder(const std::u16string& a, const std::u16string& b) {
  const std::filesystem::path first = FsPath(a), second = FsPath(b);
  const std::wstring name = first.filename().native(), other_name = second.filename().native();
  if (name.empty() || name == L"." || name == L".." ||
      CompareStringOrdinal(name.c_str(), static_cast<int>(name.size()), other_name.c_str(),
                           static_cast<int>(other_name.size()), TRUE) != CSTR_EQUAL) {
    return false;
  }
  auto folder = [](const std::filesystem::path& path) {
    return path.has_parent_path() ? Utf16(path.parent_path()) : std::u16string(u".");
  };
  return SameFile(folder(first), folder(second));
}

bool IsRelativePath(const std::u16string& path) {
  // Either separator starts a rooted path (Wine also takes "/tmp/x"); a
  // drive letter names a drive.
  if (!path.empty() && (path[0] == u'\\' || path[0] == u'/')) return false;
  return !(path.size() >= 2 && path[1] == u':');
}

std::u16string ParentFolder(const std::u16string& path) {
  return Utf16(FsPath(path).parent_path());
}

std::u16string JoinPath(const std::u16string& folder, const std::u16string& name) {
  return Utf16(FsPath(folder) / FsPath(name));
}

}  // namespace corvalen
