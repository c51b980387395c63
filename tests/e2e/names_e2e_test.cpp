// Songs named in any script, by every way in: Browse (to the real service), a drop, the
// installed program's context-menu command and a second start. This program carries the manifest
// too: its own ANSI calls speak UTF-8.
#include <windows.h>
#include <shlobj.h>
#include <commctrl.h>
#include <urlmon.h>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

#include "tests/e2e/driver.h"

namespace {

using namespace e2e;

constexpr int IdConvert = 5002, IdPathEdit = 5004, IdExit = 5005, IdUpload = 5011;
const std::string Name = "\xE5\xA4\x9C\xE3\x81\xAB\xE9\xA7\x86\xE3\x81\x91\xE3\x82\x8B";  // 夜に駆ける
const std::string Song = "M\xC3\xBAsica \xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E\\" + Name + ".m4a";
const std::string ProgramFolder = "\xD0\x9F\xD1\x80\xD0\xBE\xD0\xB3\xD1\x80\xD0\xB0\xD0\xBC"
                                  "\xD0\xBC\xD1\x8B \xE6\x9D\x8E\xE6\x98\x8E";

std::string Env(const char* name) { return std::getenv(name) ? std::getenv(name) : ""; }
std::string Build() { return WindowsPath(Env("QV_BUILD_DIR")); }

// `Música 日本語\夜に駆ける.m4a` (an AAC song of the decoding tests) in a fresh folder.
std::string PlaceSong(const std::string& test) {
  const std::string song = FreshFolder(test) + "\\" + Song;
  CreateDirectoryA(song.substr(0, song.rfind('\\')).c_str(), nullptr);
  EXPECT_TRUE(CopyFileA((Build() + "\\test-data\\decoded\\song.m4a").c_str(), song.c_str(), 0));
  return song;
}

// A screenshot once the bar is full, with the song box scrolled to the song's name.
void ShowSong(HWND window, const std::string& shot) {
  HWND bar = FindWindowExA(window, nullptr, "msctls_progress32", nullptr);
  WaitUntil([&] { return SendMessageA(bar, PBM_GETPOS, 0, 0) == SendMessageA(bar, PBM_GETRANGE, 0, 0); });
  SendMessageW(GetDlgItem(window, IdPathEdit), EM_SETSEL, 0x7FFF, 0x7FFF);
  SendMessageW(GetDlgItem(window, IdPathEdit), EM_SCROLLCARET, 0, 0);
  WaitUntil([] { return false; }, 500);  // the strip is drawn
  Screenshot(shot);
}

void ExpectSong(App& app, const std::string& song, const std::string& shot) {
  ASSERT_TRUE(app.WaitLoaded());
  ASSERT_EQ(app.ChildText(IdPathEdit), song);
  ShowSong(app.Window(), shot);
}

// The session's proxy setting, pointed at `server` for the test's life and back after.
struct ProxyTo {
  const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings";
  explicit ProxyTo(const std::string& server) { Set(server); }
  ~ProxyTo() { Set("127.0.0.1:" + Env("QV_STANDIN_PORT")); }
  void Set(const std::string& server) const {
    RegSetKeyValueA(HKEY_CURRENT_USER, key, "ProxyServer", REG_SZ, server.c_str(), server.size() + 1);
  }
};

// Browse from the program in `Программы 李明` (its working files, encoders and DLLs there), the
// upload to the real service, and the ringtone's page showing the song's name.
TEST(Names, BrowseOfAJapaneseSongConvertsAndUploadsToThePageShowingItsName) {
  const std::string service = Env("QV_SERVICE_URL"), song = PlaceSong("names-browse");
  ASSERT_FALSE(service.empty()) << "the test session starts the service";
  const std::string log = WindowsPath(Env("QV_BROWSER_LOG"));
  ProxyTo proxy(service.substr(service.find("//") + 2));
  LaunchOptions options;
  options.startFolder = FreshFolder("names-browse-program") + "\\" + ProgramFolder;
  CreateDirectoryA(options.startFolder.c_str(), nullptr);
  CopyDistribution(options.startFolder);
  options.profile = AmrPhoneProfile();
  App app;
  ASSERT_TRUE(app.Launch(options));
  ASSERT_TRUE(app.BrowseTo(song));
  ExpectSong(app, song, "names-browse-loaded");
  ASSERT_TRUE(app.ConvertSelection(150, 350));
  const size_t logged = ReadFileBytes(log).size();
  app.Command(IdUpload);
  std::vector<uint8_t> opened;
  ASSERT_TRUE(WaitUntil([&] { return (opened = ReadFileBytes(log)).size() > logged + 1; }, 60000));
  const std::string page(opened.begin() + logged, opened.end() - 1);
  const std::string html = ArtefactDir() + "\\names-page.html";
  ASSERT_EQ(URLDownloadToFileA(nullptr, page.c_str(), html.c_str(), 0, nullptr), S_OK) << page;
  const std::vector<uint8_t> text = ReadFileBytes(html);
  EXPECT_NE(std::string(text.begin(), text.end()).find("<h1>" + Name), std::string::npos) << page;
}

// Posts WM_DROPFILES as the shell does, its DROPFILES block (wide names) written into the
// program's memory: Wine takes a page-aligned block for the fixed HGLOBAL the shell hands over.
bool Drop(const App& app, const std::vector<std::string>& paths) {
  std::vector<uint8_t> block(sizeof(DROPFILES));
  DROPFILES header{sizeof(DROPFILES), {200, 120}, FALSE, TRUE};
  std::memcpy(block.data(), &header, sizeof header);
  for (std::string path : paths) {
    std::wstring wide(path.size() + 1, L'\0');
    wide.resize(MultiByteToWideChar(CP_UTF8, 0, path.c_str(), -1, wide.data(), wide.size()));
    block.insert(block.end(), reinterpret_cast<uint8_t*>(wide.data()),
                 reinterpret_cast<uint8_t*>(wide.data() + wide.size()));
  }
  block.insert(block.end(), 2, 0);
  HANDLE process = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, app.ProcessId());
  void* remote = VirtualAllocEx(process, nullptr, block.size(), MEM_COMMIT, PAGE_READWRITE);
  bool written = remote && WriteProcessMemory(process, remote, block.data(), block.size(), nullptr);
  CloseHandle(process);
  return written && PostMessageW(app.Window(), WM_DROPFILES, reinterpret_cast<WPARAM>(remote), 0);
}

TEST(Names, ADroppedSongOpensAsInBrowseAndAFolderGetsAMessage) {
  const std::string song = PlaceSong("names-drop"), folder = song.substr(0, song.rfind('\\'));
  App app;
  ASSERT_TRUE(app.Launch());
  ASSERT_TRUE(Drop(app, {folder, song, folder + "\\other.txt"}));  // the first song is taken
  ExpectSong(app, song, "names-drop-loaded");
  ASSERT_TRUE(Drop(app, {folder}));
  EXPECT_EQ(TakeMessageBox(app.ProcessId(), "Warning"),
            "Quavella opens one song at a time, not a folder. Please drop or choose a song file.");
}

std::string RegistryText(const std::string& key) {
  char text[2048] = {};
  DWORD size = sizeof text - 1;
  RegGetValueA(HKEY_CURRENT_USER, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, text, &size);
  return text;
}

// Runs `line` in `folder` and returns its exit code, or with `window` returns once it shows it.
DWORD RunCommand(std::string line, const std::string& folder = "", HWND* window = nullptr) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                      folder.empty() ? nullptr : folder.c_str(), &startup, &process))
    return 1000;
  DWORD code = 1001;
  if (window)
    WaitUntil([&] { return (*window = FindProcessWindow(process.dwProcessId, "Quavella")); });
  else if (WaitForSingleObject(process.hProcess, 120000) == WAIT_OBJECT_0)
    GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  CloseHandle(process.hThread);
  return code;
}

// Installed into `Программы 李明`; the context-menu command run as the shell runs it, in the
// song's folder, then again for another song: that second start hands it to the running window.
TEST(Names, TheInstalledProgramsContextMenuCommandOpensTheSong) {
  const std::string folder = FreshFolder("names-installed") + "\\" + ProgramFolder;
  std::string install = "\"";
  install += Build() + "\\package\\QuavellaPackage.exe\" /S /D=" + folder;
  ASSERT_EQ(RunCommand(install), 0u);
  const std::string keys[] = {"Software\\Classes\\SystemFileAssociations\\audio\\shell\\Quavella",
                              "Software\\Classes\\SystemFileAssociations\\video\\shell\\Quavella",
                              "Software\\Classes\\Applications\\Quavella.exe"};
  EXPECT_EQ(RegistryText(keys[0]), "Make a ringtone with Quavella");
  EXPECT_EQ(RegistryText(keys[1]), "Make a ringtone with Quavella");
  EXPECT_EQ(RegGetValueA(HKEY_CURRENT_USER, (keys[2] + "\\SupportedTypes").c_str(), ".m4a",
                         RRF_RT_REG_SZ, nullptr, nullptr, nullptr), ERROR_SUCCESS);
  const std::string command = RegistryText(keys[1] + "\\command");
  EXPECT_EQ(command, "\"" + folder + "\\Quavella.exe\" \"%1\"");
  EXPECT_EQ(RegistryText(keys[2] + "\\shell\\open\\command"), command);

  const std::string song = PlaceSong("names-context-menu");
  WriteProfile(AmrPhoneProfile());
  HWND window = nullptr;
  RunCommand(command.substr(0, command.find("%1")) + song + "\"", song.substr(0, song.rfind('\\')), &window);
  char text[1024] = {};
  EXPECT_TRUE(WaitUntil([&] {
    SendMessageA(GetDlgItem(window, IdPathEdit), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return song == text && FileExists(folder + "\\d.wav");  // beside the program
  }, 60000)) << text;
  ShowSong(window, "names-context-menu-loaded");
  const std::string other = PlaceSong("names-second-start");
  EXPECT_EQ(RunCommand(command.substr(0, command.find("%1")) + other + "\""), 0u);
  EXPECT_TRUE(WaitUntil([&] {
    SendMessageA(GetDlgItem(window, IdPathEdit), WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text));
    return other == text;
  }, 60000)) << text;
  ShowSong(window, "names-second-start");
  PostMessageA(window, WM_COMMAND, IdExit, 0);
  WaitUntil([&] { return !IsWindow(window); });

  // The uninstaller runs on from a copy of itself.
  EXPECT_EQ(RunCommand("\"" + folder + "\\uninstall.exe\" /S"), 0u);
  for (const std::string& key : keys)
    EXPECT_TRUE(WaitUntil([&] {
      HKEY open;
      LONG found = RegOpenKeyExA(HKEY_CURRENT_USER, key.c_str(), 0, KEY_READ, &open);
      if (found == ERROR_SUCCESS) RegCloseKey(open);
      return found != ERROR_SUCCESS;
    }, 30000)) << key;
}

}  // namespace
