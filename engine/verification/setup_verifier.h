#pragma once

#include <optional>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/shell_runner.h"
#include "engine/probes/system_profile.h"
#include "engine/verification/setup_verification_result.h"

namespace bnch {

// Proves in fresh login shells that a product's setup works. Blocks until done;
// never throws: failures are failed checks in the result.
class SetupVerifier {
 public:
  virtual ~SetupVerifier() = default;
  virtual SetupVerificationResult verify(const std::optional<SystemProfile>& profile, const ShellRunner& shell,
                                         FileSystemOperating& fs) const = 0;
};

}  // namespace bnch
