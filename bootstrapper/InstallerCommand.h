#pragma once

#include <windows.h>

#include "orb/String.h"

// Turns the bootstrapper's command line into the msiexec command stored through command,
// then shows the help box when "/?" was given.
void BuildInstallerCommand(const wchar_t* commandLine, orb::String* command);

// Number of characters of text (which begins with /v and a double quote) that belong to
// the quoted parameter.
int MeasureQuotedParameter(const wchar_t* text);

// Replaces a token that begins with /v by its parameter text.
void StripParameterQuotes(orb::String* token);

// Shows a message box with the custom icon; its result is not read.
void ShowHelpBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, UINT icon);
