#include "cleanup/CleanupSequence.h"

#include "cleanup/log/CLOGFile.h"
#include "cleanup/log/TraceScope.h"

void TaviPreInstallCleanUp() {
    TraceScope scope(5, L"TaviPreInstallCleanUp()");
}
