#include "service/qr_svg.h"

#include <qrencode.h>

#include <memory>
#include <string>

std::vector<bool> QrModules(std::string_view text, int& size) {
  size = 0;
  std::unique_ptr<QRcode, void (*)(QRcode*)> code(
      QRcode_encodeData(static_cast<int>(text.size()),
                        reinterpret_cast<const unsigned char*>(text.data()), 0, QR_ECLEVEL_M),
      QRcode_free);
  if (!code || code->width <= 0) return {};
  size = code->width;
  std::vector<bool> modules(static_cast<size_t>(size) * static_cast<size_t>(size));
  for (size_t i = 0; i < modules.size(); ++i) modules[i] = (code->data[i] & 1) != 0;
  return modules;
}

std::string QrSvg(const std::vector<bool>& modules, int size, int pixels) {
  if (modules.empty() || size <= 0 || modules.size() != static_cast<size_t>(size) * size) return {};
  const int quiet = 4;
  const int view = size + 2 * quiet;
  std::string path;
  for (int y = 0; y < size; ++y) {
    for (int x = 0; x < size;) {
      if (!modules[static_cast<size_t>(y * size + x)]) {
        ++x;
        continue;
      }
      int run = 1;
      while (x + run < size && modules[static_cast<size_t>(y * size + x + run)]) ++run;
      path += "M" + std::to_string(x + quiet) + " " + std::to_string(y + quiet) + "h" +
              std::to_string(run) + "v1h-" + std::to_string(run) + "z";
      x += run;
    }
  }
  const std::string px = std::to_string(pixels);
  const std::string box = std::to_string(view);
  return "<svg class=\"qr\" xmlns=\"http://www.w3.org/2000/svg\" width=\"" + px + "\" height=\"" +
         px + "\" viewBox=\"0 0 " + box + " " + box +
         "\" shape-rendering=\"crispEdges\" role=\"img\" aria-label=\"QR code of this page's "
         "address\"><rect width=\"" + box + "\" height=\"" + box +
         "\" fill=\"#fff\"/><path fill=\"#000\" d=\"" + path + "\"/></svg>";
}
