#pragma once

#include <windows.h>
#include <wbemidl.h>

#include "orb/String.h"

namespace orb {

// Runs "select * from <class>" on ROOT\CIMV2 and reads properties of the first instance
// as text. Holds one reference on each interface it fetched and opens COM for its thread
// on the first Query; the destructor releases them and closes COM once. Cannot be copied.
class WMI {
public:
    WMI();
    WMI(const WMI&) = delete;
    WMI& operator=(const WMI&) = delete;
    virtual ~WMI();

    // Connects (unless an earlier query succeeded) and runs the query for className.
    // S_OK when it ran; S_FALSE for a null or empty name, leaving any earlier result set
    // in place; otherwise the failing code of the first step that failed. Throws
    // _com_error(E_OUTOFMEMORY) when a query string cannot be allocated.
    HRESULT Query(const wchar_t* className);
    // Reads property name of the first instance into text. S_OK when text was written;
    // S_FALSE when the query matched no instance or the value has a type with no text
    // form; otherwise the failing code of Next or Get. text is untouched unless S_OK.
    HRESULT GetProperty(String* text, const wchar_t* name);
    // Releases every interface held; always S_OK. COM stays open until destruction.
    HRESULT Close();

private:
    IWbemLocator* locator;
    IWbemServices* services;
    IEnumWbemClassObject* enumerator;
    IWbemClassObject* currentObject;
    bool connected;
};

// Stores the text form of a property value of CIM type type into text: strings as they
// are (a null string as an empty text), integers in decimal (a uint32 unsigned, though
// WMI carries it in the signed member), booleans as "true" or "false". S_OK when text
// was written; S_FALSE, with text untouched, for any other variant type (reals, arrays,
// objects, a null number).
HRESULT StoreVariantText(const VARIANT& value, CIMTYPE type, String* text);

}  // namespace orb
