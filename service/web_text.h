// Small text rules of the service's pages and addresses: HTML escaping, the song names that
// Windows sends in its own code page, ringtone tokens, download names and dates.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>

// & < > " ' as character references.
std::string HtmlEscape(std::string_view text);

// Text fit for a UTF-8 page: valid UTF-8 stays as it is, in any script; otherwise every byte
// is read as Windows-1252 (the code page older Quavella titles come in). Control characters
// become spaces; the invisible characters that reorder, hide or blank out text (direction
// marks, embeddings, overrides, isolates, zero-width spaces, the byte order mark, Hangul
// fillers, line and paragraph separators, NEL, tag characters) are dropped.
std::string DisplayText(std::string_view bytes);

// The song's name as a ringtone's page shows it: the DisplayText of the title the program
// sent, whose spaces its title cleaning made "_" and which still ends in the song file's
// extension ("Beyoncé_–_Déjà_Vu.m4a"): "_" back to spaces, the extension dropped, runs of
// spaces made one ("Beyoncé – Déjà Vu"). "Ringtone" when nothing is left.
std::string SongTitle(std::string_view songName);

// The Content-Disposition of a download: an attachment named DownloadFileName (plain ASCII,
// for old clients) and, for the others, "filename*" with the SongTitle and the format's
// extension in UTF-8, percent-encoded (RFC 6266 and RFC 5987). `asciiName`: the
// DownloadFileName when the caller has it already.
std::string DownloadDisposition(std::string_view songName, std::string_view formatWord,
                                std::string_view asciiName = {});

// A ringtone's token: 128 random bits as 22 characters of the URL-safe base64 alphabet.
constexpr size_t TokenBytes = 16;
constexpr size_t TokenLength = 22;
std::string TokenText(const uint8_t (&bits)[TokenBytes]);
// True for exactly TokenLength characters of A-Z, a-z, 0-9, "-" and "_".
bool IsTokenText(std::string_view text);

// The name a ringtone downloads under: the song name without its extension, reduced to
// letters, digits, "-", "_" and "." (the invisible format characters of DisplayText are
// dropped, other bytes become "_", at most 60 of them), then "."
// and the format word; "ringtone" when nothing is left of the song name.
std::string DownloadFileName(std::string_view songName, std::string_view formatWord);

// "2024-05-01 14:00 UTC" for seconds since 1970.
std::string UtcDateText(int64_t seconds);

// One line of the request log: "2024-05-01T14:00:00Z GET /r/abc 200 1234 3.1ms note". The
// target loses the scheme and host of the absolute form; in the method and the target, bytes
// outside printable ASCII (and "%") are written as %XX, and the target is cut at 300
// characters; of every segment that could be a ringtone's token, wherever it stands and
// however it is spelt ("/r/TOKEN", "//r/TOKEN", "/%72/TOKEN"), only the first LoggedTokenLength
// characters are kept ("/r/AbCdEf.../x.wav"); control characters in the note become spaces.
// Ends with a line feed.
constexpr size_t LoggedTokenLength = 6;
std::string RequestLogLine(int64_t nowMs, std::string_view method, std::string_view target,
                           int status, uint64_t bytes, double milliseconds,
                           std::string_view note);
