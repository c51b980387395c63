#include <cstddef>
#include <cstdint>
#include <vector>

#include "profile/phone_catalog.h"
#include "profile/xml_reader.h"

namespace {

// Touches every node so that a dangling parent or child pointer shows up.
size_t Walk(const XmlNode& node, const XmlNode* parent) {
  if (node.parent != parent) __builtin_trap();
  size_t sum = node.name.size() + node.value.size();
  for (const auto& a : node.attributes) {
    if (a->element != &node) __builtin_trap();
    sum += a->name.size() + a->value.size();
  }
  for (const auto& c : node.children) sum += Walk(*c, &node);
  return sum;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The first byte picks the options; the rest is the text, in an exactly sized buffer.
  const uint8_t flags = data[0];
  std::vector<char> text(data + 1, data + size);
  XmlParseOptions options;
  options.trimValues = flags & 1;
  options.decodeEntities = flags & 2;
  options.escapeCharacter = (flags & 4) ? 0 : (flags & 8) ? '&' : '\\';
  XmlNode root;
  const std::ptrdiff_t end = root.Load(text.data(), text.size(), options);
  if (end > static_cast<std::ptrdiff_t>(text.size())) __builtin_trap();
  if (end >= 0) Walk(root, nullptr);
  if (options.errorOccurred && options.errorPosition > text.size()) __builtin_trap();

  std::string decoded = XmlEntityTable::Default().Decode(std::string_view(text.data(), text.size()));
  if (decoded.size() > text.size()) __builtin_trap();

  PhoneCatalog catalog;
  catalog.Load(text.data(), text.size());
  for (int i = 0; i < catalog.PhoneCount(); ++i) {
    const PhoneEntry& p = catalog.PhoneAt(i);
    if (catalog.FindPhone(p.name) < 0 || p.formatWord[3] != '\0') __builtin_trap();
  }
  return 0;
}
