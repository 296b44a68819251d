#include "engine/remediation/language_remediations.h"

namespace bnch {

std::vector<SetupRemediation> languageRemediations(const std::set<BNCHLanguage>& selection, bool refreshIndex) {
  using Kind = SetupRemediation::Kind;
  std::vector<SetupRemediation> steps;
  const auto selected = [&](BNCHLanguage language) { return selection.contains(language); };
  const bool miseNeeded = selected(BNCHLanguage::node) || selected(BNCHLanguage::ruby) || selection.size() > 1;
  if (selected(BNCHLanguage::python)) steps.push_back(SetupRemediation::installUv(refreshIndex));
  if (miseNeeded) steps.push_back(SetupRemediation::of(Kind::installMise));
  if (selected(BNCHLanguage::node)) steps.push_back(SetupRemediation::of(Kind::installNodeViaMise));
  if (selected(BNCHLanguage::ruby)) steps.push_back(SetupRemediation::of(Kind::installRubyViaMise));
  if (selected(BNCHLanguage::java)) steps.push_back(SetupRemediation::of(Kind::installTemurin));
  if (selected(BNCHLanguage::rust)) {
    steps.push_back(SetupRemediation::of(miseNeeded ? Kind::installRustViaMise : Kind::installRustup));
  }
  return steps;
}

}  // namespace bnch
