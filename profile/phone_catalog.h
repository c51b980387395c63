// The carriers and phone models the service supports, loaded from the catalogue XML that is
// compiled into the program (resource "BINARY" 214). Loaded and read on the window thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "formats/ringtone_formats.h"

constexpr int CatalogResourceId = 214;

struct CarrierEntry {
  int32_t id = 0;     // the server's carrier id
  char name[100] = {};  // at most 99 characters; longer names are cut
};

struct PhoneEntry {
  int32_t id = 0;  // the server's phone id
  char name[100] = {};
  char formatWord[4] = {};  // ringtone format word, cut to 3 characters
  int32_t width = 0;
  int32_t height = 0;
  char wallpaperFormatWord[12] = {};  // at most 11 characters; longer words are cut
  int32_t wallpaperSupported = 0;     // 1 when wallpaper_support is "Y" in either case
};

class PhoneCatalog {
 public:
  // Replaces the whole content from catalogue text of exactly `size` bytes (no NUL needed).
  // Every load starts empty; on failure the lists stay empty. The version text is replaced
  // once the versionlist has been found, even when the load fails later.
  bool Load(const char* text, size_t size);

  int CarrierCount() const { return static_cast<int>(carriers.size()); }
  int PhoneCount() const { return static_cast<int>(phones.size()); }
  // Entry at catalogue position i, 0 <= i < count.
  const CarrierEntry& CarrierAt(int i) const { return carriers[static_cast<size_t>(i)]; }
  const PhoneEntry& PhoneAt(int i) const { return phones[static_cast<size_t>(i)]; }
  // Catalogue position of the first entry named exactly `name` (case-sensitive), or -1.
  int FindCarrier(std::string_view name) const;
  int FindPhone(std::string_view name) const;
  // The application version text of the last load that reached the versionlist.
  const std::string& VersionText() const { return versionText; }

 private:
  std::vector<CarrierEntry> carriers;
  std::vector<PhoneEntry> phones;
  std::string versionText;
};

// The process-wide catalogue, created on first use.
PhoneCatalog& ThePhoneCatalog();

// RingtoneFormatFromWord (formats/ringtone_formats.h) reads a phone's ringtone format word.
// "bmp" 0, "jpg" 1, "gif" 2, compared exactly. False (and *format unchanged) otherwise.
bool WallpaperFormatFromWord(std::string_view word, int32_t* format);

// A decimal number the way the catalogue writes them: leading white space, an optional sign,
// then digits up to the first other character; no digits gives 0. Clamped to 32 bits.
int32_t CatalogNumber(std::string_view text);
