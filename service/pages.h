// The service's pages: plain HTML with the program's colours, readable in a desktop browser
// and in a phone's, and needing no script. Every text that came from outside is escaped here.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

#include "profile/phone_catalog.h"

struct SiteFacts {
  int retentionDays = 30;
  uint32_t uploadsPerHour = 20;
};

// What the page of one ringtone shows.
// The kind of phone a page is looked at on, from its User-Agent.
enum class VisitorPhone { Iphone, Android, Other };
VisitorPhone PhoneOfUserAgent(std::string_view userAgent);

struct RingtoneView {
  std::string songName;  // display text (DisplayText), not yet escaped
  std::string phoneName;
  std::string carrierName;
  std::string formatWord;
  int64_t size = 0;
  int64_t expiresAt = 0;
  std::string numberEnding;  // last four digits of the phone number
  int64_t downloads = 0;
  std::string pageUrl;       // absolute, the QR code's text
  std::string downloadPath;  // "/r/TOKEN/NAME.EXT"
  std::string deletePath;    // "/r/TOKEN/delete"
  std::string qrSvg;         // an <svg> element, or empty
  bool playable = false;     // a format browsers play (mp3, m4r, ogg, wav): the page has a player
  VisitorPhone visitor = VisitorPhone::Other;  // whose steps come first
};

std::string HomePage(const SiteFacts& facts);
std::string HelpPage(const SiteFacts& facts);
// The carriers, then every phone with its ringtone format and wallpaper support, format and
// size, in catalogue order.
std::string PhonesPage(const PhoneCatalog& catalog);
std::string RingtonePage(const RingtoneView& view);
// 410: `deleted` tells a deleted ringtone from an expired one.
std::string GonePage(bool deleted, const SiteFacts& facts);
std::string NotFoundPage();
std::string InstallerMissingPage();
// 503 while the ringtone store cannot be reached: what was not done (plain text, a whole
// sentence), that nothing kept is lost, and a link to try `againPath` again.
std::string UnavailablePage(const std::string& notDone, const std::string& againPath);
// Other answers of one short sentence; `title` and `text` are plain text.
std::string MessagePage(const std::string& title, const std::string& text);
