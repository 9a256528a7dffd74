// SPDX-License-Identifier: MIT
#pragma once

// The drive query over the WMI COM objects: IWbemLocator::ConnectServer,
// IWbemServices::ExecQuery, IEnumWbemClassObject::Next and
// IWbemClassObject::GetObjectText, the native interfaces beneath the
// scripting objects (SWbemLocator and friends). No COM type leaves this pair
// of files.
//
// COM must be initialised on the calling thread; every object here is used on
// the thread that created it (the user-interface thread). Failures throw
// WbemError carrying the HRESULT and the system's text for it.

#include "wbem/WbemService.h"

#include <memory>
#include <string>

namespace platform {

// CoInitializeEx as a single-threaded apartment for the lifetime of the
// object, on the thread that creates it. A thread that already runs in a
// multi-threaded apartment stays there (WMI works in either) and this object
// then uninitialises nothing. The program creates one in main() before any
// window; Qt's own OleInitialize on that thread joins the same apartment.
class WinComApartment
{
public:
    WinComApartment();
    ~WinComApartment();
    WinComApartment(const WinComApartment &) = delete;
    WinComApartment &operator=(const WinComApartment &) = delete;

    // True when COM is usable on this thread (initialised here or before).
    bool Usable() const { return m_usable; }

private:
    bool m_usable = false;
    bool m_mustUninitialize = false;
};

class WinWbemLocator : public WbemLocator
{
public:
    // Joins COM (WinComApartment) for the locator's own lifetime, so the
    // locator also works on a thread nobody initialised. Throws WbemError when
    // COM cannot be initialised.
    WinWbemLocator();
    ~WinWbemLocator() override;

    // host "." or empty: the local machine. The namespace is joined as
    // \\host\namespace. Throws WbemError when the locator cannot be created
    // or the service refuses the connection.
    std::unique_ptr<WbemServices> ConnectServer(const std::string &host, const std::string &nameSpace) override;

private:
    WinComApartment m_apartment;
};

} // namespace platform
