// The toolkit's own texts (the file dialog's buttons and labels) in the language
// the program's catalogues use.
#pragma once

// Installs Qt's translation for the language that InitTextLookup chose (LANG), when
// the system has one (Debian's qt6-translations-l10n); the window does as it is made.
// Needs the application; calling again replaces the translation.
void LoadToolkitTranslations();
