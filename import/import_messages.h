// Messages that more than one import branch shows (caption "Warning").
#pragma once

// The output passed ImportByteLimit and the rest of the song was left out.
inline constexpr char ImportTruncatedMessage[] =
    "Sorry, Quavella has truncated the end of the music\nyou have opened since it is larger "
    "than the maximum duration supported. \nIf you wish to edit and send the truncated portion "
    "of your song,\nplease use one of many commercially available MP3, CD or WAV editing tools "
    "that you can find on your search engine.";
// What a branch returns when d.wav could not be created or written (a full disk, a folder it
// cannot write in): the import ends there, and the worker removes d.wav and names the folder
// (session/working_folder.h holds those words).
inline constexpr int ImportWriteFailed = -1;
