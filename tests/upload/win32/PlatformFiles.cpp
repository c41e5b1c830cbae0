#include "../PlatformFiles.h"

#include "upload/UploadStream.h"
#include <gtest/gtest.h>
#include <string>
#include <windows.h>

bool CanOpen(const std::filesystem::path& path, bool forWriting)
{
    const HANDLE file = CreateFileW(path.c_str(), forWriting ? GENERIC_WRITE : GENERIC_READ,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
    return file != INVALID_HANDLE_VALUE && CloseHandle(file);
}

TWriterHold::TWriterHold(const std::filesystem::path& path)
    : handle(reinterpret_cast<std::intptr_t>(
          CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr)))
{
}

TWriterHold::~TWriterHold()
{
    CloseHandle(reinterpret_cast<HANDLE>(handle));
}

const char* const DevicePath = "NUL";

// A named pipe is read up to its writer's end, which ends the file. The reader
// connects at once and the bytes fit the pipe's buffer: nothing waits.
TEST(HexFileReader, ReadsANamedPipeToItsWritersEnd)
{
    const std::string name = "\\\\.\\pipe\\vorn-upload-test-" + std::to_string(GetCurrentProcessId());
    const HANDLE writer = CreateNamedPipeA(name.c_str(), PIPE_ACCESS_OUTBOUND, PIPE_TYPE_BYTE, 1, 4096, 4096, 0, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    HexFileReader reader(name);
    DWORD written = 0;
    EXPECT_TRUE(WriteFile(writer, "a\r\nb", 4, &written, nullptr));
    CloseHandle(writer);
    EXPECT_EQ(reader.ReadLine(), "a");
    EXPECT_EQ(reader.ReadLine(), "b");
    EXPECT_TRUE(reader.Eof());
}
