// The voltage-dependent current-order characteristics of a converter's controls:
// vdvocr for a rectifier (no state) and vdvoci for an inverter (three stor slots).
//
// Both give the current order for a power order P at a DC voltage, all in per
// unit:
//   - the power current Ip = P / (|Vd| + 0.001), Vd the measured DC voltage;
//   - the characteristic's voltage V, bounded below by 0.001: vdvocr takes Vd,
//     vdvoci cos^2 a - (cos^2 b - cos^2 c) x ratio of its three angles (radians);
//   - the break point Vb bounded to [0.01, 1.0], the low-voltage point Vl bounded
//     below by 0.009 and then to at most 0.9 Vb, the low-voltage current
//     Il = min(Imax, Ilow);
//   - hysteresis of width h = 0.1 (h = (1 - Vb) / 2 when Vb > 0.9) on falling
//     voltage: the voltage output Vo follows a rising V, and on a falling V stays
//     up to h above it (Vo = min(max(Vo_last, V), V + h)); at time zero Vo = V;
//   - on Vo the characteristic: at or below Vl the current is Il; between Vl and
//     Vb it follows the straight line from (Vl, Il) to the current at the break
//     point, Ib = P / (Vb + 0.001), slope (Ib - Il) / (Vb - Vl + 1e-5); at or
//     above Vb it is Ip;
//   - the current output is finally limited to Imax (never above it).
// Bounded parameters are used as bounded; the caller's arguments are not
// changed (but for vdvocr's voltage output, which carries its hysteresis).
//
// Slots per call ("stor" from nexc + 1 on):
//   vdvocr  none
//   vdvoci  stor 3, nexc + 3 on every call: slope and offset (Il - slope Vl) of
//           this call's line, the voltage output of this call (the next call's
//           Vo_last)
#pragma once

#include <cstdint>

namespace wakro::blocks::layout {
namespace vdvoci {  // stor
enum : std::int32_t { kSlope = 1, kOffset, kLastVoltage, kStorSize = kLastVoltage };
}
}  // namespace wakro::blocks::layout

// Rectifier: P power order, Vd measured DC voltage, Imax the largest current
// order, Vb break-point voltage, Ilow low-voltage current, Vl low-voltage point;
// Vo (in: the voltage output of the last call; out: this call's) and Io (out)
// the current order.
void vdvocr(double P, double Vd, double Imax, double Vb, double Ilow, double Vl, double& Vo, double& Io);

// Inverter: the arguments of vdvocr (Vo out only, its memory kept in the slots),
// then the angles a, b, c (radians) and the ratio that give the characteristic's
// voltage.
void vdvoci(double P, double Vd, double Imax, double Vb, double Ilow, double Vl, double& Vo, double& Io,
            double a, double b, double c, double ratio);
