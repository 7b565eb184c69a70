// Loading the plug-in library that hostsim plays the host for: with the
// system's loader (LoadLibrary on Windows, dlopen on linux), or, for a
// Windows image on 32-bit x86 linux, with the pe library's loader.
#ifndef VANTORIX_HOSTSIM_PLUGIN_H
#define VANTORIX_HOSTSIM_PLUGIN_H

#include <memory>
#include <string>

#include "host/call_block.h"

namespace hostsim {

// A loaded plug-in library and its entry point.
class Plugin {
 public:
  // Loads the library at path; on failure returns null and says why.  On
  // linux a Windows image (a file that starts with "MZ") is mapped by the
  // 32-bit build's own loader (pe/module.h), anything else by dlopen.
  static std::unique_ptr<Plugin> Load(const std::string &path, std::string *error);
  // Wraps an entry point that is linked in directly.
  Plugin(ExternCallProc entry, HINSTANCE instance) : entry_(entry), instance_(instance) {}
  ~Plugin();
  Plugin(const Plugin &) = delete;
  Plugin &operator=(const Plugin &) = delete;

  ExternCallProc entry() const { return entry_; }
  HINSTANCE instance() const { return instance_; }
  // The file the library was loaded from, as the system's loader names it;
  // empty for an entry point linked in directly.
  const std::string &File() const { return file_; }
  // The string with this id from the library's own string table, read the
  // way the host reads it; empty if there is none.
  std::string String(unsigned id) const;

 private:
  Plugin() = default;
  // The ways of loading; false, with the reason, if the file is refused.
#ifdef _WIN32
  bool LoadWithSystem(const std::string &path, std::string *error);
#else
  bool MapWindowsImage(const std::string &path, std::string *error);
  bool OpenShared(const std::string &path, std::string *error);
#endif
  void *library_ = nullptr;
  std::shared_ptr<void> image_;  // a Windows image mapped by the loader
  std::string file_;
  ExternCallProc entry_ = nullptr;
  HINSTANCE instance_ = nullptr;
};

// The plug-in library that the tests and tools load: the file that the
// build names (the product, for the lanes that test its own bytes), or else
// the one built beside the running program, Vantorix.fmx on Windows,
// Vantorix.so on linux.
std::string DefaultPluginPath();

// A file that the build names by its Unix path, as this program opens it:
// under wine, drive Z: is the Unix root.
std::string BuildFilePath(const std::string &unixPath);

// That library, loaded on first use and kept for the life of the program;
// a program that cannot load it says why and exits.
const Plugin &DefaultPlugin();

}  // namespace hostsim

#endif
