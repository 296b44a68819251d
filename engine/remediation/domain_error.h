#pragma once

#include <stdexcept>
#include <string>
#include <utility>

namespace bnch {

// An error raised by a client component: the component's domain ("AdoptiumAPI",
// "PKGInstaller", "BrewRunner.PKG"), a code that is stable within the domain, and
// a description a person can read.
class DomainError : public std::runtime_error {
 public:
  DomainError(std::string domain, int code, const std::string& description)
      : std::runtime_error(description), domain_(std::move(domain)), code_(code) {}
  const std::string& domain() const noexcept { return domain_; }
  int code() const noexcept { return code_; }
  std::string description() const { return what(); }

 private:
  std::string domain_;
  int code_;
};

}  // namespace bnch
