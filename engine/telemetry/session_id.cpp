#include "engine/telemetry/session_id.h"

namespace bnch {

SessionID::SessionID(std::shared_ptr<KeyValueStoring> store, std::string key)
    : store_(std::move(store)), key_(std::move(key)) {}

UUID SessionID::current() const {
  if (auto stored = store_->string(key_)) {
    if (auto uuid = UUID::parse(*stored)) return *uuid;
  }
  UUID fresh = UUID::random();
  store_->set(StoredValue(fresh.uuidString()), key_);
  return fresh;
}

}  // namespace bnch
