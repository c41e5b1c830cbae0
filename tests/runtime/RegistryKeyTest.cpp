#include "runtime/RegistryKey.h"

#include "AccessTest.h"

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

using RegistryKey = AccessTest;

TEST_F(RegistryKey, WritesGoThroughToAFileAnotherKeyObjectReads)
{
    const auto path = dir.Path() / "port.reg";
    TRegistry writer(path);
    writer.WriteString("Port", "COM1");
    writer.WriteInteger("CustomBaudRate", 31250);
    writer.WriteInteger("Negative", -2);
    EXPECT_EQ(ReadFileBytes(path),
              "REGEDIT4\n\n\"Port\"=\"COM1\"\n\"CustomBaudRate\"=dword:00007a12\n\"Negative\"=dword:fffffffe\n");
    TRegistry reader;
    reader.OpenKey(path);
    EXPECT_EQ(reader.ReadInteger("Negative"), -2);
    writer.WriteString("Port", "COM2");
    EXPECT_EQ(reader.ReadString("port"), "COM2");
    EXPECT_TRUE(reader.ValueExists("PORT"));
    EXPECT_FALSE(reader.ValueExists("Parity"));
}

TEST_F(RegistryKey, MissingValuesAndWrongTypesFailWithTheirMessages)
{
    TRegistry key(dir.Path() / "port.reg");
    EXPECT_EQ(key.ReadString("Port"), "");  // no file yet: a key without values
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Rate"); }), "Failed to get data for 'Rate'");
    key.WriteString("Text", "9600");
    key.WriteInteger("Number", 9600);
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Text"); }), "Invalid data type for 'Text'");
    EXPECT_EQ(MessageOf([&] { key.ReadString("Number"); }), "Invalid data type for 'Number'");
    key.OpenKey(dir.Write("other.reg", "\"Blob\"=hex:01,02\n"));
    EXPECT_EQ(MessageOf([&] { key.ReadString("Blob"); }), "Invalid data type for 'Blob'");
    key.CloseKey();
    EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }), "Failed to get data for 'Port' (no key is open)");
    EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "x"); }), "Failed to set data for 'Port' (no key is open)");
    UseLanguage("pl_PL.UTF-8");
    key.OpenKey(dir.Path() / "port.reg");
    EXPECT_EQ(MessageOf([&] { key.ReadInteger("Rate"); }), "Nie udało się odczytać danych 'Rate'");
    EXPECT_EQ(MessageOf([&] { key.ReadString("Number"); }), "Nieprawidłowy typ danych: Number %s");
}

TEST_F(RegistryKey, FilesThatCannotBeReadOrWrittenAreNamedAndDamagedOnesKept)
{
    TRegistry key(dir.Path());
    const std::string folder = "cannot read the file '" + dir.Path().string() + "': Is a directory)";
    EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }), "Failed to get data for 'Port' (" + folder);
    EXPECT_EQ(MessageOf([&] { key.WriteInteger("Rate", 1); }), "Failed to set data for 'Rate' (" + folder);
    const auto nowhere = dir.Path() / "none" / "port.reg";
    key.OpenKey(nowhere);
    EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "COM1"); }),
              "Failed to set data for 'Port' (cannot write the file '" + nowhere.string() +
                  "': No such file or directory)");
    const auto fifo = dir.Path() / "fifo";  // without a writer it must not hold the reader
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    key.OpenKey(fifo);
    EXPECT_EQ(MessageOf([&] { key.ReadString("Port"); }),
              "Failed to get data for 'Port' (cannot read the file '" + fifo.string() + "': Invalid argument)");
    const std::string damaged = "REGEDIT4\n\"Port\"=\"COM1\"\n\"Rate\"=dword:zz\n";
    key.OpenKey(dir.Write("port.reg", damaged));
    EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "COM2"); }),
              "Failed to set data for 'Port' (the file '" + (dir.Path() / "port.reg").string() +
                  "' is damaged at line 3: a dword needs 1 to 8 hexadecimal digits)");
    EXPECT_EQ(ReadFileBytes(dir.Path() / "port.reg"), damaged);
    const auto readOnly = dir.Write("read-only.reg", "\"Port\"=\"COM1\"\n");
    ::chmod(readOnly.c_str(), 0444);  // refused even where the user could write it anyway (root)
    key.OpenKey(readOnly);
    EXPECT_EQ(MessageOf([&] { key.WriteString("Port", "COM2"); }),
              "Failed to set data for 'Port' (cannot write the file '" + readOnly.string() + "': Permission denied)");
    EXPECT_EQ(ReadFileBytes(readOnly), "\"Port\"=\"COM1\"\n");
}

TEST_F(RegistryKey, HandEditedFileKeepsItsCommentsModeAndLink)
{
    const auto path = dir.Write("port.reg", "; Port of the bench unit\n\"Port\"=\"COM3\"\n");
    const bool root = ::geteuid() == 0;  // only root may give the file to someone else
    if (root) {
        ASSERT_EQ(::chown(path.c_str(), 1234, 5678), 0);
    }
    ::chmod(path.c_str(), 0640);
    const auto link = dir.Path() / "link.reg";
    std::filesystem::create_symlink(path, link);
    TRegistry(link).WriteString("Port", "/dev/ttyUSB0");
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadFileBytes(path), "; Port of the bench unit\n\"Port\"=\"/dev/ttyUSB0\"\n");
    struct stat st {};
    ASSERT_EQ(::stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    if (root) {
        EXPECT_EQ(std::make_pair(st.st_uid, st.st_gid), std::make_pair(uid_t(1234), gid_t(5678)));
    }
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.Path()), {}), 2);  // no temporary left
}
