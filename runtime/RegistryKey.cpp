#include "RegistryKey.h"

#include "runtime/Format.h"
#include "runtime/KeyFile.h"
#include "runtime/TextLookup.h"
#include "runtime/WholeFile.h"

#include <cerrno>

namespace {

const char* const kGetFailed = N_("Failed to get data for '%s'");
const char* const kSetFailed = N_("Failed to set data for '%s'");
const char* const kInvalidType = N_("Invalid data type for '%s'");
const char* const kReadCause = N_("cannot read the file '%s': %s");
const char* const kWriteCause = N_("cannot write the file '%s': %s");

std::string ValueText(const char* pattern, const std::string& name)
{
    return FormatTemplate(RuntimeText(pattern), {name});
}

// The value's message followed by what went wrong with the file.
[[noreturn]] void Fail(const char* pattern, const std::string& name, const std::string& cause)
{
    throw ERegistryException(ValueText(pattern, name) + " (" + cause + ")");
}

std::string FileCause(const char* pattern, const std::filesystem::path& file, int err)
{
    return FormatTemplate(RuntimeText(pattern), {file.string(), ErrorText(err)});
}

void RequireKey(const std::filesystem::path& file, const char* pattern, const std::string& name)
{
    if (file.empty())
        Fail(pattern, name, RuntimeText("no key is open"));
}

TKeyFile ParseKey(const std::filesystem::path& file, const std::string& bytes, const char* pattern,
                  const std::string& name)
{
    TKeyFileError damage;
    auto key = TKeyFile::Parse(bytes, damage);
    if (!key)
        Fail(pattern, name, FormatTemplate(RuntimeText("the file '%s' is damaged at line %d: %s"),
                                           {file.string(), damage.line, RuntimeText(damage.reason)}));
    return std::move(*key);
}

// The key as the file holds it now; `pattern` is the value's message on failure.
TKeyFile LoadKey(const std::filesystem::path& file, const char* pattern, const std::string& name)
{
    RequireKey(file, pattern, name);
    std::string bytes;
    const int err = ReadWholeFile(file, bytes);
    if (err && err != ENOENT)
        Fail(pattern, name, FileCause(kReadCause, file, err));
    return ParseKey(file, bytes, pattern, name);
}

void WriteValue(const std::filesystem::path& file, const TKeyValue& value)
{
    RequireKey(file, kSetFailed, value.name);
    const TUpdateResult result = UpdateWholeFile(file, [&](std::string& bytes) {
        TKeyFile key = ParseKey(file, bytes, kSetFailed, value.name);
        key.Set(value);
        bytes = key.Text();
    });
    if (result.err)
        Fail(kSetFailed, value.name, FileCause(result.reading ? kReadCause : kWriteCause, file, result.err));
}

} // namespace

bool TRegistry::ValueExists(const std::string& name) const
{
    return LoadKey(keyFile_, kGetFailed, name).Find(name) != nullptr;
}

std::string TRegistry::ReadString(const std::string& name) const
{
    const TKeyFile key = LoadKey(keyFile_, kGetFailed, name);
    const TKeyValue* value = key.Find(name);
    if (!value)
        return {};
    if (value->type != TKeyDataType::String)
        throw ERegistryException(ValueText(kInvalidType, name));
    return value->text;
}

std::int32_t TRegistry::ReadInteger(const std::string& name) const
{
    const TKeyFile key = LoadKey(keyFile_, kGetFailed, name);
    const TKeyValue* value = key.Find(name);
    if (!value)
        throw ERegistryException(ValueText(kGetFailed, name));
    if (value->type != TKeyDataType::Integer)
        throw ERegistryException(ValueText(kInvalidType, name));
    return value->number;
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    WriteValue(keyFile_, {name, TKeyDataType::String, value, 0});
}

void TRegistry::WriteInteger(const std::string& name, std::int32_t value)
{
    WriteValue(keyFile_, {name, TKeyDataType::Integer, {}, value});
}
