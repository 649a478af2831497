#pragma once

#include <windows.h>

#include "orb/String.h"

namespace orb {

// Owns one open registry key and closes it when released. Cannot be copied.
class RegKey {
public:
    RegKey() : handle_(nullptr) {}
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    virtual ~RegKey();

    // The key held, null when none.
    HKEY Handle() const { return handle_; }
    // Address for the result argument of RegOpenKeyExW / RegCreateKeyExW; an open key
    // lands in the holder directly. A key still held is closed first.
    HKEY* Receive();
    // Closes the key when one is held; safe to call repeatedly.
    void Close();
    // Reads value name of the held key into out, by the size the registry reports; a
    // missing, empty or unreadable value leaves out untouched. The text is always
    // terminated within out's buffer.
    void ReadTextValue(const wchar_t* name, String& out) const;

private:
    HKEY handle_;
};

}  // namespace orb
