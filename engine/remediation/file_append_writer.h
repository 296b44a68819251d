#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "engine/config/product_names.h"
#include "engine/platform/file_system_operating.h"

namespace bnch {

// Appends marked blocks to one of the person's text files (a shell start-up file).
//
// A change is computed first as a DiffPreview and then applied: the first time a
// file is changed its previous contents go to a sibling backup ("<name>.bak"),
// which is never overwritten afterwards, so it keeps the oldest version; then the
// new contents replace the file in one atomic write. A block is never appended
// when its key is already present, so running the same step twice changes nothing.
//
// The existing bytes are kept exactly, also when they are not valid UTF-8 (keys
// are looked up in the raw bytes, which for ASCII keys is the same as looking
// them up in a lossy UTF-8 decoding). A file that exists but cannot be read is
// never written: preview() throws WriteError(readFailed).
//
// The file system must outlive the writer. Not thread-safe for one target: two
// writers appending to the same file at once may lose one block.
class FileAppendWriter {
 public:
  struct DiffPreview {
    std::filesystem::path path;
    std::filesystem::path backupPath;  // path with ".bak" appended to its name
    // The file's bytes before the change (empty when it did not exist); they are
    // what the backup receives and may not be valid UTF-8 when the file wasn't.
    std::string originalContents;
    std::string proposedContents;         // equal to originalContents when alreadySet
    std::vector<std::string> linesAdded;  // marker line first; empty when alreadySet
    bool alreadySet = false;
    bool wasCreated = false;

    bool operator==(const DiffPreview&) const = default;
  };

  class WriteError : public std::runtime_error {
   public:
    enum class Kind { readFailed, backupFailed, writeFailed };
    WriteError(Kind kind, const std::string& underlyingDescription);
    Kind kind() const noexcept { return kind_; }
    // "Couldn't read file: …", "Couldn't write backup file: …" or
    // "Couldn't write file: …" followed by the underlying error's description.
    std::string description() const { return what(); }

   private:
    Kind kind_;
  };

  // How the key of a block is looked up in the existing text.
  enum class KeyDetection {
    anywhere,              // the key occurs anywhere in the text
    ignoringCommentLines,  // the key occurs in a line that, trimmed, doesn't start with "#"
  };

  // A block to append, described fully.
  struct Block {
    std::vector<std::string> lines;  // without the marker line
    std::string label;               // the marker line's title
    // True when the existing text already holds the block.
    std::function<bool(std::string_view text)> isPresent;
    // When set and the file is missing or holds only white space, this line (plus
    // a line feed) is taken as the file's starting text. It is written together
    // with the block, and the backup records it as the earlier contents.
    std::optional<std::string> headerWhenEmpty;
  };

  explicit FileAppendWriter(std::filesystem::path target, FileSystemOperating& fs, const ProductNames& product);

  const std::filesystem::path& target() const { return target_; }

  // Computes the change without writing anything. Throws WriteError(readFailed).
  DiffPreview preview(const Block& block) const;
  DiffPreview preview(const std::string& line, const std::string& label, const std::string& key,
                      KeyDetection detection) const;

  // Computes the preview, applies it and returns it. Throws WriteError.
  DiffPreview append(const std::string& line, const std::string& label, const std::string& key, KeyDetection detection);
  DiffPreview append(const Block& block);

  // Writes the backup (only when none exists yet) and then the new contents.
  // Does nothing for a preview that is alreadySet. When the backup cannot be
  // written the target is not touched. Throws WriteError.
  void apply(const DiffPreview& preview);

  // Key rules, exposed for the other writers and the probes.
  static bool containsKey(std::string_view text, std::string_view key, KeyDetection detection);
  // True when a line that is not a comment starts, after trimming, with `prefix`.
  static bool hasLineStartingWith(std::string_view text, std::string_view prefix);
  // The separator that leaves one blank line between earlier text and a block:
  // "" after empty text or a blank line, "\n" after one line end, "\n\n" otherwise.
  // A CR LF pair counts as one line end.
  static std::string separatorBefore(std::string_view text);
  // The sibling backup path: "<name>.bak".
  static std::filesystem::path backupPathFor(const std::filesystem::path& target);

 private:
  std::filesystem::path target_;
  FileSystemOperating* fs_;
  std::string markerPrefix_;  // e.g. "# Benchkit — "; the label follows
};

}  // namespace bnch
