#include "db/query/lexer/sql_params.h"

#include "platform/locale_profile.h"

namespace kelvorin {

void TABSSQLParam::SetName(std::string_view name) { name_.assign(name.data(), name.size()); }

TABSSQLParam& TABSSQLParams::AddParam() { return params_.emplace_back(); }

const TABSSQLParam* TABSSQLParams::FindParam(std::string_view name) const {
  const platform::LocaleProfile& locale = platform::CurrentLocale();
  const std::string wanted = locale.UpperAnsi(name);
  for (const TABSSQLParam& param : params_) {
    if (param.Name().size() == wanted.size() && locale.UpperAnsi(param.Name()) == wanted) {
      return &param;
    }
  }
  return nullptr;
}

}  // namespace kelvorin
