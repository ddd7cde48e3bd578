// Room devices: the element models that put passive branches, loads, filters,
// direct matrix additions and voltage, current and EMF sources into the network.
//
// Owns: the branch set-up from R, L and C (branch_cfg.h), the direct
// conductance-matrix additions, the load and
// filter set-up, the sources, the variable R, L, C and impedance branches, the
// dynamic loads and the node-injection load, and the switching devices: the spark
// gap, the statistical breaker command, the recovery-voltage envelope monitor and
// the power-electronic switch; and the static var compensator (svc*.h) with its
// firing control and susceptance allocation. Calls the network room's stamping
// and run-time change helpers (network/companion.h, network/matrix.h, network/switching.h),
// the checks of diag/validators.h, the message service and the storage slots of
// blocks/slots.h. No device writes the conductance matrix, a branch conductance
// after set-up or the re-factorisation marker itself.
//
// Records: every device that keeps a storage or configuration record declares
// it once in its header, as named slots under wakro::devices::layout with the
// record's size derived from them, and reads and writes it only through those
// names; tests/devices/test_layouts.cpp holds each declared size to the pointer
// advance its routine makes. The records a branch names (a valve's, a source's)
// are checked for the snapshot reader by record_checks.cpp, registered by
// use_device_services. The series R-C branch of rcbranch, the interface
// branch of intfc_brnch1, the companion shares, the switch ON/OFF conductances and the guarded harmonic-registry
// append are the network room's (network/companion.h).
//
// Breakers, pre-insertion contact timing and faults (breakers.h, preinsertion.h,
// faults.h) act on their switching branches through network/switching.h only,
// and measure breaker power with the meters of blocks/meters.h.
#pragma once
