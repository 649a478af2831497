#pragma once

#include <windows.h>

namespace tavi_test {

// Replaces, for its lifetime, this program's import of one function (from a DLL it links
// at load time) by another of the same type, so a test can see or steer what the code
// under test passes to the platform. Restores the import when destroyed. Only calls made
// from this program's own code go through it, never the DLLs' calls among themselves.
class ImportPatch {
public:
    ImportPatch(const char* dll, const char* function, void* replacement);
    ImportPatch(const ImportPatch&) = delete;
    ImportPatch& operator=(const ImportPatch&) = delete;
    ~ImportPatch();

    // True when the import was found and replaced.
    bool Active() const { return slot_ != nullptr; }
    // The function the import led to before; null when not Active.
    template <typename Function>
    Function Original() const {
        return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(original_));
    }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

}  // namespace tavi_test
