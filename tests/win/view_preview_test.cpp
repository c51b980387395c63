// The preview on the real sound device (DirectSound, played in real time by the test session's
// null sink): the buffer, the play cursor's walk, the stops and the restoring of the selection.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <thread>

#include "session/session_state.h"
#include "session/working_audio.h"
#include "tests/win/view_test_support.h"
#include "view/preview.h"
#include "view/waveform_view.h"

namespace {

// Seconds of 16-bit stereo at 44100 Hz: a quiet tone.
view_test::MemoryAudio Song(uint32_t seconds) {
  return view_test::MakeAudio(44100, 2, 16, 44100 * seconds, [](uint32_t f, int c) {
    return ((f / 50) % 2 ? 2000 : -2000) * (c ? 1 : -1);
  });
}

class PreviewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = view_test::CreateTestWindow();
    ASSERT_NE(window_, nullptr);
    CreateSelectionCaret(window_);
  }
  void TearDown() override {
    ReleasePreview();
    view_test::DestroyTestWindow(window_);
    view_test::ResetSession();
  }
  // Browse's order: device, then the import's buffer.
  void Load(const view_test::MemoryAudio& audio) {
    ReleasePreview();
    view_test::Publish(audio);
    InitSoundDevice(window_);
    ASSERT_NE(sessionState.soundDevice, nullptr);
    PreparePreview(false, window_);
    ASSERT_NE(sessionState.previewBuffer, nullptr);
  }
  void Select(int from, int to) {
    BeginSelection(from);
    ExtendSelection(window_, MK_LBUTTON, to);
  }
  // Pumps until the preview has ended and restored the selection; returns the caret's
  // positions seen while it played.
  std::vector<int> PlayThrough(DWORD timeoutMs = 15000) {
    std::vector<int> seen;
    bool ended = view_test::PumpUntil(
        [&] {
          if (sessionState.playTimerId == 0) return true;
          if (seen.empty() || seen.back() != CaretX()) seen.push_back(CaretX());
          return false;
        },
        timeoutMs);
    EXPECT_TRUE(ended) << "the preview did not end";
    return seen;
  }

  HWND window_ = nullptr;
};

TEST_F(PreviewTest, BufferHoldsTheWholeSongInItsFormat) {
  view_test::MemoryAudio audio = Song(1);
  Load(audio);
  IDirectSoundBuffer* buffer = sessionState.previewBuffer;
  DSBCAPS caps{};
  caps.dwSize = sizeof caps;
  ASSERT_EQ(buffer->GetCaps(&caps), DS_OK);
  EXPECT_EQ(caps.dwBufferBytes, audio.samples.size());
  EXPECT_EQ(caps.dwFlags & 0x80E0u, 0x80E0u);
  WAVEFORMATEX format{};
  ASSERT_EQ(buffer->GetFormat(&format, sizeof format, nullptr), DS_OK);
  EXPECT_EQ(std::memcmp(&format, audio.format.data(), 16), 0);
  void* bytes = nullptr;
  DWORD size = 0;
  ASSERT_EQ(buffer->Lock(0, 0, &bytes, &size, nullptr, nullptr, DSBLOCK_ENTIREBUFFER), DS_OK);
  ASSERT_EQ(size, audio.samples.size());
  EXPECT_EQ(std::memcmp(bytes, audio.samples.data(), size), 0);
  buffer->Unlock(bytes, size, nullptr, 0);
  EXPECT_FALSE(IsPreviewPlaying());
}

TEST_F(PreviewTest, DeviceIsFoundWithoutTheDirectSoundProgId) {
  // Some systems register no "DirectSound" ProgID; the class id is used then.
  char clsid[64] = {};
  LONG size = sizeof clsid;
  bool had = RegQueryValueA(HKEY_CLASSES_ROOT, "DirectSound\\CLSID", clsid, &size) == ERROR_SUCCESS;
  RegDeleteKeyA(HKEY_CLASSES_ROOT, "DirectSound\\CLSID");
  RegDeleteKeyA(HKEY_CLASSES_ROOT, "DirectSound");
  CLSID probe{};
  EXPECT_NE(CLSIDFromProgID(L"DirectSound", &probe), S_OK);
  view_test::MemoryAudio audio = Song(1);
  view_test::Publish(audio);
  InitSoundDevice(window_);
  EXPECT_NE(sessionState.soundDevice, nullptr);
  PreparePreview(false, window_);
  EXPECT_NE(sessionState.previewBuffer, nullptr);
  if (had)
    RegSetValueA(HKEY_CLASSES_ROOT, "DirectSound\\CLSID", REG_SZ, clsid,
                 static_cast<DWORD>(std::strlen(clsid)));
}

TEST_F(PreviewTest, PlaysTheSelectionAndRestoresIt) {
  Load(Song(4));  // 16 cursor steps of a quarter second, 27 pixels each
  Select(300, 200);  // dragged right to left
  PreparePreview(true, window_);
  EXPECT_TRUE(IsPreviewPlaying());
  // The selection is parked while the caret serves as the play cursor.
  EXPECT_FALSE(TheStrip().Enabled());
  EXPECT_EQ(TheStrip().AnchorX(), 0);
  EXPECT_EQ(CaretX(), 0);
  EXPECT_NE(sessionState.playTimerId, 0u);
  BeginSelection(400);  // ignored while playing
  EXPECT_EQ(TheStrip().AnchorX(), 0);
  // The commands that read the selection see the user's, not the parked one.
  EXPECT_EQ(UserSelection().anchorX, 300);
  EXPECT_EQ(UserSelection().endX, 200);

  std::vector<int> seen = PlayThrough();
  ASSERT_GE(seen.size(), 3u);
  // From the left end (the caret, here) to the right end, in steps of at most 28 pixels.
  int least = *std::min_element(seen.begin() + 1, seen.end());
  int most = *std::max_element(seen.begin(), seen.end());
  EXPECT_GE(least, 200 - 28);
  EXPECT_GE(most, 300);
  EXPECT_LT(most, 300 + 28);
  EXPECT_FALSE(IsPreviewPlaying());
  EXPECT_TRUE(TheStrip().Enabled());
  EXPECT_EQ(TheStrip().AnchorX(), 300);
  EXPECT_EQ(CaretX(), 200);
  GUITHREADINFO info = view_test::CaretInfo();
  EXPECT_EQ(info.rcCaret.left, 200);
}

TEST_F(PreviewTest, PlayDuringPlayStopsAndTheNextTickRestores) {
  Load(Song(4));
  Select(100, 450);
  PreparePreview(true, window_);
  PreparePreview(true, window_);  // a second start while playing does nothing
  EXPECT_TRUE(view_test::PumpUntil([] { return CaretX() >= 100; }, 5000));
  EXPECT_TRUE(IsPreviewPlaying());
  StopPreview();
  EXPECT_FALSE(IsPreviewPlaying());
  // Stopped, and the selection not yet put back: still the user's selection.
  EXPECT_EQ(UserSelection().anchorX, 100);
  EXPECT_EQ(UserSelection().endX, 450);
  EXPECT_TRUE(view_test::PumpUntil([] { return sessionState.playTimerId == 0; }, 5000));
  EXPECT_EQ(UserSelection().anchorX, 100);
  EXPECT_EQ(UserSelection().endX, 450);
  EXPECT_EQ(TheStrip().AnchorX(), 100);
  EXPECT_EQ(CaretX(), 450);
  EXPECT_TRUE(TheStrip().Enabled());
}

TEST_F(PreviewTest, StartingAgainBeforeTheRestoreKeepsTheSelection) {
  Load(Song(4));
  Select(150, 250);
  PreparePreview(true, window_);
  StopPreview();
  PreparePreview(true, window_);  // before any tick has restored the first preview
  PlayThrough();
  EXPECT_EQ(TheStrip().AnchorX(), 150);
  EXPECT_EQ(CaretX(), 250);
}

TEST_F(PreviewTest, ZeroWidthSelectionPlaysToTheEndOfTheSong) {
  Load(Song(3));  // 12 steps of 36 pixels
  BeginSelection(420);
  PreparePreview(true, window_);
  std::vector<int> seen = PlayThrough();
  ASSERT_FALSE(seen.empty());
  EXPECT_GE(*std::max_element(seen.begin(), seen.end()), 500 - 37);
  EXPECT_EQ(TheStrip().AnchorX(), 420);
  EXPECT_EQ(CaretX(), 420);
}

TEST_F(PreviewTest, NoSelectionStopsAtOnce) {
  Load(Song(4));
  SetCaretX(200);
  PreparePreview(true, window_);
  std::vector<int> seen = PlayThrough(3000);
  EXPECT_LE(*std::max_element(seen.begin(), seen.end()), 200 + 28);
  EXPECT_EQ(TheStrip().AnchorX(), -1);
  EXPECT_EQ(CaretX(), 200);
}

TEST_F(PreviewTest, WithoutADevicePlayTouchesNothing) {
  view_test::MemoryAudio audio = Song(1);
  view_test::Publish(audio);
  ASSERT_EQ(sessionState.soundDevice, nullptr);
  Select(100, 200);
  PreparePreview(false, window_);
  PreparePreview(true, window_);
  EXPECT_EQ(sessionState.previewBuffer, nullptr);
  EXPECT_EQ(sessionState.playTimerId, 0u);
  EXPECT_FALSE(IsPreviewPlaying());
  StopPreview();
  EXPECT_EQ(TheStrip().AnchorX(), 100);
  EXPECT_EQ(CaretX(), 200);
  EXPECT_TRUE(TheStrip().Enabled());
}

TEST_F(PreviewTest, FailedBufferIsReportedAndRetriedOnTheNextPlay) {
  view_test::MemoryAudio audio = Song(1);
  std::vector<uint8_t> good = audio.format;
  audio.format[2] = 0;  // no channels
  audio.format[12] = 0;  // block align 0
  view_test::Publish(audio);
  InitSoundDevice(window_);
  ASSERT_NE(sessionState.soundDevice, nullptr);

  std::atomic<bool> stop{false};
  std::string text, caption;
  std::thread closer([&] {
    while (!stop) {
      HWND box = FindWindowA("#32770", "ERROR");
      DWORD pid = 0;
      if (box) GetWindowThreadProcessId(box, &pid);
      if (box && pid == GetCurrentProcessId()) {
        char buffer[512] = {};
        GetDlgItemTextA(box, 0xFFFF, buffer, sizeof buffer);
        text = buffer;
        caption = "ERROR";
        PostMessageA(box, WM_COMMAND, IDOK, 0);
        return;
      }
      Sleep(20);
    }
  });
  PreparePreview(false, window_);
  stop = true;
  closer.join();
  EXPECT_EQ(sessionState.previewBuffer, nullptr);
  EXPECT_EQ(caption, "ERROR");
  EXPECT_EQ(text.rfind("Couldnt' Create Sound Buffer =  returned ", 0), 0u) << text;

  audio.format = good;
  view_test::Publish(audio);
  Select(100, 120);
  PreparePreview(true, window_);
  EXPECT_NE(sessionState.previewBuffer, nullptr);
  EXPECT_TRUE(IsPreviewPlaying());
  PlayThrough();
}

TEST_F(PreviewTest, ReleaseDuringPlayEndsThePreview) {
  Load(Song(4));
  Select(100, 400);
  PreparePreview(true, window_);
  ASSERT_TRUE(IsPreviewPlaying());
  ReleasePreview();
  EXPECT_EQ(sessionState.previewBuffer, nullptr);
  EXPECT_EQ(sessionState.soundDevice, nullptr);
  EXPECT_EQ(sessionState.playTimerId, 0u);
  EXPECT_TRUE(TheStrip().Enabled());
  view_test::Pump(30);  // no tick may arrive on the released buffer
  EXPECT_FALSE(IsPreviewPlaying());
}

// The real device with a slow buffer creation that is counted, so that two threads asking for
// the buffer at once meet inside it. The test owns it; it holds no reference of its own.
class SlowDevice : public IDirectSound {
 public:
  explicit SlowDevice(IDirectSound* real) : real_(real) {}
  STDMETHOD(QueryInterface)(REFIID iid, void** out) override { return real_->QueryInterface(iid, out); }
  STDMETHOD_(ULONG, AddRef)() override { return 1; }
  STDMETHOD_(ULONG, Release)() override { return 1; }
  STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC description, LPLPDIRECTSOUNDBUFFER buffer,
                               IUnknown* outer) override {
    ++created;
    Sleep(150);
    return real_->CreateSoundBuffer(description, buffer, outer);
  }
  STDMETHOD(GetCaps)(LPDSCAPS caps) override { return real_->GetCaps(caps); }
  STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER original, LPLPDIRECTSOUNDBUFFER copy) override {
    return real_->DuplicateSoundBuffer(original, copy);
  }
  STDMETHOD(SetCooperativeLevel)(HWND window, DWORD level) override {
    return real_->SetCooperativeLevel(window, level);
  }
  STDMETHOD(Compact)() override { return real_->Compact(); }
  STDMETHOD(GetSpeakerConfig)(LPDWORD config) override { return real_->GetSpeakerConfig(config); }
  STDMETHOD(SetSpeakerConfig)(DWORD config) override { return real_->SetSpeakerConfig(config); }
  STDMETHOD(Initialize)(LPCGUID device) override { return real_->Initialize(device); }

  std::atomic<int> created{0};

 private:
  IDirectSound* real_;
};

TEST_F(PreviewTest, PlayWhileTheImportMakesTheBufferMakesNoSecondOne) {
  view_test::MemoryAudio audio = Song(2);
  view_test::Publish(audio);
  InitSoundDevice(window_);
  ASSERT_NE(sessionState.soundDevice, nullptr);
  IDirectSound* real = sessionState.soundDevice;
  SlowDevice device(real);
  sessionState.soundDevice = &device;
  Select(100, 200);

  // The import's last step on its thread; Play on this one while the buffer is being made.
  std::thread import([this] { PreparePreview(false, window_); });
  ASSERT_TRUE(view_test::PumpUntil([&] { return device.created > 0; }, 5000));
  PreparePreview(true, window_);
  import.join();
  EXPECT_EQ(device.created, 1);
  EXPECT_NE(sessionState.previewBuffer, nullptr);
  PlayThrough();
  EXPECT_EQ(TheStrip().AnchorX(), 100);
  EXPECT_EQ(CaretX(), 200);
  sessionState.soundDevice = real;  // released with the buffer by TearDown
}

}  // namespace
