#include "tools/regfile/file_io.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sys/stat.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace regfile {

namespace {

#ifdef _WIN32
std::string LastErrorText() { return "error " + std::to_string(GetLastError()); }
#else
std::string LastErrorText() { return std::strerror(errno); }
#endif

std::string Folder(const std::string &path) {
  const std::size_t slash = path.find_last_of("/\\");
  return slash == std::string::npos ? std::string(".") : path.substr(0, slash == 0 ? 1 : slash);
}

}  // namespace

FileReader::~FileReader() {
  if (file_ != nullptr) std::fclose(file_);
}

bool FileReader::Open(const std::string &path, bool *exists, std::string *error) {
  path_ = path;
  *exists = false;
  file_ = std::fopen(path.c_str(), "rb");
  if (file_ == nullptr) {
    if (errno == ENOENT) return true;
    *error = "cannot read " + path + ": " + std::strerror(errno);
    return false;
  }
  *exists = true;
  atEnd_ = false;
  // The size of a regular file only: a folder opens on some systems, and
  // tells a size that no string can hold (its reads then fail).
  struct stat info;
  if (fstat(fileno(file_), &info) == 0 && S_ISREG(info.st_mode) && info.st_size > 0) {
    size_ = static_cast<std::size_t>(info.st_size);
  }
  return true;
}

bool FileReader::Read(std::size_t most, std::string *bytes, std::string *error) {
  if (atEnd_) return !failed_;
  const std::size_t before = bytes->size();
  bytes->resize(before + most);
  const std::size_t got = std::fread(&(*bytes)[before], 1, most, file_);
  bytes->resize(before + got);
  if (got == most) return true;
  atEnd_ = true;
  failed_ = std::ferror(file_) != 0;
  if (failed_) *error = "cannot read " + path_;
  return !failed_;
}

bool FileReader::ReadRest(std::string *bytes, std::string *error) {
  // In one piece where the size is known, so that the bytes are held once,
  // without the copies of a growing string.
  bytes->reserve(bytes->size() + size_);
  while (!atEnd_) {
    if (!Read(kPiece, bytes, error)) return false;
  }
  return true;
}

bool ReadWholeFile(const std::string &path, std::string *bytes, bool *exists, std::string *error) {
  bytes->clear();
  FileReader file;
  return file.Open(path, exists, error) && file.ReadRest(bytes, error);
}

#ifdef _WIN32

bool SaveAtomically(const std::string &path, const std::string &bytes, std::string *error) {
  std::string temporary;
  HANDLE file = INVALID_HANDLE_VALUE;
  for (unsigned attempt = 0; attempt < 100 && file == INVALID_HANDLE_VALUE; ++attempt) {
    temporary = path + ".tmp" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(attempt);
    file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    *error = "cannot create a temporary file beside " + path + ": " + LastErrorText();
    return false;
  }
  DWORD written = 0;
  bool ok = bytes.empty() || (WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
                              written == bytes.size());
  ok = ok && FlushFileBuffers(file);
  std::string why = ok ? std::string() : LastErrorText();
  CloseHandle(file);
  if (ok && !MoveFileExA(temporary.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    ok = false;
    why = LastErrorText();
  }
  if (!ok) {
    DeleteFileA(temporary.c_str());
    *error = "cannot save " + path + ": " + why;
  }
  return ok;
}

bool MakeParentFolders(const std::string &path, std::string *error) {
  const std::string folder = Folder(path);
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/' || folder[i] == '\\') {
      const std::string part = folder.substr(0, i);
      if (part.size() == 2 && part[1] == ':') continue;  // a drive
      if (!CreateDirectoryA(part.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
        *error = "cannot create the folder " + part + ": " + LastErrorText();
        return false;
      }
    }
  }
  return true;
}

#else

bool SaveAtomically(const std::string &path, const std::string &bytes, std::string *error) {
  std::string name = path + ".XXXXXX";
  const int fd = mkstemp(&name[0]);
  if (fd < 0) {
    *error = "cannot create a temporary file beside " + path + ": " + LastErrorText();
    return false;
  }
  // Keep the permissions of the file being replaced; a new file gets the
  // usual ones (mkstemp makes it private).
  struct stat old;
  if (stat(path.c_str(), &old) == 0) {
    fchmod(fd, old.st_mode & 07777);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0666 & ~mask);
  }

  bool ok = true;
  std::size_t done = 0;
  while (ok && done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0)
      ok = false;
    else
      done += static_cast<std::size_t>(n);
  }
  ok = ok && fsync(fd) == 0;
  std::string why = ok ? std::string() : LastErrorText();
  if (close(fd) != 0 && ok) {
    ok = false;
    why = LastErrorText();
  }
  if (ok && rename(name.c_str(), path.c_str()) != 0) {
    ok = false;
    why = LastErrorText();
  }
  if (!ok) {
    unlink(name.c_str());
    *error = "cannot save " + path + ": " + why;
    return false;
  }
  // Make the rename itself durable.
  const int folder = open(Folder(path).c_str(), O_RDONLY | O_DIRECTORY);
  if (folder >= 0) {
    fsync(folder);
    close(folder);
  }
  return true;
}

bool MakeParentFolders(const std::string &path, std::string *error) {
  const std::string folder = Folder(path);
  for (std::size_t i = 1; i <= folder.size(); ++i) {
    if (i == folder.size() || folder[i] == '/') {
      const std::string part = folder.substr(0, i);
      if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) {
        *error = "cannot create the folder " + part + ": " + LastErrorText();
        return false;
      }
    }
  }
  return true;
}

#endif

}  // namespace regfile
