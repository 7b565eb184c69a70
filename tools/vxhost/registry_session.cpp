#include "tools/vxhost/registry_session.h"

#include "tools/vxhost/console.h"

#ifndef _WIN32
#include <vxplatform/testing.h>

#include "charsets/charsets.h"
#include "tools/vxhost/registry_store.h"
#endif

namespace vxhost {

#ifdef _WIN32

class RegistryStore {};

RegistrySession::RegistrySession() = default;
RegistrySession::~RegistrySession() = default;
bool RegistrySession::Open(const std::string &, bool, bool) { return true; }
bool RegistrySession::Begin() { return true; }
bool RegistrySession::End() { return true; }

#else

RegistrySession::RegistrySession() : store_(new RegistryStore) {}
RegistrySession::~RegistrySession() = default;

bool RegistrySession::Open(const std::string &file, bool writing, bool again) {
  std::string error, warning;
  const std::string path = file.empty() ? DefaultRegistryPath(&error) : file;
  if (path.empty() || !store_->Open(path, writing, again, &error) || !store_->Begin(&error, &warning)) {
    Say(error);
    Say("nothing was run; the registry file is left as it is");
    return false;
  }
  if (!warning.empty()) Say(warning);
  vxplatform::SetMessageBoxObserver([](const vxplatform::MessageBoxRecord &box) {
    Say("message box \"" + charsets::Cp1252ToUtf8(box.caption) + "\": " + charsets::Cp1252ToUtf8(box.text));
  });
  return true;
}

bool RegistrySession::Begin() {
  std::string why, note;
  const bool begun = store_->Begin(&why, &note);
  if (!note.empty()) Say(note);
  if (!begun) Say(why);
  return begun;
}

bool RegistrySession::End() {
  bool saved = false;
  std::string why;
  if (store_->End(&saved, &why)) return true;
  Say(why);
  return false;
}

#endif

}  // namespace vxhost
