// Modified augmented nodal analysis (MNA): one extra unknown (the element's
// current) and one extra equation per element, appended to its subsystem's nodal
// equations as rows and columns MBUS(ss)+1 .. MBUS_MNA(ss), in element order.
// Element kinds: 0 branch, 5 branch carrying a network branch's source voltage,
// 1 voltage-controlled voltage source, 2 voltage-controlled current source,
// 3 current-controlled current source, 4 ideal transformer, 9 dynamic branch.
// A subsystem with elements is solved by the sparse solver.
#pragma once

#include <array>
#include <cstdint>
#include <span>

// Set-up after the map and data files are read: with MNA the element records and
// the dimensions ND74, ND75 and MBUS_MNA; without, ND74 := ND19 and ND75 := ND1.
// On the first run of a set it allocates the working matrices and the sparse
// lists; on later runs it only clears the working matrices.
void initialize_mna_map();
// The same after a snapshot is read (which left ND74, ND75 and MBUS_MNA).
void initialize_mna_snap();
// Groups the declarations by subsystem into element records.
void mna_init();
// MBUS_MNA(ss) for every subsystem, ND75 (the largest) and ND74 (its triangle).
void mna_matdim();
// The sparse index lists (ND74 x ND2 entries, ND75 x ND2 pointers) and the
// vectors of the augmented system (ND75).
void allocate_sparsity2();

// The rows and columns of the elements of ss in its working matrix.
void mna_process(std::int32_t ss);
// result(k) := -1 for every zero-impedance pair that closes a loop of the others
// (with a notice), 1 for the pairs of the tree, over all pairs.
void mna_parall(std::span<std::int32_t> result, std::int32_t ss,
                std::span<const std::array<std::int32_t, 2>> pairs);

// Controlled-side currents of kinds 3 and 4: current 2 := current 1 * value 1.
void update_current(std::int32_t ss);
// The current that the elements of ss inject into node (0 without elements).
double mna_cur(std::int32_t node, std::int32_t ss);
// i := current 1 of the element declared by declaration id (0 for none).
void mna_out(std::int32_t id, double& i);

// Entries for component models (id: declaration index; k: element record).
void mna_vdvs(double g, double r, std::int32_t id);
void mna_vdcs(double g, std::int32_t id);
void mna_cdcs(double g, std::int32_t id);
void mna_transformer(double n, double r, std::int32_t id);
void mna_branch(double g1, double g2, std::int32_t i1, std::int32_t i2, std::int32_t k);
void mna_dynbranch(double g1, double g2, std::int32_t i1, std::int32_t i2, std::int32_t k);
