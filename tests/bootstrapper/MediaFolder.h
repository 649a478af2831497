#pragma once

#include <windows.h>

#include <string>

namespace tavi_test {

// Builds folder afresh as a media folder: bootstrapper copied as TaviBootLoader.exe,
// logService as Quill.dll (the x64 builds of build/media-x64 unless given), and a dummy
// "Vardo(R) Tavi.msi". False when a file cannot be put in place.
bool PrepareMedia(const std::wstring& folder, const std::wstring& bootstrapper = std::wstring(),
                  const std::wstring& logService = std::wstring());

// The system folder's msiexec.exe (runs as a native program only with
// WINEDLLOVERRIDES=msiexec.exe=n, which the test programs' environment sets).
std::wstring SystemInstaller();

// The test build whose cleanup-tool step throws.
std::wstring ThrowingBootstrapper();

}  // namespace tavi_test
