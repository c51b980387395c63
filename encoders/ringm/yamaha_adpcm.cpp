#include "encoders/ringm/yamaha_adpcm.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace {

constexpr int32_t StepScale[8] = {230, 230, 230, 230, 307, 409, 512, 614};
constexpr int32_t MinStep = 127;
constexpr int32_t MaxStep = 24576;

// The decoder's move for one nibble: new predictor and step.
inline void Advance(int32_t& predictor, int32_t& step, uint8_t nibble) {
  int32_t magnitude = nibble & 7;
  int32_t diff = 2 * magnitude + 1;
  if (nibble & 8) diff = -diff;
  predictor += step * diff / 8;  // truncation toward zero, as the players divide
  predictor = std::clamp(predictor, -32768, 32767);
  step = std::clamp((step * StepScale[magnitude]) >> 8, MinStep, MaxStep);
}

// The nibble the plain encoder picks: the quantiser cell that holds the difference.
inline uint8_t NearestNibble(int32_t sample, int32_t predictor, int32_t step) {
  int32_t delta = sample - predictor;
  int32_t magnitude = std::min(7, std::abs(delta) * 4 / step);
  return static_cast<uint8_t>(magnitude | (delta < 0 ? 8 : 0));
}

struct Node {
  int32_t predictor;
  int32_t step;
  uint64_t cost;  // squared error of the path since the last commit
};

struct Candidate {
  uint64_t cost;
  int32_t predictor;
  int32_t step;
  uint8_t parent;
  uint8_t nibble;
};

// Decisions are committed every BlockSamples: the best path is traced back and the search
// starts again from its end state alone. Paths merge long before that, so nothing is lost.
constexpr size_t BlockSamples = 1024;

// Open-addressed table over decoder states, cleared after each use.
constexpr size_t SeenSlots = 2048;

inline size_t StateSlot(int32_t predictor, int32_t step) {
  uint32_t h = static_cast<uint32_t>(predictor) * 2654435761u ^ static_cast<uint32_t>(step) * 40503u;
  return (h >> 16) & (SeenSlots - 1);
}

// Leaves in `candidates` at most `width` of them, the cheapest, no two with the same state.
void KeepCheapestDistinct(std::vector<Candidate>& candidates, size_t width,
                          std::vector<int32_t>& seen) {
  size_t unique = 0;
  for (size_t i = 0; i < candidates.size(); ++i) {
    const Candidate& c = candidates[i];
    size_t slot = StateSlot(c.predictor, c.step);
    for (;;) {
      int32_t at = seen[slot];
      if (at < 0) {
        seen[slot] = static_cast<int32_t>(unique);
        candidates[unique++] = c;
        break;
      }
      Candidate& other = candidates[static_cast<size_t>(at)];
      if (other.predictor == c.predictor && other.step == c.step) {
        if (c.cost < other.cost) other = c;
        break;
      }
      slot = (slot + 1) & (SeenSlots - 1);
    }
  }
  for (size_t i = 0; i < unique; ++i) {
    const Candidate& c = candidates[i];
    size_t slot = StateSlot(c.predictor, c.step);
    while (seen[slot] >= 0) {
      seen[slot] = -1;
      slot = (slot + 1) & (SeenSlots - 1);
    }
  }
  candidates.resize(unique);
  if (unique > width) {
    std::nth_element(candidates.begin(), candidates.begin() + static_cast<long>(width) - 1,
                     candidates.end(),
                     [](const Candidate& a, const Candidate& b) { return a.cost < b.cost; });
    candidates.resize(width);
  }
}

void PutNibble(std::span<uint8_t> out, size_t index, uint8_t nibble) {
  uint8_t& byte = out[index / 2];
  if (index & 1) {
    byte = static_cast<uint8_t>((byte & 0x0F) | nibble << 4);
  } else {
    byte = static_cast<uint8_t>((byte & 0xF0) | nibble);
  }
}

}  // namespace

int16_t YamahaAdpcmDecodeNibble(YamahaAdpcmState& state, uint8_t nibble) {
  Advance(state.predictor, state.step, nibble & 15);
  return static_cast<int16_t>(state.predictor);
}

size_t YamahaAdpcmBytes(size_t sampleCount) { return sampleCount / 2 + (sampleCount & 1); }

bool YamahaAdpcmEncode(std::span<const int16_t> samples, std::span<uint8_t> out, int searchWidth) {
  size_t count = samples.size();
  if (out.size() < YamahaAdpcmBytes(count)) return false;
  if (count == 0) return true;
  size_t coded = count + (count & 1);  // an odd count repeats its last sample
  auto target = [&](size_t i) -> int32_t { return samples[std::min(i, count - 1)]; };
  size_t width = static_cast<size_t>(std::clamp(searchWidth, 1, 255));

  std::vector<Node> nodes{Node{0, 127, 0}}, next;
  std::vector<Candidate> candidates;
  std::vector<int32_t> seen(SeenSlots, -1);
  std::vector<uint8_t> nibbles(BlockSamples * width), parents(BlockSamples * width);
  nodes.reserve(width);
  next.reserve(width);
  candidates.reserve(width * 4);

  for (size_t blockStart = 0; blockStart < coded; blockStart += BlockSamples) {
    size_t blockLength = std::min(BlockSamples, coded - blockStart);
    for (size_t t = 0; t < blockLength; ++t) {
      int32_t x = target(blockStart + t);
      candidates.clear();
      for (size_t i = 0; i < nodes.size(); ++i) {
        const Node& node = nodes[i];
        uint8_t nearest = NearestNibble(x, node.predictor, node.step);
        uint8_t tries[4] = {nearest};
        int tryCount = 1;
        if (width > 1) {
          uint8_t sign = nearest & 8, magnitude = nearest & 7;
          if (magnitude > 0) tries[tryCount++] = static_cast<uint8_t>(sign | (magnitude - 1));
          if (magnitude < 7) tries[tryCount++] = static_cast<uint8_t>(sign | (magnitude + 1));
          if (magnitude == 0) tries[tryCount++] = static_cast<uint8_t>(sign ^ 8);
        }
        for (int k = 0; k < tryCount; ++k) {
          int32_t predictor = node.predictor, step = node.step;
          Advance(predictor, step, tries[k]);
          int64_t error = static_cast<int64_t>(x) - predictor;
          candidates.push_back(Candidate{node.cost + static_cast<uint64_t>(error * error),
                                         predictor, step, static_cast<uint8_t>(i), tries[k]});
        }
      }
      // Of paths that reach the same decoder state only the cheapest can ever win; of the
      // rest keep the `width` cheapest.
      KeepCheapestDistinct(candidates, width, seen);
      next.clear();
      for (const Candidate& c : candidates) {
        nibbles[t * width + next.size()] = c.nibble;
        parents[t * width + next.size()] = c.parent;
        next.push_back(Node{c.predictor, c.step, c.cost});
      }
      nodes.swap(next);
    }
    // Trace the cheapest path back through the block.
    size_t index = 0;
    for (size_t i = 1; i < nodes.size(); ++i) {
      if (nodes[i].cost < nodes[index].cost) index = i;
    }
    Node best = nodes[index];
    for (size_t t = blockLength; t-- > 0;) {
      PutNibble(out, blockStart + t, nibbles[t * width + index]);
      index = parents[t * width + index];
    }
    best.cost = 0;
    nodes.assign(1, best);
  }
  return true;
}

size_t YamahaAdpcmDecode(std::span<const uint8_t> in, size_t sampleCount, int16_t* out) {
  YamahaAdpcmState state;
  size_t count = std::min(sampleCount, in.size() * 2);
  for (size_t i = 0; i < count; ++i) {
    uint8_t byte = in[i / 2];
    out[i] = YamahaAdpcmDecodeNibble(state, (i & 1) ? byte >> 4 : byte & 15);
  }
  return count;
}
