// Every message box the program can show, as (caption, text): what the soak test accepts.
// A text marked `prefix` is followed by numbers or an error name that vary.
#pragma once

namespace soak {

// The caption of the application message boxes is the program's own path: kAppCaption stands
// for it here.
constexpr char kAppCaption[] = "<program path>";

enum class TextKind {
  Refusal,        // a command refused in the state the window is in
  ImportFailed,   // the chosen file could not be imported (expected for damaged files)
  Truncated,      // an import cut at the limit
  TooLarge,       // Browse's size gate
  Oversize,       // a ringtone over 100 KB
  UploadSuccess,
  UploadError,
  Trouble,        // known, but never expected in the soak's use (encoders, ACM, sound)
};

struct ProgramText {
  const char* caption;  // nullptr: any
  const char* text;
  bool prefix;
  TextKind kind;
};

constexpr char NothingLoaded[] = "Please click browse to select a MP3, CD or WAV file";
constexpr char NotConverted[] = "Please make a selection and click convert";
constexpr char NoSelection[] = "Please make a selection using the mouse";
constexpr char ImportBusy[] = "Please wait until the current song has finished loading.";
constexpr char UploadBusy[] = "Please wait until the upload has finished.";
constexpr char InvalidHeader[] = "Invalid Wave Header";

constexpr ProgramText kProgramTexts[] = {
    {"Warning", NothingLoaded, false, TextKind::Refusal},
    {"Warning", NotConverted, false, TextKind::Refusal},
    {kAppCaption, NoSelection, false, TextKind::Refusal},
    {"Warning", ImportBusy, false, TextKind::Refusal},
    {"Warning", UploadBusy, false, TextKind::Refusal},
    {"File Size too Large",
     "Quavella only accepts MP3s that are smaller than 20 MBs (approximately 20 minutes). There "
     "are several commercialy available tools you can search for to reduce the size of your "
     "MP3.",
     false, TextKind::TooLarge},
    {"Warning",
     "Sorry this MP3 may not be supported, please try a different MP3. It's also possible your "
     "system has outdated Codecs.\n Please try installing the latest copy of Windows Media "
     "Player.",
     false, TextKind::ImportFailed},
    {"Error", "The selected CD track is not supported, please select a different track,or a CD",
     false, TextKind::ImportFailed},
    {"Warning",
     "Sorry, Quavella could not read this song. The file may be damaged or incomplete.", false,
     TextKind::ImportFailed},
    {"Warning", "Sorry, this song is protected against copying, so Quavella cannot open it.",
     false, TextKind::ImportFailed},
    {"Warning", "Sorry, this file holds no sound.", false, TextKind::ImportFailed},
    {"Warning", "Sorry, this WAV file could not be read. Please choose a PCM WAV file.", false,
     TextKind::ImportFailed},
    {"error", InvalidHeader, false, TextKind::ImportFailed},
    {kAppCaption, "Error reading TOC\n", false, TextKind::ImportFailed},
    {kAppCaption, "Could not access CD.\n\nHalvek error: ", true, TextKind::ImportFailed},
    {kAppCaption, "halvek init failed\n", false, TextKind::Trouble},
    {kAppCaption, "Could not get handle to CD\n", false, TextKind::Trouble},
    {kAppCaption, "Modify CD Parameters CD\n", false, TextKind::Trouble},
    {"Warning",
     "Sorry, Quavella has truncated the end of the music\nyou have opened since it is larger "
     "than the maximum duration supported. \nIf you wish to edit and send the truncated portion "
     "of your song,\nplease use one of many commercially available MP3, CD or WAV editing tools "
     "that you can find on your search engine.",
     false, TextKind::Truncated},
    {"Warning",
     "We are sorry, Quavella has truncated the end of the music\nyou have opened since it is "
     "larger than the maximum duration supported. \nIf you wish to edit and send the truncated "
     "portion of your song,\nplease use one of many commercially available MP3, CD or WAV "
     "editing tools that you can find on your search engine.",
     false, TextKind::Truncated},
    {"Warning", "Sorry, the disk is full: Quavella could not write its working files in\n", true,
     TextKind::Trouble},
    {"Warning", "Sorry, Quavella cannot write its working files in\n", true, TextKind::Trouble},
    {"Warning",
     "Sorry,ringtones greater than 100KB are not \nallowed for compatibility reasons. Please "
     "choose a shorter clip\n size and convert again, and then click upload:\n Current Clip "
     "Size: ",
     true, TextKind::Oversize},
    {"Warning", "Sorry, Quavella could not start loading the song. Please try again.", false,
     TextKind::Trouble},
    {"Warning", "Sorry, Quavella could not start the upload. Please try again.", false,
     TextKind::Trouble},
    {"RingTone Upload", "The RingTone has successfully been sent to your phone.", false,
     TextKind::UploadSuccess},
    {"Upload error", "We are sorry, we were unable to upload your ringtone, please try again",
     false, TextKind::UploadError},
    {"Error", "Couldn't convert to ", true, TextKind::Trouble},
    {"Error", "Couldn't convert: the phone's ringtone format is not known.", false,
     TextKind::Trouble},
    {"Error", "The clip could not be converted (", true, TextKind::Trouble},
    {"Error", "Could not open the song's samples (d.wav).", false, TextKind::Trouble},
    {"Error", "The song's samples (d.wav) ", true, TextKind::Trouble},
    {"Error", "Could not read the song's samples (d.wav).", false, TextKind::Trouble},
    {"Error", "Can't ", true, TextKind::Trouble},
    {"Error", "Conversion failed!\n", false, TextKind::Trouble},
    {kAppCaption, "couldnt' convert to mmf", false, TextKind::Trouble},
    {kAppCaption, "Could not open input file", false, TextKind::Trouble},
    {kAppCaption, "Could not save file", false, TextKind::Trouble},
    {"ERROR", "Couldnt'Initialize dsound= ", true, TextKind::Trouble},
    {"ERROR", "Couldnt' Create Sound Buffer = ", true, TextKind::Trouble},
    {nullptr, "ERROR", false, TextKind::Trouble},  // the profile store's, captioned with what failed
};

}  // namespace soak
