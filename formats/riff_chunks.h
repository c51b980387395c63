// The chunk walk of RIFF files (WAVE, QLCM): chunk headers one after the other, each body
// followed by a pad byte after an odd size. Bounded by the span: a chunk is given only when
// its 8-byte header is there, and the walk ends at the first chunk whose body and pad byte run
// past the end, whatever the sizes say.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <span>

struct RiffChunk {
  const uint8_t* id = nullptr;  // the four bytes of its id
  uint32_t size = 0;            // the declared body size
  size_t offset = 0;            // its header
  size_t body = 0;              // its body: offset + 8
  size_t available = 0;         // body bytes inside the span: at most `size`

  bool Is(const char* fourCc) const { return std::memcmp(id, fourCc, 4) == 0; }
  bool Whole() const { return available == size; }
};

// True when `file` starts with "RIFF", a size, and the form type `form` ("WAVE", "QLCM").
bool IsRiffForm(std::span<const uint8_t> file, const char* form);

class RiffChunkWalk {
 public:
  // Walks the chunks from the header at `offset` on (12 for the first chunk of a form).
  explicit RiffChunkWalk(std::span<const uint8_t> file, size_t offset = 12)
      : file_(file), offset_(offset) {}

  // The next chunk; false when the walk has ended.
  bool Next(RiffChunk& chunk);

 private:
  std::span<const uint8_t> file_;
  size_t offset_;
  bool ended_ = false;
};
