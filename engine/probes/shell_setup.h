#pragma once

#include <string_view>

#include "engine/platform/file_system_operating.h"

namespace bnch::shell_setup {

// The lines whose presence outside comments marks the shell set-up as done: in
// ~/.zprofile and in ~/.zshrc.
inline constexpr std::string_view zprofileKey = "typeset -U path PATH";
inline constexpr std::string_view zshrcKey = "source \"$HOME/.env\"";

// Whether a line of `text` that is not a comment (after leading blanks, no '#')
// contains `key`, or begins with `prefix`.
bool activeLineContains(std::string_view text, std::string_view key);
bool activeLineStartsWith(std::string_view text, std::string_view prefix);

// True only when ~/.zprofile has an active line containing zprofileKey, ~/.zshrc
// one containing zshrcKey, and ~/.env exists. Unreadable files count as not set
// up. Reads only; never throws.
bool isConfigured(const FileSystemOperating& fs);

}  // namespace bnch::shell_setup
