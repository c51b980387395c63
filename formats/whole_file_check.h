// The one face of the whole-file checks, the same for every format: given all the bytes of a
// file, the number of units it holds (frames, packets, sample frames or tracks, as the
// format counts them), or -1 when the bytes are not a whole, well-formed file of the format.
#pragma once
#include <cstdint>
#include <span>

using WholeFileCheck = long (*)(std::span<const uint8_t> file);
