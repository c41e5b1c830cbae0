// Catalogues through GNU gettext.
#include "runtime/TextCatalogue.h"

#include <clocale>
#include <cstdlib>
#include <libintl.h>

namespace {

const char* const kDefaultDomain = "default";

std::string gLocaleDir;

} // namespace

std::string SystemLanguage()
{
    const char* name = std::setlocale(LC_MESSAGES, "");
    return name ? name : "";
}

void UseCatalogues(const std::string& language, const std::string& localeDir)
{
    setenv("LANG", language.c_str(), 1);
    // Plain "C" would switch translation off; C.UTF-8 lets LANGUAGE choose the catalogue.
    std::setlocale(LC_MESSAGES, "C.UTF-8");
    setenv("LANGUAGE", language.c_str(), 1);
    gLocaleDir = localeDir;
    textdomain(kDefaultDomain);
    // A changed LANGUAGE is noticed only once glibc's cache is cleared.
    textdomain(textdomain(nullptr));
}

void BindCatalogue(const std::string& domain)
{
    bindtextdomain(domain.c_str(), gLocaleDir.c_str());
    bind_textdomain_codeset(domain.c_str(), "UTF-8");
}

std::optional<std::string> Translate(const char* domain, const char* text)
{
    const char* found = dgettext(domain, text);
    if (found == text)
        return std::nullopt;
    return found;
}

std::filesystem::path ExecutablePath()
{
    std::error_code ec;
    return std::filesystem::read_symlink("/proc/self/exe", ec);
}
