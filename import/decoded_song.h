// What the decoding import branch writes and when it refuses a song: the decisions, apart
// from the library that decodes.
#pragma once
#include <cstdint>

// The 16-bit PCM layout of d.wav for a song of `sampleRate` Hz and `channels` channels:
// mono stays mono, anything more becomes stereo; rates above 48,000 Hz become 48,000 Hz.
struct DecodedPcmLayout {
  int32_t sampleRate;
  int32_t channels;
};
inline constexpr int32_t DecodedRateLimit = 48000;
DecodedPcmLayout DecodedLayoutOf(int32_t sampleRate, int32_t channels);

// True for the sample-entry codes of MP4 audio that is encrypted (store purchases, CENC).
bool IsProtectedSampleEntry(uint32_t fourcc);

// Whether the length that the container (the demuxer's name, "mov,mp4,m4a,..." in FFmpeg's
// spelling) states is exact, so that a decode short of it is a cut-off file: MP4/M4A, FLAC,
// Matroska/WebM, CAF, ASF/WMA and WAV state their length in a header. A length estimated from
// the bit rate (raw ADTS AAC, VBR files) or taken from a chain's last page (Ogg, whose chains may
// change rate) is not: there the decoded length is the length.
bool StatedLengthIsExact(const char* demuxer, bool estimatedFromBitRate);

// LibraryMissing: the decoding DLLs beside the program are missing or incomplete.
// WriteFailed: d.wav could not be created or written whole (a full disk, a folder that cannot
// be written).
enum class DecodedSongVerdict {
  Imported, Damaged, Protected, NoSound, LibraryMissing, WriteFailed
};

// What one run of the decoding branch saw.
struct DecodedSongFacts {
  bool opened = false;          // the container was recognised and its streams read
  int32_t audioStreams = 0;     // sound tracks in it
  bool protectedAudio = false;  // the chosen track is encrypted
  bool decoderFound = false;    // a decoder for the chosen track exists in the build
  bool readFailed = false;      // reading stopped on an error before the file's end
  bool stoppedEarly = false;    // cut at the import limit, or the program is ending
  bool writeFailed = false;     // d.wav could not be created or written whole
  int64_t packets = 0;          // packets of the track given to the decoder
  int64_t badPackets = 0;       // of those, the ones the decoder refused
  int64_t framesWritten = 0;    // sample frames written to d.wav
  int64_t framesExpected = 0;   // the exact length the container states, in output frames
                                // (0: none, or only an estimate)
};

// WriteFailed when d.wav could not be written, whatever else was seen; otherwise Imported
// unless: protected audio; no sound track; a file that could not be opened or
// decoded, wrote nothing, lost more than a tenth of its packets, broke off with a read error
// or ended short of 95 % of its stated length (a cut-off file).
DecodedSongVerdict JudgeDecodedSong(const DecodedSongFacts& facts);

// The message of a refusal (caption "Warning"); null for Imported and for WriteFailed, whose
// message names the folder (session/working_folder.h).
const char* DecodedSongRefusal(DecodedSongVerdict verdict);
