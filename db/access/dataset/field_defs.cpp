#include "db/access/dataset/field_defs.h"

#include <algorithm>
#include <cctype>

namespace kelvorin {

std::vector<std::string> SplitFieldNames(std::string_view names) {
  std::vector<std::string> result;
  size_t start = 0;
  while (start <= names.size()) {
    size_t end = names.find(';', start);
    if (end == std::string_view::npos) end = names.size();
    std::string_view name = names.substr(start, end - start);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.front()))) name.remove_prefix(1);
    while (!name.empty() && std::isspace(static_cast<unsigned char>(name.back()))) name.remove_suffix(1);
    if (!name.empty()) result.emplace_back(name);
    start = end + 1;
  }
  return result;
}

TFieldDef& TFieldDefs::Add(std::string name, TFieldType type, int32_t size, bool required) {
  items_.push_back({std::move(name), type, size, required});
  return items_.back();
}

int32_t TFieldDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameObjectName(items_[i].name, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

const TFieldDef* TFieldDefs::Find(std::string_view name) const {
  const int32_t i = IndexOf(name);
  return i < 0 ? nullptr : &items_[static_cast<size_t>(i)];
}

TIndexDef& TIndexDefs::Add(std::string name, std::string fields, TIndexOptions options) {
  items_.push_back({std::move(name), std::move(fields), options, "", ""});
  return items_.back();
}

int32_t TIndexDefs::IndexOf(std::string_view name) const {
  for (size_t i = 0; i < items_.size(); ++i) {
    if (SameObjectName(items_[i].name, name)) return static_cast<int32_t>(i);
  }
  return -1;
}

const TIndexDef* TIndexDefs::Find(std::string_view name) const {
  const int32_t i = IndexOf(name);
  return i < 0 ? nullptr : &items_[static_cast<size_t>(i)];
}

const TIndexDef* TIndexDefs::FindForFields(std::string_view fields) const {
  const std::vector<std::string> wanted = SplitFieldNames(fields);
  for (const TIndexDef& index : items_) {
    const std::vector<std::string> own = SplitFieldNames(index.fields);
    if (own.size() == wanted.size() && std::equal(own.begin(), own.end(), wanted.begin(), SameObjectName)) return &index;
  }
  return nullptr;
}

}  // namespace kelvorin
