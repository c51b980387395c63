#include "profile/phone_catalog.h"

#include <cstring>

#include "profile/xml_reader.h"
#include "session/ringtone_format.h"

namespace {

// Text of the first child named `childName`, or "" when there is none.
std::string_view ChildText(const XmlNode& node, std::string_view childName) {
  const XmlNode* child = node.FindChild(childName);
  return child ? std::string_view(child->value) : std::string_view();
}

template <size_t N>
void CopyCut(char (&field)[N], std::string_view text) {
  const size_t n = text.size() < N - 1 ? text.size() : N - 1;
  if (n > 0) std::memcpy(field, text.data(), n);
  field[n] = '\0';
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

int32_t CatalogNumber(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && IsSpace(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > INT64_C(2147483648)) value = INT64_C(2147483648);  // saturate, no overflow
  }
  if (negative) value = -value;
  if (value > INT32_MAX) value = INT32_MAX;
  return static_cast<int32_t>(value);
}

bool WallpaperFormatFromWord(std::string_view word, int32_t* format) {
  static const char* const words[] = {"bmp", "jpg", "gif"};
  static_assert(WallpaperBmp == 0 && WallpaperJpg == 1 && WallpaperGif == 2);
  for (int32_t i = 0; i < 3; ++i)
    if (word == words[i]) {
      *format = i;
      return true;
    }
  return false;
}

bool PhoneCatalog::Load(const char* text, size_t size) {
  phones.clear();
  carriers.clear();

  XmlNode root;
  if (root.Load(text, size, DefaultXmlParseOptions()) < 0) return false;

  const XmlNode* versionList = root.FindChild("versionlist");
  if (!versionList) return false;
  versionText = std::string(ChildText(*versionList, "application"));

  const XmlNode* carrierList = root.FindChild("carrierlist");
  if (!carrierList) return false;
  const XmlNode* phoneList = root.FindChild("phonelist");
  if (!phoneList) return false;

  for (const XmlNode* node : carrierList->FindChildren("carrier")) {
    CarrierEntry carrier;
    carrier.id = CatalogNumber(ChildText(*node, "id"));
    CopyCut(carrier.name, ChildText(*node, "value"));
    carriers.push_back(carrier);
  }
  for (const XmlNode* node : phoneList->FindChildren("phone")) {
    PhoneEntry phone;
    phone.id = CatalogNumber(ChildText(*node, "id"));
    CopyCut(phone.name, ChildText(*node, "value"));
    CopyCut(phone.formatWord, ChildText(*node, "format"));
    CopyCut(phone.wallpaperFormatWord, ChildText(*node, "wallpaper_format"));
    phone.width = CatalogNumber(ChildText(*node, "width"));
    phone.height = CatalogNumber(ChildText(*node, "height"));
    const std::string_view support = ChildText(*node, "wallpaper_support");
    phone.wallpaperSupported = (support == "Y" || support == "y") ? 1 : 0;
    phones.push_back(phone);
  }
  return true;
}

int PhoneCatalog::FindCarrier(std::string_view name) const {
  for (size_t i = 0; i < carriers.size(); ++i)
    if (name == carriers[i].name) return static_cast<int>(i);
  return -1;
}

int PhoneCatalog::FindPhone(std::string_view name) const {
  for (size_t i = 0; i < phones.size(); ++i)
    if (name == phones[i].name) return static_cast<int>(i);
  return -1;
}

PhoneCatalog& ThePhoneCatalog() {
  static PhoneCatalog catalog;
  return catalog;
}
