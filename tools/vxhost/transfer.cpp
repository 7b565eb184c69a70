#include "tools/vxhost/transfer.h"

#include <cstdio>
#include <vector>

#include "tools/regfile/file_io.h"
#include "tools/regfile/regfile.h"
#include "tools/regfile/registry_io.h"
#include "tools/vxhost/console.h"

namespace vxhost {

bool ExportTo(const Options &options, std::string *error) {
  regfile::Document document;
  std::string bytes;
  std::vector<std::string> skipped;
  const bool read = regfile::Export(options.exportKey, &document, &skipped, error);
  for (const std::string &why : skipped) Say("left out: " + why);
  const bool toStdout = options.exportFile == "-";
  const regfile::Format format = options.regedit4 ? regfile::Format::Regedit4
                                 : toStdout       ? regfile::Format::UnicodeUtf8
                                                  : regfile::Format::Unicode;
  if (!read || !regfile::Write(document, format, &bytes, error)) return false;
  if (toStdout) {
    // UTF-8 text goes to a Windows console as text; REGEDIT4 as its bytes.
    Write(stdout, bytes, format == regfile::Format::Regedit4);
    fflush(stdout);
  } else if (!regfile::SaveAtomically(options.exportFile, bytes, error)) {
    return false;
  }
  if (skipped.empty()) return true;
  *error = "the export is incomplete: it holds everything but what is named above as left out";
  return false;
}

bool ImportFrom(const std::string &file, std::string *error) {
  std::string bytes;
  bool exists = false;
  if (!regfile::ReadWholeFile(file, &bytes, &exists, error)) return false;
  if (!exists) {
    *error = "cannot read " + file + ": no such file";
    return false;
  }
  regfile::Document document;
  std::string warning;
  if (!regfile::Parse(bytes, &document, error, &warning)) {
    *error = file + ", " + *error;
    return false;
  }
  if (!warning.empty()) Say(file + ", " + warning);
  if (!regfile::Import(document, error)) {
    *error = file + ": " + *error;
    return false;
  }
  return true;
}

}  // namespace vxhost
