#include "runtime/IniFile.h"

#include "AccessTest.h"

#include <filesystem>
#include <sys/stat.h>

using IniFile = AccessTest;

TEST_F(IniFile, WritesGoThroughSoTwoObjectsOnOneFileShareValues)
{
    const auto path = dir.Path() / "ports.ini";
    TIniFile first(path);
    TIniFile second(path);
    first.WriteString("RS232", "Port", "COM1");
    EXPECT_EQ(second.ReadString("RS232", "Port", "-"), "COM1");
    second.WriteInteger("RS232", "Buffer.InputSize", 2048);
    // The first object's next write must not drop what the second one wrote.
    first.WriteString("Other", "Port", "COM2");
    EXPECT_EQ(first.ReadInteger("rs232", "BUFFER.INPUTSIZE", 0), 2048);
    EXPECT_EQ(ReadFileBytes(path), "[RS232]\nPort = COM1\nBuffer.InputSize = 2048\n\n\n[Other]\nPort = COM2\n");
}

TEST_F(IniFile, DefaultsStandInForWhatIsMissingOrUnreadableOnly)
{
    TIniFile ini(dir.Path() / "ports.ini");
    EXPECT_EQ(ini.ReadString("RS232", "Port", "COM9"), "COM9");
    EXPECT_FALSE(std::filesystem::exists(dir.Path() / "ports.ini"));  // reading creates nothing
    dir.Write("ports.ini", "; hand-written\n[RS232]\nPort=\nRate=\nHex=0x7A12\nBig=4294967296\nJunk=12ab\n"
                           "Min=-2147483648\n");
    EXPECT_EQ(ini.ReadString("RS232", "Port", "COM9"), "");
    EXPECT_EQ(ini.ReadString("Elsewhere", "Port", "COM9"), "COM9");
    for (const char* key : {"Rate", "Big", "Junk"})
        EXPECT_EQ(ini.ReadInteger("RS232", key, 7), 7) << key;
    EXPECT_EQ(ini.ReadInteger("RS232", "Hex", 7), 31250);
    EXPECT_EQ(ini.ReadInteger("RS232", "Min", 7), INT32_MIN);
    ini.WriteInteger("RS232", "Rate", -1);
    EXPECT_EQ(ReadFileBytes(dir.Path() / "ports.ini").substr(0, 15), "; hand-written\n");
}

TEST_F(IniFile, EightBitMultiLineAndSignedFilesComeBackUnchanged)
{
    TIniFile ini(dir.Path() / "ports.ini");
    const std::string polish = "\xA3\xF3\x64\xBC \xB9=[x]";  // CP1250
    ini.WriteString("RS232", "Name", polish);
    ini.WriteString("RS232", "Lines", "one\ntwo");
    ini.WriteString("RS232", "After", "still here");
    EXPECT_EQ(ini.ReadString("RS232", "Name", ""), polish);
    EXPECT_EQ(ini.ReadString("RS232", "Lines", ""), "one\ntwo");
    EXPECT_EQ(ini.ReadString("RS232", "After", ""), "still here");
    TIniFile signedIni(dir.Write("signed.ini", "\xEF\xBB\xBF[RS232]\nPort=COM3\n"));
    EXPECT_EQ(signedIni.ReadString("RS232", "Port", ""), "COM3");
    signedIni.WriteString("RS232", "Port", "COM4");
    EXPECT_EQ(ReadFileBytes(dir.Path() / "signed.ini"), "\xEF\xBB\xBF[RS232]\nPort = COM4\n");
}

TEST_F(IniFile, DamagedContentReadsWithoutHarmAndFailuresNameTheFile)
{
    std::string noise;
    for (int i = 0; i < 4096; ++i)
        noise += char((i * 7919) % 256);
    TIniFile damaged(dir.Write("ports.ini", noise + "\n[RS232\n=x\n[]\nPort\n"));
    EXPECT_EQ(damaged.ReadString("RS232", "Port", "COM1"), "COM1");
    damaged.WriteString("RS232", "Port", "COM4");
    EXPECT_EQ(damaged.ReadString("RS232", "Port", "COM1"), "COM4");

    TIniFile unreadable(dir.Path());
    EXPECT_EQ(MessageOf([&] { unreadable.ReadString("RS232", "Port", ""); }),
              "Cannot read the file '" + dir.Path().string() + "': Is a directory");
    const auto nowhere = dir.Path() / "none" / "ports.ini";
    TIniFile unwritable(nowhere);
    EXPECT_EQ(unwritable.ReadInteger("RS232", "Rate", 3), 3);
    EXPECT_EQ(MessageOf([&] { unwritable.WriteInteger("RS232", "Rate", 1); }),
              "Cannot write the file '" + nowhere.string() + "': No such file or directory");
    const auto readOnly = dir.Write("read-only.ini", "[RS232]\nPort=COM1\n");
    ::chmod(readOnly.c_str(), 0444);  // refused even where the user could write it anyway (root)
    EXPECT_EQ(MessageOf([&] { TIniFile(readOnly).WriteString("RS232", "Port", "COM2"); }),
              "Cannot write the file '" + readOnly.string() + "': Permission denied");
    EXPECT_EQ(ReadFileBytes(readOnly), "[RS232]\nPort=COM1\n");
}

// A name or value that would not read back as written is refused, and nothing else changes.
TEST_F(IniFile, WhatTheFileCannotHoldIsRefusedWithoutTouchingIt)
{
    const std::string before = "[ComPort]\nPort = COM1\n";
    TIniFile ini(dir.Write("ports.ini", before));
    const std::string message =
        "Cannot write the file '" + ini.FileName().string() + "': the file cannot hold this name or value as it is";
    struct Case { std::string section, key, value; };
    const Case cases[] = {
        {"ComPort", "Port", "COM1\nEND_OF_TEXT\nBaudRate=99"},
        {"ComPort", "Port", std::string("COM1\0COM2", 9)},
        {"ComPort", std::string("Port\0x", 6), "COM2"},
        {"ComPort", "Port", "<<<COM1"},
        {"ComPort", "Port", "CR\rinside"},
        {"ComPort", "Baud=Rate", "9600"},
        {"ComPort", "[Other]", "9600"},
        {"ComPort", ";Port", "9600"},
        {"ComPort", " Port", "9600"},
        {"ComPort", "", "9600"},
        {"Com]Port", "Port", "9600"},
        {"Com\nPort", "Port", "9600"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(MessageOf([&] { ini.WriteString(c.section, c.key, c.value); }), message) << c.key << c.value;
    EXPECT_EQ(ReadFileBytes(ini.FileName()), before);
}
