// Identifying ROM images: the ROM tool's per-file function.
#ifndef ROMTOOL_IDENTIFY_H_
#define ROMTOOL_IDENTIFY_H_

// Works out the CRC-32 of one found file: for a plain image, of the bytes
// its extension's header normalizer selects; for a zip archive (any
// extension that agrees with ".zip" over the shorter length), that of the
// last member whose extension the pattern list accepts. A non-zero CRC-32
// is then written as the dump line "%08x %s\n" (dump mode) or handed to
// the placement (rename mode). Lowers the extension of a plain file's
// `foundName` in place. Returns 0 when `foundName` has no extension, else 1.
int IdentifyRomFile(char* foundName, const char* directory, int flags);

#endif  // ROMTOOL_IDENTIFY_H_
