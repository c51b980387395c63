#include "tests/win/delivery_proxy_route.h"

#include <windows.h>

#include <cstdio>
#include <cstring>

namespace {

HKEY privateRoot = nullptr;
HKEY internetSettings = nullptr;
char privateName[64];

}  // namespace

bool RouteInternetThrough(int port) {
  if (!privateRoot) {
    std::snprintf(privateName, sizeof privateName, "Software\\QuavellaTests\\proxy-%lu",
                  GetCurrentProcessId());
    DWORD disposition;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, privateName, 0, nullptr, REG_OPTION_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &privateRoot, &disposition) != ERROR_SUCCESS)
      return false;
    if (RegCreateKeyExA(privateRoot, "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings",
                        0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &internetSettings, &disposition) != ERROR_SUCCESS)
      return false;
    if (RegOverridePredefKey(HKEY_CURRENT_USER, privateRoot) != ERROR_SUCCESS) return false;
  }
  DWORD enable = 1;
  char server[32];
  std::snprintf(server, sizeof server, "127.0.0.1:%d", port);
  return RegSetValueExA(internetSettings, "ProxyEnable", 0, REG_DWORD,
                        reinterpret_cast<const BYTE*>(&enable), sizeof enable) == ERROR_SUCCESS &&
         RegSetValueExA(internetSettings, "ProxyServer", 0, REG_SZ,
                        reinterpret_cast<const BYTE*>(server),
                        static_cast<DWORD>(std::strlen(server) + 1)) == ERROR_SUCCESS;
}

void EndInternetRouting() {
  if (!privateRoot) return;
  RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
  RegCloseKey(internetSettings);
  RegCloseKey(privateRoot);
  internetSettings = privateRoot = nullptr;
  RegDeleteTreeA(HKEY_CURRENT_USER, privateName);
  RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\QuavellaTests");  // only if now empty
}
