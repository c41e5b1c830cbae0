// What one upload brought, and its report: byte count, program words and the
// eight names from the 128-byte table that ends every upload.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

constexpr std::size_t UnitNameTableSize = 128;
constexpr std::size_t UnitNameSize = 16;

// Counts the bytes of one upload and keeps only the last 128, so an upload of
// any length takes no memory of its size.
class UploadTally {
public:
    void Add(std::string_view bytes);
    std::uint64_t Bytes() const noexcept { return bytes_; }
    const std::string& Tail() const noexcept { return tail_; }

private:
    std::uint64_t bytes_ = 0;
    std::string tail_;
};

// One name entry for display: CP1250 to UTF-8, 16 × 0xFF as empty, trailing pad
// spaces dropped, control characters shown as \xNN so they cannot drive the terminal.
std::string DisplayBankName(std::string_view entry);

// The report of upload `number`, ending with "end of upload <number>\n".
// `reason` says what ended it; `savedTo` names the -o file, empty when none.
std::string FormatUploadSummary(unsigned number, std::string_view reason, const UploadTally& tally,
                                std::string_view savedTo);
