// The run's pattern list: the wildcard patterns that choose which files of
// the current directory are looked at, and the extension test built on it.
//
// The list is process-wide. It does not exist until it is built, once per
// run, from the command line (dump mode) or by the catalog reader (rename
// mode), and it is freed at the end of the run.
#ifndef CORE_PATTERNS_H_
#define CORE_PATTERNS_H_

#include <string>
#include <vector>

// Builds the process-wide list from `text`. `text` is
// trimmed in place with TrimLineEnd; when `echo` is true the trimmed text
// is then written to standard output as "%s \n" (the first line of a
// catalog being dumped). Patterns are separated by single spaces; the text
// ends at its end or before the first control character (codes 9 to 13);
// an empty pattern (two spaces in a row, a leading or trailing space) ends
// the list, and what follows it is never seen.
void BuildPatternList(char* text, bool echo);

// Returns true once a list has been built (even one without patterns).
bool PatternListExists();

// The patterns of the list in order; empty when there is no list.
const std::vector<std::string>& PatternListEntries();

// Returns true when a file extension such as ".A26" passes the list: when
// the first pattern is exactly "*.*", or when some pattern, after one
// leading "*", agrees with the extension by ExtensionMatches.
bool PatternListAccepts(const char* extension);

// Forgets the list; afterwards no list exists.
void FreePatternList();

#endif  // CORE_PATTERNS_H_
