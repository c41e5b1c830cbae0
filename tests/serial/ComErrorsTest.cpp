// EComPort's messages: the table filled once at start-up, the suffix translated
// when the exception is built, translations treated as untrusted templates, and the
// Polish catalogues the programs ship with.
#include "serial/CPort.h"
#include "runtime/Exception.h"
#include "runtime/TextLookup.h"
#include "Platform.h"
#include <gtest/gtest.h>

TEST(ComErrors, CodesAndMessagesWithAndWithoutSystemCodeInEnglishAndPolish)
{
    const auto use = [](const char* lang) {
        SetEnvironment("LANG", lang);
        InitTextLookup(TEST_LOCALE_DIR);
    };
    use("C");
    InitComErrorMessages();
    use("pl_PL");  // the table was filled in English; the suffix follows the language of the moment
    EXPECT_EQ(EComPort(CError_OpenFailed, 5).Message(), "Unable to open com port (kod błędu systemu: 5)");
    use("C");
    const EComPort property(CError_ConnChangeProp);
    EXPECT_EQ(static_cast<const Exception&>(property).Message(), "Cannot set property while connected");
    EXPECT_EQ(EComPort(CError_WriteFailed, -5).Message(), "WriteFile function failed (win error code: -5)");
    EXPECT_EQ(ComErrorMessages(19), "Cannot change led state if ComPort is selected");
    EXPECT_EQ(ComErrorMessages(0) + ComErrorMessages(24), "");
    use("pl_PL");  // now the table is filled from the Polish catalogue
    InitComErrorMessages();
    EXPECT_EQ(EComPort(CError_OpenFailed, 2).Message(), "Nie można otworzyć portu (kod błędu systemu: 2)");
    EXPECT_EQ(RuntimeText("Cancel"), "Anuluj");  // "cport" joined the runtime's own lookup list
    // Without a system code the text is used as it is, never as a template; with one,
    // only the first %d takes the number, and %s and %n find no argument.
    EXPECT_EQ(EComPort(CError_ConnChangeProp).Message(), "Nie można zmienić %s przy otwartym porcie");
    EXPECT_EQ(EComPort(CError_TimeoutsFailed, 31).Message(),
              "Błąd %s SetCommTimeouts %n31 (kod błędu systemu: %d)");
    SetEnvironment("LANG", "pl_PL.UTF-8");  // as shipped
    InitTextLookup(VORN_LOCALE_DIR);
    InitComErrorMessages();
    EXPECT_EQ(EComPort(CError_OpenFailed, 2).Message() + ", " + EInOutError(2).Message(),
              "Nie można otworzyć portu (kod błędu systemu: 2), Nie znaleziono pliku");
}

