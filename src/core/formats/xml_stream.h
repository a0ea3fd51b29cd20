#pragma once
#include <cstddef>
#include <string>

namespace tavrin {

class ZipArchive;

// Receives the elements of an XML document as expat reads it. Names are
// local names (the namespace prefix cut off). A handler that wants the
// parse to stop sets `error` (stop with a failure) or `done` (stop, success).
class XmlHandler {
 public:
  virtual ~XmlHandler() = default;
  virtual void start(const char* name, const char** attributes) = 0;
  virtual void end(const char* name) = 0;
  virtual void text(const char* data, int length) = 0;

  std::string error;
  bool done = false;
};

// The local part of a qualified name: "table:table-cell" -> "table-cell".
const char* localName(const char* qualified);
// The value of the attribute whose local name is `name`, or nullptr.
const char* findAttribute(const char** attributes, const char* name);

// Parses one zip entry as XML into the handler, streaming. Documents with a
// document type declaration are refused (no entity expansion at all). Throws
// a damaged FormatError when the XML is malformed, the entry is damaged or too
// large, or the handler set an error.
void parseXmlEntry(const ZipArchive& zip, const std::string& entry, XmlHandler& handler);

}  // namespace tavrin
