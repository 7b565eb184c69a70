// What the checks of the built libraries read from a PE image beyond what
// the loader needs: the exported names, the imported libraries, the string
// tables' text and the version resource.
#ifndef VANTORIX_TESTS_SUPPORT_IMAGE_CONTENTS_H
#define VANTORIX_TESTS_SUPPORT_IMAGE_CONTENTS_H

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "pe/image.h"

namespace vxtest {

// The names in the export directory's name table, in its order.
std::vector<std::string> ExportNames(const pe::Image &image);

// The library names of the import directory, as the file spells them.
std::vector<std::string> ImportedLibraries(const pe::Image &image);

// The 16 strings of one string-table block as UTF-8; an absent string is
// empty.  False if the block is malformed or a string is not UTF-16.
bool StringBlockTexts(const std::string &block, std::vector<std::string> *utf8);

// A version resource, as far as the checks read it.
struct VersionInfo {
  pe::FixedFileInfo fixed{};
  // The string tables of StringFileInfo, by key ("040904e4"), each with its
  // keys and values in the file's order.
  std::vector<std::pair<std::string, std::vector<std::pair<std::string, std::string>>>> stringTables;
  // The words of VarFileInfo's Translation value.
  std::vector<uint16_t> translation;
};

// Parses the bytes of a version resource; false, with the reason, if they
// are malformed.
bool ParseVersionInfo(const std::string &bytes, VersionInfo *info, std::string *error);

}  // namespace vxtest

#endif
