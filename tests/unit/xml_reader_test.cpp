#include "profile/xml_reader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// Parses `text` from an exactly sized heap copy, so that a read past its end is caught.
std::ptrdiff_t Parse(XmlNode& node, const std::string& text, XmlParseOptions& options) {
  std::vector<char> copy(text.begin(), text.end());
  return node.Load(copy.data(), copy.size(), options);
}

struct Parsed {
  XmlNode node;
  XmlParseOptions options;
  std::ptrdiff_t result = 0;
};

std::unique_ptr<Parsed> ParseFresh(const std::string& text) {
  auto p = std::make_unique<Parsed>();
  p->result = Parse(p->node, text, p->options);
  return p;
}

}  // namespace

TEST(XmlReader, ElementsTextAndReturnedPosition) {
  const std::string text = "junk before <root>\n  <a> alpha </a>\n\t<b>  </b><c/>\n</root> after";
  auto p = ParseFresh(text);
  ASSERT_EQ(p->result, static_cast<std::ptrdiff_t>(text.find(" after")));
  EXPECT_FALSE(p->options.errorOccurred);
  EXPECT_EQ(p->node.name, "root");
  EXPECT_EQ(p->node.value, "");
  EXPECT_EQ(p->node.parent, nullptr);
  ASSERT_EQ(p->node.ChildCount(), 3u);
  EXPECT_EQ(p->node.children[0]->value, "alpha");
  EXPECT_EQ(p->node.children[0]->parent, &p->node);
  EXPECT_EQ(p->node.children[1]->value, "");  // white space alone
  EXPECT_EQ(p->node.children[2]->name, "c");
  EXPECT_EQ(p->node.children[2]->ChildCount(), 0u);
  EXPECT_EQ(p->node.children[2]->value, "");
}

TEST(XmlReader, TrimmingOffKeepsWhiteSpace) {
  XmlNode node;
  XmlParseOptions options;
  options.trimValues = false;
  ASSERT_GT(Parse(node, "<a> x y\n</a>", options), 0);
  EXPECT_EQ(node.value, " x y\n");
}

TEST(XmlReader, ClosingTagFirstGivesEmptyNode) {
  auto p = ParseFresh("  </a><b>x</b>");
  EXPECT_EQ(p->result, 2);
  EXPECT_EQ(p->node.name, "");
  EXPECT_EQ(p->node.ChildCount(), 0u);
  EXPECT_FALSE(p->options.errorOccurred);
}

TEST(XmlReader, EmptyElementAndItsMalformedSpelling) {
  auto ok = ParseFresh("<a x='1'/>tail");
  EXPECT_EQ(ok->result, 10);
  EXPECT_EQ(ok->node.ChildCount(), 0u);
  ASSERT_EQ(ok->node.attributes.size(), 1u);

  auto bad = ParseFresh("<a / >");
  EXPECT_EQ(bad->result, -1);
  EXPECT_EQ(bad->options.errorCode, XmlErrorAloneNotClosed);
  EXPECT_EQ(bad->options.errorText, "Element must be closed.");
  EXPECT_EQ(bad->options.errorPosition, 4u);

  auto atEnd = ParseFresh("<a/");
  EXPECT_EQ(atEnd->result, -1);
  EXPECT_EQ(atEnd->options.errorCode, XmlErrorAloneNotClosed);
}

TEST(XmlReader, ClosingTagWithSpaceBeforeItsEnd) {
  const std::string text = "<a>x</a   >";
  auto p = ParseFresh("<r>" + text + "</r>");
  ASSERT_GT(p->result, 0);
  ASSERT_EQ(p->node.ChildCount(), 1u);
  EXPECT_EQ(p->node.children[0]->value, "x");

  auto alone = ParseFresh("<a>x</ a >");
  EXPECT_EQ(alone->result, 9);  // at the ">" after the space that ended the name
}

TEST(XmlReader, ErrorTextsCodesAndPositions) {
  auto nested = ParseFresh("<a><b>x</c></a>");
  EXPECT_EQ(nested->result, -1);
  EXPECT_EQ(nested->options.errorCode, XmlErrorNotNested);
  EXPECT_EQ(nested->options.errorText, "'<b> ... </c>' is not wel-formed.");
  EXPECT_EQ(nested->options.errorPosition, 11u);

  auto open = ParseFresh("<item>text only");
  EXPECT_EQ(open->options.errorCode, XmlErrorNotClosed);
  EXPECT_EQ(open->options.errorText, "item must be closed with </item>");
  EXPECT_EQ(open->options.errorPosition, 6u);

  auto afterChild = ParseFresh("<a><b/>trailing text");
  EXPECT_EQ(afterChild->options.errorCode, XmlErrorNotClosed);
  EXPECT_EQ(afterChild->options.errorText, "it must be closed with </a>");

  auto closingCut = ParseFresh("<a><b/></a");
  EXPECT_EQ(closingCut->result, -1);
  EXPECT_EQ(closingCut->options.errorText, "it must be closed with </a>");
  EXPECT_EQ(closingCut->options.errorPosition, 9u);

  auto attribute = ParseFresh("<tag flag>x</tag>");
  EXPECT_EQ(attribute->options.errorCode, XmlErrorAttribute);
  EXPECT_EQ(attribute->options.errorText, "<tag> attribute has error ");
  EXPECT_EQ(attribute->options.errorPosition, 5u);

  auto unclosedQuote = ParseFresh("<a b=\"never closed>x</a>");
  EXPECT_EQ(unclosedQuote->result, -1);
  EXPECT_EQ(unclosedQuote->options.errorCode, XmlErrorAttribute);
}

TEST(XmlReader, FailuresWithoutErrorRecord) {
  for (const char* text : {"no tag at all", "<abc", "<a b=\"1\"", "<a b=1", "", "<"}) {
    auto p = ParseFresh(text);
    EXPECT_EQ(p->result, -1) << text;
    EXPECT_FALSE(p->options.errorOccurred) << text;
  }
}

TEST(XmlReader, MissingClosingTagAtTheVeryEndIsAccepted) {
  const std::string text = "<a><b>x</b>";
  auto p = ParseFresh(text);
  EXPECT_EQ(p->result, static_cast<std::ptrdiff_t>(text.size()));
  ASSERT_EQ(p->node.ChildCount(), 1u);
  EXPECT_EQ(p->node.children[0]->value, "x");
}

TEST(XmlReader, AttributesInEverySpelling) {
  auto p = ParseFresh("<a one=\"v 1\" two='v 1' three=v three = ' v ' bare four=x&amp;y>t</a>");
  ASSERT_GT(p->result, 0);
  const auto& at = p->node.attributes;
  ASSERT_EQ(at.size(), 6u);
  EXPECT_EQ(at[0]->name, "one");
  EXPECT_EQ(at[0]->value, "v 1");
  EXPECT_EQ(at[1]->value, "v 1");
  EXPECT_EQ(at[2]->value, "v");
  EXPECT_EQ(at[3]->name, "three");
  EXPECT_EQ(at[3]->value, "v");  // trimmed inside the quotes
  EXPECT_EQ(at[4]->name, "bare");
  EXPECT_EQ(at[4]->value, "");
  EXPECT_EQ(at[5]->value, "x&y");
  EXPECT_EQ(at[0]->element, &p->node);
  EXPECT_EQ(p->node.value, "t");
}

TEST(XmlReader, EscapeCharacter) {
  auto p = ParseFresh("<a b='it\\'s'>1 \\< 2 \\\\ 3</a>");
  ASSERT_GT(p->result, 0);
  EXPECT_EQ(p->node.value, "1 < 2 \\ 3");
  EXPECT_EQ(p->node.attributes[0]->value, "it's");

  // Without an escape character the backslash is text and "<" ends it.
  XmlNode node;
  XmlParseOptions none;
  none.escapeCharacter = 0;
  EXPECT_EQ(Parse(node, "<a>1 \\< 2</a>", none), -1);

  // An escape as the last character must not lead the reader past the end.
  auto last = ParseFresh("<a>x\\");
  EXPECT_EQ(last->result, -1);
  EXPECT_EQ(last->options.errorCode, XmlErrorNotClosed);
}

TEST(XmlReader, EntityDecoding) {
  auto p = ParseFresh("<a>&amp;&quot;&apos;&lt;&gt; &ampx &amp;lt; &unknown;</a>");
  ASSERT_GT(p->result, 0);
  EXPECT_EQ(p->node.value, "&\"'<> &ampx &lt; &unknown;");

  XmlNode node;
  XmlParseOptions off;
  off.decodeEntities = false;
  ASSERT_GT(Parse(node, "<a>&amp;</a>", off), 0);
  EXPECT_EQ(node.value, "&amp;");

  XmlEntityTable table;
  EXPECT_FALSE(table.Add('x', ""));
  EXPECT_FALSE(table.Add('x', "&toolongref;"));
  EXPECT_TRUE(table.Add('c', "&copy;"));
  EXPECT_EQ(table.Decode("&copy;&amp;&cop"), "c&amp;&cop");
}

TEST(XmlReader, MixedContentKeepsOnlyTheFirstTextPiece) {
  auto p = ParseFresh("<a>first<b/>second<c/>third</a>");
  ASSERT_GT(p->result, 0);
  EXPECT_EQ(p->node.value, "first");
  EXPECT_EQ(p->node.ChildCount(), 2u);

  auto late = ParseFresh("<a>\n <b/> late <c/>ignored</a>");
  ASSERT_GT(late->result, 0);
  EXPECT_EQ(late->node.value, "late");
  EXPECT_EQ(late->node.ChildCount(), 2u);
}

TEST(XmlReader, FindChildIsExactAndOrdered) {
  auto p = ParseFresh("<l><phone>1</phone><Phone>2</Phone><x/><phone>3</phone></l>");
  ASSERT_GT(p->result, 0);
  EXPECT_EQ(p->node.FindChild("phone")->value, "1");
  EXPECT_EQ(p->node.FindChild("PHONE"), nullptr);
  EXPECT_EQ(p->node.FindChild("Phone")->value, "2");
  auto phones = p->node.FindChildren("phone");
  ASSERT_EQ(phones.size(), 2u);
  EXPECT_EQ(phones[1]->value, "3");
  EXPECT_EQ(p->node.ChildCount(), 4u);
}

TEST(XmlReader, TextEndsAtNulByte) {
  const char text[] = "<a>x</a>";
  XmlNode node;
  XmlParseOptions options;
  EXPECT_EQ(node.Load(text, sizeof text, options), 8);  // the NUL counts as the end

  const char cut[] = "<a>x\0</a>";
  EXPECT_EQ(node.Load(cut, sizeof cut - 1, options), -1);
  EXPECT_EQ(options.errorCode, XmlErrorNotClosed);
}

TEST(XmlReader, ReloadingDiscardsEverything) {
  XmlNode node;
  XmlParseOptions options;
  ASSERT_GT(Parse(node, "<a k='v'>text<b/><c/></a>", options), 0);
  ASSERT_GT(Parse(node, "<z>  </z>", options), 0);
  EXPECT_EQ(node.name, "z");
  EXPECT_EQ(node.value, "");
  EXPECT_EQ(node.ChildCount(), 0u);
  EXPECT_TRUE(node.attributes.empty());
}

TEST(XmlReader, DefaultOptionsKeepTheFirstError) {
  XmlParseOptions& options = DefaultXmlParseOptions();
  XmlNode node;
  EXPECT_EQ(Parse(node, "<a><b></c></a>", options), -1);
  ASSERT_TRUE(options.errorOccurred);
  EXPECT_EQ(options.errorCode, XmlErrorNotNested);
  EXPECT_EQ(Parse(node, "<a/ >", options), -1);
  EXPECT_EQ(options.errorCode, XmlErrorNotNested);
  EXPECT_EQ(options.errorText, "'<b> ... </c>' is not wel-formed.");
  EXPECT_GT(Parse(node, "<a>fine</a>", options), 0);
  EXPECT_TRUE(options.errorOccurred);
}

TEST(XmlReader, DeepNestingIsRefusedNotOverflowed) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "<a>";
  auto p = ParseFresh(text);
  EXPECT_EQ(p->result, -1);
  EXPECT_EQ(p->options.errorCode, XmlErrorTooDeep);

  std::string allowed;
  for (int i = 0; i < XmlMaxDepth; ++i) allowed += "<a>";
  for (int i = 0; i < XmlMaxDepth; ++i) allowed += "</a>";
  EXPECT_GT(ParseFresh(allowed)->result, 0);
}

TEST(XmlReader, EveryPrefixStaysInsideItsInput) {
  const std::string text =
      "<r a='x\\'y' b=\"&amp;\" c=d e>\n <k>v\\<w &lt;</k><e/>\n <m><n>1</n>tail</m></r>";
  for (size_t n = 0; n <= text.size(); ++n) ParseFresh(text.substr(0, n));
}
