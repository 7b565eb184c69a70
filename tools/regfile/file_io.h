// Whole-file reads and atomic saves.
#ifndef VANTORIX_TOOLS_REGFILE_FILE_IO_H
#define VANTORIX_TOOLS_REGFILE_FILE_IO_H

#include <string>

namespace regfile {

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
