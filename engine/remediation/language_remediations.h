#pragma once

#include <set>
#include <vector>

#include "engine/probes/bnch_language.h"
#include "engine/remediation/setup_remediation.h"

namespace bnch {

// The remediations that install a selection of languages, in order: uv for
// Python, mise when node or ruby is selected or more than one language is, Node
// and Ruby through mise, Temurin for Java, and Rust through mise when mise is
// needed, else through rustup.
std::vector<SetupRemediation> languageRemediations(const std::set<BNCHLanguage>& selection, bool refreshIndex);

}  // namespace bnch
