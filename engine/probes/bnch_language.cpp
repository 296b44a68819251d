#include "engine/probes/bnch_language.h"

namespace bnch {

std::string_view toString(BNCHLanguage language) {
  switch (language) {
    case BNCHLanguage::python:
      return "python";
    case BNCHLanguage::node:
      return "node";
    case BNCHLanguage::java:
      return "java";
    case BNCHLanguage::ruby:
      return "ruby";
    case BNCHLanguage::rust:
      return "rust";
  }
  return "python";
}

std::optional<BNCHLanguage> languageFromString(std::string_view rawValue) {
  for (BNCHLanguage language : allLanguages) {
    if (toString(language) == rawValue) return language;
  }
  return std::nullopt;
}

std::string_view displayName(BNCHLanguage language) {
  switch (language) {
    case BNCHLanguage::python:
      return "Python";
    case BNCHLanguage::node:
      return "JavaScript (Node)";
    case BNCHLanguage::java:
      return "Java (requires macOS password)";
    case BNCHLanguage::ruby:
      return "Ruby";
    case BNCHLanguage::rust:
      return "Rust";
  }
  return "Python";
}

}  // namespace bnch
