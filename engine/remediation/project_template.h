#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bnch {

enum class ProjectTemplate { simple, coding, python };

std::string_view toString(ProjectTemplate projectTemplate);  // "simple", "coding", "python"
std::optional<ProjectTemplate> projectTemplateFromString(std::string_view text);
// The bundled folder: "AI-Simple-Project", "AI-Coding-Project", "Python-Example-Project".
std::string_view folderName(ProjectTemplate projectTemplate);

}  // namespace bnch
