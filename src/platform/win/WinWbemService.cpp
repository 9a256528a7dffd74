// SPDX-License-Identifier: MIT
#include "platform/win/WinWbemService.h"

#include "platform/DriveQueryWait.h"
#include "platform/win/WinText.h"

#define WIN32_LEAN_AND_MEAN
#include <objbase.h>
#include <oleauto.h>
#include <wbemcli.h>
#include <windows.h>

#include <type_traits>

namespace platform {

namespace {

struct ComRelease
{
    void operator()(IUnknown *p) const { p->Release(); }
};

// One owning pointer per interface; Release() runs once, when it goes.
template <class Interface>
using ComPtr = std::unique_ptr<Interface, ComRelease>;

struct BstrFree
{
    void operator()(wchar_t *p) const { SysFreeString(p); }
};
using Bstr = std::unique_ptr<wchar_t, BstrFree>;

Bstr MakeBstr(const std::wstring &text)
{
    Bstr result(SysAllocStringLen(text.data(), UINT(text.size())));
    if (!result)
        throw WbemError("Out of memory", std::int32_t(E_OUTOFMEMORY));
    return result;
}

// WBEM_FLAG_RETURN_WHEN_COMPLETE (0), which MinGW's wbemcli.h does not name.
constexpr long ReturnWhenComplete = 0;

[[noreturn]] void Fail(HRESULT hr)
{
    throw WbemError(win::SystemMessage(std::uint32_t(hr)), std::int32_t(hr));
}

void Check(HRESULT hr)
{
    if (FAILED(hr))
        Fail(hr);
}

class WinWbemObject : public WbemObject
{
public:
    explicit WinWbemObject(ComPtr<IWbemClassObject> object) : m_object(std::move(object)) {}

    std::string GetObjectText() const override
    {
        BSTR raw = nullptr;
        Check(m_object->GetObjectText(0, &raw));
        Bstr text(raw);
        if (!text)
            return {};
        std::wstring_view view(text.get(), SysStringLen(text.get()));
        // Some providers count the string's terminating NUL (or more) in the
        // BSTR's length; those characters are no part of the text.
        while (!view.empty() && view.back() == L'\0')
            view.remove_suffix(1);
        return win::WideToUtf8(view);
    }

private:
    ComPtr<IWbemClassObject> m_object;
};

class WinWbemObjectSet : public WbemObjectSet
{
public:
    explicit WinWbemObjectSet(ComPtr<IEnumWbemClassObject> enumerator) : m_enumerator(std::move(enumerator)) {}

    std::unique_ptr<WbemObject> Next() override
    {
        if (!m_enumerator)
            return nullptr;
        IWbemClassObject *raw = nullptr;
        ULONG returned = 0;
        const HRESULT hr = m_enumerator->Next(LONG(WBEM_INFINITE), 1, &raw, &returned);
        ComPtr<IWbemClassObject> object(raw);
        // WBEM_S_FALSE with nothing returned is the end; a failure ends the
        // walk the same way.
        if (hr != WBEM_S_NO_ERROR || returned != 1 || !object) {
            m_enumerator.reset();
            return nullptr;
        }
        return std::make_unique<WinWbemObject>(std::move(object));
    }

private:
    ComPtr<IEnumWbemClassObject> m_enumerator;
};

class WinWbemServices : public WbemServices
{
public:
    explicit WinWbemServices(ComPtr<IWbemServices> services) : m_services(std::move(services)) {}

    std::unique_ptr<WbemObjectSet> ExecQuery(const std::string &wql) override
    {
        const Bstr language = MakeBstr(L"WQL");
        const Bstr query = MakeBstr(win::Utf8ToWide(wql));
        IEnumWbemClassObject *raw = nullptr;
        // Returns once the whole result is ready; the result is walked once.
        const HRESULT hr = m_services->ExecQuery(language.get(), query.get(),
                                                 ReturnWhenComplete | WBEM_FLAG_FORWARD_ONLY, nullptr, &raw);
        ComPtr<IEnumWbemClassObject> enumerator(raw);
        Check(hr);
        if (!enumerator)
            Fail(WBEM_E_FAILED);
        return std::make_unique<WinWbemObjectSet>(std::move(enumerator));
    }

private:
    ComPtr<IWbemServices> m_services;
};

} // namespace

WinComApartment::WinComApartment()
{
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (SUCCEEDED(hr)) {
        // S_OK or S_FALSE (already initialised here): one count to give back.
        m_usable = true;
        m_mustUninitialize = true;
    } else if (hr == RPC_E_CHANGED_MODE) {
        // Already a multi-threaded apartment; usable as it is.
        m_usable = true;
    }
}

WinComApartment::~WinComApartment()
{
    if (m_mustUninitialize)
        CoUninitialize();
}

WinWbemLocator::WinWbemLocator()
{
    if (!m_apartment.Usable())
        Fail(CO_E_NOTINITIALIZED);
}

WinWbemLocator::~WinWbemLocator() = default;

std::unique_ptr<WbemServices> WinWbemLocator::ConnectServer(const std::string &host, const std::string &nameSpace)
{
    IWbemLocator *rawLocator = nullptr;
    HRESULT hr = CoCreateInstance(CLSID_WbemLocator, nullptr, CLSCTX_INPROC_SERVER, IID_IWbemLocator,
                                  reinterpret_cast<void **>(&rawLocator));
    ComPtr<IWbemLocator> locator(rawLocator);
    Check(hr);

    const std::string server = host.empty() ? std::string(".") : host;
    const Bstr path = MakeBstr(L"\\\\" + win::Utf8ToWide(server) + L"\\" + win::Utf8ToWide(nameSpace));
    IWbemServices *rawServices = nullptr;
    // User, password, locale and authority empty: the caller's own identity.
    hr = locator->ConnectServer(path.get(), nullptr, nullptr, nullptr, 0, nullptr, nullptr, &rawServices);
    ComPtr<IWbemServices> services(rawServices);
    Check(hr);
    if (!services)
        Fail(WBEM_E_FAILED);

    // The scripting locator impersonates the caller by default; the plain
    // proxy identifies only, which some providers refuse. A services object
    // that is no proxy (in-process) refuses the call, which is harmless.
    CoSetProxyBlanket(services.get(), RPC_C_AUTHN_WINNT, RPC_C_AUTHZ_NONE, nullptr, RPC_C_AUTHN_LEVEL_CALL,
                      RPC_C_IMP_LEVEL_IMPERSONATE, nullptr, EOAC_NONE);
    return std::make_unique<WinWbemServices>(std::move(services));
}

// WMI keeps its own timing.
void SetDriveQueryWait(std::chrono::milliseconds) {}
std::chrono::milliseconds DriveQueryWaitNow()
{
    return std::chrono::milliseconds::zero();
}

} // namespace platform
