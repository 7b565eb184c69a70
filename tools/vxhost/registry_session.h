// The registry that vxhost's calls and imports work on.  On Windows (and
// wine) the system's own: there is nothing to load or save.  On linux the
// stand-in's, loaded from its file and saved back (RegistryStore); the
// stand-in's message boxes are said on standard error.
#ifndef VANTORIX_TOOLS_VXHOST_REGISTRY_SESSION_H
#define VANTORIX_TOOLS_VXHOST_REGISTRY_SESSION_H

#include <memory>
#include <string>

namespace vxhost {

class RegistryStore;

class RegistrySession {
 public:
  RegistrySession();
  ~RegistrySession();

  // Opens the registry file (the one given, else the default), for a run
  // that may change the registry when writing and that takes it again later
  // when again, and takes the registry (Begin).  False after saying why and
  // that nothing was run.
  bool Open(const std::string &file, bool writing, bool again);
  // Takes the registry, loading what another process saved meanwhile, and
  // gives it back, saving what changed; each says what went wrong.
  bool Begin();
  bool End();

 private:
  std::unique_ptr<RegistryStore> store_;
};

}  // namespace vxhost

#endif
