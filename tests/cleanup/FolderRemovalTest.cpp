#include "cleanup/FolderRemoval.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/LogCapture.h"
#include "tests/support/TestSupport.h"

using tavi_test::CreateFolders;
using tavi_test::ReadFileBytes;
using tavi_test::RemoveTree;
using tavi_test::WriteFileBytes;

namespace {

// The twenty fixed paths, written out here on their own so that a misspelt path in the
// tool fails the tests.
enum Id { F1, F2, F3, F4, F5, F6, F7, F8, S1, S2, S3, S4, S5, S6, S7, S8, S9, S10, S11, S12 };
const wchar_t* const kPaths[] = {
    L"C:\\Program Files\\Vardo Corporation\\Vardo Tavi",
    L"C:\\Program Files\\Vardo Corporation\\Vardo Corvane",
    L"C:\\Program Files\\Common Files\\Vardo Corporation\\Moxicodec Filters",
    L"C:\\Program Files\\Common Files\\Vardo Corporation\\TaviAgent",
    L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Tavi",
    L"C:\\Program Files (x86)\\Vardo Corporation\\Vardo Corvane",
    L"C:\\Program Files (x86)\\Common Files\\Vardo Corporation\\Moxicodec Filters",
    L"C:\\Program Files (x86)\\Common Files\\Vardo Corporation\\TaviAgent",
    L"C:\\Users\\Public\\Desktop\\Vardo(R) Tavi.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Tavi.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo Corporation\\Vardo(R) Tavi",
    L"C:\\Users\\Public\\Desktop\\Vardo(R) Corvane.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Corvane.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo Corporation\\Vardo(R) Corvane",
    L"C:\\Users\\Public\\Desktop\\Vardor Corvane.lnk",
    L"C:\\Users\\Public\\Desktop\\Vardo\u00AE Corvane.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardor Corvane.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo\u00AE Corvane.lnk",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Corporation\\Vardor Corvane",
    L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs\\Vardo(R) Corporation\\Vardo\u00AE Corvane",
};
constexpr int kPathCount = 20;

bool IsFolderEntry(int id) {
    return id <= F8 || id == S3 || id == S6 || id == S11 || id == S12;
}

const std::vector<int> kCandidate1List = {F1, F2, F3, F4, F6, S4, S5, S6};
const std::vector<int> kCandidate2List = {F2, F5, F6, F7, F8, S4, S5, S6};
const std::vector<int> kCandidate3List = {F1, F2, F3, F4, F5, S1, S2, S3};
const std::vector<int> kCandidate4List = {F1, F5, F6, F7, F8, S1, S2, S3};
const std::vector<int> kFullList = {F1, F2, F3, F4, F5, F6, F7, F8, S1, S2,
                                    S3, S4, S5, S6, S7, S8, S9, S10, S11, S12};

// The folder that holds each row of the application candidates.
const int kCandidateFolder[4] = {F5, F1, F6, F2};

std::wstring P(int id) { return kPaths[id]; }

// The log writes each wide character of a path as the byte of the same value.
std::string Bytes(const std::wstring& text) {
    std::string bytes;
    for (wchar_t c : text) bytes.push_back(static_cast<char>(c));
    return bytes;
}

std::string FileLine(const std::wstring& path) { return "Delete File: " + Bytes(path); }
std::string FolderLine(const std::wstring& path) { return "Delete Folder: " + Bytes(path); }
std::string FailedLine(DWORD error, const std::wstring& path) {
    return "Delete failed (" + std::to_string(error) + "): " + Bytes(path);
}

bool Exists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Attributes of path as a search returns them (what DeleteTree judges by).
DWORD SearchAttributes(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    HANDLE search = FindFirstFileW(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return INVALID_FILE_ATTRIBUTES;
    FindClose(search);
    return entry.dwFileAttributes;
}

std::wstring Parent(const std::wstring& path) { return path.substr(0, path.rfind(L'\\')); }

bool MakeFile(const std::wstring& path) {
    return CreateFolders(Parent(path)) && WriteFileBytes(path, "x");
}

// The Linux path of an existing Windows path of the prefix.
std::wstring UnixPathOf(const std::wstring& path) {
    using UnixFileName = char*(CDECL*)(const wchar_t*);
    const auto convert = reinterpret_cast<UnixFileName>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "wine_get_unix_file_name")));
    if (!convert) return std::wstring();
    char* unixPath = convert(path.c_str());
    if (!unixPath) return std::wstring();
    const std::wstring result = tavi_test::Widen(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

// Runs a Linux program (Wine starts it by its Z: path) with arguments given in double
// quotes, and waits until done() holds: Wine hands the program over without a process
// handle to wait on. False when done() still fails after ten seconds.
bool RunLinux(const wchar_t* program, const std::vector<std::wstring>& arguments,
              const std::function<bool()>& done) {
    std::wstring line = program;
    for (const std::wstring& argument : arguments) line += L" \"" + argument + L"\"";
    std::vector<wchar_t> commandLine(line.begin(), line.end());
    commandLine.push_back(L'\0');
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &info))
        return false;
    if (info.hThread) CloseHandle(info.hThread);
    if (info.hProcess) CloseHandle(info.hProcess);
    for (int wait = 0; wait < 500; ++wait) {
        if (done()) return true;
        Sleep(20);
    }
    return done();
}

// Clears the twenty paths before and after each test, so each test sees only what it
// builds; "C:\Users\All Users" does not exist in a new prefix and is made here.
class FolderRemovalTest : public testing::Test {
protected:
    void SetUp() override {
        ClearAll();
        ASSERT_TRUE(CreateFolders(L"C:\\Users\\All Users\\Microsoft\\Windows\\Start Menu\\Programs"));
        log_.NewMessages();
    }
    void TearDown() override { ClearAll(); }

    static void ClearAll() {
        for (const wchar_t* path : kPaths) RemoveTree(path);
    }

    // Puts a folder or a file, as the list expects, at each of the twenty paths.
    static void CreateAll() {
        for (int id = 0; id < kPathCount; ++id) {
            const bool made = IsFolderEntry(id) ? CreateFolders(P(id)) : MakeFile(P(id));
            ASSERT_TRUE(made) << Bytes(P(id));
        }
    }

    tavi_test::LogCapture log_;
};

}  // namespace

TEST(FolderRemovalDecision, ListOfTheFirstCandidateFoundWhenKeepingTheInstallation) {
    const struct {
        bool keepInstalled;
        bool exists[4];
        const std::vector<int>* list;
    } cases[] = {
        {false, {false, false, false, false}, &kFullList},
        {false, {true, true, true, true}, &kFullList},
        {true, {false, false, false, false}, &kFullList},
        {true, {true, false, false, false}, &kCandidate1List},
        {true, {false, true, false, false}, &kCandidate2List},
        {true, {false, false, true, false}, &kCandidate3List},
        {true, {false, false, false, true}, &kCandidate4List},
        {true, {true, false, true, false}, &kCandidate1List},
        {true, {false, true, true, true}, &kCandidate2List},
        {true, {false, false, true, true}, &kCandidate3List},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "keep " << c.keepInstalled << ", exists " << c.exists[0]
                                        << c.exists[1] << c.exists[2] << c.exists[3]);
        const RemovalList chosen = ChooseRemovalList(c.keepInstalled, c.exists);
        std::vector<std::wstring> actual(chosen.paths, chosen.paths + chosen.count);
        std::vector<std::wstring> expected;
        for (int id : *c.list) expected.push_back(P(id));
        EXPECT_EQ(expected, actual);
    }
}

TEST(FolderRemovalDecision, FolderIsAnyEntryWithTheDirectoryBitAndLinksAreNeverEntered) {
    const struct { unsigned long attributes; EntryKind kind; } cases[] = {
        {0x10, EntryKind::Folder},   // plain
        {0x11, EntryKind::Folder},   // read-only
        {0x12, EntryKind::Folder},   // hidden
        {0x14, EntryKind::Folder},   // system
        {0x30, EntryKind::Folder},   // archive
        {0x410, EntryKind::Link},    // junction, mount point or folder link
        {0x411, EntryKind::Link},
        {0x400, EntryKind::File},    // file link
        {0x20, EntryKind::File},
        {0x21, EntryKind::File},
        {0x80, EntryKind::File},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.kind, ClassifyEntry(c.attributes)) << std::hex << "0x" << c.attributes;
}

TEST(FolderRemovalDecision, PlainPathFileTargetIsThePathWhenItHoldsTheName) {
    const std::wstring tooLong = L"C:\\" + std::wstring(1015, L'd') + L"\\x.lnk";
    const struct { std::wstring work; const wchar_t* name; std::wstring target; } cases[] = {
        {P(S1), L"Vardo(R) Tavi.lnk", P(S1)},
        {P(S1), L"VARDO(r) tavi.LNK", P(S1)},                 // case of A to Z ignored
        {P(F1), L"Tavi", P(F1)},                              // the name occurs inside
        {P(S1), L"VARDO~1.LNK", L"C:\\Users\\Public\\Desktop\\VARDO~1.LNK"},
        {L"plain", L"other", L"plain\\other"},                // no backslash: kept whole
        {P(S8), L"Vardo\u00E9 Corvane.lnk",
         L"C:\\Users\\Public\\Desktop\\Vardo\u00E9 Corvane.lnk"},  // only a to z fold
        {tooLong, L"y.lnk", L""},                             // cannot be composed whole
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Bytes(c.work) + " / " + Bytes(c.name));
        const orb::String target = PlainPathFileTarget(orb::String(c.work.c_str()), c.name);
        EXPECT_EQ(c.target, std::wstring(target.Text() ? target.Text() : L""));
    }
}

TEST_F(FolderRemovalTest, EachCaseAttemptsExactlyItsListInOrder) {
    const struct {
        bool keepInstalled;
        bool present[4];
        const std::vector<int>* list;
    } cases[] = {
        {false, {false, false, false, false}, &kFullList},
        {false, {true, false, false, false}, &kFullList},
        {true, {false, false, false, false}, &kFullList},
        {true, {true, false, false, false}, &kCandidate1List},
        {true, {false, true, false, false}, &kCandidate2List},
        {true, {false, false, true, false}, &kCandidate3List},
        {true, {false, false, false, true}, &kCandidate4List},
        {true, {true, false, true, false}, &kCandidate1List},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "keep " << c.keepInstalled << ", present "
                                        << c.present[0] << c.present[1] << c.present[2]
                                        << c.present[3]);
        ClearAll();
        ASSERT_NO_FATAL_FAILURE(CreateAll());
        for (int row = 0; row < 4; ++row) {
            if (!c.present[row]) continue;
            ASSERT_TRUE(MakeFile(P(kCandidateFolder[row]) + L"\\TaviApp.exe"));
        }
        log_.NewMessages();

        RemoveProductFolders(c.keepInstalled);

        std::vector<std::string> expected;
        std::vector<bool> listed(kPathCount, false);
        for (int id : *c.list) {
            listed[id] = true;
            if (!IsFolderEntry(id)) {
                expected.push_back(FileLine(P(id)));
                continue;
            }
            for (int row = 0; row < 4; ++row)
                if (c.present[row] && kCandidateFolder[row] == id)
                    expected.push_back(FileLine(P(id) + L"\\TaviApp.exe"));
            expected.push_back(FolderLine(P(id)));
        }
        EXPECT_EQ(expected, log_.NewMessages());
        for (int id = 0; id < kPathCount; ++id)
            EXPECT_EQ(!listed[id], Exists(P(id))) << Bytes(P(id));
    }
}

TEST_F(FolderRemovalTest, ShortcutFileGivesExactlyOneLine) {
    ASSERT_TRUE(MakeFile(P(S1)));
    DeleteTree(P(S1).c_str());
    EXPECT_EQ(std::vector<std::string>{FileLine(P(S1))}, log_.NewMessages());
    EXPECT_FALSE(Exists(P(S1)));
}

TEST_F(FolderRemovalTest, NestedFolderLinesComeInsideOutWithFullPathsWithOrWithoutTrailingBackslash) {
    const std::wstring f1 = P(F1);
    for (const std::wstring& argument : {f1, f1 + L"\\"}) {
        SCOPED_TRACE(Bytes(argument));
        ASSERT_TRUE(MakeFile(f1 + L"\\sub\\b.txt"));
        ASSERT_TRUE(MakeFile(f1 + L"\\a.txt"));
        log_.NewMessages();

        DeleteTree(argument.c_str());

        // This platform's search returns a.txt before sub, whichever was made first.
        const std::vector<std::string> expected = {
            FileLine(f1 + L"\\a.txt"),
            FileLine(f1 + L"\\sub\\b.txt"),
            FolderLine(f1 + L"\\sub"),
            FolderLine(f1),
        };
        EXPECT_EQ(expected, log_.NewMessages());
        EXPECT_FALSE(Exists(f1));
    }
}

TEST_F(FolderRemovalTest, FileNamedLikePartOfItsFolderIsDeletedByItsOwnPath) {
    const std::wstring f5 = P(F5);
    ASSERT_TRUE(MakeFile(f5 + L"\\Tavi"));
    DeleteTree(f5.c_str());
    const std::vector<std::string> expected = {FileLine(f5 + L"\\Tavi"), FolderLine(f5)};
    EXPECT_EQ(expected, log_.NewMessages());
    EXPECT_FALSE(Exists(f5));
}

TEST_F(FolderRemovalTest, MissingPathLogsNothing) {
    for (const std::wstring& path : {P(F1), P(S1), P(F1) + L"\\", P(F1) + L"\\*.*"}) {
        DeleteTree(path.c_str());
        EXPECT_TRUE(log_.NewMessages().empty()) << Bytes(path);
    }
    RemoveProductFolders(false);
    EXPECT_TRUE(log_.NewMessages().empty());
}

TEST_F(FolderRemovalTest, ReadOnlyFileStaysAndBothRefusalsAreLoggedAfterTheirLines) {
    const std::wstring f1 = P(F1);
    const std::wstring locked = f1 + L"\\locked.txt";
    ASSERT_TRUE(MakeFile(locked));
    ASSERT_TRUE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_EQ(0x21u, SearchAttributes(locked));

    DeleteTree(f1.c_str());

    const std::vector<std::string> expected = {
        FileLine(locked),
        FailedLine(ERROR_ACCESS_DENIED, locked),
        FolderLine(f1),
        FailedLine(ERROR_DIR_NOT_EMPTY, f1),
    };
    EXPECT_EQ(expected, log_.NewMessages());
    EXPECT_EQ("x", ReadFileBytes(locked));
    EXPECT_EQ(0x21u, SearchAttributes(locked));
}

TEST_F(FolderRemovalTest, FolderWithFurtherAttributesIsEmptiedAndRemoved) {
    const std::wstring f1 = P(F1);
    const std::wstring readOnly = f1 + L"\\ro", hidden = f1 + L"\\hidden", system = f1 + L"\\system";
    for (const std::wstring& folder : {readOnly, hidden, system})
        ASSERT_TRUE(MakeFile(folder + L"\\inside.txt"));
    ASSERT_TRUE(SetFileAttributesW(hidden.c_str(), FILE_ATTRIBUTE_HIDDEN));
    ASSERT_TRUE(SetFileAttributesW(system.c_str(), FILE_ATTRIBUTE_SYSTEM));
    // The read-only attribute of a folder shows here only through the Linux permissions.
    ASSERT_TRUE(RunLinux(L"Z:\\bin\\chmod", {L"a-w", UnixPathOf(readOnly)},
                         [&] { return SearchAttributes(readOnly) == 0x11; }));
    ASSERT_EQ(0x12u, SearchAttributes(hidden));
    ASSERT_EQ(0x14u, SearchAttributes(system));

    DeleteTree(f1.c_str());

    const std::vector<std::string> messages = log_.NewMessages();
    for (const std::wstring& folder : {readOnly, hidden, system}) {
        SCOPED_TRACE(Bytes(folder));
        const std::vector<std::string> lines = {FileLine(folder + L"\\inside.txt"), FolderLine(folder)};
        EXPECT_NE(messages.end(), std::search(messages.begin(), messages.end(), lines.begin(), lines.end()));
    }
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(FolderLine(f1), messages.back());
    EXPECT_EQ(7u, messages.size());
    EXPECT_FALSE(Exists(f1));
}

namespace {

// F1 holds a.txt and "link", a Linux symbolic link to a scratch folder of the test's own
// (t1.txt, inner\t2.txt) outside every listed path. The link is removed from the Linux
// side before anything else is cleared: Wine's delete calls would act on its target.
class FolderLinkTest : public FolderRemovalTest {
protected:
    void SetUp() override {
        FolderRemovalTest::SetUp();
        target_ = tavi_test::MakeTempDir(L"link-target");
        ASSERT_FALSE(target_.empty());
        ASSERT_TRUE(MakeFile(target_ + L"\\t1.txt"));
        ASSERT_TRUE(MakeFile(target_ + L"\\inner\\t2.txt"));
        ASSERT_TRUE(MakeFile(P(F1) + L"\\a.txt"));
        linkUnixPath_ = UnixPathOf(P(F1)) + L"/link";
        ASSERT_TRUE(RunLinux(L"Z:\\bin\\ln", {L"-s", UnixPathOf(target_), linkUnixPath_},
                             [&] { return SearchAttributes(link_) == 0x410; }));
        log_.NewMessages();
    }

    void TearDown() override {
        if (SearchAttributes(link_) != INVALID_FILE_ATTRIBUTES &&
            !RunLinux(L"Z:\\bin\\rm", {L"-f", linkUnixPath_},
                      [&] { return SearchAttributes(link_) == INVALID_FILE_ATTRIBUTES; })) {
            ADD_FAILURE() << "the link could not be removed; F1 is left as it is";
            return;
        }
        FolderRemovalTest::TearDown();
        if (!target_.empty()) RemoveTree(target_);
    }

    const std::wstring link_ = P(F1) + L"\\link";
    std::wstring linkUnixPath_;
    std::wstring target_;
};

}  // namespace

TEST_F(FolderLinkTest, LinkIsRemovedAsALinkAndNeverEntered) {
    const std::wstring f1 = P(F1);
    DeleteTree(f1.c_str());

    // This platform cannot remove the link itself (Windows can), so the link keeps F1.
    const std::vector<std::string> expected = {
        FileLine(f1 + L"\\a.txt"),
        FolderLine(link_),
        FailedLine(ERROR_DIR_NOT_EMPTY, link_),
        FolderLine(f1),
        FailedLine(ERROR_DIR_NOT_EMPTY, f1),
    };
    EXPECT_EQ(expected, log_.NewMessages());
    EXPECT_EQ("x", ReadFileBytes(target_ + L"\\t1.txt"));
    EXPECT_EQ("x", ReadFileBytes(target_ + L"\\inner\\t2.txt"));
    EXPECT_EQ(0x410u, SearchAttributes(link_));
}

TEST_F(FolderRemovalTest, TreeTooDeepToReachIsSkippedAndTheListGoesOn) {
    // Twelve levels of 100 characters take the deepest paths past 1,200 characters; beside
    // the eighth level, folders whose paths run from 1,018 to 1,024 characters sit where a
    // path cut short at the end of Format's room would name the folder itself again.
    std::wstring folder = P(F1);
    std::vector<std::wstring> files;
    for (int level = 0; level < 12; ++level) {
        folder += L"\\" + std::wstring(98, L'n') + static_cast<wchar_t>(L'a' + level);
        files.push_back(folder + L"\\f.txt");
        ASSERT_TRUE(MakeFile(files.back())) << level;
        if (level != 7) continue;
        for (size_t length = 1018; length <= 1024; ++length) {
            const std::wstring edge = folder + L"\\" + std::wstring(length - folder.size() - 1, L'e');
            ASSERT_EQ(length, edge.size());
            ASSERT_TRUE(MakeFile(edge + L"\\f.txt")) << length;
        }
    }
    ASSERT_TRUE(CreateFolders(P(F2)));
    ASSERT_TRUE(MakeFile(P(S1)));

    RemoveProductFolders(false);

    const std::vector<std::string> messages = log_.NewMessages();
    ASSERT_GE(messages.size(), 4u);
    const std::vector<std::string> tail(messages.end() - 4, messages.end());
    const std::vector<std::string> expected = {
        FolderLine(P(F1)), FailedLine(ERROR_DIR_NOT_EMPTY, P(F1)), FolderLine(P(F2)), FileLine(P(S1))};
    EXPECT_EQ(expected, tail);
    for (size_t i = 0; i + 4 < messages.size(); ++i)
        EXPECT_NE(std::string::npos, messages[i].find(Bytes(P(F1) + L"\\"))) << messages[i];
    EXPECT_FALSE(Exists(files[0]));
    EXPECT_FALSE(Exists(files[1]));
    EXPECT_TRUE(Exists(files.back()));
    EXPECT_FALSE(Exists(P(F2)));
    EXPECT_FALSE(Exists(P(S1)));
}
