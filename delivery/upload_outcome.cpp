#include "delivery/upload_outcome.h"

int32_t FailureCodeFromError(uint32_t lastError) {
  if (lastError == 0) return PostFailedUnnamed;
  return static_cast<int32_t>(0x80070000u | (lastError & 0xFFFFu));
}

UploadOutcome JudgeUploadOutcome(int32_t postCode, int32_t httpStatus, const ReplySummary& reply) {
  if (postCode != 0 || httpStatus <= 0) return UploadOutcome::Failed;
  if (reply.sawError) return UploadOutcome::Refused;
  if (reply.sawSuccess || reply.openedUrl) return UploadOutcome::Delivered;
  if (httpStatus < 200 || httpStatus > 299) return UploadOutcome::Failed;
  return UploadOutcome::Delivered;
}

uint32_t UploadTimeoutFromText(const char* text) {
  if (text == nullptr || *text == '\0') return DefaultUploadTimeoutMs;
  uint32_t value = 0;
  for (const char* p = text; *p; ++p) {
    if (*p < '0' || *p > '9') return DefaultUploadTimeoutMs;
    value = value * 10 + static_cast<uint32_t>(*p - '0');
    if (value > 3600000) return DefaultUploadTimeoutMs;
  }
  return value == 0 ? DefaultUploadTimeoutMs : value;
}
