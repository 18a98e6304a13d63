// Wildcard matching of file names as the Windows directory listing does it.
#ifndef CORE_WILDCARD_H_
#define CORE_WILDCARD_H_

// Returns true when `name` matches `pattern`: "*" stands for any run of
// characters (also none), "?" for exactly one character, and ASCII letters
// match without regard to case. A pattern ending in ".*" also matches a
// name that holds no "." at all, so "*.*" matches every name. With `utf8`
// a character is a whole UTF-8 sequence (CharacterLength), else a byte.
bool WildcardMatches(const char* pattern, const char* name, bool utf8);

#endif  // CORE_WILDCARD_H_
