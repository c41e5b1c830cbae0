// The runtime through its interfaces: texts, messages, where errors go, and the settings files as files.
#include "runtime/Cp1250.h"
#include "runtime/ErrorHook.h"
#include "runtime/FileReplacement.h"
#include "runtime/Format.h"
#include "runtime/IniFile.h"
#include "runtime/KeyFile.h"
#include "runtime/Persistent.h"
#include "runtime/RegistryKey.h"
#include "RuntimeFixture.h"
#include "TwoProcesses.h"
#include <cerrno>
#include <cstring>

TEST(Cp1250, PolishLettersRoundTripAndWhatCp1250LacksBecomesAQuestionMark)
{
    const std::string polish = "Zażółć gęślą jaźń ĄĆĘŁŃÓŚŹŻ";
    EXPECT_EQ(Utf8ToCp1250(polish).substr(0, 13), "Za\xBF\xF3\xB3\xE6 g\xEA\x9Cl\xB9 ");
    const std::string many = std::string(300, 'z') + polish;  // more than the converter's buffer holds
    EXPECT_EQ(Cp1250ToUtf8(Utf8ToCp1250(many)), many);
    EXPECT_EQ(Utf8ToCp1250("a€b x日本y bad\xC3(end"), "a\x80" "b x??y bad?(end");  // the euro sign exists
    EXPECT_EQ(Utf8ToCp1250("cut\xE2\x82") + Cp1250ToUtf8("\x81" "A\x98"), "cut???A?");  // one a byte
    EXPECT_EQ(Utf8ToCp1250(std::string("nul\0in", 6)), std::string("nul\0in", 6));
    // Beyond U+FFFF one character, an overlong form or a surrogate one bad sequence each, the last one too.
    EXPECT_EQ(Utf8ToCp1250("\xF0\x9F\x98\x80|\xC0\x80|\xED\xA0\x80|\xE0\x80\x80"), "?|??|?|?");
}

TEST_F(Runtime, RuntimeTextsSearchDefaultThenAddedDomains)
{
    UseLanguage("pl_PL");
    EXPECT_EQ(RuntimeText("File not found"), "Nie znaleziono pliku");
    EXPECT_EQ(RuntimeText("OK"), "OK");  // only "cport" has it, and it is not listed yet
    AddRuntimeTextDomain("cport");
    AddRuntimeTextDomain("extra");  // added after the set-up, so bound as it is added
    EXPECT_EQ(RuntimeText("OK") + " " + RuntimeText("Cancel"), "Dobrze Anuluj");
    EXPECT_EQ(CurrentDomainText("File not found"), "Nie znaleziono pliku");
}

TEST_F(Runtime, ErrorMessagesFollowTheCodeOrNameTheClasses)
{
    const std::pair<int, int> byErrno[] = {{ENOENT, 2}, {ENOTDIR, 3}, {ENAMETOOLONG, 3}, {EMFILE, 4}, {ENFILE, 4},
                                           {EACCES, 5}, {EPERM, 5}, {ENOSPC, 101}, {EIO, EIO}, {EWOULDBLOCK, 32}};
    for (const auto& [error, code] : byErrno)
        EXPECT_EQ(EInOutError::FromErrno(error).ErrorCode(), code) << error;
    EXPECT_EQ(EInOutError::FromErrno(EIO).Message() + ", " + EInOutError::FromErrno(EINTR).Message() + ", " +
                  EInOutError(4).Message() + ", " + EInOutError::FromErrno(ENOSPC).Message(),
              "I/O error 5, I/O error 4, Too many open files, Disk full");  // errno 4, 5: the generic text
    struct Apples : TPersistent { const char* ClassName() const override { return "Apples"; } } apples;
    struct Pears : TPersistent { const char* ClassName() const override { return "Pears"; } } pears;
    EXPECT_EQ(MessageOf([&] { apples.Assign(pears); }), "Cannot assign a Pears to a Apples");
    UseLanguage("pl_PL.UTF-8");
    EXPECT_EQ(EInOutError(77).Message(), "Błąd wejścia-wyjścia %s 77 %x%");  // a hostile translation
    EXPECT_EQ(MessageOf([&] { apples.Assign(pears); }), "Nie można przypisać Apples z Pears");
}

// Errors below the GUI reach the application's handler; without one, or when it fails
// itself, standard error.
TEST_F(Runtime, ErrorsGoToTheApplicationsHandlerElseToStandardError)
{
    const auto handle = [](auto raise) { try { raise(); } catch (...) { HandleCurrentException(); } };
    std::vector<std::string> shown;
    SetApplicationExceptionHandler([&](const std::exception& e) { shown.push_back(e.what()); });
    handle([] { throw EInOutError(2); });
    handle([] { throw 42; });
    EXPECT_EQ(shown, (std::vector<std::string>{"File not found", "Unknown error"}));
    SetApplicationExceptionHandler([](const std::exception&) { throw std::runtime_error("no box"); });
    ::testing::internal::CaptureStderr();
    handle([] { throw EInOutError(2); });
    SetApplicationExceptionHandler([](const std::exception&) { throw 42; });
    handle([] { throw std::logic_error("bad box"); });
    SetApplicationExceptionHandler(nullptr);
    HandleApplicationException(std::logic_error("late"));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "File not found\nno box\nbad box\nlate\n");
}

// Written through at once, so objects (and programs) on one file see each other's values;
// names in any case; values read back as written, integers as decimal or 0x-hexadecimal.
TEST_F(Runtime, IniFileWritesGoThroughAndReadBackAsWritten)
{
    const auto file = dir.Path() / "ports.ini";
    TIniFile first(file), second(file);
    EXPECT_EQ(first.ReadString("RS232", "Port", "COM9"), "COM9");
    EXPECT_FALSE(std::filesystem::exists(file));  // reading creates nothing
    first.WriteString("RS232", "Port", "COM1");
    second.WriteInteger("RS232", "Buffer.InputSize", 2048);
    first.WriteString("Other", "Port", "COM2");  // must not drop what the second object wrote
    EXPECT_EQ(ReadFileBytes(file),
              IniLines("[RS232]\nPort = COM1\nBuffer.InputSize = 2048\n\n\n[Other]\nPort = COM2\n"));
    for (const std::string value : {"\xA3\xF3\x64\xBC \xB9=[x]", "one\ntwo", ""}) {  // CP1250, two lines, none
        first.WriteString("rs232", "NAME", value);
        EXPECT_EQ(second.ReadString("RS232", "Name", "-"), value);
    }
    TIniFile hand(dir.Write("hand.ini", "\xEF\xBB\xBF; by hand\n[RS232]\nA=0x7A12\nB=0X1f\nC=-0x10\n"
                                        "D=-2147483648\nE=2147483648\nF=12ab\nG=0x\nH=\nJ=1x10\nK=--5\n"));
    const std::pair<const char*, int> integers[] = {{"A", 31250}, {"B", 31}, {"C", -16}, {"D", INT32_MIN}, {"E", 7},
                                                    {"F", 7}, {"G", 7}, {"H", 7}, {"I", 7}, {"J", 7}, {"K", 7}};
    for (const auto& [key, value] : integers)
        EXPECT_EQ(hand.ReadInteger("RS232", key, 7), value) << key;
    hand.WriteInteger("RS232", "I", -1);  // a signed file stays signed, and its comment stays
    EXPECT_EQ(ReadFileBytes(hand.FileName()).substr(0, 12 + std::strlen(kIniLineEnd)),
              IniLines("\xEF\xBB\xBF; by hand\n"));
    std::string junk;  // a damaged file reads as defaults and still takes a write
    for (int i = 1; i < 4096; ++i)
        junk += char(i * 7919 % 256);
    TIniFile damaged(dir.Write("junk.ini", junk + "\n[RS232\n=x\nPort\n"));
    damaged.WriteString("RS232", "Port", damaged.ReadString("RS232", "Port", "COM4"));
    EXPECT_EQ(damaged.ReadString("RS232", "Port", "-"), "COM4");
}

// A name or value that would not read back as written is refused, and nothing changes.
TEST_F(Runtime, IniFileRefusesWhatItCannotHold)
{
    const std::string before = "[ComPort]\nPort = COM1\n";
    TIniFile ini(dir.Write("ports.ini", before));
    const std::string cases[][3] = {
        {"ComPort", "Port", "COM1\nEND_OF_TEXT\nBaudRate=99"}, {"ComPort", "Port", "<<<COM1"},
        {"ComPort", "Port", std::string("COM1\0COM2", 9)}, {"ComPort", std::string("Port\0x", 6), "COM2"},
        {"ComPort", "Port", "CR\rinside"}, {"ComPort", "Baud=Rate", "1"}, {"ComPort", "[Other]", "1"},
        {"ComPort", ";Port", "1"}, {"ComPort", " Port", "1"}, {"ComPort", "", "1"}, {"Com\nPort", "P", "1"},
        {"Com]Port", "P", "1"},
    };
    const auto cannotHold = [](const TIniFile& file) {
        return "Cannot write the file '" + file.FileName().string() +
               "': the file cannot hold this name or value as it is";
    };
    for (const auto& [section, key, value] : cases)
        EXPECT_EQ(MessageOf([&] { ini.WriteString(section, key, value); }), cannotHold(ini)) << key << value;
    EXPECT_EQ(ReadFileBytes(ini.FileName()), before);
    // A value written by hand that the form cannot write back would change with any write.
    const std::string byHand = "[ComPort]\nNote = <<<TAG\nx\nEND_OF_TEXT\ny\nTAG\n";
    TIniFile other(dir.Write("by-hand.ini", byHand));
    EXPECT_EQ(MessageOf([&] { other.WriteString("ComPort", "Port", "COM1"); }), cannotHold(other));
    EXPECT_EQ(ReadFileBytes(other.FileName()), byHand);
}

// A key file as a hand writes it, in the forms of an export: its values read by type, and a
// write changes its own line only, keeping line ends.
TEST_F(Runtime, RegistryKeyReadsByTypeAndWritesThroughKeepingWhatAHandWrote)
{
    const std::string head = "REGEDIT4\r\n\r\n[Bench]\r\n; by hand\r\n\"Port\"=\"C:\\\\x \\\"y\\\"\"\r\n";
    const std::string tail = "\"Le\"=hex(4):12,7a,00,00\r\n\"Blob\"=hex:01,02,\\\r\n  03,04\r\n"
                             "@=\"unnamed\"\r\n\"Wide\"=hex(ffffffff):00\r\n\"Tail\"=dword:ffffffff";
    const auto file = dir.Write("port.reg", head + "  \"Rate\" = dword:7A12  \r\n" + tail);
    TRegistry key(file);
    EXPECT_EQ(key.ReadString("PORT") + ", " + key.ReadString(""), "C:\\x \"y\", unnamed");
    EXPECT_EQ(std::make_tuple(key.ReadInteger("rate"), key.ReadInteger("Le"), key.ReadInteger("Tail")),
              std::make_tuple(31250, 31250, -1));
    key.WriteInteger("Rate", -2);
    key.WriteInteger("N", 31250);
    EXPECT_EQ(ReadFileBytes(file), head + "\"Rate\"=dword:fffffffe\r\n" + tail + "\r\n\"N\"=dword:00007a12\r\n");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 1);  // no temporary left
    const std::string awkward("a\"b\\c\nd\re\0f\xA5\xB9 #;[]=", 19);
    key.WriteString("na\"me\\", awkward);
    EXPECT_EQ(TRegistry(file).ReadString("NA\"ME\\"), awkward);
    EXPECT_EQ(std::make_pair(key.ValueExists("TAIL"), key.ValueExists("Tall")), std::make_pair(true, false));
    for (const std::string name : {"Blob", "Wide", "Port"})
        EXPECT_EQ(MessageOf([&] { key.ReadInteger(name); }), "Invalid data type for '" + name + "'");
    EXPECT_EQ(MessageOf([&] { key.ReadString("Rate"); }), "Invalid data type for 'Rate'");
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Gone"); }), "Failed to get data for 'Gone'");
    UseLanguage("pl_PL.UTF-8");
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Gone"); }) + ", " + MessageOf([&] { key.ReadString("Rate"); }),
              "Nie udało się odczytać danych 'Gone', Nieprawidłowy typ danych: Rate %s");
    key.CloseKey();
    EXPECT_EQ(MessageOf([&] { key.ReadString("P"); }), "Nie udało się odczytać danych 'P' (no key is open)");
    EXPECT_EQ(MessageOf([&] { key.WriteString("P", ""); }), "Failed to set data for 'P' (no key is open)");
}

// Setting a value keeps the bytes of the lines nobody set, the line end of the line set and,
// on a new line, the first line's; a damaged line is reported with its number and why.
TEST(KeyFile, SettingAValueKeepsTheOtherLinesAndDamageIsReported)
{
    const std::pair<const char*, const char*> cases[] = {
        {"REGEDIT4\r\n\"A\"=\"1\"\r\n\"B\"=\"2\"\r\n", "REGEDIT4\r\n\"A\"=\"y\"\r\n\"B\"=\"2\"\r\n"},
        {"REGEDIT4\r\n; note\r\r\n", "REGEDIT4\r\n; note\r\r\n\"A\"=\"y\"\r\n"},
        {"REGEDIT4\n\"A\"=\"1\"\r\n", "REGEDIT4\n\"A\"=\"y\"\r\n"},
        {"REGEDIT4\n\"a\"=\"1\"", "REGEDIT4\n\"A\"=\"y\""},
        {"REGEDIT4\n\"B\"=\"1\"", "REGEDIT4\n\"B\"=\"1\"\n\"A\"=\"y\"\n"},
        {"REGEDIT4\r\n; end\r", "REGEDIT4\r\n; end\r\n\"A\"=\"y\"\r\n"},
        {"\"A\"=hex:01,\\\r\n 02\r\n; x\n", "\"A\"=\"y\"\r\n; x\n"},
        {"", "REGEDIT4\n\n\"A\"=\"y\"\n"},
        {"\"Port\"=\"COM1", "1: quoted text without its closing quote"},
        {"REGEDIT4\n\"Port\"=\"a\\qb\"", "2: unknown escape sequence in quoted text"},
        {"\"Port\" \"COM1\"", "1: '=' expected after the value name"},
        {"Port=COM1", "1: unrecognised line"}, {"[one]\n[two]", "2: the file holds more than one key"},
        {"\"Port\"=\"COM1\" x", "1: unexpected text after the value"},
        {"\"Rate\"=dword:123456789", "1: a dword needs 1 to 8 hexadecimal digits"},
        {"\"Rate\"=dword:", "1: a dword needs 1 to 8 hexadecimal digits"},
        {"\"Port\"=COM1", "1: unknown data form"}, {"\"B\"=hex(4)12,7a,00,00", "1: unknown data form"},
        {"\"B\"=hex", "1: unknown data form"}, {"\"B\"=hex:0g", "1: malformed hexadecimal data"},
        {"\n\"B\"=hex:01,\\\n 02,\\", "2: hexadecimal data continued past the end of the file"},
        {"\"a\"=\"1\"\n\"A\"=\"2\"", "2: the value is given twice"},
    };
    for (const auto& [before, after] : cases) {
        TKeyFileError error;
        auto file = TKeyFile::Parse(before, error);
        if (file)
            file->Set({"A", TKeyDataType::String, "y", 0});
        EXPECT_EQ(file ? file->Text() : std::to_string(error.line) + ": " + error.reason, after) << before;
    }
}

// For both kinds: a file that cannot be read or written fails naming it and the reason, and
// stays as it was.
TEST_F(Runtime, SettingsFilesThatCannotBeReadOrWrittenAreNamedAndKept)
{
    const auto readOnly = dir.Write("read-only", "; kept\n");
    // No write bit (on Windows the read-only attribute): refused even where the user could write it anyway (root).
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_read | std::filesystem::perms::group_read |
                                               std::filesystem::perms::others_read);
    struct Case { std::filesystem::path file; const char* reading; const char* step; const char* writing; };
    for (const Case& c : {Case{dir.Path(), "Is a directory", "read", "Is a directory"},
                          Case{dir.Path() / "none" / "port", nullptr, "write", "No such file or directory"},
                          Case{readOnly, nullptr, "write", "Permission denied"}}) {
        std::error_code none;
        const auto before = std::filesystem::last_write_time(c.file, none);
        const std::string file = " the file '" + c.file.string() + "': ", nothing = "(nothing raised)";
        const std::string read = c.reading ? "read" + file + c.reading : "", write = c.step + file + c.writing;
        TIniFile ini(c.file);
        TRegistry key(c.file);
        EXPECT_EQ(MessageOf([&] { ini.ReadString("S", "Port", ""); }), c.reading ? "Cannot " + read : nothing);
        EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }),
                  c.reading ? "Failed to get data for 'Port' (cannot " + read + ")" : nothing);
        EXPECT_EQ(MessageOf([&] { ini.WriteString("S", "Port", "COM2"); }), "Cannot " + write);
        EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "COM2"); }),
                  "Failed to set data for 'Port' (cannot " + write + ")");
        EXPECT_EQ(std::filesystem::last_write_time(c.file, none), before) << c.file;
    }
    // As large as a settings file may be it is read (here a damaged key); one byte more, refused unread.
    const auto big = dir.Write("big.reg", "");
    std::filesystem::resize_file(big, 16 << 20);
    EXPECT_EQ(MessageOf([&] { TRegistry(big).WriteString("Port", "COM2"); }),
              "Failed to set data for 'Port' (the file '" + big.string() +
                  "' is damaged at line 1: unrecognised line)");
    std::filesystem::resize_file(big, (16 << 20) + 1);
    EXPECT_EQ(MessageOf([&] { TRegistry(big).WriteString("Port", "COM2"); }),
              "Failed to set data for 'Port' (cannot read the file '" + big.string() + "': File too large)");
    EXPECT_EQ(std::filesystem::file_size(big), (16u << 20) + 1);
    std::filesystem::permissions(readOnly, std::filesystem::perms::owner_all);  // Windows removes no read-only file
}

// Once committed, the temporary name is the file's no more: whatever has that name later
// (another program's temporary file) stays. One never committed takes its file with it.
TEST_F(Runtime, CommittedReplacementLeavesItsTemporaryNameAloneAndAnAbandonedOneLeavesNothing)
{
    const auto file = dir.Write("settings", "old");
    std::filesystem::path temporary;
    {
        TFileReplacement replacement;
        ASSERT_EQ(replacement.Begin(file) + replacement.Write("new"), 0);
        for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
            temporary = entry.path() == file ? temporary : entry.path();
        ASSERT_EQ(replacement.Commit(), 0);
        dir.Write(temporary.filename().string(), "another's");
    }
    EXPECT_EQ(ReadFileBytes(file) + ReadFileBytes(temporary), "newanother's");
    {
        TFileReplacement abandoned;  // a failed write ends like this, its file still open
        ASSERT_EQ(abandoned.Begin(file) + abandoned.Write("lost"), 0);
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
    EXPECT_EQ(ReadFileBytes(file), "new");
}

// Two programs writing one INI file and one key file at the same time keep each other's values.
TEST_F(Runtime, TwoWritingProcessesLoseNoValue)
{
    const auto id = [](int writer, int i) { return "W" + std::to_string(writer) + "." + std::to_string(i); };
    const auto writeAll = [&](const std::filesystem::path& folder, int writer) {
        TIniFile ini(folder / "ports.ini");
        TRegistry key(folder / "port.reg");
        for (int i = 0; i < 15; ++i) {
            ini.WriteInteger("Shared", id(writer, i), i);
            key.WriteInteger(id(writer, i), i);
        }
    };
    EXPECT_TRUE(InTwoProcesses(dir.Path(), [&](const auto& folder) { writeAll(folder, 1); },
                               [&] { writeAll(dir.Path(), 0); }));
    TIniFile ini(dir.Path() / "ports.ini");
    TRegistry key(dir.Path() / "port.reg");
    int missing = 0;
    for (int writer = 0; writer < 2; ++writer)
        for (int i = 0; i < 15; ++i)
            missing += ini.ReadInteger("Shared", id(writer, i), -1) != i || key.ReadInteger(id(writer, i)) != i;
    EXPECT_EQ(missing, 0);
}
