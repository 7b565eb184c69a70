// The stand-in registry's data: a tree of keys, each with its class, its
// subkeys and its values.
//
// Names compare without regard to case and are kept as written: each
// character is folded to its upper case through charsets::UpperCase, the
// letters of Windows-1252 as Windows folds them (A-Z, the accented Latin
// letters, Y with diaeresis, S and Z with caron, OE).  Subkeys enumerate in the order
// of their folded names, values in the order they were created.  Indexed
// enumeration costs O(1) a step: a key keeps an ordered snapshot of its
// subkeys that is rebuilt, in O(n), only after the set of subkeys changed.
// A value's name and data share one buffer, and a key finds its values by
// an index of positions, so that setting a new value costs one allocation
// at most: a registry file of a million values loads quickly.  A deleted
// value leaves a gap in place, so that a delete costs the same however
// many values the key holds; the gaps are closed on the next indexed read,
// or once they outnumber the values.
#ifndef VX_PLATFORM_SRC_REGISTRY_TREE_H
#define VX_PLATFORM_SRC_REGISTRY_TREE_H

#include <windows.h>

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace vxplatform::detail {

// The name with its letters in upper case: the key under which names are
// compared and ordered.
std::string FoldName(const std::string &name);

class Value {
 public:
  Value(std::string_view name, DWORD type, const BYTE *data, std::size_t size);

  std::string_view name() const { return std::string_view(bytes_).substr(0, nameLength_); }
  DWORD type() const { return type_; }
  const BYTE *data() const { return reinterpret_cast<const BYTE *>(bytes_.data()) + nameLength_; }
  std::size_t size() const { return bytes_.size() - nameLength_; }
  bool Holds(DWORD type, const BYTE *data, std::size_t size) const;
  // New data; the name stays.
  void Replace(DWORD type, const BYTE *data, std::size_t size);
  // Makes this a gap: its name and data go, and gone() says so.
  void Forget();
  bool gone() const { return gone_; }

 private:
  std::string bytes_;  // the name, then the data
  uint32_t nameLength_;
  DWORD type_;
  bool gone_ = false;
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
  const Value *FindValue(std::string_view name) const;
  void SetValue(std::string_view name, DWORD type, const BYTE *data, std::size_t size);
  bool RemoveValue(std::string_view name);
  std::size_t ValueCount() const { return values_.size() - gaps_; }
  const Value *ValueAt(std::size_t index) const;

 private:
  void MarkDeleted();
  // The index slot that holds the value named name (whose folded hash is
  // hash), or the free slot where it would go.
  std::size_t SlotOf(std::string_view name, uint32_t hash) const;
  // Rebuilds the index with slotCount slots.
  void Reindex(std::size_t slotCount);
  // Frees the slot at `at`, moving later slots of the same run back so
  // that every lookup still finds its value without passing a free slot.
  void FreeSlot(std::size_t at);
  // Closes the gaps that deletes left, keeping the values' order, and
  // renumbers the index.
  void CloseGaps() const;

  std::string name_;
  std::string className_;
  Key *parent_;
  bool deleted_ = false;
  bool writeDenied_ = false;

  std::map<std::string, std::shared_ptr<Key>> children_;  // by folded name
  mutable std::vector<Key *> childOrder_;                 // enumeration snapshot
  mutable bool childOrderStale_ = false;

  // Creation order, with the gaps of deleted values until they are closed
  // (the reads that close them are const).
  mutable std::vector<Value> values_;
  mutable std::size_t gaps_ = 0;
  // Open addressing with linear probing on the folded name's hash, kept
  // with each position so that growing never hashes a name again; a power
  // of two in size, never more than half full.
  struct Slot {
    uint32_t position = 0;  // + 1; 0 for a free slot
    uint32_t hash = 0;
  };
  mutable std::vector<Slot> valueSlots_;
};

}  // namespace vxplatform::detail

#endif
