#include "TextLookup.h"

#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <libintl.h>
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
    if (const char* name = std::setlocale(LC_MESSAGES, ""); name && *name)
        return name;
    return "C";
}

void Bind(const char* domain)
{
    bindtextdomain(domain, gLocaleDir.c_str());
    bind_textdomain_codeset(domain, "UTF-8");
}

} // namespace

std::string DefaultLocaleDir()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (ec)
        return "locale";
    // In the build tree the catalogues are beside the program; installed, in share/locale.
    const auto beside = exe.parent_path() / "locale";
    if (std::filesystem::is_directory(beside, ec))
        return beside.string();
    return (exe.parent_path().parent_path() / "share/locale").string();
}

void InitTextLookup(const std::string& localeDir)
{
    std::lock_guard lock(gMutex);
    const std::string language = ChooseLanguage();
    setenv("LANG", language.c_str(), 1);
    // Plain "C" would switch translation off; C.UTF-8 lets LANGUAGE choose the catalogue.
    std::setlocale(LC_MESSAGES, "C.UTF-8");
    setenv("LANGUAGE", language.c_str(), 1);
    gLocaleDir = localeDir.empty() ? DefaultLocaleDir() : localeDir;
    Bind(kDefaultDomain);
    Bind("cport");
    for (const auto& domain : gRuntimeDomains)
        Bind(domain.c_str());
    textdomain(kDefaultDomain);
    // A changed LANGUAGE is noticed only once glibc's cache is cleared.
    textdomain(textdomain(nullptr));
}

void BindTextDomain(const char* domain)
{
    std::lock_guard lock(gMutex);
    if (!gLocaleDir.empty())
        Bind(domain);
}

void AddRuntimeTextDomain(const char* domain)
{
    std::lock_guard lock(gMutex);
    for (const auto& known : gRuntimeDomains)
        if (known == domain)
            return;
    gRuntimeDomains.emplace_back(domain);
    if (!gLocaleDir.empty())
        Bind(domain);
}

std::string RuntimeText(const char* text)
{
    std::vector<std::string> domains;
    {
        std::lock_guard lock(gMutex);
        domains = gRuntimeDomains;
    }
    const char* found = dgettext(kDefaultDomain, text);
    for (size_t i = 0; found == text && i < domains.size(); ++i)
        found = dgettext(domains[i].c_str(), text);
    return found;
}

std::string CurrentDomainText(const char* text)
{
    return gettext(text);
}
