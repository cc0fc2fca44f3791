#include "db/access/dataset/engine_error.h"

#include "db/tables/records/table_post.h"

namespace kelvorin {

std::string EABSEngineError::TextOf(int32_t code, const std::string& engine_message) {
  if (code == static_cast<int32_t>(TABSPostCode::kConstraintViolated)) return engine_message;
  return std::string(PostCodeText(code));
}

}  // namespace kelvorin
