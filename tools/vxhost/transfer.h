// --import and --export: registry editor files into and out of the
// registry that vxhost works on.
#ifndef VANTORIX_TOOLS_VXHOST_TRANSFER_H
#define VANTORIX_TOOLS_VXHOST_TRANSFER_H

#include <string>

#include "tools/vxhost/options.h"

namespace vxhost {

// Applies the file; false, with *error naming the file, when it cannot be
// read or parsed (nothing of it is applied) or its import failed.
bool ImportFrom(const std::string &file, std::string *error);

// Writes options.exportKey (or the whole registry) to options.exportFile
// ("-": standard output, in UTF-8) in the format asked for.  Writes what it
// could read even when it left something out; that, named on standard
// error, still fails the export.
bool ExportTo(const Options &options, std::string *error);

}  // namespace vxhost

#endif
