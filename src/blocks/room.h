// Room `blocks`: the control, signal and measurement blocks that the case code and
// the device models call once per step, in a fixed order.
//
// Owns: the storage discipline of the blocks -- the one checked way in which a
// block takes its slots of the storage arrays and of the configuration store, and
// the shared conventions of switches, logic signals, interpolated signals, fatal
// parameter errors, warnings and obsolete forwards (slots.h, conventions.h); and
// the blocks themselves, one family per header: limiter, lags, integrator, PI,
// derivative, complex pole pair, delays and rate limiter (continuous.h); the
// small matrix helpers (matrix.h); the configured ramp, scaling, discretizer,
// counter, triangle wave, transfer characteristic (configured.h) and delays
// (configured_delay.h); the small function blocks (function_blocks.h); the
// first-order poles (poles.h) and the PID controller (pid_controller.h); the
// blocks with time constants as inputs (tc_inputs.h); the interpolated
// integrator, controllers, comparators and logic (interpolated.h); zero-crossing
// detection, monostables, latches, timers, samplers and the sorter (events.h);
// the interpolated timers, pulse and signal generators and firing-pulse blocks
// (generators.h); the surge and test-signal generators (surges.h); the
// transfer function blocks (transfer_function.h), the filter design and tuned
// filter (filters.h), the on-line harmonic analysis (harmonics.h), the XY tables
// given as arrays (xy_table.h) or read from files (xy_file.h), and the playback of
// recorded signals (recorded.h), with the file services they share
// (file_blocks.h); the meters and measurements, which read node voltages and
// branch currents from the shared network state (network_reads.h): frequency
// measurement (frequency.h), three-phase voltage and power meters (meters.h), RMS
// and peak meters (rms_meters.h), phase-angle meters (phase_meters.h),
// phase-locked oscillators (pll.h), valve firing references and extinction-angle
// measurement (converter_controls.h), the voltage-dependent current-order
// characteristics (current_order.h), sampled RMS meters (sampled_rms.h) and
// sector frequency meters (sector_frequency.h).
//
// Each block's storage and configuration record is declared once, in its
// family's header, as named slots in namespace wakro::blocks::layout::<block>
// (enumerators in the order of the record, its size the last name: kStorSize,
// kStorfSize, kRtcfSize, ...; a function of the order where the record grows with
// it). The block takes its slots by that size and reads and writes them by name
// only; tests/blocks/test_layouts.cpp holds each size to the pointer advance.
//
// A block keeps no state of its own between calls: everything that survives a
// step lives in the storage arrays at the slots its place in the call order gives
// it. Blocks allocate nothing per call.
//
// Stands on `model` (time state, storage arrays and pointers, configuration
// store), `diag` (wakro_message, wakro_warn, wakro_quit, the console) and, for the
// file-driven blocks, `files`. A block never calls the network
// solution, and nothing of a higher room is included from here.
#pragma once
