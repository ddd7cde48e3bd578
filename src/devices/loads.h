// Fixed three-phase loads and passive filters given by their ratings.
// Power in MW or Mvar, voltage in kV, frequency in Hz, capacitance in uF.
#pragma once

#include <cstdint>

// Loads: one element value from the rating, then e_branch_cfg on b1, b2, b3 with
// only that part. k set (not 0) scales the value for a delta-connected rating
// (x 3, or x 1/3 for C). An unusable rating warns and leaves the three branches open.
void resload_cfg(std::int32_t iss, std::int32_t b1, std::int32_t b2, std::int32_t b3, std::int32_t k,
                 double p, double v);
void indload_cfg(std::int32_t iss, std::int32_t b1, std::int32_t b2, std::int32_t b3, std::int32_t k,
                 double q, double v, double f);
void capload_cfg(std::int32_t iss, std::int32_t b1, std::int32_t b2, std::int32_t b3, std::int32_t k,
                 double q, double v, double f);

// Filters: element values for the caller. An unusable rating is fatal.
void tunedfilter1_cfg(double qf, double f1, double f2, double q, double v, double& r, double& l,
                      double& c);
void bandpassfilter1_cfg(double qf, double f1, double f2, double q, double v, double& r, double& l,
                         double& c);
void ctypefilter1_cfg(double qf, double f1, double h, double q, double v, double& r, double& l,
                      double& c2, double& c1);
