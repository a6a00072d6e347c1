#include "document/custom_scale.h"

#include "engine/rounding.h"

namespace tessora {
namespace {

constexpr const char* kUnarmedCaption = "(click on panel...)";

}  // namespace

void CustomScale::pick(int x, int panelWidth) {
  fraction_ = ToSingle(static_cast<long double>(x) / static_cast<long double>(panelWidth));
  armed_ = true;
}

std::string CustomScale::shrinkCaption() const {
  if (!armed_) {
    return kUnarmedCaption;
  }
  return "shrink to " + std::to_string(Round(static_cast<long double>(fraction_) * 100)) + "%";
}

std::string CustomScale::growCaption() const {
  if (!armed_) {
    return kUnarmedCaption;
  }
  return "grow by " + std::to_string(Round(static_cast<long double>(fraction_) * 100) + 100) + "%";
}

}  // namespace tessora
