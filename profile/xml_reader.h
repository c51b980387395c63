// A small, lenient reader for the XML the phone catalogue is written in: elements,
// attributes, text and the five predefined entities. Bytes are characters; no declarations,
// comments, CDATA or namespaces. The input text is never changed and never read past its end.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

enum XmlParseError : int32_t {
  XmlErrorNone = 0,
  XmlErrorAloneNotClosed = 1,  // "/" in a start tag not followed by ">"
  XmlErrorNotClosed = 2,       // text or a closing tag runs to the end of the input
  XmlErrorNotNested = 3,       // closing name differs from the open element's name
  XmlErrorAttribute = 4,       // attribute without a name end, or an unclosed quoted value
  XmlErrorTooDeep = 5,         // elements nested deeper than XmlMaxDepth
};

// Elements nested deeper than this are refused, so that hostile text cannot exhaust the stack.
constexpr int XmlMaxDepth = 256;

struct XmlEntity {
  char character = 0;
  char reference[10] = {};  // at most 9 characters, e.g. "&amp;"
  int length = 0;           // characters of reference
};

class XmlEntityTable {
 public:
  // An empty table; Add entries in the order they should be tried.
  XmlEntityTable() = default;
  // Appends an entry; false (and nothing added) when the reference is empty or longer than 9.
  bool Add(char character, std::string_view reference);
  // Replaces every complete reference by its character in a single pass, trying the entries
  // in table order at each position. The result is never longer than `text`.
  std::string Decode(std::string_view text) const;
  const std::vector<XmlEntity>& Entries() const { return entries; }

  // &amp; &quot; &apos; &lt; &gt;, in this order.
  static const XmlEntityTable& Default();

 private:
  std::vector<XmlEntity> entries;
};

struct XmlParseOptions {
  bool trimValues = true;
  bool decodeEntities = true;
  const XmlEntityTable* entityTable = &XmlEntityTable::Default();
  int escapeCharacter = '\\';  // 0: none

  // The error report: the first error recorded while errorOccurred was off.
  bool errorOccurred = false;
  size_t errorPosition = 0;
  XmlParseError errorCode = XmlErrorNone;
  std::string errorText;
};

// The process-wide options the catalogue parses with. Its error record is never reset, so it
// keeps the first error of the process. Use on the window thread only.
XmlParseOptions& DefaultXmlParseOptions();

class XmlNode;

struct XmlAttribute {
  std::string name;
  std::string value;
  XmlNode* element = nullptr;  // not owned
};

class XmlNode {
 public:
  XmlNode() = default;
  explicit XmlNode(XmlNode* parentNode) : parent(parentNode) {}
  XmlNode(const XmlNode&) = delete;
  XmlNode& operator=(const XmlNode&) = delete;

  // Empties the node, then reads one element with everything inside it, starting at the first
  // "<" of text. The text ends after `length` bytes or at a NUL byte, whichever comes first.
  // Returns the offset just after the element (or the end of the text when its content
  // reached it), or -1 on failure; errors are recorded in `options` as described there.
  std::ptrdiff_t Load(const char* text, size_t length, XmlParseOptions& options);

  // First child named exactly `childName` (case-sensitive), or nullptr.
  const XmlNode* FindChild(std::string_view childName) const;
  // All children named `childName`, in document order; the nodes stay owned by this node.
  std::vector<const XmlNode*> FindChildren(std::string_view childName) const;
  size_t ChildCount() const { return children.size(); }
  // Removes all children and attributes.
  void Clear();

  std::string name;
  std::string value;
  XmlNode* parent = nullptr;  // not owned; nullptr for the root
  std::vector<std::unique_ptr<XmlNode>> children;
  std::vector<std::unique_ptr<XmlAttribute>> attributes;

 private:
  friend class XmlLoader;
};
