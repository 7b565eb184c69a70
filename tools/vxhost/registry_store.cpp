#include "tools/vxhost/registry_store.h"

#include <vxplatform/testing.h>

#include <cstdlib>
#include <utility>
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

bool RegistryStore::Open(const std::string &path, bool writing, bool again, std::string *error) {
  writing_ = writing;
  again_ = again;
  loaded_ = false;
  path_ = path;
  if (!writing) return true;
  path_ = FollowLinks(path, error);
  // The lock file goes beside the registry file, in a folder made for it.
  return !path_.empty() && MayReplace(path_, error) && regfile::MakeParentFolders(path_, error) &&
         lock_.Open(path_, error);
}

bool RegistryStore::Refuse() {
  loaded_ = false;
  lock_.Unlock();
  return false;
}

bool RegistryStore::Begin(std::string *error, std::string *warning) {
  warning->clear();
  if (writing_ && !lock_.Lock(error)) return false;
  regfile::FileReader file;
  bool exists = false;
  std::string bytes;
  if (!file.Open(path_, &exists, error)) return Refuse();
  if (again_) {
    if (!file.ReadRest(&bytes, error)) return Refuse();
    if (loaded_ && exists == fileExists_ && bytes == fileBytes_) return true;
  }

  loaded_ = false;
  // Loaded as it is read, without the whole file's document beside the
  // registry; a file that fails leaves the registry emptied.
  vxplatform::ResetRegistry();
  const regfile::LoadResult result =
      again_ ? regfile::Load(bytes, error, warning) : regfile::Load(&file, error, warning);
  if (result == regfile::LoadResult::kLoaded || result == regfile::LoadResult::kNotStored) {
    if (!warning->empty()) *warning = path_ + ", " + *warning;
  }
  if (result != regfile::LoadResult::kLoaded) {
    if (result == regfile::LoadResult::kFaultyFile) *error = path_ + ", " + *error;
    if (result == regfile::LoadResult::kNotStored) *error = path_ + ": " + *error;
    vxplatform::ResetRegistry();
    return Refuse();
  }
  changes_ = vxplatform::RegistryChangeCount();
  fileExists_ = exists;
  fileBytes_ = std::move(bytes);
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

bool RegistryStore::End(bool *saved, std::string *error) {
  *saved = false;
  if (!writing_) return true;
  bool ok = loaded_;
  if (!ok) *error = "the registry file was not loaded; it is left as it is";
  // What was loaded or last saved is what the file holds, until the
  // registry changes.
  if (ok && vxplatform::RegistryChangeCount() != changes_) {
    std::string bytes;
    ok = Snapshot(&bytes, error) && regfile::SaveAtomically(path_, bytes, error);
    if (ok) {
      changes_ = vxplatform::RegistryChangeCount();
      fileBytes_ = std::move(bytes);
      fileExists_ = true;
      *saved = true;
    }
  }
  lock_.Unlock();
  return ok;
}

}  // namespace vxhost
