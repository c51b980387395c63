// The shipped catalogue row by row, in catalogue order, for the tests that load it.
#pragma once
#include <gtest/gtest.h>

#include <iterator>

#include "profile/phone_catalog.h"

struct ExpectedCarrier {
  int id;
  const char* name;
};

struct ExpectedPhone {
  int id;
  const char* name;
  const char* format;
  int wallpaperSupported;
  const char* wallpaperFormat;
  int width;
  int height;
};

inline const ExpectedCarrier ShippedCarriers[] = {
    {3, "ATT"},
    {6, "Bell Canada"},
    {1, "Cingular"},
    {7, "FIDO"},
    {5, "Rogers ATT"},
    {0, "Sprint"},
    {2, "T-Mobile"},
    {8, "Verizon"},
    {9, "Other carrier"},
};

inline const ExpectedPhone ShippedPhones[] = {
    {66, "Audiovox 8900", "mp3", 1, "jpg", 128, 160},
    {104, "Audiovox 8910", "mp3", 1, "jpg", 128, 160},
    {165, "Audiovox 8920", "mp3", 1, "jpg", 128, 112},
    {173, "Audiovox 8940", "mp3", 1, "jpg", 176, 220},
    {105, "Audiovox 9900", "mp3", 1, "jpg", 240, 320},
    {0, "Hitatchi P300", "qcp", 1, "jpg", 120, 130},
    {148, "LG 1200", "mmf", 1, "jpg", 128, 160},
    {140, "LG 1300", "mmf", 1, "jpg", 128, 128},
    {158, "LG 1400", "mmf", 1, "jpg", 128, 160},
    {164, "LG 325", "amr", 1, "jpg", 128, 160},
    {1, "LG 5350", "qcp", 1, "jpg", 120, 108},
    {29, "LG 5400", "qcp", 1, "jpg", 120, 160},
    {61, "LG 6000", "mp3", 1, "jpg", 120, 146},
    {149, "LG 6100", "mp3", 1, "jpg", 128, 128},
    {72, "LG 7000", "mp3", 1, "jpg", 176, 203},
    {172, "LG 8000", "mp3", 1, "jpg", 176, 220},
    {27, "LG G4010", "mmf", 1, "jpg", 128, 128},
    {141, "LG G4020", "mmf", 1, "jpg", 128, 128},
    {28, "LG G4050", "mmf", 1, "jpg", 128, 127},
    {142, "LG L1100/1150", "mmf", 1, "jpg", 128, 160},
    {171, "Motorola A630", "mp3", 1, "jpg", 220, 176},
    {73, "Motorola A845", "mp3", 1, "jpg", 176, 220},
    {106, "Motorola C350", "mp3", 1, "jpg", 96, 65},
    {108, "Motorola C370", "mp3", 1, "jpg", 96, 65},
    {107, "Motorola C380", "mp3", 1, "jpg", 128, 128},
    {109, "Motorola C550", "mp3", 1, "jpg", 96, 65},
    {110, "Motorola C650", "mp3", 1, "jpg", 128, 128},
    {111, "Motorola E398", "mp3", 1, "jpg", 176, 220},
    {2, "Motorola MPx200", "wav", 1, "jpg", 176, 220},
    {181, "Motorola MPx220", "wav", 1, "jpg", 176, 220},
    {113, "Motorola V180", "mp3", 1, "jpg", 128, 128},
    {114, "Motorola V220", "mp3", 1, "jpg", 128, 128},
    {152, "Motorola V265", "mp3", 1, "jpg", 128, 128},
    {151, "Motorola V3 RAZR", "mp3", 1, "jpg", 176, 220},
    {25, "Motorola V300", "mp3", 1, "jpg", 176, 220},
    {26, "Motorola V400", "mp3", 1, "jpg", 176, 220},
    {30, "Motorola V500", "mp3", 1, "jpg", 176, 220},
    {115, "Motorola V505", "mp3", 1, "jpg", 176, 220},
    {31, "Motorola V525", "mp3", 1, "jpg", 176, 220},
    {156, "Motorola V551", "mp3", 1, "jpg", 176, 220},
    {32, "Motorola V600", "mp3", 1, "jpg", 176, 220},
    {116, "Motorola V710", "mp3", 1, "jpg", 172, 162},
    {147, "Motorola V80", "mp3", 1, "jpg", 176, 220},
    {62, "Nokia 3100", "amr", 1, "jpg", 128, 128},
    {33, "Nokia 3200", "amr", 1, "jpg", 128, 128},
    {117, "Nokia 3220", "amr", 1, "jpg", 128, 128},
    {174, "Nokia 3230", "mp3", 1, "jpg", 176, 208},
    {3, "Nokia 3300", "amr", 1, "jpg", 128, 128},
    {4, "Nokia 3600", "amr", 1, "jpg", 176, 144},
    {34, "Nokia 3620", "amr", 1, "jpg", 176, 208},
    {5, "Nokia 3650", "wav", 1, "jpg", 176, 144},
    {6, "Nokia 3660", "wav", 1, "jpg", 176, 120},
    {119, "Nokia 5140", "amr", 1, "jpg", 128, 96},
    {161, "Nokia 6225", "amr", 1, "jpg", 128, 128},
    {122, "Nokia 6230", "mp3", 1, "jpg", 128, 128},
    {157, "Nokia 6260", "mp3", 1, "jpg", 176, 208},
    {7, "Nokia 6600", "amr", 1, "jpg", 176, 144},
    {36, "Nokia 6610", "amr", 1, "jpg", 128, 96},
    {124, "Nokia 6620", "mp3", 1, "jpg", 176, 208},
    {123, "Nokia 6630", "mp3", 1, "jpg", 176, 144},
    {82, "Nokia 6800", "amr", 1, "jpg", 128, 128},
    {125, "Nokia 6810", "amr", 1, "jpg", 128, 96},
    {37, "Nokia 6820", "amr", 1, "jpg", 128, 96},
    {127, "Nokia 7610", "mp3", 1, "jpg", 176, 144},
    {8, "Nokia 7650", "amr", 1, "jpg", 160, 140},
    {160, "Nokia 7700", "mp3", 1, "jpg", 640, 480},
    {9, "Panasonic GD87", "amr", 1, "jpg", 129, 135},
    {10, "Panasonic GU87", "amr", 1, "jpg", 129, 135},
    {11, "Samsung A500", "qcp", 0, "jpg", 128, 160},
    {12, "Samsung A600", "qcp", 0, "jpg", 120, 160},
    {13, "Samsung A620/VGA1000", "qcp", 0, "jpg", 120, 160},
    {47, "Samsung A660", "qcp", 0, "jpg", 128, 160},
    {48, "Samsung A680", "qcp", 0, "jpg", 128, 160},
    {143, "Samsung A700", "qcp", 1, "jpg", 176, 220},
    {163, "Samsung A740", "qcp", 1, "jpg", 128, 160},
    {162, "Samsung A760", "qcp", 1, "jpg", 128, 160},
    {144, "Samsung D410/415", "mmf", 1, "jpg", 176, 220},
    {39, "Samsung E105", "mmf", 1, "gif", 128, 160},
    {130, "Samsung E316/317", "mmf", 1, "gif", 128, 160},
    {153, "Samsung E600", "mmf", 1, "gif", 128, 128},
    {40, "Samsung E715", "mmf", 1, "gif", 128, 160},
    {14, "Samsung N400", "qcp", 1, "jpg", 128, 128},
    {41, "Samsung P107", "mmf", 1, "gif", 128, 160},
    {155, "Samsung P735", "mp3", 1, "gif", 176, 220},
    {42, "Samsung S100/105", "mmf", 1, "gif", 128, 160},
    {146, "Samsung S300", "mmf", 1, "gif", 128, 128},
    {43, "Samsung S307/308", "mmf", 1, "gif", 128, 128},
    {44, "Samsung V205/206", "mmf", 1, "gif", 128, 128},
    {45, "Samsung X105", "mmf", 1, "gif", 128, 128},
    {46, "Samsung X426/427", "mmf", 1, "gif", 128, 160},
    {18, "Sanyo 4500/5500", "qcp", 0, "jpg", 132, 176},
    {15, "Sanyo 4900", "qcp", 0, "jpg", 120, 128},
    {49, "Sanyo 4920", "qcp", 0, "jpg", 128, 112},
    {16, "Sanyo 5300", "qcp", 0, "jpg", 132, 176},
    {17, "Sanyo 5400", "qcp", 0, "jpg", 132, 176},
    {19, "Sanyo 6400", "qcp", 0, "jpg", 128, 120},
    {50, "Sanyo 7200", "qcp", 0, "jpg", 120, 128},
    {51, "Sanyo 7300", "qcp", 0, "jpg", 132, 176},
    {166, "Sanyo 7400", "qcp", 0, "jpg", 176, 220},
    {20, "Sanyo 8100", "qcp", 0, "jpg", 120, 144},
    {52, "Sanyo 8200", "qcp", 0, "jpg", 132, 160},
    {53, "Sharp GX10i", "mmf", 1, "jpg", 120, 160},
    {54, "Sharp GX20", "mmf", 1, "jpg", 240, 320},
    {136, "Siemens SX-1", "amr", 1, "jpg", 176, 130},
    {154, "SonyEricsson K500", "mp3", 1, "jpg", 128, 160},
    {137, "SonyEricsson K700", "mp3", 1, "jpg", 176, 220},
    {22, "SonyEricsson P800", "wav", 1, "jpg", 208, 320},
    {23, "SonyEricsson P900", "mp3", 1, "jpg", 208, 320},
    {183, "SonyEricsson P910", "mp3", 1, "jpg", 208, 320},
    {59, "SonyEricsson T610", "amr", 1, "jpg", 128, 160},
    {98, "SonyEricsson T616", "amr", 1, "jpg", 128, 160},
    {145, "SonyEricsson T630", "amr", 1, "jpg", 128, 160},
    {169, "SonyEricsson Z500", "amr", 1, "jpg", 128, 160},
    {139, "SonyEricsson Z600", "amr", 1, "jpg", 128, 160},
    {24, "Toshiba 2032", "wav", 1, "jpg", 240, 320},
    {56, "Toshiba 4050", "qcp", 1, "jpg", 240, 320},
    {184, "Apple iPhone", "m4r", 1, "jpg", 1179, 2556},
    {185, "Android phone", "ogg", 1, "jpg", 1080, 2400},
};

// Every carrier and every phone of the shipped catalogue, field by field, in order.
inline void ExpectShippedCatalogue(const PhoneCatalog& catalog) {
  EXPECT_EQ(catalog.VersionText(), "2.0");
  ASSERT_EQ(catalog.CarrierCount(), int(std::size(ShippedCarriers)));
  ASSERT_EQ(catalog.PhoneCount(), int(std::size(ShippedPhones)));
  for (int i = 0; i < catalog.CarrierCount(); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(catalog.CarrierAt(i).id, ShippedCarriers[i].id);
    EXPECT_STREQ(catalog.CarrierAt(i).name, ShippedCarriers[i].name);
  }
  for (int i = 0; i < catalog.PhoneCount(); ++i) {
    const PhoneEntry& got = catalog.PhoneAt(i);
    const ExpectedPhone& want = ShippedPhones[i];
    SCOPED_TRACE(want.name);
    EXPECT_EQ(got.id, want.id);
    EXPECT_STREQ(got.name, want.name);
    EXPECT_STREQ(got.formatWord, want.format);
    EXPECT_EQ(got.wallpaperSupported, want.wallpaperSupported);
    EXPECT_STREQ(got.wallpaperFormatWord, want.wallpaperFormat);
    EXPECT_EQ(got.width, want.width);
    EXPECT_EQ(got.height, want.height);
  }
}
