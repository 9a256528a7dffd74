// SPDX-License-Identifier: MIT
#include "platform/prometheus/CurlLibrary.h"

#include "platform/prometheus/PrometheusHttp.h"

#include <dlfcn.h>

#include <string>

namespace platform {

namespace {

[[noreturn]] void refuse(const char *soname, const std::string &why)
{
    throw PrometheusHttpError(PrometheusHttpError::Kind::Unreachable,
                              std::string("Prometheus servers are asked through libcurl (") + soname
                                  + "), which cannot be used: " + why);
}

template <typename F>
void resolve(void *library, const char *soname, const char *name, F &slot)
{
    ::dlerror();
    void *symbol = ::dlsym(library, name);
    if (!symbol) {
        const char *why = ::dlerror();
        refuse(soname, why ? why : std::string(name) + " is missing");
    }
    // POSIX guarantees that dlsym's object pointer converts to a function
    // pointer.
    slot = reinterpret_cast<F>(symbol);
}

} // namespace

CurlLibrary OpenCurlLibrary(const char *soname)
{
    // RTLD_LOCAL: libcurl's symbols stay out of the global scope, so nothing
    // loaded later binds to them by accident.
    void *library = ::dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        const char *why = ::dlerror();
        refuse(soname, why ? why : "it is not installed");
    }
    CurlLibrary api{};
    try {
        resolve(library, soname, "curl_global_init", api.global_init);
        resolve(library, soname, "curl_url", api.url);
        resolve(library, soname, "curl_url_cleanup", api.url_cleanup);
        resolve(library, soname, "curl_url_set", api.url_set);
        resolve(library, soname, "curl_url_get", api.url_get);
        resolve(library, soname, "curl_free", api.free);
        resolve(library, soname, "curl_easy_init", api.easy_init);
        resolve(library, soname, "curl_easy_cleanup", api.easy_cleanup);
        resolve(library, soname, "curl_easy_escape", api.easy_escape);
        resolve(library, soname, "curl_easy_setopt", api.easy_setopt);
        resolve(library, soname, "curl_easy_getinfo", api.easy_getinfo);
        resolve(library, soname, "curl_easy_strerror", api.easy_strerror);
        resolve(library, soname, "curl_multi_init", api.multi_init);
        resolve(library, soname, "curl_multi_cleanup", api.multi_cleanup);
        resolve(library, soname, "curl_multi_add_handle", api.multi_add_handle);
        resolve(library, soname, "curl_multi_remove_handle", api.multi_remove_handle);
        resolve(library, soname, "curl_multi_perform", api.multi_perform);
        resolve(library, soname, "curl_multi_info_read", api.multi_info_read);
        resolve(library, soname, "curl_multi_poll", api.multi_poll);
    } catch (...) {
        ::dlclose(library);
        throw;
    }
    // The library stays open for the rest of the process: its handles may
    // live as long as the program.
    return api;
}

const CurlLibrary &Curl()
{
    // Opened once, by the first thread that needs it. When the initialiser
    // throws, the next call runs it again, so a library installed meanwhile
    // is found.
    static const CurlLibrary api = [] {
        CurlLibrary opened = OpenCurlLibrary(kCurlSoname);
        if (const CURLcode rc = opened.global_init(CURL_GLOBAL_DEFAULT); rc != CURLE_OK)
            throw PrometheusHttpError(PrometheusHttpError::Kind::Unreachable,
                                      std::string("libcurl could not be set up: ") + opened.easy_strerror(rc));
        return opened;
    }();
    return api;
}

} // namespace platform
