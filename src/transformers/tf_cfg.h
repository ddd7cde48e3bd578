// The nameplate configuration routines of coupled transformers, called by the
// case in its begin pass at time zero. Each checks its data, writes the winding
// record rt_config::tfdata (R and Gamma for the ideal coupling of form 1, R and
// L with the magnetising inductance otherwise) and forms transformer k through
// wakro_settfparm; before it writes the record it makes the formation's checks
// (check_tf_handover): k is a transformer read, of the routine's winding count,
// and not a UMEC one ("Transformer k is a UMEC transformer").
//
// Units: S in MVA, f in Hz, reactances in pu of S on the voltage of the lower
// numbered winding of a pair, copper losses in pu of S, voltages in kV, the
// magnetising current Im in percent of rated current.
//
// Failed checks are written with wakro_message (severity 2, one line, the ids of
// e_warn) and end the run under the routine's tag (mode 0): all of them first,
// except e_tf4w_cfg, which warns and stops at the first. A threshold is passed
// only by a value at least as large, so a NaN is refused with its check's text.
#pragma once

#include <cstdint>

void e_tf2w_cfg(std::int32_t k, std::int32_t form, double s, double f, double x, double pcu,
                double v1, double v2, double im);
void e_tf2wa_cfg(std::int32_t k, std::int32_t form, double s, double f, double x, double pcu,
                 double vh, double vl, double im);
void e_tf3w_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                double x23, double pcu, double v1, double v2, double v3, double im);
void e_tf3w2_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                 double x23, double p12, double p13, double p23, double v1, double v2, double v3,
                 double im);
void e_tf3wa_cfg(std::int32_t k, std::int32_t form, double s, double f, double xhl, double xht,
                 double xlt, double pcu, double vh, double vl, double vt, double im);
void e_tf4w_cfg(std::int32_t k, double s, double f, double x12, double x13, double x14, double x23,
                double x24, double x34, double pcu, double v1, double v2, double v3, double v4,
                double im);
// Four windings with a form selector: form 1 the ideal coupling (idealymatrix),
// other forms the inductance form with the magnetising branch. e_tf4w3_cfg takes
// each winding's copper loss, e_tf4w2_cfg the total shared equally. All failed
// checks are reported before the run ends under "TF_4WDG     ".
void e_tf4w3_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                 double x14, double x23, double x24, double x34, double p1, double p2, double p3,
                 double p4, double v1, double v2, double v3, double v4, double im);
void e_tf4w2_cfg(std::int32_t k, std::int32_t form, double s, double f, double x12, double x13,
                 double x14, double x23, double x24, double x34, double pcu, double v1, double v2,
                 double v3, double v4, double im);
