// Linked into each shipped program in place of the runtime library's verbose terminate
// handler, whose name demangler would otherwise more than double the programs' size.
// An exception that nobody catches still ends the process.
#include <cstdlib>

namespace __gnu_cxx {
void __verbose_terminate_handler() {
    std::abort();
}
}  // namespace __gnu_cxx
