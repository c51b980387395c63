// The MP3 converter: the frame scanner, the ID3 tag reader and an ordered list of decoders,
// with a decode that tries each decoder in turn. The program hands its process-wide converter
// to other modules through the exported function getInstance; they call its operations
// through the virtual table, in the order declared here.
#pragma once
#include <cstdint>
#include <vector>

#include "import/mp3_decoder.h"
#include "import/mp3_scanner.h"
#include "import/mp3_stream_info.h"
#include "import/mp3_track_info.h"

class Mp3Converter {
 public:
  static constexpr int TextCapacity = 256;

  // Registers the process-wide ACM decoder (created on first use) as the only decoder.
  Mp3Converter();
  // Calls Close on every listed decoder.
  virtual void CloseAll();
  // Reads the ID3v2 lead artist (TPE1) and title (TIT2) of the track's file into its first
  // and second text fields, where present. Always true; without a tag library nothing is read.
  virtual bool ReadTags(Mp3TrackInfo* track);
  // Scans the track's file. True for an MP3 stream: the stream info is then that of the file
  // and the track receives the scan's figures (Mp3TrackInfo says which). False leaves the
  // stream info all 0 and the track as it was.
  virtual bool Scan(Mp3TrackInfo* track);
  // Decodes the track into "d.wav" in the current directory with the PCM format of the last
  // Scan, trying each decoder in order (each opened at the first-frame offset, then once
  // more at offset 0). True when a decoder finished the file. No byte limit applies here.
  virtual bool DecodeToWorkingFile(Mp3TrackInfo* track);
  virtual ~Mp3Converter();

  Mp3Converter(const Mp3Converter&) = delete;
  Mp3Converter& operator=(const Mp3Converter&) = delete;

  const Mp3StreamInfo& StreamInfo() const { return scanner_.Info(); }
  const Mp3Scanner& Scanner() const { return scanner_; }
  const char* CodecName() const { return codecName_; }
  int32_t Flag() const { return flag_; }
  const std::vector<Mp3Decoder*>& Decoders() const { return decoders_; }
  // Puts `decoder` (not owned) at the end of the decoder list.
  void AddDecoder(Mp3Decoder* decoder) { decoders_.push_back(decoder); }

 private:
  char codecName_[TextCapacity] = "MP2 MP3";
  int32_t flag_ = 1;
  std::vector<Mp3Decoder*> decoders_;
  char text_[TextCapacity] = {};
  Mp3Scanner scanner_;
};

// The process-wide ACM decoder, created on first call and destroyed at exit.
Mp3Decoder* ProcessAcmMp3Decoder();

// Exported by name from the program: the process-wide converter, created on first call
// (after the process-wide decoder, so destroyed before it at exit).
extern "C" __declspec(dllexport) Mp3Converter* getInstance();
