// Native error entries raised by the engine's streams and the compressed BLOB
// stream, named after their raising place.
#pragma once

#include "db/storage/errors/native_errors.h"

namespace kelvorin::native {

// Copies between streams.
inline constexpr const TABSNativeError& kCopyBlockSizeZero = kStreamBlockSizeZero10418;
inline constexpr const TABSNativeError& kCopyRead = kCannotReadFromStream10146;
inline constexpr const TABSNativeError& kCopyWrite = kCannotWriteToStream10147;

// Memory and temporary streams: a position before the start.
inline constexpr const TABSNativeError& kMemorySeek = kCannotSetStreamPosition10079;

// Creating a compressed BLOB stream.
inline constexpr const TABSNativeError& kBlobStartPosition = kCannotSetStreamPosition10103;
inline constexpr const TABSNativeError& kBlobTooSmall = kStreamSizeTooSmall10081;
inline constexpr const TABSNativeError& kBlobBlockSize = kStreamBlockSizeZero10419;
inline constexpr const TABSNativeError& kBlobSettings = kCompressBufferFailed10085;
// Loading block headers.
inline constexpr const TABSNativeError& kBlobHeadersTooSmall = kStreamSizeTooSmall10082;
inline constexpr const TABSNativeError& kBlobHeaderMove = kCannotSetStreamPosition10083;
inline constexpr const TABSNativeError& kBlobHeaderSize = kDecompressUncompSizeMismatch10088;
// Reading a block.
inline constexpr const TABSNativeError& kBlobBlockRead = kCannotReadFromStream10086;
inline constexpr const TABSNativeError& kBlobDecompress = kDecompressFailedSizes10087;
inline constexpr const TABSNativeError& kBlobUncompSize = kDecompressUncompSizeMismatch10088;
inline constexpr const TABSNativeError& kBlobChecksum = kDecompressChecksumMismatch10089;
inline constexpr const TABSNativeError& kBlobReadSize = kCannotReadStreamSize10090;
// Writing.
inline constexpr const TABSNativeError& kBlobCompress = kCompressBufferFailed10085;
inline constexpr const TABSNativeError& kBlobCutPosition = kCannotSetStreamPosition10091;
inline constexpr const TABSNativeError& kBlobCutSize = kInvalidStreamSize10092;
inline constexpr const TABSNativeError& kBlobRewritePosition = kCannotSetStreamPosition10099;
inline constexpr const TABSNativeError& kBlobWriteHeader = kCannotWriteToStream10100;
inline constexpr const TABSNativeError& kBlobWriteData = kCannotWriteToStream10101;
inline constexpr const TABSNativeError& kBlobSeek = kCannotSetStreamPosition10102;
// SetSize.
inline constexpr const TABSNativeError& kBlobShrinkSize = kInvalidStreamSize10093;
inline constexpr const TABSNativeError& kBlobShrinkPosition = kCannotSetStreamPosition10094;
inline constexpr const TABSNativeError& kBlobShrinkRewrite = kErrorWritingToStream10095;
inline constexpr const TABSNativeError& kBlobShrinkCut = kErrorWritingToStream10096;
inline constexpr const TABSNativeError& kBlobGrowWrite = kCannotWriteToStream10097;

// File streams.
inline constexpr const TABSNativeError& kFileCreate = kStreamCannotCreateFile10104;
inline constexpr const TABSNativeError& kFileOpen = kStreamCannotOpenFile10105;

}  // namespace kelvorin::native
