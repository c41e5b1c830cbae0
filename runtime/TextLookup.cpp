#include "TextLookup.h"

#include "runtime/TextCatalogue.h"
#include "runtime/Utf8Path.h"

#include <cstdlib>
#include <mutex>
#include <vector>

namespace {

const char* const kDefaultDomain = "default";

std::mutex gMutex;
std::string gLocaleDir;
std::vector<std::string> gRuntimeDomains;

std::string ChooseLanguage()
{
    if (const char* lang = std::getenv("LANG"); lang && *lang)
        return lang;
    if (std::string name = SystemLanguage(); !name.empty())
        return name;
    return "C";
}

} // namespace

std::string DefaultLocaleDir()
{
    const std::filesystem::path exe = ExecutablePath();
    if (exe.empty())
        return "locale";
    // In the build tree the catalogues are beside the program; installed, in share/locale.
    std::error_code ec;
    const auto beside = exe.parent_path() / "locale";
    if (std::filesystem::is_directory(beside, ec))
        return Utf8FromPath(beside);
    return Utf8FromPath(exe.parent_path().parent_path() / "share" / "locale");
}

void InitTextLookup(const std::string& localeDir)
{
    std::lock_guard lock(gMutex);
    gLocaleDir = localeDir.empty() ? DefaultLocaleDir() : localeDir;
    UseCatalogues(ChooseLanguage(), gLocaleDir);
    BindCatalogue(kDefaultDomain);
    BindCatalogue("cport");
    for (const auto& domain : gRuntimeDomains)
        BindCatalogue(domain);
}

void BindTextDomain(const char* domain)
{
    std::lock_guard lock(gMutex);
    if (!gLocaleDir.empty())
        BindCatalogue(domain);
}

void AddRuntimeTextDomain(const char* domain)
{
    std::lock_guard lock(gMutex);
    for (const auto& known : gRuntimeDomains)
        if (known == domain)
            return;
    gRuntimeDomains.emplace_back(domain);
    if (!gLocaleDir.empty())
        BindCatalogue(domain);
}

std::string RuntimeText(const char* text)
{
    std::vector<std::string> domains;
    {
        std::lock_guard lock(gMutex);
        domains = gRuntimeDomains;
    }
    std::optional<std::string> found = Translate(kDefaultDomain, text);
    for (std::size_t i = 0; !found && i < domains.size(); ++i)
        found = Translate(domains[i].c_str(), text);
    return found ? *found : text;
}

std::string CurrentDomainText(const char* text)
{
    return Translate(kDefaultDomain, text).value_or(text);
}
