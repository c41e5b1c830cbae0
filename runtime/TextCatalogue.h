// The message catalogues under TextLookup, one implementation a platform: GNU gettext
// on POSIX, a reader of its .mo files on Windows. TextLookup serialises the calls that
// set them up; Translate may come from any thread at any time.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

// The language the system's locale names, or "" (TextLookup asks after LANG).
std::string SystemLanguage();

// Starts over with `language` and the catalogues under `localeDir`; no domain is bound.
void UseCatalogues(const std::string& language, const std::string& localeDir);

// Makes the domain's catalogue of the chosen language and folder available.
void BindCatalogue(const std::string& domain);

// The domain's translation of `text`, if its catalogue has one.
std::optional<std::string> Translate(const char* domain, const char* text);

// The running program's file, or an empty path when the system does not tell.
std::filesystem::path ExecutablePath();
