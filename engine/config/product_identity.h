#pragma once

// The maker's identity, chosen once: the reverse-domain prefix of every stored
// setting and the host of the web guide that articles link to.
namespace bnch::identity {

inline constexpr const char* makerReverseDomain = "com.quillora";
inline constexpr const char* articleHost = "https://quillora.com";
inline constexpr const char* warpHost = "https://www.warp.dev";

}  // namespace bnch::identity
