// SPDX-License-Identifier: MIT
#include "platform/WbemFactory.h"

#include "platform/BoundedFile.h"
#include "wbem/fake/FakeWbemService.h"

#include <cstdlib>

#if defined(_WIN32)
#include "platform/win/WinWbemService.h"
#else
#include "platform/linux/LinuxWbemService.h"
#endif
#if defined(VELMORA_HAVE_PROMETHEUS)
#include "platform/prometheus/PrometheusWbemService.h"
#endif

namespace platform {

namespace {

#if defined(VELMORA_HAVE_PROMETHEUS)
// Sends an http(s):// host to the Prometheus locator and every other host to
// the system's own.
class RoutingWbemLocator : public WbemLocator
{
public:
    RoutingWbemLocator(std::unique_ptr<WbemLocator> system, WbemCredentials credentials)
        : m_system(std::move(system)), m_credentials(std::move(credentials))
    {}

    std::unique_ptr<WbemServices> ConnectServer(const std::string &host, const std::string &nameSpace) override
    {
        if (IsPrometheusHost(host))
            return PrometheusWbemLocator(m_credentials).ConnectServer(host, nameSpace);
        return m_system->ConnectServer(host, nameSpace);
    }

private:
    std::unique_ptr<WbemLocator> m_system;
    WbemCredentials m_credentials;
};
#endif

constexpr std::size_t kMaxFakeFileSize = 16u * 1024u * 1024u;

std::unique_ptr<WbemLocator> systemLocator()
{
#if defined(_WIN32)
    return std::make_unique<WinWbemLocator>();
#else
    return std::make_unique<LinuxWbemLocator>();
#endif
}

} // namespace

std::optional<std::string> ReadFakeWbemFile(const std::string &path)
{
    BoundedRead read = ReadBoundedFile(path, kMaxFakeFileSize);
    if (read.Result == BoundedRead::Status::Missing)
        return std::nullopt;
    if (read.Result == BoundedRead::Status::TooLarge)
        throw WbemError("The fake WBEM file " + path + " is larger than 16 MiB");
    if (!read.Ok())
        throw WbemError("Cannot read the fake WBEM file " + path + ": " + read.Reason);
    return std::move(read.Bytes);
}

std::unique_ptr<WbemLocator> CreateWbemLocator()
{
    return CreateWbemLocator(WbemCredentials{});
}

std::unique_ptr<WbemLocator> CreateWbemLocator([[maybe_unused]] const WbemCredentials &credentials)
{
    // The test locator serves every host, a Prometheus address included.
    if (const char *fake = std::getenv("VELMORA_FAKE_WBEM"); fake && *fake)
        return std::make_unique<FakeWbemLocator>(fake, ReadFakeWbemFile);
#if defined(VELMORA_HAVE_PROMETHEUS)
    return std::make_unique<RoutingWbemLocator>(systemLocator(), credentials);
#else
    return systemLocator();
#endif
}

} // namespace platform
