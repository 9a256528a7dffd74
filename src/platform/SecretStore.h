// SPDX-License-Identifier: MIT
#pragma once

// The desktop's keyring: the password of a user on a server, kept by the
// system (the freedesktop Secret Service through libsecret on Linux, the
// Credential Manager on Windows), never in a file of the program.
//
// Every call may wait for the keyring (a D-Bus round trip, an unlock prompt):
// never call them on the window's thread. No call writes the password, or
// any part of it, into the error text it returns.

#include <string>

namespace platform {

// Which password: the server's address and the user name.
struct SecretKey
{
    std::string server;
    std::string user;
};

enum class SecretFound {
    Yes,
    No,         // the keyring answered and holds no password for that key
    Unavailable // no keyring answered, or it failed: error says why
};

// Keeps password for key, replacing the one kept before. False with error
// when no keyring took it.
bool StoreSecret(const SecretKey &key, const std::string &password, std::string &error);
// The password kept for key.
SecretFound LookupSecret(const SecretKey &key, std::string &password, std::string &error);
// Forgets the password kept for key; true also when there was none.
bool RemoveSecret(const SecretKey &key, std::string &error);

} // namespace platform
