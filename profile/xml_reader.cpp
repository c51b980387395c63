#include "profile/xml_reader.h"

#include <cstring>
#include <utility>

namespace {

constexpr size_t NotFound = static_cast<size_t>(-1);

bool IsXmlSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

}  // namespace

bool XmlEntityTable::Add(char character, std::string_view reference) {
  XmlEntity entry;
  if (reference.empty() || reference.size() >= sizeof entry.reference) return false;
  entry.character = character;
  std::memcpy(entry.reference, reference.data(), reference.size());
  entry.length = static_cast<int>(reference.size());
  entries.push_back(entry);
  return true;
}

std::string XmlEntityTable::Decode(std::string_view text) const {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const XmlEntity* match = nullptr;
    const size_t left = text.size() - i;
    for (const XmlEntity& e : entries) {
      const size_t length = static_cast<size_t>(e.length);
      if (length > 0 && length <= left && text[i] == e.reference[0] &&
          std::memcmp(text.data() + i, e.reference, length) == 0) {
        match = &e;
        break;
      }
    }
    if (match) {
      out.push_back(match->character);
      i += static_cast<size_t>(match->length);
    } else {
      out.push_back(text[i]);
      ++i;
    }
  }
  return out;
}

const XmlEntityTable& XmlEntityTable::Default() {
  static const XmlEntityTable table = [] {
    XmlEntityTable t;
    t.Add('&', "&amp;");
    t.Add('"', "&quot;");
    t.Add('\'', "&apos;");
    t.Add('<', "&lt;");
    t.Add('>', "&gt;");
    return t;
  }();
  return table;
}

XmlParseOptions& DefaultXmlParseOptions() {
  static XmlParseOptions options;
  return options;
}

// One parse: the text, its end and the options, shared by the recursive element loads.
class XmlLoader {
 public:
  XmlLoader(const char* text, size_t end, XmlParseOptions& options)
      : text(text), end(end), options(options) {
    const int c = options.escapeCharacter;
    escape = (c > 0 && c < 256) ? c : -1;
  }

  std::ptrdiff_t LoadElement(XmlNode& node, size_t p, int depth);

 private:
  bool IsEscape(char c) const { return static_cast<unsigned char>(c) == escape; }

  size_t SkipSpace(size_t p) const {
    while (p < end && IsXmlSpace(text[p])) ++p;
    return p;
  }

  // First of `stops` at or after p; an escape character protects nothing here.
  size_t FindAny(size_t p, const char* stops) const {
    for (; p < end; ++p)
      if (std::strchr(stops, text[p]) && text[p] != '\0') return p;
    return NotFound;
  }

  // First `delimiter` at or after p that does not follow an unescaped escape character.
  size_t FindUnescaped(size_t p, char delimiter) const {
    while (p < end) {
      if (IsEscape(text[p])) {
        p += 2;  // the next character is kept whatever it is
        continue;
      }
      if (text[p] == delimiter) return p;
      ++p;
    }
    return NotFound;
  }

  // Element text or attribute value from [from, to): trimmed and unescaped per the options,
  // then entities decoded. Nothing left after trimming leaves the field as it was.
  void SetValue(std::string& field, size_t from, size_t to) const {
    if (options.trimValues) {
      while (from < to && IsXmlSpace(text[from])) ++from;
      while (to > from && IsXmlSpace(text[to - 1])) --to;
      if (from == to) return;
    }
    std::string value;
    value.reserve(to - from);
    for (size_t i = from; i < to; ++i) {
      if (IsEscape(text[i])) {
        if (i + 1 < to) value.push_back(text[++i]);
        continue;
      }
      value.push_back(text[i]);
    }
    if (options.decodeEntities && options.entityTable) value = options.entityTable->Decode(value);
    field = std::move(value);
  }

  void Record(XmlParseError code, size_t position, std::string message) const {
    if (options.errorOccurred) return;
    options.errorOccurred = true;
    options.errorPosition = position;
    options.errorCode = code;
    options.errorText = std::move(message);
  }

  const char* text;
  size_t end;
  XmlParseOptions& options;
  int escape = -1;
};

std::ptrdiff_t XmlLoader::LoadElement(XmlNode& node, size_t p, int depth) {
  node.Clear();

  p = FindUnescaped(p, '<');
  if (p == NotFound) return -1;
  if (p + 1 < end && text[p + 1] == '/') return static_cast<std::ptrdiff_t>(p);  // closing tag

  const size_t nameEnd = FindAny(p + 1, " />");
  if (nameEnd == NotFound) return -1;
  node.name.assign(text + p + 1, nameEnd - (p + 1));
  if (depth >= XmlMaxDepth) {
    Record(XmlErrorTooDeep, p, "<" + node.name + "> is nested too deeply.");
    return -1;
  }
  p = nameEnd;

  // Attributes.
  for (;;) {
    if (p >= end) return -1;
    p = SkipSpace(p);
    if (p < end && (text[p] == '>' || text[p] == '/')) break;
    const size_t attributeStart = p;
    const size_t attributeNameEnd = FindAny(p, " =");
    if (attributeNameEnd == NotFound) {
      Record(XmlErrorAttribute, attributeStart, "<" + node.name + "> attribute has error ");
      return -1;
    }
    auto attribute = std::make_unique<XmlAttribute>();
    attribute->name.assign(text + p, attributeNameEnd - p);
    attribute->element = &node;
    XmlAttribute& current = *attribute;
    node.attributes.push_back(std::move(attribute));
    p = SkipSpace(attributeNameEnd);
    if (p >= end || text[p] != '=') continue;
    p = SkipSpace(p + 1);
    if (p < end && (text[p] == '"' || text[p] == '\'')) {
      const size_t close = FindUnescaped(p + 1, text[p]);
      if (close == NotFound) {
        Record(XmlErrorAttribute, attributeStart, "<" + node.name + "> attribute has error ");
        return -1;
      }
      SetValue(current.value, p + 1, close);
      p = close + 1;
    } else {
      size_t stop = FindAny(p, " >");
      if (stop == NotFound) stop = end;
      SetValue(current.value, p, stop);
      p = stop;
    }
  }

  if (text[p] == '/') {
    if (p + 1 < end && text[p + 1] == '>') return static_cast<std::ptrdiff_t>(p + 2);
    Record(XmlErrorAloneNotClosed, p + 1, "Element must be closed.");
    return -1;
  }

  // Text content up to the first child or the closing tag.
  const size_t contentStart = p + 1;
  const size_t contentEnd = FindUnescaped(contentStart, '<');
  if (contentEnd == NotFound) {
    Record(XmlErrorNotClosed, contentStart,
           node.name + " must be closed with </" + node.name + ">");
    return -1;
  }
  SetValue(node.value, contentStart, contentEnd);
  p = contentEnd;

  while (p < end) {
    auto child = std::make_unique<XmlNode>(&node);
    const std::ptrdiff_t next = LoadElement(*child, p, depth + 1);
    if (next < 0) return -1;
    if (!child->name.empty()) node.children.push_back(std::move(child));
    p = static_cast<size_t>(next);
    if (p >= end) break;

    if (text[p] == '<' && p + 1 < end && text[p + 1] == '/') {
      const size_t closeName = SkipSpace(p + 2);
      const size_t closeNameEnd = FindAny(closeName, " >");
      if (closeNameEnd == NotFound) {
        Record(XmlErrorNotClosed, closeName, "it must be closed with </" + node.name + ">");
        return -1;
      }
      const std::string_view closing(text + closeName, closeNameEnd - closeName);
      if (closing == node.name) return static_cast<std::ptrdiff_t>(closeNameEnd + 1);
      Record(XmlErrorNotNested, closeNameEnd + 1,
             "'<" + node.name + "> ... </" + std::string(closing) + ">' is not wel-formed.");
      return -1;
    }

    if (node.value.empty() && text[p] != '<') {
      const size_t textEnd = FindUnescaped(p, '<');
      if (textEnd == NotFound) {
        Record(XmlErrorNotClosed, p, "it must be closed with </" + node.name + ">");
        return -1;
      }
      SetValue(node.value, p, textEnd);
      p = textEnd;
    }
  }
  // The content ran to the end of the text: a missing closing tag there is accepted.
  return static_cast<std::ptrdiff_t>(end);
}

std::ptrdiff_t XmlNode::Load(const char* text, size_t length, XmlParseOptions& options) {
  Clear();
  if (!text) return -1;
  const void* nul = std::memchr(text, '\0', length);
  const size_t end = nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : length;
  XmlLoader loader(text, end, options);
  return loader.LoadElement(*this, 0, 0);
}

void XmlNode::Clear() {
  name.clear();
  value.clear();
  children.clear();
  attributes.clear();
}

const XmlNode* XmlNode::FindChild(std::string_view childName) const {
  for (const auto& child : children)
    if (child->name == childName) return child.get();
  return nullptr;
}

std::vector<const XmlNode*> XmlNode::FindChildren(std::string_view childName) const {
  std::vector<const XmlNode*> found;
  for (const auto& child : children)
    if (child->name == childName) found.push_back(child.get());
  return found;
}
