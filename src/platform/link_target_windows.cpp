// Where the file exists, the system follows its links and junctions and
// names the file at the end (GetFinalPathNameByHandleW); a link whose target
// does not exist yet is read (FSCTL_GET_REPARSE_POINT) and followed by hand.
#include <windows.h>
#include <winioctl.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "platform/file_info.h"
#include "platform/link_target.h"
#include "platform/long_path.h"
#include "platform/wide_chars_windows.h"

namespace corvalen {
namespace {

constexpr int kMaxLinks = 40;

// The start of a symbolic link's or a junction's reparse data (the
// REPARSE_DATA_BUFFER of the driver kit's ntifs.h). A symbolic link's flags
// (4 bytes) follow it; then the names, at offsets counted from there.
struct ReparseHead {
  DWORD tag;
  WORD data_length;
  WORD reserved;
  WORD substitute_offset;  // in bytes
  WORD substitute_length;  // in bytes
  WORD print_offset;
  WORD print_length;
};

HANDLE OpenToLook(const std::u16string& path, DWORD flags) {
  return CreateFileW(Wide(SystemPath(path)), 0,
                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                     FILE_FLAG_BACKUP_SEMANTICS | flags, nullptr);
}

// The name of the open file at the end of its links ("\\?\C:\..."), or empty.
std::u16string FinalPath(HANDLE file) {
  std::u16string path(MAX_PATH, u'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD n = GetFinalPathNameByHandleW(file, Wide(path.data()),
                                              static_cast<DWORD>(path.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return std::u16string();
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(n);  // the size it needs, with the NUL
  }
  return std::u16string();
}

// Where the link or junction `path` points, as the system holds it; false
// when `path` is neither. `relative`: to the link's folder.
bool ReadLinkTarget(const std::u16string& path, std::u16string* target, bool* relative) {
  const HANDLE link = OpenToLook(path, FILE_FLAG_OPEN_REPARSE_POINT);
  if (link == INVALID_HANDLE_VALUE) return false;
  std::vector<char> data(MAXIMUM_REPARSE_DATA_BUFFER_SIZE);
  DWORD size = 0;
  const BOOL ok = DeviceIoControl(link, FSCTL_GET_REPARSE_POINT, nullptr, 0, data.data(),
                                  static_cast<DWORD>(data.size()), &size, nullptr);
  CloseHandle(link);
  ReparseHead head;
  if (!ok || size < sizeof head) return false;
  std::memcpy(&head, data.data(), sizeof head);
  size_t names = sizeof head;
  if (head.tag == IO_REPARSE_TAG_SYMLINK) {
    DWORD flags = 0;
    if (size < names + sizeof flags) return false;
    std::memcpy(&flags, data.data() + names, sizeof flags);
    names += sizeof flags;
    *relative = (flags & SYMLINK_FLAG_RELATIVE) != 0;
  } else if (head.tag == IO_REPARSE_TAG_MOUNT_POINT) {
    *relative = false;
  } else {
    return false;
  }
  const size_t begin = names + head.substitute_offset;
  if (begin + head.substitute_length > size) return false;
  target->assign(head.substitute_length / 2, u'\0');
  std::memcpy(target->data(), data.data() + begin, target->size() * 2);
  // The system's own prefix for absolute names ("\??\C:\x").
  if (target->starts_with(u"\\??\\")) target->replace(0, 4, u"\\\\?\\");
  return true;
}

std::u16string Absolute(const std::u16string& path) {
  std::error_code error;
  const std::filesystem::path absolute =
      std::filesystem::absolute(std::filesystem::path(std::wstring(path.begin(), path.end())), error);
  if (error) return path;
  const std::wstring& wide = absolute.native();
  return std::u16string(wide.begin(), wide.end());
}

}  // namespace

LinkTarget FollowLinks(const std::u16string& path) {
  // Such a name reaches no file (or a device); the checks of the name say so.
  if (path.empty() || path.find(u'\0') != std::u16string::npos || path.starts_with(u"\\\\.\\")) {
    return {path};
  }
  std::u16string current = path;
  for (int links = 0;; ++links) {
    const HANDLE file = OpenToLook(current, 0);
    if (file != INVALID_HANDLE_VALUE) {
      // A device (NUL, CON) is left as named, for the checks of the name
      // (Wine would name the host's device file).
      const std::u16string final_path =
          GetFileType(file) == FILE_TYPE_DISK ? FinalPath(file) : std::u16string();
      CloseHandle(file);
      return {final_path.empty() ? current : final_path};
    }
    std::u16string target;
    bool relative = false;
    if (!ReadLinkTarget(current, &target, &relative)) return {Absolute(current)};
    if (links == kMaxLinks) return {current, LinkTrouble::kLoop};
    current = relative ? JoinPath(ParentFolder(current), target) : target;
  }
}

}  // namespace corvalen
