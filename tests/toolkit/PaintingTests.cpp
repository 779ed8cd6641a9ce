#include "ToolkitTestSupport.h"
#include "support/ProcessCounters.h"
#include "toolkit/BitmapResource.h"
#include "toolkit/Button.h"
#include "toolkit/Colours.h"
#include "toolkit/Fonts.h"
#include "toolkit/Label.h"

using namespace testing_support;

namespace {

class Painting : public ToolkitTest {};

void repaint(HWND hwnd)
{
    RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    pumpMessages(40);
}

TEST_F(Painting, TopLevelUsesBufferedPaintAndChildTheBackBuffer)
{
    ASSERT_TRUE(application->bufferedPaint());
    TestWindow window(10, 10, 200, 120);
    auto* label = new QEL::Label(&window);
    label->resize(100, 30);
    repaint(window.hwnd());
    EXPECT_GT(window.paints, 0);
    EXPECT_EQ(nullptr, window.backBuffer());
    ASSERT_NE(nullptr, label->backBuffer());

    const Gdiplus::Bitmap* first = label->backBuffer();
    EXPECT_EQ(100u, const_cast<Gdiplus::Bitmap*>(first)->GetWidth());
    repaint(label->hwnd());
    EXPECT_EQ(first, label->backBuffer());  // same size: reused

    label->resize(101, 30);
    repaint(label->hwnd());
    EXPECT_EQ(101u, const_cast<Gdiplus::Bitmap*>(label->backBuffer())->GetWidth());
    label->resize(101, 31);  // the height alone
    repaint(label->hwnd());
    EXPECT_EQ(31u, const_cast<Gdiplus::Bitmap*>(label->backBuffer())->GetHeight());
}

TEST_F(Painting, LabelBackgroundFillsAndEmptyTextDrawsNothingElse)
{
    TestWindow window(10, 10, 200, 120);
    auto* label = new QEL::Label(&window);
    label->move(20, 20);
    label->resize(60, 30);
    label->setBackground({0xFF1F7A3D, COLOR_WINDOW});
    repaint(window.hwnd());
    for (int y = 0; y < 30; y += 7)
        for (int x = 0; x < 60; x += 9)
            EXPECT_EQ(0x1F7A3Du, screenPixel(label->hwnd(), x, y)) << x << "," << y;
}

// The box around the pixels of a window that isInk accepts (by default black
// ink, not a white or grey fill): {left, top, right, bottom}, inclusive.
RECT inkBox(HWND hwnd, int width, int height,
            bool (*isInk)(unsigned) = [](unsigned p) { return p < 0x404040u; })
{
    RECT box = {width, height, -1, -1};
    for (int y = 0; y < height; ++y) {
        const std::vector<unsigned> row = uidriver::pixelRow(hwnd, {0, y}, width);
        for (int x = 0; x < width; ++x)
            if (isInk(row[x]))
                box = {std::min<LONG>(box.left, x), std::min<LONG>(box.top, y),
                       std::max<LONG>(box.right, x), std::max<LONG>(box.bottom, y)};
    }
    return box;
}

// A label's default text is black, 8 pixels high, from the top left, wrapped at
// its width; a button centres its text.
TEST_F(Painting, DefaultLabelLookAndCentredButtonText)
{
    TestWindow window(10, 10, 200, 120);
    auto* label = new QEL::Label(&window);
    label->resize(60, 50);
    label->setBackground({0xFFFFFFFF, COLOR_WINDOW});
    label->setText(L"HHHH HHHH HHHH");
    auto* button = new QEL::Button(&window);
    button->move(70, 0);
    button->resize(120, 40);
    button->setColor({0xFF000000, COLOR_BTNTEXT});
    button->setText(L"HH");
    repaint(window.hwnd());
    const RECT text = inkBox(label->hwnd(), 60, 50);
    EXPECT_LE(text.left, 3);
    EXPECT_LE(text.top, 3);
    EXPECT_GE(text.bottom, 12);  // a second line: wrapped
    EXPECT_LT(text.bottom, 30);  // lines of an 8-pixel font
    const RECT centred = inkBox(button->hwnd(), 120, 40);
    EXPECT_NEAR(60, (centred.left + centred.right) / 2, 3);
    EXPECT_NEAR(20, (centred.top + centred.bottom) / 2, 3);
}

TEST_F(Painting, LabelTextIsDrawnInItsColour)
{
    TestWindow window(10, 10, 200, 120);
    auto* label = new QEL::Label(&window);
    label->resize(180, 60);
    label->setBackground({0xFFFFFFFF, COLOR_WINDOW});
    auto font = QEL::makeFont(L"Verdana", 40.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    label->setFont(*font);
    font.reset();  // the label keeps its own copy
    label->setColor({0xFFFF0000, COLOR_WINDOWTEXT});
    label->setText(L"HHH");
    EXPECT_EQ(L"HHH", label->text());
    repaint(window.hwnd());
    const RECT red = inkBox(label->hwnd(), 180, 60, [](unsigned p) {
        return (p >> 16) > 0xC0 && ((p >> 8) & 0xFF) < 0x40;
    });
    EXPECT_GT(red.right - red.left, 40);  // three 40-pixel letters in red
    EXPECT_GT(red.bottom - red.top, 20);
}

// A contrast theme, through a fake colour source (Wine cannot turn one on): a
// label and a button take its colours once the window hears of the change, the
// button with a border and the highlight colours under the mouse; turned off,
// the documented colours come back. The system's answer says a theme is on
// with HCF_HIGHCONTRASTON; HCF_AVAILABLE alone is set on most desktops.
TEST_F(Painting, ContrastThemeColoursComeFromTheSourceAndFollowItsChanges)
{
    HIGHCONTRASTW answer = {sizeof answer, HCF_AVAILABLE | HCF_HOTKEYACTIVE, nullptr};
    EXPECT_FALSE(QEL::contrastThemeIn(answer));
    answer.dwFlags |= HCF_HIGHCONTRASTON;
    EXPECT_TRUE(QEL::contrastThemeIn(answer));
    struct FakeTheme : QEL::ColourSource {
        explicit FakeTheme(const bool& on) : on(on) {}
        bool contrastThemeOn() const override { return on; }
        COLORREF systemColour(int index) const override
        {
            switch (index) {
            case COLOR_WINDOW: return RGB(0x10, 0x20, 0x30);
            case COLOR_WINDOWTEXT: return RGB(0xF0, 0xE0, 0x00);
            case COLOR_BTNFACE: return RGB(0x00, 0x60, 0x00);
            case COLOR_BTNTEXT: return RGB(0xFF, 0x80, 0x00);
            case COLOR_HIGHLIGHT: return RGB(0x00, 0x00, 0xA0);
            default: return RGB(0xFF, 0x00, 0xFF);
            }
        }
        const bool& on;
    };
    struct Restore {
        ~Restore() { QEL::setColourSource(nullptr); }
    } restore;
    bool contrast = false;
    QEL::setColourSource(std::make_unique<FakeTheme>(contrast));
    TestWindow window(10, 10, 260, 100);
    auto font = QEL::makeFont(L"Verdana", 30.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    auto* label = new QEL::Label(&window);
    auto* button = new QEL::Button(&window);
    for (QEL::Label* widget : {static_cast<QEL::Label*>(label), static_cast<QEL::Label*>(button)}) {
        widget->resize(110, 50);
        widget->setFont(*font);
        widget->setText(L"HH");
    }
    label->setBackground({0xFFFFFFFF, COLOR_WINDOW});
    button->move(130, 0);
    const auto inkOf = [](HWND hwnd, unsigned colour) {
        const uidriver::ScreenCapture shot = uidriver::capture(hwnd, {0, 0, 110, 50});
        return std::count(shot.pixels.begin(), shot.pixels.end(), colour);
    };
    repaint(window.hwnd());
    EXPECT_EQ(0xFFFFFFu, screenPixel(label->hwnd(), 100, 45));
    EXPECT_EQ(0x444444u, screenPixel(button->hwnd(), 50, 2));
    EXPECT_GT(inkOf(label->hwnd(), 0x000000u), 50);

    contrast = true;
    SendMessageW(window.hwnd(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
    pumpMessages(100);
    EXPECT_EQ(0x102030u, screenPixel(label->hwnd(), 100, 45));
    EXPECT_GT(inkOf(label->hwnd(), 0xF0E000u), 50);
    EXPECT_EQ(0x006000u, screenPixel(button->hwnd(), 50, 2));
    EXPECT_EQ(0xFF8000u, screenPixel(button->hwnd(), 50, 0));  // the border
    EXPECT_GT(inkOf(button->hwnd(), 0xFF8000u), 150);           // border and text
    mouseMoveTo(button->hwnd(), 50, 25);
    EXPECT_EQ(0x0000A0u, screenPixel(button->hwnd(), 50, 2));
    EXPECT_GT(inkOf(button->hwnd(), 0xFF00FFu), 50);            // highlight text (the fake's default)
    mouseMoveTo(window.hwnd(), 5, 90);
    // The leave notification comes from a timer that polls the cursor.
    for (int i = 0; i < 40 && button->isHovered(); ++i)
        pumpMessages(50);

    contrast = false;
    SendMessageW(window.hwnd(), WM_SYSCOLORCHANGE, 0, 0);
    pumpMessages(100);
    EXPECT_EQ(0xFFFFFFu, screenPixel(label->hwnd(), 100, 45));
    EXPECT_EQ(0x444444u, screenPixel(button->hwnd(), 50, 2));
}

TEST_F(Painting, FontFallsBackWhenTheFamilyIsMissing)
{
    for (const wchar_t* family : {L"Verdana", L"Arial", L"No Such Family At All"}) {
        auto font = QEL::makeFont(family, 16.0f, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
        ASSERT_NE(nullptr, font);
        EXPECT_EQ(Gdiplus::Ok, font->GetLastStatus()) << family;
        EXPECT_FALSE(QEL::fontFamilyName(*font).empty());
        EXPECT_EQ(16.0f, font->GetSize());
    }
}

class ButtonBehaviour : public ToolkitTest {
protected:
    void SetUp() override
    {
        ToolkitTest::SetUp();
        window = std::make_unique<TestWindow>(40, 40, 300, 200);
        button = new QEL::Button(window.get());
        button->move(50, 50);
        button->resize(120, 40);
        button->setText(L"Go");
        button->onClick = [this] { ++clicks; };
        mouseMoveTo(window->hwnd(), 5, 5);
        pumpMessages(50);
    }
    void TearDown() override
    {
        mouseButton(false);
        window.reset();
        ToolkitTest::TearDown();
    }
    unsigned fillAt() { return screenPixel(button->hwnd(), 3, 3); }

    std::unique_ptr<TestWindow> window;
    QEL::Button* button = nullptr;
    int clicks = 0;
};

TEST_F(ButtonBehaviour, FillFollowsTheMouse)
{
    repaint(window->hwnd());
    EXPECT_EQ(0x444444u, fillAt());
    mouseMoveTo(button->hwnd(), 60, 20);
    EXPECT_TRUE(button->isHovered());
    EXPECT_EQ(0x888888u, fillAt());
    mouseButton(true);
    EXPECT_TRUE(button->isPressed());
    EXPECT_EQ(0xBBBBBBu, fillAt());
    SendMessageW(button->hwnd(), WM_MOUSELEAVE, 0, 0);  // pressed, no longer hovered
    pumpMessages(30);
    EXPECT_EQ(0xBBBBBBu, fillAt());
    mouseMoveTo(button->hwnd(), 61, 20);
    mouseButton(false);
    EXPECT_EQ(0x888888u, fillAt());
    mouseMoveTo(window->hwnd(), 5, 5);
    // The leave notification comes from a timer that polls the cursor.
    for (int i = 0; i < 40 && button->isHovered(); ++i)
        pumpMessages(50);
    EXPECT_FALSE(button->isHovered());
    EXPECT_EQ(0x444444u, fillAt());
}

TEST_F(ButtonBehaviour, PressAndReleaseInsideClicksOnce)
{
    mouseMoveTo(button->hwnd(), 60, 20);
    mouseButton(true);
    EXPECT_EQ(0, clicks);
    mouseButton(false);
    EXPECT_EQ(1, clicks);
    EXPECT_FALSE(button->isPressed());
    EXPECT_EQ(button->hwnd() == GetCapture(), false);
}

// No click without a press and a release both over the button: released
// outside, pressed elsewhere, pressed but the capture lost, or no move before.
TEST_F(ButtonBehaviour, NoClickUnlessPressedAndReleasedInside)
{
    const SIZE size = button->pixelSize();
    const POINT outside[] = {{size.cx, 20}, {60, size.cy}, {size.cx + 30, size.cy + 30}, {-1, 20}};
    for (const POINT& point : outside) {
        mouseMoveTo(button->hwnd(), 60, 20);
        mouseButton(true);
        mouseMoveTo(button->hwnd(), point.x, point.y);  // captured: still reaches the button
        mouseButton(false);
        EXPECT_EQ(0, clicks) << point.x << "," << point.y;
        EXPECT_FALSE(button->isPressed());
    }

    mouseMoveTo(window->hwnd(), 100, 100);  // pressed over the window, not the button
    mouseButton(true);
    mouseMoveTo(button->hwnd(), 60, 20);
    mouseButton(false);
    EXPECT_EQ(0, clicks);

    mouseButton(true);  // pressed over the button, but another window takes the mouse
    ASSERT_TRUE(button->isPressed());
    SetCapture(window->hwnd());
    pumpMessages(30);
    EXPECT_FALSE(button->isPressed());
    EXPECT_NE(0xBBBBBBu, fillAt());  // repainted without the pressed fill
    ReleaseCapture();
    mouseMoveTo(button->hwnd(), 61, 20);
    mouseButton(false);
    EXPECT_EQ(0, clicks);

    SendMessageW(button->hwnd(), WM_MOUSELEAVE, 0, 0);  // as if the leave came before the press
    SendMessageW(button->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(60, 20));
    SendMessageW(button->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(60, 20));
    EXPECT_EQ(0, clicks);
}

TEST_F(ButtonBehaviour, EveryMoveRepaints)
{
    mouseMoveTo(button->hwnd(), 60, 20);
    ValidateRect(button->hwnd(), nullptr);
    SendMessageW(button->hwnd(), WM_MOUSEMOVE, 0, MAKELPARAM(61, 20));
    RECT update;
    EXPECT_TRUE(GetUpdateRect(button->hwnd(), &update, FALSE));
    EXPECT_TRUE(button->isHovered());
}

TEST_F(ButtonBehaviour, ActionMayDestroyTheWindow)
{
    button->onClick = [this] {
        ++clicks;
        window->close();
    };
    mouseMoveTo(button->hwnd(), 60, 20);
    mouseButton(true);
    mouseButton(false);
    EXPECT_EQ(1, clicks);
    EXPECT_FALSE(IsWindow(window->hwnd()));
}

using BitmapResource = ToolkitTest;

TEST_F(BitmapResource, LoadsThePngResourceIntoABitmapOfItsOwn)
{
    auto logo = QEL::loadBitmapResource(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(102), L"PNG");
    ASSERT_NE(nullptr, logo);
    EXPECT_EQ(133u, logo->GetWidth());
    EXPECT_EQ(25u, logo->GetHeight());
    // Pixels are still there after the loader's stream and memory are gone.
    Gdiplus::Color corner;
    logo->GetPixel(0, 0, &corner);
    EXPECT_EQ(0, corner.GetA());
    Gdiplus::Color mark;
    logo->GetPixel(5, 20, &mark);
    EXPECT_EQ(0xFFF28C28u, mark.GetValue());
    // And it draws.
    Gdiplus::Bitmap canvas(133, 25, PixelFormat32bppARGB);
    Gdiplus::Graphics graphics(&canvas);
    EXPECT_EQ(Gdiplus::Ok, graphics.DrawImage(logo.get(), 0, 0, 133, 25));
    Gdiplus::Color drawn;
    canvas.GetPixel(5, 20, &drawn);
    EXPECT_EQ(0xFFF28C28u, drawn.GetValue());

    // Missing or null names give null.
    HINSTANCE self = GetModuleHandleW(nullptr);
    EXPECT_EQ(nullptr, QEL::loadBitmapResource(self, nullptr, L"PNG"));
    EXPECT_EQ(nullptr, QEL::loadBitmapResource(self, MAKEINTRESOURCEW(102), nullptr));
    EXPECT_EQ(nullptr, QEL::loadBitmapResource(self, MAKEINTRESOURCEW(103), L"PNG"));
    EXPECT_EQ(nullptr, QEL::loadBitmapResource(self, MAKEINTRESOURCEW(102), L"GIF"));
}

using Leaks = ToolkitTest;

TEST_F(Leaks, CreatingAndDestroyingWindowsLeaksNothing)
{
    auto cycle = [] {
        TestWindow window(10, 10, 300, 200, 1.0f, false);
        auto* label = new QEL::Label(&window);
        label->resize(100, 30);
        label->setBackground({0xFF336699, COLOR_WINDOW});
        label->setText(L"text");
        auto* button = new QEL::Button(&window);
        button->resize(100, 40);
        button->move(0, 50);
        button->setText(L"button");
        RedrawWindow(window.hwnd(), nullptr, nullptr,
                     RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
        EXPECT_NE(nullptr, label->backBuffer());
    };
    for (int i = 0; i < 5; ++i)
        cycle();
    const DWORD handlesBefore = countOpenHandles();
    const std::uint32_t windowsBefore = countProcessWindows(GetCurrentProcessId());
    const SIZE_T bytesBefore = privateBytes();
    for (int i = 0; i < 300; ++i)
        cycle();
    const DWORD handlesAfter = countOpenHandles();
    const SIZE_T bytesAfter = privateBytes();
    EXPECT_GT(handlesBefore, 0u);
    EXPECT_LE(handlesAfter, handlesBefore + 2);
    EXPECT_EQ(windowsBefore, countProcessWindows(GetCurrentProcessId()));
    // A leaked 300 x 200 back buffer alone is 240 KB a cycle; allow 4 MB in all.
    EXPECT_LT(bytesAfter, bytesBefore + 4 * 1024 * 1024);
    std::printf("handles %lu -> %lu, private bytes %lu -> %lu\n", handlesBefore, handlesAfter,
                static_cast<unsigned long>(bytesBefore), static_cast<unsigned long>(bytesAfter));
}

} // namespace
