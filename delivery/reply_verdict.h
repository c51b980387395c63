// What the service's answer to an upload means. The service answers with a bare word,
// "success" or "error", or with a web address to show the user.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

// Texts and captions of the boxes that tell the user how the upload went.
constexpr char UploadSuccessText[] = "The RingTone has successfully been sent to your phone.";
constexpr char UploadSuccessCaption[] = "RingTone Upload";
constexpr char UploadErrorText[] =
    "We are sorry, we were unable to upload your ringtone, please try again";
constexpr char UploadErrorCaption[] = "Upload error";

// Longest web address the program will hand to the browser.
constexpr size_t MaxReplyUrlLength = 2083;

enum class ReplyKind {
  Nothing,  // no recognised answer: nothing is shown
  Success,  // "success", any case, after leading white space, nothing after it
  Error,    // "error", likewise
  OpenUrl,  // an http:// or https:// address to open in the browser
};

struct ReplyVerdict {
  ReplyKind kind = ReplyKind::Nothing;
  std::string url;  // for OpenUrl
};

// The text of one piece of the reply: the bytes up to the first NUL, if any.
std::string_view ReplyText(const char* bytes, size_t count);

// Judges one piece of the reply. Leading space, tab, CR, LF, VT and FF are skipped; trailing
// white space is kept, so "success\r\n" is neither word. Otherwise the first "http://" or
// "https://" (lower case) starts a token that runs to the next white space; it is opened only
// when it is a plain URL: a host follows the "//", every character may appear in a URL
// (no control characters, quotes, angle brackets, backslashes or bytes above 126), and it is
// at most MaxReplyUrlLength long. Anything else is Nothing.
ReplyVerdict ClassifyReply(std::string_view text);
