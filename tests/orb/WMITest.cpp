#include "orb/WMI.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <string>

#include "tests/support/ImportPatch.h"

using orb::String;
using orb::WMI;

namespace {

std::wstring TextOf(const String& s) {
    return s.Text() ? std::wstring(s.Text()) : std::wstring(L"<null>");
}

// COM state is per thread: each case runs on a thread of its own, which starts with COM
// closed, so what the object leaves open or closed shows after it is gone.
void OnFreshThread(const std::function<void()>& body) {
    HANDLE thread = CreateThread(
        nullptr, 0,
        [](void* param) -> DWORD {
            (*static_cast<const std::function<void()>*>(param))();
            return 0;
        },
        const_cast<std::function<void()>*>(&body), 0, nullptr);
    ASSERT_NE(nullptr, thread);
    WaitForSingleObject(thread, INFINITE);
    CloseHandle(thread);
}

// True when COM is open on the calling thread; leaves its state as it was.
bool ComOpenOnThread() {
    const HRESULT hr = CoInitialize(nullptr);
    if (SUCCEEDED(hr)) CoUninitialize();
    return hr == S_FALSE;
}

const wchar_t kUntouched[] = L"untouched";

}  // namespace

TEST(WMIQuery, ReadsPropertiesOfTheOperatingSystemAsText) {
    OnFreshThread([] {
        wchar_t systemDir[MAX_PATH];
        GetSystemDirectoryW(systemDir, MAX_PATH);
        WMI wmi;
        ASSERT_EQ(S_OK, wmi.Query(L"Win32_OperatingSystem"));
        String text;
        ASSERT_EQ(S_OK, wmi.GetProperty(&text, L"OSArchitecture"));
        EXPECT_EQ(L"64-bit", TextOf(text));
        ASSERT_EQ(S_OK, wmi.GetProperty(&text, L"SystemDirectory"));
        EXPECT_EQ(0, lstrcmpiW(systemDir, text.Text())) << TextOf(text);
        ASSERT_EQ(S_OK, wmi.GetProperty(&text, L"Primary"));
        EXPECT_EQ(L"true", TextOf(text));
        // A uint64 property arrives as a text of digits.
        ASSERT_EQ(S_OK, wmi.GetProperty(&text, L"TotalVisibleMemorySize"));
        EXPECT_GT(text.Length(), 0);
        EXPECT_EQ(std::wstring::npos, TextOf(text).find_first_not_of(L"0123456789")) << TextOf(text);
        EXPECT_EQ(S_OK, wmi.Close());
    });
}

TEST(WMIQuery, PropertiesComeFromTheFirstInstanceOnly) {
    OnFreshThread([] {
        WMI wmi;
        ASSERT_EQ(S_OK, wmi.Query(L"Win32_Process"));
        String firstId, name, secondId;
        ASSERT_EQ(S_OK, wmi.GetProperty(&firstId, L"ProcessId"));
        ASSERT_EQ(S_OK, wmi.GetProperty(&name, L"Name"));
        ASSERT_EQ(S_OK, wmi.GetProperty(&secondId, L"ProcessId"));
        EXPECT_GT(name.Length(), 0);
        EXPECT_EQ(TextOf(firstId), TextOf(secondId));

        // The query really has further instances, so reading twice would have moved on.
        WMI counter;
        ASSERT_EQ(S_OK, counter.Query(L"Win32_Process"));
        String other;
        ASSERT_EQ(S_OK, counter.GetProperty(&other, L"ProcessId"));
        EXPECT_EQ(TextOf(firstId), TextOf(other));

        // A new query on the same connection drops the instance and fetches afresh.
        ASSERT_EQ(S_OK, wmi.Query(L"Win32_OperatingSystem"));
        ASSERT_EQ(S_OK, wmi.GetProperty(&name, L"OSArchitecture"));
        EXPECT_EQ(L"64-bit", TextOf(name));
    });
}

TEST(WMIQuery, NoInstanceOrMissingPropertyLeavesTheStringUntouched) {
    OnFreshThread([] {
        WMI wmi;
        String text(kUntouched);
        ASSERT_EQ(S_OK, wmi.Query(L"Win32_Battery"));
        EXPECT_EQ(S_FALSE, wmi.GetProperty(&text, L"Name"));
        EXPECT_EQ(kUntouched, TextOf(text));

        ASSERT_EQ(S_OK, wmi.Query(L"Win32_OperatingSystem"));
        const HRESULT hr = wmi.GetProperty(&text, L"NoSuchProperty");
        EXPECT_TRUE(FAILED(hr)) << std::hex << hr;
        EXPECT_EQ(kUntouched, TextOf(text));
        // The instance survives the failed read.
        EXPECT_EQ(S_OK, wmi.GetProperty(&text, L"OSArchitecture"));
        EXPECT_EQ(L"64-bit", TextOf(text));
    });
}

TEST(WMIQuery, EmptyClassNameQueriesNothing) {
    const wchar_t* const names[] = {L"", nullptr};
    for (const wchar_t* empty : names) {
        SCOPED_TRACE(empty ? "empty text" : "null");
        OnFreshThread([empty] {
            {
                WMI wmi;
                EXPECT_EQ(S_FALSE, wmi.Query(empty));
                // The connection left by that call is made afresh, and COM is still
                // closed exactly once at the end.
                ASSERT_EQ(S_OK, wmi.Query(L"Win32_OperatingSystem"));
                // An empty name after a query keeps its result set.
                EXPECT_EQ(S_FALSE, wmi.Query(empty));
                String text;
                EXPECT_EQ(S_OK, wmi.GetProperty(&text, L"OSArchitecture"));
                EXPECT_EQ(L"64-bit", TextOf(text));
            }
            EXPECT_FALSE(ComOpenOnThread());
        });
    }
}

namespace {

struct SecurityCall {
    int count = 0;
    LONG authServices = 0;
    DWORD authnLevel = 0;
    DWORD impLevel = 0;
    DWORD capabilities = 0;
    bool nullPointers = false;
};
SecurityCall g_security;
HRESULT g_securityResult = S_OK;

HRESULT WINAPI RecordCoInitializeSecurity(PSECURITY_DESCRIPTOR descriptor, LONG authServices,
                                          SOLE_AUTHENTICATION_SERVICE* services, void* reserved1,
                                          DWORD authnLevel, DWORD impLevel, void* authList,
                                          DWORD capabilities, void* reserved3) {
    ++g_security.count;
    g_security.authServices = authServices;
    g_security.authnLevel = authnLevel;
    g_security.impLevel = impLevel;
    g_security.capabilities = capabilities;
    g_security.nullPointers = !descriptor && !services && !reserved1 && !authList && !reserved3;
    return g_securityResult;
}

}  // namespace

TEST(WMIProcessSecurity, SetOnlyWhenTheObjectOpensCom) {
    tavi_test::ImportPatch hook("ole32.dll", "CoInitializeSecurity",
                               reinterpret_cast<void*>(&RecordCoInitializeSecurity));
    ASSERT_TRUE(hook.Active());
    const struct {
        const char* name;
        bool comOpenBefore;
        HRESULT securityResult;
        HRESULT query;
        int securityCalls;
    } cases[] = {
        {"COM closed, security set", false, S_OK, S_OK, 1},
        {"COM closed, security set earlier in the process", false, RPC_E_TOO_LATE, S_OK, 1},
        {"COM closed, security refused", false, E_ACCESSDENIED, E_ACCESSDENIED, 1},
        {"COM already open on the thread", true, E_ACCESSDENIED, S_OK, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        g_security = SecurityCall();
        g_securityResult = c.securityResult;
        OnFreshThread([&c] {
            if (c.comOpenBefore) {
                ASSERT_EQ(S_OK, CoInitialize(nullptr));
            }
            {
                WMI wmi;
                EXPECT_EQ(c.query, wmi.Query(L"Win32_OperatingSystem"));
                if (c.query == S_OK) {
                    String text;
                    EXPECT_EQ(S_OK, wmi.GetProperty(&text, L"OSArchitecture"));
                    EXPECT_EQ(L"64-bit", TextOf(text));
                }
            }
            // The object closed what it opened, and only that.
            EXPECT_EQ(c.comOpenBefore, ComOpenOnThread());
            if (c.comOpenBefore) CoUninitialize();
        });
        EXPECT_EQ(c.securityCalls, g_security.count);
        if (g_security.count) {
            EXPECT_EQ(-1, g_security.authServices);
            EXPECT_EQ(static_cast<DWORD>(RPC_C_AUTHN_LEVEL_DEFAULT), g_security.authnLevel);
            EXPECT_EQ(static_cast<DWORD>(RPC_C_IMP_LEVEL_IMPERSONATE), g_security.impLevel);
            EXPECT_EQ(static_cast<DWORD>(EOAC_NONE), g_security.capabilities);
            EXPECT_TRUE(g_security.nullPointers);
        }
    }
}

TEST(WMIVariantText, EachVariantTypeGivesItsNaturalText) {
    struct Case {
        const char* name;
        VARTYPE vt;
        CIMTYPE type;
        std::int64_t number;
        const wchar_t* text;      // BSTR content for VT_BSTR (null: a null BSTR)
        HRESULT result;
        const wchar_t* expected;  // null: the string stays untouched
    };
    const Case cases[] = {
        {"string", VT_BSTR, CIM_STRING, 0, L"64-bit", S_OK, L"64-bit"},
        {"null BSTR", VT_BSTR, CIM_STRING, 0, nullptr, S_OK, L""},
        {"null string", VT_NULL, CIM_STRING, 0, nullptr, S_OK, L""},
        {"uint64 as text", VT_BSTR, CIM_UINT64, 0, L"18446744073709551615", S_OK, L"18446744073709551615"},
        {"datetime as text", VT_BSTR, CIM_DATETIME, 0, L"20240101000000.000000+000", S_OK, L"20240101000000.000000+000"},
        {"sint32 -1", VT_I4, CIM_SINT32, -1, nullptr, S_OK, L"-1"},
        {"sint32 min", VT_I4, CIM_SINT32, INT_MIN, nullptr, S_OK, L"-2147483648"},
        {"uint32 max in VT_I4", VT_I4, CIM_UINT32, -1, nullptr, S_OK, L"4294967295"},
        {"uint16 in VT_I4", VT_I4, CIM_UINT16, 65535, nullptr, S_OK, L"65535"},
        {"sint16", VT_I2, CIM_SINT16, -32768, nullptr, S_OK, L"-32768"},
        {"uint8", VT_UI1, CIM_UINT8, 255, nullptr, S_OK, L"255"},
        {"sint8", VT_I1, CIM_SINT8, -128, nullptr, S_OK, L"-128"},
        {"VT_UI4", VT_UI4, CIM_UINT32, 4294967295LL, nullptr, S_OK, L"4294967295"},
        {"VT_I8 min", VT_I8, CIM_SINT64, INT64_MIN, nullptr, S_OK, L"-9223372036854775808"},
        {"VT_UI8 max", VT_UI8, CIM_UINT64, -1, nullptr, S_OK, L"18446744073709551615"},
        {"true", VT_BOOL, CIM_BOOLEAN, VARIANT_TRUE, nullptr, S_OK, L"true"},
        {"false", VT_BOOL, CIM_BOOLEAN, VARIANT_FALSE, nullptr, S_OK, L"false"},
        {"null number", VT_NULL, CIM_UINT32, 0, nullptr, S_FALSE, nullptr},
        {"real", VT_R8, CIM_REAL64, 0, nullptr, S_FALSE, nullptr},
        {"object", VT_UNKNOWN, CIM_OBJECT, 0, nullptr, S_FALSE, nullptr},
        {"empty", VT_EMPTY, CIM_EMPTY, 0, nullptr, S_FALSE, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        VARIANT value;
        VariantInit(&value);
        V_VT(&value) = c.vt;
        switch (c.vt) {
        case VT_BSTR: V_BSTR(&value) = c.text ? SysAllocString(c.text) : nullptr; break;
        case VT_I1: V_I1(&value) = static_cast<CHAR>(c.number); break;
        case VT_I2: V_I2(&value) = static_cast<SHORT>(c.number); break;
        case VT_I4: V_I4(&value) = static_cast<LONG>(c.number); break;
        case VT_UI1: V_UI1(&value) = static_cast<BYTE>(c.number); break;
        case VT_UI4: V_UI4(&value) = static_cast<ULONG>(c.number); break;
        case VT_I8: V_I8(&value) = c.number; break;
        case VT_UI8: V_UI8(&value) = static_cast<ULONGLONG>(c.number); break;
        case VT_BOOL: V_BOOL(&value) = static_cast<VARIANT_BOOL>(c.number); break;
        case VT_R8: V_R8(&value) = 1.5; break;
        case VT_UNKNOWN: V_UNKNOWN(&value) = nullptr; break;
        default: break;
        }
        String text(kUntouched);
        EXPECT_EQ(c.result, orb::StoreVariantText(value, c.type, &text));
        EXPECT_EQ(c.expected ? c.expected : kUntouched, TextOf(text));
        VariantClear(&value);
    }
}
