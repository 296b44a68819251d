#include "tests/support/memory_key_value_store.h"

#include <cmath>

namespace bnch::testing {

std::optional<std::string> MemoryKeyValueStore::string(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  if (auto* text = std::get_if<std::string>(&it->second)) return *text;
  return std::nullopt;
}

bool MemoryKeyValueStore::boolean(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return false;
  if (auto* flag = std::get_if<bool>(&it->second)) return *flag;
  if (auto* number = std::get_if<std::int64_t>(&it->second)) return *number != 0;
  if (auto* number = std::get_if<double>(&it->second)) return *number != 0.0 && !std::isnan(*number);
  return false;
}

void MemoryKeyValueStore::set(const std::optional<StoredValue>& value, const std::string& key) {
  std::lock_guard lock(mutex_);
  if (value) {
    values_[key] = *value;
  } else {
    values_.erase(key);
  }
}

std::optional<StoredValue> MemoryKeyValueStore::value(const std::string& key) const {
  std::lock_guard lock(mutex_);
  auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

std::map<std::string, StoredValue> MemoryKeyValueStore::snapshot() const {
  std::lock_guard lock(mutex_);
  return values_;
}

}  // namespace bnch::testing
