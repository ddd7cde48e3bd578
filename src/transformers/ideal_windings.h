// Ideal (no magnetising branch) transformers of any number of windings, and the
// configuration of a transformer from a winding file. Begin-pass routines with
// the calling rules of the nameplate family (tf_cfg.h): each writes the winding
// record rt_config::tfdata and forms the transformer through wakro_settfparm,
// having checked first (check_tf_handover) the transformer number, each unit's
// of a bank, that its winding count is N and that it is not a UMEC transformer.
//
// Pair reactances X are packed by columns of the upper triangle: X12; X13, X23;
// X14, X24, X34; ... (pair (i, j), i < j, at (j-1)(j-2)/2 + i, from 1), in pu of
// S on the voltage of winding i.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// The inverse inductance matrix Gamma [1/H] of n ideally coupled windings, into
// y (n x n, column-major): the short-circuit reactance matrix referred to the
// last winding, inverted and bordered so that every row and column sums to zero,
// scaled by 2 pi f S / (Vi Vj). Returns false (y cleared) when n < 2, a vector is
// short, or the reactance matrix is singular (pair reactances that do not fit
// together). Allocates its work space per call.
[[nodiscard]] bool idealymatrix(std::int32_t n, double f, double s, std::span<const double> x,
                                std::span<const double> v, std::span<double> y);

// An N-winding transformer in the ideal form from argument arrays: X packed as
// above (N(N-1)/2), copper losses P (N, pu of S) and voltages V (N, kV). Checks
// under "TF_NWDG     ": 2 <= N <= the windings dimension and the array sizes;
// S, then the voltages (one message), then the leakages (stops at once); f > 0;
// a singular reactance matrix is refused as a leakage value.
void e_tfnw1_cfg(std::int32_t k, std::int32_t n, double s, double f, std::span<const double> x,
                 std::span<const double> p, std::span<const double> v);

// An N-winding transformer from a winding file, handed to k1 and to k2 and k3
// when they are not 0. type 1: pair short-circuit reactances (pu) and
// resistances (pu on each winding's base), ideal form; type 2: the inductance
// matrix (H) and resistances (ohm). The file: optional comment lines, the matrix
// one value per line (type 1, N(N-1)/2 values: for i = 1..N-1, r = i+1..N the
// reactance of windings r and i; type 2, N(N+1)/2 values: L11; L21, L22; ...),
// optional comment lines, a resistance flag (0: none), and when it is not 0, N
// rows of 1, 2, ..., N values whose last is the winding's resistance. An end of
// file or a value that is not a number gives the two-line error "Unexpected
// error in reading file " and the name. Tag "N_WDG_TF_CFG". The input-unit
// stack and fnames::filename and section are left as found, on a stop too.
void n_wdg_tf_cfg(std::int32_t k1, std::int32_t k2, std::int32_t k3, std::int32_t type,
                  std::int32_t n, double f, double s, std::span<const double> v,
                  std::string_view file);
