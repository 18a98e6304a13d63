#include "core/paths.h"

#include <cstdio>

#include "core/output.h"
#include "core/platform.h"
#include "core/text.h"

int PathFits(const std::string& path) {
  if (path.size() <= PlatformMaxPathLength()) return 1;
  Say(stderr, "\nErr: Path too long %s\n", Printable(path).c_str());
  return 0;
}

int BuildPath(const char* directory, const char* name, std::string* path) {
  path->assign(directory != nullptr ? directory : "");
  path->append(name);
  return PathFits(*path);
}

std::string ExtensionOfLastComponent(const std::string& path) {
  size_t nameStart = path.rfind(PlatformSeparator());
  nameStart = nameStart == std::string::npos ? 0 : nameStart + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < nameStart) return std::string();
  return path.substr(dot);
}
