#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace bnch {

// The languages the product can set up besides Python's own stages.
enum class BNCHLanguage { python, node, java, ruby, rust };

inline constexpr std::array<BNCHLanguage, 5> allLanguages{BNCHLanguage::python, BNCHLanguage::node, BNCHLanguage::java,
                                                          BNCHLanguage::ruby, BNCHLanguage::rust};

// "python", "node", "java", "ruby", "rust".
std::string_view toString(BNCHLanguage language);
// The language of a raw value; nothing for an unknown one.
std::optional<BNCHLanguage> languageFromString(std::string_view rawValue);
// "Python", "JavaScript (Node)", "Java (requires macOS password)", "Ruby", "Rust".
std::string_view displayName(BNCHLanguage language);

}  // namespace bnch
