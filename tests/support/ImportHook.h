#pragma once

namespace tavi_test {

// Points this program's import of module!function at replacement while the hook lives,
// so a test can see the arguments of a platform call that the code under test makes (or
// change what the call meets); restores the import when destroyed. Not copyable.
class ImportHook {
public:
    ImportHook(const char* module, const char* function, void* replacement);
    ~ImportHook();
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;

    // False when the program does not import the function (the hook then does nothing).
    bool Installed() const { return slot_ != nullptr; }
    // The address the import held before the hook, to call the real function.
    template <typename Function>
    Function Original() const { return reinterpret_cast<Function>(original_); }

private:
    void** slot_ = nullptr;
    void* original_ = nullptr;
};

}  // namespace tavi_test
