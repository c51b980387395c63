// Fields of outside files in either byte order. The loads read the bytes at a pointer the
// caller has bounds-checked; ByteReader reads a span in order and never past its end (a read
// that does not fit gives 0 and marks the reader failed). The stores write fields back.
#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
inline uint32_t Le32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline uint32_t Le24(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
         static_cast<uint32_t>(p[2]) << 16;
}
inline uint16_t Be16(const uint8_t* p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }
inline uint32_t Be32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 |
         static_cast<uint32_t>(p[2]) << 8 | static_cast<uint32_t>(p[3]);
}

inline void PutLe16(uint8_t* p, uint16_t v) {
  p[0] = static_cast<uint8_t>(v);
  p[1] = static_cast<uint8_t>(v >> 8);
}
inline void PutLe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
inline void PutBe32(uint8_t* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(v >> (24 - 8 * i));
}
inline void AppendLe16(std::vector<uint8_t>& v, uint16_t x) {
  v.push_back(static_cast<uint8_t>(x));
  v.push_back(static_cast<uint8_t>(x >> 8));
}
inline void AppendLe32(std::vector<uint8_t>& v, uint32_t x) {
  AppendLe16(v, static_cast<uint16_t>(x & 0xFFFF));
  AppendLe16(v, static_cast<uint16_t>(x >> 16));
}

class ByteReader {
 public:
  explicit ByteReader(std::span<const uint8_t> bytes, size_t at = 0) : bytes_(bytes), at_(at) {
    if (at_ > bytes_.size()) Fail();
  }

  uint8_t U8() { return Fits(1) ? bytes_[at_++] : 0; }
  uint16_t Le16() { return Take<uint16_t>(2, ::Le16); }
  uint32_t Le32() { return Take<uint32_t>(4, ::Le32); }
  uint16_t Be16() { return Take<uint16_t>(2, ::Be16); }
  uint32_t Be32() { return Take<uint32_t>(4, ::Be32); }
  // The next `count` bytes (empty and failed when they are not all there).
  std::span<const uint8_t> Bytes(size_t count) {
    if (!Fits(count)) return {};
    std::span<const uint8_t> part = bytes_.subspan(at_, count);
    at_ += count;
    return part;
  }
  bool Skip(size_t count) {
    Bytes(count);
    return !failed_;
  }

  size_t Position() const { return at_; }
  size_t Remaining() const { return bytes_.size() - at_; }
  bool Failed() const { return failed_; }

 private:
  bool Fits(size_t count) {
    if (failed_ || Remaining() < count) {
      Fail();
      return false;
    }
    return true;
  }
  void Fail() {
    failed_ = true;
    at_ = bytes_.size();
  }
  template <typename T>
  T Take(size_t count, T (*load)(const uint8_t*)) {
    if (!Fits(count)) return 0;
    const T value = load(bytes_.data() + at_);
    at_ += count;
    return value;
  }

  std::span<const uint8_t> bytes_;
  size_t at_ = 0;
  bool failed_ = false;
};

// The field at `at` of `bytes`; 0 when it is not all there.
inline uint16_t Le16At(std::span<const uint8_t> bytes, size_t at) {
  return ByteReader(bytes, at).Le16();
}
inline uint32_t Le32At(std::span<const uint8_t> bytes, size_t at) {
  return ByteReader(bytes, at).Le32();
}
