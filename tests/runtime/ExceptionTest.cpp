#include "runtime/Exception.h"
#include "runtime/Persistent.h"
#include "runtime/TextLookup.h"

#include <cerrno>
#include <cstdlib>
#include <gtest/gtest.h>

namespace {

struct Apples : TPersistent {
    int count = 0;
    const char* ClassName() const override { return "Apples"; }
};
struct Pears : TPersistent {
    const char* ClassName() const override { return "Pears"; }
};

void UseLanguage(const char* lang)
{
    setenv("LANG", lang, 1);
    InitTextLookup(TEST_LOCALE_DIR);
}

} // namespace

TEST(EInOutError, MessagesFollowTheCodeAndErrnoMapsOntoIt)
{
    UseLanguage("C");
    const std::pair<int, const char*> byCode[] = {
        {2, "File not found"}, {3, "Invalid filename"}, {4, "Too many open files"}, {5, "File access denied"},
        {100, "Read beyond end of file"}, {101, "Disk full"}, {106, "Invalid numeric input"}, {32, "I/O error 32"}};
    for (const auto& [code, message] : byCode)
        EXPECT_EQ(EInOutError(code).Message(), message);
    const std::pair<int, int> byErrno[] = {{ENOENT, 2}, {ENOTDIR, 3}, {ENAMETOOLONG, 3}, {EMFILE, 4},
                                           {ENFILE, 4}, {EACCES, 5}, {EPERM, 5}, {EIO, EIO}};
    for (const auto& [error, code] : byErrno)
        EXPECT_EQ(EInOutError::FromErrno(error).ErrorCode(), code) << error;
    // errno numbers that collide with the table's codes keep the generic text.
    EXPECT_EQ(EInOutError::FromErrno(EIO).Message(), "I/O error 5");
    EXPECT_EQ(EInOutError::FromErrno(EINTR).Message(), "I/O error 4");
    UseLanguage("pl_PL.UTF-8");
    EXPECT_EQ(EInOutError(2).Message(), "Nie znaleziono pliku");
    EXPECT_EQ(EInOutError(77).Message(), "Błąd wejścia-wyjścia %s 77 %x%");  // a hostile translation
    UseLanguage("C");
}

TEST(TPersistent, CopyBetweenClassesFailsNamingBothAndChangesNothing)
{
    Apples apples;
    apples.count = 3;
    Pears pears;
    for (const auto& [lang, message] : {std::pair{"C", "Cannot assign a Pears to a Apples"},
                                        std::pair{"pl", "Nie można przypisać Apples z Pears"}}) {
        UseLanguage(lang);
        try {
            apples.Assign(pears);
            ADD_FAILURE() << "no error";
        } catch (const EConvertError& e) {
            EXPECT_EQ(e.Message(), message);
        }
    }
    EXPECT_EQ(apples.count, 3);
    UseLanguage("C");
}
