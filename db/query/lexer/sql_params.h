// The parameters of an SQL text (":name"), filled by the query object before
// each execution and read by the lexer, which copies the value of each
// parameter it meets into the token.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <string_view>

#include "db/tables/values/abs_variant.h"

namespace kelvorin {

// A value with a name.
class TABSSQLParam : public TABSVariant {
 public:
  const std::string& Name() const { return name_; }
  void SetName(std::string_view name);

 private:
  std::string name_;
};

class TABSSQLParams {
 public:
  // Appends an empty parameter; the reference stays valid until Clear.
  TABSSQLParam& AddParam();
  void Clear() { params_.clear(); }
  int32_t Count() const { return static_cast<int32_t>(params_.size()); }
  TABSSQLParam& Item(int32_t index) { return params_.at(static_cast<size_t>(index)); }
  const TABSSQLParam& Item(int32_t index) const { return params_.at(static_cast<size_t>(index)); }
  // The first parameter whose name equals `name` when both are upper-cased
  // by the current locale profile; nullptr when there is none.
  const TABSSQLParam* FindParam(std::string_view name) const;

 private:
  std::deque<TABSSQLParam> params_;
};

}  // namespace kelvorin
