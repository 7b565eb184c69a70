#include "tools/vxhost/file_access.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace vxhost {

namespace {

std::string Folder(const std::string &path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

std::string Mode(mode_t mode) {
  char text[8];
  std::snprintf(text, sizeof text, "%04o", static_cast<unsigned>(mode & 07777));
  return text;
}

}  // namespace

std::string FollowLinks(const std::string &path, std::string *error) {
  std::string current = path;
  // As many links as the kernel follows before it calls it a loop.
  for (int hops = 0; hops < 40; ++hops) {
    struct stat info;
    if (lstat(current.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return current;
    std::vector<char> target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 255) + 1);
    const ssize_t length = readlink(current.c_str(), target.data(), target.size());
    if (length < 0 || static_cast<std::size_t>(length) >= target.size()) {
      *error = "cannot read the symbolic link " + current + ": " + std::strerror(length < 0 ? errno : EOVERFLOW);
      return std::string();
    }
    const std::string next(target.data(), static_cast<std::size_t>(length));
    current = next[0] == '/' ? next : Folder(current) + "/" + next;
  }
  *error = "the symbolic link " + path + " leads round in a loop";
  return std::string();
}

bool MayReplace(const std::string &path, std::string *error) {
  struct stat info;
  if (stat(path.c_str(), &info) == 0) {
    if (!S_ISREG(info.st_mode)) {
      *error = path + " is not a regular file";
      return false;
    }
    if ((info.st_mode & 0222) == 0) {
      *error = path + " is read-only (mode " + Mode(info.st_mode) + ")";
      return false;
    }
    if (access(path.c_str(), W_OK) != 0) {
      *error = "cannot write " + path + ": " + std::strerror(errno);
      return false;
    }
  } else if (errno != ENOENT) {
    *error = "cannot reach " + path + ": " + std::strerror(errno);
    return false;
  }
  // The new copy is made beside the file and renamed over it.
  const std::string folder = Folder(path);
  if (access(folder.c_str(), W_OK | X_OK) != 0 && errno != ENOENT) {
    *error = "cannot replace " + path + ": its folder " + folder + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

FileLock::~FileLock() {
  if (fd_ >= 0) close(fd_);  // also lets go of the lock
}

bool FileLock::Open(const std::string &path, std::string *error) {
  lockPath_ = path + ".lock";
  fd_ = open(lockPath_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  // Someone else's lock file may be read-only to us; a lock needs no more.
  if (fd_ < 0 && errno == EACCES) fd_ = open(lockPath_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) {
    *error = "cannot open the lock file " + lockPath_ + ": " + std::strerror(errno);
    return false;
  }
  return true;
}

bool FileLock::Lock(std::string *error) {
  if (locked_) return true;
  int status;
  while ((status = flock(fd_, LOCK_EX)) != 0 && errno == EINTR) {
  }
  if (status != 0) {
    *error = "cannot lock " + lockPath_ + ": " + std::strerror(errno);
    return false;
  }
  locked_ = true;
  return true;
}

void FileLock::Unlock() {
  if (!locked_) return;
  flock(fd_, LOCK_UN);
  locked_ = false;
}

}  // namespace vxhost
