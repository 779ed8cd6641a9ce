#include "Accessibility.h"
#include "ToolkitTestSupport.h"
#include "support/Files.h"
#include "support/LogCapture.h"
#include "toolkit/AnnouncementProvider.h"
#include "toolkit/Announcer.h"
#include "toolkit/Label.h"

#include <algorithm>
#include <tuple>

#include <cmath>

using namespace testing_support;

namespace {

using WidgetDispatch = ToolkitTest;

// A handler gets the message and its parameters; the first handler for a message stays.
TEST_F(WidgetDispatch, HandlerGetsTheMessageAndItsParameters)
{
    TestWindow window;
    window.addHandler(WM_USER + 1, [](UINT, WPARAM, LPARAM) -> LRESULT { return 11; });
    window.addHandler(WM_USER + 1, [](UINT, WPARAM, LPARAM) -> LRESULT { return 22; });
    EXPECT_EQ(11, SendMessageW(window.hwnd(), WM_USER + 1, 0, 0));
    UINT seen = 0;
    WPARAM seenW = 0;
    LPARAM seenL = 0;
    window.addHandler(WM_USER + 2, [&](UINT m, WPARAM w, LPARAM l) -> LRESULT {
        seen = m;
        seenW = w;
        seenL = l;
        return 0;
    });
    SendMessageW(window.hwnd(), WM_USER + 2, 0x1234, 0x5678);
    EXPECT_EQ(static_cast<UINT>(WM_USER + 2), seen);
    EXPECT_EQ(0x1234u, seenW);
    EXPECT_EQ(0x5678, seenL);
}

TEST_F(WidgetDispatch, UnhandledMessageReachesDefWindowProcUnchanged)
{
    TestWindow window(30, 30, 100, 80);
    RECT rect;
    GetWindowRect(window.hwnd(), &rect);
    const LPARAM inside = MAKELPARAM(rect.left + 5, rect.top + 5);
    const LPARAM outside = MAKELPARAM(rect.right + 50, rect.bottom + 50);
    EXPECT_EQ(DefWindowProcW(window.hwnd(), WM_NCHITTEST, 0, inside),
              SendMessageW(window.hwnd(), WM_NCHITTEST, 0, inside));
    EXPECT_EQ(DefWindowProcW(window.hwnd(), WM_NCHITTEST, 0, outside),
              SendMessageW(window.hwnd(), WM_NCHITTEST, 0, outside));
    SendMessageW(window.hwnd(), WM_SETTEXT, 0, reinterpret_cast<LPARAM>(L"kept by the system"));
    EXPECT_EQ(L"kept by the system", window.text());
}

TEST_F(WidgetDispatch, DestroyReachesItsHandlerAndLaterMessagesDoNot)
{
    TestWindow window;
    int destroys = 0;
    int afterDestroy = 0;
    window.addHandler(WM_DESTROY, [&](UINT, WPARAM, LPARAM) -> LRESULT { return ++destroys, 0; });
    window.addHandler(WM_NCDESTROY, [&](UINT, WPARAM, LPARAM) -> LRESULT { return ++afterDestroy, 0; });
    window.close();
    EXPECT_EQ(1, destroys);
    EXPECT_EQ(0, afterDestroy);
    EXPECT_FALSE(IsWindow(window.hwnd()));
}

TEST_F(WidgetDispatch, CreateOnAWidgetWithAWindowReturnsFalse)
{
    TestWindow window;
    const HWND first = window.hwnd();
    EXPECT_FALSE(window.create(QEL::controlClassName, L"again", WS_POPUP, 0, 0, 0, 10, 10, nullptr,
                               nullptr));
    EXPECT_EQ(first, window.hwnd());
}

TEST_F(WidgetDispatch, FailedCreationIsLoggedWithTheSystemError)
{
    LogCapture log("QuorvelTest_Toolkit");
    // The system's code for a missing class: Windows 1407 (ERROR_CANNOT_FIND_WND_CLASS), Wine 8 1411.
    const bool wine = GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version") != nullptr;
    const std::string expected = std::string("E: Build failed ") + (wine ? "1411" : "1407") + "\r\n";
    {
        class Unregistered : public QEL::Widget {
        public:
            Unregistered() : Widget(nullptr) {}
            void paint(Gdiplus::Graphics&) override {}
        } widget;
        EXPECT_FALSE(widget.create(L"QuorvelNoSuchClass", L"", WS_POPUP, 0, 0, 0, 10, 10, nullptr,
                                   nullptr));
        EXPECT_EQ(nullptr, widget.hwnd());
    }
    EXPECT_EQ(expected, log.entries());
}

// A screen reader may keep a label's accessible object after the label is gone:
// every call then fails instead of reaching the freed label, and the reader's
// last Release frees it.
TEST_F(WidgetDispatch, AccessibleObjectOutlivesItsLabel)
{
    TestWindow window;
    auto* label = new QEL::Label(&window);
    label->setText(L"kept");
    const auto clientId = static_cast<LPARAM>(static_cast<DWORD>(OBJID_CLIENT));
    const LRESULT answer = SendMessageW(label->hwnd(), WM_GETOBJECT, 0, clientId);
    IAccessible* raw = nullptr;
    ASSERT_EQ(S_OK, ObjectFromLresult(answer, IID_IAccessible, 0, reinterpret_cast<void**>(&raw)));
    common::ComReference<IAccessible> object(raw);
    const VARIANT self = uidriver::self();
    BSTR name = nullptr;
    ASSERT_EQ(S_OK, object.get()->get_accName(self, &name));
    EXPECT_STREQ(L"kept", name);
    SysFreeString(name);

    delete label;
    name = reinterpret_cast<BSTR>(0xdeadbeef);
    EXPECT_EQ(RPC_E_DISCONNECTED, object.get()->get_accName(self, &name));
    VARIANT role = {};
    EXPECT_EQ(RPC_E_DISCONNECTED, object.get()->get_accRole(self, &role));
    long left = 0, top = 0, width = 0, height = 0;
    EXPECT_EQ(RPC_E_DISCONNECTED, object.get()->accLocation(&left, &top, &width, &height, self));
    EXPECT_EQ(0u, object.release()->Release());
}

// An announcement is raised on the toolkit's own provider, made at the first
// announcement on a window of its own, with the same kind and text; the live
// region beside it takes the text as its name.
TEST_F(WidgetDispatch, AnnouncementsAreRaisedOnTheToolkitsOwnProvider)
{
    static std::vector<std::tuple<std::wstring, int, std::wstring>> raised;  // provider's name, kind, text
    raised.clear();
    QEL::UiAutomationCalls calls = QEL::systemUiAutomation();
    calls.raiseNotificationEvent = [](IRawElementProviderSimple* provider, int kind, int, BSTR text, BSTR) {
        ProviderOptions options = {};
        VARIANT name = {};
        provider->get_ProviderOptions(&options);
        provider->GetPropertyValue(30005, &name);
        EXPECT_EQ(ProviderOptions_ServerSideProvider | ProviderOptions_UseComThreading, options);
        raised.emplace_back(name.vt == VT_BSTR ? name.bstrVal : L"<none>", kind, text);
        VariantClear(&name);
        return S_OK;
    };
    struct Restore {
        ~Restore() { QEL::setAnnouncer(nullptr); }
    } restore;
    QEL::setAnnouncer(QEL::makeScreenReaderAnnouncer(calls));
    TestWindow window;
    auto* label = new QEL::Label(&window);
    ASSERT_EQ(nullptr, GetWindow(label->hwnd(), GW_HWNDNEXT));  // nothing made before
    QEL::announcer().announce(label->hwnd(), QEL::Announcement::ActionCompleted, L"done");
    QEL::announcer().announce(window.hwnd(), QEL::Announcement::ActionAborted, L"not done");
    const decltype(raised) expected = {{L"done", 2, L"done"}, {L"not done", 3, L"not done"}};
    EXPECT_EQ(expected, raised);
    std::vector<std::wstring> names;
    for (HWND child = GetWindow(window.hwnd(), GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        names.push_back(uidriver::accessibleChild(child).name);
    EXPECT_EQ(3u, names.size());  // the label, the provider's window and the live region
    EXPECT_EQ(1, std::count(names.begin(), names.end(), L"not done"));
}

TEST_F(WidgetDispatch, ChildWindowWithDefaultCoordinatesStartsEmptyAtTheOrigin)
{
    TestWindow window(20, 20, 200, 150, 2.0f);
    auto* label = new QEL::Label(&window);
    EXPECT_EQ(2.0f, label->scale);  // copied from the parent
    EXPECT_EQ(0, positionInParent(*label).x);
    EXPECT_EQ(0, positionInParent(*label).y);
    EXPECT_EQ(0, label->pixelSize().cx);
    EXPECT_EQ(0, label->pixelSize().cy);
}

// Both conversions at every scale a user can pick, against the rule stated on
// its own: the exact product (or quotient) of the value and the scale (the
// single-precision float nearest to the factor / 100), rounded to the nearest
// single-precision float, then truncated toward zero. In double the product of
// two such numbers is exact, and rounding a double quotient to float gives the
// correctly rounded float quotient, so the statement needs no float arithmetic.
TEST(ComponentScaleConversions, TruncateInSinglePrecisionAtEveryScale)
{
    for (int factor : {100, 120, 125, 150, 160, 175, 200}) {
        const double scale = static_cast<float>(factor / 100.0);
        QEL::ComponentScale s;
        s.scale = QEL::scaleForFactor(factor);
        ASSERT_EQ(scale, s.scale) << factor;
        int differences = 0;
        for (int value = -50; value <= 2000; ++value) {
            const int pixels = static_cast<int>(std::trunc(static_cast<float>(value * scale)));
            const int logical = static_cast<int>(std::trunc(static_cast<float>(value / scale)));
            if (s.toPixels(value) != pixels || s.toLogical(value) != logical) {
                ADD_FAILURE() << factor << "%: " << value << " -> " << s.toPixels(value) << " px (expected " << pixels
                              << "), " << s.toLogical(value) << " logical (expected " << logical << ")";
                if (++differences == 5)
                    return;  // enough to see the pattern
            }
        }
        EXPECT_EQ(static_cast<int>(CW_USEDEFAULT), s.toPixels(CW_USEDEFAULT)) << factor;
    }
    // The documented examples: at 1.25, 650 -> 812 and back to 649; at 1.2, 650 -> 780.
    QEL::ComponentScale s125;
    s125.scale = 1.25f;
    EXPECT_EQ(812, s125.toPixels(650));
    EXPECT_EQ(649, s125.toLogical(812));
}

TEST(ComponentScaleConversions, ScaleFactorTable)
{
    const struct {
        int factor;
        float scale;
    } rows[] = {{100, 1.0f}, {120, 1.2f}, {125, 1.25f}, {140, 1.4f}, {150, 1.5f}, {160, 1.6f},
                {175, 1.75f}, {180, 1.8f}, {200, 2.0f}, {225, 2.25f}, {250, 2.5f}, {300, 3.0f},
                {350, 3.5f}, {400, 4.0f}, {450, 4.5f}, {500, 5.0f}, {0, 1.0f}, {110, 1.0f},
                {-1, 1.0f}, {600, 1.0f}};
    for (const auto& row : rows)
        EXPECT_EQ(row.scale, QEL::scaleForFactor(row.factor)) << row.factor;
}

TEST(DpiAwareness, RunsAndLeavesAUsableScale)
{
    QEL::enableDpiAwareness();
    QEL::enableDpiAwareness();
    // Wine 8's GetScaleFactorForMonitor answers 100 at any DPI: the table's 1.0.
    EXPECT_EQ(1.0f, QEL::screenScaleFactor());
}

using WidgetGeometry = ToolkitTest;

TEST_F(WidgetGeometry, MoveAndResizeConvertWithTheScale)
{
    TestWindow window(0, 0, 300, 200);
    auto* label = new QEL::Label(&window);
    label->scale = 1.25f;
    label->move(10, 70);
    label->resize(50, 50);
    EXPECT_EQ(12, positionInParent(*label).x);
    EXPECT_EQ(87, positionInParent(*label).y);
    EXPECT_EQ(62, label->pixelSize().cx);
    EXPECT_EQ(49, label->logicalSize().cx);  // 62 / 1.25 = 49.6
}

TEST_F(WidgetGeometry, CenterRowAndLayoutRow)
{
    TestWindow window(0, 0, 650, 232);
    auto* left = new QEL::Label(&window);
    auto* right = new QEL::Label(&window);
    left->resize(200, 50);
    right->resize(200, 50);
    window.centerRow(180, 10, {left, right});
    auto positionOf = [](QEL::Widget* widget) { return positionInParent(*widget); };
    EXPECT_EQ(120, positionOf(left).x);
    EXPECT_EQ(330, positionOf(right).x);
    EXPECT_EQ(180, positionOf(right).y);

    QEL::Widget::layoutRow(10, 135, 10, {left, right});
    EXPECT_EQ(10, positionOf(left).x);
    EXPECT_EQ(220, positionOf(right).x);
    EXPECT_EQ(135, positionOf(left).y);

    window.centerRow(5, 10, {});  // an empty row moves nothing
    EXPECT_EQ(10, positionOf(left).x);
}

TEST_F(WidgetGeometry, RemoveFrameAndCenterOnScreen)
{
    TestWindow window(0, 0, 200, 100);
    SetWindowLongW(window.hwnd(), GWL_STYLE,
                   GetWindowLongW(window.hwnd(), GWL_STYLE) | WS_CAPTION | WS_THICKFRAME | WS_SYSMENU);
    SetWindowLongW(window.hwnd(), GWL_EXSTYLE,
                   GetWindowLongW(window.hwnd(), GWL_EXSTYLE) | WS_EX_CLIENTEDGE);
    SetWindowPos(window.hwnd(), nullptr, 0, 0, 0, 0,
                 SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
    RECT client;
    GetClientRect(window.hwnd(), &client);
    ASSERT_LT(client.bottom, 100);  // the frame takes its share
    window.removeFrame();
    const LONG style = GetWindowLongW(window.hwnd(), GWL_STYLE);
    EXPECT_EQ(0, style & (WS_CAPTION | WS_THICKFRAME | WS_SYSMENU));
    EXPECT_EQ(0, GetWindowLongW(window.hwnd(), GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
    // The whole window is client area again.
    GetClientRect(window.hwnd(), &client);
    EXPECT_EQ(200, client.right);
    EXPECT_EQ(100, client.bottom);
    window.centerOnScreen();
    RECT rect;
    GetWindowRect(window.hwnd(), &rect);
    EXPECT_EQ((GetSystemMetrics(SM_CXSCREEN) - 200) / 2, rect.left);
    EXPECT_EQ((GetSystemMetrics(SM_CYSCREEN) - 100) / 2, rect.top);
    // On the whole screen, not the work area left by a taskbar (Xvfb has none).
    const MONITORINFO monitor = {sizeof monitor, {0, 0, 1280, 1024}, {60, 0, 1280, 984}, MONITORINFOF_PRIMARY};
    const POINT origin = QEL::Widget::centredOn(monitor, {200, 100});
    EXPECT_EQ(540, origin.x);
    EXPECT_EQ(462, origin.y);
}

TEST_F(WidgetGeometry, ClientRectAsFloats)
{
    TestWindow window(0, 0, 123, 45);
    const Gdiplus::RectF rect = window.clientRectF();
    EXPECT_EQ(0.0f, rect.X);
    EXPECT_EQ(0.0f, rect.Y);
    EXPECT_EQ(123.0f, rect.Width);
    EXPECT_EQ(45.0f, rect.Height);
}

} // namespace
