#include "cleanup/FolderRemoval.h"

#include <windows.h>

#include <cwchar>

#include "cleanup/log/CLOGFile.h"
#include "orb/AppProbe.h"

namespace {

const wchar_t kF1[] = L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi";
const wchar_t kF2[] = L"C:\\Program Files\\Vardo Corporation\\Vardo Corvane";
const wchar_t kF3[] = L"C:\\Program Files\\Common Files\\Vardo Corporation\\Moxicodec Filters";
const wchar_t kF4[] = L"C:\\Program Files\\Common Files\\Vardo Corporation\\TaviAgent";
const wchar_t kF5[] = L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Tavi";
const wchar_t kF6[] = L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Corvane";
const wchar_t kF7[] = L"C:\\Program Files (x86)\\Common Files\\Vardo Corporation\\Moxicodec Filters";
const wchar_t kF8[] = L"C:\\Program Files (x86)\\Common Files\\Vardo Corporation\\TaviAgent";
const wchar_t kS1[] = L"C:\\Users\\Public\\Desktop\\Vardo(R) Tavi.lnk";
const wchar_t kS2[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Tavi.lnk";
const wchar_t kS3[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo Corporation\\Vardo(R) Tavi";
const wchar_t kS4[] = L"C:\\Users\\Public\\Desktop\\Vardo(R) Corvane.lnk";
const wchar_t kS5[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Corvane.lnk";
const wchar_t kS6[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo Corporation\\Vardo(R) Corvane";
const wchar_t kS7[] = L"C:\\Users\\Public\\Desktop\\Vardor Corvane.lnk";
const wchar_t kS8[] = L"C:\\Users\\Public\\Desktop\\Vardo\u00AE Corvane.lnk";
const wchar_t kS9[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardor Corvane.lnk";
const wchar_t kS10[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo\u00AE Corvane.lnk";
const wchar_t kS11[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Corporation\\Vardor Corvane";
const wchar_t kS12[] = L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Corporation\\Vardo\u00AE Corvane";

// Each candidate's list spares that installation's folder and the Common Files folders of
// its own Program Files tree.
const wchar_t* const kCandidate1List[] = {kF1, kF2, kF3, kF4, kF6, kS4, kS5, kS6};
const wchar_t* const kCandidate2List[] = {kF2, kF5, kF6, kF7, kF8, kS4, kS5, kS6};
const wchar_t* const kCandidate3List[] = {kF1, kF2, kF3, kF4, kF5, kS1, kS2, kS3};
const wchar_t* const kCandidate4List[] = {kF1, kF5, kF6, kF7, kF8, kS1, kS2, kS3};
const wchar_t* const kFullList[] = {kF1, kF2, kF3, kF4, kF5, kF6, kF7, kF8, kS1,  kS2,
                                    kS3, kS4, kS5, kS6, kS7, kS8, kS9, kS10, kS11, kS12};

template <std::size_t N>
RemovalList ListOf(const wchar_t* const (&paths)[N]) {
    return RemovalList{paths, N};
}

// Sets result to folder, a backslash and name through Format; false, with result not to be
// used, when Format had to cut the text short, since a cut path may name another file.
bool ComposeChildPath(orb::String& result, const orb::String& folder, const wchar_t* name) {
    result.Clear();
    result.Format(L"%s\\%s", folder.Text(), name);
    return result.Length() == folder.Length() + 1 + static_cast<int>(std::wcslen(name));
}

// Sets result to the enumeration of folder ("\*.*" appended); false when cut short.
bool ComposeEnumeration(orb::String& result, const orb::String& folder) {
    result.Clear();
    result.Format(L"%s\\*.*", folder.Text());
    return result.Length() == folder.Length() + 4;
}

// Deletes one file (or file link) and logs it; a refusal adds its error line.
void DeleteOneFile(const orb::String& target) {
    const BOOL deleted = DeleteFileW(target.Text());
    const DWORD error = GetLastError();
    CLOGFile::Instance().Log(L"Delete File: %s", target.Text());
    if (!deleted) CLOGFile::Instance().Log(L"Delete failed (%lu): %s", error, target.Text());
}

// Removes one folder (or folder link) and logs it; a refusal adds its error line.
void RemoveOneFolder(const orb::String& dir) {
    const BOOL removed = RemoveDirectoryW(dir.Text());
    const DWORD error = GetLastError();
    CLOGFile::Instance().Log(L"Delete Folder: %s", dir.Text());
    if (!removed) CLOGFile::Instance().Log(L"Delete failed (%lu): %s", error, dir.Text());
}

// Deletes what one search entry names. work is the searched text, folder its folder part.
void DeleteEntry(const orb::String& work, const orb::String& folder, bool enumeration,
                 const WIN32_FIND_DATAW& entry) {
    const wchar_t* name = entry.cFileName;
    const EntryKind kind = ClassifyEntry(entry.dwFileAttributes);
    if (kind == EntryKind::File) {
        orb::String target;
        if (enumeration) {
            if (!ComposeChildPath(target, folder, name)) return;
        } else {
            target = PlainPathFileTarget(work, name);
            if (target.Length() == 0) return;
        }
        DeleteOneFile(target);
        return;
    }

    // A plain path names the folder itself; an enumeration finds it inside folder.
    orb::String dir(folder);
    if (enumeration && !ComposeChildPath(dir, folder, name)) return;
    if (kind == EntryKind::Folder) {
        // A folder too deep to enumerate keeps its contents; its removal then fails and
        // is logged.
        orb::String inside;
        if (ComposeEnumeration(inside, dir)) DeleteTree(inside.Text());
    }
    RemoveOneFolder(dir);
}

}  // namespace

RemovalList ChooseRemovalList(bool keepInstalled, const bool (&candidateExists)[4]) {
    if (keepInstalled) {
        if (candidateExists[0]) return ListOf(kCandidate1List);
        if (candidateExists[1]) return ListOf(kCandidate2List);
        if (candidateExists[2]) return ListOf(kCandidate3List);
        if (candidateExists[3]) return ListOf(kCandidate4List);
    }
    return ListOf(kFullList);
}

EntryKind ClassifyEntry(unsigned long attributes) {
    if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return EntryKind::File;
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) return EntryKind::Link;
    return EntryKind::Folder;
}

orb::String PlainPathFileTarget(const orb::String& work, const wchar_t* name) {
    if (work.Length() == 0) return orb::String();
    if (work.FindNoCase(name, 0) >= 0) return work;
    orb::String parent(work);
    if (const wchar_t* last = std::wcsrchr(parent.Text(), L'\\'))
        parent.Truncate(static_cast<int>(last - parent.Text()));
    orb::String target;
    if (!ComposeChildPath(target, parent, name)) target.Clear();
    return target;
}

void RemoveProductFolders(bool keepInstalled) {
    // Probing stops at the first candidate found, as only the first one decides.
    bool candidateExists[4] = {};
    if (keepInstalled) {
        for (std::size_t i = 0; i < 4; ++i) {
            candidateExists[i] = FileExists(AppCandidatePaths[i]);
            if (candidateExists[i]) break;
        }
    }
    const RemovalList list = ChooseRemovalList(keepInstalled, candidateExists);
    for (std::size_t i = 0; i < list.count; ++i) DeleteTree(list.paths[i]);
}

void DeleteTree(const wchar_t* path) {
    orb::String work(path);
    int length = work.Length();
    if (length == 0) return;
    if (work.Text()[length - 1] == L'\\') work.Truncate(--length);
    const bool enumeration = work.Find(L"\\*.*", 0) >= 0;
    orb::String folder(work);
    if (enumeration) folder.Truncate(length - 4);

    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW(work.Text(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (std::wcscmp(entry.cFileName, L".") != 0 && std::wcscmp(entry.cFileName, L"..") != 0)
            DeleteEntry(work, folder, enumeration, entry);
    } while (FindNextFileW(search, &entry));
    FindClose(search);
}
