#pragma once
// XML files for TinyXML, read safely. TinyXML parses (and frees) elements
// recursively, one stack frame chain per level: a document nested tens of
// thousands of levels deep overflows the stack of whatever thread parses it.
// The text is therefore measured first, without recursion, and a document
// nested deeper than any of the show's files could be is refused before
// TinyXML sees it.
#include <cstddef>
#include <cstdio>
#include <string>

class TiXmlDocument;

// Deeper than this, a document is refused. The show's deepest files (node
// trees of at most 512 levels plus their wrappers) stay far below it, and
// TinyXML's frames for it fit any thread's stack.
constexpr size_t kMostXmlDepth = 1024;

// The deepest element nesting in the text, counted until it passes `limit`
// (then limit + 1). Comments, CDATA sections, declarations and quoted
// attribute values are skipped; anything else that starts like a tag counts,
// so the figure is never below what TinyXML would recurse to.
size_t xmlNestingDepth(const char* text, size_t limit);

// Reads the open file from its start and parses it into the document as
// TinyXML's LoadFile does (line ends of every kind read as line feeds, the
// text up to its first NUL byte). Empty when parsed; otherwise what is
// wrong: TinyXML's own error text ("Error document empty.", say) or
// "Elements nested deeper than 1024 levels".
std::string loadXml(TiXmlDocument& document, FILE* file);
