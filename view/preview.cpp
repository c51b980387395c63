#include "view/preview.h"

void InitSoundDevice(HWND) {}
void PreparePreview(bool, HWND) {}
bool IsPreviewPlaying() { return false; }
void StopPreview() {}
void ReleasePreview() {}
