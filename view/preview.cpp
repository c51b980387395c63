#include "view/preview.h"

#include <mmsystem.h>
#include <dsound.h>
#include <objbase.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <string>

#include "session/edit_options.h"
#include "session/handles.h"
#include "session/session_state.h"
#include "session/working_audio.h"
#include "view/dsound_error_text.h"
#include "view/preview_cursor.h"
#include "view/selection_frames.h"
#include "view/waveform_view.h"

static_assert(sizeof(DSBUFFERDESC) == 36, "buffer description record of 36 bytes");

namespace {

// {279AFA83-4981-11CE-A521-0020AF0BE560}
const IID IidDirectSound = {0x279AFA83, 0x4981, 0x11CE,
                            {0xA5, 0x21, 0x00, 0x20, 0xAF, 0x0B, 0xE5, 0x60}};
// DirectSound's class id, for systems that register no "DirectSound" ProgID.
const CLSID ClsidDirectSound = {0x47D4D946, 0x62E8, 0x11CF,
                                {0x93, 0xBC, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IidClassFactory = {0x00000001, 0x0000, 0x0000,
                             {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID IidUnknown = {0x00000000, 0x0000, 0x0000,
                        {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr UINT_PTR PlayTimerId = 1;
constexpr DWORD PreviewBufferFlags = 0x80E0;  // global focus, volume, pan, frequency control
constexpr DWORD PriorityLevel = 2;

const char InitializeFailed[] = "Couldnt'Initialize dsound= %s";
const char CreateBufferFailed[] = "Couldnt' Create Sound Buffer = %s";

// Whether the device in sessionState.soundDevice was initialised (it may be asked twice).
bool deviceInitialized = false;

// The buffer of a preview that plays exactly a range of the song: a selection held in frames,
// or any selection while "Play in a loop" is on. It holds only the range's bytes, so it starts
// and ends (or loops) exactly on them. Window thread only.
IDirectSoundBuffer* clipBuffer = nullptr;
uint32_t clipBufferStartFrame = 0;  // the song's frame its first byte plays
uint32_t clipBufferBlock = 0;       // its bytes a frame

// Makes the edited clip that a preview plays while fades or "louder" are on.
EditedPreviewMaker editedPreviewMaker = nullptr;

template <typename T>
void ReleaseCom(T*& object) {
  if (object) object->Release();
  object = nullptr;
}

void ShowSoundError(HWND window, const char* format, HRESULT code) {
  std::string text = FormatErrorMessage(format, DirectSoundErrorText("", code));
  MessageBoxA(window, text.c_str(), "ERROR", MB_OK);
}

// The device through COM: ProgID, class factory, instance, IDirectSound.
IDirectSound* CreateSoundDevice() {
  CoInitialize(nullptr);
  CLSID classId{};
  if (CLSIDFromProgID(L"DirectSound", &classId) != S_OK) classId = ClsidDirectSound;
  ComRef<IClassFactory> factory;
  if (FAILED(CoGetClassObject(classId, CLSCTX_INPROC_SERVER, nullptr, IidClassFactory,
                              factory.put_void())) ||
      !factory)
    return nullptr;
  ComRef<IUnknown> instance;
  if (FAILED(factory->CreateInstance(nullptr, IidUnknown, instance.put_void())) || !instance)
    return nullptr;
  ComRef<IDirectSound> device;
  if (FAILED(instance->QueryInterface(IidDirectSound, device.put_void()))) return nullptr;
  return device.release();
}

bool BufferPlaying(IDirectSoundBuffer* buffer) {
  DWORD status = 0;
  if (!buffer || FAILED(buffer->GetStatus(&status))) return false;
  return (status & DSBSTATUS_PLAYING) != 0;
}

// The working audio's PCM record (no extra bytes), or with `bits16` the one of its samples as
// 16 bits.
WAVEFORMATEX SongFormat(bool bits16 = false) {
  WAVEFORMATEX format{};
  std::memcpy(&format, workingAudio.formatBlock, 16);
  format.cbSize = 0;
  if (bits16) {
    format.wBitsPerSample = 16;
    format.nBlockAlign = static_cast<WORD>(2 * format.nChannels);
    format.nAvgBytesPerSec = format.nBlockAlign * format.nSamplesPerSec;
  }
  return format;
}

// A buffer of `format` holding `bytes` from `samples`; nullptr (with the code in `failure`)
// when the device refuses it.
IDirectSoundBuffer* MakeFilledBuffer(const uint8_t* samples, uint32_t bytes, HRESULT* failure,
                                     WAVEFORMATEX format = SongFormat()) {
  DSBUFFERDESC description{};
  description.dwSize = sizeof description;
  description.dwFlags = PreviewBufferFlags;
  description.dwBufferBytes = bytes;
  description.dwReserved = 0;
  description.lpwfxFormat = &format;
  description.guid3DAlgorithm = GUID_NULL;

  ComRef<IDirectSoundBuffer> buffer;
  HRESULT result = sessionState.soundDevice->CreateSoundBuffer(&description, buffer.put(), nullptr);
  if (result != DS_OK || !buffer) {
    *failure = result;
    return nullptr;
  }
  void* first = nullptr;
  void* second = nullptr;
  DWORD firstBytes = 0, secondBytes = 0;
  if (SUCCEEDED(buffer->Lock(0, bytes, &first, &firstBytes, &second, &secondBytes, 0))) {
    if (first) std::memcpy(first, samples, std::min<DWORD>(firstBytes, bytes));
    buffer->Unlock(first, firstBytes, second, secondBytes);
  }
  return buffer.release();
}

// The import thread (when its import ends) and the window thread (Play, Alt+/ in that moment)
// may both find the buffer absent: it is made once, under this lock.
std::mutex bufferMutex;

// Creates the buffer of the whole data chunk and copies the samples in. On failure the code
// comes back in `failure` (S_OK when there was nothing to make it from).
bool CreatePreviewBuffer(HRESULT* failure) {
  SessionState& s = sessionState;
  const WorkingAudio& audio = workingAudio;
  *failure = S_OK;
  if (!s.fileLoaded || !audio.formatBlock || !audio.samples) return false;

  IDirectSoundBuffer* buffer = MakeFilledBuffer(audio.samples, audio.dataSize, failure);
  if (!buffer) return false;
  s.previewBuffer = buffer;
  return true;
}

struct ByteRange {
  uint32_t start = 0, end = 0;
  bool Empty() const { return end <= start; }
  uint32_t Length() const { return end - start; }
};

void ReleaseClipBuffer() {
  if (clipBuffer) clipBuffer->Stop();
  ReleaseCom(clipBuffer);
}

// Puts the parked selection back and ends the preview's timer.
void RestoreSelection(HWND window) {
  SessionState& s = sessionState;
  ReleaseClipBuffer();
  TheStrip().Unpark();
  SetCaretX(CaretX());
  RedrawBand(window);
  if (s.playTimerId) KillTimer(window, s.playTimerId);
  s.playTimerId = 0;
}

// The bytes a preview plays exactly: the held frames, or with "Play in a loop" the dragged
// selection's columns as whole frames; an empty range for the preview of a dragged selection
// as it always was (from its left column until the cursor reaches its right one).
ByteRange ExactPreviewRange() {
  const WorkingAudio& audio = workingAudio;
  const uint32_t block = audio.BlockAlign();
  FrameRange frames;
  if (SelectionFrames(&frames)) return {frames.start * block, frames.end * block};
  const int anchor = TheStrip().AnchorX(), caret = CaretX();
  if (!editOptions.loop || anchor == -1 || anchor == caret) return {};
  return {AlignToFrame(StripByteOffset(std::min(anchor, caret), audio.dataSize), block),
          AlignToFrame(StripByteOffset(std::max(anchor, caret), audio.dataSize), block)};
}

void StartPreview(HWND window) {
  SessionState& s = sessionState;
  // A preview that was stopped but whose restore has not run yet: finish it first, or the
  // parked selection would be parked again and lost.
  if (s.playTimerId) RestoreSelection(window);
  const ByteRange exact = ExactPreviewRange();
  // With fades or "louder" on: the clip as the conversion will make it.
  EditedPreview edited;
  const bool playEdited =
      editedPreviewMaker && UserSelection().anchorX != -1 &&
      editedPreviewMaker(SelectedClipBytes(), &edited) && edited.sampleCount > 0;

  StripSelection& strip = TheStrip();
  strip.Park();
  int startX = PreviewStartX(strip.AnchorX(), strip.CaretX());

  if (strip.Enabled()) {
    if (strip.AnchorX() != -1) {
      strip.SetAnchorX(-1);
      HideCaret(window);
      if (WindowDc dc{window}) PaintWaveStrip(window, dc.get());  // removes the band
      ShowCaret(window);
    }
    strip.SetAnchorX(0);
    SetCaretX(0);
  }
  strip.Enable(false);

  const WorkingAudio& audio = workingAudio;
  if (playEdited) {
    // The edited clip, 16-bit at the song's rate, played once or looped.
    HRESULT failure = S_OK;
    const WAVEFORMATEX format = SongFormat(true);
    clipBuffer = MakeFilledBuffer(reinterpret_cast<const uint8_t*>(edited.samples),
                                  edited.sampleCount * 2, &failure, format);
    clipBufferStartFrame = edited.startFrame;
    clipBufferBlock = format.nBlockAlign;
    if (clipBuffer) clipBuffer->Play(0, 0, editOptions.loop ? DSBPLAY_LOOPING : 0);
  } else if (!exact.Empty()) {
    // Exactly the range: a buffer of its bytes, played once or looped.
    HRESULT failure = S_OK;
    clipBuffer = MakeFilledBuffer(audio.samples + exact.start, exact.Length(), &failure);
    clipBufferBlock = audio.BlockAlign();
    clipBufferStartFrame = clipBufferBlock ? exact.start / clipBufferBlock : 0;
    if (clipBuffer) clipBuffer->Play(0, 0, editOptions.loop ? DSBPLAY_LOOPING : 0);
  } else {
    const uint32_t position =
        PreviewStartByte(startX, ShownStrip(), audio.dataSize, audio.BlockAlign());
    s.previewBuffer->SetCurrentPosition(position);
    s.previewBuffer->Play(0, 0, 0);
  }
  s.playTimerId = SetTimer(window, PlayTimerId, 1, PreviewTimerTick);
}


}  // namespace

void InitSoundDevice(HWND window) {
  SessionState& s = sessionState;
  if (!s.soundDevice) {
    s.soundDevice = CreateSoundDevice();
    deviceInitialized = false;
    if (!s.soundDevice) {
      MessageBeep(0);
      return;
    }
  }
  if (!s.previewBuffer) {
    if (!deviceInitialized) {
      HRESULT result = s.soundDevice->Initialize(nullptr);
      if (result == DS_OK)
        deviceInitialized = true;
      else
        ShowSoundError(window, InitializeFailed, result);
    }
    s.soundDevice->SetCooperativeLevel(window, PriorityLevel);
  }
}

void PreparePreview(bool play, HWND window) {
  SessionState& s = sessionState;
  if (!s.soundDevice) {
    // No device could be made: nothing to create a buffer on.
    if (play) MessageBeep(0);
    return;
  }
  HRESULT failure = S_OK;
  bool ready;
  {
    std::lock_guard<std::mutex> lock(bufferMutex);
    ready = s.previewBuffer || CreatePreviewBuffer(&failure);
  }
  if (!ready) {
    // Shown without the lock: the box, owned by the window, waits for the window's thread.
    if (failure != S_OK) ShowSoundError(window, CreateBufferFailed, failure);
    return;
  }
  bool playing = BufferPlaying(s.previewBuffer);
  if (!play) {
    s.previewBuffer->Stop();
    return;
  }
  if (playing) return;
  StartPreview(window);
}

void CALLBACK PreviewTimerTick(HWND window, UINT, UINT_PTR, DWORD) {
  SessionState& s = sessionState;
  if (!s.playTimerId) return;  // a late tick after the preview ended
  if (clipBuffer) {
    // The range's own buffer ends (or loops) by itself: the cursor only follows it.
    if (!BufferPlaying(clipBuffer)) {
      RestoreSelection(window);
      InvalidateRect(window, nullptr, FALSE);
      return;
    }
    DWORD playCursor = 0, writeCursor = 0;
    clipBuffer->GetCurrentPosition(&playCursor, &writeCursor);
    const uint32_t played = clipBufferBlock ? playCursor / clipBufferBlock : 0;
    SetCaretX(StripXOfFrame(clipBufferStartFrame + played));
    return;
  }
  bool playing = BufferPlaying(s.previewBuffer);
  int cursorX = WaveArea::Left;
  if (playing) {
    DWORD playCursor = 0, writeCursor = 0;
    s.previewBuffer->GetCurrentPosition(&playCursor, &writeCursor);
    const WorkingAudio& audio = workingAudio;
    cursorX = ShownPreviewCursorX(playCursor, ShownStrip(), audio.dataSize, audio.SampleRate(),
                                  audio.BlockAlign());
  }
  const UserSelectionEnds parked = UserSelection();
  PreviewTick tick = DecidePreviewTick(playing, cursorX, parked.endX, parked.anchorX);
  if (tick.restore) RestoreSelection(window);
  if (tick.stop) {
    s.previewBuffer->Stop();
    InvalidateRect(window, nullptr, FALSE);
  }
  if (!tick.restore) SetCaretX(tick.caretX);
}

void SetEditedPreviewMaker(EditedPreviewMaker maker) { editedPreviewMaker = maker; }

void ClearParkedSelection() { TheStrip().ClearParked(); }

bool IsPreviewPlaying() {
  return BufferPlaying(sessionState.previewBuffer) || BufferPlaying(clipBuffer);
}

void StopPreview() {
  if (sessionState.previewBuffer) sessionState.previewBuffer->Stop();
  if (clipBuffer) clipBuffer->Stop();
}

void ReleasePreview() {
  SessionState& s = sessionState;
  ReleaseClipBuffer();
  if (s.playTimerId) {
    HWND window = s.mainWindow;
    if (s.previewBuffer) s.previewBuffer->Stop();
    TheStrip().Unpark();
    SetCaretX(CaretX());
    if (window) KillTimer(window, s.playTimerId);
    s.playTimerId = 0;
  }
  {
    std::lock_guard<std::mutex> lock(bufferMutex);
    ReleaseCom(s.previewBuffer);
  }
  ReleaseCom(s.soundDevice);
  deviceInitialized = false;
}
