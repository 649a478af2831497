#pragma once

// Makes the system folder the only place DLLs loaded at run time come from, never the
// program's own folder (setup programs run from folders such as Downloads). Does nothing
// on a system without the call.
void RestrictDllSearchToSystemFolder();
