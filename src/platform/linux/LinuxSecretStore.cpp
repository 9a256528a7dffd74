// SPDX-License-Identifier: MIT
// The password in the Secret Service (GNOME Keyring, KWallet, KeePassXC ...)
// through libsecret, as an item of the schema below in the default
// collection.
#include "platform/SecretStore.h"

#include <libsecret/secret.h>

namespace platform {

namespace {

const SecretSchema *Schema()
{
    static const SecretSchema schema = {
        "com.brindlewick.Velmora.Server",
        SECRET_SCHEMA_NONE,
        {
            {"server", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"user", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
        nullptr,
    };
    return &schema;
}

// The keyring's own words, or a plain sentence when it gave none.
std::string Failure(GError *gerror, const char *what)
{
    std::string text = std::string("The desktop's keyring could not ") + what;
    if (gerror && gerror->message && *gerror->message)
        text += std::string(": ") + gerror->message;
    if (gerror)
        g_error_free(gerror);
    return text;
}

} // namespace

bool StoreSecret(const SecretKey &key, const std::string &password, std::string &error)
{
    GError *gerror = nullptr;
    const std::string label = "Velmora: " + key.user + " on " + key.server;
    const gboolean done = secret_password_store_sync(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(),
                                                     password.c_str(), nullptr, &gerror, "server",
                                                     key.server.c_str(), "user", key.user.c_str(), nullptr);
    if (done && !gerror)
        return true;
    error = Failure(gerror, "keep the password");
    return false;
}

SecretFound LookupSecret(const SecretKey &key, std::string &password, std::string &error)
{
    GError *gerror = nullptr;
    gchar *found = secret_password_lookup_sync(Schema(), nullptr, &gerror, "server", key.server.c_str(), "user",
                                               key.user.c_str(), nullptr);
    if (gerror) {
        if (found)
            secret_password_free(found);
        error = Failure(gerror, "give the password");
        return SecretFound::Unavailable;
    }
    if (!found)
        return SecretFound::No;
    password = found;
    secret_password_free(found);
    return SecretFound::Yes;
}

bool RemoveSecret(const SecretKey &key, std::string &error)
{
    GError *gerror = nullptr;
    secret_password_clear_sync(Schema(), nullptr, &gerror, "server", key.server.c_str(), "user", key.user.c_str(),
                               nullptr);
    if (!gerror)
        return true;
    error = Failure(gerror, "forget the password");
    return false;
}

} // namespace platform
