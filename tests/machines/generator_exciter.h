// The case generator's AC7B exciter data, shared by the machine tests.
#pragma once

#include "case/generic_sg_1.h"
#include "machines/exciter_ac7b.h"

namespace mtest {

inline wakro::machines::Ac7bData case_exciter() { return wakro::casecode::generator_exciter_data(); }

}  // namespace mtest
