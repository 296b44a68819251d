#pragma once

#include <cstdint>
#include <exception>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "engine/platform/file_system_operating.h"

namespace bnch::user_file {

// Small helpers shared by the writers that change the person's files.

// The sentence describing a failure: a FileSystemError's description, else what().
std::string describe(const std::exception& error);

// The path as the person reads it: the home folder prefix written as "~".
std::string displayPath(const std::filesystem::path& path, const std::filesystem::path& home);

// A file's exact bytes, or nothing when it does not exist. Throws the file
// system's error when it exists but cannot be read (a folder, no permission):
// callers must then leave it alone rather than treat it as empty.
// Items that are not regular files and files over the read limit are refused too.
std::optional<std::string> readExisting(const FileSystemOperating& fs, const std::filesystem::path& path);

// Writes `bytes`, a copy of `original`, to `backup` atomically with permission bits
// never wider than the original's (owner-only at most; 0600 when the original is a
// link or gone), from the first byte on: a backup never exposes what the original
// kept private.
void writeBackup(FileSystemOperating& fs, const std::string& bytes, const std::filesystem::path& original,
                 const std::filesystem::path& backup);

// The text to put between existing text and an appended block: nothing after
// empty text, one line feed after a line end, two otherwise.
std::string_view blockSeparator(std::string_view existing);

}  // namespace bnch::user_file
