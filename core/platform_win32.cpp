// Win32 implementation of the platform interface: the directory functions
// of the Windows API and the C runtime's rename, with paths of at most 255
// characters, the size of the tools' path buffers.
#include <windows.h>
#include <winioctl.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "core/platform.h"
#include "core/text.h"
#include "core/wildcard.h"

namespace {

const size_t kMaxPath = 255;

// The last component of a path pattern, after either separator that
// Windows accepts.
const char* LastComponent(const std::string& pathPattern) {
  size_t cut = pathPattern.find_last_of("\\/");
  return pathPattern.c_str() + (cut == std::string::npos ? 0 : cut + 1);
}

bool IsListedFile(const WIN32_FIND_DATAA& found, const char* pattern) {
  if (found.cFileName[0] == '.') return false;
  if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return false;
  // FindFirstFileA also matches the generated 8.3 short name, so "*.jpe"
  // would find "photo.jpeg"; only names whose own spelling matches count.
  return WildcardMatches(pattern, found.cFileName, PlatformNamesAreUtf8() != 0);
}

// Opens `path` for reading with the sharing that lets other programs go on
// using it. Anything that is not a file on disk (a device such as CON or
// COM1, a pipe) is closed again at once, before a single byte is read.
HANDLE OpenDiskFile(const char* path) {
  HANDLE file =
      CreateFileA(path, GENERIC_READ,
                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return INVALID_HANDLE_VALUE;
  if (GetFileType(file) != FILE_TYPE_DISK) {
    CloseHandle(file);
    return INVALID_HANDLE_VALUE;
  }
  return file;
}

// "COM" or "LPT" followed by one digit 1 to 9, or by the superscripts 1, 2
// and 3 (code page 1252) that Windows also takes as those digits.
bool IsNumberedPort(const std::string& stem) {
  if (stem.size() != 4) return false;
  std::string prefix = stem.substr(0, 3);
  if (prefix != "COM" && prefix != "LPT") return false;
  unsigned char digit = static_cast<unsigned char>(stem[3]);
  return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 ||
         digit == 0xB3;
}

// The UTF-16 form of `utf8` in `wide`; false when `utf8` is not valid
// UTF-8 (MB_ERR_INVALID_CHARS: no invalid byte turns into U+FFFD).
bool WideFromUtf8(const std::string& utf8, std::wstring* wide) {
  wide->clear();
  if (utf8.empty()) return true;
  if (utf8.size() > INT_MAX) return false;
  int size = static_cast<int>(utf8.size());
  int length = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, nullptr, 0);
  if (length <= 0) return false;
  wide->resize(static_cast<size_t>(length));
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), size, &(*wide)[0],
                             length) == length;
}

// `wide` in the ANSI code page, in `name`; false when a character has no
// spelling of its own there. WC_NO_BEST_FIT_CHARS keeps Windows from
// putting a look-alike in its place ("ı" as "i"), which would be
// another name, possibly one with a meaning (a full-width "／" as "/").
bool AnsiFromWide(const std::wstring& wide, std::string* name) {
  name->clear();
  if (wide.empty()) return true;
  int size = static_cast<int>(wide.size());
  BOOL usedDefault = FALSE;
  int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr, 0,
                                   nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return false;
  name->resize(static_cast<size_t>(length));
  return WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), size, &(*name)[0], length,
                             nullptr, &usedDefault) == length && !usedDefault;
}

}  // namespace

namespace {

UINT g_consoleCodePage = 0;  // the console's own, given back at the exit

void RestoreConsoleCodePage() { SetConsoleOutputCP(g_consoleCodePage); }

bool OnConsole(DWORD stream) {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(stream), &mode) != 0;
}

}  // namespace

// On a console, names print as UTF-8 while the program runs; output to
// files and pipes is the bytes as they are.
void PlatformPrepareProcess() {
  if (GetACP() != CP_UTF8 || !(OnConsole(STD_OUTPUT_HANDLE) || OnConsole(STD_ERROR_HANDLE))) return;
  g_consoleCodePage = GetConsoleOutputCP();
  if (SetConsoleOutputCP(CP_UTF8)) std::atexit(RestoreConsoleCodePage);
}

char PlatformSeparator() { return '\\'; }

// A colon names an alternate data stream ("a.bin:hidden") or a path
// relative to another drive ("C:x"): either would put a file elsewhere.
const char* PlatformPathCharacters() { return "/\\:"; }

// Names are UTF-8 where the program's manifest made that the code page
// (Windows 10 1903 and later), else bytes of the ANSI code page.
int PlatformNamesAreUtf8() { return GetACP() == CP_UTF8 ? 1 : 0; }

std::string PlatformNameFromCatalogBytes(const std::string& bytes) {
  std::wstring wide;
  if (GetACP() != CP_UTF8 || WideFromUtf8(bytes, &wide)) return bytes;
  // Not UTF-8: written on Windows before names were, in its code page.
  int size = static_cast<int>(bytes.size());
  int length = MultiByteToWideChar(1252, 0, bytes.data(), size, nullptr, 0);
  if (length <= 0) return bytes;
  wide.resize(static_cast<size_t>(length));
  MultiByteToWideChar(1252, 0, bytes.data(), size, &wide[0], length);
  int utf8 = WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, nullptr, 0, nullptr, nullptr);
  std::string name(static_cast<size_t>(utf8 > 0 ? utf8 : 0), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.data(), length, &name[0], utf8, nullptr, nullptr);
  return name;
}

int PlatformNameFromUtf8(const std::string& utf8, std::string* name) {
  std::wstring wide;
  if (!WideFromUtf8(utf8, &wide)) return 0;
  // A UTF-8 code page spells every character, and takes no flags.
  if (GetACP() == CP_UTF8) {
    *name = utf8;
    return 1;
  }
  return AnsiFromWide(wide, name) ? 1 : 0;
}

std::string PlatformErrorText() {
  char text[256];
  DWORD length = FormatMessageA(
      FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
      GetLastError(), 0, text, sizeof text, nullptr);
  // The system's text ends with a line break; the messages add their own.
  while (length > 0 && (text[length - 1] == '\r' || text[length - 1] == '\n' ||
                        text[length - 1] == '.')) {
    --length;
  }
  return std::string(text, length);
}

size_t PlatformMaxPathLength() { return kMaxPath; }

int PlatformCurrentDirectory(std::string* out) {
  out->clear();
  char buffer[kMaxPath + 1];
  // The result is the length without the terminator, or the size needed
  // (terminator included) when the buffer is too small.
  DWORD length = GetCurrentDirectoryA(sizeof buffer, buffer);
  if (length == 0 || length > kMaxPath) return 0;
  out->assign(buffer, length);
  return 1;
}

int PlatformListDirectory(const std::string& pathPattern,
                          std::vector<std::string>* names) {
  names->clear();
  const char* pattern = LastComponent(pathPattern);
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(pathPattern.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) {
    return GetLastError() == ERROR_FILE_NOT_FOUND ? 1 : 0;  // no match
  }
  // The order is the file system's own: sorted on NTFS, the order of the
  // directory entries on FAT volumes.
  do {
    if (IsListedFile(found, pattern)) names->push_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  DWORD ended = GetLastError();
  FindClose(search);
  SetLastError(ended);
  return ended == ERROR_NO_MORE_FILES ? 1 : 0;
}

int PlatformExists(const std::string& path) {
  // Takes the name literally: no wildcards, and no match by a short name.
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES ? 1 : 0;
}

int PlatformFreeDescriptors() { return 1 << 20; }

int PlatformStderrIsTerminal() { return OnConsole(STD_ERROR_HANDLE) ? 1 : 0; }
int PlatformStdoutIsTerminal() { return OnConsole(STD_OUTPUT_HANDLE) ? 1 : 0; }

size_t PlatformTerminalWidth() {
  CONSOLE_SCREEN_BUFFER_INFO info;
  if (!GetConsoleScreenBufferInfo(GetStdHandle(STD_ERROR_HANDLE), &info)) return 80;
  int width = info.srWindow.Right - info.srWindow.Left + 1;
  return width > 0 ? static_cast<size_t>(width) : 80;
}

uint64_t PlatformFileSize(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return uint64_t{data.nFileSizeHigh} << 32 | data.nFileSizeLow;
}

uint64_t PlatformPhysicalMemory() {
  MEMORYSTATUSEX status;
  status.dwLength = sizeof status;
  return GlobalMemoryStatusEx(&status) ? status.ullTotalPhys : 0;
}

int PlatformOpenFailedForLackOfResources() {
  DWORD error = GetLastError();
  return error == ERROR_TOO_MANY_OPEN_FILES || error == ERROR_NOT_ENOUGH_MEMORY;
}

int PlatformOnRotationalDisk(const std::string& folder) {
  char volume[MAX_PATH + 1];
  if (!GetVolumePathNameA(folder.c_str(), volume, sizeof volume)) return 0;
  std::string device = "\\\\.\\" + std::string(volume);
  if (device.back() == '\\') device.pop_back();  // "\\.\C:"
  // Asking needs no access rights to the volume itself.
  HANDLE handle = CreateFileA(device.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, 0, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return 0;
  STORAGE_PROPERTY_QUERY query = {};
  query.PropertyId = StorageDeviceSeekPenaltyProperty;
  query.QueryType = PropertyStandardQuery;
  DEVICE_SEEK_PENALTY_DESCRIPTOR penalty = {};
  DWORD got = 0;
  BOOL known = DeviceIoControl(handle, IOCTL_STORAGE_QUERY_PROPERTY, &query,
                               sizeof query, &penalty, sizeof penalty, &got, nullptr);
  CloseHandle(handle);
  return known && got >= sizeof penalty && penalty.IncursSeekPenalty ? 1 : 0;
}

int PlatformIsFolder(const std::string& path) {
  DWORD attributes = GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES &&
         (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

int PlatformCreateFolder(const std::string& path) {
  return CreateDirectoryA(path.c_str(), nullptr) ? 1 : 0;
}

int PlatformMoveFile(const std::string& from, const std::string& to, int, const FileIdentity&,
                     std::string* leftAs) {
  leftAs->clear();
  // The C runtime's rename never replaces an existing target on Windows,
  // and a file open elsewhere cannot be swapped for another.
  return std::rename(from.c_str(), to.c_str()) == 0 ? MOVE_DONE : MOVE_FAILED;
}

namespace {

FileIdentity IdentityOf(HANDLE file) {
  BY_HANDLE_FILE_INFORMATION information;
  if (!GetFileInformationByHandle(file, &information)) return FileIdentity();
  return FileIdentity{information.dwVolumeSerialNumber,
                      uint64_t{information.nFileIndexHigh} << 32 | information.nFileIndexLow};
}

// The volume a path lies on, as its root ("C:\\").
std::string VolumeOf(const std::string& path) {
  char volume[MAX_PATH + 1];
  return GetVolumePathNameA(path.c_str(), volume, sizeof volume) ? volume : "";
}

}  // namespace

int PlatformIdentity(const std::string& path, FileIdentity* identity) {
  HANDLE file = CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 0;
  *identity = IdentityOf(file);
  CloseHandle(file);
  return 1;
}

int PlatformCanMoveInto(const std::string& from, const std::string& folder) {
  // A rename never crosses volumes; rights are the system's to judge.
  return VolumeOf(from) == VolumeOf(folder) ? 1 : 0;
}

size_t PlatformMaxNameLength() { return 255; }

int PlatformFoldsCase(const std::string&) { return 1; }

PlatformFile PlatformOpenFile(const char* path, uint64_t* size, FileIdentity* identity) {
  HANDLE file = OpenDiskFile(path);
  if (file == INVALID_HANDLE_VALUE) return kNoFile;
  LARGE_INTEGER length;
  if (!GetFileSizeEx(file, &length) || length.QuadPart < 0) {
    CloseHandle(file);
    return kNoFile;
  }
  *size = static_cast<uint64_t>(length.QuadPart);
  if (identity != nullptr) *identity = IdentityOf(file);
  return reinterpret_cast<PlatformFile>(file);
}

int PlatformReadAt(PlatformFile file, uint64_t offset, unsigned char* into, size_t count,
                   size_t* got) {
  HANDLE handle = reinterpret_cast<HANDLE>(file);
  *got = 0;
  // ReadFile counts in DWORDs: larger reads go in pieces of 1 GiB.
  const size_t kPiece = 1u << 30;
  while (count > 0) {
    OVERLAPPED at = {};
    at.Offset = static_cast<DWORD>(offset);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    DWORD wanted = static_cast<DWORD>(count < kPiece ? count : kPiece);
    DWORD part = 0;
    if (!ReadFile(handle, into, wanted, &part, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return 0;
    }
    if (part == 0) break;  // the end of the file
    *got += part;
    offset += part;
    into += part;
    count -= part;
  }
  return 1;
}

void PlatformCloseFile(PlatformFile file) {
  CloseHandle(reinterpret_cast<HANDLE>(file));
}

int PlatformTextModeTranslates() { return 1; }

int PlatformNameIsReserved(const char* name) {
  // Windows takes a device name with any extension, and with spaces
  // before the extension, as the device itself.
  std::string stem(name, std::strcspn(name, "."));
  while (!stem.empty() && stem.back() == ' ') stem.pop_back();
  for (char& c : stem)
    c = static_cast<char>(AsciiUpper(static_cast<unsigned char>(c)));
  if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL") {
    return 1;
  }
  return IsNumberedPort(stem) ? 1 : 0;
}
