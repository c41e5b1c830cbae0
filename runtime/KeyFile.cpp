#include "KeyFile.h"
#include "TextLookup.h"

#include <cstdio>
#include <set>

namespace {

constexpr std::string_view kHeader = "REGEDIT4";
constexpr std::string_view kOtherHeader = "Windows Registry Editor Version";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

int HexDigit(char c)
{
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

char Upper(char c) { return c >= 'a' && c <= 'z' ? char(c - 'a' + 'A') : c; }

std::string UpperCase(std::string_view s)
{
    std::string out(s);
    for (char& c : out)
        c = Upper(c);
    return out;
}

bool EqualNoCase(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (Upper(a[i]) != Upper(b[i]))
            return false;
    return true;
}

bool StartsNoCase(std::string_view text, std::string_view prefix)
{
    return text.size() >= prefix.size() && EqualNoCase(text.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

// Reads a quoted text at the start of `s` and removes it from `s`; the reason on failure.
const char* TakeQuoted(std::string_view& s, std::string& out)
{
    out.clear();
    for (std::size_t i = 1; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            s.remove_prefix(i + 1);
            return nullptr;
        }
        if (c == '\\') {
            if (++i == s.size())
                break;
            switch (s[i]) {
            case '\\': c = '\\'; break;
            case '"': c = '"'; break;
            case 'n': c = '\n'; break;
            case 'r': c = '\r'; break;
            default: return N_("unknown escape sequence in quoted text");
            }
        }
        out += c;
    }
    return N_("quoted text without its closing quote");
}

const char* TakeName(std::string_view& s, std::string& name)
{
    if (!s.empty() && s[0] == '@') {
        name.clear();
        s.remove_prefix(1);
        return nullptr;
    }
    return TakeQuoted(s, name);
}

const char* ParseDword(std::string_view digits, TKeyValue& value)
{
    digits = Trim(digits);
    if (digits.empty() || digits.size() > 8)
        return N_("a dword needs 1 to 8 hexadecimal digits");
    std::uint32_t number = 0;
    for (char c : digits) {
        if (HexDigit(c) < 0)
            return N_("a dword needs 1 to 8 hexadecimal digits");
        number = number << 4 | std::uint32_t(HexDigit(c));
    }
    value.type = TKeyDataType::Integer;
    value.number = std::int32_t(number);
    return nullptr;
}

// Comma-separated byte pairs; `more` is set when the line ends in '\' (continued).
const char* ParseHexBytes(std::string_view data, std::string& bytes, bool& more)
{
    data = Trim(data);
    more = !data.empty() && data.back() == '\\';
    if (more) {
        data = Trim(data.substr(0, data.size() - 1));
        if (!data.empty() && data.back() == ',')
            data.remove_suffix(1);
    }
    while (!data.empty()) {
        const std::size_t comma = data.find(',');
        const std::string_view pair = Trim(data.substr(0, comma));
        if (pair.empty() || pair.size() > 2 || HexDigit(pair[0]) < 0 || HexDigit(pair.back()) < 0)
            return N_("malformed hexadecimal data");
        bytes += char(pair.size() == 1 ? HexDigit(pair[0]) : HexDigit(pair[0]) * 16 + HexDigit(pair[1]));
        if (comma == std::string_view::npos)
            break;
        data.remove_prefix(comma + 1);
        if (data.empty())
            return N_("malformed hexadecimal data");
    }
    return nullptr;
}

// "hex:" or "hex(N):" up to the colon; removes it from `s` and gives N (-1 for plain "hex:").
// N has up to 8 hexadecimal digits, more than an int holds.
const char* TakeHexKind(std::string_view& s, std::int64_t& kind)
{
    s.remove_prefix(3);
    kind = -1;
    if (!s.empty() && s[0] == '(') {
        const std::size_t close = s.find(')');
        if (close == std::string_view::npos || close == 1 || close > 9)
            return N_("unknown data form");
        kind = 0;
        for (char c : s.substr(1, close - 1)) {
            if (HexDigit(c) < 0)
                return N_("unknown data form");
            kind = kind * 16 + HexDigit(c);
        }
        s.remove_prefix(close + 1);
    }
    if (s.empty() || s[0] != ':')
        return N_("unknown data form");
    s.remove_prefix(1);
    return nullptr;
}

// A 4-byte value of kind 4 is a little-endian 32-bit integer written as bytes.
void ClassifyHex(std::int64_t kind, const std::string& bytes, TKeyValue& value)
{
    value.type = TKeyDataType::Other;
    if (kind != 4 || bytes.size() != 4)
        return;
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number << 8 | std::uint8_t(bytes[std::size_t(i)]);
    value.type = TKeyDataType::Integer;
    value.number = std::int32_t(number);
}

std::string Quote(std::string_view text)
{
    std::string out = "\"";
    for (char c : text) {
        switch (c) {
        case '\\': out += "\\\\"; break;
        case '"': out += "\\\""; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        default: out += c;
        }
    }
    return out + '"';
}

std::string Line(const TKeyValue& value)
{
    std::string line = value.name.empty() ? "@" : Quote(value.name);
    if (value.type == TKeyDataType::String)
        return line + '=' + Quote(value.text);
    char digits[16];
    std::snprintf(digits, sizeof digits, "%08x", unsigned(std::uint32_t(value.number)));
    return line + "=dword:" + digits;
}

// A line's text without its end, and the line as the file has it, end included.
struct TLine {
    std::string_view body;
    std::string_view whole;
};

// Lines end at LF; one CR before it, or at the end of the text, belongs to the end.
std::vector<TLine> SplitLines(std::string_view text)
{
    std::vector<TLine> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view whole = text.substr(0, end == std::string_view::npos ? end : end + 1);
        std::string_view body = whole.substr(0, end);
        if (!body.empty() && body.back() == '\r')
            body.remove_suffix(1);
        lines.push_back({body, whole});
        text.remove_prefix(whole.size());
    }
    return lines;
}

// The end of an entry's last line as the file has it: "\r\n", "\n", a lone "\r" or none
// at the end of the file.
std::string_view LineEnd(std::string_view raw)
{
    if (raw.ends_with("\r\n"))
        return "\r\n";
    if (raw.ends_with('\n') || raw.ends_with('\r'))
        return raw.substr(raw.size() - 1);
    return {};
}

class TParser {
public:
    explicit TParser(std::string_view text) : lines_(SplitLines(text)) {}

    // Fills `entries`; false with `error` set when a line is damaged.
    bool Run(std::vector<TKeyFileEntry>& entries, TKeyFileError& error);

private:
    const char* ParseValue(std::string_view line, TKeyValue& value, std::string& raw);
    const char* ParseData(std::string_view data, TKeyValue& value, std::string& raw);

    std::vector<TLine> lines_;
    std::size_t next_ = 0;
};

const char* TParser::ParseData(std::string_view data, TKeyValue& value, std::string& raw)
{
    if (!data.empty() && data[0] == '"') {
        value.type = TKeyDataType::String;
        if (const char* reason = TakeQuoted(data, value.text))
            return reason;
        return Trim(data).empty() ? nullptr : N_("unexpected text after the value");
    }
    if (StartsNoCase(data, "dword:"))
        return ParseDword(data.substr(6), value);
    if (!StartsNoCase(data, "hex"))
        return N_("unknown data form");
    std::int64_t kind = -1;
    if (const char* reason = TakeHexKind(data, kind))
        return reason;
    std::string bytes;
    bool more = false;
    for (;;) {
        if (const char* reason = ParseHexBytes(data, bytes, more))
            return reason;
        if (!more)
            break;
        if (next_ == lines_.size())
            return N_("hexadecimal data continued past the end of the file");
        data = lines_[next_].body;
        raw += lines_[next_++].whole;
    }
    ClassifyHex(kind, bytes, value);
    return nullptr;
}

const char* TParser::ParseValue(std::string_view line, TKeyValue& value, std::string& raw)
{
    if (const char* reason = TakeName(line, value.name))
        return reason;
    line = Trim(line);
    if (line.empty() || line[0] != '=')
        return N_("'=' expected after the value name");
    return ParseData(Trim(line.substr(1)), value, raw);
}

bool TParser::Run(std::vector<TKeyFileEntry>& entries, TKeyFileError& error)
{
    bool keySeen = false;
    std::set<std::string> names;
    while (next_ < lines_.size()) {
        const int number = int(next_) + 1;
        const TLine& line = lines_[next_++];
        const std::string_view body = Trim(line.body);
        TKeyFileEntry entry{std::string(line.whole), std::nullopt};
        const char* reason = nullptr;
        if (body.empty() || body[0] == ';' || body[0] == '#' || body == kHeader || body.starts_with(kOtherHeader)) {
        } else if (body[0] == '[' && body.back() == ']') {
            reason = keySeen ? N_("the file holds more than one key") : nullptr;
            keySeen = true;
        } else if (body[0] == '"' || body[0] == '@') {
            TKeyValue value;
            reason = ParseValue(body, value, entry.raw);
            entry.value = std::move(value);
        } else {
            reason = N_("unrecognised line");
        }
        if (!reason && entry.value && !names.insert(UpperCase(entry.value->name)).second)
            reason = N_("the value is given twice");
        if (reason) {
            error = {number, reason};
            return false;
        }
        entries.push_back(std::move(entry));
    }
    return true;
}

} // namespace

std::optional<TKeyFile> TKeyFile::Parse(std::string_view text, TKeyFileError& error)
{
    TKeyFile file;
    TParser parser(text);
    if (!parser.Run(file.entries_, error))
        return std::nullopt;
    return file;
}

const TKeyValue* TKeyFile::Find(std::string_view name) const
{
    for (const TKeyFileEntry& entry : entries_)
        if (entry.value && EqualNoCase(entry.value->name, name))
            return &*entry.value;
    return nullptr;
}

void TKeyFile::Set(const TKeyValue& value)
{
    for (TKeyFileEntry& entry : entries_) {
        if (entry.value && EqualNoCase(entry.value->name, value.name)) {
            entry = {Line(value).append(LineEnd(entry.raw)), value};
            return;
        }
    }
    // New lines end as the first line does.
    const std::string end = !entries_.empty() && LineEnd(entries_.front().raw) == "\r\n" ? "\r\n" : "\n";
    if (entries_.empty()) {
        entries_.push_back({std::string(kHeader) + end, std::nullopt});
        entries_.push_back({end, std::nullopt});
    } else if (std::string& last = entries_.back().raw; !last.ends_with('\n')) {
        last += last.ends_with('\r') ? "\n" : end;  // a lone CR at the end only lacks its LF
    }
    entries_.push_back({Line(value) + end, value});
}

std::string TKeyFile::Text() const
{
    std::string text;
    for (const TKeyFileEntry& entry : entries_)
        text += entry.raw;
    return text;
}
