// The checks of one nameplate configuration call, shared by the winding
// (tf_cfg.cpp) and UMEC (umec_cfg.cpp) routines: each failure is reported with
// the component's ids; the run ends under the tag after all of them (collect)
// or at the first (stop_at_first, as a warning). With the nameplate refusals
// these routines and the ideal multi-winding forms report.
#pragma once

#include <string_view>

#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_warn.h"

namespace wakro {

// The nameplate refusals of the configuration routines.
namespace nameplate_text {
inline constexpr std::string_view kMvaText = "Unrealistic Transformer MVA Rating.";
inline constexpr std::string_view kVoltageText = "Unrealistic Transformer Voltage Rating.";
inline constexpr std::string_view kLeakageText = "Unrealistic Transformer Leakage Value.";
inline constexpr std::string_view kFrequencyText = "Unrealistic Transformer Frequency.";
inline constexpr std::string_view kMagnetisingText = "Unrealistic Transformer Magnetising Current.";
}  // namespace nameplate_text

class CfgChecks {
 public:
  CfgChecks(std::string_view tag, bool stop_at_first) : tag_(tag), first_(stop_at_first) {}
  // Reports `text` unless ok holds.
  void require(bool ok, std::string_view text) {
    if (ok) return;
    failed_ = true;
    if (first_) {
      wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, text);
      wakro_quit(tag_, 0);
    }
    wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                  text);
  }
  // Reports `text` unless ok holds and then ends the run at once, in either style.
  void require_now(bool ok, std::string_view text) {
    if (ok) return;
    if (first_)
      wakro_warn(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kSingleLine, text);
    else
      wakro_message(e_warn::comp_id1, e_warn::comp_id2, wakro::msg::kError, wakro::msg::kSingleLine,
                    text);
    wakro_quit(tag_, 0);
  }
  void finish() const {
    if (failed_) wakro_quit(tag_, 0);
  }
  std::string_view tag() const { return tag_; }

 private:
  std::string_view tag_;
  bool first_;
  bool failed_ = false;
};

}  // namespace wakro
