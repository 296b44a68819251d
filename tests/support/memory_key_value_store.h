#pragma once

#include <map>
#include <mutex>

#include "engine/platform/key_value_storing.h"

namespace bnch::testing {

// An in-memory user-defaults store.
class MemoryKeyValueStore final : public KeyValueStoring {
 public:
  std::optional<std::string> string(const std::string& key) const override;
  bool boolean(const std::string& key) const override;
  void set(const std::optional<StoredValue>& value, const std::string& key) override;

  std::optional<StoredValue> value(const std::string& key) const;
  std::map<std::string, StoredValue> snapshot() const;

 private:
  mutable std::mutex mutex_;
  std::map<std::string, StoredValue> values_;
};

}  // namespace bnch::testing
