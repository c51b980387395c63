#include "formats/utf8_text.h"
#include "import/mp3_scanner.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "session/unique_handle.h"

void Mp3Scanner::Reset(uint32_t fileBytes) {
  *this = Mp3Scanner();
  fileBytes_ = fileBytes;
}

void Mp3Scanner::Feed(const uint8_t* bytes, size_t size) {
  if (size == 0 || formatChangeOffset_ != 0) return;
  if (synced_) {
    Walk(bytes, size);
    return;
  }
  accumulation_.insert(accumulation_.end(), bytes, bytes + size);
  size_t syncAt = 0, resumeAt = 0;
  if (!FindMp3Sync(accumulation_.data(), accumulation_.size(), searchFrom_, &syncAt,
                   &resumeAt)) {
    // Offsets before resumeAt can never start the stream: keep only what may still matter.
    accumulation_.erase(accumulation_.begin(),
                        accumulation_.begin() + static_cast<ptrdiff_t>(resumeAt));
    accumulationBase_ += static_cast<uint32_t>(resumeAt);
    searchFrom_ = 0;
    return;
  }
  synced_ = true;
  firstFrameOffset_ = accumulationBase_ + static_cast<uint32_t>(syncAt);
  audioBytes_ = fileBytes_ > firstFrameOffset_ ? fileBytes_ - firstFrameOffset_ : 0;
  std::vector<uint8_t> stream(accumulation_.begin() + static_cast<ptrdiff_t>(syncAt),
                              accumulation_.end());
  std::vector<uint8_t>().swap(accumulation_);
  Walk(stream.data(), stream.size());
}

void Mp3Scanner::CountFrame(const Mp3FrameHeader& h) {
  if (info_.frameCount == 0) {
    info_.sampleRate = h.sampleRate;
    info_.bitrate = h.bitrate;
    info_.version = h.version;
    info_.stereo = h.stereo;
  } else if (h.bitrate != info_.bitrate) {
    info_.bitrate = 0;
  }
  ++info_.frameCount;
  frameBytes_ += static_cast<uint32_t>(h.length);
  bitrateSum_ += h.bitrate;
}

void Mp3Scanner::DropPending(uint32_t bytes) {
  pendingBytes_ = 0;
  for (uint32_t i = 0; i < bytes; ++i) SkipByte();
}

void Mp3Scanner::SkipByte() {
  atFrameEnd_ = false;
  ++skippedBytes_;
  // Which thirty-second of the audio bytes the damage lies in. Files of fewer than 32 audio
  // bytes, and positions past the last whole thirty-second, land in the first or last bit.
  uint32_t share = audioBytes_ / 32;
  uint64_t position = static_cast<uint64_t>(frameBytes_) + skippedBytes_;
  uint64_t bit = share ? position / share : 0;
  damageMap_ |= 1u << std::min<uint64_t>(bit, 31);
}

void Mp3Scanner::Walk(const uint8_t* bytes, size_t size) {
  size_t begin = 0;
  if (frameRest_ > 0) {  // the tail of a frame that started in an earlier block
    size_t passed = std::min<size_t>(frameRest_, size);
    frameRest_ -= static_cast<uint32_t>(passed);
    begin = passed;
  }
  work_.assign(carry_, carry_ + carryCount_);
  work_.insert(work_.end(), bytes + begin, bytes + size);
  carryCount_ = 0;

  const uint8_t* data = work_.data();
  size_t n = work_.size();
  size_t at = 0;
  for (;;) {
    if (n - at < 4) {  // a header may straddle into the next block
      carryCount_ = static_cast<uint32_t>(n - at);
      std::memcpy(carry_, data + at, carryCount_);
      return;
    }
    Mp3FrameHeader h;
    const bool header = ReadMp3FrameHeader(data + at, &h);
    const bool otherFormat =
        header && info_.frameCount > 0 &&
        (h.sampleRate != info_.sampleRate || (h.stereo != 0) != (info_.stereo != 0));
    if (pendingBytes_ > 0) {
      if (otherFormat && atFrameEnd_ && h.sampleRate == pendingRate_ &&
          (h.stereo != 0) == pendingStereo_) {
        formatChangeOffset_ = pendingOffset_;  // the stream ends where the new one starts
        pendingBytes_ = frameRest_ = carryCount_ = 0;
        return;
      }
      DropPending(pendingBytes_);
    }
    if (otherFormat && atFrameEnd_) {
      pendingOffset_ = firstFrameOffset_ + frameBytes_ + skippedBytes_;
      pendingBytes_ = static_cast<uint32_t>(h.length);
      pendingRate_ = h.sampleRate;
      pendingStereo_ = h.stereo != 0;
      const size_t end = at + static_cast<size_t>(h.length);
      if (end > n) {
        frameRest_ = static_cast<uint32_t>(end - n);
        return;
      }
      at = end;
      continue;
    }
    if (header && (info_.frameCount == 0 || h.sampleRate == info_.sampleRate)) {
      CountFrame(h);
      atFrameEnd_ = true;
      size_t end = at + static_cast<size_t>(h.length);
      if (end > n) {
        frameRest_ = static_cast<uint32_t>(end - n);
        return;
      }
      at = end;
    } else {
      SkipByte();
      ++at;
    }
  }
}

bool Mp3Scanner::Finish() {
  // A lone frame of another format at the end: skipped as the bytes after it would have been
  // (the file's last three bytes are never looked at).
  if (pendingBytes_ > 0) {
    const uint32_t present = pendingBytes_ - std::min(frameRest_, pendingBytes_) + carryCount_;
    DropPending(present > 3 ? present - 3 : 0);
  }
  if (info_.frameCount == 0 || frameBytes_ == 0 || skippedBytes_ > frameBytes_) {
    info_ = Mp3StreamInfo();
    return false;
  }
  int64_t samplesPerFrame = info_.version == 1 ? 1152 : 576;
  info_.duration =
      static_cast<int32_t>(info_.frameCount * samplesPerFrame / info_.sampleRate);
  info_.averageBitrate = static_cast<int32_t>(bitrateSum_ / info_.frameCount);
  info_.reserved = 0;
  return true;
}

bool Mp3Scanner::ScanFile(const char* path) {
  Reset(0);
  StdioFile file(path ? OpenFileUtf8(path, "rb") : nullptr);
  if (!file) return false;
  long size = -1;
  if (std::fseek(file.get(), 0, SEEK_END) == 0) size = std::ftell(file.get());
  if (size < 0 || static_cast<unsigned long>(size) > 0xFFFFFFFFul ||
      std::fseek(file.get(), 0, SEEK_SET) != 0)
    return false;
  Reset(static_cast<uint32_t>(size));
  std::vector<uint8_t> block(BlockBytes);
  for (;;) {
    size_t got = std::fread(block.data(), 1, block.size(), file.get());
    if (got == 0) break;
    Feed(block.data(), got);
  }
  file.reset();
  return Finish();
}
