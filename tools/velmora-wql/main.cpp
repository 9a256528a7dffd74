// SPDX-License-Identifier: MIT
// velmora-wql [--properties] [--host HOST] [--namespace NS] "SELECT ..."
//
// Prints the object text of every result object, or with --properties each
// object's property list (one "Name=value" line per property, as the query
// component builds it), objects separated by an empty line. Errors go to
// standard error with the service's code; the exit code is then 1.
#include "platform/WbemService.h"
#include "wmi/ObjectText.h"

#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::cerr << "usage: velmora-wql [--properties] [--host HOST] [--namespace NAMESPACE] \"SELECT ...\"\n";
    return 1;
}

} // namespace

int main(int argc, char **argv)
{
    bool properties = false;
    std::string host = ".";
    std::string nameSpace = "root\\cimv2";
    std::string query;
    bool haveQuery = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--properties") {
            properties = true;
        } else if ((arg == "--host" || arg == "--namespace") && i + 1 < argc) {
            (arg == "--host" ? host : nameSpace) = argv[++i];
        } else if (arg == "--help" || arg == "-h") {
            usage();
            return 0;
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
        auto locator = platform::CreateWbemLocator();
        auto services = locator->ConnectServer(host, nameSpace);
        auto result = services->ExecQuery(query);
        bool first = true;
        while (auto object = result->Next()) {
            const std::string text = object->GetObjectText();
            if (!properties) {
                std::cout << text;
                continue;
            }
            std::vector<std::string> list;
            ObjectText::BuildPropertyList(ObjectText::SplitLines(text), list);
            if (!first)
                std::cout << '\n';
            first = false;
            for (const std::string &line : list)
                std::cout << line << '\n';
        }
        std::cout.flush();
        return std::cout ? 0 : 1;
    } catch (const platform::WbemError &e) {
        char code[16];
        std::snprintf(code, sizeof code, "0x%08X", static_cast<unsigned>(e.code()));
        std::cerr << "velmora-wql: " << e.what() << " (" << code << ")\n";
    } catch (const std::exception &e) {
        std::cerr << "velmora-wql: " << e.what() << '\n';
    }
    return 1;
}
