#include "tools/vxhost/registry_store.h"

#include <vxplatform/testing.h>

#include <cstdlib>
#include <vector>

#include "tools/regfile/file_io.h"
#include "tools/regfile/regfile.h"
#include "tools/regfile/registry_io.h"

namespace vxhost {

std::string DefaultRegistryPath(std::string *error) {
  const char *explicitPath = std::getenv("VANTORIX_REGISTRY");
  if (explicitPath != nullptr && *explicitPath != 0) return explicitPath;
  const char *data = std::getenv("XDG_DATA_HOME");
  if (data != nullptr && *data == '/') return std::string(data) + "/vantorix/registry.reg";
  const char *home = std::getenv("HOME");
  if (home != nullptr && *home != 0) return std::string(home) + "/.local/share/vantorix/registry.reg";
  *error = "cannot tell where the registry file lives: set VANTORIX_REGISTRY or HOME, or give --registry FILE";
  return std::string();
}

bool RegistryStore::Load(const std::string &path, std::string *error) {
  path_ = path;
  loaded_ = false;
  std::string bytes;
  bool exists = false;
  if (!regfile::ReadWholeFile(path, &bytes, &exists, error)) return false;
  regfile::Document document;
  if (!regfile::Parse(bytes, &document, error)) {
    *error = path + ", " + *error;
    return false;
  }
  vxplatform::ResetRegistry();
  if (!regfile::Import(document, error)) {
    *error = path + ": " + *error;
    return false;
  }
  if (!Snapshot(&saved_, error)) return false;
  loaded_ = true;
  return true;
}

bool RegistryStore::Snapshot(std::string *bytes, std::string *error) const {
  regfile::Document document;
  std::vector<std::string> skipped;
  if (!regfile::Export(std::string(), &document, &skipped, error)) return false;
  if (!skipped.empty()) {
    // The file must hold the whole registry.
    *error = skipped.front();
    return false;
  }
  return regfile::Write(document, regfile::Format::Unicode, bytes, error);
}

bool RegistryStore::SaveIfChanged(bool *saved, std::string *error) {
  *saved = false;
  if (!loaded_) {
    *error = "the registry file was not loaded; it is left as it is";
    return false;
  }
  std::string bytes;
  if (!Snapshot(&bytes, error)) return false;
  if (bytes == saved_) return true;
  if (!regfile::MakeParentFolders(path_, error) || !regfile::SaveAtomically(path_, bytes, error)) return false;
  saved_ = bytes;
  *saved = true;
  return true;
}

}  // namespace vxhost
