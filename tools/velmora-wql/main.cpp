// SPDX-License-Identifier: MIT
// velmora-wql [--properties] [--host HOST] [--user USER] [--namespace NS] "SELECT ..."
//
// HOST may be a Prometheus server's http:// or https:// URL. Its credentials
// come from ~/.netrc; with --user, a server that refuses them makes the tool
// ask for the password (without echo on a terminal, or one line of standard
// input). A password is never taken from the command line.
//
// Prints the object text of every result object, or with --properties each
// object's properties, one Name="value" line each (escaped so that the line
// reads back to exactly the value: wbem/PropertyLines.h), objects
// separated by an empty line. Errors go to standard error with the service's
// code, one line with every control character made visible (a server's words
// never act on the terminal); the exit code is then 1.
#include "history/DiskTrendService.h"
#include "platform/SecretPrompt.h"
#include "platform/WbemFactory.h"
#include "wbem/PropertyLines.h"
#include "wbem/VisibleText.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

const char UsageLine[] = "usage: velmora-wql [--properties] [--host HOST] [--user USER] [--namespace NAMESPACE] "
                         "\"SELECT ...\"\n";

const char HelpText[] = "Runs one WQL query and prints the objects it returns, each as its object text.\n"
                        "\n"
                        "  --properties      print each object's properties instead, one Name=\"value\"\n"
                        "                    line each, objects separated by an empty line\n"
                        "  --host HOST       the computer to ask (default \".\", this one); may be a\n"
                        "                    Prometheus server's http:// or https:// URL\n"
                        "  --user USER       the user to connect as; credentials come from ~/.netrc,\n"
                        "                    and a server that refuses them makes the tool ask for\n"
                        "                    USER's password (never taken from the command line)\n"
                        "  --namespace NS    the namespace to query (default root\\cimv2)\n"
                        "  -h, --help        show this help and exit\n"
                        "\n"
                        "Exit status: 0 done; 1 the query failed (the reason and the service's code\n"
                        "on standard error) or wrong options.\n";

int usage()
{
    std::cerr << UsageLine << "Try 'velmora-wql --help'.\n";
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    bool properties = false;
    std::string host = ".";
    std::string nameSpace = "root\\cimv2";
    platform::WbemCredentials credentials;
    std::string query;
    bool haveQuery = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--properties") {
            properties = true;
        } else if ((arg == "--host" || arg == "--namespace") && i + 1 < argc) {
            (arg == "--host" ? host : nameSpace) = argv[++i];
        } else if (arg == "--user" && i + 1 < argc) {
            credentials.user = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            std::cout << UsageLine << HelpText;
            return std::cout.flush() ? 0 : 1;
        } else if (!haveQuery && (arg.empty() || arg[0] != '-')) {
            query = arg;
            haveQuery = true;
        } else {
            return usage();
        }
    }
    if (!haveQuery)
        return usage();

    try {
        std::unique_ptr<platform::WbemObjectSet> result;
        try {
            result = history::WithDiskTrends(platform::CreateWbemLocator(credentials))
                         ->ConnectServer(host, nameSpace)
                         ->ExecQuery(query);
        } catch (const platform::WbemError &e) {
            constexpr auto kAccessDenied = static_cast<std::int32_t>(0x80070005u);
            if (e.code() != kAccessDenied || credentials.user.empty())
                throw;
            if (!platform::ReadSecretLine("Password for " + credentials.user + ": ", credentials.password))
                throw;
            result = history::WithDiskTrends(platform::CreateWbemLocator(credentials))
                         ->ConnectServer(host, nameSpace)
                         ->ExecQuery(query);
        }
        bool first = true;
        while (auto object = result->Next()) {
            const std::string text = object->GetObjectText();
            if (!properties) {
                std::cout << text;
                continue;
            }
            if (!first)
                std::cout << '\n';
            first = false;
            for (const auto &[name, value] : platform::MofInstanceValues(text))
                std::cout << platform::PropertyLine(name, value) << '\n';
        }
        std::cout.flush();
        return std::cout ? 0 : 1;
    } catch (const platform::WbemError &e) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.code()));
        std::cerr << "velmora-wql: " << platform::VisibleText(e.what()) << " (" << code << ")\n";
    } catch (const std::exception &e) {
        std::cerr << "velmora-wql: " << platform::VisibleText(e.what()) << '\n';
    }
    return 1;
}
