#pragma once

#include <cstddef>

#include "orb/String.h"

// Deletes the folders and shortcuts of earlier product generations: the list that spares
// the installation found when keepInstalled is true and a candidate exists, else the full
// list. Every attempt is logged; a failed one never stops the next.
void RemoveProductFolders(bool keepInstalled);

// Deletes one file, or one folder with everything below it (path may also be a folder
// followed by "\*.*"); writes one log line per file and folder it tries to delete, and
// a "Delete failed" line after each one that the system refused. A folder that is a
// link is removed as a link and never entered. A missing path logs nothing.
void DeleteTree(const wchar_t* path);

// One fixed removal list: count paths, in the order they are deleted.
struct RemovalList {
    const wchar_t* const* paths;
    std::size_t count;
};

// The list RemoveProductFolders deletes: with keepInstalled, the list of the first
// candidate marked in candidateExists (rows of AppCandidatePaths); else, or when none is
// marked, the full list.
RemovalList ChooseRemovalList(bool keepInstalled, const bool (&candidateExists)[4]);

// How DeleteTree treats a search entry.
enum class EntryKind {
    Folder,  // emptied, then removed
    Link,    // a folder that is a reparse point: removed as a link, never entered
    File,    // deleted; a file that is a reparse point is deleted as a link
};

// The kind of a search entry from its attribute bits alone.
EntryKind ClassifyEntry(unsigned long attributes);

// The file to delete for an entry called name found by searching the plain path work:
// work itself when name occurs in it ignoring case, else name beside work's last
// component. Empty when that path would be too long to compose whole.
orb::String PlainPathFileTarget(const orb::String& work, const wchar_t* name);
