#pragma once

// Deletes the folders and shortcuts of earlier product generations: the list that spares
// the installation found when keepInstalled is true and a candidate exists, else the full
// list. Every attempt is logged.
void RemoveProductFolders(bool keepInstalled);

// Deletes one file, or one folder with everything below it (path may also be a folder
// followed by "\*.*"); writes one log line per file and folder it deletes.
void DeleteTree(const wchar_t* path);
