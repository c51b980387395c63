// The pages: what they show, and that outside text is escaped. (The QR code is read back
// from a rendered page by the browser test.)
#include <gtest/gtest.h>

#include <iterator>

#include <string>

#include "profile/catalogue_text.h"
#include "profile/phone_catalog.h"
#include "service/pages.h"

namespace {

size_t Count(const std::string& text, const std::string& piece) {
  size_t n = 0;
  for (size_t at = text.find(piece); at != std::string::npos; at = text.find(piece, at + 1)) ++n;
  return n;
}

TEST(Pages, PhoneListIsTheWholeCatalogue) {
  PhoneCatalog catalog;
  ASSERT_TRUE(catalog.Load(CatalogueText, CatalogueTextSize));
  const std::string page = PhonesPage(catalog);
  EXPECT_EQ(Count(page, "<tr><td>"), 118u);
  EXPECT_NE(page.find("<tr><td>Apple iPhone</td><td>M4R</td><td>Yes</td><td>jpg</td>"
                      "<td>1179 &times; 2556</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<tr><td>Android phone</td><td>OGG</td>"), std::string::npos);
  for (int i = 0; i < catalog.CarrierCount(); ++i)
    EXPECT_NE(page.find(catalog.CarrierAt(i).name), std::string::npos);
  EXPECT_NE(page.find("<tr><td>Motorola V3 RAZR</td><td>MP3</td><td>Yes</td><td>jpg</td>"
                      "<td>176 &times; 220</td></tr>"),
            std::string::npos);
  EXPECT_NE(page.find("<tr><td>Samsung A500</td><td>QCP</td><td>No</td>"), std::string::npos);
  EXPECT_NE(page.find("<tr><td>LG L1100/1150</td><td>MMF</td>"), std::string::npos);
}

TEST(Pages, RingtonePageShowsItsFactsAndEscapesTheSongName) {
  RingtoneView view;
  view.songName = "<script>alert(1)</script> & \"more\"";
  view.phoneName = "Nokia 6600";
  view.carrierName = "T-Mobile";
  view.formatWord = "amr";
  view.size = 30000;
  view.expiresAt = 86400;
  view.numberEnding = "4567";
  view.downloads = 2;
  view.pageUrl = "http://ringtones.example.com/r/AAAAAAAAAAAAAAAAAAAAAA";
  view.downloadPath = "/r/AAAAAAAAAAAAAAAAAAAAAA/x.amr";
  view.deletePath = "/r/AAAAAAAAAAAAAAAAAAAAAA/delete";
  view.qrSvg = "<svg class=\"qr\"></svg>";
  const std::string page = RingtonePage(view);
  EXPECT_EQ(page.find("<script>"), std::string::npos);
  EXPECT_NE(page.find("&lt;script&gt;alert(1)&lt;/script&gt; &amp; &quot;more&quot;"),
            std::string::npos);
  for (const char* shown : {"Nokia 6600", "T-Mobile", "AMR", "29 KB", "ending in 4567",
                            "1970-01-02 00:00 UTC", "href=\"/r/AAAAAAAAAAAAAAAAAAAAAA/x.amr\"",
                            "<svg class=\"qr\"></svg>", view.pageUrl.c_str(),
                            "<form method=\"post\" action=\"/r/AAAAAAAAAAAAAAAAAAAAAA/delete\">"})
    EXPECT_NE(page.find(shown), std::string::npos) << shown;
  EXPECT_EQ(page.find("<script"), std::string::npos) << "no script at all";
}

}  // namespace
