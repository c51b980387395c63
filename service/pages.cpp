#include "service/pages.h"

#include "service/web_text.h"

namespace {

const char Style[] = R"CSS(
*{box-sizing:border-box}
body{margin:0;background:#F3F5F9;color:#1B2740;font:16px/1.5 "DejaVu Sans",Verdana,Arial,sans-serif}
header{background:#1B2740;border-bottom:1px solid #31426A;padding:10px 16px}
header .inner,main,footer{max-width:760px;margin:0 auto}
header .inner{display:flex;flex-wrap:wrap;align-items:center;gap:6px 18px}
.brand{color:#fff;text-decoration:none;font-weight:bold;font-size:22px;display:flex;align-items:center;gap:8px}
.brand small{color:#9FB3D1;font-weight:normal;font-size:14px}
nav{margin-left:auto}
nav a{color:#fff;background:#2C3E5E;border:1px solid #4C6492;border-radius:12px;padding:2px 12px;margin-left:6px;text-decoration:none;font-size:14px;white-space:nowrap}
main{padding:16px}
h1{font-size:24px;margin:8px 0 12px;overflow-wrap:anywhere}
h2{font-size:18px;margin:20px 0 8px}
.card{background:#fff;border:1px solid #D3DAE6;border-left:4px solid #FFC400;border-radius:7px;padding:14px 16px;margin:0 0 16px}
.card.done{border-left-color:#2F9E6A}
.card.warn{border-left-color:#E5484D}
.muted{color:#5E6B82}
.facts{display:grid;grid-template-columns:max-content 1fr;gap:4px 16px;margin:0 0 14px}
.facts dt{color:#5E6B82}.facts dd{margin:0;overflow-wrap:anywhere}
.button{display:inline-block;background:#24406E;border:1px solid #152A4D;color:#fff;border-radius:6px;padding:10px 18px;font-weight:bold;text-decoration:none;font-size:16px;cursor:pointer}
.button.small{padding:6px 12px;font-size:14px;font-weight:normal}
.button.danger{background:#E5484D;border-color:#B5363A}
.qrbox{display:flex;flex-wrap:wrap;gap:12px 20px;align-items:center}
.qr{display:block;width:200px;height:200px;flex:none}
.address{font-family:"DejaVu Sans Mono",monospace;font-size:13px;overflow-wrap:anywhere}
ol.steps{padding-left:22px}ol.steps li{margin:4px 0}
table{border-collapse:collapse;width:100%;background:#fff;border:1px solid #D3DAE6;font-size:14px}
th,td{text-align:left;padding:5px 8px;border-bottom:1px solid #E6EAF1}
th{background:#1B2740;color:#fff;font-weight:normal}
tr:nth-child(even) td{background:#FAFBFD}
.state{font-weight:bold}
footer{padding:8px 16px 24px;color:#97A3B6;font-size:13px}
)CSS";

// The program's icon: amber bars on the title band's navy.
const char Logo[] =
    "<svg width=\"28\" height=\"28\" viewBox=\"0 0 32 32\" aria-hidden=\"true\">"
    "<rect width=\"32\" height=\"32\" rx=\"7\" fill=\"#24406E\"/><g fill=\"#FFC400\">"
    "<rect x=\"6\" y=\"13\" width=\"3\" height=\"7\" rx=\"1\"/>"
    "<rect x=\"11\" y=\"8\" width=\"3\" height=\"17\" rx=\"1\"/>"
    "<rect x=\"16\" y=\"5\" width=\"3\" height=\"23\" rx=\"1\"/>"
    "<rect x=\"21\" y=\"10\" width=\"3\" height=\"13\" rx=\"1\"/>"
    "<rect x=\"26\" y=\"14\" width=\"2\" height=\"5\" rx=\"1\"/></g></svg>";

// `title` is plain text; `body` is HTML.
std::string Page(const std::string& title, const std::string& body) {
  return "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
         "<title>" + HtmlEscape(title) + " - Quavella</title><style>" + Style +
         "</style></head>\n<body><header><div class=\"inner\"><a class=\"brand\" href=\"/\">" +
         Logo + "Quavella <small>ringtone maker</small></a><nav>"
         "<a href=\"/index.php?page=support\">Help</a>"
         "<a href=\"/index.php?page=supported_phones\">Phones</a></nav></div></header>\n"
         "<main>" + body + "</main>\n<footer>Quavella &middot; ringtones made on your PC, "
         "fetched by your phone</footer></body></html>\n";
}

// "amr" -> "AMR": format words as the pages show them.
std::string UpperWord(const char* word) {
  std::string upper = HtmlEscape(word);
  for (char& c : upper) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return upper;
}

std::string Plural(int64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

std::string HomePage(const SiteFacts& facts) {
  return Page("Ringtones from your own music",
              "<h1>Ringtones from your own music</h1>"
              "<div class=\"card\"><p>Quavella is a ringtone maker for Windows. Open a song (an "
              "MP3 file, a WAV file or a track of an audio CD), mark the part you like with the "
              "mouse, listen to it, and press <b>Convert</b>: Quavella cuts the clip and turns "
              "it into the format your phone plays. <b>Upload</b> sends it here, and your phone "
              "fetches it from its own page.</p>"
              "<p><a class=\"button\" href=\"/download/QuavellaPackage.exe\">Download Quavella "
              "for Windows</a></p></div>"
              "<div class=\"card\"><p><b>Today's phones:</b> an <b>iPhone</b> takes an M4R "
              "ringtone (AAC) of up to 30 seconds, an <b>Android phone</b> an Ogg Vorbis "
              "ringtone of up to 40 seconds; choose &ldquo;Apple iPhone&rdquo; or &ldquo;Android "
              "phone&rdquo; in Quavella's profile.</p></div>"
              "<div class=\"card\"><p>Every ringtone gets a page of its own with a download "
              "link and a QR code to scan with the phone. Pages are kept for " +
                  Plural(facts.retentionDays, "day", "days") +
                  ". See <a href=\"/index.php?page=supported_phones\">the supported phones</a> "
                  "and <a href=\"/index.php?page=support\">how to make a ringtone</a>.</p></div>");
}

std::string HelpPage(const SiteFacts& facts) {
  return Page(
      "Help",
      "<h1>Help</h1>"
      "<h2>Make a ringtone and send it to your phone</h2><div class=\"card\"><ol class=\"steps\">"
      "<li>The first time Quavella starts, it asks for your phone number (10 digits), your "
      "carrier and your phone model. <b>Profile</b> changes them later.</li>"
      "<li>Press <b>Browse</b> and open a song: an MP3 file, a WAV file, or a track of an audio "
      "CD.</li>"
      "<li>Drag over the waveform with the mouse to mark the clip you want, and press "
      "<b>Play</b> to hear it.</li>"
      "<li>Press <b>Convert</b>. Quavella makes the ringtone in your phone's format and shows "
      "its size; a ringtone may have at most 100 KB, so choose a shorter clip if it is "
      "refused. For an iPhone the rule is length instead: at most 30 seconds; for an Android "
      "phone at most 40 seconds.</li>"
      "<li>Press <b>Upload</b>. When the ringtone has arrived, your browser opens its page.</li>"
      "<li>On the phone, open that page (scan its QR code with the phone's camera, or type its "
      "address) and tap <b>Download the ringtone</b>.</li></ol></div>"
      "<h2>Phones of today</h2><div class=\"card\"><p>Two models stand for the phones people "
      "carry today: <b>Apple iPhone</b> (an M4R ringtone: AAC in an MPEG-4 file) and "
      "<b>Android phone</b> (an Ogg Vorbis ringtone); choose the carrier &ldquo;Other "
      "carrier&rdquo; if yours is not listed. The ringtone's page plays it and tells how to make "
      "it the phone's ringtone: on iOS 26 and later with <b>Use as Ringtone</b> in the share "
      "sheet of Files, on earlier iOS through Finder, the Apple Devices app or GarageBand; on "
      "Android in <b>Settings, Sound, Phone ringtone</b>.</p></div>"
      "<h2>What the window tells you</h2><div class=\"card\"><dl class=\"facts\">"
      "<dt class=\"state\">Choose a song</dt><dd>Nothing is open yet: press Browse.</dd>"
      "<dt class=\"state\">Loading the song</dt><dd>Quavella is reading the song; the progress "
      "bar fills as it goes.</dd>"
      "<dt class=\"state\">Select a clip with the mouse</dt><dd>The song is open: drag over the "
      "waveform, then press Play to listen and Convert to make the ringtone.</dd>"
      "<dt class=\"state\">Ringtone converted</dt><dd>The ringtone is made; its size is shown "
      "beside the song's name. Press Upload to send it.</dd>"
      "<dt class=\"state\">Ringtone uploaded</dt><dd>It has reached the service; open its page on "
      "your phone to fetch it.</dd></dl></div>"
      "<h2>After &ldquo;Upload error&rdquo;</h2><div class=\"card warn\"><p>The message "
      "&ldquo;We are sorry, we were unable to upload your ringtone, please try again&rdquo; "
      "means the ringtone did not arrive. Nothing was kept; check these and press Upload "
      "again:</p><ul>"
      "<li>Is the computer online? Open this site in the browser to see.</li>"
      "<li>Is your profile right? The phone number must have exactly 10 digits, and the phone "
      "model must be yours (press Profile). After changing the model, press Convert again so "
      "that the ringtone is made in the new model's format.</li>"
      "<li>Was the ringtone converted from the song you wanted? Convert again, then Upload.</li>"
      "<li>Each Internet address (the connection of a home, an office or a phone) may send " +
          std::to_string(facts.uploadsPerHour) +
          " ringtones an hour. Wait a while if you have sent many.</li></ul>"
          "<p>If it still fails, the service may be busy: try again a little later.</p></div>"
          "<h2>Your ringtone's page</h2><div class=\"card\"><p>Each page shows the song, the "
          "phone model and carrier, the format, the size and when the page expires; of your "
          "phone number only the last four digits. Pages and ringtones are deleted, with the "
          "phone number, after " +
          Plural(facts.retentionDays, "day", "days") +
          ", or at once with the page's <b>Delete</b> button.</p></div>");
}

std::string PhonesPage(const PhoneCatalog& catalog) {
  std::string body = "<h1>Supported phones</h1><h2>Carriers</h2><div class=\"card\"><p>";
  for (int i = 0; i < catalog.CarrierCount(); ++i) {
    if (i > 0) body += " &middot; ";
    body += HtmlEscape(catalog.CarrierAt(i).name);
  }
  body += "</p><p class=\"muted\">Any carrier's phone of the list below can take the ringtones."
          "</p></div><h2>Phones</h2><table><thead><tr><th>Phone</th><th>Ringtone</th>"
          "<th>Wallpaper</th><th>Wallpaper format</th><th>Wallpaper size</th></tr></thead><tbody>";
  for (int i = 0; i < catalog.PhoneCount(); ++i) {
    const PhoneEntry& phone = catalog.PhoneAt(i);
    body += "<tr><td>" + HtmlEscape(phone.name) + "</td><td>" + UpperWord(phone.formatWord) + "</td><td>" +
            (phone.wallpaperSupported ? "Yes" : "No") + "</td><td>" +
            HtmlEscape(phone.wallpaperFormatWord) + "</td><td>" + std::to_string(phone.width) +
            " &times; " + std::to_string(phone.height) + "</td></tr>";
  }
  body += "</tbody></table>";
  return Page("Supported phones", body);
}

VisitorPhone PhoneOfUserAgent(std::string_view userAgent) {
  if (userAgent.find("iPhone") != std::string_view::npos ||
      userAgent.find("iPad") != std::string_view::npos)
    return VisitorPhone::Iphone;
  if (userAgent.find("Android") != std::string_view::npos) return VisitorPhone::Android;
  return VisitorPhone::Other;
}

namespace {

std::string Player(const RingtoneView& view) {
  if (!view.playable) return {};
  return "<p><audio controls preload=\"none\" src=\"" + HtmlEscape(view.downloadPath) +
         "\"><a href=\"" + HtmlEscape(view.downloadPath) + "\">Listen</a></audio></p>";
}

const char IphoneSteps[] =
    "<div class=\"card steps\" id=\"iphone\"><h2>On an iPhone</h2><ol>"
    "<li><b>iOS 26 and later:</b> tap <b>Download the ringtone</b>, open the file in "
    "<b>Files</b> (Downloads), tap the share button and choose <b>Use as Ringtone</b>. "
    "It takes ringtones of up to 30 seconds.</li>"
    "<li><b>Earlier iOS:</b> download the file on your computer, connect the iPhone and drag "
    "the file onto it in <b>Finder</b> (a Mac) or the <b>Apple Devices</b> app (Windows); or "
    "open it in <b>GarageBand</b> on the iPhone and share it as a ringtone.</li>"
    "<li>Then choose it in <b>Settings, Sounds &amp; Haptics, Ringtone</b>.</li></ol></div>";
const char AndroidSteps[] =
    "<div class=\"card steps\" id=\"android\"><h2>On an Android phone</h2><ol>"
    "<li>Tap <b>Download the ringtone</b>; the file lands in Downloads (or save it in the "
    "<b>Ringtones</b> folder).</li>"
    "<li>Open <b>Settings, Sound, Phone ringtone</b>, choose <b>My sounds</b> or the "
    "<b>+</b> button, and pick the file.</li></ol></div>";

// The steps of today's phones, the visitor's own phone first (else the ringtone's phone's).
std::string PhoneSteps(const RingtoneView& view) {
  if (view.formatWord != "m4r" && view.formatWord != "ogg") return {};
  const bool androidFirst = view.visitor == VisitorPhone::Android ||
                            (view.visitor == VisitorPhone::Other && view.formatWord == "ogg");
  return androidFirst ? std::string(AndroidSteps) + IphoneSteps
                      : std::string(IphoneSteps) + AndroidSteps;
}

}  // namespace

std::string RingtonePage(const RingtoneView& view) {
  const std::string title = view.songName.empty() ? "Ringtone" : view.songName;
  std::string body =
      "<h1>" + HtmlEscape(title) + "</h1><div class=\"card done\"><dl class=\"facts\">"
      "<dt>Phone</dt><dd>" + HtmlEscape(view.phoneName) + "</dd>"
      "<dt>Carrier</dt><dd>" + HtmlEscape(view.carrierName) + "</dd>"
      "<dt>Format</dt><dd>" + UpperWord(view.formatWord.c_str()) + "</dd>"
      "<dt>Size</dt><dd>" + std::to_string(view.size / 1024) + " KB (" +
      std::to_string(view.size) + " bytes)</dd>"
      "<dt>For the number</dt><dd>ending in " + HtmlEscape(view.numberEnding) + "</dd>"
      "<dt>Expires</dt><dd>" + UtcDateText(view.expiresAt) + "</dd>"
      "<dt>Downloads</dt><dd>" + std::to_string(view.downloads) + "</dd></dl>"
      "<p><a class=\"button\" href=\"" + HtmlEscape(view.downloadPath) +
      "\">Download the ringtone</a></p>" + Player(view) + "</div>" + PhoneSteps(view) +
      "<div class=\"card\"><div class=\"qrbox\">" + view.qrSvg +
      "<div><p><b>On your phone:</b> scan this code with the phone's camera to open this page "
      "there, then tap <b>Download the ringtone</b>.</p><p class=\"address\">" +
      HtmlEscape(view.pageUrl) + "</p></div></div></div>"
      "<form method=\"post\" action=\"" + HtmlEscape(view.deletePath) +
      "\"><p class=\"muted\">Done with it? Delete the ringtone and its page now; otherwise they "
      "go by themselves when the page expires.</p>"
      "<button class=\"button small danger\" type=\"submit\">Delete this ringtone</button></form>";
  return Page(title, body);
}

std::string GonePage(bool deleted, const SiteFacts& facts) {
  const std::string title = deleted ? "This ringtone was deleted" : "This ringtone has expired";
  const std::string text =
      deleted ? "Its page, its file and the phone number that came with it were deleted."
              : "Ringtones are kept for " + Plural(facts.retentionDays, "day", "days") +
                    "; this one, its page and the phone number that came with it are gone.";
  return Page(title, "<h1>" + title + "</h1><div class=\"card warn\"><p>" + text +
                         "</p><p>Make it again with Quavella: Convert, then Upload, and open "
                         "the new page on your phone.</p></div>");
}

std::string NotFoundPage() {
  return Page("Page not found",
              "<h1>Page not found</h1><div class=\"card warn\"><p>There is no page at this "
              "address. Check the address, or start from <a href=\"/\">the home page</a>.</p>"
              "</div>");
}

std::string InstallerMissingPage() {
  return Page("Installer not available",
              "<h1>Installer not available</h1><div class=\"card warn\"><p>This server does "
              "not offer the Quavella installer. Ask whoever runs it, or build Quavella from "
              "its sources.</p></div>");
}

std::string UnavailablePage(const std::string& notDone, const std::string& againPath) {
  return Page("Temporarily unavailable",
              "<h1>Temporarily unavailable</h1><div class=\"card warn\"><p>" +
                  HtmlEscape(notDone) +
                  " The service cannot reach its ringtone store at the moment.</p><p>Ringtones "
                  "already sent are kept: nothing is lost. Please try again in a minute.</p>"
                  "<p><a href=\"" + HtmlEscape(againPath) + "\">Try again</a></p></div>");
}

std::string MessagePage(const std::string& title, const std::string& text) {
  return Page(title, "<h1>" + HtmlEscape(title) + "</h1><div class=\"card warn\"><p>" +
                         HtmlEscape(text) + "</p></div>");
}
