// SPDX-License-Identifier: MIT
// The password in the Secret Service (GNOME Keyring, KWallet, KeePassXC ...)
// through libsecret, as an item of the schema below in the default
// collection.
//
// libsecret is compiled against but not linked: it is opened the first time
// a password is stored, looked up or removed, so a widget that never asks a
// server with a password maps none of it (libsecret, GIO, GObject, libgcrypt
// and their start-up work).
#include "platform/SecretStore.h"

#include <dlfcn.h>
#include <libsecret/secret.h>

#include <mutex>

namespace platform {

namespace {

constexpr const char *kSoname = "libsecret-1.so.0";

// The calls of libsecret this store makes, looked up in the opened library.
struct SecretLibrary
{
    decltype(&secret_password_store_sync) store = nullptr;
    decltype(&secret_password_lookup_sync) lookup = nullptr;
    decltype(&secret_password_clear_sync) clear = nullptr;
    decltype(&secret_password_free) free = nullptr;
    decltype(&g_error_free) errorFree = nullptr;
    std::string error; // why the library cannot be used; empty when it can
};

template <typename F>
bool resolve(void *library, const char *name, F &slot, std::string &error)
{
    ::dlerror();
    void *symbol = ::dlsym(library, name);
    if (!symbol) {
        const char *why = ::dlerror();
        error = why ? why : std::string(name) + " is missing";
        return false;
    }
    // POSIX guarantees that dlsym's object pointer converts to a function
    // pointer.
    slot = reinterpret_cast<F>(symbol);
    return true;
}

SecretLibrary openLibrary()
{
    SecretLibrary api;
    // RTLD_LOCAL: its symbols stay out of the global scope. The library stays
    // open for the rest of the process (GObject types cannot be unloaded).
    void *library = ::dlopen(kSoname, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *why = ::dlerror();
        api.error = why ? why : "it is not installed";
    } else if (!resolve(library, "secret_password_store_sync", api.store, api.error)
               || !resolve(library, "secret_password_lookup_sync", api.lookup, api.error)
               || !resolve(library, "secret_password_clear_sync", api.clear, api.error)
               || !resolve(library, "secret_password_free", api.free, api.error)
               || !resolve(library, "g_error_free", api.errorFree, api.error)) {
        ::dlclose(library);
    }
    if (!api.error.empty())
        api.error = std::string("The desktop's keyring is reached through libsecret (") + kSoname
            + "), which cannot be used: " + api.error;
    return api;
}

// Opened once, by the first thread that needs it; a library that could not
// be opened is tried again at the next call (it may have been installed).
const SecretLibrary &Library()
{
    static std::mutex mutex;
    static SecretLibrary library;
    std::lock_guard<std::mutex> lock(mutex);
    if (!library.store)
        library = openLibrary();
    return library;
}

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
        Library().errorFree(gerror);
    return text;
}

} // namespace

bool StoreSecret(const SecretKey &key, const std::string &password, std::string &error)
{
    const SecretLibrary &secret = Library();
    if (!secret.error.empty()) {
        error = secret.error;
        return false;
    }
    GError *gerror = nullptr;
    const std::string label = "Velmora: " + key.user + " on " + key.server;
    const gboolean done = secret.store(Schema(), SECRET_COLLECTION_DEFAULT, label.c_str(), password.c_str(),
                                       nullptr, &gerror, "server", key.server.c_str(), "user", key.user.c_str(),
                                       nullptr);
    if (done && !gerror)
        return true;
    error = Failure(gerror, "keep the password");
    return false;
}

SecretFound LookupSecret(const SecretKey &key, std::string &password, std::string &error)
{
    const SecretLibrary &secret = Library();
    if (!secret.error.empty()) {
        error = secret.error;
        return SecretFound::Unavailable;
    }
    GError *gerror = nullptr;
    gchar *found = secret.lookup(Schema(), nullptr, &gerror, "server", key.server.c_str(), "user",
                                 key.user.c_str(), nullptr);
    if (gerror) {
        if (found)
            secret.free(found);
        error = Failure(gerror, "give the password");
        return SecretFound::Unavailable;
    }
    if (!found)
        return SecretFound::No;
    password = found;
    secret.free(found);
    return SecretFound::Yes;
}

bool RemoveSecret(const SecretKey &key, std::string &error)
{
    const SecretLibrary &secret = Library();
    if (!secret.error.empty()) {
        error = secret.error;
        return false;
    }
    GError *gerror = nullptr;
    secret.clear(Schema(), nullptr, &gerror, "server", key.server.c_str(), "user", key.user.c_str(), nullptr);
    if (!gerror)
        return true;
    error = Failure(gerror, "forget the password");
    return false;
}

} // namespace platform
