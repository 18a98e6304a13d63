// The catalog readers as tables: a catalog text in, the entries out; and
// the archive reader with every read failing in turn.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>

#include "core/catalog.h"
#include "core/crc32.h"
#include "core/output.h"
#include "core/patterns.h"
#include "core/platform.h"
#include "core/run.h"
#include "imagetool/crc_reader.h"
#include "romtool/archive_checks.h"
#include "romtool/archive_reader.h"
#include "romtool/dat_reader.h"
#include "romtool/identify.h"
#include "tests/support/support.h"

namespace {

struct ReaderCase {
  std::string text;
  std::string entries;  // "crc name|..." for .dat, "name size w h crc|..." for .crc
  std::string echo;     // what a .dat load writes to standard output
  std::string error = "";  // and to standard error
};

// A published catalog's entries also show their game, after "@".
std::string Show(const RomEntry& e) {
  std::string game = e.asCatalogued ? " @" + CatalogText<RomEntry>(e.gameAt, e.gameLength) : "";
  return Hex8(e.crc) + " " + CatalogEntryName(e) + game;
}
std::string Show(const ImageEntry& e) {
  return CatalogEntryName(e) + " " + std::to_string(e.size) + " " + std::to_string(e.width) + " " +
         std::to_string(e.height) + " " + Hex8(e.crc);
}

using Loader = uint32_t (*)(const RunState&, std::string*);

// Loads `c.text` as the catalog "set" and compares what the load stored,
// wrote to standard output and said. Then fails each read of the load in
// turn: the catalog is refused whole, and says so once.
template <class Entry>
void ExpectLoad(const ReaderCase& c, Loader load) {
  RunState run;
  run.systemName = "set";
  int reads = 0;
  run.open = FaultyOpener(c.text, 0, &reads);
  testing::internal::CaptureStdout();
  std::string said;
  uint32_t count = load(run, &said);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), c.echo) << c.text;
  EXPECT_EQ(said, c.error) << c.text;
  std::string entries;
  for (uint32_t i = 0; i < CatalogSize<Entry>(); ++i) {
    entries += (i > 0 ? "|" : "") + Show(*CatalogEntry<Entry>(i));
  }
  EXPECT_EQ(entries, c.entries) << c.text;
  EXPECT_EQ(count, CatalogSize<Entry>());
  CatalogRelease<Entry>();
  FreePatternList();
  for (int failAt = 1, all = reads; c.error.empty() && failAt <= all; ++failAt) {
    run.open = FaultyOpener(c.text, failAt, &reads);
    said.clear();
    testing::internal::CaptureStdout();
    EXPECT_EQ(load(run, &said), 0u) << failAt << c.text;
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(CatalogSize<Entry>(), 0u);
    EXPECT_EQ(said, "\nErr: Unable to read set." + std::string(load == LoadImageCatalog ? "crc" : "dat") +
                        ": injected fault\n")
        << failAt << c.text;
    CatalogRelease<Entry>();
    FreePatternList();
  }
}

TEST(DatReaderTest, TextToEntries) {
  const std::string longName(120, 'n'), longLine(990, 'L');
  const ReaderCase cases[] = {
      {"*.a26 *.bin  \n0012abcd Game.a26\n352441c2 My Game (USA).bin\r\n",
       "0012abcd Game.a26|352441c2 My Game (USA).bin", "*.a26 *.bin   \n"},
      {"x\n1234ABCD Super\tGame\r\n0xff Game\n1234abcd\n\n lead\n-1 neg\n+0X1F pos\n123456789 big\n1:a colon\n",
       "1234abcd Super\tGame|000000ff Game|00000000 lead|ffffffff neg|0000001f pos|ffffffff big|00000001 colon",
       "x \n"},
      {"[CREDITS]\nauthor=x\n[GAMES]\n\xAC" "a\xAC" "Game Name\xAC" "c\xAC" "d\xAC" "e\xAC"
       "1a2b3c4d\xAC" "1024\xAC\n\xAC" "a\xAC\xAC" "Game\xAC" "d\xAC" "e\xAC" "f\xAC" "1A2B3C4D\n"
       "[OTHER]\n\xAC" "1\xAC" "2\xAC" "3\xAC" "4\xAC" "5\n\xAC" "1\xAC" "Late\xAC" "3\xAC" "4\xAC"
       "5\xAC" "fFfF\r\n",
       "1a2b3c4d Game Name|1a2b3c4d Game|0000ffff Late", "*.* \n"},
      {"[GAMES]\r\n\xACx\xAC" "First\xAC" "c\xAC" "d\xAC" "e\xAC" "beef\n", "0000beef First", "*.* \n"},
      {"[GAMES]  \n\xACx\xAC" "Never\xAC" "c\xAC" "d\xAC" "e\xAC" "beef\n", "", "*.* \n"},
      {"[x] *.a26  \n00000001 Game\n", "", "*.* \n"},
      {"*.zip  \nError in zipfile /r/x.zip\nThe zipfile seems to be corrupt\n",
       "0000000e in zipfile /r/x.zip|00000000 zipfile seems to be corrupt", "*.zip   \n"},
      // A line of more than 999 bytes comes back in two.
      {"*.*\n00000001 " + longName + "\n00000002 " + longLine + "abc tail\n",
       "00000001 " + longName.substr(0, 100) + "|00000002 " + std::string(100, 'L') +
           "|00000abc tail",
       "*.* \n"},
      {"", "", ""},
      // A name is cut between two characters, where names are UTF-8.
      {"*.*\n00000001 " + std::string(99, 'A') + "\xC3\xA9z\n",
       "00000001 " + std::string(99, 'A') + (PlatformNamesAreUtf8() ? "" : "\xC3"), "*.* \n"},
  };
  for (const ReaderCase& c : cases) ExpectLoad<RomEntry>(c, LoadRomCatalog);
}

// Logiqx XML and ClrMamePro text: one entry per rom with a CRC-32 that is
// not a "nodump", in document order, with its game; a fault anywhere loads
// nothing, and a catalog that gives nothing says why.
TEST(DatReaderTest, XmlAndClrMameProToEntries) {
  const std::string all = "*.* \n", at = "\nErr: Catalog set.dat is not well-formed at line ",
                    xml = "<?xml version=\"1.0\"?>", why = "\nErr: Catalog set.dat ",
                    noCrc = why + "lists no rom with a CRC-32\n", longName(255, 'N');
  std::string deep = "clrmamepro ( ) x", deepXml;
  for (int i = 0; i < 100; ++i) deepXml = "<a>" + deepXml + "</a>";
  for (int i = 0; i < 16; ++i) deep += " ( a";
  const ReaderCase cases[] = {
      {"\xEF\xBB\xBF" + xml + "\r\n<!DOCTYPE datafile SYSTEM \"d.dtd\">\r\n<datafile><header><rom "
       "name=\"h\" crc=\"1\"/></header>\r\n<game name=\"g\"><description><![CDATA[<rom name='c' "
       "crc='2'/>]]></description><rom size=\"3\" crc=\"ABCDEF01\" name=\"A &amp; B&#65;\"/>\r\n"
       "<rom name='Two' crc='beef'/><rom name=\"n\" crc=\"3\" status=\"nodump\"/><rom name=\"m\"/>"
       "<disk name=\"d\" crc=\"4\"/><rom name=\"x\" crc=\"5\"><rom name=\"deep\" crc=\"6\"/></rom>"
       "</game>\r\n<game><rom name=\"y\" crc=\"7\" status=\"good\"/></game></datafile>\r\n",
       "abcdef01 A & BA @g|0000beef Two @g|00000005 x @g|00000007 y @", all},
      {xml + "<mame><machine><rom name=\"r\" crc=\"123456\"/></machine></mame>", "00123456 r @",
       all},
      {xml + "<list><game><rom name=\"r\" crc=\"1\"/></game></list>", "", all, noCrc},
      {"<datafile><game name=\"Solo\"><rom crc=\"9\" size=\"1\"/><rom name=\"" + longName +
           "\" crc=\"A\"/></game></datafile>",
       "00000009 Solo @Solo|0000000a " + longName + " @Solo", all},
      {"<datafile><game name=\"g\"><rom name=\"r\" sha1=\"00\"/></game></datafile>", "", all, noCrc},
      {"<datafile><game name=\"g\"><dir name=\"d\"><rom name=\"r\" crc=\"1\"/></dir></game>"
       "</datafile>",
       "", all, why + "keeps its roms in folders, which Tessary does not sort by\n"},
      {xml + "<softwarelist name=\"nes\"><software name=\"s\"><part><dataarea><rom name=\"r\" "
       "crc=\"1\"/></dataarea></part></software></softwarelist>",
       "", all, why + "is a software list, which Tessary does not sort by\n"},
      {xml + "\n<datafile>\n<game><rom name=\"a\" crc=\"1\"/>\n", "", all, at + "4\n"},
      {"\t\r\n<datafile>\n<game><rom name=\"a\" crc=\"1\"/></gmae>", "", all, at + "3\n"},
      {xml + "\n<!DOCTYPE d [\n<!ENTITY e \"x\">\n]><datafile/>", "", all, at + "3\n"},
      {xml + "<!DOCTYPE d SYSTEM \"d.dtd\">\n<datafile><game><rom name=\"&e;\" crc=\"1\"/>", "",
       all, at + "2\n"},
      {"<datafile><game>\n\n<rom name=\"a\" crc=\"123456789\"/></game>", "", all, at + "3\n"},
      {"<datafile><game>\n<rom name=\"a\" crc=\"1g\"/></game></datafile>", "", all, at + "2\n"},
      // Blank lines and a byte order mark before the declaration, counted.
      {"\xEF\xBB\xBF\r\n\n" + xml + "\n<datafile><game name=\"g\"><rom name=\"a\" crc=\"1\"/></game></datafile>",
       "00000001 a @g", all},
      {"\n\n" + xml + "\n<datafile>\n</gmae>", "", all, at + "5\n"},
      {"<datafile>" + deepXml + "</datafile>", "", all, at + "1\n"},
      // A parameter entity in the document's own DTD could declare "e".
      {xml + "<!DOCTYPE d [\n%pe;\n]>\n<datafile><game><rom name=\"&e;\" crc=\"1\"/></game></datafile>", "", all,
       at + "4\n"},
      {"\xEF\xBB\xBF\r\nclrmamepro (\r\n\tname \"Set (x)\"\r\n)\r\ngame (\r\n\tname g\r\n\trom ( "
       "name \"A (1) B.nes\" size 3 crc ABCDEF01 md5 x )\r\n\trom ( crc beef name Two )\r\n\trom ( "
       "name n crc 3 status nodump )\r\n\trom ( name m size 1 )\r\n)\r\nresource ( rom ( name r "
       "crc 5 ) disk ( name d crc 6 ) )\nmachine(rom(name m crc 7))\nemulator ( rom ( name e "
       "crc 8 ) )\n",
       "abcdef01 A (1) B.nes @g|0000beef Two @g|00000005 r @|00000007 m @", all},
      // Without a header block, with comment lines, "set" blocks, hashes
      // that are "-", "0X" CRCs, "flags nodump", and the game's name after
      // its roms or standing for a rom's.
      {"# made by hand\n#\n\nset ( rom ( crc - name skip ) rom ( name a#b crc 0X1F ) rom ( name b "
       "crc 2 flags nodump ) name \"S 1\" )\n  # between\ngame ( name G rom ( crc 3 size 1 ) )\n",
       "0000001f a#b @S 1|00000003 G @G", all},
      {"clrmamepro ( name x )\n", "", all, noCrc},
      {"clrmamepro (\n)\ngame (\nrom ( name a crc 1 )\n", "", all, at + "5\n"},
      {"clrmamepro ( )\ngame (\nrom ( name \"a crc 1 ) )\n", "", all, at + "3\n"},
      {"clrmamepro ( )\ngame ( rom ( name a crc 1 ) )\n\ngame ( name )", "", all, at + "4\n"},
      {"clrmamepro ( )\ngame ( rom ( name a\ncrc 123456789 ) )", "", all, at + "3\n"},
      {"clrmamepro ( )\ngame ( rom ( name a crc 123456789\n)\n)\n", "", all, at + "2\n"},
      {"zz ( )\ngame ( name g rom ( name b crc 2 ) )\n", "00000002 b @g", all},  // any first word
      {"clrmamepro ( ) )", "", all, at + "1\n"},
      {deep + " v" + std::string(16, ')'), "", all, noCrc},  // blocks 16 deep, and one more
      {deep + " ( b c )" + std::string(16, ')'), "", all, at + "1\n"},
      {"clrmamepro x\n00000001 a\n", "00000001 a", "clrmamepro x \n"},
  };
  for (const ReaderCase& c : cases) ExpectLoad<RomEntry>(c, LoadRomCatalog);
}

// XML over several pieces, and a piece of markup too large to hold.
TEST(DatReaderTest, LargeXml) {
  std::string text = "<datafile>\n", entries;
  for (int i = 0; i < 3000; ++i) {
    text += "<game name=\"g" + std::to_string(i) + "\"><rom name=\"r\" crc=\"" + Hex8(i + 1) + "\"/></game>\n";
    entries += (i > 0 ? "|" : "") + Hex8(i + 1) + " r @g" + std::to_string(i);
  }
  ExpectLoad<RomEntry>({text + "</datafile>\n", entries, "*.* \n"}, LoadRomCatalog);
  // A tag of exactly 1 MiB from the ">" before it to its own is read, one
  // byte more refused, wherever the 64 KiB pieces of the file break it.
  for (size_t shift : {0, 1000, 40000, 65535}) {
    std::string head = "<datafile><!--" + std::string(shift, 'c') + "--><game name=\"g\">\n<rom crc=\"1\" name=\"";
    for (size_t over : {0, 1}) {
      std::string name((1 << 20) - 23 + over, 'x');
      ExpectLoad<RomEntry>({head + name + "\"/></game></datafile>", over ? "" : "00000001 " + name.substr(0, 4096) + " @g",
                            "*.* \n", over ? "\nErr: Catalog set.dat is not well-formed at line 2\n" : ""},
                           LoadRomCatalog);
    }
  }
}

// UTF-16: XML is read, through expat; anything else is refused, never
// taken for a pattern line.
TEST(DatReaderTest, Utf16) {
  auto utf16 = [](const std::string& text, bool big) {
    std::string out = big ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : text) out += big ? std::string{'\0', c} : std::string{c, '\0'};
    return out;
  };
  const std::string xml = "<?xml version=\"1.0\" encoding=\"UTF-16\"?><datafile><game name=\"g\"><rom name=\"r\" "
                          "crc=\"1\"/></game></datafile>";
  for (bool big : {false, true}) {
    ExpectLoad<RomEntry>({utf16(xml, big), "00000001 r @g", "*.* \n"}, LoadRomCatalog);
    ExpectLoad<RomEntry>({utf16("*.a26\n00000001 r\n", big), "", "",
                          "\nErr: Catalog set.dat is UTF-16 text, which is read only as XML\n"},
                         LoadRomCatalog);
  }
}

// Text read as Windows reads text files: a carriage return before a line
// feed is dropped, a lone one kept, and 0x1A ends the text.
TEST(DatReaderTest, WindowsTextMode) {
  SourcePtr source = MemorySource("a\r\nb\r\r\nc\rd\n\x1A" "after\n");
  ByteReader bytes;
  ASSERT_TRUE(ByteReaderStart(&bytes, source.get()));
  char line[16];
  std::string lines;
  while (ReadLine(&bytes, true, line, sizeof line)) lines += std::string(line) + "|";
  EXPECT_EQ(lines, "a\n|b\r\n|c\rd\n|");
}

// A pattern line ends at a tab or a line-end control (9 to 13), and at no
// other control character.
TEST(DatReaderTest, APatternLineEndsAtATab) {
  char text[] = "*.a26\t*.bin  ", other[] = "*.a\x0e *.b";
  BuildPatternList(text, false);
  EXPECT_EQ(PatternListEntries(), std::vector<std::string>{"*.a26"});
  BuildPatternList(other, false);
  EXPECT_EQ(PatternListEntries(), (std::vector<std::string>{"*.a\x0e", "*.b"}));
  FreePatternList();
}

TEST(CrcReaderTest, TextToEntries) {
  const ReaderCase cases[] = {
      {"t\n-----\na.jpg 12345 640 x 480 a1b2c3d\n-----\nb.jpg 1 1 x 1 1\n",
       "a.jpg 12345 640 480 0a1b2c3d", ""},
      {"a.jpg 12345 640 x 480 a1b2c3d\nb.jpg 1 2 x 3 4\n", "", ""},
      {"-title\nheader\n---\n\r\n -x.jpg  1  2 x  3 0XA1B2C3D4\r\nshort 1 2 x 3\n"
       "a\tb.jpg 10 70000 x 65537 A1b2c3d4\n" + std::string(60, 'n') + " 1 2 x 3 5\n",
       "-x.jpg 1 2 3 a1b2c3d4|a\tb.jpg 10 4464 1 a1b2c3d4|" + std::string(50, 'n') +
           " 1 2 3 00000005", ""},
      {"only a title\n", "", ""},
      {"t\n-\n" + std::string(49, 'n') + "\xC3\xA9 1 2 x 3 4\n",
       std::string(49, 'n') + (PlatformNamesAreUtf8() ? "" : "\xC3") + " 1 2 3 00000004", ""},
  };
  for (const ReaderCase& c : cases) ExpectLoad<ImageEntry>(c, LoadImageCatalog);
}

// The dump of the archive `name` read through `open`: its line, then what
// identifying it said, then whether it names another file than was read.
std::string DumpArchive(const std::string& name, const SourceOpener& open) {
  RunState run;
  run.flags = RUN_DUMP;
  run.open = open;
  std::string patterns = "*.*";
  BuildPatternList(&patterns[0], false);
  MessageLog log;
  CollectMessages(&log);
  FileResult result;
  IdentifyRomFile(run, name, &result);
  CollectMessages(nullptr);
  FreePatternList();
  for (const auto& line : log.lines) result.dumpLine += line.second;
  return result.dumpLine + (result.crc != 0 && !(result.identity == FileIdentity{7, 7}) ? "another file" : "");
}

// Every read of an archive, zip or other, failing in turn: each failure
// ends in one report and no dump line.
TEST(ArchiveReaderTest, EveryFailedReadIsReportedOnce) {
  Crc32InitTable();
  const std::pair<std::string, std::string> cases[] = {
      {"zip/infozip-deflated.zip", "28d29e67"}, {"zip/7zip-deflated.zip", "28d29e67"},
      {"archives/nes-and-text.7z", "7be48a88"}, {"archives/set.tgz", "8a7da989"},
      {"archives/two-streams.a26.xz", "dd5d6b27"}, {"archives/game.a26.bz2", "fb3ae60f"},
  };
  for (const auto& c : cases) {
    std::ifstream file(std::string(SORTERS_FIXTURES_DIR) + "/" + c.first, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    const std::string name = c.first.substr(c.first.find('/') + 1);
    int reads = 0;
    ASSERT_EQ(DumpArchive(name, FaultyOpener(bytes, 0, &reads)), c.second + " " + name + "\n");
    for (int failAt = 1, all = reads; failAt <= all; ++failAt) {
      const std::string said = DumpArchive(name, FaultyOpener(bytes, failAt, &reads));
      EXPECT_TRUE(said.rfind("Error in ", 0) == 0 && said.find("Error in ", 1) == std::string::npos)
          << name << " " << failAt << ": " << said;
    }
  }
}

// 7z headers written by hand, as 7-Zip lays them out, and what the check
// before unpacking makes of them: a folder's decoders may ask for 256 MiB
// together and no more.
TEST(ArchiveChecksTest, SevenZipHeaders) {
  using namespace std::string_literals;
  const std::string start = "\x01\x04\x06\x00\x01\x09\x10\x00\x07\x0b\x01\x00"s;  // one pack stream, one folder
  const std::string lzma2 = "\x21\x21\x01", end = "\x0c\x10\x00\x00\x00"s;
  const std::pair<std::string, int> cases[] = {
      {start + "\x01" + lzma2 + "\x20" + end, ARCHIVE_CHECK_OK},          // LZMA2, 256 MiB
      {start + "\x01" + lzma2 + "\x21" + end, ARCHIVE_CHECK_DICTIONARY},  // 384 MiB
      {start + "\x01" + lzma2 + "\x28" + end, ARCHIVE_CHECK_DICTIONARY},  // 4 GiB
      {start + "\x01\x23\x03\x01\x01\x05\x5d\x00\x00\x00\x10"s + end, ARCHIVE_CHECK_OK},
      {start + "\x01\x23\x03\x01\x01\x05\x5d\x01\x00\x00\x10"s + end, ARCHIVE_CHECK_DICTIONARY},
      {start + "\x01\x23\x03\x04\x01\x05\x06\x01\x00\x00\x10"s + end, ARCHIVE_CHECK_DICTIONARY},  // PPMd
      {start + "\x01\x24\x06\xf1\x07\x01\x00"s + end, ARCHIVE_CHECK_ENCRYPTED},  // AES
      // Two decoders of 192 MiB in one folder, bound by one pair.
      {start + "\x02" + lzma2 + "\x1f" + lzma2 + "\x1f\x01\x00\x0c\x10\x10\x00\x00\x00"s, ARCHIVE_CHECK_DICTIONARY},
      {start + "\x02" + lzma2 + "\x1d" + lzma2 + "\x1d\x01\x00\x0c\x10\x10\x00\x00\x00"s, ARCHIVE_CHECK_OK},
      // One decoder of two packed streams (as BCJ2 has four), which name them.
      {start + "\x01\x11\x1b\x02\x01\x00\x01"s + end, ARCHIVE_CHECK_OK},
      // Archive properties, digests of every pack stream and of some, a
      // number of two bytes, and the files that follow the folders.
      {"\x01\x02\x05\x01\xaa\x00\x04\x06\x00\x01\x09\xc0\x00\x01\x0a\x01\x01\x02\x03\x04\x00\x07\x0b\x01"
                   "\x00\x01\x21\x21\x01\x20\x0c\x10\x0a\x00\x80\x01\x02\x03\x04\x00\x08\x00\x05"s, ARCHIVE_CHECK_OK},
      // Nine pack streams, digests of all but the first.
      {"\x01\x04\x06\x00\x09\x09"s + std::string(9, '\x01') + "\x0a\x00\x7f\x80"s + std::string(32, 'd') +
           "\x00\x07\x0b\x01\x00\x01"s + lzma2 + "\x20" + end, ARCHIVE_CHECK_OK},
      {start + "\x01" + lzma2, ARCHIVE_CHECK_CORRUPT},                 // cut short
      {"\x09" + start, ARCHIVE_CHECK_CORRUPT},                         // not a header
      {start + "\x01\xa1\x21" + end, ARCHIVE_CHECK_CORRUPT},           // reserved coder flag
      {start + "\x00"s + end, ARCHIVE_CHECK_CORRUPT},                   // a folder of no coders
  };
  SourcePtr none = MemorySource("");
  for (const auto& c : cases) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(c.first.data());
    EXPECT_EQ(CheckSevenZipHeader(none.get(), bytes, c.first.size()), c.second) << Printable(c.first);
  }
}

}  // namespace
