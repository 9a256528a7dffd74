// SPDX-License-Identifier: MIT
#include "platform/SecretPrompt.h"

#include <windows.h>

#include <iostream>

namespace platform {

bool ReadSecretLine(const std::string &prompt, std::string &secret)
{
    secret.clear();
    HANDLE input = ::GetStdHandle(STD_INPUT_HANDLE);
    DWORD saved = 0;
    const bool console = input != INVALID_HANDLE_VALUE && ::GetConsoleMode(input, &saved);
    if (console) {
        std::cerr << prompt << std::flush;
        ::SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
    }
    const bool ok = static_cast<bool>(std::getline(std::cin, secret));
    if (console) {
        ::SetConsoleMode(input, saved);
        std::cerr << '\n';
    }
    if (!secret.empty() && secret.back() == '\r')
        secret.pop_back();
    return ok;
}

} // namespace platform
