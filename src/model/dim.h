// Module dim: the entries of the dimension table ndde::e_ndim by name.
//
// Each constant is the position of one entry (1..80); the working size of entry k is
// ndde::nd<k>. Entries read from the "DIMENSIONS:" section are named after their key
// ("TLINES-TOTAL" is tlines_total); the few without a key are named for what sets them.
// The positions are fixed: the dimension reader, the dimension report and the snapshot
// files depend on them. Positions 39, 40 and 74..80 have no entry of their own.
#pragma once

namespace dim {

inline constexpr int count = 80;  // entries of the table, 1..count

// Electrical system.
inline constexpr int nodes = 1;       // nodes per subsystem
inline constexpr int subsys = 2;      // subsystems
inline constexpr int windings = 3;    // windings per transformer
inline constexpr int trafos = 4;      // transformers
inline constexpr int subsyspage = 7;  // page subsystem entries of the case map
inline constexpr int umec = 9;        // UMEC (sizes no array)
inline constexpr int branches = 15;   // branches per subsystem
inline constexpr int sparsity = 19;   // entries of the sparse factor pattern per subsystem
inline constexpr int gsx = 71;        // GSX (sizes no array)
inline constexpr int nmana = 72;      // MNA elements
inline constexpr int mbranches = 73;  // MBRANCHES (sizes no array)

// Controls, signals and storage.
inline constexpr int stor = 10;    // old-style real storage
inline constexpr int vars = 11;    // var array
inline constexpr int cons = 12;    // con array
inline constexpr int pgbs = 13;    // output channels
inline constexpr int cscs = 14;    // control signals sent along lines
inline constexpr int cx = 16;      // control storage
inline constexpr int cxmap = 17;   // control storage map
inline constexpr int cscr = 20;    // control signals received along lines
inline constexpr int nnodes = 21;  // node map of the pages
inline constexpr int npages = 22;  // page calls
inline constexpr int stol = 23;    // logical initial values
inline constexpr int stoi = 24;    // integer initial values
inline constexpr int stof = 25;    // real initial values
inline constexpr int stoc = 26;    // complex initial values
inline constexpr int storl = 27;   // logical storage
inline constexpr int stori = 28;   // integer storage
inline constexpr int storf = 29;   // real storage
inline constexpr int storc = 30;   // complex storage
inline constexpr int tx = 37;      // wireless transmitters
inline constexpr int txrx = 38;    // wireless transmitters and receivers
inline constexpr int stxfrl = 51;  // logical transfer store
inline constexpr int stxfri = 52;  // integer transfer store
inline constexpr int stxfrf = 59;  // real transfer store
inline constexpr int stxfrc = 60;  // complex transfer store
inline constexpr int rtcl = 61;    // logical configuration store
inline constexpr int rtci = 62;    // integer configuration store
inline constexpr int rtcf = 63;    // real configuration store
inline constexpr int rtcc = 64;    // complex configuration store

// Bergeron and modal frequency-dependent lines.
inline constexpr int maxmodes = 5;     // conductors of the largest line
inline constexpr int tlines = 6;       // lines
inline constexpr int maxpoles = 8;     // line fitting poles
inline constexpr int travwaves = 31;   // travelling-wave buffers
inline constexpr int transforms = 32;  // line transformation terms
inline constexpr int transpoles = 33;  // line transformation poles
inline constexpr int attpoles = 34;    // attenuation poles
inline constexpr int surgepoles = 35;  // surge-impedance poles
inline constexpr int nummodes = 36;    // modal mode space

// Phase-domain lines.
inline constexpr int tlines_ph = 41;     // lines
inline constexpr int nummodes_ph = 42;   // mode space
inline constexpr int maxmodes_ph = 43;   // conductors per line
inline constexpr int travwaves_ph = 44;  // travelling-wave buffers
inline constexpr int prop_ph = 45;       // propagation terms
inline constexpr int hserc_ph = 46;      // propagation fitting terms
inline constexpr int ycserc_ph = 47;     // characteristic-admittance fitting terms
inline constexpr int xhk_ph = 48;        // propagation history terms
inline constexpr int maxpoles_ph = 49;   // poles and zeros

// MFDTD lines, and all lines together.
inline constexpr int tlines_mfdtd = 53;    // lines
inline constexpr int nummodes_mfdtd = 54;  // mode space
inline constexpr int maxmodes_mfdtd = 55;  // conductors per line
inline constexpr int maxpoles_mfdtd = 56;  // poles and zeros
inline constexpr int maxinc_mfdtd = 57;    // increments
inline constexpr int tlines_total = 58;    // all lines of all models

// Lines shared with another engine.
inline constexpr int eni_servers = 69;  // line ends served to another engine
inline constexpr int eni_clients = 70;  // line ends taken from another engine

// Entries without a key, set by the load-flow data of the start-up dialogue.
inline constexpr int pf_init = 18;   // load-flow initial data (dsx)
inline constexpr int pf_buses = 50;  // load-flow buses
inline constexpr int pf_nwb = 65;    // load-flow count nwb
inline constexpr int pf_nb = 66;     // load-flow count nb
inline constexpr int pf_ntwdg = 67;  // load-flow count ntwdg
inline constexpr int pf_nc = 68;     // load-flow count nc

}  // namespace dim
