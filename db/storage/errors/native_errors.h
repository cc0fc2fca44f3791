// The native error codes of the storage layer and their messages. Each code
// identifies the place that raises it; several places share one message.
// A place raises its entry: throw EABSException(native::kInvalidPageNo10471, {page_no});
// Entries are named after the message and the code. To give a raising place a
// name of its own, add an entry next to its message, for example
//   inline constexpr TABSNativeError kPageManagerReadInvalidPageNo{10471, kTextInvalidPageNo};
#pragma once

#include <cstdint>
#include <string_view>

namespace kelvorin {

// One catalogue entry: the code and the message (a format when it holds
// placeholders).
struct TABSNativeError {
  int32_t code;
  std::string_view text;
};

namespace native {

// Codes raised outside this catalogue, listed so that new codes do not clash:
// 10500..10502 the stream form of values (db/tables/value_errors.h);
// 10640..10659 B-tree indexes and page-index trees (db/tables/btree/btree_errors.h);
// 10700 the page owner check (db/storage/pages/page_errors.h);
// 10701..10718 internal files and the table catalogue
//   (db/storage/catalog/catalog_errors.h, db/tables/records/table_data_errors.h);
// 10740..10749 record storage (db/storage/records/record_errors.h);
// 10750..10759 BLOB storage (db/storage/blobs/blob_errors.h);
// 10760, 10767 the page manager (db/storage/pages/page_errors.h);
// 10761..10766, 10768..10779 the table data layer (db/tables/records/table_data_errors.h);
// 10780..10789 sessions and locks (db/storage/locks/lock_errors.h);
// 10790..10799 temporary and in-memory storage (db/storage/temporary/temporary_errors.h);
// 10800..10809 table scans (db/tables/scans/scan_errors.h);
// 10810..10819 the local session and cursor (db/access/local/access_errors.h);
// 10820..10829 sessions and databases (db/access/session/session_errors.h);
// 10830..10852 datasets and tables (db/access/dataset/dataset_errors.h);
// 30700..30719 the SQL lexer and the date format strings (db/query/lexer/lexer_errors.h,
//   db/query/dates/date_format_errors.h);
// 30488..30499 expressions and their parser (db/query/expressions/expression_errors.h).


inline constexpr std::string_view kTextNilPointer = "Nil pointer occured";
inline constexpr TABSNativeError kNilPointer10009{10009, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10010{10010, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10013{10013, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10014{10014, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10017{10017, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10018{10018, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10033{10033, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10074{10074, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10112{10112, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10118{10118, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10133{10133, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10136{10136, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10137{10137, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10140{10140, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10144{10144, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10258{10258, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10379{10379, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10483{10483, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10489{10489, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10490{10490, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10491{10491, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10492{10492, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10493{10493, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer10494{10494, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer20135{20135, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer20136{20136, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer20137{20137, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer20138{20138, kTextNilPointer};
inline constexpr TABSNativeError kNilPointer20139{20139, kTextNilPointer};

inline constexpr std::string_view kTextInvalidRecordSize = "Invalid record size = 0";
inline constexpr TABSNativeError kInvalidRecordSize10011{10011, kTextInvalidRecordSize};
inline constexpr TABSNativeError kInvalidRecordSize10124{10124, kTextInvalidRecordSize};

inline constexpr std::string_view kTextErrorRetrievingRecord = "Error retreiving record";
inline constexpr TABSNativeError kErrorRetrievingRecord10019{10019, kTextErrorRetrievingRecord};
inline constexpr TABSNativeError kErrorRetrievingRecord10127{10127, kTextErrorRetrievingRecord};

inline constexpr std::string_view kTextNoFieldsSpecified = "Error creating table - no fields were specified";
inline constexpr TABSNativeError kNoFieldsSpecified10025{10025, kTextNoFieldsSpecified};
inline constexpr TABSNativeError kNoFieldsSpecified10132{10132, kTextNoFieldsSpecified};
inline constexpr TABSNativeError kNoFieldsSpecified20128{20128, kTextNoFieldsSpecified};
inline constexpr TABSNativeError kNoFieldsSpecified20142{20142, kTextNoFieldsSpecified};

inline constexpr std::string_view kTextCannotSetStreamPosition = "Cannot set stream position to %d. Position = %d, Size = %d";
inline constexpr TABSNativeError kCannotSetStreamPosition10079{10079, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10083{10083, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10091{10091, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10094{10094, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10099{10099, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10102{10102, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10103{10103, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10128{10128, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10129{10129, kTextCannotSetStreamPosition};
inline constexpr TABSNativeError kCannotSetStreamPosition10141{10141, kTextCannotSetStreamPosition};

inline constexpr std::string_view kTextStreamSizeTooSmall = "Stream size = %d too small. Should be at least = %d";
inline constexpr TABSNativeError kStreamSizeTooSmall10081{10081, kTextStreamSizeTooSmall};
inline constexpr TABSNativeError kStreamSizeTooSmall10082{10082, kTextStreamSizeTooSmall};

inline constexpr std::string_view kTextCompressBufferFailed = "Compress buffer failed. CompAlg = %d, CompMode = %d, InSize = %d, OutSize = %d";
inline constexpr TABSNativeError kCompressBufferFailed10085{10085, kTextCompressBufferFailed};

inline constexpr std::string_view kTextCannotReadFromStream = "Cannot read from stream. Position = %d, Stream size = %d, Block size = %d, Bytes Read = %d";
inline constexpr TABSNativeError kCannotReadFromStream10086{10086, kTextCannotReadFromStream};
inline constexpr TABSNativeError kCannotReadFromStream10117{10117, kTextCannotReadFromStream};
inline constexpr TABSNativeError kCannotReadFromStream10130{10130, kTextCannotReadFromStream};
inline constexpr TABSNativeError kCannotReadFromStream10142{10142, kTextCannotReadFromStream};
inline constexpr TABSNativeError kCannotReadFromStream10146{10146, kTextCannotReadFromStream};

inline constexpr std::string_view kTextDecompressFailedSizes = "Decompress buffer failed. CompAlg = %d, InSize = %d, OutSize = %d";
inline constexpr TABSNativeError kDecompressFailedSizes10087{10087, kTextDecompressFailedSizes};

inline constexpr std::string_view kTextDecompressUncompSizeMismatch = "Decompress buffer failed. UncompSize = %d, Header.UncompSize = %d";
inline constexpr TABSNativeError kDecompressUncompSizeMismatch10088{10088, kTextDecompressUncompSizeMismatch};

inline constexpr std::string_view kTextDecompressChecksumMismatch = "Decompress buffer failed. CheckSum = %d, Header.Crc32 = %d";
inline constexpr TABSNativeError kDecompressChecksumMismatch10089{10089, kTextDecompressChecksumMismatch};

inline constexpr std::string_view kTextCannotReadStreamSize = "Cannot read from stream. ReadSize = %d";
inline constexpr TABSNativeError kCannotReadStreamSize10090{10090, kTextCannotReadStreamSize};

inline constexpr std::string_view kTextInvalidStreamSize = "Invalid stream size = %d. Should be = %d";
inline constexpr TABSNativeError kInvalidStreamSize10092{10092, kTextInvalidStreamSize};
inline constexpr TABSNativeError kInvalidStreamSize10093{10093, kTextInvalidStreamSize};

inline constexpr std::string_view kTextErrorWritingToStream = "Error writing to stream";
inline constexpr TABSNativeError kErrorWritingToStream10095{10095, kTextErrorWritingToStream};
inline constexpr TABSNativeError kErrorWritingToStream10096{10096, kTextErrorWritingToStream};
inline constexpr TABSNativeError kErrorWritingToStream10125{10125, kTextErrorWritingToStream};

inline constexpr std::string_view kTextCannotWriteToStream = "Cannot write to stream. Position = %d, Stream size = %d, Block size = %d, Bytes Write = %d";
inline constexpr TABSNativeError kCannotWriteToStream10097{10097, kTextCannotWriteToStream};
inline constexpr TABSNativeError kCannotWriteToStream10100{10100, kTextCannotWriteToStream};
inline constexpr TABSNativeError kCannotWriteToStream10101{10101, kTextCannotWriteToStream};
inline constexpr TABSNativeError kCannotWriteToStream10145{10145, kTextCannotWriteToStream};
inline constexpr TABSNativeError kCannotWriteToStream10147{10147, kTextCannotWriteToStream};

inline constexpr std::string_view kTextInvalidExtensionSize = "Invalid extension size. NewSize = %d, UncompressedSize = %d, ExtensionSize = %d";
inline constexpr TABSNativeError kInvalidExtensionSize10098{10098, kTextInvalidExtensionSize};

inline constexpr std::string_view kTextStreamCannotCreateFile = "Cannot create file. FileName = %s";
inline constexpr TABSNativeError kStreamCannotCreateFile10104{10104, kTextStreamCannotCreateFile};

inline constexpr std::string_view kTextStreamCannotOpenFile = "Cannot open file. FileName = %s, Mode = %d";
inline constexpr TABSNativeError kStreamCannotOpenFile10105{10105, kTextStreamCannotOpenFile};

inline constexpr std::string_view kTextInvalidRecordCount = "Invalid record count = %d. Limit is %d";
inline constexpr TABSNativeError kInvalidRecordCount10126{10126, kTextInvalidRecordCount};

inline constexpr std::string_view kTextNotReleasedPageAllocated = "Not released page is allocated";
inline constexpr TABSNativeError kNotReleasedPageAllocated10392{10392, kTextNotReleasedPageAllocated};
inline constexpr TABSNativeError kNotReleasedPageAllocated10393{10393, kTextNotReleasedPageAllocated};
inline constexpr TABSNativeError kNotReleasedPageAllocated10396{10396, kTextNotReleasedPageAllocated};
inline constexpr TABSNativeError kNotReleasedPageAllocated10397{10397, kTextNotReleasedPageAllocated};
inline constexpr TABSNativeError kNotReleasedPageAllocated20037{20037, kTextNotReleasedPageAllocated};

inline constexpr std::string_view kTextStreamBlockSizeZero = "Stream block size = 0 is not allowed";
inline constexpr TABSNativeError kStreamBlockSizeZero10418{10418, kTextStreamBlockSizeZero};
inline constexpr TABSNativeError kStreamBlockSizeZero10419{10419, kTextStreamBlockSizeZero};
inline constexpr TABSNativeError kStreamBlockSizeZero10420{10420, kTextStreamBlockSizeZero};
inline constexpr TABSNativeError kStreamBlockSizeZero20149{20149, kTextStreamBlockSizeZero};

inline constexpr std::string_view kTextDatabaseFileNotOpened = "Error - database file is not opened.";
inline constexpr TABSNativeError kDatabaseFileNotOpened10459{10459, kTextDatabaseFileNotOpened};
inline constexpr TABSNativeError kDatabaseFileNotOpened10460{10460, kTextDatabaseFileNotOpened};
inline constexpr TABSNativeError kDatabaseFileNotOpened30399{30399, kTextDatabaseFileNotOpened};
inline constexpr TABSNativeError kDatabaseFileNotOpened30436{30436, kTextDatabaseFileNotOpened};
inline constexpr TABSNativeError kDatabaseFileNotOpened30437{30437, kTextDatabaseFileNotOpened};
inline constexpr TABSNativeError kDatabaseFileNotOpened30441{30441, kTextDatabaseFileNotOpened};
inline constexpr TABSNativeError kDatabaseFileNotOpened30443{30443, kTextDatabaseFileNotOpened};

inline constexpr std::string_view kTextDatabaseFileInUse = "Error - database file %s is in use.";
inline constexpr TABSNativeError kDatabaseFileInUse10461{10461, kTextDatabaseFileInUse};
inline constexpr TABSNativeError kDatabaseFileInUse10462{10462, kTextDatabaseFileInUse};

inline constexpr std::string_view kTextCannotWriteToFile = "Cannot Write to file: '%s' Position = %d, Count = %d, FilePosition = %d, FileSize = %d, ErrorCode:%d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotWriteToFile10462{10462, kTextCannotWriteToFile};
inline constexpr TABSNativeError kCannotWriteToFile10469{10469, kTextCannotWriteToFile};
inline constexpr TABSNativeError kCannotWriteToFile10475{10475, kTextCannotWriteToFile};
inline constexpr TABSNativeError kCannotWriteToFile20198{20198, kTextCannotWriteToFile};
inline constexpr TABSNativeError kCannotWriteToFile30404{30404, kTextCannotWriteToFile};
inline constexpr TABSNativeError kCannotWriteToFile30406{30406, kTextCannotWriteToFile};
inline constexpr TABSNativeError kCannotWriteToFile30438{30438, kTextCannotWriteToFile};
inline constexpr TABSNativeError kCannotWriteToFile30444{30444, kTextCannotWriteToFile};

inline constexpr std::string_view kTextCannotReadFromFile = "Cannot Read from file: '%s' Position = %d, Count = %d, FilePosition = %d, FileSize = %d, ErrorCode:%d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotReadFromFile10464{10464, kTextCannotReadFromFile};
inline constexpr TABSNativeError kCannotReadFromFile10474{10474, kTextCannotReadFromFile};
inline constexpr TABSNativeError kCannotReadFromFile30400{30400, kTextCannotReadFromFile};
inline constexpr TABSNativeError kCannotReadFromFile30439{30439, kTextCannotReadFromFile};
inline constexpr TABSNativeError kCannotReadFromFile30442{30442, kTextCannotReadFromFile};

inline constexpr std::string_view kTextInvalidFileFormat = "Invalid file format. Found signature: '%s', expected: '%s'";
inline constexpr TABSNativeError kInvalidFileFormat10470{10470, kTextInvalidFileFormat};

inline constexpr std::string_view kTextInvalidPageNo = "Invalid PageNo = %d";
inline constexpr TABSNativeError kInvalidPageNo10471{10471, kTextInvalidPageNo};

inline constexpr std::string_view kTextInvalidPageOffset = "Error - invalid page offset = %d, page size = %d";
inline constexpr TABSNativeError kInvalidPageOffset10476{10476, kTextInvalidPageOffset};
inline constexpr TABSNativeError kInvalidPageOffset10477{10477, kTextInvalidPageOffset};

inline constexpr std::string_view kTextIndexPagesNotReleased = "Index pages are not released";
inline constexpr TABSNativeError kIndexPagesNotReleased20023{20023, kTextIndexPagesNotReleased};
inline constexpr TABSNativeError kIndexPagesNotReleased20036{20036, kTextIndexPagesNotReleased};

inline constexpr std::string_view kTextInvalidPageBuffer = "Invalid page buffer. Buffer is Nil";
inline constexpr TABSNativeError kInvalidPageBuffer20038{20038, kTextInvalidPageBuffer};

inline constexpr std::string_view kTextInvalidPageModification = "Invalid page modification";
inline constexpr TABSNativeError kInvalidPageModification20039{20039, kTextInvalidPageModification};

inline constexpr std::string_view kTextInvalidPageNumber = "Invalid page number";
inline constexpr TABSNativeError kInvalidPageNumber20064{20064, kTextInvalidPageNumber};

inline constexpr std::string_view kTextInvalidDirtyPage = "Invalid dirty page";
inline constexpr TABSNativeError kInvalidDirtyPage20085{20085, kTextInvalidDirtyPage};

inline constexpr std::string_view kTextCannotWriteUsedPage = "Cannot write used page";
inline constexpr TABSNativeError kCannotWriteUsedPage20086{20086, kTextCannotWriteUsedPage};

inline constexpr std::string_view kTextInvalidIndexPage = "Invalid index page";
inline constexpr TABSNativeError kInvalidIndexPage20087{20087, kTextInvalidIndexPage};

inline constexpr std::string_view kTextCannotRemoveUsedPage = "Cannot remove used page";
inline constexpr TABSNativeError kCannotRemoveUsedPage20088{20088, kTextCannotRemoveUsedPage};

inline constexpr std::string_view kTextPageUsedByOtherSession = "Page is used by other session";
inline constexpr TABSNativeError kPageUsedByOtherSession20090{20090, kTextPageUsedByOtherSession};

inline constexpr std::string_view kTextCannotUnlockSessionsFile = "Cannot unlock sessions file";
inline constexpr TABSNativeError kCannotUnlockSessionsFile20093{20093, kTextCannotUnlockSessionsFile};
inline constexpr TABSNativeError kCannotUnlockSessionsFile20096{20096, kTextCannotUnlockSessionsFile};
inline constexpr TABSNativeError kCannotUnlockSessionsFile20240{20240, kTextCannotUnlockSessionsFile};
inline constexpr TABSNativeError kCannotUnlockSessionsFile20241{20241, kTextCannotUnlockSessionsFile};

inline constexpr std::string_view kTextCannotConnectSession = "Cannot connect session. Maximum connections quantity exceeded or database is open in single-user mode";
inline constexpr TABSNativeError kCannotConnectSession20094{20094, kTextCannotConnectSession};

inline constexpr std::string_view kTextCannotDisconnectSession = "Cannot disconnect session";
inline constexpr TABSNativeError kCannotDisconnectSession20095{20095, kTextCannotDisconnectSession};

inline constexpr std::string_view kTextCannotFreeNotCommittedPages = "Cannot free not commited pages";
inline constexpr TABSNativeError kCannotFreeNotCommittedPages20097{20097, kTextCannotFreeNotCommittedPages};

inline constexpr std::string_view kTextPointerIsNil = "Pointer is nil";
inline constexpr TABSNativeError kPointerIsNil20129{20129, kTextPointerIsNil};
inline constexpr TABSNativeError kPointerIsNil20130{20130, kTextPointerIsNil};
inline constexpr TABSNativeError kPointerIsNil20131{20131, kTextPointerIsNil};
inline constexpr TABSNativeError kPointerIsNil20161{20161, kTextPointerIsNil};
inline constexpr TABSNativeError kPointerIsNil20176{20176, kTextPointerIsNil};

inline constexpr std::string_view kTextInvalidNumberOfRecords = "Invalid number of records on page";
inline constexpr TABSNativeError kInvalidNumberOfRecords20140{20140, kTextInvalidNumberOfRecords};

inline constexpr std::string_view kTextCannotAddRecordPageFull = "Cannot add record to page. Page is full";
inline constexpr TABSNativeError kCannotAddRecordPageFull20141{20141, kTextCannotAddRecordPageFull};

inline constexpr std::string_view kTextRecordNotFound = "Record not found";
inline constexpr TABSNativeError kRecordNotFound20143{20143, kTextRecordNotFound};
inline constexpr TABSNativeError kRecordNotFound20144{20144, kTextRecordNotFound};
inline constexpr TABSNativeError kRecordNotFound20145{20145, kTextRecordNotFound};
inline constexpr TABSNativeError kRecordNotFound20146{20146, kTextRecordNotFound};
inline constexpr TABSNativeError kRecordNotFound20147{20147, kTextRecordNotFound};
inline constexpr TABSNativeError kRecordNotFound20148{20148, kTextRecordNotFound};

inline constexpr std::string_view kTextBlobCacheNotReleased = "Blob cache not released";
inline constexpr TABSNativeError kBlobCacheNotReleased20150{20150, kTextBlobCacheNotReleased};

inline constexpr std::string_view kTextSessionPagesNotReleased = "Some session pages are not released";
inline constexpr TABSNativeError kSessionPagesNotReleased20152{20152, kTextSessionPagesNotReleased};

inline constexpr std::string_view kTextInvalidPageType = "Invalid page type. Possibly data is corrupted";
inline constexpr TABSNativeError kInvalidPageType20153{20153, kTextInvalidPageType};

inline constexpr std::string_view kTextInvalidPageTypeFound = "Invalid PageType found: %d but wanted: %d";
inline constexpr TABSNativeError kInvalidPageTypeFound20155{20155, kTextInvalidPageTypeFound};

inline constexpr std::string_view kTextClosedInternalFile = "Cannot perform this operation (%s) on closed internal file";
inline constexpr TABSNativeError kClosedInternalFile20156{20156, kTextClosedInternalFile};
inline constexpr TABSNativeError kClosedInternalFile30389{30389, kTextClosedInternalFile};

inline constexpr std::string_view kTextInternalFileExists = "Cannot create Internal file. File already exists. StartPageNo=%d";
inline constexpr TABSNativeError kInternalFileExists20157{20157, kTextInternalFileExists};
inline constexpr TABSNativeError kInternalFileExists30383{30383, kTextInternalFileExists};

inline constexpr std::string_view kTextWriteAfterEndOfFile = "Cannot write after end of file. FileSize=%d. Position=%d, Count=%d";
inline constexpr TABSNativeError kWriteAfterEndOfFile20158{20158, kTextWriteAfterEndOfFile};

inline constexpr std::string_view kTextSeekBeyondFileSize = "Seek position bigger then file size. FileSize=%d. Position=%d";
inline constexpr TABSNativeError kSeekBeyondFileSize20159{20159, kTextSeekBeyondFileSize};

inline constexpr std::string_view kTextCannotReadBlobValue = "Cannot read BLOB field value";
inline constexpr TABSNativeError kCannotReadBlobValue20162{20162, kTextCannotReadBlobValue};

inline constexpr std::string_view kTextInvalidTableHeaderData = "Invalid table header data";
inline constexpr TABSNativeError kInvalidTableHeaderData20164{20164, kTextInvalidTableHeaderData};

inline constexpr std::string_view kTextSortedPageListEmpty = "TSortedPageList.Delete - no elements in array!";
inline constexpr TABSNativeError kSortedPageListEmpty20165{20165, kTextSortedPageListEmpty};

inline constexpr std::string_view kTextSortedPageListNotFound = "TSortedPageList.Delete - element not found, key = %d, itemCount = %d";
inline constexpr TABSNativeError kSortedPageListNotFound20166{20166, kTextSortedPageListNotFound};

inline constexpr std::string_view kTextPageNotFound = "Page not found";
inline constexpr TABSNativeError kPageNotFound20167{20167, kTextPageNotFound};

inline constexpr std::string_view kTextCannotFindBlobField = "Cannot find blob field";
inline constexpr TABSNativeError kCannotFindBlobField20171{20171, kTextCannotFindBlobField};

inline constexpr std::string_view kTextInvalidBlobFieldId = "Invalid blob field ID";
inline constexpr TABSNativeError kInvalidBlobFieldId20172{20172, kTextInvalidBlobFieldId};

inline constexpr std::string_view kTextCannotAddBlobPageFull = "Cannot add blob. Page is full";
inline constexpr TABSNativeError kCannotAddBlobPageFull20173{20173, kTextCannotAddBlobPageFull};

inline constexpr std::string_view kTextRecordTooLarge = "Cannot create table. Record is too large to fit in current database page. Please increase page size of database file or decrease record size";
inline constexpr TABSNativeError kRecordTooLarge20174{20174, kTextRecordTooLarge};

inline constexpr std::string_view kTextInvalidSessionId = "Invalid Session ID";
inline constexpr TABSNativeError kInvalidSessionId20186{20186, kTextInvalidSessionId};

inline constexpr std::string_view kTextTableFileCompressionError = "Table file compression error";
inline constexpr TABSNativeError kTableFileCompressionError20187{20187, kTextTableFileCompressionError};

inline constexpr std::string_view kTextTableFileDecompressionError = "Table file decompression error. Probably table is corrupted";
inline constexpr TABSNativeError kTableFileDecompressionError20189{20189, kTextTableFileDecompressionError};

inline constexpr std::string_view kTextFileModifiedExternally = "Cannot write changes. Database file was modified by external application";
inline constexpr TABSNativeError kFileModifiedExternally20196{20196, kTextFileModifiedExternally};

inline constexpr std::string_view kTextCannotSetTableLockRepair = "Cannot set table lock. Try to repair database or to increase number of allowed connections";
inline constexpr TABSNativeError kCannotSetTableLockRepair20200{20200, kTextCannotSetTableLockRepair};

inline constexpr std::string_view kTextSomeTableLocksExist = "Some table locks still exist";
inline constexpr TABSNativeError kSomeTableLocksExist20201{20201, kTextSomeTableLocksExist};
inline constexpr TABSNativeError kSomeTableLocksExist20234{20234, kTextSomeTableLocksExist};

inline constexpr std::string_view kTextTableLockNotFound = "Cannot remove table lock. Lock not found";
inline constexpr TABSNativeError kTableLockNotFound20202{20202, kTextTableLockNotFound};

inline constexpr std::string_view kTextCannotSetTableLock = "Cannot set table lock";
inline constexpr TABSNativeError kCannotSetTableLock20203{20203, kTextCannotSetTableLock};

inline constexpr std::string_view kTextCannotUnlockTable = "Cannot unlock table";
inline constexpr TABSNativeError kCannotUnlockTable20204{20204, kTextCannotUnlockTable};

inline constexpr std::string_view kTextCannotLockRecord = "Cannot lock record";
inline constexpr TABSNativeError kCannotLockRecord20205{20205, kTextCannotLockRecord};

inline constexpr std::string_view kTextCannotUnlockRecord = "Cannot unlock record";
inline constexpr TABSNativeError kCannotUnlockRecord20206{20206, kTextCannotUnlockRecord};

inline constexpr std::string_view kTextTableExclusiveByUser = "Cannot access table '%s' in exclusive mode. Probably the table is open by another user";
inline constexpr TABSNativeError kTableExclusiveByUser20208{20208, kTextTableExclusiveByUser};

inline constexpr std::string_view kTextTableOpenLocked = "Cannot open table '%s'. Table is locked";
inline constexpr TABSNativeError kTableOpenLocked20209{20209, kTextTableOpenLocked};

inline constexpr std::string_view kTextDatabaseTablesLocked = "Database tables are locked";
inline constexpr TABSNativeError kDatabaseTablesLocked20210{20210, kTextDatabaseTablesLocked};

inline constexpr std::string_view kTextCannotUnlockDatabaseTables = "Cannot unlock database tables";
inline constexpr TABSNativeError kCannotUnlockDatabaseTables20211{20211, kTextCannotUnlockDatabaseTables};

inline constexpr std::string_view kTextDatabaseLocked = "Database is locked";
inline constexpr TABSNativeError kDatabaseLocked20213{20213, kTextDatabaseLocked};
inline constexpr TABSNativeError kDatabaseLocked20230{20230, kTextDatabaseLocked};
inline constexpr TABSNativeError kDatabaseLocked20231{20231, kTextDatabaseLocked};
inline constexpr TABSNativeError kDatabaseLocked20232{20232, kTextDatabaseLocked};
inline constexpr TABSNativeError kDatabaseLocked20236{20236, kTextDatabaseLocked};

inline constexpr std::string_view kTextTableLocked = "Table is locked";
inline constexpr TABSNativeError kTableLocked20214{20214, kTextTableLocked};
inline constexpr TABSNativeError kTableLocked20215{20215, kTextTableLocked};
inline constexpr TABSNativeError kTableLocked20216{20216, kTextTableLocked};
inline constexpr TABSNativeError kTableLocked20217{20217, kTextTableLocked};
inline constexpr TABSNativeError kTableLocked20218{20218, kTextTableLocked};
inline constexpr TABSNativeError kTableLocked20219{20219, kTextTableLocked};
inline constexpr TABSNativeError kTableLocked20220{20220, kTextTableLocked};

inline constexpr std::string_view kTextCommitLocksFailed = "Cannot commit changes. Locks of modified tables failed";
inline constexpr TABSNativeError kCommitLocksFailed20233{20233, kTextCommitLocksFailed};

inline constexpr std::string_view kTextMixedUserModes = "Cannot open database in multi-user and signle-user mode at the same time";
inline constexpr TABSNativeError kMixedUserModes20235{20235, kTextMixedUserModes};

inline constexpr std::string_view kTextInvalidDatabaseFormat = "Invalid database format";
inline constexpr TABSNativeError kInvalidDatabaseFormat20237{20237, kTextInvalidDatabaseFormat};

inline constexpr std::string_view kTextTableExclusiveByCursors = "Cannot access table '%s' in exclusive mode. Probably the table is open by another cursors";
inline constexpr TABSNativeError kTableExclusiveByCursors20242{20242, kTextTableExclusiveByCursors};

inline constexpr std::string_view kTextInvalidPointer = "Invalid pointer";
inline constexpr TABSNativeError kInvalidPointer30001{30001, kTextInvalidPointer};
inline constexpr TABSNativeError kInvalidPointer30002{30002, kTextInvalidPointer};
inline constexpr TABSNativeError kInvalidPointer30005{30005, kTextInvalidPointer};

inline constexpr std::string_view kTextMemoryLimitExceeded = "Memory limit exceeded (Limit = %d bytes)";
inline constexpr TABSNativeError kMemoryLimitExceeded30004{30004, kTextMemoryLimitExceeded};

inline constexpr std::string_view kTextReallocMemError = "ReallocMem error: %s";
inline constexpr TABSNativeError kReallocMemError30014{30014, kTextReallocMemError};

inline constexpr std::string_view kTextGetMemError = "GetMem error: %s";
inline constexpr TABSNativeError kGetMemError30015{30015, kTextGetMemError};

inline constexpr std::string_view kTextNotImplementedYet = "Not implemented yet";
inline constexpr TABSNativeError kNotImplementedYet30040{30040, kTextNotImplementedYet};

inline constexpr std::string_view kTextUnknownDataType = "Unknown DataType: '%s'";
inline constexpr TABSNativeError kUnknownDataType30050{30050, kTextUnknownDataType};
inline constexpr TABSNativeError kUnknownDataType30289{30289, kTextUnknownDataType};

inline constexpr std::string_view kTextCannotCopyData = "Cannot copy data into new memory";
inline constexpr TABSNativeError kCannotCopyData30054{30054, kTextCannotCopyData};

inline constexpr std::string_view kTextMemoryOverrun = "Memory overrun detected";
inline constexpr TABSNativeError kMemoryOverrun30137{30137, kTextMemoryOverrun};

inline constexpr std::string_view kTextFreeAndNillMemError = "FreeAndNillMem error: %s";
inline constexpr TABSNativeError kFreeAndNillMemError30138{30138, kTextFreeAndNillMemError};

inline constexpr std::string_view kTextCannotAllocateZero = "Cannot allocate 0 bytes";
inline constexpr TABSNativeError kCannotAllocateZero30286{30286, kTextCannotAllocateZero};

inline constexpr std::string_view kTextUnknownGetMemMethod = "Unknown GetMem method type: %d";
inline constexpr TABSNativeError kUnknownGetMemMethod30340{30340, kTextUnknownGetMemMethod};

inline constexpr std::string_view kTextCannotCreateFile = "Cannot create file: '%s' Error code: %d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotCreateFile30361{30361, kTextCannotCreateFile};

inline constexpr std::string_view kTextCannotOpenFile = "Cannot open file:'%s' Error code: %d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotOpenFile30364{30364, kTextCannotOpenFile};

inline constexpr std::string_view kTextCannotCloseFile = "Cannot close file:'%s' Error code: %d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotCloseFile30365{30365, kTextCannotCloseFile};

inline constexpr std::string_view kTextUnknownAccessMode = "Unknown Access mode: '%d'";
inline constexpr TABSNativeError kUnknownAccessMode30366{30366, kTextUnknownAccessMode};

inline constexpr std::string_view kTextUnknownShareMode = "Unknown Share mode: '%d'";
inline constexpr TABSNativeError kUnknownShareMode30367{30367, kTextUnknownShareMode};

inline constexpr std::string_view kTextCannotTruncateFile = "Cannot Truncate File '%s' to %d bytes. ErrorCode:%d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotTruncateFile30370{30370, kTextCannotTruncateFile};

inline constexpr std::string_view kTextCannotGetFileSize = "Cannot Get File Size for file: '%s'. ErrorCode:%d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotGetFileSize30371{30371, kTextCannotGetFileSize};

inline constexpr std::string_view kTextCannotSetFilePosition = "Cannot Set File Position to %d. FileName='%s'. FilePosition = %d, FileSize = %d";
inline constexpr TABSNativeError kCannotSetFilePosition30372{30372, kTextCannotSetFilePosition};

inline constexpr std::string_view kTextCannotGetFilePosition = "Cannot Get File Position. FileName='%s' ErrorCode:%d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotGetFilePosition30373{30373, kTextCannotGetFilePosition};

inline constexpr std::string_view kTextBlankFileName = "Cannot create file with blank FileName";
inline constexpr TABSNativeError kBlankFileName30374{30374, kTextBlankFileName};

inline constexpr std::string_view kTextOperationOnClosedFile = "Cannot perform this operation (%s) on a closed file";
inline constexpr TABSNativeError kOperationOnClosedFile30376{30376, kTextOperationOnClosedFile};

inline constexpr std::string_view kTextOperationOnOpenedFile = "Cannot perform this operation (%s) on a opened file";
inline constexpr TABSNativeError kOperationOnOpenedFile30377{30377, kTextOperationOnOpenedFile};

inline constexpr std::string_view kTextCannotFlushFile = "Cannot flush file buffers for file: '%s'. ErrorCode:%d. ErrorMessage: %s";
inline constexpr TABSNativeError kCannotFlushFile30379{30379, kTextCannotFlushFile};

inline constexpr std::string_view kTextUnknownPageType = "Unknown Page Type: (%d)";
inline constexpr TABSNativeError kUnknownPageType30382{30382, kTextUnknownPageType};

inline constexpr std::string_view kTextCannotReadInternalFile = "Cannot Read internal file. FileSize=%d. ReadSize=%d";
inline constexpr TABSNativeError kCannotReadInternalFile30387{30387, kTextCannotReadInternalFile};

inline constexpr std::string_view kTextCannotReadBytesInternalFile = "Cannot Read % bytes from internal file. FileSize=%d. ReadSize=%d, Count=%d";
inline constexpr TABSNativeError kCannotReadBytesInternalFile30388{30388, kTextCannotReadBytesInternalFile};

inline constexpr std::string_view kTextErrorCreatingSystemDirectory = "Error Creating SystemDirectory. SystemDirectoryPageNo=%d. Real PageNo=%d.";
inline constexpr TABSNativeError kErrorCreatingSystemDirectory30392{30392, kTextErrorCreatingSystemDirectory};

inline constexpr std::string_view kTextTableListFileOpened = "Table list file already opened.";
inline constexpr TABSNativeError kTableListFileOpened30393{30393, kTextTableListFileOpened};

inline constexpr std::string_view kTextTableAlreadyExists = "Cannot create table. Table '%s' already exists";
inline constexpr TABSNativeError kTableAlreadyExists30395{30395, kTextTableAlreadyExists};

inline constexpr std::string_view kTextTableNotExists = "Table '%s' not exists.";
inline constexpr TABSNativeError kTableNotExists30396{30396, kTextTableNotExists};
inline constexpr TABSNativeError kTableNotExists30397{30397, kTextTableNotExists};
inline constexpr TABSNativeError kTableNotExists30405{30405, kTextTableNotExists};

inline constexpr std::string_view kTextCannotGetNextObjectId = "Cannot get NextObjectID. File area is Locked.";
inline constexpr TABSNativeError kCannotGetNextObjectId30401{30401, kTextCannotGetNextObjectId};

inline constexpr std::string_view kTextWrongPageType = "Wrong page type. Found '%s', but wanted: '%s'";
inline constexpr TABSNativeError kWrongPageType30423{30423, kTextWrongPageType};
inline constexpr TABSNativeError kWrongPageType30424{30424, kTextWrongPageType};
inline constexpr TABSNativeError kWrongPageType30428{30428, kTextWrongPageType};
inline constexpr TABSNativeError kWrongPageType30430{30430, kTextWrongPageType};
inline constexpr TABSNativeError kWrongPageType30432{30432, kTextWrongPageType};

inline constexpr std::string_view kTextPageAlreadyUsed = "Page: %d already used";
inline constexpr TABSNativeError kPageAlreadyUsed30425{30425, kTextPageAlreadyUsed};

inline constexpr std::string_view kTextPageAlreadyFree = "Page: %d already free";
inline constexpr TABSNativeError kPageAlreadyFree30427{30427, kTextPageAlreadyFree};

inline constexpr std::string_view kTextPageCannotBeAddressed = "Page: %d cannot be addressed. TotalPageCount=%d";
inline constexpr TABSNativeError kPageCannotBeAddressed30430{30430, kTextPageCannotBeAddressed};
inline constexpr TABSNativeError kPageCannotBeAddressed30431{30431, kTextPageCannotBeAddressed};

inline constexpr std::string_view kTextCannotDeletePfsEamPage = "Cannot delete PFS or EAM page. PageNo=%d";
inline constexpr TABSNativeError kCannotDeletePfsEamPage30434{30434, kTextCannotDeletePfsEamPage};

inline constexpr std::string_view kTextIncorrectPassword = "Cannot open database because incorrect password";
inline constexpr TABSNativeError kIncorrectPassword30445{30445, kTextIncorrectPassword};

inline constexpr std::string_view kTextDecryptPageCrcFailed = "Decrypt page error. Check CRC failed. PageNo: %d";
inline constexpr TABSNativeError kDecryptPageCrcFailed30446{30446, kTextDecryptPageCrcFailed};

// Places of the memory manager (one code under "Invalid pointer" each).
inline constexpr TABSNativeError kMemoryFreeInvalidPointer = kInvalidPointer30001;
inline constexpr TABSNativeError kMemoryReallocInvalidPointer = kInvalidPointer30002;
inline constexpr TABSNativeError kMemoryGetSizeInvalidPointer = kInvalidPointer30005;

}  // namespace native
}  // namespace kelvorin
