// The stand-in registry's data: a tree of keys, each with its class, its
// subkeys and its values.
//
// Names compare without regard to case (ASCII letters, folded to upper case
// as Windows does) and are kept as written.  Subkeys enumerate in the order
// of their folded names, values in the order they were created.  Indexed
// enumeration costs O(1) a step: a key keeps an ordered snapshot of its
// subkeys that is rebuilt, in O(n), only after the set of subkeys changed.
#ifndef VX_PLATFORM_SRC_REGISTRY_TREE_H
#define VX_PLATFORM_SRC_REGISTRY_TREE_H

#include <windows.h>

#include <map>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace vxplatform::detail {

// The name with ASCII letters in upper case: the key under which names are
// compared and ordered.
std::string FoldName(const std::string &name);

struct Value {
  std::string name;
  DWORD type = REG_NONE;
  std::vector<BYTE> data;
};

class Key {
 public:
  Key(std::string name, std::string className, Key *parent)
      : name_(std::move(name)), className_(std::move(className)), parent_(parent) {}

  const std::string &name() const { return name_; }
  const std::string &className() const { return className_; }
  Key *parent() const { return parent_; }

  // A deleted key stays alive while handles refer to it, but every
  // operation through them fails.
  bool deleted() const { return deleted_; }
  // A key the user may read but not write.
  bool writeDenied() const { return writeDenied_; }
  void setWriteDenied(bool denied) { writeDenied_ = denied; }

  // --- subkeys ---
  std::shared_ptr<Key> Child(const std::string &name) const;
  // Creates the subkey; it must not exist yet.
  std::shared_ptr<Key> AddChild(const std::string &name, const std::string &className);
  // Removes the subkey and, recursively, everything below it, marking every
  // removed key deleted.  Returns false if there is no such subkey.
  bool RemoveChild(const std::string &name);
  // Removes every subkey (recursively) and every value.
  void Clear();
  std::size_t ChildCount() const { return children_.size(); }
  // The subkey at index in enumeration order, or null past the end.
  Key *ChildAt(std::size_t index) const;

  // --- values ---
  const Value *FindValue(const std::string &name) const;
  void SetValue(const std::string &name, DWORD type, const BYTE *data, std::size_t size);
  bool RemoveValue(const std::string &name);
  std::size_t ValueCount() const { return values_.size(); }
  const Value *ValueAt(std::size_t index) const;

 private:
  void MarkDeleted();

  std::string name_;
  std::string className_;
  Key *parent_;
  bool deleted_ = false;
  bool writeDenied_ = false;

  std::map<std::string, std::shared_ptr<Key>> children_;  // by folded name
  mutable std::vector<Key *> childOrder_;                 // enumeration snapshot
  mutable bool childOrderStale_ = false;

  std::vector<Value> values_;                                // creation order
  std::unordered_map<std::string, std::size_t> valueIndex_;  // folded name -> position
};

}  // namespace vxplatform::detail

#endif
