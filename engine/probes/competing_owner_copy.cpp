#include "engine/probes/competing_owner_copy.h"

#include <map>
#include <set>
#include <utility>

#include "engine/config/product_identity.h"

namespace bnch {
namespace {

struct OwnerTexts {
  std::string openingLine;
  std::string recommendation;
};

const std::map<std::string, OwnerTexts>& ownerTexts() {
  static const std::map<std::string, OwnerTexts> texts{
      {"conda",
       {"Conda is a special Python installation used for data and science.",
        "If you use conda for data science, keep it. It installs things beyond Python that uv does not replace."}},
      {"pyenv",
       {"Pyenv is a tool for installing several versions of Python and switching between them.",
        "We strongly recommend uninstalling pyenv after installing Python with uv."}},
      {"asdf",
       {"Asdf is a tool that manages versions of several programming languages, including Python.",
        "You may not need asdf for Python any more, but keep it if you use it for other languages."}},
      {"rye",
       {"Rye is an earlier Python tool from the makers of uv. They stopped updating it and now recommend uv.",
        "We strongly recommend uninstalling rye after installing Python with uv."}},
  };
  return texts;
}

const std::set<std::string>& ownersWithUninstallLink() {
  static const std::set<std::string> owners{"rye", "pyenv"};
  return owners;
}

}  // namespace

std::optional<CompetingOwnerCopy::Copy> CompetingOwnerCopy::copy(const std::string& owner) {
  const auto texts = ownerTexts().find(owner);
  if (texts == ownerTexts().end()) return std::nullopt;
  Copy copy;
  copy.owner = owner;
  copy.headline = "We found Python installed with " + owner;
  copy.openingLine = texts->second.openingLine;
  copy.ownershipLine = owner +
                       " manages Python on this Mac, and it loads after our settings, so it will keep control of the "
                       "python command. We will not change or remove any of its settings.";
  copy.recommendation = texts->second.recommendation;
  if (ownersWithUninstallLink().contains(owner))
    copy.uninstallLink = std::string(identity::articleHost) + "/python/uninstall";
  return copy;
}

}  // namespace bnch
