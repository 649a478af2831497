#pragma once

// The whole run of the cleanup tool: log, application probe and version, version rule,
// folder removal, key security, sweep stages 1 to 7 (and 8 in the 64-bit build).
void TaviPreInstallCleanUp();
