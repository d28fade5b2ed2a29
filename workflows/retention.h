// Retention of dated backup sets: below a folder, the sub-folders named by a date as the date
// check box names them (MM-DD-YYYY) that hold one backup set and nothing else; the oldest beyond
// a number to keep are removed whole, or are left in a state that the next run finishes.
#pragma once

#include <string>
#include <vector>

#include "platform.h"

// The date of a folder name as year * 10000 + month * 100 + day when the name is exactly
// MM-DD-YYYY with a real date (leap years included), else 0.
int DateFolderKey(const std::string &name);

// What a removal renames a set's folder to before it removes the first file: the date folder's
// name followed by this, a name that no set can have ("12-01-2026.wird-entfernt").
extern const char *const kRemovalSuffix;

// True when folder holds the files of one backup set and nothing else (IsRemovableSet of its
// listing).
bool HoldsOnlyOneSet(const std::string &folder);

// A file that a removal could not remove: it stays in its renamed folder until a later run.
struct RetentionLeftover {
  std::string folder;  // the renamed folder ("...\12-01-2026.wird-entfernt")
  std::string file;    // the file that stayed; the folder itself when only the folder stayed
  DWORD code;          // why (the system's error code)
};

struct RetentionResult {
  std::vector<std::string> removed;          // folders removed whole (sets, and leftovers finished)
  std::vector<RetentionLeftover> leftovers;  // what stayed behind in renamed folders
  std::vector<RetentionLeftover> kept;       // sets to remove that could not be renamed (a file in
                                             // them open, on NTFS): whole and untouched
};

// First finishes the removals that earlier runs left unfinished (folders named with kRemovalSuffix
// that hold nothing but files a set may hold), then removes the date-named sets of folder beyond
// the newest `keep`; the set named current (the one just written) is one of those kept, whatever
// its date. A folder that is not such a set, or that another run holds (its lock file), is neither
// counted nor touched. A set goes by renaming its folder, then file by file without following a
// link, then the folder: anything that cannot be removed stays in the renamed folder.
RetentionResult RemoveOldSets(const std::string &folder, int keep, const std::string &current);
