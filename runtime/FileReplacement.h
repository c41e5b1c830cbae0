// A new content for a file, written beside it and put in its place in one step.
#pragma once

#include "runtime/FileDescriptor.h"

#include <filesystem>
#include <string>
#include <string_view>

// Writes a temporary file in the target's folder and renames it over the target on
// Commit, so that a reader sees the old file or the whole new one, never a part, and a
// failure or a crash before Commit leaves the old file as it was. A replacement not
// committed removes its temporary file. The new file keeps the mode of the file it
// replaces, and its owner and group where the process may give them away (on Windows:
// its hidden, system and archive attributes). Commit syncs the new file before the
// rename and the rename itself (the folder, or a write-through rename), so the change
// survives a crash.
//
// A symbolic link is followed: the file it names is replaced (or made) and the link stays.
// An existing file without any write bit is read-only for everyone, root too (like a
// read-only file attribute, refused alike on Windows), and is refused with EACCES, as is
// one this process may not write.
class TFileReplacement {
public:
    TFileReplacement() = default;
    ~TFileReplacement();
    TFileReplacement(const TFileReplacement&) = delete;
    TFileReplacement& operator=(const TFileReplacement&) = delete;

    // Starts the new file for `path`. Returns 0 or an errno (EISDIR or EINVAL when the
    // target is there but no regular file).
    int Begin(const std::filesystem::path& path);
    int Write(std::string_view bytes);
    // Puts the new file in the target's place. An error from syncing the folder comes
    // after the rename: the new file is in place but may not survive a crash.
    int Commit();
    // The same where no file is yet: EEXIST, and nothing changed, when one appeared meanwhile.
    int CommitAsNew();

private:
    int Place(bool asNew);

    std::filesystem::path target_;
    std::filesystem::path temporary_;
    TFd fd_;
};
