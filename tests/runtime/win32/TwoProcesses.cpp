#include "TwoProcesses.h"

#include "runtime/Utf8Path.h"
#include "Platform.h"
#include <cstdlib>
#include <gtest/gtest.h>
#include <windows.h>

bool InTwoProcesses(const std::filesystem::path& folder,
                    const std::function<void(const std::filesystem::path&)>& second,
                    const std::function<void()>& first)
{
    const char* const variable = "VORN_TEST_SECOND_FOLDER";  // set in the second process only
    if (const char* given = std::getenv(variable); given && *given) {
        try { second(PathFromUtf8(given)); } catch (...) { std::_Exit(1); }
        std::_Exit(0);
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(program) + L"\" --gtest_filter=" +
                           PathFromUtf8(std::string(test->test_suite_name()) + "." + test->name()).native();
    STARTUPINFOW startup {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION child {};
    SetEnvironment(variable, Utf8FromPath(folder).c_str());  // inherited
    const bool started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                        &startup, &child);
    SetEnvironment(variable, "");
    DWORD status = 1;
    if (started) {
        first();
        if (WaitForSingleObject(child.hProcess, 60000) != WAIT_OBJECT_0 || !GetExitCodeProcess(child.hProcess, &status))
            TerminateProcess(child.hProcess, 1);
        CloseHandle(child.hThread);
        CloseHandle(child.hProcess);
    }
    return started && status == 0;
}
