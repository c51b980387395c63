// The user's profile: filled from the registry at start, changed by the profile dialog,
// read by the conversion and the upload.
#pragma once
#include <cstdint>

struct UserProfile {
  static constexpr int PhoneNumberCapacity = 30;  // up to 29 characters and the NUL
  static constexpr int VersionCapacity = 30;
  char phoneNumber[PhoneNumberCapacity] = {};
  char versionText[VersionCapacity] = {};
  int32_t carrierId = 0;
  int32_t phoneId = 0;
  int32_t wallpaperType = 1;  // WallpaperJpg
  int32_t wallpaperWidth = 1;
  int32_t wallpaperHeight = 1;
  int32_t wallpaperSupport = 0;
  int32_t carrierItemNumber = 0;
  int32_t phoneItemNumber = 0;
};

extern UserProfile userProfile;
