#include "orb/RegKey.h"

namespace orb {

RegKey::~RegKey() {
    if (handle_) RegCloseKey(handle_);
}

HKEY* RegKey::Receive() {
    Close();
    return &handle_;
}

void RegKey::Close() {
    if (!handle_) return;
    RegCloseKey(handle_);
    handle_ = nullptr;
}

void RegKey::ReadTextValue(const wchar_t* name, String& out) const {
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExW(handle_, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        return;
    const std::size_t n = size / 2 + 1;
    wchar_t* buffer = out.WritableBuffer(n);
    // An odd byte count fills the low half of character n - 1, so the terminator is
    // stored again after the read; a failed read leaves an empty text, never the
    // undefined content of a new buffer.
    buffer[0] = L'\0';
    if (RegQueryValueExW(handle_, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) != ERROR_SUCCESS)
        buffer[0] = L'\0';
    buffer[n - 1] = L'\0';
}

}  // namespace orb
