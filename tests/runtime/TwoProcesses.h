// A test's work in two processes at once.
#pragma once

#include <filesystem>
#include <functional>

// Runs `second` on `folder` in another process while `first` runs here; true when
// `second` ended well. On Windows the other process runs this test alone, and ends here.
bool InTwoProcesses(const std::filesystem::path& folder,
                    const std::function<void(const std::filesystem::path&)>& second,
                    const std::function<void()>& first);
