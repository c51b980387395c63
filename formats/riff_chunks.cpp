#include "formats/riff_chunks.h"

#include "formats/byte_order.h"

bool IsRiffForm(std::span<const uint8_t> file, const char* form) {
  return file.size() >= 12 && std::memcmp(file.data(), "RIFF", 4) == 0 &&
         std::memcmp(file.data() + 8, form, 4) == 0;
}

bool RiffChunkWalk::Next(RiffChunk& chunk) {
  if (ended_ || offset_ > file_.size() || file_.size() - offset_ < 8) return false;
  const uint8_t* header = file_.data() + offset_;
  chunk.id = header;
  chunk.size = Le32(header + 4);
  chunk.offset = offset_;
  chunk.body = offset_ + 8;
  const size_t there = file_.size() - chunk.body;
  chunk.available = chunk.size < there ? chunk.size : there;
  const uint64_t next = static_cast<uint64_t>(chunk.body) + chunk.size + (chunk.size & 1);
  if (next > file_.size())
    ended_ = true;
  else
    offset_ = static_cast<size_t>(next);
  return true;
}
