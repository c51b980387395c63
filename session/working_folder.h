// The start folder, where the program writes its working files (d.wav, test.wav, the
// ringtone): whether it can be written, and what the user is told when a write there fails.
#pragma once
#include <string>

// Why a working file could not be written in its folder.
enum class FolderWriteFault { DiskFull, NotWritable };

// The words for `fault` in `folder`, named in full.
std::string FolderWriteMessage(FolderWriteFault fault, const std::string& folder);

// The disk of `folder` has less room than a working file needs to go on (under 64 KB left).
bool FolderDiskFull(const char* folder);

// True when a file can be created, written and removed in `folder` (a probe file of its own).
bool FolderWritable(const char* folder);

// After a failed write in `folder`: tells the user (caption "Warning") that its disk is full
// or that it cannot be written, whichever the disk shows now.
void ShowFolderWriteFailure(const char* folder);
