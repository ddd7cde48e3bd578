// The dimension report of an overrun of slots.h's take helpers, and of a slot
// index outside its view.
#include "blocks/slots.h"

#include <string>

#include "diag/listout.h"
#include "diag/quit.h"

namespace wakro::blocks {

namespace {

constexpr const char* kDimensionTag = "CHKSTOR     ";

}  // namespace

namespace detail {

void dimension_exceeded(const char* upperName, std::int64_t lastSlot) {
  ListLine() << std::string("WAKRO: ") + upperName + " array dimension exceeded";
  ListLine() << "Required Dimension:" << lastSlot;
  ListLine() << "The storage is set by Quolb by adding up";
  ListLine() << "the storage requirements as specified by";
  ListLine() << "the #STORAGE: syntax in each component.";
  wakro_quit(kDimensionTag, 0);
}

void slot_index_stop(std::int32_t k, std::int32_t count) {
  runtime_stop("Block slot " + std::to_string(k) + " outside its " + std::to_string(count) +
               " slots");
}

}  // namespace detail

}  // namespace wakro::blocks
