#include "profile/profile_dialog.h"

#include <shellapi.h>

#include <cstdio>
#include <cstring>

#include "profile/binary_resource.h"
#include "profile/hyperlink.h"
#include "profile/phone_catalog.h"
#include "profile/profile_dialog_ids.h"
#include "profile/profile_store.h"
#include "resources/resource_ids.h"
#include "session/session_state.h"
#include "session/user_profile.h"

#ifndef QV_SERVICE_HOST
#error QV_SERVICE_HOST, the host name of the service, must be defined by the build
#endif

const char SupportedPhonesAddress[] = "http://" QV_SERVICE_HOST "/index.php?page=supported_phones";

namespace {

template <size_t N>
void CopyText(char (&field)[N], const char* text) {
  const size_t length = strnlen(text, N - 1);
  std::memcpy(field, text, length);
  field[length] = '\0';
}

bool IsValidPhoneNumber(const char* text) {
  size_t digits = 0;
  for (const char* c = text; *c; ++c, ++digits)
    if (*c < '0' || *c > '9') return false;
  return digits == 10;
}

void FillLists(HWND dialog) {
  PhoneCatalog& catalog = ThePhoneCatalog();
  HWND carriers = GetDlgItem(dialog, IDC_PROFILE_CARRIERS);
  HWND phones = GetDlgItem(dialog, IDC_PROFILE_PHONES);
  // Inserting at the end keeps catalogue order even in the sorted phone list, so a list
  // position is always a catalogue position.
  for (int i = 0; i < catalog.CarrierCount(); ++i)
    SendMessageA(carriers, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(catalog.CarrierAt(i).name));
  for (int i = 0; i < catalog.PhoneCount(); ++i)
    SendMessageA(phones, CB_INSERTSTRING, static_cast<WPARAM>(-1),
                 reinterpret_cast<LPARAM>(catalog.PhoneAt(i).name));
}

void OnInitDialog(HWND dialog) {
  SetActiveWindow(dialog);
  ConvertStaticToHyperlink(dialog, IDC_PROFILE_LINK);
  SetFocus(dialog);

  // A fresh catalogue on every opening; a missing or broken one leaves the lists empty.
  const char* bytes = nullptr;
  size_t size = 0;
  PhoneCatalog& catalog = ThePhoneCatalog();
  if (LoadBinaryResource(CatalogResourceId, &bytes, &size))
    catalog.Load(bytes, size);
  else
    catalog.Load("", 0);
  CopyText(userProfile.versionText, catalog.VersionText().c_str());

  SetDlgItemTextA(dialog, IDC_PROFILE_NUMBER, "");
  EnableWindow(GetDlgItem(dialog, IDC_PROFILE_CARRIERS), TRUE);
  EnableWindow(GetDlgItem(dialog, IDC_PROFILE_PHONES), TRUE);
  FillLists(dialog);

  if (ProfileKeyExists()) {
    SetDlgItemTextA(dialog, IDC_PROFILE_NUMBER, userProfile.phoneNumber);
    SetDlgItemTextA(dialog, IDC_PROFILE_NUMBER_LABEL, "Phone Number");
    SetDlgItemTextA(dialog, IDC_PROFILE_CARRIER_LABEL, "Cellular Carrier");
    SetDlgItemTextA(dialog, IDC_PROFILE_PHONE_LABEL, "Phone Model");
    SetDlgItemTextA(dialog, IDC_PROFILE_LINK, "");
    SetDlgItemTextA(dialog, IDC_PROFILE_SAMPLE_NUMBER, "");
    // An empty link would still open the page and show the hand over blank space.
    ShowWindow(GetDlgItem(dialog, IDC_PROFILE_LINK), SW_HIDE);
    SendDlgItemMessageA(dialog, IDC_PROFILE_CARRIERS, CB_SETCURSEL,
                        static_cast<WPARAM>(userProfile.carrierItemNumber), 0);
    SendDlgItemMessageA(dialog, IDC_PROFILE_PHONES, CB_SETCURSEL,
                        static_cast<WPARAM>(userProfile.phoneItemNumber), 0);
    EnableWindow(GetDlgItem(dialog, IDC_PROFILE_NUMBER), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_PROFILE_CARRIERS), TRUE);
    EnableWindow(GetDlgItem(dialog, IDC_PROFILE_PHONES), TRUE);
    char title[128];
    std::snprintf(title, sizeof title, "Quavella Version %s: User Profile",
                  userProfile.versionText);
    SetWindowTextA(dialog, title);
  } else {
    SendDlgItemMessageA(dialog, IDC_PROFILE_CARRIERS, CB_SETCURSEL, 0, 0);
    SendDlgItemMessageA(dialog, IDC_PROFILE_PHONES, CB_SETCURSEL, 0, 0);
  }
  SetFocus(GetDlgItem(dialog, IDC_PROFILE_NUMBER));
}

void OnOk(HWND dialog) {
  // Only an accepted number replaces the stored one, so that a refused text is never saved
  // by a later Cancel.
  char number[UserProfile::PhoneNumberCapacity] = {};
  GetDlgItemTextA(dialog, IDC_PROFILE_NUMBER, number, sizeof number);
  if (!IsValidPhoneNumber(number)) {
    SetWindowTextA(GetDlgItem(dialog, IDC_STATIC),
                   "Please enter a 10 digit phone number:310936XXXX");
    return;
  }
  CopyText(userProfile.phoneNumber, number);

  const PhoneCatalog& catalog = ThePhoneCatalog();
  char name[sizeof CarrierEntry::name] = {};
  GetDlgItemTextA(dialog, IDC_PROFILE_CARRIERS, name, sizeof name);
  const int carrier = catalog.FindCarrier(name);
  if (carrier >= 0) {
    userProfile.carrierId = catalog.CarrierAt(carrier).id;
    userProfile.carrierItemNumber = carrier;
  }

  GetDlgItemTextA(dialog, IDC_PROFILE_PHONES, name, sizeof name);
  const int phone = catalog.FindPhone(name);
  if (phone >= 0) {
    const PhoneEntry& entry = catalog.PhoneAt(phone);
    RingtoneFormatFromWord(entry.formatWord, &sessionState.outputFormat);
    WallpaperFormatFromWord(entry.wallpaperFormatWord, &userProfile.wallpaperType);
    userProfile.phoneId = entry.id;
    userProfile.wallpaperWidth = entry.width;
    userProfile.wallpaperHeight = entry.height;
    userProfile.wallpaperSupport = entry.wallpaperSupported;
    userProfile.phoneItemNumber = phone;
  }
  EndDialog(dialog, IDOK);
}

void OnCancel(HWND dialog) {
  const bool firstRun = !ProfileKeyExists();
  EndDialog(dialog, IDCANCEL);
  if (firstRun) {
    // No profile and none wanted: the program ends (the destroy handler posts the quit).
    HWND owner = GetWindow(dialog, GW_OWNER);
    if (!owner) owner = sessionState.mainWindow;
    if (owner) SendMessageA(owner, WM_DESTROY, 0, 0);
  }
}

}  // namespace

INT_PTR CALLBACK ProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog(dialog);
      return FALSE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDC_PROFILE_LINK:
          if (HIWORD(wParam) != STN_CLICKED) return FALSE;
          ShellExecuteA(dialog, "open", SupportedPhonesAddress, nullptr, nullptr, SW_SHOWNORMAL);
          return TRUE;
        case IDOK:
          OnOk(dialog);
          return TRUE;
        case IDCANCEL:
          OnCancel(dialog);
          return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

INT_PTR RunProfileDialog(HWND owner) {
  return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROFILE), owner,
                         ProfileDialogProc, 0);
}
