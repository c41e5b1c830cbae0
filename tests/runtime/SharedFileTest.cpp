#include "runtime/IniFile.h"
#include "runtime/RegistryKey.h"

#include "AccessTest.h"

#include <sys/wait.h>
#include <unistd.h>

using SharedFile = AccessTest;

// Two programs writing one INI file and one key file at the same time keep each other's values.
TEST_F(SharedFile, TwoWritingProcessesLoseNoValue)
{
    const auto iniPath = dir.Path() / "ports.ini";
    const auto keyPath = dir.Path() / "port.reg";
    constexpr int kValues = 100;
    pid_t children[2];
    for (int child = 0; child < 2; ++child) {
        children[child] = ::fork();
        ASSERT_GE(children[child], 0);
        if (children[child] == 0) {
            try {
                TIniFile ini(iniPath);
                TRegistry key(keyPath);
                for (int i = 0; i < kValues; ++i) {
                    const std::string name = "W" + std::to_string(child) + "." + std::to_string(i);
                    ini.WriteInteger("Shared", name, i);
                    key.WriteInteger(name, i);
                }
            } catch (...) {
                ::_exit(1);
            }
            ::_exit(0);
        }
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    TIniFile ini(iniPath);
    TRegistry key(keyPath);
    int missing = 0;
    for (int child = 0; child < 2; ++child) {
        for (int i = 0; i < kValues; ++i) {
            const std::string name = "W" + std::to_string(child) + "." + std::to_string(i);
            missing += ini.ReadInteger("Shared", name, -1) != i;
            missing += !key.ValueExists(name) || key.ReadInteger(name) != i;
        }
    }
    EXPECT_EQ(missing, 0);
}
