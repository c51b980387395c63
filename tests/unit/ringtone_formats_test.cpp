// The one table of ringtone formats: each format's words, files and media type, and nothing
// for values outside the enumeration.
#include <gtest/gtest.h>

#include <string>

#include "formats/ringtone_formats.h"

namespace {

TEST(RingtoneFormats, FactsOfEveryFormatAndNothingElse) {
  const struct {
    RingtoneFormat format;
    const char *word, *file, *mediaType;
  } rows[] = {{RingtoneQcp, "qcp", "new.qcp", "audio/qcelp"},
              {RingtoneAmr, "amr", "a.amr", "audio/amr"},
              {RingtoneWav, "wav", "test.wav", "audio/wav"},
              {RingtoneMp3, "mp3", "a.mp3", "audio/mpeg"},
              {RingtoneMmf, "mmf", "test.mmf", "application/vnd.smaf"},
              {RingtoneM4r, "m4r", "a.m4r", "audio/mp4"},
              {RingtoneOgg, "ogg", "a.ogg", "audio/ogg"}};
  for (const auto& row : rows) {
    const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(row.format);
    ASSERT_NE(facts, nullptr) << row.word;
    EXPECT_STREQ(facts->catalogueWord, row.word);
    EXPECT_STREQ(facts->typeWord, row.word);
    EXPECT_STREQ(facts->extension, row.word);
    EXPECT_STREQ(facts->workingFile, row.file);
    EXPECT_STREQ(facts->mediaType, row.mediaType);
    int32_t format = -1;
    EXPECT_TRUE(RingtoneFormatFromWord(row.word, &format));
    EXPECT_EQ(format, row.format);
  }
  EXPECT_EQ(RingtoneFormatFactsOf(7), nullptr);
  EXPECT_EQ(RingtoneFormatFactsOf(-1), nullptr);
  int32_t format = 77;
  EXPECT_FALSE(RingtoneFormatFromWord("MP3", &format));
  EXPECT_FALSE(RingtoneFormatFromWord("", &format));
  EXPECT_EQ(format, 77);
}

TEST(RingtoneFormats, LengthRuleOfThePhonesOfToday) {
  const struct {
    RingtoneFormat format;
    int32_t maxSeconds;
    const char* phones;
  } rows[] = {{RingtoneQcp, 0, nullptr}, {RingtoneMp3, 0, nullptr},
              {RingtoneM4r, 30, "iPhone"}, {RingtoneOgg, 40, "Android"}};
  for (const auto& row : rows) {
    const RingtoneFormatFacts* facts = RingtoneFormatFactsOf(row.format);
    EXPECT_EQ(facts->maxSeconds, row.maxSeconds);
    EXPECT_EQ(facts->duration != nullptr, row.maxSeconds > 0);
    EXPECT_EQ(facts->phones == nullptr ? std::string() : facts->phones,
              row.phones == nullptr ? std::string() : row.phones);
  }
}

}  // namespace
