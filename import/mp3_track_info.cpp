#include "import/mp3_track_info.h"

#include <cstring>

#include "import/mp3_scanner.h"

bool InitTrackInfo(const Mp3Source& source, Mp3TrackInfo* track) {
  if (!source.path || !track) return false;
  size_t length = std::strlen(source.path);
  if (length == 0 || length >= Mp3TrackInfo::PathCapacity) return false;
  *track = Mp3TrackInfo();
  std::memcpy(track->path, source.path, length + 1);
  return true;
}

void CopyTrackText(char* field, int capacity, const char* text) {
  if (!field || capacity <= 0) return;
  size_t length = text ? std::strlen(text) : 0;
  if (length >= static_cast<size_t>(capacity)) length = static_cast<size_t>(capacity) - 1;
  if (length) std::memcpy(field, text, length);
  field[length] = '\0';
}

void FillTrackInfoFromScan(const Mp3Scanner& scanner, const char* converterText,
                           Mp3TrackInfo* track) {
  const Mp3StreamInfo& info = scanner.Info();
  if (track->bitrate == 0) track->bitrate = info.averageBitrate;
  if (track->duration == 0) track->duration = info.duration;
  if (track->sampleRate == 0) track->sampleRate = info.sampleRate;
  track->fileBytes = static_cast<int32_t>(scanner.FileBytes());
  track->frameBytes = static_cast<int32_t>(scanner.FrameBytes());
  track->skippedBytes = static_cast<int32_t>(scanner.SkippedBytes());
  track->damageMap = scanner.DamageMap();
  track->firstFrameOffset = static_cast<int32_t>(scanner.FirstFrameOffset());
  CopyTrackText(track->converterText, Mp3TrackInfo::TextCapacity, converterText);
}
