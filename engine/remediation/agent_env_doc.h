#pragma once

#include <string>
#include <vector>

#include "engine/config/product_names.h"
#include "engine/platform/file_system_operating.h"
#include "engine/remediation/writer_report.h"

namespace bnch {

// Writes a note for the person's AI coding agents (~/.claude/CLAUDE.md for
// Claude, ~/.codex/AGENTS.md for Codex) that explains how this Mac's toolchain is
// set up: which manager owns which language, where PATH and API keys live.
//
// The note is appended once per file (a file that already carries it is left
// alone). Before a file with text is changed its bytes go to "<name>.bak",
// refreshed each time the note is written; the new file replaces the old in one
// atomic write. Existing bytes are kept exactly, also when not UTF-8, and a file
// that exists but cannot be read is reported and never written. Never throws; the
// file system must outlive the writer.
class AgentEnvDoc {
 public:
  // What the note describes, as detected on the file system.
  struct Detection {
    bool homebrew = false;
    bool python = false;
    bool nodeAndRuby = false;
    bool rust = false;
    bool java = false;
    bool claude = false;
    bool codex = false;

    bool operator==(const Detection&) const = default;
  };

  explicit AgentEnvDoc(FileSystemOperating& fs, const ProductNames& product);

  WriterReport write() const;

  Detection detect() const;
  // The note's lines (joined by line feeds when written), for the toolchains found.
  std::vector<std::string> blockLines(const Detection& detection) const;

 private:
  FileSystemOperating* fs_;
  std::string productName_;  // "Benchkit"
};

}  // namespace bnch
