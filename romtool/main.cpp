// Tessary: lists and sorts cartridge ROM images by their CRC-32.
#include "core/catalog.h"
#include "core/run.h"
#include "romtool/dat_reader.h"
#include "romtool/identify.h"

namespace {

const ToolConfig kRomTool = {
    "Tessary v1.0 (Release)\n",
    "Usage   : Tessary [-d] [system] [extensions]\n\n",
    "\nEx: To rename Atari 2600, type 'Tessary 2600'\n",
    "    To make a 2600 dat, type 'Tessary -d *.a26 *.bin > 2600.dat'\n",
    "dat",
    LoadRomCatalog,
    CatalogClear<RomEntry>,
    IdentifyRomFile,
    WriteMissingRoms,
    true,  // the pattern line is the first line of a dumped catalog
    true,  // archives are looked into whatever the patterns say
};

}  // namespace

int main(int argc, char** argv) { return RunTool(kRomTool, argc, argv); }
