#include "db/storage/streams/compressed_blob_stream.h"

#include <algorithm>
#include <cstring>

#include "db/storage/errors/abs_exception.h"
#include "db/storage/compression/compression.h"
#include "db/storage/file/crc32.h"
#include "db/storage/streams/stream_errors.h"

namespace kelvorin {
namespace {

constexpr int64_t kHeaderSize = TABSCompressedBlockHeader::kStoredSize;

}  // namespace

TABSCompressedBLOBStream::TABSCompressedBLOBStream(TABSStream& container, bool tolerate_truncation,
                                                   bool new_stream,
                                                   const TABSCompressedStreamSettings& settings)
    : container_(container), settings_(settings), tolerate_truncation_(tolerate_truncation) {
  CheckSettings(new_stream);
  int64_t start = settings_.start_position;
  int64_t available = container_.Size() - start;
  if (Compressed()) {
    if (new_stream) {
      settings_.block_count = 0;
    } else {
      LoadHeaders();
    }
  } else if (!new_stream) {
    size_ = settings_.uncompressed_size;
    if (size_ < 0 || (available < size_ && !tolerate_truncation_)) {
      throw EABSException(native::kBlobTooSmall, {available, size_});
    }
    size_ = std::min(size_, available);
  }
  container_.SetPosition(start);
}

void TABSCompressedBLOBStream::CheckSettings(bool new_stream) {
  uint8_t algorithm = settings_.algorithm;
  int level = settings_.level;
  bool bad_level = algorithm == static_cast<uint8_t>(TABSCompressionAlgorithm::kPpm) &&
                   !IsValidCompressionLevel(algorithm, level);
  if (!IsKnownCompressionAlgorithm(algorithm) || bad_level) {
    throw EABSException(native::kBlobSettings, {algorithm, level, 0, 0});
  }
  if (Compressed()) {
    if (new_stream && settings_.block_size == 0) {
      settings_.block_size = DefaultCompressionBlockSize(level);
    }
    if (settings_.block_size <= 0) throw EABSException(native::kBlobBlockSize);
  }
  int64_t start = settings_.start_position;
  int64_t container_size = container_.Size();
  if (start < 0 || start > container_size || container_.Seek(start, TABSSeekOrigin::kBeginning) != start) {
    throw EABSException(native::kBlobStartPosition, {start, container_.Position(), container_size});
  }
}

void TABSCompressedBLOBStream::ReadContainer(int64_t position, void* buffer, int64_t count,
                                             const TABSNativeError& error) {
  int64_t read = 0;
  if (container_.Seek(position, TABSSeekOrigin::kBeginning) == position) {
    read = container_.Read(buffer, count);
  }
  if (read != count) throw EABSException(error, {position, container_.Size(), count, read});
}

void TABSCompressedBLOBStream::LoadHeaders() {
  int64_t container_size = container_.Size();
  int64_t block_size = settings_.block_size;
  int64_t position = settings_.start_position;
  if (settings_.block_count < 0) {
    throw EABSException(native::kBlobHeadersTooSmall, {container_size, position + kHeaderSize});
  }
  for (int64_t i = 0; i < settings_.block_count; ++i) {
    if (container_size - position < kHeaderSize) {
      if (tolerate_truncation_) break;
      throw EABSException(native::kBlobHeadersTooSmall, {container_size, position + kHeaderSize});
    }
    uint8_t stored[kHeaderSize];
    ReadContainer(position, stored, kHeaderSize, native::kBlobHeadersTooSmall);
    TABSCompressedBlockHeader h = TABSCompressedBlockHeader::Load(stored);
    if (h.compressed_size <= 0 || h.distance != h.compressed_size + kHeaderSize) {
      throw EABSException(native::kBlobHeaderMove,
                          {StreamOffset(position, h.distance), position, container_size});
    }
    if (h.uncompressed_size <= 0 || h.uncompressed_size > block_size) {
      throw EABSException(native::kBlobHeaderSize, {h.uncompressed_size, block_size});
    }
    if (!blocks_.empty() && blocks_.back().header.uncompressed_size != block_size) {
      throw EABSException(native::kBlobHeaderSize,
                          {blocks_.back().header.uncompressed_size, block_size});
    }
    if (h.distance > container_size - position) {
      if (tolerate_truncation_) break;
      throw EABSException(native::kBlobHeadersTooSmall,
                          {container_size, StreamOffset(position, h.distance)});
    }
    blocks_.push_back({h, position});
    position += h.distance;
  }
  Recount();
}

void TABSCompressedBLOBStream::Recount() {
  size_ = 0;
  compressed_size_ = 0;
  for (const Block& b : blocks_) {
    size_ += b.header.uncompressed_size;
    compressed_size_ += b.header.compressed_size;
  }
  if (cached_index_ >= BlockCount()) cached_index_ = -1;
}

const uint8_t* TABSCompressedBLOBStream::DecodedBlock(int64_t index) {
  if (index == cached_index_) return cached_.bytes();
  const Block& block = blocks_[static_cast<size_t>(index)];
  const TABSCompressedBlockHeader& h = block.header;
  TABSMemoryBlock compressed(h.compressed_size);
  ReadContainer(block.position + kHeaderSize, compressed.data(), h.compressed_size,
                native::kBlobBlockRead);
  TABSMemoryBlock output;
  int64_t produced = 0;
  cached_index_ = -1;
  if (!DecompressBuffer(settings_.algorithm, compressed.data(), h.compressed_size,
                        h.uncompressed_size, &output, &produced)) {
    throw EABSException(native::kBlobDecompress, {settings_.algorithm, h.compressed_size, produced});
  }
  if (produced != h.uncompressed_size) {
    throw EABSException(native::kBlobUncompSize, {produced, h.uncompressed_size});
  }
  uint32_t crc = AbsCrc32(output.data(), static_cast<size_t>(produced));
  if (crc != h.crc32) {
    throw EABSException(native::kBlobChecksum,
                        {static_cast<int32_t>(crc), static_cast<int32_t>(h.crc32)});
  }
  cached_ = std::move(output);
  cached_index_ = index;
  return cached_.bytes();
}

TABSCompressedBlockHeader TABSCompressedBLOBStream::CompressBlock(const uint8_t* data, int32_t size,
                                                                  TABSMemoryBlock* compressed) {
  int64_t out_size = 0;
  if (!CompressBuffer(settings_.algorithm, settings_.level, data, size, compressed, &out_size)) {
    throw EABSException(native::kBlobCompress, {settings_.algorithm, settings_.level, size, out_size});
  }
  TABSCompressedBlockHeader h;
  h.compressed_size = static_cast<int32_t>(out_size);
  h.uncompressed_size = size;
  h.crc32 = AbsCrc32(data, static_cast<size_t>(size));
  h.distance = out_size + kHeaderSize;
  return h;
}

void TABSCompressedBLOBStream::WriteBlock(int64_t position, const uint8_t* data, int32_t size,
                                          const RewriteErrors& errors, Block* block) {
  TABSMemoryBlock compressed;
  TABSCompressedBlockHeader h = CompressBlock(data, size, &compressed);
  if (container_.Seek(position, TABSSeekOrigin::kBeginning) != position) {
    throw EABSException(errors.position, {position, container_.Position(), container_.Size()});
  }
  uint8_t stored[kHeaderSize];
  h.Store(stored);
  int64_t written = container_.Write(stored, kHeaderSize);
  if (written != kHeaderSize) {
    throw EABSException(errors.header, {position, container_.Size(), kHeaderSize, written});
  }
  written = container_.Write(compressed.data(), h.compressed_size);
  if (written != h.compressed_size) {
    throw EABSException(errors.data, {position + kHeaderSize, container_.Size(),
                                      h.compressed_size, written});
  }
  block->header = h;
  block->position = position;
}

int64_t TABSCompressedBLOBStream::EndOfBlocks() const {
  if (blocks_.empty()) return settings_.start_position;
  return blocks_.back().position + blocks_.back().header.distance;
}

void TABSCompressedBLOBStream::Append(const uint8_t* data, int64_t count,
                                      const RewriteErrors& errors) {
  try {
    AppendBlocks(data, count, errors);
  } catch (...) {
    // The blocks written before the failure stay; the size must count them.
    Recount();
    throw;
  }
}

void TABSCompressedBLOBStream::AppendBlocks(const uint8_t* data, int64_t count,
                                            const RewriteErrors& errors) {
  const int64_t block_size = settings_.block_size;
  int64_t done = 0;
  bool rewrote = false;
  if (!blocks_.empty() && size_ % block_size != 0) {
    // The last block is not full: refill it in place.
    int64_t index = BlockCount() - 1;
    int64_t used = blocks_.back().header.uncompressed_size;
    int64_t take = std::min(block_size - used, count);
    TABSMemoryBlock merged(used + take);
    std::memcpy(merged.data(), DecodedBlock(index), static_cast<size_t>(used));
    std::memcpy(merged.bytes() + used, data, static_cast<size_t>(take));
    Block& last = blocks_.back();
    WriteBlock(last.position, merged.bytes(), static_cast<int32_t>(used + take), errors, &last);
    cached_ = std::move(merged);
    cached_index_ = index;
    done = take;
    rewrote = true;
  }
  while (done < count) {
    int64_t chunk = std::min(block_size, count - done);
    Block block{};
    WriteBlock(EndOfBlocks(), data + done, static_cast<int32_t>(chunk), errors, &block);
    blocks_.push_back(block);
    done += chunk;
  }
  Recount();
  // A refilled block may have come out shorter than before.
  if (rewrote && container_.Size() > EndOfBlocks()) CutContainer(native::kBlobShrinkCut);
}

void TABSCompressedBLOBStream::AppendZeros(int64_t count, const RewriteErrors& errors) {
  TABSMemoryBlock zeros(std::min<int64_t>(count, settings_.block_size), true);
  while (count > 0) {
    int64_t chunk = std::min(count, zeros.size());
    Append(zeros.bytes(), chunk, errors);
    count -= chunk;
  }
}

void TABSCompressedBLOBStream::CutContainer(const TABSNativeError& error) {
  int64_t end = EndOfBlocks();
  container_.SetSize(end);
  if (container_.Size() != end) throw EABSException(error);
}

void TABSCompressedBLOBStream::Shrink(int64_t size, const TABSNativeError& position_error,
                                      const TABSNativeError& size_error) {
  const int64_t block_size = settings_.block_size;
  int64_t whole = size / block_size;
  int64_t tail = size % block_size;
  if (tail > 0) {
    // The block holding the new end is rewritten shortened.
    TABSMemoryBlock kept(tail);
    std::memcpy(kept.data(), DecodedBlock(whole), static_cast<size_t>(tail));
    blocks_.resize(static_cast<size_t>(whole + 1));
    const RewriteErrors errors{position_error, native::kBlobShrinkRewrite,
                               native::kBlobShrinkRewrite};
    Block& last = blocks_.back();
    WriteBlock(last.position, kept.bytes(), static_cast<int32_t>(tail), errors, &last);
    cached_ = std::move(kept);
    cached_index_ = whole;
  } else {
    // Exactly the whole blocks before the new end remain; none is rewritten.
    blocks_.resize(static_cast<size_t>(whole));
  }
  Recount();
  int64_t end = EndOfBlocks();
  container_.SetSize(end);
  if (container_.Size() != end) throw EABSException(size_error, {container_.Size(), end});
  if (size_ != size) throw EABSException(size_error, {size_, size});
}

int64_t TABSCompressedBLOBStream::Read(void* buffer, int64_t count) {
  if (count <= 0 || position_ >= size_) return 0;
  uint8_t* out = static_cast<uint8_t*>(buffer);
  if (!Compressed()) {
    int64_t start = settings_.start_position;
    int64_t n = 0;
    int64_t at = StreamOffset(start, position_);
    if (at >= 0 && container_.Seek(at, TABSSeekOrigin::kBeginning) == at) {
      n = container_.Read(out, std::min(count, size_ - position_));
    }
    position_ += n;
    return n;
  }
  const int64_t block_size = settings_.block_size;
  int64_t done = 0;
  while (done < count && position_ < size_) {
    int64_t index = position_ / block_size;
    const uint8_t* data = DecodedBlock(index);
    int64_t offset = position_ - index * block_size;
    int64_t n = std::min({blocks_[static_cast<size_t>(index)].header.uncompressed_size - offset,
                          count - done, size_ - position_});
    if (n <= 0) throw EABSException(native::kBlobReadSize, {n});
    std::memcpy(out + done, data + offset, static_cast<size_t>(n));
    done += n;
    position_ += n;
  }
  current_block_ = position_ / block_size;
  return done;
}

int64_t TABSCompressedBLOBStream::Write(const void* buffer, int64_t count) {
  if (count <= 0 || StreamOffset(position_, count) < 0) return 0;
  const uint8_t* in = static_cast<const uint8_t*>(buffer);
  if (!Compressed()) {
    int64_t start = settings_.start_position;
    int64_t target = StreamOffset(start, position_);
    if (target < 0 || container_.Seek(target, TABSSeekOrigin::kBeginning) != target) {
      throw EABSException(native::kBlobSeek, {target, container_.Position(), container_.Size()});
    }
    int64_t n = container_.Write(in, count);
    position_ += n;
    size_ = std::max(size_, position_);
    return n;
  }
  const RewriteErrors errors{native::kBlobRewritePosition, native::kBlobWriteHeader,
                             native::kBlobWriteData};
  if (position_ < size_) {
    Shrink(position_, native::kBlobCutPosition, native::kBlobCutSize);
  } else if (position_ > size_) {
    // Writing beyond the end fills the gap with zeros, as a file does.
    AppendZeros(position_ - size_, errors);
  }
  Append(in, count, errors);
  position_ += count;
  current_block_ = position_ / settings_.block_size;
  return count;
}

int64_t TABSCompressedBLOBStream::Seek(int64_t offset, TABSSeekOrigin origin) {
  int64_t base = origin == TABSSeekOrigin::kBeginning ? 0
                 : origin == TABSSeekOrigin::kCurrent ? position_
                                                      : size_;
  int64_t target = StreamOffset(base, offset);
  if (target < 0) throw EABSException(native::kBlobSeek, {target, position_, size_});
  if (!Compressed()) {
    int64_t in_container = StreamOffset(settings_.start_position, target);
    if (in_container < 0 ||
        container_.Seek(in_container, TABSSeekOrigin::kBeginning) != in_container) {
      throw EABSException(native::kBlobSeek, {in_container, container_.Position(), container_.Size()});
    }
  }
  position_ = target;
  current_block_ = size_ == 0 || !Compressed() ? 0 : position_ / settings_.block_size;
  return position_;
}

void TABSCompressedBLOBStream::SetSize(int64_t size) {
  if (size < 0) throw EABSException(native::kBlobShrinkSize, {size, size_});
  if (!Compressed()) {
    int64_t end = StreamOffset(settings_.start_position, size);
    if (end < 0) throw EABSException(native::kBlobShrinkSize, {size, size_});
    container_.SetSize(end);
    size_ = size;
  } else if (size > size_) {
    const RewriteErrors errors{native::kBlobRewritePosition, native::kBlobGrowWrite,
                               native::kBlobGrowWrite};
    AppendZeros(size - size_, errors);
  } else if (size < size_) {
    Shrink(size, native::kBlobShrinkPosition, native::kBlobShrinkSize);
  }
  position_ = std::min(position_, size_);
}

TABSCompressedStreamSettings TABSCompressedBLOBStream::Settings() const {
  TABSCompressedStreamSettings s = settings_;
  s.block_count = Compressed() ? BlockCount() : 0;
  s.uncompressed_size = size_;
  return s;
}

float TABSCompressedBLOBStream::CompressionRatio() const {
  if (!Compressed() || size_ == 0) return 0;
  return static_cast<float>((1.0 - static_cast<double>(compressed_size_) / static_cast<double>(size_)) *
                            100.0);
}

}  // namespace kelvorin
