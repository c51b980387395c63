#include "app/set_times_dialog.h"

#include <string>
#include <vector>

#include "app/selection_keys.h"
#include "session/session_state.h"
#include "view/selection_frames.h"
#include "view/waveform_view.h"

namespace {

const char Caption[] = "Set the start and end";

// A dialog template built in memory: DLGTEMPLATE, then each DLGITEMTEMPLATE on a DWORD
// boundary, strings as UTF-16.
class TemplateBuilder {
 public:
  TemplateBuilder(const char* caption, short width, short height) {
    Align(4);
    DLGTEMPLATE head{};
    head.style = DS_MODALFRAME | DS_SETFONT | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    head.cx = width;
    head.cy = height;
    Add(&head, sizeof head);
    countAt_ = offsetof(DLGTEMPLATE, cdit);
    Word(0);  // no menu
    Word(0);  // the dialog class
    Text(caption);
    Word(8);
    Text("MS Shell Dlg");
  }
  void Item(const char* className, const char* text, int id, DWORD style, short x, short y,
            short cx, short cy) {
    Align(4);
    DLGITEMTEMPLATE item{};
    item.style = style | WS_CHILD | WS_VISIBLE;
    item.x = x;
    item.y = y;
    item.cx = cx;
    item.cy = cy;
    item.id = static_cast<WORD>(id);
    Add(&item, sizeof item);
    Text(className);
    Text(text);
    Word(0);  // no creation data
    WORD* count = reinterpret_cast<WORD*>(bytes_.data() + countAt_);
    ++*count;
  }
  const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

 private:
  void Add(const void* data, size_t size) {
    const auto* p = static_cast<const uint8_t*>(data);
    bytes_.insert(bytes_.end(), p, p + size);
  }
  void Word(WORD w) { Add(&w, sizeof w); }
  void Text(const char* text) {
    for (const char* c = text; *c; ++c) Word(static_cast<unsigned char>(*c));
    Word(0);
  }
  void Align(size_t to) {
    while (bytes_.size() % to) bytes_.push_back(0);
  }
  std::vector<uint8_t> bytes_;
  size_t countAt_ = 0;
};

// The whole text, however long: whatever follows the time is judged with it.
std::string ItemText(HWND dialog, int id) {
  std::string text(static_cast<size_t>(GetWindowTextLengthA(GetDlgItem(dialog, id))) + 1, '\0');
  text.resize(GetDlgItemTextA(dialog, id, text.data(), static_cast<int>(text.size())));
  return text;
}

// The length line, kept up to date as the times are typed.
void ShowLength(HWND dialog) {
  const uint32_t rate = SongSampleRate();
  uint64_t start = 0, end = 0;
  std::string line = "Length: ";
  if (ParseClipTime(ItemText(dialog, IdStartEdit), rate, &start) &&
      ParseClipTime(ItemText(dialog, IdEndEdit), rate, &end) && end > start)
    line += ClipTimeText(end - start, rate);
  else
    line += "-";
  SetDlgItemTextA(dialog, IdLengthText, line.c_str());
}

INT_PTR CALLBACK SetTimesProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      const auto* range = reinterpret_cast<const FrameRange*>(lParam);
      const uint32_t rate = SongSampleRate();
      SetDlgItemTextA(dialog, IdStartEdit, ClipTimeText(range->start, rate).c_str());
      SetDlgItemTextA(dialog, IdEndEdit, ClipTimeText(range->end, rate).c_str());
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      ShowLength(dialog);
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if ((id == IdStartEdit || id == IdEndEdit) && HIWORD(wParam) == EN_CHANGE) {
        ShowLength(dialog);
        SetDlgItemTextA(dialog, IdProblemText, "");  // said of the text before
        return TRUE;
      }
      if (id == IDOK) {
        auto* range = reinterpret_cast<FrameRange*>(GetWindowLongPtrA(dialog, DWLP_USER));
        const std::string problem =
            CheckTypedTimes(ItemText(dialog, IdStartEdit), ItemText(dialog, IdEndEdit),
                            SongSampleRate(), SongFrames(), range);
        if (!problem.empty()) {
          SetDlgItemTextA(dialog, IdProblemText, problem.c_str());
          MessageBeep(MB_ICONEXCLAMATION);
          return TRUE;
        }
        EndDialog(dialog, IDOK);
        return TRUE;
      }
      if (id == IDCANCEL) {
        EndDialog(dialog, IDCANCEL);
        return TRUE;
      }
      break;
    }
  }
  return FALSE;
}

}  // namespace

void RunSetTimesDialog(HWND window) {
  if (!sessionState.fileLoaded || !TheStrip().Enabled() || SongFrames() == 0) return;
  FrameRange range{0, SongFrames()};
  SelectedFrames(&range);

  TemplateBuilder dialog(Caption, 200, 100);
  dialog.Item("STATIC", "Start (m:ss.cc):", -1, SS_LEFT, 7, 9, 60, 9);
  dialog.Item("EDIT", "", IdStartEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 70, 7, 60, 12);
  dialog.Item("STATIC", "End (m:ss.cc):", -1, SS_LEFT, 7, 27, 60, 9);
  dialog.Item("EDIT", "", IdEndEdit, WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL, 70, 25, 60, 12);
  dialog.Item("STATIC", "Length: -", IdLengthText, SS_LEFT, 7, 45, 186, 9);
  dialog.Item("STATIC", "", IdProblemText, SS_LEFT, 7, 58, 186, 18);
  dialog.Item("BUTTON", "OK", IDOK, BS_DEFPUSHBUTTON | WS_TABSTOP, 89, 80, 50, 14);
  dialog.Item("BUTTON", "Cancel", IDCANCEL, BS_PUSHBUTTON | WS_TABSTOP, 143, 80, 50, 14);
  if (DialogBoxIndirectParamA(sessionState.instance, dialog.Get(), window, SetTimesProc,
                              reinterpret_cast<LPARAM>(&range)) == IDOK)
    HoldSelectionFrames(window, range);
}
