#include "view/time_ruler.h"

uint32_t RulerLabelStep(uint32_t dataSize, uint32_t bytesPerSecond) {
  uint32_t seconds = bytesPerSecond ? dataSize / bytesPerSecond : 0;
  uint32_t step = seconds / RulerTicks;
  return step ? step : 1;
}

std::string RulerLabel(uint32_t seconds) {
  uint32_t minutes = seconds / 60;
  uint32_t rest = seconds % 60;
  std::string label(5, ' ');
  label[0] = static_cast<char>('0' + minutes % 10);
  label[2] = ':';
  label[3] = static_cast<char>('0' + rest / 10);
  label[4] = static_cast<char>('0' + rest % 10);
  return label;
}
