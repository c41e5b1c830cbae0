#include "IniFile.h"

#include "runtime/Format.h"
#include "runtime/TextLookup.h"
#include "runtime/WholeFile.h"

#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>

// Only 8-bit text is kept; no wide-character variant is needed. The packaged header
// keeps its template bodies behind SI_IMPLEMENTATION (its library instantiates them
// for builds with ICU), so this file instantiates the one variant used here.
#define SI_NO_CONVERSION
#define SI_IMPLEMENTATION
#include <SimpleIni.h>

namespace {

const char* const kReadFailed = N_("Cannot read the file '%s': %s");
const char* const kWriteFailed = N_("Cannot write the file '%s': %s");

[[noreturn]] void Fail(const char* pattern, const std::filesystem::path& file, const std::string& reason)
{
    throw EIniFileException(FormatTemplate(RuntimeText(pattern), {file.string(), reason}));
}

[[noreturn]] void Fail(const char* pattern, const std::filesystem::path& file, int err)
{
    Fail(pattern, file, ErrorText(err));
}

void Parse(const std::filesystem::path& file, const std::string& bytes, CSimpleIniA& ini)
{
    if (ini.LoadData(bytes) < 0)
        Fail(kReadFailed, file, ENOMEM);
}

// The file's content; a missing file is an empty one.
void Load(const std::filesystem::path& file, CSimpleIniA& ini)
{
    std::string bytes;
    const int err = ReadWholeFile(file, bytes);
    if (err == ENOENT)
        return;
    if (err)
        Fail(kReadFailed, file, err);
    Parse(file, bytes, ini);
}

std::string Text(const std::filesystem::path& file, const CSimpleIniA& ini)
{
    std::string bytes;
    // A file that began with a UTF-8 signature keeps it.
    if (ini.Save(bytes, ini.IsUnicode()) < 0)
        Fail(kWriteFailed, file, ENOMEM);
    return bytes;
}

// 8-bit text, one value a key, and values with line breaks written in the
// multi-line form instead of breaking the file.
struct TIniData : CSimpleIniA {
    TIniData() : CSimpleIniA(false, false, true) {}
};

// Whether `b` has exactly the sections, keys and values of `a`.
bool SameEntries(const CSimpleIniA& a, const CSimpleIniA& b)
{
    CSimpleIniA::TNamesDepend sections, others;
    a.GetAllSections(sections);
    b.GetAllSections(others);
    if (sections.size() != others.size())
        return false;
    for (const auto& section : sections) {
        const auto* keys = a.GetSection(section.pItem);
        const auto* read = b.GetSection(section.pItem);
        if (!read || read->size() != keys->size())
            return false;
        for (const auto& [key, value] : *keys) {
            const auto found = read->find(key);
            if (found == read->end() || std::strcmp(found->second, value) != 0)
                return false;
        }
    }
    return true;
}

// The file's text after the change, refused unless it reads back exactly as meant. The
// form cannot hold every name or value (a line "END_OF_TEXT" in a value, '=' in a key,
// a CR, blanks around a name, ...), and one it cannot hold may even change other keys.
std::string NewText(const std::filesystem::path& file, const std::string& old, const std::string& section,
                    const std::string& key, const std::string& value)
{
    TIniData ini;
    Parse(file, old, ini);
    if (ini.SetValue(section.c_str(), key.c_str(), value.c_str()) < 0)
        Fail(kWriteFailed, file, ENOMEM);
    const std::string bytes = Text(file, ini);
    TIniData again;
    Parse(file, bytes, again);
    const char* stored = again.GetValue(section.c_str(), key.c_str(), nullptr);
    const bool whole = std::strlen(section.c_str()) == section.size() && std::strlen(key.c_str()) == key.size();
    if (!whole || !stored || stored != value || !SameEntries(ini, again))
        Fail(kWriteFailed, file, RuntimeText("the file cannot hold this name or value as it is"));
    return bytes;
}

std::optional<std::int32_t> ParseInteger(std::string_view text)
{
    bool negative = false;
    if (!text.empty() && (text[0] == '-' || text[0] == '+')) {
        negative = text[0] == '-';
        text.remove_prefix(1);
    }
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    // Unsigned, so that no second sign is taken ("--5" is no number).
    std::uint64_t magnitude = 0;
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), magnitude, base);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty())
        return std::nullopt;
    if (magnitude > (negative ? 2147483648u : 2147483647u))
        return std::nullopt;
    return std::int32_t(negative ? -std::int64_t(magnitude) : std::int64_t(magnitude));
}

} // namespace

TIniFile::TIniFile(std::filesystem::path fileName) : fileName_(std::move(fileName)) {}

std::string TIniFile::ReadString(const std::string& section, const std::string& key,
                                 const std::string& defaultValue) const
{
    TIniData ini;
    Load(fileName_, ini);
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value ? value : defaultValue;
}

std::int32_t TIniFile::ReadInteger(const std::string& section, const std::string& key,
                                   std::int32_t defaultValue) const
{
    TIniData ini;
    Load(fileName_, ini);
    const char* value = ini.GetValue(section.c_str(), key.c_str(), nullptr);
    return value ? ParseInteger(value).value_or(defaultValue) : defaultValue;
}

void TIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value)
{
    const TUpdateResult result = UpdateWholeFile(
        fileName_, [&](std::string& bytes) { bytes = NewText(fileName_, bytes, section, key, value); });
    if (result.err)
        Fail(result.reading ? kReadFailed : kWriteFailed, fileName_, result.err);
}

void TIniFile::WriteInteger(const std::string& section, const std::string& key, std::int32_t value)
{
    WriteString(section, key, std::to_string(value));
}
