#include "ToolkitTestSupport.h"

#include <stdexcept>

using namespace testing_support;

namespace {

using ApplicationObject = ToolkitTest;

TEST_F(ApplicationObject, SecondApplicationThrowsAndFirstStaysWorking)
{
    try {
        QEL::Application second(GetModuleHandleW(nullptr), 1);
        FAIL() << "no exception";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ("Application is already created!", error.what());
    }
    EXPECT_EQ(application.get(), QEL::Application::current());
    // GDI+ and the window classes still work after the failed second start.
    TestWindow window;
    ASSERT_NE(nullptr, window.hwnd());
    Gdiplus::Bitmap bitmap(4, 4, PixelFormat32bppARGB);
    EXPECT_EQ(Gdiplus::Ok, bitmap.GetLastStatus());
}

TEST_F(ApplicationObject, RunReturnsTheQuitCode)
{
    PostQuitMessage(7);
    EXPECT_EQ(7, application->run());
}

TEST_F(ApplicationObject, ClassesAreRegisteredWithTheirCursors)
{
    WNDCLASSEXW info = {};
    info.cbSize = sizeof info;
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), QEL::controlClassName, &info));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_ARROW), info.hCursor);
    EXPECT_EQ(static_cast<UINT>(CS_HREDRAW | CS_VREDRAW), info.style);
    ASSERT_TRUE(GetClassInfoExW(GetModuleHandleW(nullptr), QEL::buttonClassName, &info));
    EXPECT_EQ(LoadCursorW(nullptr, IDC_HAND), info.hCursor);
    EXPECT_EQ(&QEL::Widget::windowProc, info.lpfnWndProc);

    EXPECT_TRUE(QEL::registerWindowClass(L"QuorvelTestClass", LoadCursorW(nullptr, IDC_CROSS)));
    EXPECT_FALSE(QEL::registerWindowClass(L"QuorvelTestClass", nullptr));
    EXPECT_TRUE(QEL::unregisterWindowClass(L"QuorvelTestClass"));
    EXPECT_FALSE(QEL::unregisterWindowClass(L"QuorvelTestClass"));
}

TEST(ApplicationLifetime, CurrentIsClearedByItsDestructor)
{
    {
        QEL::Application app(GetModuleHandleW(nullptr), 0);
        EXPECT_EQ(&app, QEL::Application::current());
        EXPECT_FALSE(app.bufferedPaint());
    }
    EXPECT_EQ(nullptr, QEL::Application::current());
    QEL::Application again(GetModuleHandleW(nullptr), 1);
    EXPECT_TRUE(again.bufferedPaint());
}

// Only paint mode 1 paints through buffered painting; any other paints a top-level
// widget into a back buffer of its own.
TEST(WithoutBufferedPaint, TopLevelWidgetPaintsOffScreen)
{
    for (int mode : {0, 2, -1}) {
        QEL::Application application(GetModuleHandleW(nullptr), mode);
        EXPECT_FALSE(application.bufferedPaint()) << mode;
        TestWindow window;
        RedrawWindow(window.hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        EXPECT_GT(window.paints, 0) << mode;
        EXPECT_NE(nullptr, window.backBuffer()) << mode;
    }
}

} // namespace
