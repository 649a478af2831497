#include "cleanup/RegKeySecurity.h"

// Stand-in until the key security is built: the record stays zero, so keys that the
// sweep creates get the default security.
RegKeySecurityRecord RegKeySecurity;

void BuildRegKeySecurity() {}

void FreeRegKeySecurity() {}
