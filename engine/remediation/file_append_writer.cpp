#include "engine/remediation/file_append_writer.h"

#include <utility>

#include "engine/probes/shell_setup.h"
#include "engine/remediation/user_file.h"

namespace bnch {
namespace fs = std::filesystem;

namespace {

bool isOnlyWhiteSpace(std::string_view text) { return text.find_first_not_of(" \t\r\n\f\v") == std::string_view::npos; }

using user_file::describe;

std::string prefixFor(FileAppendWriter::WriteError::Kind kind) {
  switch (kind) {
    case FileAppendWriter::WriteError::Kind::readFailed:
      return "Couldn't read file: ";
    case FileAppendWriter::WriteError::Kind::backupFailed:
      return "Couldn't write backup file: ";
    case FileAppendWriter::WriteError::Kind::writeFailed:
      return "Couldn't write file: ";
  }
  return "Couldn't write file: ";
}

}  // namespace

FileAppendWriter::WriteError::WriteError(Kind kind, const std::string& underlyingDescription)
    : std::runtime_error(prefixFor(kind) + underlyingDescription), kind_(kind) {}

FileAppendWriter::FileAppendWriter(fs::path target, FileSystemOperating& fs, const ProductNames& product)
    : target_(std::move(target)), fs_(&fs), markerPrefix_(product.shellMarkerLine("")) {}

bool FileAppendWriter::containsKey(std::string_view text, std::string_view key, KeyDetection detection) {
  if (detection == KeyDetection::anywhere) return text.find(key) != std::string_view::npos;
  return shell_setup::activeLineContains(text, key);
}

bool FileAppendWriter::hasLineStartingWith(std::string_view text, std::string_view prefix) {
  return shell_setup::activeLineStartsWith(text, prefix);
}

std::string FileAppendWriter::separatorBefore(std::string_view text) {
  int lineEnds = 0;
  std::size_t end = text.size();
  while (lineEnds < 2 && end > 0 && text[end - 1] == '\n') {
    ++lineEnds;
    --end;
    if (end > 0 && text[end - 1] == '\r') --end;
  }
  if (text.empty() || lineEnds >= 2) return "";
  return lineEnds == 1 ? "\n" : "\n\n";
}

fs::path FileAppendWriter::backupPathFor(const fs::path& target) {
  fs::path backup = target;
  backup += ".bak";
  return backup;
}

FileAppendWriter::DiffPreview FileAppendWriter::preview(const Block& block) const {
  DiffPreview result;
  result.path = target_;
  result.backupPath = backupPathFor(target_);
  result.wasCreated = !fs_->fileExists(target_);
  if (!result.wasCreated) {
    try {
      result.originalContents = fs_->readData(target_);
    } catch (const std::exception& error) {
      throw WriteError(WriteError::Kind::readFailed, describe(error));
    }
  }
  if (block.headerWhenEmpty && isOnlyWhiteSpace(result.originalContents)) {
    result.originalContents = *block.headerWhenEmpty + "\n";
  }

  if (block.isPresent && block.isPresent(result.originalContents)) {
    result.alreadySet = true;
    result.proposedContents = result.originalContents;
    return result;
  }

  result.linesAdded.reserve(block.lines.size() + 1);
  result.linesAdded.push_back(markerPrefix_ + block.label);
  result.linesAdded.insert(result.linesAdded.end(), block.lines.begin(), block.lines.end());

  std::string addition = separatorBefore(result.originalContents);
  for (const auto& line : result.linesAdded) {
    addition += line;
    addition += '\n';
  }
  result.proposedContents.reserve(result.originalContents.size() + addition.size());
  result.proposedContents = result.originalContents;
  result.proposedContents += addition;
  return result;
}

FileAppendWriter::DiffPreview FileAppendWriter::preview(const std::string& line, const std::string& label,
                                                        const std::string& key, KeyDetection detection) const {
  return preview(Block{
      .lines = {line},
      .label = label,
      .isPresent = [key, detection](std::string_view text) { return containsKey(text, key, detection); },
  });
}

FileAppendWriter::DiffPreview FileAppendWriter::append(const std::string& line, const std::string& label,
                                                       const std::string& key, KeyDetection detection) {
  DiffPreview result = preview(line, label, key, detection);
  apply(result);
  return result;
}

FileAppendWriter::DiffPreview FileAppendWriter::append(const Block& block) {
  DiffPreview result = preview(block);
  apply(result);
  return result;
}

void FileAppendWriter::apply(const DiffPreview& preview) {
  if (preview.alreadySet) return;
  if (!fs_->fileExists(preview.backupPath)) {
    try {
      user_file::writeBackup(*fs_, preview.originalContents, preview.path, preview.backupPath);
    } catch (const std::exception& error) {
      throw WriteError(WriteError::Kind::backupFailed, describe(error));
    }
  }
  try {
    fs_->writeData(preview.proposedContents, preview.path);
  } catch (const std::exception& error) {
    throw WriteError(WriteError::Kind::writeFailed, describe(error));
  }
}

}  // namespace bnch
