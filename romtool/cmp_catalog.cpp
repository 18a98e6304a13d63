#include "romtool/cmp_catalog.h"

#include <new>
#include <vector>

#include "core/catalog.h"
#include "romtool/catalog_entries.h"
#include "romtool/dat_reader.h"

namespace {

// Blocks within blocks: a catalog needs three levels (the file, a game, a
// rom); the bound keeps the reader's recursion short whatever the input.
const int kMaxDepth = 16;

// What the pairs of a block mean.
enum BlockRole { kTopBlock, kGameBlock, kRomBlock, kOtherBlock };
// The keys of a rom group that make its entry, and the game's name.
enum RomField { kNoField, kNameField, kCrcField, kStatusField, kGameNameField };

// The fields of the rom group being read.
struct RomFields {
  std::string name, crc;
  bool hasCrc = false, noDump = false;
  unsigned long crcLine = 0;
};

// A rom of the game being read, kept until the game's end, where its
// name (which may follow the roms) is known.
struct PendingRom {
  std::string name;
  uint32_t crc;
};

struct CmpLoad {
  CmpTokenizer tokens;
  RomFields rom;
  std::string gameName;
  std::vector<PendingRom> gameRoms;
  CatalogGame game;
  unsigned long faultLine = 0;  // set for a fault found after its line
  bool outOfMemory = false;
  std::string* said = nullptr;  // what the load has to say
};

bool IsSpace(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// The next byte, not taken; -1 at the end of the file.
int Peek(CmpTokenizer* t) { return PeekByte(&t->bytes); }

void Take(CmpTokenizer* t) { ++t->bytes.at; }

// Takes white space, counting lines, and lines that start with "#"
// (comments). Returns the next byte, not taken.
int SkipSpace(CmpTokenizer* t) {
  int c;
  while ((c = Peek(t)) >= 0 && (IsSpace(c) || (c == '#' && t->atLineStart))) {
    if (c == '#') {
      while ((c = Peek(t)) >= 0 && c != '\n') Take(t);
      continue;
    }
    if (c == '\n') {
      ++t->line;
      t->atLineStart = true;
    }
    Take(t);
  }
  return c;
}

// Adds `c` to the token; false for a NUL byte (no name can hold one) or
// a token already at its bound.
bool Keep(CmpTokenizer* t, int c) {
  if (c == 0 || t->text.size() >= CmpTokenizer::kMaxToken) return false;
  t->text.push_back(static_cast<char>(c));
  return true;
}

int ReadWord(CmpTokenizer* t) {
  int c;
  while ((c = Peek(t)) >= 0 && !IsSpace(c) && c != '(' && c != ')') {
    if (!Keep(t, c)) return CMP_FAULT;
    Take(t);
  }
  return CMP_TEXT;
}

// A quoted text, after its opening quote. A line end inside it is a fault,
// so that a missing quote is reported on its own line.
int ReadQuoted(CmpTokenizer* t) {
  for (;;) {
    int c = Peek(t);
    if (c < 0 || c == '\n') return CMP_FAULT;
    Take(t);
    if (c == '"') return CMP_TEXT;
    if (!Keep(t, c)) return CMP_FAULT;
  }
}

int RoleOf(int parent, const std::string& key) {
  if (parent == kTopBlock) {
    return key == "game" || key == "resource" || key == "machine" || key == "set" ? kGameBlock
                                                                                  : kOtherBlock;
  }
  return parent == kGameBlock && key == "rom" ? kRomBlock : kOtherBlock;
}

int FieldOf(int role, const std::string& key) {
  if (role == kGameBlock) return key == "name" ? kGameNameField : kNoField;
  if (role != kRomBlock) return kNoField;
  if (key == "name") return kNameField;
  if (key == "crc") return kCrcField;
  // Older catalogs write "flags nodump" where newer ones write "status".
  return key == "status" || key == "flags" ? kStatusField : kNoField;
}

void NoteField(CmpLoad* load, int field, const CmpTokenizer& t) {
  RomFields* rom = &load->rom;
  if (field == kGameNameField) load->gameName = t.text;
  if (field == kNameField) rom->name = t.text;
  if (field == kStatusField) rom->noDump = t.text == "nodump";
  // "-" stands for a hash the catalog does not know.
  if (field == kCrcField && t.text != "-") {
    rom->crc = t.text;
    rom->hasCrc = true;
    rom->crcLine = t.line;
  }
}

// Keeps the rom group just closed for its game's end. Returns 1; 0 at a
// fault.
int KeepRom(CmpLoad* load) {
  const RomFields& rom = load->rom;
  if (!rom.hasCrc || rom.noDump) return 1;
  // Some catalogs write the CRC-32 as a C constant.
  size_t skip = rom.crc.size() > 2 && rom.crc[0] == '0' && (rom.crc[1] | 0x20) == 'x' ? 2 : 0;
  uint32_t crc = 0;
  if (!ParseCatalogCrc(rom.crc.data() + skip, rom.crc.size() - skip, &crc)) {
    load->faultLine = rom.crcLine;
    return 0;
  }
  load->gameRoms.push_back(PendingRom{rom.name, crc});
  return 1;
}

// The entries of the game block just closed. Returns 1; 0 when the memory
// runs out.
int EmitGame(CmpLoad* load) {
  StartCatalogGame(&load->game, load->gameName);
  for (const PendingRom& rom : load->gameRoms) {
    if (!AppendCatalogRom(&load->game, rom.name, rom.crc, load->said)) {
      load->outOfMemory = true;
      return 0;
    }
  }
  return 1;
}

int ReadBlock(CmpLoad* load, int role, int depth);

// A block opened at nesting `depth`, its "(" read. Returns 1; 0 at a fault.
int ReadSubBlock(CmpLoad* load, int role, int depth) {
  if (depth > kMaxDepth) return 0;
  if (role == kRomBlock) {
    load->rom.name.clear();  // the strings keep their memory for the next
    load->rom.hasCrc = load->rom.noDump = false;
  } else if (role == kGameBlock) {
    load->gameName.clear();
    load->gameRoms.clear();
  }
  if (!ReadBlock(load, role, depth)) return 0;
  if (role == kRomBlock) return KeepRom(load);
  return role == kGameBlock ? EmitGame(load) : 1;
}

// The pairs of a block up to its ")", or of the file up to its end (depth
// 0, where every key opens a block). Returns 1; 0 at a fault.
int ReadBlock(CmpLoad* load, int role, int depth) {
  CmpTokenizer* t = &load->tokens;
  for (;;) {
    int kind = CmpNextToken(t);
    if ((kind == CMP_CLOSE && depth > 0) || (kind == CMP_END && depth == 0)) return 1;
    if (kind != CMP_TEXT) return 0;
    int keyRole = RoleOf(role, t->text), field = FieldOf(role, t->text);
    kind = CmpNextToken(t);
    if (kind == CMP_OPEN) {
      if (!ReadSubBlock(load, keyRole, depth + 1)) return 0;
    } else if (kind != CMP_TEXT || depth == 0) {
      return 0;
    } else {
      NoteField(load, field, *t);
    }
  }
}

}  // namespace

int CmpStart(CmpTokenizer* tokenizer, ReadSource* source) {
  if (!ByteReaderStart(&tokenizer->bytes, source)) return 0;
  tokenizer->line = 1;
  tokenizer->atLineStart = true;
  tokenizer->text.clear();
  ByteReader* bytes = &tokenizer->bytes;
  if (PeekByte(bytes) == 0xEF && bytes->end >= 3 && bytes->piece[1] == 0xBB &&
      bytes->piece[2] == 0xBF) {
    bytes->at = 3;
  }
  return 1;
}

int CmpNextToken(CmpTokenizer* tokenizer) {
  int c = SkipSpace(tokenizer);
  tokenizer->text.clear();
  if (c < 0) return CMP_END;
  Take(tokenizer);
  tokenizer->atLineStart = false;
  if (c == '(') return CMP_OPEN;
  if (c == ')') return CMP_CLOSE;
  if (c == '"') return ReadQuoted(tokenizer);
  return Keep(tokenizer, c) ? ReadWord(tokenizer) : CMP_FAULT;
}

uint32_t LoadCmpCatalog(ReadSource* source, const std::string& fileName, std::string* said) {
  std::unique_ptr<CmpLoad> load(new (std::nothrow) CmpLoad);
  if (!load || !CmpStart(&load->tokens, source)) {
    return CatalogRefuseForMemory<RomEntry>(fileName, said);
  }
  load->said = said;
  int read = ReadBlock(load.get(), kTopBlock, 0);
  // A failed read cuts the text wherever it falls: that, not what the cut
  // looks like, is what went wrong.
  const ByteReader& bytes = load->tokens.bytes;
  if (bytes.failed) return CatalogRefuseUnread<RomEntry>(fileName, bytes.error, said);
  if (read) {
    if (CatalogSize<RomEntry>() == 0) return ReportEmptyCatalog(fileName, EMPTY_NO_CRC, said);
    return CatalogFinishLoad<RomEntry>(fileName, said);
  }
  if (load->outOfMemory) return CatalogRefuseForMemory<RomEntry>(fileName, said);
  unsigned long line = load->faultLine != 0 ? load->faultLine : load->tokens.line;
  return RefuseMalformedCatalog(fileName, line, said);
}
