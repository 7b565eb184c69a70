// The linux stand-in's registry kept in a .reg file between runs, shared
// safely by any number of vxhost processes.
#ifndef VANTORIX_TOOLS_VXHOST_REGISTRY_STORE_H
#define VANTORIX_TOOLS_VXHOST_REGISTRY_STORE_H

#include <string>

#include "tools/vxhost/file_access.h"

namespace vxhost {

// Where the registry file lives: $VANTORIX_REGISTRY if set and not empty,
// else $XDG_DATA_HOME/vantorix/registry.reg, else
// ~/.local/share/vantorix/registry.reg.  Empty (with *error set) when none
// of them can be told.
std::string DefaultRegistryPath(std::string *error);

// Work on the registry happens between Begin and End.  A store that writes
// holds the file's lock from Begin to End, so that each read-change-write
// cycle sees every write that finished before it, and no two overlap.
class RegistryStore {
 public:
  // Opens the registry file at path.  A store that writes follows symbolic
  // links to the file they lead to (whose atomic replacement keeps the
  // links), refuses a file that it may not replace, and opens the file's
  // lock; one that only reads takes no lock and never saves.  A store that
  // will Begin again keeps a copy of the file, to tell whether it changed
  // meanwhile; one that will not reads it as it loads it and keeps none
  // (it would load the file again on every Begin).
  bool Open(const std::string &path, bool writing, bool again, std::string *error);
  // Takes the lock and, when the file changed since this store last loaded
  // or saved it (or was never loaded), empties the stand-in registry and
  // loads the file into it; a file that does not exist is an empty
  // registry.  A file that cannot be read or parsed is refused with its line
  // and the lock let go; nothing is ever saved over it.  *warning says what
  // is worth a word about a file that was loaded (else it is empty).
  bool Begin(std::string *error, std::string *warning);
  // Saves the registry, atomically, if it changed since it was loaded or
  // last saved (*saved tells whether it wrote), then lets go of the lock.
  // A run that changed nothing leaves the file as it is.
  bool End(bool *saved, std::string *error);
  const std::string &path() const { return path_; }

 private:
  bool Snapshot(std::string *bytes, std::string *error) const;
  bool Refuse();

  std::string path_;
  bool writing_ = false;
  bool again_ = false;
  FileLock lock_;
  bool fileExists_ = false;
  std::string fileBytes_;           // the file as last read or written (kept when again_)
  unsigned long long changes_ = 0;  // the stand-in's change count when it was loaded or last saved
  bool loaded_ = false;
};

}  // namespace vxhost

#endif
