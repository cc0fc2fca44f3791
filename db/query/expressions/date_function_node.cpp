#include "db/query/expressions/date_function_node.h"

#include <cmath>

#include "db/query/expressions/expression_errors.h"
#include "db/query/expressions/value_nodes.h"
#include "db/storage/errors/abs_exception.h"

namespace kelvorin {
namespace {

using S = TABSStorageType;

}  // namespace

TABSExprNodeDateFunction::TABSExprNodeDateFunction(uint8_t op, const TABSExprClock& clock)
    : TABSExprNode(Kind::kDateFunction, op), clock_(&clock) {}

TABSExprNodeDateFunction::TABSExprNodeDateFunction(uint8_t op,
                                                   std::unique_ptr<TABSExprNode> argument,
                                                   std::string format)
    : TABSExprNode(Kind::kDateFunction, op),
      format_(std::move(format)),
      formatter_(std::make_shared<const TDateFormater>(format_)) {
  AddChild(std::move(argument));
}

const TABSVariant& TABSExprNodeDateFunction::GetValue() {
  switch (Operator()) {
    case kOpNow:
      value_.Clear(S::DateTime);
      value_.SetDateTimeFromCalendar(clock_->Now());
      return value_;
    case kOpCurrentDate:
      value_.Clear(S::Date);
      value_.SetDateFromCalendar(clock_->Now());
      return value_;
    case kOpCurrentTime:
      value_.Clear(S::Time);
      value_.SetTimeFromCalendar(clock_->Now());
      return value_;
    case kOpToDate: {
      const TABSVariant& text = children_[0]->GetValue();
      if (text.IsNull()) {
        value_.Clear(S::DateTime);
        return value_;
      }
      const double date_time = formatter_->ParseText(text.AsString());
      double whole = 0;
      const double fraction = std::modf(date_time, &whole);
      // Only what the text gave: a time without a date, a date without a time.
      const S type = whole == 0 ? S::Time : fraction == 0 ? S::Date : S::DateTime;
      value_.Clear(type);
      if (type == S::Time) {
        value_.SetTimeFromCalendar(date_time);
      } else if (type == S::Date) {
        value_.SetDateFromCalendar(date_time);
      } else {
        value_.SetDateTimeFromCalendar(date_time);
      }
      return value_;
    }
    case kOpToString: {
      const TABSVariant& date_time = children_[0]->GetValue();
      value_.Clear(S::String);
      if (date_time.IsNull()) return value_;
      value_.SetString(formatter_->FormatValue(date_time.AsCalendarDateTime()));
      CutStringValue(&value_, formatter_->MaxTextLength());
      return value_;
    }
    default:
      throw EABSException(native::kDateFunctionUnknownOperator, {OperatorText(Operator())});
  }
}

TABSColumnType TABSExprNodeDateFunction::GetDataType() {
  return Operator() == kOpToString ? TABSColumnType::String : TABSColumnType::DateTime;
}

int32_t TABSExprNodeDateFunction::GetDataSize() {
  return Operator() == kOpToString ? formatter_->MaxTextLength() : 0;
}

}  // namespace kelvorin
