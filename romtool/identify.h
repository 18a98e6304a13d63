// Identifying ROM images: the ROM tool's per-file function.
#ifndef ROMTOOL_IDENTIFY_H_
#define ROMTOOL_IDENTIFY_H_

#include <string>

#include "core/run.h"

// Works out the CRC-32 of one found file of `run.directory`, read through
// `run.open`, into `result`: for a plain image,
// of the bytes its extension's header normalizer selects; for a zip
// archive (any extension that agrees with ".zip" over the shorter length),
// that of the last member whose extension the pattern list accepts. In
// dump mode the dump line is "%08x %s\n" with the name, a plain file's extension
// lowered. In rename mode `result->lookups` holds the CRC-32s to look the
// image up by: of its whole content, of what the normalizer selects, and
// of what follows a header found by its content (FindHeaderByContent);
// a member that needs no normalizer is looked up by the CRC-32 the
// archive records, without reading it. A name without an extension gives
// nothing. Any thread.
void IdentifyRomFile(const RunState& run, const std::string& foundName, FileResult* result);

#endif  // ROMTOOL_IDENTIFY_H_
