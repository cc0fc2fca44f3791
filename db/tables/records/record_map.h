// TABSRecordMap: how the records of one table become records of another
// (a copy, a restructure, a compaction). Each destination field takes the
// source field of the same name (compared without regard to case). Fields
// of the same storage type and size take the stored bytes as they are
// (an EXTENDED value keeps every bit, a date keeps the empty-date marker);
// BLOB values go from one BLOB manager to the other; every other pair
// converts through the values layer, whose errors are the copy's errors:
// nothing is cut or rounded silently.
#pragma once

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <vector>

#include "db/tables/metadata/meta_object_defs.h"

namespace kelvorin {

class TABSTableData;

class TABSRecordMap {
 public:
  enum class Kind { kBytes, kBlob, kValue };
  struct Pair {
    int32_t from;
    int32_t to;
    Kind kind;
  };
  // Called with the destination field's name and the error of a field that
  // could not be copied; the field is then left NULL. It may raise to stop.
  using FieldError = std::function<void(const std::string& field, const std::exception& error)>;

  TABSRecordMap(const TABSFieldDefs& source, const TABSFieldDefs& destination);

  const std::vector<Pair>& Pairs() const { return pairs_; }
  // The source field each destination field takes (-1: none).
  int32_t SourceOf(int32_t destination_field) const { return source_of_[static_cast<size_t>(destination_field)]; }

  // Fills the mapped fields of `to` (a new record of `destination`) from
  // `from` (a record of `source`, read in `session`). Without a handler
  // the first field error is raised.
  void Copy(TABSTableData& source, int32_t session, uint8_t* from, TABSTableData& destination, uint8_t* to,
            const FieldError& on_error = {}) const;

 private:
  void CopyField(const Pair& pair, TABSTableData& source, int32_t session, uint8_t* from,
                 TABSTableData& destination, uint8_t* to) const;

  std::vector<Pair> pairs_;
  std::vector<int32_t> source_of_;
};

}  // namespace kelvorin
