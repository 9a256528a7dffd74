// SPDX-License-Identifier: MIT
#pragma once

// libcurl, opened on first use instead of linked: a program that only asks
// this machine about its drives then maps neither libcurl nor the dozens of
// libraries it needs (TLS, Kerberos, LDAP, SSH), which would cost more than
// the whole local query at every start.

#include <curl/curl.h>

namespace platform {

// The libcurl functions the Prometheus client calls, resolved from the
// library at run time. The calls have libcurl's own signatures; the variadic
// ones take what the libcurl documentation gives for each option.
struct CurlLibrary
{
    CURLcode (*global_init)(long flags);
    CURLU *(*url)();
    void (*url_cleanup)(CURLU *handle);
    CURLUcode (*url_set)(CURLU *handle, CURLUPart what, const char *part, unsigned int flags);
    CURLUcode (*url_get)(const CURLU *handle, CURLUPart what, char **part, unsigned int flags);
    void (*free)(void *p);
    CURL *(*easy_init)();
    void (*easy_cleanup)(CURL *handle);
    char *(*easy_escape)(CURL *handle, const char *string, int length);
    CURLcode (*easy_setopt)(CURL *handle, CURLoption option, ...);
    CURLcode (*easy_getinfo)(CURL *handle, CURLINFO info, ...);
    const char *(*easy_strerror)(CURLcode code);
    CURLM *(*multi_init)();
    CURLMcode (*multi_cleanup)(CURLM *multi);
    CURLMcode (*multi_add_handle)(CURLM *multi, CURL *handle);
    CURLMcode (*multi_remove_handle)(CURLM *multi, CURL *handle);
    CURLMcode (*multi_perform)(CURLM *multi, int *running);
    CURLMsg *(*multi_info_read)(CURLM *multi, int *left);
    CURLMcode (*multi_poll)(CURLM *multi, struct curl_waitfd extra[], unsigned int count, int timeoutMs, int *ret);
};

// The name libcurl's ABI has had since 2006 (libcurl4 on Debian).
inline constexpr const char *kCurlSoname = "libcurl.so.4";

// libcurl, opened and set up (curl_global_init) once for the whole process
// and kept open. Throws PrometheusHttpError (Unreachable) naming the library
// and what the loader said when it is not installed or lacks a function;
// a later call tries again.
const CurlLibrary &Curl();

// Opens the shared library `soname` and resolves every function of
// CurlLibrary from it, without setting it up. The same errors as Curl().
CurlLibrary OpenCurlLibrary(const char *soname);

} // namespace platform
