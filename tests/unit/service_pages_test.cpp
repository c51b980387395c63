// The pages: what they show, that outside text is escaped, and the QR code's picture.
#include <gtest/gtest.h>

#include <string>

#include "profile/catalogue_text.h"
#include "profile/phone_catalog.h"
#include "service/pages.h"
#include "service/qr_svg.h"

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
  EXPECT_EQ(Count(page, "<tr><td>"), 116u);
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

TEST(Pages, EveryPageHasTheSameFrame) {
  PhoneCatalog catalog;
  ASSERT_TRUE(catalog.Load(CatalogueText, CatalogueTextSize));
  const SiteFacts facts{30, 20};
  for (const std::string& page :
       {HomePage(facts), HelpPage(facts), PhonesPage(catalog), GonePage(true, facts),
        GonePage(false, facts), NotFoundPage(), InstallerMissingPage(), MessagePage("a", "b")}) {
    EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_NE(page.find("<meta name=\"viewport\""), std::string::npos);
    EXPECT_NE(page.find("href=\"/index.php?page=support\""), std::string::npos);
    EXPECT_NE(page.find("</html>"), std::string::npos);
  }
  EXPECT_NE(HelpPage(facts).find("Upload error"), std::string::npos);
  EXPECT_NE(HelpPage(facts).find("20 ringtones an hour"), std::string::npos);
  EXPECT_NE(GonePage(true, facts).find("deleted"), std::string::npos);
  EXPECT_NE(GonePage(false, facts).find("30 days"), std::string::npos);
  EXPECT_NE(HomePage(facts).find("/download/QuavellaPackage.exe"), std::string::npos);
}

TEST(QrSvg, ModulesBecomeOnePathWithAQuietZone) {
  int size = 0;
  const std::vector<bool> modules = QrModules("http://ringtones.example.com/r/abc", size);
  ASSERT_GE(size, 21);
  ASSERT_EQ(modules.size(), static_cast<size_t>(size * size));
  // The finder pattern's top row: seven dark modules in each top corner.
  for (int x = 0; x < 7; ++x) {
    EXPECT_TRUE(modules[static_cast<size_t>(x)]);
    EXPECT_TRUE(modules[static_cast<size_t>(size - 1 - x)]);
  }
  const std::string svg = QrSvg(modules, size, 200);
  const std::string box = std::to_string(size + 8);
  EXPECT_NE(svg.find("viewBox=\"0 0 " + box + " " + box + "\""), std::string::npos);
  EXPECT_NE(svg.find("width=\"200\""), std::string::npos);
  EXPECT_NE(svg.find("d=\"M4 4h7v1h-7z"), std::string::npos) << "the first run, quiet zone 4";
  EXPECT_EQ(QrSvg({}, 0, 200), "");
}

}  // namespace
