// Line-constants records of the frequency-dependent lines, written from a fit
// held in memory, and the fit's value at a frequency for the closed forms.
//
// PhaseFit: the FRE-PHASE data of an n-conductor line: Yc(s) = D + sum over
// poles of R/(s - s_q) (the same pole locations s_q for every column), and per
// delay group H_g(s) = sum over poles of R/(s - s_q), delayed by tau_g seconds.
// Residue matrices are stored column by column: R[(c - 1) n + r - 1].
#pragma once

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

// A header-form record of an n-conductor line in subsystem 1, sending nodes
// 1..n, receiving nodes n+1..2n, its data in `file`.
inline std::string header_record(int n, const std::string& file) {
  std::ostringstream os;
  os << "Quolb Line Constants\n" << n << " 0\n1";
  for (int c = 1; c <= n; ++c) os << " " << c;
  os << " 1 0 1 0\n1";
  for (int c = 1; c <= n; ++c) os << " " << n + c;
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

}  // namespace linetest
