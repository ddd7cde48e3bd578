// The stop of a store real that is no integer the code can take
// (store_integer.h).
#include "transformers/store_integer.h"

#include "diag/listout.h"
#include "diag/message.h"
#include "diag/quit.h"
#include "model/e_warn.h"

namespace wakro::transformers {

void refuse_store_value(std::string_view tag, const std::string& record, double value, std::int32_t low,
                        std::int32_t high) {
  wakro_message(e_warn::comp_id1, e_warn::comp_id2, msg::kError, msg::kSingleLine,
                "WAKRO: Store value out of range: " + record + " = " + list_real(value) + " (whole number " +
                    std::to_string(low) + " to " + std::to_string(high) + ")");
  wakro_quit(tag, 0);
}

}  // namespace wakro::transformers
