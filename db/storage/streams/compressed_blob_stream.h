// TABSCompressedBLOBStream: a BLOB value seen as an ordinary seekable stream
// while it is stored in a container stream as a chain of independently
// compressed blocks, each behind a 20-byte header with its sizes and CRC.
// Every block but the last holds exactly one block size of bytes, so a
// position maps to its block by division. Writing appends: it first cuts the
// stream at the position, then refills the last block and adds new ones.
// With algorithm 0 ("NONE") the bytes lie in the container as they are.
//
// Nothing read from the container is trusted: settings and headers that do
// not describe a well-formed chain raise an engine error before any buffer
// is sized from them.
#pragma once

#include <cstdint>
#include <vector>

#include "db/storage/streams/compressed_blob_settings.h"
#include "db/storage/memory/memory_manager.h"
#include "db/storage/errors/native_errors.h"
#include "db/storage/streams/stream.h"

namespace kelvorin {

class TABSCompressedBLOBStream : public TABSStream {
 public:
  // Positions the container at the start position. A new stream starts
  // empty; an existing one loads its block headers (with tolerated
  // truncation, blocks missing at the container's end are dropped).
  TABSCompressedBLOBStream(TABSStream& container, bool tolerate_truncation, bool new_stream,
                           const TABSCompressedStreamSettings& settings);

  int64_t Read(void* buffer, int64_t count) override;
  int64_t Write(const void* buffer, int64_t count) override;
  int64_t Seek(int64_t offset, TABSSeekOrigin origin) override;
  void SetSize(int64_t size) override;
  int64_t Size() override { return size_; }

  // The settings to store with the BLOB.
  TABSCompressedStreamSettings Settings() const;
  // (1 - compressed / uncompressed) x 100; 0 when empty or uncompressed.
  float CompressionRatio() const;
  int64_t CompressedSize() const { return compressed_size_; }
  int64_t BlockCount() const { return static_cast<int64_t>(blocks_.size()); }
  const TABSCompressedBlockHeader& BlockHeader(int64_t index) const {
    return blocks_[static_cast<size_t>(index)].header;
  }
  int64_t BlockPosition(int64_t index) const { return blocks_[static_cast<size_t>(index)].position; }
  // The block holding the position (0 for an empty stream).
  int64_t CurrentBlock() const { return current_block_; }

 private:
  struct Block {
    TABSCompressedBlockHeader header;
    int64_t position;  // of the header in the container
  };
  // The raising places of one block rewrite.
  struct RewriteErrors {
    const TABSNativeError& position;
    const TABSNativeError& header;
    const TABSNativeError& data;
  };

  bool Compressed() const { return settings_.algorithm != 0; }
  void CheckSettings(bool new_stream);
  void LoadHeaders();
  void ReadContainer(int64_t position, void* buffer, int64_t count, const TABSNativeError& error);
  const uint8_t* DecodedBlock(int64_t index);
  TABSCompressedBlockHeader CompressBlock(const uint8_t* data, int32_t size,
                                          TABSMemoryBlock* compressed);
  void WriteBlock(int64_t position, const uint8_t* data, int32_t size, const RewriteErrors& errors,
                  Block* block);
  int64_t EndOfBlocks() const;
  void Append(const uint8_t* data, int64_t count, const RewriteErrors& errors);
  void AppendBlocks(const uint8_t* data, int64_t count, const RewriteErrors& errors);
  void AppendZeros(int64_t count, const RewriteErrors& errors);
  // Cuts the stream to `size`; the errors name the caller (a write or SetSize).
  void Shrink(int64_t size, const TABSNativeError& position_error,
              const TABSNativeError& size_error);
  void CutContainer(const TABSNativeError& error);
  void Recount();

  TABSStream& container_;
  TABSCompressedStreamSettings settings_;
  bool tolerate_truncation_;
  std::vector<Block> blocks_;
  int64_t size_ = 0;
  int64_t compressed_size_ = 0;
  int64_t position_ = 0;
  int64_t current_block_ = 0;
  // The last block decompressed, kept for sequential reads and appends.
  int64_t cached_index_ = -1;
  TABSMemoryBlock cached_;
};

}  // namespace kelvorin
