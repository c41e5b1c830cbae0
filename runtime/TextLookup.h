// Message texts from GNU gettext catalogues (.mo files): through libintl on POSIX,
// read by the runtime itself on Windows.
//
// The current text domain is "default". The runtime's own texts (box captions,
// button texts, file and gauge messages) are looked up in "default" and then in
// each domain a library adds, such as the serial component's "cport".
#pragma once

#include <string>

// Sets up the lookup: the language from LANG (else the locale's where the system names
// one, else "C"; on POSIX LANG is set to it), and the catalogues of "default" and "cport"
// looked for in `localeDir` (UTF-8; empty: DefaultLocaleDir()) as gettext looks:
// <localeDir>/<language>/LC_MESSAGES/<domain>.mo, the language as given, then without its
// codeset and modifier, then without its territory. Safe to call again, for example
// after a test changed LANG.
void InitTextLookup(const std::string& localeDir = {});

// The folder "locale" beside the running executable, else share/locale above it (UTF-8).
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
