#include "view/selection_frames.h"

#include <algorithm>
#include <cctype>

#include "view/strip_geometry.h"

namespace {

std::string_view Trim(std::string_view text) {
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.front()))) text.remove_prefix(1);
  while (!text.empty() && std::isspace(static_cast<unsigned char>(text.back()))) text.remove_suffix(1);
  return text;
}

// Reads 1 to `maxDigits` digits; false when there are none or more.
bool Digits(std::string_view text, size_t maxDigits, uint64_t* value) {
  if (text.empty() || text.size() > maxDigits) return false;
  uint64_t v = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  *value = v;
  return true;
}

}  // namespace

std::string ClipTimeText(uint64_t frames, uint32_t sampleRate) {
  if (sampleRate == 0) return "0:00.00";
  const uint64_t hundredths = (frames * 100 + sampleRate / 2) / sampleRate;
  const uint64_t seconds = hundredths / 100;
  std::string text = std::to_string(seconds / 60) + ":";
  const uint64_t rest = seconds % 60, cs = hundredths % 100;
  text += static_cast<char>('0' + rest / 10);
  text += static_cast<char>('0' + rest % 10);
  text += '.';
  text += static_cast<char>('0' + cs / 10);
  text += static_cast<char>('0' + cs % 10);
  return text;
}

bool ParseClipTime(std::string_view text, uint32_t sampleRate, uint64_t* frames) {
  text = Trim(text);
  const size_t colon = text.find(':');
  if (colon == std::string_view::npos || sampleRate == 0) return false;
  std::string_view minutesText = text.substr(0, colon), rest = text.substr(colon + 1);
  std::string_view secondsText = rest, fractionText;
  if (const size_t dot = rest.find('.'); dot != std::string_view::npos) {
    secondsText = rest.substr(0, dot);
    fractionText = rest.substr(dot + 1);
    if (fractionText.empty()) return false;
  }
  uint64_t minutes = 0, seconds = 0, fraction = 0;
  if (!Digits(minutesText, 4, &minutes) || secondsText.size() != 2 ||
      !Digits(secondsText, 2, &seconds) || seconds >= 60)
    return false;
  if (!fractionText.empty()) {
    if (!Digits(fractionText, 2, &fraction)) return false;
    if (fractionText.size() == 1) fraction *= 10;
  }
  const uint64_t hundredths = (minutes * 60 + seconds) * 100 + fraction;
  *frames = (hundredths * sampleRate + 50) / 100;
  return true;
}

std::string CheckTypedTimes(std::string_view startText, std::string_view endText,
                            uint32_t sampleRate, uint32_t songFrames, FrameRange* range) {
  uint64_t start = 0, end = 0;
  if (!ParseClipTime(startText, sampleRate, &start))
    return "Please type the start as minutes, seconds and hundredths, like 0:12.50.";
  if (!ParseClipTime(endText, sampleRate, &end))
    return "Please type the end as minutes, seconds and hundredths, like 0:42.50.";
  if (end <= start) return "The end must come after the start.";
  if (end > songFrames)
    return "The song is only " + ClipTimeText(songFrames, sampleRate) + " long.";
  range->start = static_cast<uint32_t>(start);
  range->end = static_cast<uint32_t>(end);
  return {};
}

FrameRange NudgeSelection(FrameRange range, bool moveStart, int32_t deltaMs, uint32_t sampleRate,
                          uint32_t songFrames) {
  const int64_t magnitude = (static_cast<int64_t>(deltaMs < 0 ? -deltaMs : deltaMs) * sampleRate + 500) / 1000;
  const int64_t delta = deltaMs < 0 ? -magnitude : magnitude;
  if (moveStart) {
    const int64_t start = std::clamp<int64_t>(range.start + delta, 0, range.end);
    range.start = static_cast<uint32_t>(start);
  } else {
    const int64_t end = std::clamp<int64_t>(range.end + delta, range.start, songFrames);
    range.end = static_cast<uint32_t>(end);
  }
  return range;
}

std::string SelectionTimesText(FrameRange range, uint32_t sampleRate) {
  return "Start " + ClipTimeText(range.start, sampleRate) + "   End " +
         ClipTimeText(range.end, sampleRate) + "   Length " +
         ClipTimeText(range.Length(), sampleRate);
}

int StripXForFrame(uint64_t frame, uint64_t firstFrame, uint64_t shownFrames) {
  if (shownFrames == 0 || frame <= firstFrame) return WaveArea::Left;
  const uint64_t offset = (frame - firstFrame) * WaveArea::Width / shownFrames;
  return WaveArea::Left + static_cast<int>(std::min<uint64_t>(offset, WaveArea::Width));
}

uint64_t FrameForStripX(int x, uint64_t firstFrame, uint64_t shownFrames) {
  const int column = std::clamp(x - WaveArea::Left, 0, WaveArea::Width);
  return firstFrame + (static_cast<uint64_t>(column) * shownFrames + WaveArea::Width - 1) / WaveArea::Width;
}
