#include "app/edit_options_store.h"

#include <windows.h>

#include "session/registry_key.h"

namespace {

const char OptionsKey[] = "Software\\Quavella";

uint32_t ReadDword(HKEY key, const char* name) {
  DWORD value = 0;
  return ReadRegistryDword(key, name, &value) ? value : 0;
}

bool WriteDword(HKEY key, const char* name, uint32_t value) {
  const DWORD data = value;
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                        sizeof data) == ERROR_SUCCESS;
}

}  // namespace

EditOptions LoadEditOptions() {
  EditOptions options;
  RegistryKey key;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, OptionsKey, 0, KEY_READ, key.put()) != ERROR_SUCCESS)
    return options;
  options.fadeInMs = NearestFadeMs(ReadDword(key.get(), "FadeInMs"));
  options.fadeOutMs = NearestFadeMs(ReadDword(key.get(), "FadeOutMs"));
  options.louder = StoredSwitch(ReadDword(key.get(), "Louder"));
  options.loop = StoredSwitch(ReadDword(key.get(), "Loop"));
  options.suggestOnOpen = StoredSwitch(ReadDword(key.get(), "SuggestOnOpen"));
  return options;
}

bool SaveEditOptions(const EditOptions& options) {
  RegistryKey key;
  if (RegCreateKeyExA(HKEY_CURRENT_USER, OptionsKey, 0, nullptr, 0, KEY_WRITE, nullptr, key.put(),
                      nullptr) != ERROR_SUCCESS)
    return false;
  bool ok = WriteDword(key.get(), "FadeInMs", options.fadeInMs);
  ok = WriteDword(key.get(), "FadeOutMs", options.fadeOutMs) && ok;
  ok = WriteDword(key.get(), "Louder", options.louder ? 1 : 0) && ok;
  ok = WriteDword(key.get(), "Loop", options.loop ? 1 : 0) && ok;
  ok = WriteDword(key.get(), "SuggestOnOpen", options.suggestOnOpen ? 1 : 0) && ok;
  return ok;
}
