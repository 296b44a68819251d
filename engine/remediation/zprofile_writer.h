#pragma once

#include "engine/config/product_names.h"
#include "engine/platform/file_system_operating.h"
#include "engine/remediation/file_append_writer.h"

namespace bnch {

// Puts JAVA_HOME into ~/.zprofile as a marked block labelled "Java configuration".
// The block counts as present when any line that is not a comment starts, after
// trimming, with "export JAVA_HOME=", so a person's own setting is respected.
// Backups and atomic writes as for FileAppendWriter; the file system must outlive
// the writer.
class ZprofileWriter {
 public:
  struct Options {
    bool includePathLine = false;  // also put $JAVA_HOME/bin in front of PATH
  };

  explicit ZprofileWriter(FileSystemOperating& fs, const ProductNames& product);

  // Throws FileAppendWriter::WriteError(readFailed) when ~/.zprofile exists but
  // cannot be read.
  FileAppendWriter::DiffPreview preview(Options options) const;
  // Throws FileAppendWriter::WriteError.
  void apply(const FileAppendWriter::DiffPreview& preview) { writer.apply(preview); }

  FileAppendWriter writer;
};

}  // namespace bnch
