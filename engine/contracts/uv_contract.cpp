#include "engine/contracts/uv_contract.h"

#include <vector>

#include "engine/contracts/version_text.h"

namespace bnch {

std::optional<UvContract::ManagedPythonName> UvContract::parseManagedPythonName(std::string_view folderName) {
  std::vector<std::string_view> pieces;
  std::size_t start = 0;
  while (start <= folderName.size()) {
    std::size_t dash = folderName.find('-', start);
    if (dash == std::string_view::npos) dash = folderName.size();
    if (dash > start) pieces.push_back(folderName.substr(start, dash - start));
    start = dash + 1;
  }
  if (pieces.size() < 2) return std::nullopt;
  if (pieces[0] != "cpython" && pieces[0] != "pypy") return std::nullopt;
  if (!VersionText::isVersionLike(pieces[1])) return std::nullopt;
  return ManagedPythonName{std::string(pieces[0]), std::string(pieces[1])};
}

}  // namespace bnch
