// Which import branch takes a chosen file, from its name and its container's signature.
#pragma once
#include "formats/song_signature.h"

// A refusal of the MP3 or the WAV branch is followed by the decoding branch: only when that
// cannot read the file either is the refusal shown (a mislabelled song still opens).
enum class ImportBranch { Mp3, CdTrack, Wav, Decoded };

// A ".cda" name is a CD track whatever its bytes; a WAV or MP3 signature takes the seed's
// readers, any other signature the decoding branch; a file without a known signature goes by
// its name (".mp3", ".wav") and otherwise to the decoding branch, which may still know it.
ImportBranch RouteImport(const char* path, SongContainer container);

// Browse's size gate (21,000,000 bytes) holds for the files RouteImport gives to the seed's
// readers (MP3, WAV and CD tracks), by their content as by their name; other songs are limited
// by the decoded length only.
bool BrowseSizeGateApplies(const char* path, SongContainer container);
