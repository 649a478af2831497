#include <new>

#include "orb/String.h"

// Takes the cleanup-tool step's place in the throwing test build: fails as memory
// exhaustion would, by throwing std::bad_alloc.
void RunCleanupToolThatThrows(orb::String) {
    throw std::bad_alloc();
}
