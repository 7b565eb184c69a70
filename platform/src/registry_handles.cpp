#include "registry_handles.h"

namespace vxplatform::detail {

namespace {

constexpr std::size_t kMaxKeyNameLength = 255;

LONG SplitPath(LPCSTR path, std::vector<std::string> *parts) {
  parts->clear();
  if (path == nullptr) return ERROR_SUCCESS;
  if (path[0] == '\\') return ERROR_BAD_PATHNAME;
  std::string part;
  for (const char *p = path;; ++p) {
    if (*p == '\\' || *p == 0) {
      if (part.size() > kMaxKeyNameLength) return ERROR_INVALID_PARAMETER;
      if (!part.empty()) parts->push_back(part);
      part.clear();
      if (*p == 0) break;
    } else {
      part += *p;
    }
  }
  return ERROR_SUCCESS;
}

// Walks the existing keys of parts below key.  Returns how many were
// found; *last is the deepest key reached.
std::size_t Walk(const std::shared_ptr<Key> &key, const std::vector<std::string> &parts, std::shared_ptr<Key> *last) {
  *last = key;
  std::size_t depth = 0;
  for (const std::string &part : parts) {
    std::shared_ptr<Key> child = (*last)->Child(part);
    if (!child) break;
    *last = child;
    ++depth;
  }
  return depth;
}

}  // namespace

Registry &Registry::Instance() {
  static Registry registry;
  return registry;
}

Registry::Registry() {
  for (Root &root : roots_) root.entry = Handle{std::make_shared<Key>("", "", nullptr), KEY_ALL_ACCESS};
}

LONG Registry::Resolve(HKEY hkey, const Handle **out) const {
  for (const Root &root : roots_) {
    if (root.handle != hkey) continue;
    *out = &root.entry;
    return ERROR_SUCCESS;
  }
  auto it = handles_.find(reinterpret_cast<uintptr_t>(hkey));
  if (it == handles_.end()) return ERROR_INVALID_HANDLE;
  *out = &it->second;
  return it->second.key->deleted() ? ERROR_KEY_DELETED : ERROR_SUCCESS;
}

HKEY Registry::Open(std::shared_ptr<Key> key, REGSAM access) {
  const uintptr_t value = next_;
  next_ += 4;
  handles_.emplace(value, Handle{std::move(key), access});
  return reinterpret_cast<HKEY>(value);
}

LONG Registry::Close(HKEY hkey) {
  if (handles_.erase(reinterpret_cast<uintptr_t>(hkey)) == 1) return ERROR_SUCCESS;
  const Handle *root = nullptr;
  return Resolve(hkey, &root) == ERROR_SUCCESS ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

void Registry::Reset() {
  for (Root &root : roots_) root.entry.key->Clear();
  handles_.clear();
}

LONG WalkPath(HKEY hkey, LPCSTR path, PathWalk *walk) {
  const Handle *base = nullptr;
  if (LONG status = Registry::Instance().Resolve(hkey, &base)) return status;
  walk->base = *base;
  if (LONG status = SplitPath(path, &walk->parts)) return status;
  walk->found = Walk(walk->base.key, walk->parts, &walk->key);
  return ERROR_SUCCESS;
}

LONG FindKey(HKEY hkey, LPCSTR path, PathWalk *walk) {
  if (LONG status = WalkPath(hkey, path, walk)) return status;
  return walk->found == walk->parts.size() ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

}  // namespace vxplatform::detail
