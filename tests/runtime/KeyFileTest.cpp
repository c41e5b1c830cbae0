#include "runtime/KeyFile.h"

#include <gtest/gtest.h>

namespace {

TKeyFile MustParse(std::string_view text)
{
    TKeyFileError error;
    auto file = TKeyFile::Parse(text, error);
    EXPECT_TRUE(file) << "line " << error.line << ": " << error.reason;
    return file ? *file : TKeyFile{};
}


} // namespace

TEST(KeyFile, ReadsTheExportFormWithItsVariants)
{
    const TKeyFile file = MustParse(
        "REGEDIT4\r\n"
        "\r\n"
        "[Settings\\Port]\r\n"
        "; written by hand\r\n"
        "\"Port\"=\"C:\\\\dev \\\"x\\\"\"\r\n"
        "  \"Rate\" = dword:00007A12  \r\n"
        "\"Le\"=hex(4):12,7a,00,00\r\n"
        "\"Blob\"=hex:01,02,\\\r\n"
        "  03,04\r\n"
        "@=\"unnamed\"\r\n"
        "\"Wide\"=hex(ffffffff):00\r\n"
        "\"Tail\"=dword:ffffffff");
    ASSERT_TRUE(file.Find("PORT"));
    EXPECT_EQ(file.Find("PORT")->text, "C:\\dev \"x\"");
    EXPECT_EQ(file.Find("rate")->number, 31250);
    EXPECT_EQ(file.Find("Le")->number, 31250);
    EXPECT_EQ(file.Find("Blob")->type, TKeyDataType::Other);
    EXPECT_EQ(file.Find("")->text, "unnamed");
    EXPECT_EQ(file.Find("Wide")->type, TKeyDataType::Other);
    EXPECT_EQ(file.Find("Tail")->number, -1);
    EXPECT_EQ(file.Find("Missing"), nullptr);
}

TEST(KeyFile, NewFileGetsTheHeaderAndAwkwardTextComesBackUnchanged)
{
    const std::string awkward("a\"b\\c\nd\re\0f\xA5\xB9 #;[]=", 19);
    TKeyFile file = MustParse("");
    file.Set({"na\"me\\", TKeyDataType::String, awkward, 0});
    file.Set({"min", TKeyDataType::Integer, {}, INT32_MIN});
    file.Set({"", TKeyDataType::String, "default", 0});
    const std::string text = file.Text();
    EXPECT_EQ(text.substr(0, 10), "REGEDIT4\n\n");
    EXPECT_NE(text.find("\"min\"=dword:80000000\n"), std::string::npos);
    const TKeyFile again = MustParse(text);
    EXPECT_EQ(again.Find("na\"me\\")->text, awkward);
    EXPECT_EQ(again.Find("min")->number, INT32_MIN);
    EXPECT_EQ(again.Find("")->text, "default");
}

// Lines nobody set keep their bytes; a set value keeps its line's end, a new one takes the first line's.
TEST(KeyFile, LineEndsStayAsTheFileHasThem)
{
    struct Case { const char* before; const char* name; const char* after; };
    const Case cases[] = {
        {"REGEDIT4\r\n\r\n\"A\"=\"1\"\r\n\"B\"=\"2\"\r\n", "A", "REGEDIT4\r\n\r\n\"A\"=\"y\"\r\n\"B\"=\"2\"\r\n"},
        {"REGEDIT4\r\n; note\r\r\n", "B", "REGEDIT4\r\n; note\r\r\n\"B\"=\"y\"\r\n"},
        {"REGEDIT4\n\"A\"=\"1\"\r\n", "A", "REGEDIT4\n\"A\"=\"y\"\r\n"},
        {"REGEDIT4\n\"A\"=\"1\"", "A", "REGEDIT4\n\"A\"=\"y\""},
        {"REGEDIT4\n\"A\"=\"1\"", "B", "REGEDIT4\n\"A\"=\"1\"\n\"B\"=\"y\"\n"},
        {"REGEDIT4\r\n; end\r", "B", "REGEDIT4\r\n; end\r\n\"B\"=\"y\"\r\n"},
        {"\"A\"=hex:01,\\\r\n 02\r\n; x\n", "A", "\"A\"=\"y\"\r\n; x\n"},
    };
    for (const Case& c : cases) {
        TKeyFile file = MustParse(c.before);
        file.Set({c.name, TKeyDataType::String, "y", 0});
        EXPECT_EQ(file.Text(), c.after) << c.before;
    }
}

TEST(KeyFile, DamagedLinesAreReportedWithTheirNumber)
{
    struct Case { const char* text; int line; const char* reason; };
    const Case cases[] = {
        {"\"Port\"=\"COM1", 1, "quoted text without its closing quote"},
        {"REGEDIT4\n\"Port\"=\"a\\qb\"", 2, "unknown escape sequence in quoted text"},
        {"\"Port\" \"COM1\"", 1, "'=' expected after the value name"},
        {"Port=COM1", 1, "unrecognised line"},
        {"\"Port\"=COM1", 1, "unknown data form"},
        {"\"Rate\"=dword:123456789", 1, "a dword needs 1 to 8 hexadecimal digits"},
        {"\"B\"=hex:0g", 1, "malformed hexadecimal data"},
        {"\n\"B\"=hex:01,\\\n 02,\\", 2, "hexadecimal data continued past the end of the file"},
        {"\"a\"=\"1\"\n\"A\"=\"2\"", 2, "the value is given twice"},
        {"[one]\n[two]", 2, "the file holds more than one key"},
    };
    for (const Case& c : cases) {
        TKeyFileError error;
        EXPECT_FALSE(TKeyFile::Parse(c.text, error)) << c.text;
        EXPECT_EQ(error.line, c.line) << c.text;
        EXPECT_STREQ(error.reason, c.reason) << c.text;
    }
}

// Every cut and every single-byte change of a valid file either parses or is reported.
TEST(KeyFile, MangledInputNeverBreaksTheReader)
{
    const std::string good =
        "REGEDIT4\n[k]\n\"Port\"=\"C\\\\O\\\"M\"\n\"R\"=dword:00007a12\n\"B\"=hex(4):01,02,\\\n 03,04\n@=\"x\"\n";
    const char replacements[] = {'\0', '"', '\\', '\n', '=', ',', ':', '(', ')', '[', 'x', '\xff'};
    int parsed = 0;
    for (std::size_t i = 0; i <= good.size(); ++i) {
        TKeyFileError error;
        parsed += bool(TKeyFile::Parse(good.substr(0, i), error));
        for (char r : replacements) {
            std::string mangled = good;
            if (i < good.size())
                mangled[i] = r;
            if (auto file = TKeyFile::Parse(mangled, error))
                parsed += !file->Text().empty();
            else
                EXPECT_GT(error.line, 0);
        }
    }
    EXPECT_GT(parsed, 0);
}
