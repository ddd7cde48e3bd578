// Each line below the first two holds one position without a name; the last
// three hold named ones, which the check passes.
void f() { s(7) = 1.0; }
void g() { x = ch(12); }
void h() { y = r5[3]; }
void k() { const auto r = blocks::take_rtci(12); }
void m() { s(kFlux) = r(kCfgXa) + ch(kVoltage) + rec[kFirst]; }
void n() { const auto one = blocks::take_stori(1); }  // s(7) in a comment
void p() { const double tail[11] = {}; }
