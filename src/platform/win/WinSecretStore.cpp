// SPDX-License-Identifier: MIT
// The password in the Windows Credential Manager: a generic credential of
// this user, named after the program, the user and the server, its blob the
// password in UTF-8.
#include "platform/SecretStore.h"

#include "platform/win/WinText.h"

#include <windows.h>

#include <wincred.h>

namespace platform {

namespace {

std::wstring Target(const SecretKey &key)
{
    return win::Utf8ToWide("Velmora:" + key.user + "@" + key.server);
}

std::string Failure(const char *what)
{
    return std::string("The Windows Credential Manager could not ") + what + ": "
        + win::SystemMessage(GetLastError());
}

} // namespace

bool StoreSecret(const SecretKey &key, const std::string &password, std::string &error)
{
    std::wstring target = Target(key);
    std::wstring user = win::Utf8ToWide(key.user);
    CREDENTIALW credential = {};
    credential.Type = CRED_TYPE_GENERIC;
    credential.TargetName = target.data();
    credential.UserName = user.data();
    credential.CredentialBlobSize = static_cast<DWORD>(password.size());
    credential.CredentialBlob = reinterpret_cast<LPBYTE>(const_cast<char *>(password.data()));
    credential.Persist = CRED_PERSIST_LOCAL_MACHINE;
    if (CredWriteW(&credential, 0))
        return true;
    error = Failure("keep the password");
    return false;
}

SecretFound LookupSecret(const SecretKey &key, std::string &password, std::string &error)
{
    PCREDENTIALW credential = nullptr;
    const std::wstring target = Target(key);
    if (!CredReadW(target.c_str(), CRED_TYPE_GENERIC, 0, &credential)) {
        if (GetLastError() == ERROR_NOT_FOUND)
            return SecretFound::No;
        error = Failure("give the password");
        return SecretFound::Unavailable;
    }
    password.assign(reinterpret_cast<const char *>(credential->CredentialBlob), credential->CredentialBlobSize);
    CredFree(credential);
    return SecretFound::Yes;
}

bool RemoveSecret(const SecretKey &key, std::string &error)
{
    const std::wstring target = Target(key);
    if (CredDeleteW(target.c_str(), CRED_TYPE_GENERIC, 0) || GetLastError() == ERROR_NOT_FOUND)
        return true;
    error = Failure("forget the password");
    return false;
}

} // namespace platform
