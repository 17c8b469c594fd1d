// One process runs every Windows check: under 32-bit Wine a process start is
// costly, and the plug-in starts only once per process anyway.
// Usage: rivo_windows_test [gtest options] [PLUGIN]
#include <stdlib.h>

#include "support.h"

void RegisterEndOfLifeTests();

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (argc > 1) {
        wchar_t path[MAX_PATH * 2];
        MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, MAX_PATH * 2);
        SetPluginPath(path);
    }
    testing::AddGlobalTestEnvironment(new HostEnvironment);
    // Registered here, after every test defined with TEST/TEST_F, so that
    // they run last: they end the plug-in's life in this process.
    RegisterEndOfLifeTests();
    return RUN_ALL_TESTS();
}
