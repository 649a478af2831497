#include "cleanup/FolderRemoval.h"

// Placeholder bodies: filled in by the folder removal work.

void RemoveProductFolders(bool) {}

void DeleteTree(const wchar_t*) {}
