#include "imagetool/tool.h"

#include "core/catalog.h"
#include "core/placement.h"
#include "imagetool/crc_reader.h"
#include "imagetool/identify.h"

const ToolConfig& ImageTool() {
  static const ToolConfig kImageTool = {
      "Quarn v" SORTERS_VERSION " (Release)\n",
      "Usage   : Quarn [-d] [system] [extensions]\n\n",
      "\nEx: To rename from 'ph_set14.crc', type 'Quarn phset_14'\n",
      "    To make 'ph_set14.crc', type 'Quarn -d *.jpg > phset_14.crc'\n",
      "crc",
      LoadImageCatalog,
      CatalogClear<ImageEntry>,
      IdentifyImageFile,
      PlaceIdentifiedFile<ImageEntry>,
      WriteMissingImages,
      false,  // a .crc catalog has no pattern line: dump lines only
      nullptr,  // pictures are never looked for inside archives
  };
  return kImageTool;
}
