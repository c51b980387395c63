// A bounded walk over the boxes of an MP4/M4A/3GP/MOV file that checks its sample tables
// against the file's size before a demuxer builds its index from them: a file of a few kilobytes
// that claims millions of samples would otherwise make the demuxer allocate hundreds of
// megabytes before it finds out.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

// Reads exactly out.size() bytes at `offset` of the file; false when they are not all there.
using Mp4ReadAt = std::function<bool(uint64_t offset, std::span<uint8_t> out)>;

// False when a sample table of the file claims more than its bytes can hold:
// - "stsz"/"stz2" with a table: the table must fit in the box; with one size for all samples,
//   samples x size must fit in the file (every sample takes at least one byte of it);
// - "stts", "stsc", "stco", "co64", "stss", "ctts": entry count x entry size within the box;
// - "trun" (fragments): sample count x the fields per sample within the box, and no more
//   samples than the file has bytes.
// Walks moov/trak/mdia/minf/stbl and moof/traf only, reading box headers and the few fields
// above (never a table itself), at most Mp4WalkReadLimit reads; a file that is no MP4, or whose
// boxes stop making sense, passes (the demuxer judges what it can read).
inline constexpr int Mp4WalkReadLimit = 20000;
bool Mp4SampleTablesFit(uint64_t fileSize, const Mp4ReadAt& read);
