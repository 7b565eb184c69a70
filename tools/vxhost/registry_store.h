// The linux stand-in's registry kept in a .reg file between runs.
#ifndef VANTORIX_TOOLS_VXHOST_REGISTRY_STORE_H
#define VANTORIX_TOOLS_VXHOST_REGISTRY_STORE_H

#include <string>

namespace vxhost {

// Where the registry file lives: $VANTORIX_REGISTRY if set, else
// $XDG_DATA_HOME/vantorix/registry.reg, else ~/.local/share/vantorix/registry.reg.
// Empty (with *error set) when none of them can be told.
std::string DefaultRegistryPath(std::string *error);

class RegistryStore {
 public:
  // Empties the stand-in registry and loads the file into it; a file that
  // does not exist is an empty registry.  A file that cannot be read or
  // parsed is refused with its line, and the store then never saves.
  bool Load(const std::string &path, std::string *error);
  // Writes the registry back, atomically, if it differs from what was
  // loaded or last saved; *saved tells whether it wrote.
  bool SaveIfChanged(bool *saved, std::string *error);
  const std::string &path() const { return path_; }

 private:
  bool Snapshot(std::string *bytes, std::string *error) const;

  std::string path_;
  std::string saved_;  // the registry as last loaded or saved, as file bytes
  bool loaded_ = false;
};

}  // namespace vxhost

#endif
