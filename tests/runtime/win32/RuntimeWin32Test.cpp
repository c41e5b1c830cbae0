// What the Windows build does itself where POSIX has gettext: reading .mo files.
#include "runtime/Utf8Path.h"
#include "RuntimeFixture.h"
#include <algorithm>

// A catalogue in either byte order is read. A damaged one, cut short anywhere or with
// any word of its header and tables out of range, harms nothing: it translates as it
// was or not at all.
TEST_F(Runtime, CataloguesReadInEitherByteOrderAndDamagedOnesNeverHarm)
{
    const std::string mo = ReadFileBytes(std::filesystem::path(TEST_LOCALE_DIR) / "pl/LC_MESSAGES/default.mo");
    std::filesystem::create_directories(dir.Path() / "pl/LC_MESSAGES");
    const auto lookUp = [&](const std::string& bytes) {
        dir.Write("pl/LC_MESSAGES/default.mo", bytes);
        SetEnvironment("LANG", "pl");
        InitTextLookup(Utf8FromPath(dir.Path()));
        return RuntimeText("File not found");
    };
    const auto word = [&](std::size_t at) { return std::uint8_t(mo[at]) | std::uint8_t(mo[at + 1]) << 8; };
    // Header, tables of originals and translations, hash table: words all; the texts follow.
    const std::size_t words = std::max<std::size_t>(28 + 16 * word(8), word(24) + 4 * word(20));
    std::string swapped = mo;
    for (std::size_t at = 0; at < words; at += 4)
        std::reverse(swapped.begin() + at, swapped.begin() + at + 4);
    EXPECT_EQ(lookUp(mo) + ", " + lookUp(swapped), "Nie znaleziono pliku, Nie znaleziono pliku");
    EXPECT_EQ(lookUp(mo.substr(0, mo.size() / 2)), "File not found");
    std::vector<std::string> damaged;
    for (std::size_t size = 0; size < mo.size(); size += 3)  // 3: each place within a word in turn
        damaged.push_back(mo.substr(0, size));
    for (std::size_t at = 0; at < words; ++at)
        for (const char* bad : {"\xFF\xFF\xFF\xFF", "\xF0\xFF\xFF\x7F", "\x01\x00\x00\x80"})
            damaged.push_back(mo.substr(0, at) + std::string(bad, 4) + mo.substr(at + 4));
    int harmed = 0;
    for (const std::string& bytes : damaged) {
        const std::string text = lookUp(bytes);
        harmed += text != "File not found" && text != "Nie znaleziono pliku";
    }
    EXPECT_EQ(harmed, 0);
}
