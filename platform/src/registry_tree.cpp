#include "registry_tree.h"

#include <vxplatform/testing.h>

#include <algorithm>

namespace vxplatform::detail {

namespace {
unsigned long long changes = 0;  // see RegistryChangeCount
}  // namespace

std::string FoldName(const std::string &name) {
  std::string folded = name;
  for (char &c : folded) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return folded;
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
  valueIndex_.clear();
}

void Key::MarkDeleted() {
  deleted_ = true;
  for (auto &entry : children_) entry.second->MarkDeleted();
  // A deleted key keeps nothing: handles to it see it empty and deleted.
  children_.clear();
  childOrder_.clear();
  childOrderStale_ = false;
  values_.clear();
  valueIndex_.clear();
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

const Value *Key::FindValue(const std::string &name) const {
  auto it = valueIndex_.find(FoldName(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second];
}

void Key::SetValue(const std::string &name, DWORD type, const BYTE *data, std::size_t size) {
  // One lookup: finds the value's place, or makes it at the end.
  const auto found = valueIndex_.try_emplace(FoldName(name), values_.size());
  Value *value;
  if (found.second) {
    values_.push_back(Value{name, type, {}});
    value = &values_.back();
  } else {
    value = &values_[found.first->second];  // a replaced value keeps its name and place
    if (value->type == type && value->data.size() == size && std::equal(data, data + size, value->data.begin())) return;
  }
  ++changes;
  value->type = type;
  value->data.assign(data, data + size);
}

bool Key::RemoveValue(const std::string &name) {
  auto it = valueIndex_.find(FoldName(name));
  if (it == valueIndex_.end()) return false;
  const std::size_t position = it->second;
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(position));
  valueIndex_.erase(it);
  ++changes;
  for (auto &entry : valueIndex_) {
    if (entry.second > position) --entry.second;
  }
  return true;
}

const Value *Key::ValueAt(std::size_t index) const { return index < values_.size() ? &values_[index] : nullptr; }

}  // namespace vxplatform::detail

unsigned long long vxplatform::RegistryChangeCount() { return detail::changes; }
