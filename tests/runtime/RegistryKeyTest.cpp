#include "runtime/RegistryKey.h"
#include "runtime/TextLookup.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace {

class RegistryKey : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("LANG", "C", 1);
        InitTextLookup(TEST_LOCALE_DIR);
    }
    std::filesystem::path KeyPath() const { return dir.Path() / "port.reg"; }

    TempDir dir;
};

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const ERegistryException& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

} // namespace

TEST_F(RegistryKey, WritesGoThroughToAFileAnotherKeyObjectReads)
{
    TRegistry writer(KeyPath());
    writer.WriteString("Port", "COM1");
    writer.WriteInteger("CustomBaudRate", 31250);
    writer.WriteInteger("Negative", -2);
    EXPECT_EQ(ReadFileBytes(KeyPath()),
              "REGEDIT4\n\n\"Port\"=\"COM1\"\n\"CustomBaudRate\"=dword:00007a12\n\"Negative\"=dword:fffffffe\n");

    TRegistry reader;
    reader.OpenKey(KeyPath());
    EXPECT_EQ(reader.ReadString("port"), "COM1");
    EXPECT_EQ(reader.ReadInteger("CustomBaudRate"), 31250);
    EXPECT_EQ(reader.ReadInteger("Negative"), -2);
    writer.WriteString("Port", "COM2");
    EXPECT_EQ(reader.ReadString("Port"), "COM2");
    EXPECT_TRUE(reader.ValueExists("PORT"));
    EXPECT_FALSE(reader.ValueExists("Parity"));
}

TEST_F(RegistryKey, MissingValuesAndWrongTypesFailWithTheirMessages)
{
    TRegistry key(KeyPath());
    // No file yet: a key without values.
    EXPECT_EQ(key.ReadString("Port"), "");
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Rate"); }), "Failed to get data for 'Rate'");
    key.WriteString("Text", "9600");
    key.WriteInteger("Number", 9600);
    dir.Write("other.reg", "\"Blob\"=hex:01,02\n");
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(MessageOf([&] { key.ReadString("Number"); }), "Invalid data type for 'Number'");
    key.OpenKey(dir.Path() / "other.reg");
    EXPECT_EQ(MessageOf([&] { key.ReadString("Blob"); }), "Invalid data type for 'Blob'");
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Blob"); }), "Invalid data type for 'Blob'");
    key.CloseKey();
    EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }), "Failed to get data for 'Port' (no key is open)");
    EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "x"); }), "Failed to set data for 'Port' (no key is open)");
}

TEST_F(RegistryKey, FilesThatCannotBeReadOrWrittenAreNamed)
{
    const auto folder = dir.Path() / "folder";
    std::filesystem::create_directory(folder);
    TRegistry key(folder);
    EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }),
              "Failed to get data for 'Port' (cannot read the file '" + folder.string() + "': Is a directory)");
    EXPECT_EQ(MessageOf([&] { key.WriteInteger("Rate", 1); }),
              "Failed to set data for 'Rate' (cannot read the file '" + folder.string() + "': Is a directory)");
    const auto nowhere = dir.Path() / "none" / "port.reg";
    key.OpenKey(nowhere);
    EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "COM1"); }),
              "Failed to set data for 'Port' (cannot write the file '" + nowhere.string() +
                  "': No such file or directory)");
    EXPECT_FALSE(std::filesystem::exists(nowhere.parent_path()));
    // A FIFO without a writer must not hold the reader.
    const auto fifo = dir.Path() / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    key.OpenKey(fifo);
    EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }),
              "Failed to get data for 'Port' (cannot read the file '" + fifo.string() + "': Invalid argument)");
}

TEST_F(RegistryKey, DamagedFileIsReportedAndNeverOverwritten)
{
    const std::string damaged = "REGEDIT4\n\"Port\"=\"COM1\"\n\"Rate\"=dword:zz\n";
    dir.Write("port.reg", damaged);
    TRegistry key(KeyPath());
    const std::string where = "the file '" + KeyPath().string() + "' is damaged at line 3: "
                              "a dword needs 1 to 8 hexadecimal digits)";
    EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }), "Failed to get data for 'Port' (" + where);
    EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "COM2"); }), "Failed to set data for 'Port' (" + where);
    EXPECT_EQ(ReadFileBytes(KeyPath()), damaged);
}

TEST_F(RegistryKey, HandEditedFileKeepsItsCommentsModeAndLink)
{
    dir.Write("port.reg", "; Port of the bench unit\n\"Port\"=\"COM3\"\n");
    ::chmod(KeyPath().c_str(), 0640);
    const auto link = dir.Path() / "link.reg";
    std::filesystem::create_symlink(KeyPath(), link);
    TRegistry key(link);
    key.WriteString("Port", "/dev/ttyUSB0");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(KeyPath()), "; Port of the bench unit\n\"Port\"=\"/dev/ttyUSB0\"\n");
    struct stat st {};
    ASSERT_EQ(::stat(KeyPath().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // No temporary file is left behind.
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);
}

TEST_F(RegistryKey, MessagesGoThroughTheCatalogue)
{
    setenv("LANG", "pl_PL.UTF-8", 1);
    InitTextLookup(TEST_LOCALE_DIR);
    TRegistry key(KeyPath());
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Rate"); }), "Nie udało się odczytać danych 'Rate'");
    key.WriteInteger("Rate", 1);
    EXPECT_EQ(MessageOf([&] { key.ReadString("Rate"); }), "Nieprawidłowy typ danych: Rate %s");
}
