#include "cleanup/CleanupSequence.h"

void TaviPreInstallCleanUp() {}
