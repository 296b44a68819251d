#include "engine/remediation/zprofile_writer.h"

namespace bnch {

ZprofileWriter::ZprofileWriter(FileSystemOperating& fs, const ProductNames& product)
    : writer(fs.homeDirectory() / ".zprofile", fs, product) {}

FileAppendWriter::DiffPreview ZprofileWriter::preview(Options options) const {
  FileAppendWriter::Block block{
      .lines = {"export JAVA_HOME=$(/usr/libexec/java_home)"},
      .label = "Java configuration",
      .isPresent =
          [](std::string_view text) { return FileAppendWriter::hasLineStartingWith(text, "export JAVA_HOME="); },
  };
  if (options.includePathLine) block.lines.push_back("export PATH=\"$JAVA_HOME/bin:$PATH\"");
  return writer.preview(block);
}

}  // namespace bnch
