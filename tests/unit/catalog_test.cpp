#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "profile/catalogue_text.h"
#include "profile/phone_catalog.h"
#include "profile/xml_reader.h"
#include "tests/unit/catalog_expectations.h"

namespace {

bool LoadText(PhoneCatalog& catalog, const std::string& text) {
  std::vector<char> copy(text.begin(), text.end());  // exact size, no NUL
  return catalog.Load(copy.data(), copy.size());
}

std::string Catalogue(const std::string& carriers, const std::string& phones,
                      const std::string& root = "quavella") {
  return "<" + root + "><versionlist><document>1.0</document><application>3.1</application>" +
         "</versionlist><carrierlist>" + carriers + "</carrierlist><phonelist>" + phones +
         "</phonelist></" + root + ">";
}

std::string Phone(const std::string& body) { return "<phone>" + body + "</phone>"; }

}  // namespace

TEST(PhoneCatalog, ShippedCatalogueInFull) {
  PhoneCatalog catalog;
  ASSERT_TRUE(catalog.Load(CatalogueText, CatalogueTextSize));
  ExpectShippedCatalogue(catalog);

  XmlNode root;
  XmlParseOptions options;
  ASSERT_GT(root.Load(CatalogueText, CatalogueTextSize, options), 0);
  ASSERT_EQ(root.ChildCount(), 4u);
  EXPECT_EQ(root.children[0]->name, "versionlist");
  EXPECT_EQ(root.children[1]->name, "urllist");
  EXPECT_EQ(root.children[2]->name, "carrierlist");
  EXPECT_EQ(root.children[3]->name, "phonelist");
  const XmlNode* urls = root.children[1].get();
  const std::string host = std::string("http://") + QV_SERVICE_HOST + "/";
  EXPECT_EQ(urls->FindChild("download")->value, host + "download/QuavellaPackage.exe");
  EXPECT_EQ(urls->FindChild("help")->value, host + "index.php?page=support");
  EXPECT_EQ(urls->FindChild("homepage")->value, host);
  EXPECT_EQ(urls->FindChild("phones")->value, host + "index.php?page=supported_phones");
  EXPECT_EQ(root.children[0]->FindChild("document")->value, "1.0");

  // Counts by word, unique ids, sorted names.
  std::map<std::string, int> formats, support, wallpaper;
  std::set<int32_t> ids;
  for (int i = 0; i < catalog.PhoneCount(); ++i) {
    const PhoneEntry& p = catalog.PhoneAt(i);
    formats[p.formatWord]++;
    wallpaper[p.wallpaperFormatWord]++;
    support[p.wallpaperSupported ? "Y" : "N"]++;
    ids.insert(p.id);
    // The seed's phones sorted by name; today's phones appended after them.
    if (i > 0 && i < 116) {
      EXPECT_LT(std::string(catalog.PhoneAt(i - 1).name), std::string(p.name));
    }
  }
  EXPECT_EQ(formats, (std::map<std::string, int>{
                         {"mp3", 42}, {"qcp", 24}, {"amr", 23}, {"mmf", 21}, {"wav", 6},
                         {"m4r", 1}, {"ogg", 1}}));
  EXPECT_EQ(support, (std::map<std::string, int>{{"Y", 102}, {"N", 16}}));
  EXPECT_EQ(wallpaper, (std::map<std::string, int>{{"jpg", 106}, {"gif", 12}}));
  EXPECT_EQ(ids.size(), 118u);
  EXPECT_EQ(*ids.begin(), 0);
  EXPECT_EQ(*ids.rbegin(), 185);
}

TEST(PhoneCatalog, EveryLoadStartsEmpty) {
  PhoneCatalog catalog;
  ASSERT_TRUE(catalog.Load(CatalogueText, CatalogueTextSize));
  ASSERT_TRUE(catalog.Load(CatalogueText, CatalogueTextSize));
  EXPECT_EQ(catalog.CarrierCount(), 9);
  EXPECT_EQ(catalog.PhoneCount(), 118);

  // A broken text empties the lists but keeps the version.
  EXPECT_FALSE(LoadText(catalog, "<quavella><versionlist>"));
  EXPECT_EQ(catalog.CarrierCount(), 0);
  EXPECT_EQ(catalog.PhoneCount(), 0);
  EXPECT_EQ(catalog.VersionText(), "2.0");
  EXPECT_FALSE(catalog.Load("", 0));
  EXPECT_EQ(catalog.VersionText(), "2.0");
}

TEST(PhoneCatalog, MissingListsFailAfterTheVersionIsTaken) {
  PhoneCatalog catalog;
  EXPECT_FALSE(LoadText(catalog,
                        "<q><versionlist><application>9.9</application></versionlist>"
                        "<carrierlist><carrier><id>1</id><value>A</value></carrier>"
                        "</carrierlist></q>"));
  EXPECT_EQ(catalog.VersionText(), "9.9");
  EXPECT_EQ(catalog.CarrierCount(), 0);

  EXPECT_FALSE(LoadText(catalog, "<q><carrierlist/><phonelist/></q>"));
  EXPECT_EQ(catalog.VersionText(), "9.9");  // no versionlist: version untouched

  EXPECT_FALSE(LoadText(catalog, "<q><versionlist/><phonelist/></q>"));
  EXPECT_EQ(catalog.VersionText(), "");  // a versionlist without application
}

TEST(PhoneCatalog, FieldConversions) {
  PhoneCatalog catalog;
  const std::string phones =
      Phone("<id> 7 </id><value>  Acme  &amp; Co  </value><format>mp3x</format>"
            "<wallpaper_support>y</wallpaper_support><wallpaper_format>gif</wallpaper_format>"
            "<width>+12px</width><height>-3</height>") +
      Phone("<height>5</height><wallpaper_support>N</wallpaper_support><value>B</value>"
            "<id>x</id><value>second</value>") +
      Phone("<id>99999999999</id><value>C</value><wallpaper_support></wallpaper_support>"
            "<wallpaper_format>averyverylongword</wallpaper_format><width>-99999999999</width>") +
      Phone("<value>D</value><wallpaper_support>yes</wallpaper_support>") + "<other/>";
  const std::string carriers =
      "<carrier><id>4</id><value>Tel</value></carrier><note>skip</note>"
      "<carrier><value>" + std::string(150, 'n') + "</value></carrier>";
  ASSERT_TRUE(LoadText(catalog, Catalogue(carriers, phones, "anyroot")));
  EXPECT_EQ(catalog.VersionText(), "3.1");

  ASSERT_EQ(catalog.CarrierCount(), 2);
  EXPECT_EQ(catalog.CarrierAt(0).id, 4);
  EXPECT_EQ(std::string(catalog.CarrierAt(1).name), std::string(99, 'n'));
  EXPECT_EQ(catalog.CarrierAt(1).id, 0);

  ASSERT_EQ(catalog.PhoneCount(), 4);
  const PhoneEntry& a = catalog.PhoneAt(0);
  EXPECT_EQ(a.id, 7);
  EXPECT_STREQ(a.name, "Acme  & Co");
  EXPECT_STREQ(a.formatWord, "mp3");
  EXPECT_EQ(a.wallpaperSupported, 1);
  EXPECT_STREQ(a.wallpaperFormatWord, "gif");
  EXPECT_EQ(a.width, 12);
  EXPECT_EQ(a.height, -3);

  const PhoneEntry& b = catalog.PhoneAt(1);  // children in any order, first one counts
  EXPECT_STREQ(b.name, "B");
  EXPECT_EQ(b.id, 0);
  EXPECT_EQ(b.height, 5);
  EXPECT_EQ(b.width, 0);
  EXPECT_EQ(b.wallpaperSupported, 0);
  EXPECT_STREQ(b.formatWord, "");

  const PhoneEntry& c = catalog.PhoneAt(2);
  EXPECT_EQ(c.id, INT32_MAX);
  EXPECT_EQ(c.width, INT32_MIN);
  EXPECT_EQ(c.wallpaperSupported, 0);
  EXPECT_STREQ(c.wallpaperFormatWord, "averyverylo");

  EXPECT_EQ(catalog.PhoneAt(3).wallpaperSupported, 0);  // "yes" is not "Y"
}

TEST(PhoneCatalog, FindByNameIsExactAndFirst) {
  PhoneCatalog catalog;
  ASSERT_TRUE(LoadText(catalog, Catalogue("<carrier><id>5</id><value>Tel</value></carrier>"
                                          "<carrier><id>6</id><value>Tel</value></carrier>",
                                          Phone("<value>Nokia 3100</value>"))));
  EXPECT_EQ(catalog.FindCarrier("Tel"), 0);
  EXPECT_EQ(catalog.FindCarrier("tel"), -1);
  EXPECT_EQ(catalog.FindCarrier(""), -1);
  EXPECT_EQ(catalog.FindPhone("Nokia 3100"), 0);
  EXPECT_EQ(catalog.FindPhone("Nokia 3100 "), -1);
}

TEST(PhoneCatalog, WallpaperFormatWords) {
  int32_t format = 77;
  const char* wallpaper[] = {"bmp", "jpg", "gif"};
  for (int32_t i = 0; i < 3; ++i) {
    EXPECT_TRUE(WallpaperFormatFromWord(wallpaper[i], &format));
    EXPECT_EQ(format, i);
  }
  EXPECT_FALSE(WallpaperFormatFromWord("png", &format));
  EXPECT_EQ(format, 2);
}

TEST(PhoneCatalog, Numbers) {
  EXPECT_EQ(CatalogNumber(" \t42"), 42);
  EXPECT_EQ(CatalogNumber("-17abc"), -17);
  EXPECT_EQ(CatalogNumber("+5"), 5);
  EXPECT_EQ(CatalogNumber("abc"), 0);
  EXPECT_EQ(CatalogNumber("- 5"), 0);
  EXPECT_EQ(CatalogNumber(""), 0);
  EXPECT_EQ(CatalogNumber("2147483647"), INT32_MAX);
  EXPECT_EQ(CatalogNumber("-2147483648"), INT32_MIN);
  EXPECT_EQ(CatalogNumber("123456789012345678901234567890"), INT32_MAX);
}
