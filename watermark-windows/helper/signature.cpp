#include "signature.hpp"

namespace signature {

bool names_publisher(const std::function<std::string(bool issuer)>& common_name) {
  return common_name(false) == PUBLISHER && common_name(true) == ISSUER;
}

}  // namespace signature
