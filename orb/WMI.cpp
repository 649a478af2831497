#include "orb/WMI.h"

#include <comdef.h>


namespace orb {

namespace {

template <typename Interface>
void ReleaseHeld(Interface*& held) {
    if (!held) return;
    held->Release();
    held = nullptr;
}

}  // namespace

WMI::WMI()
    : locator(nullptr), services(nullptr), enumerator(nullptr), currentObject(nullptr),
      connected(false) {}

WMI::~WMI() {
    ReleaseHeld(currentObject);
    ReleaseHeld(enumerator);
    ReleaseHeld(services);
    ReleaseHeld(locator);
    CoUninitialize();
}

HRESULT WMI::Query(const wchar_t* className) {
    if (!connected) {
        // An earlier query failed after connecting: its interfaces and its CoInitialize
        // are dropped so the connection step below starts from nothing and the
        // destructor's one CoUninitialize still balances.
        if (locator) {
            Close();
            CoUninitialize();
        }
        HRESULT hr = CoInitialize(nullptr);
        if (FAILED(hr)) return hr;
        // S_FALSE: someone else opened COM on this thread and owns the process security.
        if (hr == S_OK) {
            hr = CoInitializeSecurity(nullptr, -1, nullptr, nullptr, RPC_C_AUTHN_LEVEL_DEFAULT,
                                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE, nullptr);
            if (FAILED(hr) && hr != RPC_E_TOO_LATE) {
                CoUninitialize();
                return hr;
            }
        }
        hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                              reinterpret_cast<void**>(&locator));
        if (FAILED(hr)) return hr;
        // ConnectServer wants BSTR arguments; a literal is not one.
        BSTR ns = SysAllocString(L"ROOT\\CIMV2");
        if (!ns) throw _com_error(E_OUTOFMEMORY);
        hr = locator->ConnectServer(ns, nullptr, nullptr, nullptr, 0, nullptr, nullptr, &services);
        SysFreeString(ns);
        if (FAILED(hr)) return hr;
        hr = CoSetProxyBlanket(services, RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr,
                               RPC_C_AUTHN_LEVEL_CALL, RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
        if (FAILED(hr)) return hr;
    }
    if (!className || !*className) return S_FALSE;
    if (!services) return E_UNEXPECTED;

    String queryText;
    queryText.Format(L"select * from %s", className);
    ReleaseHeld(enumerator);
    ReleaseHeld(currentObject);

    BSTR language = SysAllocString(L"WQL");
    BSTR query = SysAllocString(queryText.Text());
    if (!language || !query) {
        SysFreeString(language);
        SysFreeString(query);
        throw _com_error(E_OUTOFMEMORY);
    }
    const HRESULT hr = services->ExecQuery(
        language, query, WBEM_FLAG_FORWARD_ONLY | WBEM_FLAG_RETURN_IMMEDIATELY, nullptr, &enumerator);
    SysFreeString(language);
    SysFreeString(query);
    if (FAILED(hr)) return hr;
    connected = true;
    return S_OK;
}

HRESULT WMI::GetProperty(String* text, const wchar_t* name) {
    if (!enumerator && !currentObject) return E_UNEXPECTED;
    VARIANT value;
    VariantInit(&value);
    if (!currentObject) {
        ULONG returned = 0;
        const HRESULT hr = enumerator->Next(WBEM_INFINITE, 1, &currentObject, &returned);
        if (FAILED(hr)) return hr;
        if (returned == 0) return S_FALSE;
    }
    CIMTYPE type = CIM_EMPTY;
    HRESULT hr = currentObject->Get(name, 0, &value, &type, nullptr);
    if (FAILED(hr)) return hr;
    hr = StoreVariantText(value, type, text);
    VariantClear(&value);
    return hr;
}

HRESULT WMI::Close() {
    ReleaseHeld(enumerator);
    ReleaseHeld(currentObject);
    ReleaseHeld(services);
    ReleaseHeld(locator);
    return S_OK;
}

namespace {

// The decimal text of a 64-bit value; a plain conversion keeps the string classes of the
// runtime library out of the program.
void AssignDecimal(String* text, unsigned long long magnitude, bool negative) {
    wchar_t digits[24];
    wchar_t* p = digits + 23;
    *p = L'\0';
    do {
        *--p = static_cast<wchar_t>(L'0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude);
    if (negative) *--p = L'-';
    text->Assign(p);
}

void AssignUnsigned(String* text, unsigned long long value) {
    AssignDecimal(text, value, false);
}

void AssignSigned(String* text, long long value) {
    AssignDecimal(text, value < 0 ? 0ull - static_cast<unsigned long long>(value) : static_cast<unsigned long long>(value),
                  value < 0);
}

}  // namespace

HRESULT StoreVariantText(const VARIANT& value, CIMTYPE type, String* text) {
    switch (V_VT(&value)) {
    case VT_BSTR:
        text->Assign(V_BSTR(&value) ? V_BSTR(&value) : L"");
        return S_OK;
    case VT_NULL:
        if (type != CIM_STRING) return S_FALSE;
        text->Assign(L"");
        return S_OK;
    case VT_BOOL:
        text->Assign(V_BOOL(&value) ? L"true" : L"false");
        return S_OK;
    case VT_I1: text->AssignNumber(V_I1(&value)); return S_OK;
    case VT_I2: text->AssignNumber(V_I2(&value)); return S_OK;
    case VT_I4:
        // WMI hands a uint32 property over in the signed member.
        if (type == CIM_UINT32)
            AssignUnsigned(text, static_cast<ULONG>(V_I4(&value)));
        else
            text->AssignNumber(V_I4(&value));
        return S_OK;
    case VT_INT: text->AssignNumber(V_INT(&value)); return S_OK;
    case VT_UI1: text->AssignNumber(V_UI1(&value)); return S_OK;
    case VT_UI2: text->AssignNumber(V_UI2(&value)); return S_OK;
    // Unsigned 32-bit and 64-bit values do not fit AssignNumber's int.
    case VT_UI4: AssignUnsigned(text, V_UI4(&value)); return S_OK;
    case VT_UINT: AssignUnsigned(text, V_UINT(&value)); return S_OK;
    case VT_I8: AssignSigned(text, V_I8(&value)); return S_OK;
    case VT_UI8: AssignUnsigned(text, V_UI8(&value)); return S_OK;
    default:
        return S_FALSE;
    }
}

}  // namespace orb
