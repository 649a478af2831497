#pragma once

// The setup log service. StartLogger serves the log pipe and appends what its clients
// write to "<name>.log" in the user's temporary folder (mode 1 appends, any other mode
// starts the file afresh); StopLogger ends the service. Neither throws.
extern "C" {
void __cdecl StartLogger(const wchar_t* name, int mode);
void __cdecl StopLogger();
}
