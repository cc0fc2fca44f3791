// TABSOperationJournal: what storage that is not transactional (temporary
// and in-memory tables) keeps so that an operation still happens whole or
// not at all. Every change since the last KeepChanges can be taken back by
// UndoChanges; the tables call KeepChanges when an operation has finished
// (their pages are committed with it) and UndoChanges when it failed
// (their pages are rolled back with it). A finished operation cannot be
// undone: a transaction's rollback leaves these tables' records as they are.
#pragma once

namespace kelvorin {

class TABSOperationJournal {
 public:
  virtual ~TABSOperationJournal() = default;
  virtual void KeepChanges() noexcept = 0;
  virtual void UndoChanges() noexcept = 0;
};

}  // namespace kelvorin
