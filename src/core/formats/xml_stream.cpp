#include "formats/xml_stream.h"

#include <expat.h>

#include <cstring>

#include "formats/price_file.h"
#include "formats/zip_archive.h"

namespace tavrin {

namespace {

struct ParseState {
  XML_Parser parser;
  XmlHandler* handler;
  bool refusedDoctype = false;
};

void checkStop(ParseState* s) {
  if (!s->handler->error.empty() || s->handler->done) XML_StopParser(s->parser, XML_FALSE);
}

void XMLCALL onStart(void* user, const XML_Char* name, const XML_Char** atts) {
  auto* s = static_cast<ParseState*>(user);
  s->handler->start(localName(name), atts);
  checkStop(s);
}

void XMLCALL onEnd(void* user, const XML_Char* name) {
  auto* s = static_cast<ParseState*>(user);
  s->handler->end(localName(name));
  checkStop(s);
}

void XMLCALL onText(void* user, const XML_Char* data, int len) {
  auto* s = static_cast<ParseState*>(user);
  s->handler->text(data, len);
  checkStop(s);
}

void XMLCALL onDoctype(void* user, const XML_Char*, const XML_Char*, const XML_Char*, int) {
  auto* s = static_cast<ParseState*>(user);
  s->refusedDoctype = true;
  XML_StopParser(s->parser, XML_FALSE);
}

class ParserHolder {
 public:
  ParserHolder() : p_(XML_ParserCreate("UTF-8")) {
    if (!p_) throw FormatError::damaged("out of memory for the XML parser");
  }
  ~ParserHolder() { XML_ParserFree(p_); }
  ParserHolder(const ParserHolder&) = delete;
  ParserHolder& operator=(const ParserHolder&) = delete;
  XML_Parser get() const { return p_; }

 private:
  XML_Parser p_;
};

}  // namespace

const char* localName(const char* qualified) {
  const char* colon = std::strrchr(qualified, ':');
  return colon ? colon + 1 : qualified;
}

const char* findAttribute(const char** attributes, const char* name) {
  for (const char** a = attributes; a[0]; a += 2)
    if (std::strcmp(localName(a[0]), name) == 0) return a[1];
  return nullptr;
}

void parseXmlEntry(const ZipArchive& zip, const std::string& entry, XmlHandler& handler) {
  ParserHolder holder;
  ParseState state{holder.get(), &handler};
  XML_SetUserData(holder.get(), &state);
  XML_SetElementHandler(holder.get(), onStart, onEnd);
  XML_SetCharacterDataHandler(holder.get(), onText);
  XML_SetStartDoctypeDeclHandler(holder.get(), onDoctype);
  bool failed = false;
  auto fail = [&]() -> std::string {
    if (state.refusedDoctype) return entry + ": document type declarations are not accepted";
    if (!handler.error.empty()) return entry + ": " + handler.error;
    return entry + ": malformed XML (" + XML_ErrorString(XML_GetErrorCode(holder.get())) + ")";
  };
  std::string reason;
  zip.read(entry, [&](const char* data, std::size_t n) {
    if (XML_Parse(holder.get(), data, static_cast<int>(n), XML_FALSE) != XML_STATUS_OK) {
      failed = !handler.done || !handler.error.empty() || state.refusedDoctype;
      if (failed) reason = fail();
      return false;
    }
    return true;
  });
  if (!failed && !handler.done) {
    if (XML_Parse(holder.get(), nullptr, 0, XML_TRUE) != XML_STATUS_OK &&
        (!handler.done || !handler.error.empty() || state.refusedDoctype)) {
      failed = true;
      reason = fail();
    }
  }
  if (failed) throw FormatError::damaged(reason);
}

}  // namespace tavrin
