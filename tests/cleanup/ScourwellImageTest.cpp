// The cleanup tool's program files as files: machine, subsystem, execution level and the
// DLLs they import at load time. The shipping 32-bit build comes from the win32 tree.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstring>
#include <set>
#include <string>

#include "tests/support/TestSupport.h"

namespace {

struct PeImage {
    bool valid = false;
    WORD machine = 0;
    WORD subsystem = 0;
    std::set<std::string> imports;  // lower case
    bool requiresAdministrator = false;
};

template <typename T>
const T* At(const std::string& bytes, size_t offset) {
    return offset + sizeof(T) <= bytes.size() ? reinterpret_cast<const T*>(bytes.data() + offset) : nullptr;
}

PeImage ReadImage(const std::wstring& path) {
    PeImage image;
    const std::string bytes = tavi_test::ReadFileBytes(path);
    const auto* dos = At<IMAGE_DOS_HEADER>(bytes, 0);
    if (!dos || dos->e_magic != IMAGE_DOS_SIGNATURE) return image;
    const auto* nt = At<IMAGE_NT_HEADERS32>(bytes, dos->e_lfanew);
    if (!nt || nt->Signature != IMAGE_NT_SIGNATURE) return image;
    image.machine = nt->FileHeader.Machine;

    const size_t optional = dos->e_lfanew + offsetof(IMAGE_NT_HEADERS32, OptionalHeader);
    IMAGE_DATA_DIRECTORY imports{};
    if (nt->OptionalHeader.Magic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        const auto* header = At<IMAGE_OPTIONAL_HEADER64>(bytes, optional);
        if (!header) return image;
        image.subsystem = header->Subsystem;
        imports = header->DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    } else {
        image.subsystem = nt->OptionalHeader.Subsystem;
        imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    }

    const size_t sections = optional + nt->FileHeader.SizeOfOptionalHeader;
    auto offsetOf = [&](DWORD rva) -> size_t {
        for (WORD i = 0; i < nt->FileHeader.NumberOfSections; ++i) {
            const auto* section = At<IMAGE_SECTION_HEADER>(bytes, sections + i * sizeof(IMAGE_SECTION_HEADER));
            if (section && rva >= section->VirtualAddress && rva < section->VirtualAddress + section->SizeOfRawData)
                return rva - section->VirtualAddress + section->PointerToRawData;
        }
        return bytes.size();
    };
    for (size_t entry = offsetOf(imports.VirtualAddress);; entry += sizeof(IMAGE_IMPORT_DESCRIPTOR)) {
        const auto* descriptor = At<IMAGE_IMPORT_DESCRIPTOR>(bytes, entry);
        if (!descriptor || !descriptor->Name) break;
        const size_t name = offsetOf(descriptor->Name);
        if (name >= bytes.size()) return image;
        std::string dll(bytes.c_str() + name);
        std::transform(dll.begin(), dll.end(), dll.begin(), [](unsigned char c) { return std::tolower(c); });
        image.imports.insert(dll);
    }
    image.requiresAdministrator = bytes.find("level=\"requireAdministrator\"") != std::string::npos;
    image.valid = true;
    return image;
}

}  // namespace

TEST(ScourwellImageTest, GuiProgramsThatRequireAdministratorAndImportOnlySystemDlls) {
    const std::set<std::string> system = {"kernel32.dll", "advapi32.dll", "msvcrt.dll", "ole32.dll",
                                          "oleaut32.dll", "shell32.dll",  "user32.dll"};
    const std::wstring x64 = tavi_test::MediaX64Dir();
    const std::wstring media = tavi_test::MediaDir();
    const struct { std::wstring path; WORD machine; bool optional; } cases[] = {
        {x64 + L"\\Scourwell64.exe", IMAGE_FILE_MACHINE_AMD64, false},
        {x64 + L"\\Scourwell32.exe", IMAGE_FILE_MACHINE_AMD64, false},
        {media + L"\\Scourwell64.exe", IMAGE_FILE_MACHINE_AMD64, false},
        {media + L"\\Scourwell32.exe", IMAGE_FILE_MACHINE_I386, true},
    };
    int checked = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(tavi_test::Narrow(c.path));
        if (c.optional && GetFileAttributesW(c.path.c_str()) == INVALID_FILE_ATTRIBUTES) {
            std::printf("not built (the win32 tree makes it): %s\n", tavi_test::Narrow(c.path).c_str());
            continue;
        }
        const PeImage image = ReadImage(c.path);
        ASSERT_TRUE(image.valid);
        ++checked;
        EXPECT_EQ(c.machine, image.machine);
        EXPECT_EQ(IMAGE_SUBSYSTEM_WINDOWS_GUI, image.subsystem);
        EXPECT_TRUE(image.requiresAdministrator);
        EXPECT_FALSE(image.imports.empty());
        // version.dll in particular is loaded at run time from the system folder only.
        for (const std::string& dll : image.imports) EXPECT_EQ(1u, system.count(dll)) << dll;
    }
    EXPECT_GE(checked, 3);
}
