#include "bootstrapper/InstallerCommand.h"

#include <cwchar>

namespace {

constexpr wchar_t kPackageArgument[] = L"\"Vardo(R) Tavi.msi\"";
constexpr wchar_t kHelpCaption[] = L"Vardo(R) Tavi";
constexpr UINT kHelpIcon = 107;
constexpr wchar_t kHelpText[] =
    L"Supported Cmd line parameters: \n"
    L" /s\tHide initialization dialog \n"
    L" /s /v/qn\tSilent install mode \n"
    L" /V\"parm\"\tPass parameters to MsiExec \n"
    L" /x\tUninstall";

// True when text begins with prefix, ignoring the case of the letters a to z only.
bool BeginsWithNoCase(const wchar_t* text, const wchar_t* prefix) {
    for (; *prefix; ++text, ++prefix) {
        wchar_t t = *text;
        wchar_t p = *prefix;
        if (t >= L'a' && t <= L'z') t = static_cast<wchar_t>(t - L'a' + L'A');
        if (p >= L'a' && p <= L'z') p = static_cast<wchar_t>(p - L'a' + L'A');
        if (t != p) return false;
    }
    return true;
}

// Copies the first length characters of text into token.
void TakeToken(const wchar_t* text, std::size_t length, orb::String* token) {
    wchar_t* buffer = token->WritableBuffer(length + 1);
    std::wmemcpy(buffer, text, length);
    buffer[length] = L'\0';
}

}  // namespace

void BuildInstallerCommand(const wchar_t* commandLine, orb::String* command) {
    orb::String token;
    orb::String parameters;
    bool uninstall = false;
    bool help = false;

    // The scan walks a pointer over the command line instead of cutting a copy after each
    // token, so a long command line costs one pass.
    const wchar_t* remaining = commandLine ? commandLine : L"";
    while (*remaining) {
        if (*remaining == L' ') {
            ++remaining;
            continue;
        }
        const wchar_t* blank = std::wcschr(remaining, L' ');
        std::size_t length = blank ? static_cast<std::size_t>(blank - remaining) : std::wcslen(remaining);
        if (blank && BeginsWithNoCase(remaining, L"/v\""))
            length = static_cast<std::size_t>(MeasureQuotedParameter(remaining));
        TakeToken(remaining, length, &token);
        remaining += length;

        // "/s" is accepted as well and changes nothing.
        if (BeginsWithNoCase(token.Text(), L"/?")) help = true;
        if (BeginsWithNoCase(token.Text(), L"/x")) uninstall = true;
        if (BeginsWithNoCase(token.Text(), L"/v")) {
            StripParameterQuotes(&token);
            if (token.Length() > 0) parameters = parameters + token + L" ";
        }
    }

    // Joined by concatenation: a formatted join would cut a long parameter list.
    *command = orb::String(L"msiexec ") + (uninstall ? L"/X" : L"/I") + L" " + kPackageArgument + L" " +
               parameters;

    if (help) ShowHelpBox(nullptr, kHelpText, kHelpCaption, 0, kHelpIcon);
}

int MeasureQuotedParameter(const wchar_t* text) {
    int count = 0;
    const wchar_t* rest = text ? text : L"";
    while (*rest) {
        if (*rest == L' ') {
            ++rest;
            ++count;
            continue;
        }
        const wchar_t* blank = std::wcschr(rest, L' ');
        if (!blank) {
            count += static_cast<int>(std::wcslen(rest));
            break;
        }
        count += static_cast<int>(blank - rest);
        const bool closesQuote = blank[-1] == L'"';
        rest = blank;
        if (closesQuote) break;
    }
    return count;
}

void StripParameterQuotes(orb::String* token) {
    token->KeepRight(token->Length() - 2);
    const wchar_t* text = token->Text();
    if (!text || text[0] != L'"') return;
    token->KeepRight(token->Length() - 1);
    const int length = token->Length();
    if (length > 0 && token->Text()[length - 1] == L'"')
        token->Truncate(length - 1);
    else
        token->Clear();
}

void ShowHelpBox(HWND owner, const wchar_t* text, const wchar_t* caption, UINT style, UINT icon) {
    MSGBOXPARAMSW params{};
    params.cbSize = sizeof(params);
    params.hwndOwner = owner;
    params.hInstance = GetModuleHandleW(nullptr);
    params.lpszText = text;
    params.lpszCaption = caption;
    params.dwStyle = style | MB_USERICON;
    params.lpszIcon = MAKEINTRESOURCEW(icon);
    params.dwContextHelpId = 0;
    params.lpfnMsgBoxCallback = nullptr;
    params.dwLanguageId = MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT);
    MessageBoxIndirectW(&params);
}
