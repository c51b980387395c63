// Text is UTF-8 inside the program; these turn it into UTF-16 at a wide Windows call and back,
// cut it without splitting a character, and open files by UTF-8 names.
#pragma once
#include <cstddef>
#include <cstdio>
#include <string>
#include <string_view>

// UTF-16 of `utf8`. A byte that starts no valid sequence (a stray continuation byte, an
// overlong or surrogate form, a sequence cut short) becomes U+FFFD; nothing is dropped.
std::u16string Utf16FromUtf8(std::string_view utf8);
// UTF-8 of `utf16`; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromUtf16(std::u16string_view utf16);

// The longest length <= maxBytes at which `text` can be cut without splitting a multibyte
// character (text.size() when it is no longer than maxBytes).
size_t Utf8CutLength(std::string_view text, size_t maxBytes);

// `folder` and `name` joined by one backslash (a slash or backslash that ends `folder` is
// kept); just `name` when there is no folder.
std::string PathInFolder(std::string_view folder, std::string_view name);
// The folder part of `path` with its trailing separator ("" when there is none).
std::string FolderOfPath(std::string_view path);
// The name after the last separator of `path`.
std::string NameOfPath(std::string_view path);

// std::fopen of a UTF-8 path; on Windows through the wide name, so that it does not depend
// on the ANSI code page.
std::FILE* OpenFileUtf8(const char* path, const char* mode);
// std::remove and std::rename of UTF-8 paths, likewise; 0 on success.
int RemoveFileUtf8(const char* path);
int RenameFileUtf8(const char* from, const char* to);

#ifdef _WIN32
// For the wide Windows calls (wchar_t is UTF-16 there).
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);
#endif
