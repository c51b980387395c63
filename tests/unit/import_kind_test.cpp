#include <gtest/gtest.h>

#include "import/import_kind.h"

TEST(ImportKindOf, LastThreeCharactersWithoutRegardToCase) {
  EXPECT_EQ(ImportKindOf("C:\\music\\SONG.MP3"), ImportKind::Mp3);
  EXPECT_EQ(ImportKindOf("song.Mp3"), ImportKind::Mp3);
  EXPECT_EQ(ImportKindOf("D:\\Track05.cda"), ImportKind::CdTrack);
  EXPECT_EQ(ImportKindOf("a.WAV"), ImportKind::Wav);
  EXPECT_EQ(ImportKindOf("notes.txt"), ImportKind::Unknown);
  EXPECT_EQ(ImportKindOf("mp3"), ImportKind::Mp3);
  EXPECT_EQ(ImportKindOf("p3"), ImportKind::Unknown);
  EXPECT_EQ(ImportKindOf(""), ImportKind::Unknown);
  EXPECT_EQ(ImportKindOf(nullptr), ImportKind::Unknown);
}

TEST(CdTrackIndexOf, TwoDigitsBeforeTheExtension) {
  EXPECT_EQ(CdTrackIndexOf("D:\\Track05.cda"), 4);
  EXPECT_EQ(CdTrackIndexOf("Track01.cda"), 0);
  EXPECT_EQ(CdTrackIndexOf("x\\Track99.CDA"), 98);
  EXPECT_EQ(CdTrackIndexOf("TrackAB.cda"), -1);
  EXPECT_EQ(CdTrackIndexOf("5.cda"), -1);
  EXPECT_EQ(CdTrackIndexOf(nullptr), -1);
  // "00" names no track of the disc: index -1 is refused as well.
  EXPECT_EQ(CdTrackIndexOf("Track00.cda"), -1);
}
