// The skeleton that the multi-winding core-saturation members share
// (multiwinding_saturation.h): the branch table, the rating checks and the
// common record positions of set-up; per step the transformer's tap-adjusted
// turns ratios and leakages, the voltages and winding-1 currents behind the
// leakage of winding 1, and the sharing of the magnetising current among the
// windings with its injection.
//
// The record positions the members share are declared in
// wakro::transformers::layout::multiwinding (multiwinding_saturation.h).
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

#include "blocks/slots.h"
#include "model/constants.h"
#include "transformers/multiwinding_saturation.h"
#include "transformers/saturation_curve.h"

namespace wakro::mw {

inline constexpr std::int32_t kPhases = 3;
inline constexpr std::int32_t kMinWindings = 2, kMaxWindings = 4;
using wakro::kTwoPi;
inline constexpr double kSqrt2 = 1.414213562373095;
inline constexpr double kLeastTap = 0.001, kRescaleTap = 0.001;

// A configuration record addressed by position from 0.
class Record {
 public:
  explicit Record(blocks::Slots<double> s) : s_(s) {}
  double& operator[](std::int32_t pos) const { return s_(pos + 1); }

 private:
  blocks::Slots<double> s_;
};

// The twelve magnetising branches, by winding 1..4 and phase 1..3.
struct Branches {
  std::array<std::int32_t, 12> b{};
  std::int32_t operator()(std::int32_t w, std::int32_t p) const {
    return b[(w - 1) * kPhases + (p - 1)];
  }
};

// The three units kA, kB, kC of the phases.
using Units = std::array<std::int32_t, kPhases>;
using PerPhase = std::array<double, kPhases>;

// Where a member keeps, in its state block, the current of phase A (B and C
// follow) and the share of winding 1 in phase A (then phase-major, NW a phase).
struct Layout {
  std::int32_t current;
  std::int32_t shares;
};

// Nameplate of the windings as given at set-up.
struct Rating {
  std::int32_t nw = 0;
  double s = 0.0, f = 0.0;
  std::array<double, 6> x{};  // pair leakage reactances [pu]: 12, 13, 23, then three more
  std::array<double, 4> v{};  // rated voltages of windings 1..4 [kV]
};

// Collects the set-up refusals of one component: each failure is reported
// with the component's ids; stop() ends the run under the tag when any failed.
class Refusals {
 public:
  explicit Refusals(std::string_view tag) : tag_(tag) {}
  void require(bool ok, std::string_view text);
  bool any() const { return failed_; }
  void stop() const;

 private:
  std::string_view tag_;
  bool failed_ = false;
};

// Set-up -------------------------------------------------------------------

// NW in 2..4, S, V1..VNW and (when check_f) f above 0, the used leakage
// reactances above 0 (12; 12, 13, 23; all six for NW = 4). Returns false when NW
// itself is out of range (nothing else is then checked).
bool check_rating(Refusals& no, const Rating& a, bool check_f);
// The subsystem and every present branch of windings 1..NW exist.
void check_branches(std::string_view tag, std::int32_t nw, const Branches& br, std::int32_t ss);
// Present branches in phase-major order: conductance 0, left to this component,
// one harmonic-registry record each.
void take_branches(std::string_view tag, std::int32_t nw, const Branches& br, std::int32_t ss);
// Positions 1, 2 (advance coefficients) and 15..23 (turns, leakages).
void write_windings(const Record& r, const Rating& a, const Branches& br);
// The curve constants at positions 3..5 and 7..11 (as the three-phase form
// keeps them) with S at 8.
void write_curve(const Record& r, const sat::Curve& q, double s);
// The end of every member's set-up: the run stopped when a check failed, the
// branches checked and made current sources of this component, then the
// record of `size` positions claimed with positions 1, 2 and 15..23 written.
Record claim_record(const Refusals& no, std::string_view tag, const Rating& a, const Branches& br,
                    std::int32_t ss, std::int32_t size);

// Per step -----------------------------------------------------------------

// First step: the units in 1..jset, the winding count of kA equal to NW, the
// subsystem and the branches.
void check_units(std::string_view tag, const Units& k, std::int32_t nw, const Branches& br,
                 std::int32_t ss);

// What every member's step opens with: its record and state block, and NW
// from record position nw_pos (a whole number kMinWindings .. kMaxWindings, or
// the run stops: see store_integer.h); on the first step the units are checked.
struct StepCall {
  Record r;
  blocks::Slots<double> st;
  std::int32_t nw;
};
StepCall open_step(std::string_view tag, std::int32_t record_size, std::int32_t state_size,
                   std::int32_t nw_pos, const Units& k, const Branches& br, std::int32_t ss);

// The transformer at this step, as the core sees it.
struct Unit {
  std::int32_t nw = 0;
  double scale = 1.0;          // T: the tap when it is on the core's winding, else 1
  std::array<double, 5> n{};   // turns ratios N1 = 1 .. N4, tap-adjusted (index = winding)
  std::array<double, 5> l{};   // star leakage inductances L1 .. L3 scaled by T^2 [H]
  std::array<double, 5> rh{};  // half-step resistances referred to winding 1 [ohm]
  double r1 = 0.0;             // winding-1 resistance of unit kA [ohm]
};
// core_winding: the winding that carries the magnetising branch (1 behind
// winding 1).
Unit unit_at_step(const Record& r, std::int32_t nw, std::int32_t ka, std::int32_t tap_winding,
                  double tap, std::int32_t core_winding);

// The voltages that drive each phase's flux, advanced one step for a full
// three-phase set, and the winding-1 current (0 across a selected winding).
struct Terminal {
  std::array<bool, kPhases> present{};
  PerPhase w{};   // advanced voltage [kV]
  PerPhase ip{};  // winding-1 current behind the leakage [kA]
};
// sel 0: behind winding 1 (resistive drop taken off); 1..4: directly across
// that winding's branches.
Terminal terminal(const blocks::Slots<double>& st, const Record& r, Layout at, const Unit& u,
                  const Branches& br, std::int32_t sel, std::int32_t ss, const Units& k);

// Enable 0: the currents cleared, nothing else written. Otherwise, sel 0: the
// shares formed from the previous ones and the change of the current, stored
// and injected by the turns ratios; sel 1..4: each current into the selected
// winding's branch, shares 0.
void inject(const blocks::Slots<double>& st, Layout at, const Unit& u, const Branches& br,
            std::int32_t sel, std::int32_t ss, std::int32_t enable, const PerPhase& previous,
            const Terminal& term);

}  // namespace wakro::mw
