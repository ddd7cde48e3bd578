// Line-constants records of the frequency-dependent lines, written from a fit
// held in memory, and the fit's value at a frequency for the closed forms.
//
// PhaseFit: the FRE-PHASE data of an n-conductor line: Yc(s) = D + sum over
// poles of R/(s - s_q) (the same pole locations s_q for every column), and per
// delay group H_g(s) = sum over poles of R/(s - s_q), delayed by tau_g seconds.
// Residue matrices are stored column by column: R[(c - 1) n + r - 1].
#pragma once

#include <cmath>
#include <complex>
#include <iomanip>
#include <sstream>
#include <string>
#include <vector>

namespace linetest {

using cplx = std::complex<double>;

struct PhaseGroup {
  double tau = 0.0;
  std::vector<cplx> poles;                 // locations as written
  std::vector<std::vector<cplx>> residues; // per pole, n x n
};

struct PhaseFit {
  int n = 1;
  std::vector<cplx> yc_poles;
  std::vector<std::vector<cplx>> yc_residues;  // per pole, n x n
  std::vector<double> d;                       // n x n
  std::vector<PhaseGroup> groups;
  std::string options;                         // option lines before the data

  static std::size_t at(int n, int r, int c) { return static_cast<std::size_t>((c - 1) * n + r - 1); }

  cplx yc(int r, int c, double w) const {
    cplx v = d[at(n, r, c)];
    for (std::size_t q = 0; q < yc_poles.size(); ++q)
      v += yc_residues[q][at(n, r, c)] / (cplx(0.0, w) - yc_poles[q]);
    return v;
  }
  // H(jw) of all groups with their delays.
  cplx h(int r, int c, double w) const {
    cplx v = 0.0;
    for (const PhaseGroup& g : groups) {
      cplx hg = 0.0;
      for (std::size_t q = 0; q < g.poles.size(); ++q)
        hg += g.residues[q][at(n, r, c)] / (cplx(0.0, w) - g.poles[q]);
      v += hg * std::exp(cplx(0.0, -w * g.tau));
    }
    return v;
  }

  // The model line and the data, one item to a line as the reader takes them.
  std::string file() const {
    std::ostringstream os;
    os << std::setprecision(17) << "FRE-PHASE\n" << options << "Characteristic\nadmittance\n"
       << n << "\nYc\n";
    for (int c = 1; c <= n; ++c) {
      os << yc_poles.size() << "\n";
      for (std::size_t q = 0; q < yc_poles.size(); ++q) {
        os << yc_poles[q].real() << "\n" << yc_poles[q].imag() << "\n";
        for (int r = 1; r <= n; ++r)
          os << yc_residues[q][at(n, r, c)].real() << "\n" << yc_residues[q][at(n, r, c)].imag() << "\n";
      }
    }
    for (int c = 1; c <= n; ++c)
      for (int r = 1; r <= n; ++r) os << d[at(n, r, c)] << "\n";
    os << "Propagation\nfunction\n" << groups.size() << "\nDelays\n";
    for (const PhaseGroup& g : groups) os << g.tau << "\n";
    os << "Poles\n";
    for (const PhaseGroup& g : groups) {
      os << g.poles.size() << "\n";
      for (cplx s : g.poles) os << s.real() << "\n" << s.imag() << "\n";
    }
    os << "Residues\n";
    for (const PhaseGroup& g : groups)
      for (int c = 1; c <= n; ++c)
        for (int r = 1; r <= n; ++r)
          for (const auto& R : g.residues) os << R[at(n, r, c)].real() << "\n" << R[at(n, r, c)].imag() << "\n";
    return os.str();
  }
};

// A fit of an n-conductor line with np slow poles in every Yc column and in
// each of two delay groups (aerial modes after 10.3 steps of delt, the ground
// mode after 12.6), the poles spread from 300 to 30000 rad/s: Yc(0) = 1.3 D,
// H(0) = 0.9 in each group.
inline PhaseFit spread_fit(int n, int np, double delt) {
  PhaseFit f;
  f.n = n;
  const auto at = [n](int r, int c) { return PhaseFit::at(n, r, c); };
  f.d.assign(static_cast<std::size_t>(n * n), -1.0 / 3000.0);
  for (int c = 1; c <= n; ++c) f.d[at(c, c)] = 1.0 / 350.0;
  std::vector<double> a;
  for (int q = 0; q < np; ++q) a.push_back(np == 1 ? 1000.0 : 300.0 * std::pow(100.0, q / (np - 1.0)));
  PhaseGroup aerial, ground;
  aerial.tau = 10.3 * delt;
  ground.tau = 12.6 * delt;
  for (double aq : a) {
    std::vector<cplx> R(f.d.size()), M1(f.d.size()), M2(f.d.size());
    for (int c = 1; c <= n; ++c)
      for (int r = 1; r <= n; ++r) {
        R[at(r, c)] = 0.3 * aq / np * f.d[at(r, c)];
        M2[at(r, c)] = 0.9 * aq / np / n;
        M1[at(r, c)] = 0.9 * aq / np * ((r == c ? 1.0 : 0.0) - 1.0 / n);
      }
    f.yc_poles.push_back(-aq);
    f.yc_residues.push_back(R);
    aerial.poles.push_back(-aq);
    aerial.residues.push_back(M1);
    ground.poles.push_back(-aq);
    ground.residues.push_back(M2);
  }
  f.groups = {aerial, ground};
  return f;
}

// A header-form record of an n-conductor line in subsystem 1, sending nodes
// first..first+n-1, receiving nodes first+n..first+2n-1, its data in `file`.
inline std::string header_record(int n, const std::string& file, int first = 1) {
  std::ostringstream os;
  os << "Quolb Line Constants\n" << n << " 0\n1";
  for (int c = 0; c < n; ++c) os << " " << first + c;
  os << " 1 0 1 0\n1";
  for (int c = 0; c < n; ++c) os << " " << first + n + c;
  os << " 1 0 1 0\nTLINE-INPUT-DATA  fd line\nTLINE-OUTPUT-DATA " << file << "\n";
  return os.str();
}

// A FRE-DEP record in the pole/residue form for an n-conductor line: every
// mode of travel time t_ms with the Zc fit (c0, poles, residues), an A fit of
// the same count of poles at ten times the Zc poles, its value at s = 0 a0
// shared out among them (no poles: the constant a0), and the identity
// transformation.
inline std::string fredep_poles_record(int n, double t_ms, double c0, const std::vector<double>& poles,
                                       double residue, double a0) {
  std::ostringstream os;
  os << std::setprecision(17) << "FRE-DEP " << n << " 0 0 0\n";
  const auto list = [&os](const std::vector<double>& v) {
    for (std::size_t k = 0; k < v.size(); k += 6) {
      for (std::size_t j = k; j < v.size() && j < k + 6; ++j) os << v[j] << " ";
      os << "\n";
      for (std::size_t j = k; j < v.size() && j < k + 6; ++j) os << "0 ";
      os << "\n";
    }
  };
  const std::size_t np = poles.size();
  std::vector<double> zp, ap, zr(np, residue), ar;
  for (double p : poles) {
    zp.push_back(-p);
    ap.push_back(-10.0 * p);
    ar.push_back(10.0 * p * a0 / static_cast<double>(np));
  }
  for (int i = 1; i <= n; ++i) {
    os << "0 0 " << t_ms << "\n" << np << " " << c0 << " 0\n";
    list(zp);
    list(zr);
    os << np << " " << (np == 0 ? a0 : 0.0) << " 0\n";
    list(ap);
    list(ar);
    for (int c = 1; c <= n; ++c) os << "0 " << (c == i ? 1.0 : 0.0) << " 0\n";
  }
  return os.str();
}

// The MFDTD data of an n-conductor line: largest velocity [m/s], length,
// R, L, G, C per metre (n x n, column by column) and the fit sum over poles of
// A_p / (s - alpha_p).
struct MfdtdFit {
  int n = 1;
  double vmax = 3.0e8, length = 31000.0;
  std::vector<double> r, l, g, c;
  std::vector<cplx> poles;
  std::vector<std::vector<cplx>> residues;  // per pole, n x n

  std::string file() const {
    std::ostringstream os;
    const auto upper = [&](auto&& item) {
      for (int i = 1; i <= n; ++i)
        for (int j = i; j <= n; ++j) item(PhaseFit::at(n, i, j));
    };
    os << std::setprecision(17) << "MFDTD " << std::setw(2) << n << " " << std::setw(2) << poles.size()
       << "\n" << vmax << "\n" << length << "\n";
    for (const std::vector<double>* m : {&r, &l, &g, &c}) upper([&](std::size_t k) { os << (*m)[k] << "\n"; });
    os << poles.size() << "\n";
    for (std::size_t p = 0; p < poles.size(); ++p) {
      os << poles[p] << "\n";  // "(re,im)"
      upper([&](std::size_t k) { os << residues[p][k] << "\n"; });
    }
    return os.str();
  }
};

// A lossless one-conductor line without poles: surge impedance zc, wave
// velocity v (also the largest velocity).
inline MfdtdFit lossless_mfdtd(double zc, double v, double length) {
  return {1, v, length, {0.0}, {zc / v}, {0.0}, {1.0 / (zc * v)}, {}, {}};
}

// A lossy passive n-conductor line, every mode slower than 3e8 m/s: per metre
// L = 1.2 uH (0.3 uH mutual), C = 12 pF (-2 pF mutual), R = 30 uohm, G = 1 pS;
// np real poles alpha_p = -a_p from 300 to 30000 rad/s with A_p = a_p R / 3.
inline MfdtdFit lossy_mfdtd(int n, int np, double length) {
  const auto matrix = [n](double self, double mutual) {
    std::vector<double> m(static_cast<std::size_t>(n * n), mutual);
    for (int i = 1; i <= n; ++i) m[PhaseFit::at(n, i, i)] = self;
    return m;
  };
  MfdtdFit f{n, 3.0e8, length, matrix(3.0e-5, 0.0), matrix(1.2e-6, 0.3e-6), matrix(1.0e-12, 0.0),
             matrix(1.2e-11, -0.2e-11), {}, {}};
  for (int q = 0; q < np; ++q) {
    const double a = np == 1 ? 1000.0 : 300.0 * std::pow(100.0, q / (np - 1.0));
    f.poles.push_back(-a);
    f.residues.emplace_back();
    for (double r : f.r) f.residues.back().push_back(a * r / 3.0);
  }
  return f;
}

}  // namespace linetest
