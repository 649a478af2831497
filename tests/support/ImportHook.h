#pragma once

namespace tavi_test {

// Points the test program's own import of function from dll (file name, any case) at
// replacement while the object lives, so code linked into the program calls it instead;
// the original entry comes back on destruction. Installed() is false when the program
// imports no such function, and nothing is changed then.
class ImportHook {
public:
    ImportHook(const char* dll, const char* function, void* replacement);
    ImportHook(const ImportHook&) = delete;
    ImportHook& operator=(const ImportHook&) = delete;
    ~ImportHook();

    bool Installed() const { return slot_ != nullptr; }
    // The function the import led to before the hook; null when not installed.
    void* Original() const { return original_; }

private:
    void** slot_;
    void* original_;
};

}  // namespace tavi_test
