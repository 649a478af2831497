// The media files' resources read back through the platform's own API: the version
// resource of each file in both media folders, and the bootstrapper's icon at each size.

#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TaviVersion.h"
#include "tests/support/TestSupport.h"

namespace {

// A file of the media folders and the texts its version resource must hold.
struct MediaFile {
    const wchar_t* name;
    const wchar_t* description;
    DWORD fileType;
};

const MediaFile kMediaFiles[] = {
    {L"TaviBootLoader.exe", L"Vardo(R) Tavi Setup", VFT_APP},
    {L"Quill.dll", L"Vardo(R) Tavi Setup Log Service", VFT_DLL},
    {L"Scourwell32.exe", L"Vardo(R) Tavi Pre-install Cleanup (32-bit)", VFT_APP},
    {L"Scourwell64.exe", L"Vardo(R) Tavi Pre-install Cleanup (64-bit)", VFT_APP},
};

// The numbers every media file must carry, as the resource scripts read them.
const WORD kVersionNumbers[] = {TAVI_VERSION_NUMBERS};

// The version resource of one file as GetFileVersionInfoW copies it.
class VersionBlock {
public:
    explicit VersionBlock(const std::wstring& path) {
        DWORD handle = 0;
        const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
        error_ = GetLastError();
        if (size == 0) return;
        bytes_.resize(size);
        if (!GetFileVersionInfoW(path.c_str(), 0, size, bytes_.data())) {
            error_ = GetLastError();
            bytes_.clear();
        }
    }

    // False when the file has no version resource or cannot be read; Error() says why.
    bool Loaded() const { return !bytes_.empty(); }
    DWORD Error() const { return error_; }

    // The fixed part (numbers and file type), or null when the block lacks it.
    const VS_FIXEDFILEINFO* Fixed() {
        void* data = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(bytes_.data(), L"\\", &data, &length) || length < sizeof(VS_FIXEDFILEINFO))
            return nullptr;
        return static_cast<const VS_FIXEDFILEINFO*>(data);
    }

    // The first translation (language, code page), or 0 when there is none.
    DWORD Translation() {
        void* data = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(bytes_.data(), L"\\VarFileInfo\\Translation", &data, &length) ||
            length < 4)
            return 0;
        const WORD* pair = static_cast<const WORD*>(data);
        return MAKELONG(pair[1], pair[0]);
    }

    // A string of the first translation's table; "<missing>" when it is absent.
    std::wstring Text(const wchar_t* name) {
        wchar_t query[128];
        const DWORD translation = Translation();
        wsprintfW(query, L"\\StringFileInfo\\%04x%04x\\%s", HIWORD(translation),
                  LOWORD(translation), name);
        void* data = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(bytes_.data(), query, &data, &length)) return L"<missing>";
        return static_cast<const wchar_t*>(data);
    }

private:
    std::vector<BYTE> bytes_;
    DWORD error_ = 0;
};

// The four numbers of a version pair as "a.b.c.d".
std::wstring VersionText(DWORD high, DWORD low) {
    wchar_t text[64];
    wsprintfW(text, L"%u.%u.%u.%u", HIWORD(high), LOWORD(high), HIWORD(low), LOWORD(low));
    return text;
}

}  // namespace

TEST(MediaVersionResource, EveryFileOfBothFoldersCarriesTheProductVersion) {
    const std::wstring expectedVersion = tavi_test::Widen(TAVI_VERSION_TEXT);
    ASSERT_EQ(expectedVersion, VersionText(MAKELONG(kVersionNumbers[1], kVersionNumbers[0]),
                                           MAKELONG(kVersionNumbers[3], kVersionNumbers[2])));
    for (const wchar_t* folder : {tavi_test::MediaDir(), tavi_test::MediaX64Dir()}) {
        for (const MediaFile& file : kMediaFiles) {
            const std::wstring path = std::wstring(folder) + L"\\" + file.name;
            SCOPED_TRACE(tavi_test::Narrow(path));
            VersionBlock block(path);
            ASSERT_TRUE(block.Loaded()) << "error " << block.Error();

            const VS_FIXEDFILEINFO* fixed = block.Fixed();
            ASSERT_NE(nullptr, fixed);
            EXPECT_EQ(VS_FFI_SIGNATURE, fixed->dwSignature);
            EXPECT_EQ(expectedVersion, VersionText(fixed->dwFileVersionMS, fixed->dwFileVersionLS));
            EXPECT_EQ(expectedVersion,
                      VersionText(fixed->dwProductVersionMS, fixed->dwProductVersionLS));
            EXPECT_EQ(file.fileType, fixed->dwFileType);

            EXPECT_EQ(MAKELONG(1200, 0x0409), block.Translation());
            EXPECT_EQ(L"Vardo Corporation", block.Text(L"CompanyName"));
            EXPECT_EQ(L"Vardo(R) Tavi", block.Text(L"ProductName"));
            EXPECT_EQ(file.description, block.Text(L"FileDescription"));
            EXPECT_EQ(file.name, block.Text(L"OriginalFilename"));
            EXPECT_EQ(expectedVersion, block.Text(L"FileVersion"));
            EXPECT_EQ(expectedVersion, block.Text(L"ProductVersion"));
        }
    }
}

TEST(MediaIcon, TheBootstrapperIconLoadsAtEverySize) {
    for (const wchar_t* folder : {tavi_test::MediaDir(), tavi_test::MediaX64Dir()}) {
        const std::wstring path = std::wstring(folder) + L"\\TaviBootLoader.exe";
        SCOPED_TRACE(tavi_test::Narrow(path));
        HMODULE module = LoadLibraryExW(path.c_str(), nullptr,
                                        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(nullptr, module) << "error " << GetLastError();
        for (int size : {256, 128, 48, 32, 16}) {
            SCOPED_TRACE(size);
            // The group's image of exactly this size: Windows scales a missing one.
            HRSRC group = FindResourceW(module, MAKEINTRESOURCEW(107), RT_GROUP_ICON);
            ASSERT_NE(nullptr, group);
            BYTE* directory = static_cast<BYTE*>(LockResource(LoadResource(module, group)));
            const int id = LookupIconIdFromDirectoryEx(directory, TRUE, size, size, LR_DEFAULTCOLOR);
            HRSRC image = FindResourceW(module, MAKEINTRESOURCEW(id), RT_ICON);
            ASSERT_NE(nullptr, image);
            HICON icon = CreateIconFromResourceEx(
                static_cast<BYTE*>(LockResource(LoadResource(module, image))),
                SizeofResource(module, image), TRUE, 0x00030000, size, size, LR_DEFAULTCOLOR);
            ASSERT_NE(nullptr, icon) << "error " << GetLastError();
            ICONINFO info{};
            ASSERT_TRUE(GetIconInfo(icon, &info));
            BITMAP colour{};
            ASSERT_NE(nullptr, info.hbmColor);
            GetObjectW(info.hbmColor, sizeof(colour), &colour);
            EXPECT_EQ(size, colour.bmWidth);
            EXPECT_EQ(size, colour.bmHeight);
            EXPECT_EQ(32, colour.bmBitsPixel);
            DeleteObject(info.hbmColor);
            DeleteObject(info.hbmMask);
            DestroyIcon(icon);
        }
        FreeLibrary(module);
    }
}
