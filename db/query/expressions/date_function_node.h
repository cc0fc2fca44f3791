// Date functions: the current date and time (SYSDATE, NOW,
// CURRENT_TIMESTAMP, CURRENT_DATE, CURRENT_TIME) and TODATE / TOSTRING
// under a format string compiled once when the node is built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "db/query/dates/date_formater.h"
#include "db/query/expressions/expr_node.h"

namespace kelvorin {

class TABSExprNodeDateFunction : public TABSExprNode {
 public:
  // The current date and/or time read from `clock`.
  TABSExprNodeDateFunction(uint8_t op, const TABSExprClock& clock);
  // TODATE(text, format) or TOSTRING(value, format).
  TABSExprNodeDateFunction(uint8_t op, std::unique_ptr<TABSExprNode> argument,
                           std::string format);
  TABSExprNodeDateFunction(const TABSExprNodeDateFunction& other, CloneTag tag)
      : TABSExprNode(other, tag),
        clock_(other.clock_),
        format_(other.format_),
        formatter_(other.formatter_) {}
  std::unique_ptr<TABSExprNode> Clone() const override {
    return CloneAs<TABSExprNodeDateFunction>();
  }

  const TABSVariant& GetValue() override;
  TABSColumnType GetDataType() override;
  int32_t GetDataSize() override;

  const std::string& Format() const { return format_; }

 private:
  const TABSExprClock* clock_ = nullptr;
  std::string format_;
  // Compiled once; copies of the node share it.
  std::shared_ptr<const TDateFormater> formatter_;
};

}  // namespace kelvorin
