#pragma once

#include <filesystem>
#include <mutex>
#include <optional>
#include <string>

#include "engine/platform/key_value_storing.h"

namespace bnch {

// The user-defaults store of one product (`domain`, e.g. "com.example.app").
//
// On macOS: the CoreFoundation preferences of that application id (the same
// store the system's `defaults` tool shows), synchronised after each change.
// Elsewhere: one JSON object in <preferencesFolder>/<domain>.json (default
// folder: $HOME/Library/Preferences). Each change takes an exclusive flock on
// <domain>.json.lock, re-reads the file, applies the one key and replaces the file
// atomically, so writers in other threads and other processes never lose each
// other's keys. Reads take no lock (the file is only ever replaced whole). A
// damaged or unreadable file reads as empty and is replaced by the next write.
//
// Safe from any thread. Like the platform store, set() reports no failure: a
// change that cannot be saved is dropped.
class LiveKeyValueStore final : public KeyValueStoring {
 public:
  explicit LiveKeyValueStore(std::string domain, std::optional<std::filesystem::path> preferencesFolder = {});

  std::optional<std::string> string(const std::string& key) const override;
  // True for a stored true or a non-zero number.
  bool boolean(const std::string& key) const override;
  void set(const std::optional<StoredValue>& value, const std::string& key) override;

  // The stored value in any of the supported forms, or absent.
  std::optional<StoredValue> value(const std::string& key) const;
  const std::string& domain() const { return domain_; }

 private:
  std::string domain_;
#ifndef __APPLE__
  std::filesystem::path file_;
  std::filesystem::path lockFile_;
  std::mutex writeMutex_;
#endif
};

}  // namespace bnch
