// Reading XML for TinyXML: the nesting depth measured without recursion, and
// documents parsed exactly as TinyXML's own file reader parses them.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <cstdio>
#include <string>

#include "util/xml.h"

namespace {

TEST(Xml, NestingDepthCountsElementsAndSkipsWhatIsNoElement) {
  EXPECT_EQ(xmlNestingDepth("", 10), 0u);
  EXPECT_EQ(xmlNestingDepth("<a/>", 10), 1u);
  EXPECT_EQ(xmlNestingDepth("<a><b><c/></b><b/></a>", 10), 3u);
  EXPECT_EQ(xmlNestingDepth("<?xml version=\"1.0\"?><!DOCTYPE a><a><!-- <b><b><b> --></a>", 10), 1u);
  EXPECT_EQ(xmlNestingDepth("<a><![CDATA[<b><b><b>]]></a>", 10), 1u);
  EXPECT_EQ(xmlNestingDepth("<a x=\"/>\" y='>'><b></b></a>", 10), 2u);  // quoted '>' and "/>"
  EXPECT_EQ(xmlNestingDepth("<a><b><c><d>", 2), 3u);                       // stops past the limit
  // What merely starts like a tag counts, so the depth is never too low;
  // an unclosed quote or comment runs to the end.
  EXPECT_EQ(xmlNestingDepth("<a>< b><1>", 10), 3u);
  EXPECT_EQ(xmlNestingDepth("<a><b x=\"<c><c>", 10), 2u);
  EXPECT_EQ(xmlNestingDepth("<a><!-- <b><b>", 10), 1u);
}

struct File {
  explicit File(const std::string& bytes) : file(std::tmpfile()) {
    std::fwrite(bytes.data(), 1, bytes.size(), file);
    std::fseek(file, 0, SEEK_END);  // loadXml reads from the start whatever the position
  }
  ~File() { std::fclose(file); }
  FILE* file;
};

std::string printed(const TiXmlDocument& document) {
  TiXmlPrinter printer;
  document.Accept(&printer);
  return printer.Str();
}

TEST(Xml, DocumentsParseAsTinyXmlsFileReaderParsesThem) {
  const std::string texts[] = {
      "<a>\r\n<b x=\"1\">t\rext</b>\n</a>",  // every kind of line end
      "<a><b>one</b></a>\0<c/>",              // up to the first NUL
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>\xC3\xA9</a>",
  };
  for (const std::string& text : texts) {
    File ours(text), theirs(text);
    TiXmlDocument mine, own;
    std::rewind(theirs.file);
    ASSERT_TRUE(own.LoadFile(theirs.file)) << text;
    EXPECT_EQ(loadXml(mine, ours.file), "") << text;
    EXPECT_EQ(printed(mine), printed(own)) << text;
  }
}

TEST(Xml, FailuresSayWhatIsWrongInTinyXmlsWordsOrByTheDepth) {
  TiXmlDocument empty, broken, deep, deepEnough;
  EXPECT_EQ(loadXml(empty, File("").file), "Error document empty.");
  TiXmlDocument own;
  own.Parse("<a><b></a>");
  EXPECT_EQ(loadXml(broken, File("<a><b></a>").file), own.ErrorDesc());
  std::string open, close;
  for (size_t i = 0; i < kMostXmlDepth; ++i) {
    open += "<e>";
    close += "</e>";
  }
  EXPECT_EQ(loadXml(deepEnough, File(open + close).file), "");
  // Cut inside a UTF-8 character: TinyXML steps past the end of the text
  // by the character's claimed length (the fuzzer sees it read the heap).
  for (const char* cut : {"\xC3", "\xE2\x82", "\xF0", "\xF0\x9F\x98"}) {
    TiXmlDocument partial;
    const std::string text = std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?><a>") + cut;
    EXPECT_NE(loadXml(partial, File(text).file), "") << text;
  }
  // Far deeper than any thread's stack would take from TinyXML.
  std::string deeper;
  for (int i = 0; i < 1000000; ++i) deeper += "<e>";
  EXPECT_EQ(loadXml(deep, File("<e>" + open + close + "</e>").file),
            "Elements nested deeper than 1024 levels");
  EXPECT_EQ(loadXml(deep, File(deeper).file), "Elements nested deeper than 1024 levels");
}

}  // namespace
