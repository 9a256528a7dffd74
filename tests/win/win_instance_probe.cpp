// SPDX-License-Identifier: MIT
// A second start, as the widget makes it, for tst_win_instance.
//   win_instance_probe lasterror  exit code = the system's error right after
//                                 creating the instance mutex (183: taken)
//   win_instance_probe start      the start-up guard: exit 0 after handing
//                                 over to a running instance, 1 when the mutex
//                                 cannot be created, 42 when this would be the
//                                 first instance
#include "platform/win/WinInstance.h"

#include <cstring>

int main(int argc, char **argv)
{
    using namespace platform::win;
    if (argc == 2 && std::strcmp(argv[1], "lasterror") == 0) {
        WinInstanceMutex mutex;
        return int(mutex.CreationError());
    }
    if (argc == 2 && std::strcmp(argv[1], "start") == 0) {
        WinInstanceMutex mutex;
        switch (CheckSingleInstance(mutex)) {
        case InstanceCheck::First:
            return 42;
        case InstanceCheck::AnotherRunning:
            return 0;
        case InstanceCheck::Failed:
            return 1;
        }
    }
    return 2;
}
