// Quarn: lists and sorts JPEG pictures by their CRC-32.
#include "core/catalog.h"
#include "core/run.h"
#include "imagetool/crc_reader.h"
#include "imagetool/identify.h"

namespace {

const ToolConfig kImageTool = {
    "Quarn v1.0 (Release)\n",
    "Usage   : Quarn [-d] [system] [extensions]\n\n",
    "\nEx: To rename from 'ph_set14.crc', type 'Quarn phset_14'\n",
    "    To make 'ph_set14.crc', type 'Quarn -d *.jpg > phset_14.crc'\n",
    "crc",
    LoadImageCatalog,
    CatalogClear<ImageEntry>,
    IdentifyImageFile,
    WriteMissingImages,
    false,  // a .crc catalog has no pattern line: dump lines only
    false,  // pictures are never looked for inside archives
};

}  // namespace

int main(int argc, char** argv) { return RunTool(kImageTool, argc, argv); }
