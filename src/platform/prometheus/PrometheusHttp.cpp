// SPDX-License-Identifier: MIT
#include "platform/prometheus/PrometheusHttp.h"

#include "platform/prometheus/CurlLibrary.h"
#include "platform/prometheus/PrometheusAnswer.h"
#include "wbem/VisibleText.h"

#include <algorithm>
#include <memory>

namespace platform {

namespace {

struct UrlDeleter
{
    void operator()(CURLU *u) const { Curl().url_cleanup(u); }
};
struct EasyDeleter
{
    void operator()(CURL *c) const { Curl().easy_cleanup(c); }
};
struct MultiDeleter
{
    void operator()(CURLM *m) const { Curl().multi_cleanup(m); }
};
struct CurlText
{
    void operator()(char *p) const { Curl().free(p); }
};
using CurlString = std::unique_ptr<char, CurlText>;

std::string urlPart(CURLU *u, CURLUPart part)
{
    const CurlLibrary &curl = Curl();
    char *raw = nullptr;
    if (curl.url_get(u, part, &raw, 0) != CURLUE_OK || !raw)
        return {};
    CurlString text(raw);
    return text.get();
}

struct Transfer
{
    std::unique_ptr<CURL, EasyDeleter> easy;
    std::string form;
    std::string body;
    std::size_t *bytesLeft = nullptr; // shared by the transfers of one query
    bool tooLarge = false;
    bool done = false;
    CURLcode result = CURLE_OK;
    char error[CURL_ERROR_SIZE] = {};
};

std::size_t collect(char *data, std::size_t size, std::size_t count, void *user)
{
    auto *t = static_cast<Transfer *>(user);
    const std::size_t n = size * count;
    if (n > *t->bytesLeft) {
        t->tooLarge = true;
        return 0;
    }
    *t->bytesLeft -= n;
    t->body.append(data, n);
    return n;
}

// The server's words in an answer that is not a result.
std::string wordsOf(const std::string &body)
{
    try {
        ParsePrometheusVector(body);
    } catch (const PrometheusAnswerError &e) {
        const std::string prefix = "The server's answer is not a Prometheus query result: ";
        std::string words = e.what();
        return words.rfind(prefix, 0) == 0 ? words.substr(prefix.size()) : words;
    }
    return {};
}

} // namespace

PrometheusEndpoint::PrometheusEndpoint(const std::string &url)
{
    const CurlLibrary &curl = Curl();
    std::unique_ptr<CURLU, UrlDeleter> u(curl.url());
    if (!u || curl.url_set(u.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        throw std::invalid_argument("Not a valid URL: " + VisibleText(UrlWithoutCredentials(url)));
    const std::string scheme = urlPart(u.get(), CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https")
        throw std::invalid_argument("Not an http:// or https:// URL: " + VisibleText(UrlWithoutCredentials(url)));
    if (urlPart(u.get(), CURLUPART_HOST).empty())
        throw std::invalid_argument("No host in " + VisibleText(UrlWithoutCredentials(url)));
    std::string path = urlPart(u.get(), CURLUPART_PATH);
    while (!path.empty() && path.back() == '/')
        path.pop_back();
    curl.url_set(u.get(), CURLUPART_QUERY, nullptr, 0);
    curl.url_set(u.get(), CURLUPART_FRAGMENT, nullptr, 0);
    curl.url_set(u.get(), CURLUPART_PATH, path.empty() ? "/" : path.c_str(), 0);
    curl.url_set(u.get(), CURLUPART_USER, nullptr, 0);
    curl.url_set(u.get(), CURLUPART_PASSWORD, nullptr, 0);
    m_displayUrl = urlPart(u.get(), CURLUPART_URL);
    // The query address keeps a user or password written into the URL.
    std::unique_ptr<CURLU, UrlDeleter> q(curl.url());
    curl.url_set(q.get(), CURLUPART_URL, url.c_str(), 0);
    curl.url_set(q.get(), CURLUPART_QUERY, nullptr, 0);
    curl.url_set(q.get(), CURLUPART_FRAGMENT, nullptr, 0);
    curl.url_set(q.get(), CURLUPART_PATH, (path + "/api/v1/query").c_str(), 0);
    m_queryUrl = urlPart(q.get(), CURLUPART_URL);
}

std::vector<std::string> PostPrometheusQueries(const PrometheusEndpoint &endpoint, const PrometheusLogin &login,
                                               const std::vector<std::string> &queries,
                                               std::chrono::milliseconds deadline, std::size_t maxBytes)
{
    const CurlLibrary &curl = Curl();
    using Kind = PrometheusHttpError::Kind;
    std::unique_ptr<CURLM, MultiDeleter> multi(curl.multi_init());
    if (!multi)
        throw PrometheusHttpError(Kind::Failed, "Cannot start an HTTP transfer");
    // A user without a password goes into the address: that is how curl
    // looks up its password in ~/.netrc (a user set on its own skips the
    // file).
    std::string url = endpoint.QueryUrl();
    if (!login.user.empty() && login.password.empty()) {
        std::unique_ptr<CURLU, UrlDeleter> u(curl.url());
        if (u && curl.url_set(u.get(), CURLUPART_URL, url.c_str(), 0) == CURLUE_OK
            && curl.url_set(u.get(), CURLUPART_USER, login.user.c_str(), CURLU_URLENCODE) == CURLUE_OK)
            url = urlPart(u.get(), CURLUPART_URL);
    }
    std::size_t bytesLeft = maxBytes;
    std::vector<std::unique_ptr<Transfer>> transfers;
    for (const std::string &query : queries) {
        auto t = std::make_unique<Transfer>();
        t->easy.reset(curl.easy_init());
        if (!t->easy)
            throw PrometheusHttpError(Kind::Failed, "Cannot start an HTTP transfer");
        CURL *c = t->easy.get();
        CurlString escaped(curl.easy_escape(c, query.data(), static_cast<int>(query.size())));
        t->form = std::string("query=") + (escaped ? escaped.get() : "");
        t->bytesLeft = &bytesLeft;
        curl.easy_setopt(c, CURLOPT_URL, url.c_str());
        curl.easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
        curl.easy_setopt(c, CURLOPT_POSTFIELDS, t->form.c_str());
        curl.easy_setopt(c, CURLOPT_POSTFIELDSIZE, static_cast<long>(t->form.size()));
        curl.easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
        curl.easy_setopt(c, CURLOPT_TIMEOUT_MS, static_cast<long>(deadline.count()));
        curl.easy_setopt(c, CURLOPT_ACCEPT_ENCODING, "");
        curl.easy_setopt(c, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL));
        curl.easy_setopt(c, CURLOPT_HTTPAUTH, static_cast<long>(CURLAUTH_BASIC));
        if (!login.password.empty()) {
            curl.easy_setopt(c, CURLOPT_USERNAME, login.user.c_str());
            curl.easy_setopt(c, CURLOPT_PASSWORD, login.password.c_str());
        }
        curl.easy_setopt(c, CURLOPT_WRITEFUNCTION, &collect);
        curl.easy_setopt(c, CURLOPT_WRITEDATA, t.get());
        curl.easy_setopt(c, CURLOPT_ERRORBUFFER, t->error);
        curl.easy_setopt(c, CURLOPT_PRIVATE, t.get());
        curl.multi_add_handle(multi.get(), c);
        transfers.push_back(std::move(t));
    }

    const auto end = std::chrono::steady_clock::now() + deadline;
    int running = 0;
    do {
        if (curl.multi_perform(multi.get(), &running) != CURLM_OK)
            break;
        int left = 0;
        while (CURLMsg *msg = curl.multi_info_read(multi.get(), &left)) {
            if (msg->msg != CURLMSG_DONE)
                continue;
            Transfer *t = nullptr;
            curl.easy_getinfo(msg->easy_handle, CURLINFO_PRIVATE, &t);
            t->done = true;
            t->result = msg->data.result;
        }
        // One answer over the bound is the end of the query: the others
        // have nothing left to fill.
        if (running == 0
            || std::any_of(transfers.begin(), transfers.end(), [](const auto &t) { return t->tooLarge; }))
            break;
        const auto now = std::chrono::steady_clock::now();
        if (now >= end)
            break;
        const auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        curl.multi_poll(multi.get(), nullptr, 0, static_cast<int>(std::min<long long>(wait + 1, 100)), nullptr);
    } while (true);

    for (auto &t : transfers)
        curl.multi_remove_handle(multi.get(), t->easy.get());
    const std::string &where = endpoint.DisplayUrl();
    for (auto &t : transfers)
        if (t->tooLarge)
            throw PrometheusHttpError(Kind::Failed,
                                      "The answers of Prometheus at " + where + " are larger than "
                                          + std::to_string(maxBytes >> 20) + " MiB, the most one query reads");
    std::vector<std::string> bodies;
    bodies.reserve(transfers.size());
    for (auto &t : transfers) {
        if (!t->done || t->result == CURLE_OPERATION_TIMEDOUT)
            throw PrometheusHttpError(Kind::Unreachable,
                                      "Prometheus at " + where + " did not answer within "
                                          + std::to_string(deadline.count()) + " ms");
        if (t->result != CURLE_OK) {
            const bool unreachable = t->result == CURLE_COULDNT_CONNECT || t->result == CURLE_COULDNT_RESOLVE_HOST
                || t->result == CURLE_COULDNT_RESOLVE_PROXY || t->result == CURLE_SEND_ERROR
                || t->result == CURLE_RECV_ERROR || t->result == CURLE_GOT_NOTHING;
            const std::string detail = VisibleText(t->error[0] ? t->error : curl.easy_strerror(t->result));
            throw PrometheusHttpError(unreachable ? Kind::Unreachable : Kind::Failed,
                                      "Cannot reach Prometheus at " + where + ": " + detail);
        }
        long status = 0;
        curl.easy_getinfo(t->easy.get(), CURLINFO_RESPONSE_CODE, &status);
        if (status != 200) {
            std::string message = "Prometheus at " + where + " answered HTTP " + std::to_string(status);
            if (std::string words = wordsOf(t->body); !words.empty())
                message += ": " + words;
            throw PrometheusHttpError(status == 401 || status == 403 ? Kind::Denied : Kind::Failed, message);
        }
        bodies.push_back(std::move(t->body));
    }
    return bodies;
}

} // namespace platform
