#pragma once

#include <memory>
#include <string>

#include "engine/platform/key_value_storing.h"
#include "engine/platform/uuid.h"

namespace bnch {

// The installation's anonymous identity, kept in the user-defaults store under
// the product's prefix followed by ".session_id". It never rotates by itself:
// only a missing or damaged stored value is replaced by a new random UUID (which
// is stored at once). Safe from any thread as far as the store is.
class SessionID {
 public:
  // `key` is the full store key, e.g. ProductConfig::defaultsKey(".session_id").
  SessionID(std::shared_ptr<KeyValueStoring> store, std::string key);

  UUID current() const;

 private:
  std::shared_ptr<KeyValueStoring> store_;
  std::string key_;
};

}  // namespace bnch
