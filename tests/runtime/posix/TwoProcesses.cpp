#include "TwoProcesses.h"

#include <sys/wait.h>
#include <unistd.h>

bool InTwoProcesses(const std::filesystem::path& folder,
                    const std::function<void(const std::filesystem::path&)>& second,
                    const std::function<void()>& first)
{
    const pid_t child = ::fork();
    if (child == 0) {
        try { second(folder); } catch (...) { ::_exit(1); }
        ::_exit(0);
    }
    first();
    int status = 0;
    return child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}
