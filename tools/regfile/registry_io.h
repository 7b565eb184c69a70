// Moving .reg documents into and out of the registry: on Windows (and
// wine) through the registry's wide functions, so that names and text keep
// every character; on linux through the stand-in's 8-bit functions, which
// hold Windows-1252 only.
#ifndef VANTORIX_TOOLS_REGFILE_REGISTRY_IO_H
#define VANTORIX_TOOLS_REGFILE_REGISTRY_IO_H

#include <string>
#include <vector>

#include "tools/regfile/file_io.h"
#include "tools/regfile/regfile.h"

namespace regfile {

// Applies the document's sections in order: creates keys and sets values,
// deletes the keys of [-KEY] sections with everything below them and the
// values written "name"=-.  Deleting what is not there is no error.  A
// document that the registry cannot store (on linux: a character that
// Windows-1252 lacks) is refused before anything changes; otherwise stops
// at the first failure and says where.
bool Import(const Document &document, std::string *error);

enum class LoadResult { kLoaded, kUnreadable, kFaultyFile, kNotStored };

// Reads a registry file and applies its sections as they are read, holding
// one section's path and one value at a time rather than the whole file's
// document: for filling an emptied registry from its file.  Says what Parse
// and then Import would say of the same bytes, with the same precedence: a
// fault in the file (kFaultyFile, *error "line N: ...", *warning as Parse
// sets it), else what the registry cannot store, else the first call that
// failed (kNotStored).  Unlike Import it changes the registry before it
// knows: on failure the registry holds part of the file.  Read from a file
// (ReadFile), a file that cannot be read is kUnreadable, before all else.
LoadResult Load(const std::string &bytes, std::string *error, std::string *warning);
LoadResult Load(FileReader *file, std::string *error, std::string *warning);

// Reads the key at path (like HKEY_CURRENT_USER\Software\Demo, in any case,
// with any number of separators) and everything below it, one section per
// key in enumeration order, the key itself first; every path as the
// registry stores it (its case, single separators).  A root key gets a section only when it holds values (the
// roots always exist).  An empty path reads all five roots.  A key below
// that cannot be read (no rights, a key the system makes up) is left out
// with everything below it and named in *skipped, and so is a key or value
// whose name is not Unicode text; only the key asked for must be readable.
bool Export(const std::string &path, Document *document, std::vector<std::string> *skipped, std::string *error);

}  // namespace regfile

#endif
