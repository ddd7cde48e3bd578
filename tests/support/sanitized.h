// Whether this build runs under AddressSanitizer: long runs of the simulated
// case are cut short there, where every step costs several times as much.
#pragma once

namespace wakro_test {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kSanitized = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif
#else
inline constexpr bool kSanitized = false;
#endif

}  // namespace wakro_test
