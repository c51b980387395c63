// Messages that more than one import branch shows (caption "Warning").
#pragma once

// The output passed ImportByteLimit and the rest of the song was left out.
inline constexpr char ImportTruncatedMessage[] =
    "Sorry, Quavella has truncated the end of the music\nyou have opened since it is larger "
    "than the maximum duration supported. \nIf you wish to edit and send the truncated portion "
    "of your song,\nplease use one of many commercially available MP3, CD or WAV editing tools "
    "that you can find on your search engine.";
// Writing d.wav failed part way.
inline constexpr char ImportWriteFailedMessage[] =
    "Sorry, Quavella could not write the decoded music to d.wav.\nThe song has been cut short. "
    "Please make room on the disk and open it again.";
