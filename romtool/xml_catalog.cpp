#include "romtool/xml_catalog.h"

#include <expat.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <string>
#include <type_traits>

#include "core/catalog.h"
#include "romtool/catalog_entries.h"
#include "romtool/dat_reader.h"

namespace {

const int kPiece = 64 * 1024;
// The most bytes of one piece of markup (a tag with its attributes, a
// comment, the text before a tag), counted up to and including the ">"
// that ends it: no catalog needs a fraction of it, and without a bound
// expat would hold one tag whole, however large.
const uint64_t kMaxMarkup = 1 << 20;
// Element depths: the root, a game, a rom. No catalog nests deeper than a
// few levels; past kMaxDepth a file is refused before the parser's memory
// for open elements can grow with it.
const int kRootDepth = 1, kGameDepth = 2, kRomDepth = 3, kMaxDepth = 64;

struct ParserFree {
  void operator()(XML_Parser parser) const { XML_ParserFree(parser); }
};
using OwnedParser = std::unique_ptr<std::remove_pointer_t<XML_Parser>, ParserFree>;

// Where the parse stands, as the handlers see it.
struct XmlLoad {
  XML_Parser parser = nullptr;
  int depth = 0;
  bool knownRoot = false;       // the root is "datafile" or "mame"
  bool inGame = false;          // inside a game of a known root
  // The DOCTYPE names a DTD outside the file, or refers to a parameter
  // entity: either may declare entities that are never read here.
  bool unknownDeclarations = false;
  unsigned long linesBefore = 0;  // blank lines before the markup, not fed
  bool softwareList = false;    // the root is an emulator's software list
  bool nestedRom = false;       // a rom stands deeper than in a game
  CatalogGame game;             // the game being read
  unsigned long faultLine = 0;  // set where a fault of ours stopped the parse
  bool outOfMemory = false;
  std::string readError;        // set where a read of the file failed
  std::string* said = nullptr;  // what the load has to say
};

// The line of the event being reported, or of the fault expat found.
unsigned long Line(const XmlLoad& load) {
  return load.linesBefore + static_cast<unsigned long>(XML_GetCurrentLineNumber(load.parser));
}

bool Is(const XML_Char* text, const char* wanted) { return std::strcmp(text, wanted) == 0; }

// Stops the parse as a fault of the catalog, at the event being reported.
void StopAsFault(XmlLoad* load) {
  load->faultLine = Line(*load);
  XML_StopParser(load->parser, XML_FALSE);
}

// Whether the raw start tag being reported refers to an entity beyond
// XML's five. In a document with a DTD outside the file, which might
// declare it, expat drops such a reference from an attribute value
// without a word (its skipped-entity handler serves text only). A tag
// that cannot be seen (an expat built without XML_CONTEXT_BYTES) counts as
// one that does: better no catalog than names with pieces missing.
bool RefersToUnknownEntity(XML_Parser parser) {
  int offset = 0, size = 0;
  const char* context = XML_GetInputContext(parser, &offset, &size);
  int count = XML_GetCurrentByteCount(parser);
  if (context == nullptr || offset < 0 || count < 0 || count > size - offset) return true;
  std::string tag(context + offset, static_cast<size_t>(count));
  for (size_t at = tag.find('&'); at != std::string::npos; at = tag.find('&', at + 1)) {
    bool known = false;
    for (const char* name : {"#", "amp;", "lt;", "gt;", "quot;", "apos;"}) {
      known = known || tag.compare(at + 1, std::strlen(name), name) == 0;
    }
    if (!known) return true;
  }
  return false;
}

// The value of the attribute `wanted` among `attributes`, or "".
const char* Attribute(const XML_Char** attributes, const char* wanted) {
  for (size_t i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
    if (Is(attributes[i], wanted)) return attributes[i + 1];
  }
  return "";
}

// The entry of one "rom" element. Expat hands the attributes as name and
// value pairs in the order written, with entities and character
// references already replaced; a repeated attribute is an error of its own.
void TakeRom(XmlLoad* load, const XML_Char** attributes) {
  const char* name = "";
  const char* crcText = nullptr;
  bool noDump = false;
  if (load->unknownDeclarations && RefersToUnknownEntity(load->parser)) return StopAsFault(load);
  for (size_t i = 0; attributes[i] != nullptr && attributes[i + 1] != nullptr; i += 2) {
    if (Is(attributes[i], "name")) name = attributes[i + 1];
    if (Is(attributes[i], "crc")) crcText = attributes[i + 1];
    if (Is(attributes[i], "status")) noDump = Is(attributes[i + 1], "nodump");
  }
  if (crcText == nullptr || noDump) return;
  uint32_t crc = 0;
  if (!ParseCatalogCrc(crcText, std::strlen(crcText), &crc)) return StopAsFault(load);
  if (!AppendCatalogRom(&load->game, name, crc, load->said)) {
    load->outOfMemory = true;
    XML_StopParser(load->parser, XML_FALSE);
  }
}

void XMLCALL StartElement(void* data, const XML_Char* name, const XML_Char** attributes) {
  XmlLoad* load = static_cast<XmlLoad*>(data);
  if (++load->depth > kMaxDepth) return StopAsFault(load);
  if (load->depth == kRootDepth) {
    load->knownRoot = Is(name, "datafile") || Is(name, "mame");
    load->softwareList = Is(name, "softwarelist") || Is(name, "softwarelists");
  } else if (load->depth == kGameDepth) {
    load->inGame = load->knownRoot && (Is(name, "game") || Is(name, "machine"));
    if (load->inGame) StartCatalogGame(&load->game, Attribute(attributes, "name"));
  } else if (load->depth == kRomDepth && load->inGame && Is(name, "rom")) {
    TakeRom(load, attributes);
  } else if (load->depth > kRomDepth && Is(name, "rom")) {
    load->nestedRom = true;
  }
}

void XMLCALL EndElement(void* data, const XML_Char*) {
  XmlLoad* load = static_cast<XmlLoad*>(data);
  if (load->depth == kGameDepth) load->inGame = false;
  --load->depth;
}

// Any entity declaration ends the parse. Without one, nothing but XML's
// five predefined entities and character references can be expanded, so
// the parser never makes more text than the file holds.
void XMLCALL EntityDeclared(void* data, const XML_Char*, int, const XML_Char*, int,
                            const XML_Char*, const XML_Char*, const XML_Char*,
                            const XML_Char*) {
  StopAsFault(static_cast<XmlLoad*>(data));
}

// A reference in text to an entity nobody declared (a DTD outside the
// file might have): what it stands for is unknown, so the catalog is
// refused rather than read with a piece missing.
void XMLCALL EntitySkipped(void* data, const XML_Char*, int) {
  StopAsFault(static_cast<XmlLoad*>(data));
}

// Called where the document is not standalone: its DOCTYPE names a DTD
// outside the file, or its own part refers to a parameter entity. Either
// may declare entities that are never read here.
int XMLCALL NotStandalone(void* data) {
  static_cast<XmlLoad*>(data)->unknownDeclarations = true;
  return XML_STATUS_OK;
}

void Prepare(XmlLoad* load) {
  XML_SetUserData(load->parser, load);
  XML_SetElementHandler(load->parser, StartElement, EndElement);
  XML_SetEntityDeclHandler(load->parser, EntityDeclared);
  XML_SetSkippedEntityHandler(load->parser, EntitySkipped);
  XML_SetNotStandaloneHandler(load->parser, NotStandalone);
  // Never read a DTD outside the file (no handler loads one either).
  XML_SetParamEntityParsing(load->parser, XML_PARAM_ENTITY_PARSING_NEVER);
}

// Where the markup of `source` starts: past a UTF-8 byte order mark and
// white space, which expat takes only after an XML declaration. Counts
// the line ends passed in `load->linesBefore`. Returns false when a read
// failed (with `readError` set) or the memory for it cannot be had.
bool FindMarkupStart(XmlLoad* load, ReadSource* source, uint64_t* start) {
  ByteReader bytes;
  if (!ByteReaderStart(&bytes, source)) return false;
  uint64_t at = 0;
  if (PeekByte(&bytes) == 0xEF && bytes.end >= 3 && bytes.piece[1] == 0xBB && bytes.piece[2] == 0xBF) {
    bytes.at = at = 3;
  }
  for (int c; (c = PeekByte(&bytes)) == ' ' || c == '\t' || c == '\r' || c == '\n'; ++at) {
    if (c == '\n') ++load->linesBefore;
    TakeByte(&bytes);
  }
  load->readError = bytes.error;
  *start = at;
  return !bytes.failed;
}

// Measures the runs of bytes that end with ">", wherever the pieces of the
// file break them.
struct MarkupMeter {
  uint64_t run = 0;        // bytes of the run not yet ended
  unsigned long line = 1;  // the line of the next byte
};

// Takes `count` more bytes into `meter`. Returns false when a run grows
// past kMaxMarkup, with `meter->line` the line of its first byte too many.
bool Measure(MarkupMeter* meter, const unsigned char* bytes, size_t count) {
  const unsigned char* end = bytes + count;
  for (const unsigned char* at = bytes; at < end;) {
    const unsigned char* close = static_cast<const unsigned char*>(std::memchr(at, '>', end - at));
    const unsigned char* stop = close != nullptr ? close + 1 : end;
    uint64_t room = kMaxMarkup - meter->run;
    if (static_cast<uint64_t>(stop - at) > room) {
      meter->line += static_cast<unsigned long>(std::count(at, at + room, '\n'));
      return false;
    }
    meter->run = close != nullptr ? 0 : meter->run + static_cast<uint64_t>(stop - at);
    meter->line += static_cast<unsigned long>(std::count(at, stop, '\n'));
    at = stop;
  }
  return true;
}

// Feeds the whole of `source` from `start` to the parser, a piece at a
// time, into expat's own buffer. Returns 1 when it all parsed; 0 when the
// parse stopped, a read failed (with `readError` set), or a piece of
// markup grew past kMaxMarkup (with `faultLine` set, before expat held it).
int FeedPieces(XmlLoad* load, ReadSource* source, uint64_t start) {
  MarkupMeter meter;
  for (uint64_t offset = start;;) {
    void* buffer = XML_GetBuffer(load->parser, kPiece);
    if (buffer == nullptr) return 0;
    size_t got = 0;
    if (!source->ReadAt(offset, static_cast<unsigned char*>(buffer), kPiece, &got,
                        &load->readError)) {
      return 0;
    }
    offset += got;
    if (!Measure(&meter, static_cast<unsigned char*>(buffer), got)) {
      load->faultLine = load->linesBefore + meter.line;
      return 0;
    }
    bool last = got < static_cast<size_t>(kPiece);
    if (XML_ParseBuffer(load->parser, static_cast<int>(got), last) != XML_STATUS_OK) return 0;
    if (last) return 1;
  }
}

uint32_t Outcome(const XmlLoad& load, int parsed, const std::string& fileName) {
  std::string* said = load.said;
  if (parsed) {
    if (CatalogSize<RomEntry>() > 0) return CatalogFinishLoad<RomEntry>(fileName, said);
    int shape = load.softwareList ? EMPTY_SOFTWARE_LIST
                : load.nestedRom  ? EMPTY_ROMS_IN_FOLDERS
                                  : EMPTY_NO_CRC;
    return ReportEmptyCatalog(fileName, shape, said);
  }
  if (!load.readError.empty()) return CatalogRefuseUnread<RomEntry>(fileName, load.readError, said);
  if (load.outOfMemory || XML_GetErrorCode(load.parser) == XML_ERROR_NO_MEMORY) {
    return CatalogRefuseForMemory<RomEntry>(fileName, said);
  }
  unsigned long line = load.faultLine;
  if (line == 0) line = Line(load);
  return RefuseMalformedCatalog(fileName, line, said);
}

}  // namespace

uint32_t LoadXmlCatalog(ReadSource* source, const std::string& fileName, std::string* said) {
  OwnedParser parser(XML_ParserCreate(nullptr));
  if (!parser) return CatalogRefuseForMemory<RomEntry>(fileName, said);
  XmlLoad load;
  load.parser = parser.get();
  load.said = said;
  Prepare(&load);
  uint64_t start = 0;
  if (!FindMarkupStart(&load, source, &start) && load.readError.empty()) {
    return CatalogRefuseForMemory<RomEntry>(fileName, said);
  }
  int parsed = load.readError.empty() && FeedPieces(&load, source, start);
  return Outcome(load, parsed, fileName);
}
