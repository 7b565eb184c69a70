#include "tools/regfile/registry_io.h"

#include <windows.h>

#include <vector>

#include "tools/regfile/registry_calls.h"
#include "tools/regfile/roots.h"

namespace regfile {

namespace {

HKEY Handle(const RootKey &root) { return reinterpret_cast<HKEY>(static_cast<intptr_t>(root.predefined)); }

std::string Status(LONG status) { return "status " + std::to_string(status); }

std::string ValueName(const std::string &name) { return name.empty() ? std::string("@") : "\"" + name + "\""; }

// The key names of a path typed with any case and any number of
// separators, as the registry stores them: each name is looked up among
// its parent's subkeys.  A name that is not found is kept as typed (the
// key's opening then says why).
std::string StoredSubkey(HKEY root, const std::string &typed) {
  std::string stored;
  HKEY parent = root;
  std::size_t start = 0;
  while (start <= typed.size()) {
    std::size_t end = typed.find('\\', start);
    if (end == std::string::npos) end = typed.size();
    const std::string part = typed.substr(start, end - start);
    start = end + 1;
    if (part.empty()) continue;
    std::string found = part;
    std::string name;
    LONG status;
    for (DWORD index = 0; parent != nullptr && (status = calls::EnumKey(parent, index, &name)) != ERROR_NO_MORE_ITEMS;
         ++index) {
      if (status == ERROR_SUCCESS && calls::SameKeyName(name, part)) {
        found = name;
        break;
      }
      if (status != ERROR_SUCCESS && status != calls::kNotConvertible) break;
    }
    stored += (stored.empty() ? "" : "\\") + found;
    HKEY child = nullptr;
    if (parent != nullptr && calls::Open(parent, found, KEY_ENUMERATE_SUB_KEYS, &child) != ERROR_SUCCESS) {
      child = nullptr;
    }
    if (parent != root && parent != nullptr) RegCloseKey(parent);
    parent = child;
  }
  if (parent != root && parent != nullptr) RegCloseKey(parent);
  return stored;
}

bool ExportTree(HKEY root, const char *rootName, const std::string &subkey, Document *document,
                std::vector<std::string> *skipped, std::string *error) {
  HKEY key = nullptr;
  const std::string fullPath = subkey.empty() ? std::string(rootName) : rootName + ("\\" + subkey);
  LONG status = calls::Open(root, subkey, KEY_READ, &key);
  if (status != ERROR_SUCCESS) {
    *error = "cannot open " + fullPath + ": " + Status(status);
    return false;
  }

  Key section;
  section.path = fullPath;
  for (DWORD index = 0;; ++index) {
    Value value;
    status = calls::EnumValue(key, index, &value);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == calls::kNotConvertible) {
      skipped->push_back("the value " + ValueName(value.name) + " of " + fullPath + ": its name is not Unicode text");
      continue;
    }
    if (status != ERROR_SUCCESS) {
      RegCloseKey(key);
      *error = "cannot read the values of " + fullPath + ": " + Status(status);
      return false;
    }
    section.values.push_back(value);
  }
  if (!subkey.empty() || !section.values.empty()) document->keys.push_back(section);

  std::vector<std::string> children;
  for (DWORD index = 0;; ++index) {
    std::string name;
    status = calls::EnumKey(key, index, &name);
    if (status == ERROR_NO_MORE_ITEMS) break;
    if (status == calls::kNotConvertible) {
      skipped->push_back(fullPath + "\\" + name + ": its name is not Unicode text");
      continue;
    }
    if (status != ERROR_SUCCESS) {
      RegCloseKey(key);
      *error = "cannot read the subkeys of " + fullPath + ": " + Status(status);
      return false;
    }
    children.push_back(name);
  }
  RegCloseKey(key);
  for (const std::string &name : children) {
    const std::size_t mark = document->keys.size();
    std::string why;
    if (!ExportTree(root, rootName, subkey.empty() ? name : subkey + "\\" + name, document, skipped, &why)) {
      // Leave out the unreadable key and whatever of it was read.
      document->keys.resize(mark);
      skipped->push_back(why);
    }
  }
  return true;
}

// Applies sections, and the values of each, one at a time, as Import
// does; the key of the last section stays open for its values.  Each call
// returns the registry's status and on failure sets *error to what failed.
class Applier {
 public:
  Applier() = default;
  Applier(const Applier &) = delete;
  Applier &operator=(const Applier &) = delete;
  ~Applier() { Close(); }

  // Creates the section's key, or deletes it with everything below it.
  LONG Section(const Key &section, std::string *error) {
    Close();
    path_ = section.path;
    const RootKey *rootKey = nullptr;
    std::string subkey;
    if (!SplitKeyPath(section.path, &rootKey, &subkey)) {
      *error = "unknown root key in " + section.path;
      return ERROR_BAD_PATHNAME;
    }
    const HKEY root = Handle(*rootKey);
    if (section.remove) {
      LONG status = subkey.empty() ? ERROR_ACCESS_DENIED : calls::DeleteTree(root, subkey);
      if (status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
      if (status != ERROR_SUCCESS) *error = "cannot delete " + section.path + ": " + Status(status);
      return status;
    }
    const LONG status = calls::Create(root, subkey, &key_);
    if (status != ERROR_SUCCESS) {
      key_ = nullptr;
      *error = "cannot create " + section.path + ": " + Status(status);
    }
    return status;
  }

  // Sets or deletes the value in the last section's key.
  LONG Apply(const Value &value, std::string *error) {
    LONG status = value.remove ? calls::DeleteValue(key_, value.name) : calls::SetValue(key_, value);
    if (value.remove && status == ERROR_FILE_NOT_FOUND) status = ERROR_SUCCESS;
    return Told(value, status, error);
  }

  // Sets a "text" value, its data given as text (Receiver::AddText).
  LONG ApplyText(const Value &value, std::string_view text, std::string *error) {
    return Told(value, calls::SetText(key_, value.name, text), error);
  }

 private:
  LONG Told(const Value &value, LONG status, std::string *error) const {
    if (status != ERROR_SUCCESS) {
      *error = std::string("cannot ") + (value.remove ? "delete" : "set") + " the value " + ValueName(value.name) +
               " of " + path_ + ": " + Status(status);
    }
    return status;
  }

  void Close() {
    if (key_ != nullptr) RegCloseKey(key_);
    key_ = nullptr;
  }

  HKEY key_ = nullptr;
  std::string path_;
};

// Applies a file's pieces as they are read, and tells afterwards what
// Import would have refused or failed at: what cannot be stored comes
// before what failed, however late in the file.  After the first failure
// nothing more is applied, but every piece is still checked.
class Loader : public Receiver {
 public:
  void AddSection(const Key &section) override {
    section_.path = section.path;
    section_.remove = section.remove;
    if (!unstorable_.empty()) return;
    if (failure_.empty() && applier_.Section(section, &failure_) == ERROR_SUCCESS) return;
    calls::CanStoreSection(section, &unstorable_);
  }

  void AddValue(const Value &value) override {
    if (!unstorable_.empty()) return;
    if (failure_.empty() && applier_.Apply(value, &failure_) == ERROR_SUCCESS) return;
    calls::CanStoreValue(section_, value, &unstorable_);
  }

  // Text goes to the registry as it is, without the model's UTF-16LE.
  void AddText(Value *value, std::string_view text) override {
    if (!unstorable_.empty()) return;
    if (failure_.empty() && applier_.ApplyText(*value, text, &failure_) == ERROR_SUCCESS) return;
    TextData(text, &value->data);
    calls::CanStoreValue(section_, *value, &unstorable_);
  }

  // True if everything was applied; otherwise *error says why not.
  bool Finish(std::string *error) {
    if (unstorable_.empty() && failure_.empty()) return true;
    *error = unstorable_.empty() ? failure_ : unstorable_;
    return false;
  }

 private:
  Applier applier_;
  Key section_;             // the last section's path and kind
  std::string unstorable_;  // the first thing the registry cannot store
  std::string failure_;     // the first call that failed
};

}  // namespace

bool Import(const Document &document, std::string *error) {
  // Nothing changes unless all of it can be stored.
  for (const Key &section : document.keys) {
    if (!calls::CanStoreSection(section, error)) return false;
    for (const Value &value : section.values) {
      if (!calls::CanStoreValue(section, value, error)) return false;
    }
  }
  Applier applier;
  for (const Key &section : document.keys) {
    if (applier.Section(section, error) != ERROR_SUCCESS) return false;
    if (section.remove) continue;
    for (const Value &value : section.values) {
      if (applier.Apply(value, error) != ERROR_SUCCESS) return false;
    }
  }
  return true;
}

LoadResult Load(const std::string &bytes, std::string *error, std::string *warning) {
  Loader loader;
  if (!Read(bytes, &loader, error, warning)) return LoadResult::kFaultyFile;
  return loader.Finish(error) ? LoadResult::kLoaded : LoadResult::kNotStored;
}

LoadResult Load(FileReader *file, std::string *error, std::string *warning) {
  Loader loader;
  if (!ReadFile(file, &loader, error, warning)) {
    return file->Failed() ? LoadResult::kUnreadable : LoadResult::kFaultyFile;
  }
  return loader.Finish(error) ? LoadResult::kLoaded : LoadResult::kNotStored;
}

bool Export(const std::string &path, Document *document, std::vector<std::string> *skipped, std::string *error) {
  document->keys.clear();
  skipped->clear();
  if (path.empty()) {
    for (const RootKey &root : kRootKeys) {
      if (!ExportTree(Handle(root), root.name, std::string(), document, skipped, error)) return false;
    }
    return true;
  }
  const RootKey *rootKey = nullptr;
  std::string typed;
  if (!SplitKeyPath(path, &rootKey, &typed)) {
    *error = "the key " + path + " does not start with one of the five root keys";
    return false;
  }
  const HKEY root = Handle(*rootKey);
  const char *rootName = rootKey->name;
  const std::string subkey = StoredSubkey(root, typed);
  // A key asked for by name gets its section even when it is a root.
  const std::size_t before = document->keys.size();
  if (!ExportTree(root, rootName, subkey, document, skipped, error)) return false;
  if (subkey.empty() && (document->keys.size() == before || document->keys[before].path != rootName)) {
    Key rootSection;
    rootSection.path = rootName;
    document->keys.insert(document->keys.begin() + static_cast<std::ptrdiff_t>(before), rootSection);
  }
  return true;
}

}  // namespace regfile
