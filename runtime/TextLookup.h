// Message texts through GNU gettext.
//
// The current text domain is "default". The runtime's own texts (box captions,
// button texts, file and gauge messages) are looked up in "default" and then in
// each domain a library adds, such as the serial component's "cport".
#pragma once

#include <string>

// Sets up gettext: the language from LANG (else the locale's, else "C"), LANG set
// to it, and the catalogues of "default" and "cport" looked for in `localeDir`
// (empty: DefaultLocaleDir()). Safe to call again, for example after a test changed LANG.
void InitTextLookup(const std::string& localeDir = {});

// The folder "locale" beside the running executable, else share/locale above it.
std::string DefaultLocaleDir();

// Binds a further domain to the folder the set-up chose.
void BindTextDomain(const char* domain);

// Adds a domain to the list the runtime's own texts are looked up in, after "default".
void AddRuntimeTextDomain(const char* domain);

// A runtime text: "default" first, then the added domains; the text itself when
// no catalogue translates it.
std::string RuntimeText(const char* text);

// A text translated in the current text domain.
std::string CurrentDomainText(const char* text);

// Marks a text that is looked up later, so that the catalogue templates hold it.
constexpr const char* N_(const char* text) { return text; }
