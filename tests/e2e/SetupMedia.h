#pragma once

#include <windows.h>

#include <string>

#include "tests/support/TestSupport.h"

namespace tavi_test {

// The media folder of the end-to-end runs, and the working folder they start the
// bootstrapper from, so that only its own change of folder finds the package.
extern const wchar_t kSetupMedia[];
extern const wchar_t kSetupElsewhere[];
// Where the demo package installs its stand-in application.
extern const wchar_t kInstalledApp[];

// Whether a file or folder is at path.
bool PathExists(const std::wstring& path);

// The version Windows Installer has registered for productCode, or "<not registered>".
std::wstring InstalledVersion(const wchar_t* productCode);

// The built package of the given name (e.g. "Vardo(R) Corvane.msi") as Wine sees it.
std::wstring BuiltPackage(const wchar_t* name);

// Builds folder afresh as the product's release lays it out: the x64 programs of
// build/media-x64, package as "Vardo(R) Tavi.msi" (the demo product when empty) and the
// stand-in runtime installers. A file that cannot be put in place is a fatal failure of the
// caller's test (wrap the call in ASSERT_NO_FATAL_FAILURE).
void LayOutMedia(const std::wstring& folder = kSetupMedia, const std::wstring& package = std::wstring());

// Starts folder's TaviBootLoader.exe by full path with arguments from kSetupElsewhere,
// waits for it and reads its exit code inside Windows.
ProcessResult RunSetupFrom(const std::wstring& folder, const std::wstring& arguments);

// Runs Windows Installer on the built package of the given name with /i and /qn.
ProcessResult InstallBuiltPackage(const wchar_t* name);

}  // namespace tavi_test
