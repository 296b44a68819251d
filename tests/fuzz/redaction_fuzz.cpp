// Any text through the redaction of usage events: what the person typed, their
// home folder and their account name never come out, whatever surrounds them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/telemetry/error_text_redaction.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

bool isNameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
         c == '-' || static_cast<unsigned char>(c) >= 0x80;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const bnch::PrivateValues values{
      .typedValues = {"sk-fuzz-0123456789", "alice@example.org"},
      .homeFolder = "/Volumes/Home/alice",
      .accountName = "alice",
  };
  const std::string output = bnch::redactedText(input, values);
  require(output.find("sk-fuzz-0123456789") == std::string::npos);
  require(output.find("alice@example.org") == std::string::npos);
  // The home folder and the account name are left only inside longer names
  // ("/Volumes/Home/alice2", "malice"), and no "/Users/<name>" but "/Users/~".
  const auto followedByName = [&](std::size_t end) { return end < output.size() && isNameCharacter(output[end]); };
  for (auto at = output.find("/Volumes/Home/alice"); at != std::string::npos;
       at = output.find("/Volumes/Home/alice", at + 1)) {
    require(followedByName(at + 19));
  }
  for (auto at = output.find("alice"); at != std::string::npos; at = output.find("alice", at + 1)) {
    const bool inLongerName = (at > 0 && isNameCharacter(output[at - 1])) || followedByName(at + 5);
    require(inLongerName);
  }
  for (auto at = output.find("/Users/"); at != std::string::npos; at = output.find("/Users/", at + 1)) {
    require(!followedByName(at + 7));
  }
  return 0;
}
