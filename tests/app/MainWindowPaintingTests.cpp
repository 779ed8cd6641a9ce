// The main window's own painting, in-process, at the scales a screen may have
// and under a contrast theme from a fake colour source (Wine cannot turn one on).
#include "UiDriver.h"
#include "app/MainWindow.h"
#include "toolkit/Application.h"
#include "toolkit/Colours.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

namespace {

// Whether colour p lies between a and b, within rounding (an anti-aliased
// edge), measured along red, where the test's two colours differ most.
bool isBlend(unsigned p, unsigned a, unsigned b)
{
    const auto channel = [](unsigned c, int i) { return static_cast<int>((c >> (8 * i)) & 0xFF); };
    const double t = std::clamp(double(channel(p, 2) - channel(a, 2)) / (channel(b, 2) - channel(a, 2)), 0.0, 1.0);
    for (int i = 0; i < 3; ++i)
        if (std::abs(channel(p, i) - (channel(a, i) + t * (channel(b, i) - channel(a, i)))) > 4)
            return false;
    return true;
}

// At 100, 125 and 150 %: in the documented colours the light panel spans the
// serial row. Then a contrast theme, told as the system tells it: outside the
// buttons every pixel is window colour, window text or a blend of the two (the
// logo a silhouette with its shape kept, no old text edge left in a label), the
// serial field's text is window text, and each button's one-pixel border shows
// on all four edges.
TEST(MainWindowPainting, PanelScalesAndAContrastThemeTakesEveryColour)
{
    constexpr unsigned window = 0x102030, text = 0xF0E000, face = 0x006000, buttonText = 0xFF8000;
    struct FakeTheme : QEL::ColourSource {
        bool on = false;
        bool contrastThemeOn() const override { return on; }
        COLORREF systemColour(int index) const override
        {
            const unsigned rgb = index == COLOR_WINDOW ? window : index == COLOR_WINDOWTEXT ? text
                               : index == COLOR_BTNFACE ? face : index == COLOR_BTNTEXT ? buttonText : 0xFF00FF;
            return RGB(rgb >> 16, (rgb >> 8) & 0xFF, rgb & 0xFF);
        }
    };
    struct Restore {
        ~Restore() { QEL::setColourSource(nullptr); }
    } restore;
    auto owned = std::make_unique<FakeTheme>();
    FakeTheme& theme = *owned;
    QEL::setColourSource(std::move(owned));
    // The mouse in a corner no window reaches, so that no button lights up.
    uidriver::moveMouseTo(GetDesktopWindow(), {GetSystemMetrics(SM_CXSCREEN) - 5, GetSystemMetrics(SM_CYSCREEN) - 5});
    for (const float scale : {1.0f, 1.25f, 1.5f}) {
        SCOPED_TRACE(scale);
        theme.on = false;
        QEL::refreshColours();
        QEL::Application application(GetModuleHandleW(nullptr), 1);
        app::MainWindow main(scale);
        KillTimer(main.hwnd(), app::scanTimerId);
        ShowWindow(main.hwnd(), SW_SHOWNORMAL);
        uidriver::pumpMessages(300);
        const SIZE size = main.pixelSize();
        const auto px = [&](int logical) { return main.toPixels(logical); };
        uidriver::ScreenCapture shot = uidriver::capture(main.hwnd(), {0, 0, size.cx, size.cy});
        EXPECT_EQ(0x999999u, shot.at(5, px(114)));
        EXPECT_EQ(0xF4F4F4u, shot.at(5, px(116)));
        EXPECT_EQ(0xF4F4F4u, shot.at(5, px(179)));
        EXPECT_EQ(0x444444u, shot.at(5, px(181)));

        theme.on = true;
        SendMessageW(main.hwnd(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        uidriver::pumpMessages(300);
        shot = uidriver::capture(main.hwnd(), {0, 0, size.cx, size.cy});
        std::vector<RECT> buttons;
        RECT field = {};
        for (HWND child = GetWindow(main.hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
            wchar_t name[64] = {};
            GetClassNameW(child, name, 64);
            RECT r;
            GetWindowRect(child, &r);
            MapWindowPoints(nullptr, main.hwnd(), reinterpret_cast<POINT*>(&r), 2);
            if (std::wstring(name) == QEL::buttonClassName)
                buttons.push_back(r);
            else if (IsWindowVisible(child) && (GetWindowLongW(child, GWL_STYLE) & WS_TABSTOP))
                field = r;
        }
        ASSERT_EQ(2u, buttons.size());
        int offPalette = 0, fieldInk = 0, logoInk = 0, logoBackground = 0;
        const RECT logo = {size.cx - px(147), px(17), size.cx - px(14), px(42)};
        for (int y = 0; y < size.cy; ++y) {
            for (int x = 0; x < size.cx; ++x) {
                const POINT at = {x, y};
                const unsigned p = shot.at(x, y);
                if (PtInRect(&buttons[0], at) || PtInRect(&buttons[1], at))
                    continue;
                offPalette += !isBlend(p, window, text);
                fieldInk += PtInRect(&field, at) && p == text;
                logoInk += PtInRect(&logo, at) && p == text;
                logoBackground += PtInRect(&logo, at) && p == window;
            }
        }
        EXPECT_EQ(0, offPalette);
        EXPECT_GT(fieldInk, 20);
        EXPECT_GT(logoInk, 300);
        EXPECT_GT(logoBackground, 300);
        for (const RECT& b : buttons) {
            const int midX = (b.left + b.right) / 2, midY = (b.top + b.bottom) / 2;
            EXPECT_EQ(buttonText, shot.at(b.left, midY));
            EXPECT_EQ(buttonText, shot.at(b.right - 1, midY));
            EXPECT_EQ(buttonText, shot.at(midX, b.top));
            EXPECT_EQ(buttonText, shot.at(midX, b.bottom - 1));
            EXPECT_EQ(face, shot.at(b.left + 2, midY));
        }
    }
}

} // namespace
