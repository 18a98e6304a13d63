// Building the paths of a run within the platform's length limit.
#ifndef CORE_PATHS_H_
#define CORE_PATHS_H_

#include <string>

// Stores `directory` followed directly by `name` in `path` (no separator
// is added: directories end with one), or `name` alone when `directory` is
// null. Returns 1 when the path fits the platform's limit; otherwise
// prints "\nErr: Path too long %s\n" to standard error and returns 0, and
// `path` must not be used.
int BuildPath(const char* directory, const char* name, std::string* path);

// Returns 1 when `path` fits the platform's limit; otherwise prints the
// message of BuildPath and returns 0.
int PathFits(const std::string& path);

// The text from the last "." of the final component of `path`, or "" when
// that component has none.
std::string ExtensionOfLastComponent(const std::string& path);

#endif  // CORE_PATHS_H_
