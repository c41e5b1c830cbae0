#include "runtime/IniFile.h"
#include "runtime/TextLookup.h"

#include "TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

class IniFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        setenv("LANG", "C", 1);
        InitTextLookup(TEST_LOCALE_DIR);
    }
    std::filesystem::path IniPath() const { return dir.Path() / "ports.ini"; }

    TempDir dir;
};

std::string MessageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const EIniFileException& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

} // namespace

TEST_F(IniFile, WritesGoThroughSoTwoObjectsOnOneFileShareValues)
{
    TIniFile first(IniPath());
    TIniFile second(IniPath());
    first.WriteString("RS232", "Port", "COM1");
    EXPECT_EQ(second.ReadString("RS232", "Port", "-"), "COM1");
    second.WriteInteger("RS232", "Buffer.InputSize", 2048);
    // The first object's next write must not drop what the second one wrote.
    first.WriteString("Other", "Port", "COM2");
    EXPECT_EQ(first.ReadInteger("rs232", "BUFFER.INPUTSIZE", 0), 2048);
    EXPECT_EQ(second.ReadString("RS232", "Port", "-"), "COM1");
    EXPECT_EQ(ReadFileBytes(IniPath()), "[RS232]\nPort = COM1\nBuffer.InputSize = 2048\n\n\n[Other]\nPort = COM2\n");
}

TEST_F(IniFile, DefaultsStandInForWhatIsMissingOnly)
{
    TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("RS232", "Port", "COM9"), "COM9");
    EXPECT_EQ(ini.ReadInteger("RS232", "Rate", 7), 7);
    EXPECT_FALSE(std::filesystem::exists(IniPath()));
    dir.Write("ports.ini", "; hand-written\n[RS232]\nPort=\nRate=\nHex=0x7A12\nBig=4294967296\nJunk=12ab\n"
                           "Min=-2147483648\n");
    EXPECT_EQ(ini.ReadString("RS232", "Port", "COM9"), "");
    EXPECT_EQ(ini.ReadString("Elsewhere", "Port", "COM9"), "COM9");
    EXPECT_EQ(ini.ReadInteger("RS232", "Rate", 7), 7);
    EXPECT_EQ(ini.ReadInteger("RS232", "Hex", 7), 31250);
    EXPECT_EQ(ini.ReadInteger("RS232", "Big", 7), 7);
    EXPECT_EQ(ini.ReadInteger("RS232", "Junk", 7), 7);
    EXPECT_EQ(ini.ReadInteger("RS232", "Min", 7), INT32_MIN);
    ini.WriteInteger("RS232", "Rate", -1);
    EXPECT_EQ(ini.ReadInteger("RS232", "Rate", 7), -1);
    EXPECT_EQ(ReadFileBytes(IniPath()).substr(0, 15), "; hand-written\n");
}

TEST_F(IniFile, EightBitAndMultiLineTextComeBackUnchanged)
{
    TIniFile ini(IniPath());
    const std::string polish = "\xA3\xF3\x64\xBC \xB9=[x]";  // CP1250
    ini.WriteString("RS232", "Name", polish);
    ini.WriteString("RS232", "Lines", "one\ntwo");
    ini.WriteString("RS232", "After", "still here");
    EXPECT_EQ(ini.ReadString("RS232", "Name", ""), polish);
    EXPECT_EQ(ini.ReadString("RS232", "Lines", ""), "one\ntwo");
    EXPECT_EQ(ini.ReadString("RS232", "After", ""), "still here");

    dir.Write("signed.ini", "\xEF\xBB\xBF[RS232]\nPort=COM3\n");
    TIniFile signedIni(dir.Path() / "signed.ini");
    EXPECT_EQ(signedIni.ReadString("RS232", "Port", ""), "COM3");
    signedIni.WriteString("RS232", "Port", "COM4");
    EXPECT_EQ(ReadFileBytes(dir.Path() / "signed.ini"), "\xEF\xBB\xBF[RS232]\nPort = COM4\n");
}

TEST_F(IniFile, DamagedContentReadsWithoutHarm)
{
    std::string noise;
    for (int i = 0; i < 4096; ++i)
        noise += char((i * 7919) % 256);
    dir.Write("ports.ini", noise + "\n[RS232\n=x\n[]\nPort\n");
    TIniFile ini(IniPath());
    EXPECT_EQ(ini.ReadString("RS232", "Port", "COM1"), "COM1");
    ini.WriteString("RS232", "Port", "COM4");
    EXPECT_EQ(ini.ReadString("RS232", "Port", "COM1"), "COM4");
}

TEST_F(IniFile, FilesThatCannotBeReadOrWrittenAreNamed)
{
    const auto folder = dir.Path() / "folder";
    std::filesystem::create_directory(folder);
    TIniFile unreadable(folder);
    EXPECT_EQ(MessageOf([&] { unreadable.ReadString("RS232", "Port", ""); }),
              "Cannot read the file '" + folder.string() + "': Is a directory");
    const auto nowhere = dir.Path() / "none" / "ports.ini";
    TIniFile unwritable(nowhere);
    EXPECT_EQ(unwritable.ReadInteger("RS232", "Rate", 3), 3);
    EXPECT_EQ(MessageOf([&] { unwritable.WriteInteger("RS232", "Rate", 1); }),
              "Cannot write the file '" + nowhere.string() + "': No such file or directory");
}
