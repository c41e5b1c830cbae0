// Looks at another program's windows the way a test needs: waits for a caption,
// lists a window's controls with their places and texts, clicks a button, compares
// the gauge on screen with the core's pictures, and saves a screenshot.
//   window-probe wait CAPTION [SECONDS]       a visible top-level window so captioned
//   window-probe gone CAPTION [SECONDS]       none left
//   window-probe controls CAPTION             "id class left top width height enabled text"
//   window-probe text CAPTION ID
//   window-probe click CAPTION ID             BM_CLICK, posted
//   window-probe screen CAPTION ID            the control's screen rectangle
//   window-probe gauge CAPTION ID DONE_ID SECONDS
//                                             screen frames of the gauge until DONE_ID is enabled;
//                                             "ready" when watching, "running" once DONE_ID is disabled
//   window-probe snapshot CAPTION FILE.bmp
//   window-probe frame CAPTION                "client WIDTH HEIGHT fixed|resizable"
//   window-probe owned CAPTION [SECONDS]      waits for a window it owns; prints its caption
//   window-probe close CAPTION                WM_CLOSE, posted
#include "app/win32/StoredForm.h"
#include "runtime/win32/WinFiles.h"
#include "widgets/win32/Dib.h"
#include "widgets/win32/Gauges.h"

#include <chrono>
#include <fcntl.h>
#include <io.h>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>
#include <thread>
#include <vector>
#include <windows.h>

namespace {

using Clock = std::chrono::steady_clock;

std::string TextOf(HWND window)
{
    const auto length = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied = SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return Utf8Text(text);
}

HWND FindCaption(const std::string& caption)
{
    HWND window = FindWindowW(nullptr, WideText(caption).c_str());
    return window != nullptr && IsWindowVisible(window) ? window : nullptr;
}

// Another process's windows send no notice a test can wait on: look again every 20 ms.
bool WaitUntil(double seconds, const auto& condition)
{
    const auto deadline = Clock::now() + std::chrono::duration<double>(seconds);
    while (!condition()) {
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

HWND Require(const std::string& caption)
{
    HWND window = FindCaption(caption);
    if (window == nullptr) {
        std::fprintf(stderr, "window-probe: no window \"%s\"\n", caption.c_str());
        std::exit(1);
    }
    return window;
}

HWND RequireControl(HWND window, const std::string& id)
{
    HWND control = GetDlgItem(window, std::stoi(id));
    if (control == nullptr) {
        std::fprintf(stderr, "window-probe: no control %s\n", id.c_str());
        std::exit(1);
    }
    return control;
}

std::vector<std::uint32_t> ScreenPixels(const RECT& area)
{
    const int width = area.right - area.left, height = area.bottom - area.top;
    const BITMAPINFO info = TopDownRgb32(width, height);
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateDIBSection(screen, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    BitBlt(memory, 0, 0, width, height, screen, area.left, area.top, SRCCOPY);
    GdiFlush();
    std::vector<std::uint32_t> pixels(static_cast<const std::uint32_t*>(bits),
                                      static_cast<const std::uint32_t*>(bits) + std::size_t(width) * std::size_t(height));
    for (auto& pixel : pixels)
        pixel &= 0xFFFFFFu;
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return pixels;
}

// The 101 pictures the window's gauge may show, from the same core, font and size.
std::vector<TGaugeBitmap> GaugePictures(int width, int height)
{
    HWND parent = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, width, height, nullptr, nullptr,
                                  GetModuleHandleW(nullptr), nullptr);
    HFONT font = MakeFormFont(TFontStyle::Form);
    std::vector<TGaugeBitmap> pictures;
    {
        TGauge gauge(parent, RECT{0, 0, width, height});
        gauge.SetFont(font);
        for (int percent = 0; percent <= 100; ++percent) {
            gauge.SetProgress(percent);
            pictures.push_back(gauge.Picture());
        }
    }
    DeleteObject(font);
    DestroyWindow(parent);
    return pictures;
}

int Gauge(HWND gauge, HWND done, double seconds)
{
    RECT area{};
    GetWindowRect(gauge, &area);
    const auto pictures = GaugePictures(area.right - area.left, area.bottom - area.top);
    std::printf("ready\n");
    std::fflush(stdout);
    std::set<int> seen;
    int frames = 0, unmatched = 0;
    bool started = false;
    WaitUntil(seconds, [&] {
        const bool running = !IsWindowEnabled(done);
        if (running && !started) {
            std::printf("running\n");
            std::fflush(stdout);
        }
        started = started || running;
        const auto pixels = ScreenPixels(area);
        ++frames;
        int match = -1;
        for (std::size_t p = 0; p < pictures.size() && match < 0; ++p)
            if (pictures[p].pixels == pixels)
                match = static_cast<int>(p);
        if (match < 0)
            ++unmatched;
        else
            seen.insert(match);
        return started && !running;
    });
    std::printf("frames %d, unmatched %d, percentages seen %zu:", frames, unmatched, seen.size());
    for (int percent : seen)
        std::printf(" %d", percent);
    std::printf("\n");
    return unmatched == 0 && seen.size() >= 3 ? 0 : 1;
}

int Snapshot(HWND window, const std::string& file)
{
    RECT area{};
    GetWindowRect(window, &area);
    const int width = area.right - area.left, height = area.bottom - area.top;
    const auto pixels = ScreenPixels(area);
    const int stride = (width * 3 + 3) & ~3;
    BITMAPFILEHEADER head{};
    BITMAPINFOHEADER info{sizeof(BITMAPINFOHEADER), width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    head.bfType = 0x4D42;
    head.bfOffBits = sizeof head + sizeof info;
    head.bfSize = head.bfOffBits + static_cast<DWORD>(stride * height);
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(&head), sizeof head);
    out.write(reinterpret_cast<const char*>(&info), sizeof info);
    std::vector<char> row(static_cast<std::size_t>(stride));
    for (int y = height - 1; y >= 0; --y) {
        for (int x = 0; x < width; ++x) {
            const std::uint32_t pixel = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
            row[std::size_t(x) * 3] = char(pixel & 0xFF);
            row[std::size_t(x) * 3 + 1] = char(pixel >> 8 & 0xFF);
            row[std::size_t(x) * 3 + 2] = char(pixel >> 16 & 0xFF);
        }
        out.write(row.data(), stride);
    }
    return out ? 0 : 1;
}

void ListControls(HWND window)
{
    POINT origin{0, 0};
    ClientToScreen(window, &origin);
    for (HWND child = GetWindow(window, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t kind[64] = L"";
        GetClassNameW(child, kind, 64);
        RECT r{};
        GetWindowRect(child, &r);
        const bool edit = std::wstring_view(kind) == L"Edit";
        const auto limit = edit ? SendMessageW(child, EM_GETLIMITTEXT, 0, 0) : 0;
        std::printf("%d %s %ld %ld %ld %ld %s limit=%lld %s\n", GetDlgCtrlID(child), Utf8Text(kind).c_str(),
                    r.left - origin.x, r.top - origin.y, r.right - r.left, r.bottom - r.top,
                    IsWindowEnabled(child) ? "enabled" : "disabled", static_cast<long long>(limit),
                    TextOf(child).c_str());
    }
}

void Frame(HWND window)
{
    RECT client{};
    GetClientRect(window, &client);
    const auto style = GetWindowLongW(window, GWL_STYLE);
    const bool resizable = (style & (WS_THICKFRAME | WS_MAXIMIZEBOX | WS_MINIMIZEBOX)) != 0;
    std::printf("client %ld %ld %s\n", client.right, client.bottom, resizable ? "resizable" : "fixed");
}

HWND OwnedBy(HWND owner)
{
    HWND found = nullptr;
    struct Search { HWND owner; HWND* found; } search{owner, &found};
    EnumWindows(
        [](HWND window, LPARAM data) -> BOOL {
            auto* s = reinterpret_cast<Search*>(data);
            if (GetWindow(window, GW_OWNER) == s->owner && IsWindowVisible(window)) {
                *s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return found;
}

int Usage()
{
    std::fputs("usage: window-probe wait|gone|controls|text|click|screen|gauge|snapshot CAPTION ...\n", stderr);
    return 2;
}

} // namespace

// Wide arguments: captions have letters the ANSI code page may lack.
int wmain(int argc, wchar_t** wideArgv)
{
    _setmode(_fileno(stdout), _O_BINARY);  // lines end in \n alone, as the scripts read them
    if (argc < 3)
        return Usage();
    std::vector<std::string> args;
    for (int i = 0; i < argc; ++i)
        args.push_back(Utf8Text(wideArgv[i]));
    std::vector<const char*> argv;
    for (const std::string& arg : args)
        argv.push_back(arg.c_str());
    const std::string command = argv[1], caption = argv[2];
    const auto argument = [&](int i) { return i < argc ? args[std::size_t(i)] : std::string(); };
    const double seconds = argc > 3 && (command == "wait" || command == "gone") ? std::stod(argv[3]) : 20;
    if (command == "wait")
        return WaitUntil(seconds, [&] { return FindCaption(caption) != nullptr; }) ? 0 : 1;
    if (command == "gone")
        return WaitUntil(seconds, [&] { return FindCaption(caption) == nullptr; }) ? 0 : 1;
    HWND window = Require(caption);
    if (command == "owned") {
        HWND owned = nullptr;
        if (!WaitUntil(argc > 3 ? std::stod(argv[3]) : 20, [&] { return (owned = OwnedBy(window)) != nullptr; }))
            return 1;
        std::printf("%s\n", TextOf(owned).c_str());
    } else if (command == "frame") {
        Frame(window);
    } else if (command == "close") {
        PostMessageW(window, WM_CLOSE, 0, 0);
    } else if (command == "controls") {
        ListControls(window);
    } else if (command == "text") {
        std::printf("%s\n", TextOf(RequireControl(window, argument(3))).c_str());
    } else if (command == "click") {
        PostMessageW(RequireControl(window, argument(3)), BM_CLICK, 0, 0);
    } else if (command == "screen") {
        RECT r{};
        GetWindowRect(RequireControl(window, argument(3)), &r);
        std::printf("%ld %ld %ld %ld\n", r.left, r.top, r.right - r.left, r.bottom - r.top);
    } else if (command == "gauge" && argc == 6) {
        return Gauge(RequireControl(window, argument(3)), RequireControl(window, argument(4)),
                     std::stod(argument(5)));
    } else if (command == "snapshot" && argc == 4) {
        return Snapshot(window, argument(3));
    } else {
        return Usage();
    }
    return 0;
}
