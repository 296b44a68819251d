#pragma once

#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "engine/config/product_names.h"
#include "engine/platform/key_value_storing.h"

namespace bnch {

// The values of a run that last across launches, kept in the key-value store
// under the product's defaults keys: the experience answer, the domains set up,
// the projects created, and whether the satisfaction answer was sent. Lists are
// stored one item a line; blank lines are dropped when read. Without a store
// every read finds nothing and every write is dropped.
class RunMemory {
 public:
  RunMemory(std::shared_ptr<KeyValueStoring> store, const ProductNames& product);

  std::optional<std::string> experienceBucket() const;  // as stored, blank included
  bool experienceSkipped() const;
  void rememberExperience(const std::string& bucket, bool skipped);

  std::vector<std::string> completedDomains() const;
  void rememberCompletedDomains(const std::set<std::string>& domains);

  std::vector<std::string> createdProjectPaths() const;
  void rememberCreatedProjectPaths(const std::vector<std::string>& paths);

  bool satisfactionSubmitted() const;
  void rememberSatisfactionSubmitted();

 private:
  std::string key(const char* suffix) const { return prefix_ + suffix; }
  std::vector<std::string> lines(const char* suffix) const;
  void setLines(const std::vector<std::string>& lines, const char* suffix);

  std::shared_ptr<KeyValueStoring> store_;
  std::string prefix_;
};

// Whether the text is empty after blanks (space, tab, carriage return) are removed.
bool isBlankText(std::string_view text);

}  // namespace bnch
