#include <gtest/gtest.h>

#include "view/dsound_error_text.h"

namespace {

TEST(PreviewErrorText, NamedAndUnknownCodes) {
  // Initialise without a sound server fails with E_INVALIDARG, DirectDraw's INVALIDPARAMS.
  EXPECT_EQ(DirectSoundErrorText("", static_cast<int32_t>(0x80070057)),
            " returned DDERR_INVALIDPARAMS\n");
  EXPECT_EQ(DirectSoundErrorText("", static_cast<int32_t>(0x887800AA)),
            " returned DSERR_UNINITIALIZED\n");
  EXPECT_EQ(DirectSoundErrorText("", static_cast<int32_t>(0x88760005)),
            " returned DDERR_ALREADYINITIALIZED\n");
  EXPECT_EQ(DirectSoundErrorText("", static_cast<int32_t>(0x80004005)),
            " returned DDERR_GENERIC\n");
  // DirectSound's own "no driver" is not in the list.
  EXPECT_EQ(DirectSoundErrorText("", static_cast<int32_t>(0x88780078)),
            " returned unknown code -2005401480\n");
  EXPECT_EQ(DirectSoundErrorText("x", 1), "x returned unknown code 1\n");
  EXPECT_EQ(DirectSoundErrorText(nullptr, 0), " returned unknown code 0\n");
}

TEST(PreviewErrorText, MessageTexts) {
  std::string text = DirectSoundErrorText("", static_cast<int32_t>(0x80070057));
  EXPECT_EQ(FormatErrorMessage("Couldnt'Initialize dsound= %s", text),
            "Couldnt'Initialize dsound=  returned DDERR_INVALIDPARAMS\n");
  EXPECT_EQ(FormatErrorMessage("Couldnt' Create Sound Buffer = %s", text),
            "Couldnt' Create Sound Buffer =  returned DDERR_INVALIDPARAMS\n");
  // A text holding "%s" itself is put in once, not expanded again.
  EXPECT_EQ(FormatErrorMessage("a %s b", "%s"), "a %s b");
}

}  // namespace
