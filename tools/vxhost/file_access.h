// What vxhost needs from its registry file (linux) before it may replace
// it: where a symbolic link leads, whether the file may be written, and an
// exclusive lock that outlives the file's atomic replacements.
#ifndef VANTORIX_TOOLS_VXHOST_FILE_ACCESS_H
#define VANTORIX_TOOLS_VXHOST_FILE_ACCESS_H

#include <string>

namespace vxhost {

// The file that path names once every symbolic link on the way (the file's
// own, and the links that it leads to) is followed; a relative link is read
// from its own folder.  A link to a file that does not exist yet gives that
// file.  Empty (with *error set) for a loop of links.
std::string FollowLinks(const std::string &path, std::string *error);

// Whether vxhost may replace the file at path (links already followed) by
// a new copy: the file, when it exists, is a regular file that someone may
// write and that this user may write, and its folder, when it exists, lets
// this user add and rename files.  A file whose mode lets nobody write it
// is refused even for the superuser: it is protected on purpose.
bool MayReplace(const std::string &path, std::string *error);

// An exclusive lock on "FILE.lock" beside the file, which the file's atomic
// replacement never touches.  The lock file stays when the lock is let go:
// removing it would let two processes lock two different files.
class FileLock {
 public:
  FileLock() = default;
  FileLock(const FileLock &) = delete;
  FileLock &operator=(const FileLock &) = delete;
  ~FileLock();

  // Opens (or creates) the lock file of path; no lock is taken yet.
  bool Open(const std::string &path, std::string *error);
  // Waits until this process alone holds the lock.
  bool Lock(std::string *error);
  void Unlock();

 private:
  std::string lockPath_;
  int fd_ = -1;
  bool locked_ = false;
};

}  // namespace vxhost

#endif
