#include "StreamOutput.h"

#include "tools/common/Console.h"
#include "runtime/Format.h"
#include "runtime/TextLookup.h"
#include "runtime/Utf8Path.h"
#include "tools/common/ToolMessages.h"

namespace {

constexpr std::size_t ChunkSize = 64 * 1024;

} // namespace

StreamOutput::StreamOutput(std::optional<std::string> path) : path_(std::move(path))
{
    if (path_)
        ChooseDestination();
    else if (IsTerminal(stdout))
        Fail(CurrentDomainText("it is a terminal, which would show the bytes as garbage (use -o OUT or a pipe)"));
}

StreamOutput::~StreamOutput()
{
    CloseSpool();
}

void StreamOutput::RefuseInput(const std::optional<TFileIdentity>& input) const
{
    if (path_ && input && IdentityOf(*path_) == input)
        Fail(CurrentDomainText("it is the HEX file being read"));
}

void StreamOutput::Put(std::uint8_t byte)
{
    if (!started_)
        Create();
    pending_.push_back(byte);
    if (pending_.size() >= ChunkSize)
        Flush();
}

// Made at the first byte, so an input that cannot be read leaves nothing behind.
void StreamOutput::Create()
{
    started_ = true;
    pending_.reserve(ChunkSize);
    if (replace_) {
        if (const int err = replacement_.Begin(PathFromUtf8(*path_)))
            Fail(err);
        return;
    }
    CreateSpool();
}

void StreamOutput::Flush()
{
    if (!replace_)
        WriteSpool(pending_.data(), pending_.size());
    else if (const int err = replacement_.Write({reinterpret_cast<const char*>(pending_.data()), pending_.size()}))
        Fail(err);
    pending_.clear();
}

void StreamOutput::Commit()
{
    if (!started_)
        Create();
    Flush();
    if (replace_) {
        if (const int err = replacement_.Commit())
            Fail(err);
        return;
    }
    CopySpoolOut();
}

void StreamOutput::Fail(int err) const
{
    Fail(EInOutError::FromErrno(err));
}

void StreamOutput::Fail(const EInOutError& error) const
{
    Fail(ErrorAbout({}, error));
}

void StreamOutput::Fail(const std::string& reason) const
{
    const std::string where = path_ ? *path_ : CurrentDomainText("standard output");
    throw OutputError(FormatTemplate(CurrentDomainText("cannot write %s: %s"), {where, reason}));
}

void StreamOutput::FailSpool(const EInOutError& error) const
{
    throw OutputError(FormatTemplate(CurrentDomainText("cannot keep the stream in a temporary file in %s: %s"),
                                     {spoolFolder_, ErrorAbout({}, error)}));
}
