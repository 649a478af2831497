#include "bootstrapper/Setup.h"

void RunSetup(const wchar_t*, int*) {}
