#include "engine/remediation/project_template.h"

namespace bnch {

std::string_view toString(ProjectTemplate projectTemplate) {
  switch (projectTemplate) {
    case ProjectTemplate::simple:
      return "simple";
    case ProjectTemplate::coding:
      return "coding";
    case ProjectTemplate::python:
      return "python";
  }
  return "simple";
}

std::optional<ProjectTemplate> projectTemplateFromString(std::string_view text) {
  for (auto candidate : {ProjectTemplate::simple, ProjectTemplate::coding, ProjectTemplate::python}) {
    if (toString(candidate) == text) return candidate;
  }
  return std::nullopt;
}

std::string_view folderName(ProjectTemplate projectTemplate) {
  switch (projectTemplate) {
    case ProjectTemplate::simple:
      return "AI-Simple-Project";
    case ProjectTemplate::coding:
      return "AI-Coding-Project";
    case ProjectTemplate::python:
      return "Python-Example-Project";
  }
  return "AI-Simple-Project";
}

}  // namespace bnch
