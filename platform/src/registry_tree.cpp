#include "registry_tree.h"

#include <vxplatform/testing.h>

#include "charsets/charsets.h"

#include <cstring>

namespace vxplatform::detail {

namespace {

unsigned long long changes = 0;  // see RegistryChangeCount

constexpr std::size_t kFirstValueSlots = 4;

char Fold(char c) {
  // Looked up once (here, not at load time, so that keys made by other
  // files' initialisers fold too): the index folds every byte it hashes.
  static const std::array<unsigned char, 256> &upper = charsets::UpperCaseCp1252Table();
  return static_cast<char>(upper[static_cast<unsigned char>(c)]);
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (Fold(a[i]) != Fold(b[i])) return false;
  }
  return true;
}

// FNV-1a of the folded name.
uint32_t FoldedHash(std::string_view name) {
  uint32_t hash = 2166136261u;
  for (char c : name) hash = (hash ^ static_cast<unsigned char>(Fold(c))) * 16777619u;
  return hash;
}

}  // namespace

std::string FoldName(const std::string &name) {
  std::string folded = name;
  for (char &c : folded) c = Fold(c);
  return folded;
}

Value::Value(std::string_view name, DWORD type, const BYTE *data, std::size_t size)
    : nameLength_(static_cast<uint32_t>(name.size())), type_(type) {
  bytes_.reserve(name.size() + size);
  bytes_.append(name);
  if (size != 0) bytes_.append(reinterpret_cast<const char *>(data), size);
}

bool Value::Holds(DWORD type, const BYTE *data, std::size_t size) const {
  return type_ == type && this->size() == size && (size == 0 || std::memcmp(this->data(), data, size) == 0);
}

void Value::Replace(DWORD type, const BYTE *data, std::size_t size) {
  type_ = type;
  bytes_.resize(nameLength_);
  if (size != 0) bytes_.append(reinterpret_cast<const char *>(data), size);
}

void Value::Forget() {
  std::string().swap(bytes_);
  nameLength_ = 0;
  gone_ = true;
}

std::shared_ptr<Key> Key::Child(const std::string &name) const {
  auto it = children_.find(FoldName(name));
  return it == children_.end() ? nullptr : it->second;
}

std::shared_ptr<Key> Key::AddChild(const std::string &name, const std::string &className) {
  auto child = std::make_shared<Key>(name, className, this);
  children_.emplace(FoldName(name), child);
  childOrderStale_ = true;
  ++changes;
  return child;
}

bool Key::RemoveChild(const std::string &name) {
  auto it = children_.find(FoldName(name));
  if (it == children_.end()) return false;
  it->second->MarkDeleted();
  children_.erase(it);
  childOrderStale_ = true;
  ++changes;
  return true;
}

void Key::Clear() {
  if (!children_.empty() || !values_.empty()) ++changes;
  for (auto &entry : children_) entry.second->MarkDeleted();
  children_.clear();
  childOrderStale_ = true;
  values_.clear();
  gaps_ = 0;
  valueSlots_.clear();
}

void Key::MarkDeleted() {
  deleted_ = true;
  for (auto &entry : children_) entry.second->MarkDeleted();
  // A deleted key keeps nothing: handles to it see it empty and deleted.
  children_.clear();
  childOrder_.clear();
  childOrderStale_ = false;
  values_.clear();
  gaps_ = 0;
  valueSlots_.clear();
}

Key *Key::ChildAt(std::size_t index) const {
  if (childOrderStale_) {
    childOrder_.clear();
    childOrder_.reserve(children_.size());
    for (const auto &entry : children_) childOrder_.push_back(entry.second.get());
    childOrderStale_ = false;
  }
  return index < childOrder_.size() ? childOrder_[index] : nullptr;
}

std::size_t Key::SlotOf(std::string_view name, uint32_t hash) const {
  const std::size_t mask = valueSlots_.size() - 1;
  for (std::size_t at = hash & mask;; at = (at + 1) & mask) {
    const Slot &slot = valueSlots_[at];
    if (slot.position == 0 || (slot.hash == hash && SameName(values_[slot.position - 1].name(), name))) return at;
  }
}

void Key::Reindex(std::size_t slotCount) {
  std::vector<Slot> old(slotCount);
  old.swap(valueSlots_);
  const std::size_t mask = slotCount - 1;
  for (Slot slot : old) {
    if (slot.position == 0) continue;
    std::size_t at = slot.hash & mask;
    while (valueSlots_[at].position != 0) at = (at + 1) & mask;
    valueSlots_[at] = slot;
  }
}

void Key::FreeSlot(std::size_t at) {
  const std::size_t mask = valueSlots_.size() - 1;
  std::size_t hole = at;
  for (std::size_t next = (hole + 1) & mask; valueSlots_[next].position != 0; next = (next + 1) & mask) {
    // The slot at next may fill the hole if its lookup, which starts at its
    // home slot, passes the hole on the way to it.
    const std::size_t home = valueSlots_[next].hash & mask;
    if (((next - home) & mask) >= ((next - hole) & mask)) {
      valueSlots_[hole] = valueSlots_[next];
      hole = next;
    }
  }
  valueSlots_[hole] = Slot{};
}

void Key::CloseGaps() const {
  // Each value's new position + 1, by its old position.
  std::vector<uint32_t> moved(values_.size());
  std::size_t kept = 0;
  for (std::size_t i = 0; i < values_.size(); ++i) {
    if (values_[i].gone()) continue;
    if (kept != i) values_[kept] = std::move(values_[i]);
    moved[i] = static_cast<uint32_t>(++kept);
  }
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(kept), values_.end());
  gaps_ = 0;
  for (Slot &slot : valueSlots_) {
    if (slot.position != 0) slot.position = moved[slot.position - 1];
  }
}

const Value *Key::FindValue(std::string_view name) const {
  if (valueSlots_.empty()) return nullptr;
  const uint32_t position = valueSlots_[SlotOf(name, FoldedHash(name))].position;
  return position == 0 ? nullptr : &values_[position - 1];
}

void Key::SetValue(std::string_view name, DWORD type, const BYTE *data, std::size_t size) {
  if (valueSlots_.empty()) valueSlots_.resize(kFirstValueSlots);
  // One lookup: finds the value's place, or the slot for a new one.
  const uint32_t hash = FoldedHash(name);
  Slot &slot = valueSlots_[SlotOf(name, hash)];
  if (slot.position != 0) {
    Value &value = values_[slot.position - 1];  // a replaced value keeps its name and place
    if (value.Holds(type, data, size)) return;
    ++changes;
    value.Replace(type, data, size);
    return;
  }
  ++changes;
  values_.emplace_back(name, type, data, size);
  slot = Slot{static_cast<uint32_t>(values_.size()), hash};
  if (values_.size() * 2 > valueSlots_.size()) Reindex(valueSlots_.size() * 2);
}

bool Key::RemoveValue(std::string_view name) {
  if (valueSlots_.empty()) return false;
  const std::size_t at = SlotOf(name, FoldedHash(name));
  const uint32_t position = valueSlots_[at].position;
  if (position == 0) return false;
  values_[position - 1].Forget();
  ++gaps_;
  FreeSlot(at);
  ++changes;
  // Closed once they outnumber the values, so that a key emptied one
  // delete at a time costs time in proportion to its values.
  if (gaps_ * 2 > values_.size()) CloseGaps();
  return true;
}

const Value *Key::ValueAt(std::size_t index) const {
  if (gaps_ != 0) CloseGaps();
  return index < values_.size() ? &values_[index] : nullptr;
}

}  // namespace vxplatform::detail

unsigned long long vxplatform::RegistryChangeCount() { return detail::changes; }
