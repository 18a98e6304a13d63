#include "romtool/tool.h"

#include "core/catalog.h"
#include "core/placement.h"
#include "romtool/dat_reader.h"
#include "romtool/identify.h"

// Archives are looked into whatever the patterns say: zip first, as it
// always is, then the others in the order users meet them.
const char* const kArchiveWalks[] = {"*.zip", "*.7z", "*.rar", "*.tar", "*.gz",
                                     "*.tgz", "*.bz2", "*.xz",  nullptr};

const ToolConfig& RomTool() {
  static const ToolConfig kRomTool = {
      "Tessary v" SORTERS_VERSION " (Release)\n",
      "Usage   : Tessary [-d] [system] [extensions]\n\n",
      "\nEx: To rename Atari 2600, type 'Tessary 2600'\n",
      "    To make a 2600 dat, type 'Tessary -d *.a26 *.bin > 2600.dat'\n",
      "dat",
      LoadRomCatalog,
      CatalogClear<RomEntry>,
      IdentifyRomFile,
      PlaceRomFile,
      WriteMissingRoms,
      true,  // the pattern line is the first line of a dumped catalog
      kArchiveWalks,
  };
  return kRomTool;
}
