// The registry's five root keys as the tools name them: the one table of
// their full names, the registry editor's short forms and their predefined
// handles.
#ifndef VANTORIX_TOOLS_REGFILE_ROOTS_H
#define VANTORIX_TOOLS_REGFILE_ROOTS_H

#include <cstddef>
#include <cstdint>
#include <string>

namespace regfile {

struct RootKey {
  const char *name;       // HKEY_CURRENT_USER
  const char *shortName;  // HKCU
  // The predefined handle's 32-bit value; the handle is this value
  // sign-extended to the width of a pointer, as Windows defines it.
  int32_t predefined;
};

// In the order in which an export of the whole registry writes them.
extern const RootKey kRootKeys[5];

// The row whose full or short name is name, compared without regard to
// case as the editor does; null for anything else.
const RootKey *FindRoot(const std::string &name);

// Splits "ROOT\sub\path" into its root key and the rest (which may be
// empty).  False if the root is not one of the five.
bool SplitKeyPath(const std::string &path, const RootKey **root, std::string *subkey);

}  // namespace regfile

#endif
