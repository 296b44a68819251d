#include "engine/probes/macos_advisory.h"

#include <algorithm>
#include <array>

namespace bnch {

bool isOutdatedMacOS(const SystemProfile& profile) {
  if (profile.architecture != Architecture::appleSilicon) return false;
  // Known major versions, newest last.
  static constexpr std::array<int, 6> known{11, 12, 13, 14, 15, 26};
  const auto found = std::find(known.begin(), known.end(), profile.macosVersion.major);
  if (found == known.end()) return false;
  const auto placesBeforeNewest = std::distance(found, known.end() - 1);
  return placesBeforeNewest > 2;
}

}  // namespace bnch
