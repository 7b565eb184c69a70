// Whole-file reads and atomic saves.
#ifndef VANTORIX_TOOLS_REGFILE_FILE_IO_H
#define VANTORIX_TOOLS_REGFILE_FILE_IO_H

#include <cstddef>
#include <cstdio>
#include <string>

namespace regfile {

// A file read a piece at a time.
class FileReader {
 public:
  FileReader() = default;
  FileReader(const FileReader &) = delete;
  FileReader &operator=(const FileReader &) = delete;
  ~FileReader();

  // How much the readers of a file take at a time.
  static constexpr std::size_t kPiece = 65536;

  // Opens the file.  A file that does not exist is not an error: *exists
  // is then false, and it reads as no bytes.
  bool Open(const std::string &path, bool *exists, std::string *error);
  // Appends up to `most` more bytes to *bytes, fewer only at the end of
  // the file.  False on a read error, with *error set; Failed() then tells.
  bool Read(std::size_t most, std::string *bytes, std::string *error);
  // Appends the rest of the file to *bytes.
  bool ReadRest(std::string *bytes, std::string *error);
  bool AtEnd() const { return atEnd_; }
  bool Failed() const { return failed_; }

 private:
  std::FILE *file_ = nullptr;
  std::string path_;
  std::size_t size_ = 0;  // as the file was opened: room to reserve
  bool atEnd_ = true;
  bool failed_ = false;
};

// Reads the whole file.  A file that does not exist is not an error:
// *exists is then false and *bytes empty.
bool ReadWholeFile(const std::string &path, std::string *bytes, bool *exists, std::string *error);

// Replaces the file at path with bytes so that a reader sees either the old
// file or the whole new one, never a part: the bytes go to a temporary file
// in the same folder, are flushed to the disk, and the temporary file is
// then renamed over path.  On failure the temporary file is removed and the
// old file stays as it was.
bool SaveAtomically(const std::string &path, const std::string &bytes, std::string *error);

// Creates the folder that holds path, and every missing folder above it.
bool MakeParentFolders(const std::string &path, std::string *error);

}  // namespace regfile

#endif
