#include "app/win32/StoredForm.h"

namespace {

constexpr RECT At(int left, int top, int width, int height)
{
    return {left, top, left + width, top + height};
}

using enum TControlKind;
using enum TFontStyle;

// Labels size themselves to their text; the widths here are what the stored form has.
constexpr TControlSpec kControls[] = {
    {"Open", Button, At(232, 32, 89, 22), "Otwórz", Bold, clWindowText},
    {"Send", Button, At(232, 267, 89, 22), "Wyślij", Bold, clWindowText},
    {"File_name", Edit, At(16, 32, 209, 21), "", Form, clWindowText},
    {"Bank1", NameEdit, At(64, 88, 105, 21), "", Form, clWindowText},
    {"Bank2", NameEdit, At(64, 112, 105, 21), "", Form, clWindowText},
    {"Bank3", NameEdit, At(64, 136, 105, 21), "", Form, clWindowText},
    {"Bank4", NameEdit, At(64, 160, 105, 21), "", Form, clWindowText},
    {"Bank5", NameEdit, At(64, 184, 105, 21), "", Form, clWindowText},
    {"Bank6", NameEdit, At(64, 208, 105, 21), "", Form, clWindowText},
    {"Bank7", NameEdit, At(64, 232, 105, 21), "", Form, clWindowText},
    {"Bank8", NameEdit, At(64, 256, 105, 21), "", Form, clWindowText},
    {"Label1", Label, At(16, 16, 119, 13), "Nazwa pliku danych:", Bold, clRed},
    {"Label12", Label, At(288, 8, 36, 13), "ver. 1.0", Form, clWindowText},
    {"Label11", Label, At(20, 68, 107, 13), "Nazwy programów:", Bold, clGreen},
    {"Label2", Label, At(24, 92, 34, 13), "Prog.1:", Form, clBlue},
    {"Label3", Label, At(24, 116, 34, 13), "Prog.2:", Form, clBlue},
    {"Label4", Label, At(24, 140, 34, 13), "Prog.3:", Form, clBlue},
    {"Label5", Label, At(24, 164, 34, 13), "Prog.4:", Form, clBlue},
    {"Label6", Label, At(24, 188, 34, 13), "Prog.5:", Form, clBlue},
    {"Label7", Label, At(24, 212, 34, 13), "Prog.6:", Form, clBlue},
    {"Label8", Label, At(24, 236, 34, 13), "Prog.7:", Form, clBlue},
    {"Label9", Label, At(24, 260, 34, 13), "Prog.8:", Form, clBlue},
    {"Label10", Label, At(16, 306, 36, 13), "Postęp:", Form, clRed},
};

} // namespace

std::span<const TControlSpec> StoredControls()
{
    return kControls;
}

HFONT MakeFormFont(TFontStyle style)
{
    return CreateFontW(-11, 0, 0, 0, style == Bold ? FW_BOLD : FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                       L"MS Sans Serif");
}
