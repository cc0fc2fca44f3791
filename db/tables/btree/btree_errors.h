// Native error entries of the B-tree indexes and the page-index trees: one
// entry per raising place. Messages shared with other layers come from the
// storage catalogue (native_errors.h).
//
// New codes of this component: 10640..10659.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Key layout built from an index definition (at create and at open).
inline constexpr TABSNativeError kIndexFieldNotFound{20043, "Cannot find index field '%s'"};
inline constexpr TABSNativeError kIndexNoColumns{10650, "Index '%s' has no columns"};
inline constexpr TABSNativeError kIndexColumnType{10649, "Cannot index field '%s' of type '%s'"};
inline constexpr TABSNativeError kIndexColumnSize{
    10646, "Invalid maximum indexed size %d of field '%s' in index '%s'"};
inline constexpr TABSNativeError kIndexKeyTooLarge{
    10647, "Index '%s' key size %d exceeds the largest key size %d"};
inline constexpr TABSNativeError kIndexPageTooSmall{
    10648, "Index '%s' key size %d does not fit pages of %d data bytes"};

// Root page checks of the record index operations.
inline constexpr TABSNativeError kDropNoRoot{20119, kTextInvalidPageNumber};
inline constexpr TABSNativeError kEmptyNoRoot{20120, kTextInvalidPageNumber};
inline constexpr TABSNativeError kGetRecordNoRoot{20121, kTextInvalidPageNumber};
inline constexpr TABSNativeError kLocateNoRoot{20122, kTextInvalidPageNumber};
inline constexpr TABSNativeError kRecordNumberNoRoot{20123, kTextInvalidPageNumber};
inline constexpr TABSNativeError kGoToRecordNumberNoRoot{20124, kTextInvalidPageNumber};
inline constexpr TABSNativeError kScanStepNoRoot{20125, kTextInvalidPageNumber};
inline constexpr TABSNativeError kInsertNoRoot{20126, kTextInvalidPageNumber};
inline constexpr TABSNativeError kDeleteNoRoot{20127, kTextInvalidPageNumber};
inline constexpr TABSNativeError kKeepFirstNoRoot{10640, kTextInvalidPageNumber};
inline constexpr TABSNativeError kEstimateCountNoRoot{10641, kTextInvalidPageNumber};
inline constexpr TABSNativeError kIsKeyFreeNoRoot{10642, kTextInvalidPageNumber};
inline constexpr TABSNativeError kUpdateNoRoot{10643, kTextInvalidPageNumber};
inline constexpr TABSNativeError kPageIndexNoRoot{10644, kTextInvalidPageNumber};

// Record index operations.
inline constexpr TABSNativeError kIndexEntryNotFound{
    20027, "Index error: cannot delete entry. Entry not found"};
inline constexpr TABSNativeError kIndexRecordUnreadable{20170, "Cannot retreive record for index"};
inline constexpr TABSNativeError kGetRecordModeCurrent{
    20053, "Invalid get record mode for index: grmCurrent"};
inline constexpr TABSNativeError kGoToRecordEmptyIndex{
    20074, "Cannot retreive record from empty index"};
inline constexpr std::string_view kTextRecNoBeyondCount = "Cannot set RecNo greater than RecordCount";
inline constexpr TABSNativeError kGoToRecordBeyondCount{20075, kTextRecNoBeyondCount};
inline constexpr TABSNativeError kScanStateNil{20077, kTextPointerIsNil};
inline constexpr std::string_view kTextInvalidIndexParams = "Index error: invalid params";
inline constexpr TABSNativeError kScanConditionKind{20078, kTextInvalidIndexParams};
inline constexpr TABSNativeError kScanConditionIndex{20079, kTextInvalidIndexParams};
inline constexpr TABSNativeError kBuildPrimaryKeyDuplicate{
    30319, "Primary Key constraint '%s' violated. Duplicate found."};
inline constexpr TABSNativeError kBuildUniqueDuplicate{
    30320, "Constraint unique '%s' violated. Duplicate found."};

// Key paths and navigation.
inline constexpr std::string_view kTextInvalidKeyPath = "Invalid index key path";
inline constexpr TABSNativeError kComparePathsPageMismatch{20051, kTextInvalidKeyPath};
inline constexpr TABSNativeError kComparePathsLevelMismatch{20052, kTextInvalidKeyPath};
inline constexpr TABSNativeError kComparePathsLeftNil{10384, kTextNilPointer};
inline constexpr TABSNativeError kComparePathsRightNil{10385, kTextNilPointer};
inline constexpr std::string_view kTextInvalidIndexPosition = "Index error: invalid position";
inline constexpr TABSNativeError kNextEmptyPath{20068, kTextInvalidIndexPosition};
inline constexpr TABSNativeError kPriorEmptyPath{20069, kTextInvalidIndexPosition};
inline constexpr TABSNativeError kNavigationNoLink{20070, "Index error: invalid page number"};

// Index pages read during an operation.
inline constexpr TABSNativeError kIndexPageDamaged{10651, "Index page %d is damaged: %s"};
inline constexpr std::string_view kTextIndexIntegrity = "Index integrity violated. PageNo=%d EntryNo=%d";
inline constexpr std::string_view kTextIndexCircular =
    "Index integrity violated. Circular links. PageNo=%d EntryNo=%d";
inline constexpr TABSNativeError kIndexTooDeep{10652, kTextIndexIntegrity};
inline constexpr TABSNativeError kIndexEmptyInnerPage{10653, kTextIndexIntegrity};
inline constexpr TABSNativeError kIndexCircularDescent{10654, kTextIndexCircular};

// The integrity check (reported, not raised).
inline constexpr TABSNativeError kCheckSeparatorOrder{20028, kTextIndexIntegrity};
inline constexpr TABSNativeError kCheckSeparatorAboveChild{20029, kTextIndexIntegrity};
inline constexpr TABSNativeError kCheckSeparatorBelowPrevious{20030, kTextIndexIntegrity};
inline constexpr TABSNativeError kCheckEntryOrder{20031, kTextIndexIntegrity};
inline constexpr TABSNativeError kCheckCircular{20032, kTextIndexCircular};
inline constexpr std::string_view kTextIndexLink =
    "Index integrity violated. Invlaid leaf link. PageNo=%d EntryNo=%d";
inline constexpr TABSNativeError kCheckPriorLink{20033, kTextIndexLink};
inline constexpr TABSNativeError kCheckNextLink{20034, kTextIndexLink};
inline constexpr TABSNativeError kCheckPageShape{20194, kTextIndexIntegrity};

// Page-index trees.
inline constexpr TABSNativeError kPageIndexFull{20106, "Cannot add data item to page. Page is full"};
inline constexpr TABSNativeError kPageIndexEmpty{20112, "Index error: page is empty"};
inline constexpr TABSNativeError kPageIndexRecNoBeyondCount{20113, kTextRecNoBeyondCount};
inline constexpr TABSNativeError kPageIndexSubtractTooMuch{
    10645, "Cannot subtract %d from page %d. The page holds %d"};
inline constexpr TABSNativeError kPageIndexPositionUnknown{
    10655, "Page %d position %d is not in the page index"};

}  // namespace kelvorin::native
