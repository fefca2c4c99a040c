// Links followed one name at a time, as the kernel follows them, so that
// every name on the way (each folder, each link's target) is seen.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/link_target.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

constexpr int kMaxLinks = 40;

// Whether `path` (absolute, without "." or "..") is a process's stream or
// open descriptor: a file renamed there would be swapped under a shell's
// redirection or another program's open file.
bool IsStreamName(const std::string& path) {
  if (path.starts_with("/dev/std") || path == "/dev/fd" || path.starts_with("/dev/fd/")) {
    return true;
  }
  // /proc/PID/fd/N, /proc/PID/task/TID/fd/N and the like.
  return path.starts_with("/proc/") && (path + "/").find("/fd/", 5) != std::string::npos;
}

std::string Join(const std::string& folder, const std::string& name) {
  return folder == "/" ? "/" + name : folder + "/" + name;
}

std::string Parent(const std::string& folder) {
  const size_t cut = folder.find_last_of('/');
  return cut == 0 || cut == std::string::npos ? "/" : folder.substr(0, cut);
}

// Puts the names of `path` on `pending` so that the first comes off first.
void PushNames(const std::string& path, std::vector<std::string>* pending) {
  std::vector<std::string> names;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    if (end > start) names.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  pending->insert(pending->end(), names.rbegin(), names.rend());
}

// The target of `link`, whose lstat gave `size` (0 for the links of /proc).
bool ReadLink(const std::string& link, off_t size, std::string* target) {
  target->assign(std::max<size_t>(static_cast<size_t>(size), PATH_MAX) + 1, '\0');
  const ssize_t n = readlink(link.c_str(), target->data(), target->size());
  if (n < 0 || static_cast<size_t>(n) == target->size()) return false;  // grew meanwhile
  target->resize(static_cast<size_t>(n));
  return true;
}

}  // namespace

LinkTarget FollowLinks(const std::u16string& path) {
  const std::string native = Utf16ToNative(path);
  // Such a name reaches no file; the checks of the name itself say so.
  if (native.empty() || native.find('\0') != std::string::npos) return {path};
  std::string reached = "/";
  if (native[0] != '/') {
    std::vector<char> folder(PATH_MAX + 1);
    if (getcwd(folder.data(), folder.size()) == nullptr) return {path, LinkTrouble::kUnreadable};
    reached = folder.data();
  }
  auto stop = [&reached](LinkTrouble trouble) { return LinkTarget{NativeToUtf16(reached), trouble}; };
  // The name as written, too ("/dev/x/../stdout" reads as /dev/stdout).
  const std::string as_written = native[0] == '/' ? native : Join(reached, native);
  if (IsStreamName(std::filesystem::path(as_written).lexically_normal().native())) {
    return stop(LinkTrouble::kStream);
  }
  std::vector<std::string> pending;
  PushNames(native, &pending);
  int links = 0;
  bool missing = false;  // past a name that does not exist: the rest as written
  while (!pending.empty()) {
    const std::string name = std::move(pending.back());
    pending.pop_back();
    if (name == ".") continue;
    if (name == "..") {
      reached = Parent(reached);
      continue;
    }
    const std::string candidate = Join(reached, name);
    if (IsStreamName(candidate)) {
      reached = candidate;
      return stop(LinkTrouble::kStream);
    }
    struct stat info;
    if (missing || lstat(candidate.c_str(), &info) != 0) {
      if (!missing && errno != ENOENT && errno != ENOTDIR) return stop(LinkTrouble::kUnreadable);
      missing = true;
      reached = candidate;
      continue;
    }
    if (!S_ISLNK(info.st_mode)) {
      reached = candidate;
      continue;
    }
    std::string target;
    if (++links > kMaxLinks) return stop(LinkTrouble::kLoop);
    if (!ReadLink(candidate, info.st_size, &target)) {
      return stop(LinkTrouble::kUnreadable);
    }
    if (target.starts_with('/')) reached = "/";
    PushNames(target, &pending);
  }
  // A trailing separator asks for a folder: kept, so that a file is refused.
  if (native.back() == '/' && reached != "/") reached += '/';
  return {NativeToUtf16(reached)};
}

}  // namespace corvalen
