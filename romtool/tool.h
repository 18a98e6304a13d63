// Tessary as a tool of the shared run driver: everything in which it
// differs from the image tool.
#ifndef ROMTOOL_TOOL_H_
#define ROMTOOL_TOOL_H_

#include "core/run.h"

// The ROM tool's texts, catalog reader and per-file functions.
const ToolConfig& RomTool();

#endif  // ROMTOOL_TOOL_H_
