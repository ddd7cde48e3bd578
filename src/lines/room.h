// Room lines: transmission lines and cables in the nodal solution.
//
// Owns the line-section reader (dslint) with the line directory and the
// stamping of each line's admittance into its end subsystems, the Bergeron,
// FRE-DEP (modal) and FRE-PHASE (phase-domain) frequency-dependent set-ups and
// the finite-difference (MFDTD) set-up, the dimension pass that sizes the line
// arrays before allocation (sctline, sctline_init), and the per-step line
// histories and terminal currents (dsldyn, dslout); the ENI lines, whose two ends
// run in two linked processes (eni.h); the PI-section parameters from sequence
// data (pi_section.h).
//
// The line directory's columns are declared once, by name, in
// wakro::lines::layout::directory (line_records.h), and the readers' numbered
// console messages in wakro::lines::message (line_setup.h);
// tests/lines/test_directory_layout.cpp holds the reader to them.
//
// May call: model, link (the engine-to-engine links and the design
// environment's link, for the ENI lines), diag, files, input (the data-line
// reader, the node map) and network (the admittance stamp). The network solution
// and the readers reach this room only through the hooks that use_line_services
// registers; so does the snapshot reader, which has the lines' records checked
// by check_line_records (record_checks.cpp).
#pragma once
