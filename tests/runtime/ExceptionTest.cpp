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

TEST(EInOutError, MessagesFollowTheCode)
{
    UseLanguage("C");
    EXPECT_EQ(EInOutError(2).Message(), "File not found");
    EXPECT_EQ(EInOutError(3).Message(), "Invalid filename");
    EXPECT_EQ(EInOutError(4).Message(), "Too many open files");
    EXPECT_EQ(EInOutError(5).Message(), "File access denied");
    EXPECT_EQ(EInOutError(100).Message(), "Read beyond end of file");
    EXPECT_EQ(EInOutError(101).Message(), "Disk full");
    EXPECT_EQ(EInOutError(106).Message(), "Invalid numeric input");
    EXPECT_EQ(EInOutError(32).Message(), "I/O error 32");
    EXPECT_EQ(EInOutError(32).ErrorCode(), 32);
}

TEST(EInOutError, ErrnoValuesMapOntoTheTable)
{
    UseLanguage("C");
    EXPECT_EQ(EInOutError::FromErrno(ENOENT).ErrorCode(), 2);
    EXPECT_EQ(EInOutError::FromErrno(ENOTDIR).ErrorCode(), 3);
    EXPECT_EQ(EInOutError::FromErrno(ENAMETOOLONG).ErrorCode(), 3);
    EXPECT_EQ(EInOutError::FromErrno(EMFILE).ErrorCode(), 4);
    EXPECT_EQ(EInOutError::FromErrno(ENFILE).ErrorCode(), 4);
    EXPECT_EQ(EInOutError::FromErrno(EACCES).Message(), "File access denied");
    EXPECT_EQ(EInOutError::FromErrno(EPERM).ErrorCode(), 5);
    // errno numbers that collide with the table's codes keep the generic text.
    EXPECT_EQ(EInOutError::FromErrno(EIO).Message(), "I/O error 5");
    EXPECT_EQ(EInOutError::FromErrno(EINTR).Message(), "I/O error 4");
    EXPECT_EQ(EInOutError::FromErrno(EWOULDBLOCK).Message(), "I/O error 32");
}

TEST(EInOutError, TranslatedTemplatesAreFilledSafely)
{
    UseLanguage("pl_PL.UTF-8");
    EXPECT_EQ(EInOutError(2).Message(), "Nie znaleziono pliku");
    EXPECT_EQ(EInOutError(77).Message(), "Błąd wejścia-wyjścia %s 77 %x%");
    UseLanguage("C");
}

TEST(TPersistent, CopyBetweenClassesFailsNamingBoth)
{
    UseLanguage("C");
    Apples apples;
    apples.count = 3;
    Pears pears;
    try {
        apples.Assign(pears);
        FAIL() << "no error";
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Cannot assign a Pears to a Apples");
    }
    EXPECT_EQ(apples.count, 3);
    UseLanguage("pl");
    EXPECT_THROW(apples.Assign(pears), EConvertError);
    try {
        pears.Assign(apples);
    } catch (const EConvertError& e) {
        EXPECT_EQ(e.Message(), "Nie można przypisać Pears z Apples");
    }
    UseLanguage("C");
}
