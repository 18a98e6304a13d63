// Quarn as a tool of the shared run driver: everything in which it differs
// from the ROM tool.
#ifndef IMAGETOOL_TOOL_H_
#define IMAGETOOL_TOOL_H_

#include "core/run.h"

// The image tool's texts, catalog reader and per-file functions.
const ToolConfig& ImageTool();

#endif  // IMAGETOOL_TOOL_H_
