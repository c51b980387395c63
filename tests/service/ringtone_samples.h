// Small, valid ringtones of every format and upload bodies laid out by the program's own
// multipart code, for the service's tests.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// PCM WAV, 8000 Hz mono 16-bit: `samples` samples of a tone whose phase starts at `seed`.
std::string SampleWav(size_t samples, uint32_t seed = 0);
std::string SampleAmr(size_t frames);   // 12.2 kbit/s frames after "#!AMR\n"
std::string SampleQcp(size_t packets);  // full-rate QCELP packets in a QCP file
std::string SampleMmf(size_t samples);  // the MMF writer's output for a tone
std::string SampleMp3(size_t frames);   // MPEG-1 Layer III frames, 128 kbit/s, 44.1 kHz
// The sample of the format word ("amr", "qcp", "mmf", "mp3", "wav"), a few kilobytes.
std::string SampleOf(const std::string& formatWord);

struct SampleUpload {
  std::string sms = "5551234567";
  std::string fileName = "1234.mp3";
  std::string songName = "My_Song.wav";
  std::string carrierIndex = "1";  // Cingular
  std::string phoneId = "2";       // Motorola MPx200, WAV
  std::string version = "2.0";
  std::string serial = "0";
  std::string fileSize;            // empty: the ringtone's size
  std::string localFile = "test.wav";
  std::string typeWord = "wav";
  std::string ringtone;            // empty: SampleWav(4000)
};

// The body Quavella sends for `upload` with boundary `boundary`.
std::string UploadBody(const SampleUpload& upload, const std::string& boundary);
// The Content-Type header value for that body.
std::string UploadContentType(const std::string& boundary);
