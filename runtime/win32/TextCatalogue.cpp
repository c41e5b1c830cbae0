// Catalogues read from GNU .mo files, found as gettext finds them:
// <localeDir>/<language>/LC_MESSAGES/<domain>.mo.
#include "runtime/TextCatalogue.h"

#include "runtime/Utf8Path.h"
#include "runtime/WholeFile.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <shared_mutex>
#include <unordered_map>
#include <vector>
#include <windows.h>

namespace {

using TMessages = std::unordered_map<std::string, std::string>;

std::shared_mutex gMutex;
std::vector<std::string> gLanguages;  // the closest match first; none: nothing is translated
std::string gLocaleDir;
std::map<std::string, TMessages, std::less<>> gCatalogues;

// ll[_CC][.codeset][@modifier] and what gettext falls back to: without the codeset, then
// without the territory.
std::vector<std::string> CatalogueLanguages(const std::string& language)
{
    if (language.empty() || language == "C" || language == "POSIX")
        return {};
    const std::size_t at = language.find('@');
    const std::string modifier = at == std::string::npos ? "" : language.substr(at);
    const std::string base = language.substr(0, std::min(language.find('.'), at));
    const std::string ll = base.substr(0, base.find('_'));
    std::vector<std::string> names;
    for (const std::string& name : {language, base + modifier, base, ll + modifier, ll})
        if (!name.empty() && std::find(names.begin(), names.end(), name) == names.end())
            names.push_back(name);
    return names;
}

// A GNU .mo file: its messages, or false when the file is damaged anywhere.
bool ParseMo(std::string_view file, TMessages& messages)
{
    bool swapped = false;
    const auto word = [&](std::uint64_t at, std::uint32_t& value) {
        if (at > file.size() || file.size() - at < 4)
            return false;
        unsigned char b[4];
        std::memcpy(b, file.data() + at, 4);
        value = swapped ? std::uint32_t(b[0]) << 24 | b[1] << 16 | b[2] << 8 | b[3]
                        : std::uint32_t(b[3]) << 24 | b[2] << 16 | b[1] << 8 | b[0];
        return true;
    };
    // Up to its first NUL: a plural entry's singular form.
    const auto text = [&](std::uint64_t entry, std::string& out) {
        std::uint32_t length = 0, offset = 0;
        if (!word(entry, length) || !word(entry + 4, offset) || offset > file.size() ||
            file.size() - offset < length)
            return false;
        const std::string_view whole = file.substr(offset, length);
        out = whole.substr(0, whole.find('\0'));
        return true;
    };
    std::uint32_t magic = 0, revision = 0, count = 0, originals = 0, translations = 0;
    if (!word(0, magic) || (magic != 0x950412de && magic != 0xde120495))
        return false;
    swapped = magic == 0xde120495;
    if (!word(4, revision) || revision >> 16 > 1 || !word(8, count) || !word(12, originals) ||
        !word(16, translations))
        return false;
    for (std::uint64_t i = 0; i < count; ++i) {
        std::string original, translation;
        if (!text(originals + 8 * i, original) || !text(translations + 8 * i, translation))
            return false;
        if (!translation.empty())
            messages.emplace(std::move(original), std::move(translation));
    }
    return true;
}

} // namespace

std::string SystemLanguage()
{
    return {};
}

void UseCatalogues(const std::string& language, const std::string& localeDir)
{
    std::unique_lock lock(gMutex);
    gLanguages = CatalogueLanguages(language);
    gLocaleDir = localeDir;
    gCatalogues.clear();
}

void BindCatalogue(const std::string& domain)
{
    std::vector<std::string> languages;
    std::filesystem::path folder;
    {
        std::shared_lock lock(gMutex);
        languages = gLanguages;
        folder = PathFromUtf8(gLocaleDir);
    }
    TMessages messages;
    for (const auto& language : languages) {
        std::string bytes;
        const auto file = folder / PathFromUtf8(language) / "LC_MESSAGES" / PathFromUtf8(domain + ".mo");
        if (ReadWholeFile(file, bytes) == 0 && ParseMo(bytes, messages))
            break;
        messages.clear();
    }
    std::unique_lock lock(gMutex);
    gCatalogues[domain] = std::move(messages);
}

std::optional<std::string> Translate(const char* domain, const char* text)
{
    std::shared_lock lock(gMutex);
    const auto catalogue = gCatalogues.find(std::string_view(domain));
    if (catalogue == gCatalogues.end())
        return std::nullopt;
    const auto found = catalogue->second.find(text);
    if (found == catalogue->second.end())
        return std::nullopt;
    return found->second;
}

std::filesystem::path ExecutablePath()
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, name.data(), DWORD(name.size()));
        if (n == 0)
            return {};
        if (n < name.size())
            return name.substr(0, n);
        name.resize(name.size() * 2);  // cut short: try a longer buffer
    }
}
