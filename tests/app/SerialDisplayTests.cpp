#include "UiDriver.h"
#include "app/MainWindow.h"
#include "app/SerialDisplay.h"
#include "toolkit/Announcer.h"
#include "toolkit/Application.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <tuple>

namespace {

using app::formatSerial;

TEST(FormatSerial, GroupsTheFirst24CharactersInBlocksOfSix)
{
    EXPECT_EQ(L"", formatSerial(L""));
    EXPECT_EQ(L"ABCDE", formatSerial(L"ABCDE"));
    EXPECT_EQ(L"ABCDEF", formatSerial(L"ABCDEF"));
    EXPECT_EQ(L"ABCDEF-G", formatSerial(L"ABCDEFG"));
    EXPECT_EQ(L"ABCDEF-GHIJKL", formatSerial(L"ABCDEFGHIJKL"));
    EXPECT_EQ(L"ABCDEF-GHIJKL-M", formatSerial(L"ABCDEFGHIJKLM"));
    EXPECT_EQ(L"ABCDEF-GHIJKL-MNOPQR", formatSerial(L"ABCDEFGHIJKLMNOPQR"));
    EXPECT_EQ(L"ABCDEF-GHIJKL-MNOPQR-S", formatSerial(L"ABCDEFGHIJKLMNOPQRS"));
    EXPECT_EQ(L"ABCDEF-GHIJKL-MNOPQR-STUVWX", formatSerial(L"ABCDEFGHIJKLMNOPQRSTUVWX"));
    EXPECT_EQ(L"ABCDEF-GHIJKL-MNOPQR-STUVWXYZ0123",
              formatSerial(L"ABCDEFGHIJKLMNOPQRSTUVWXYZ0123"));
}

std::vector<std::unique_ptr<app::UnitRecord>> unitsWithSerials(std::initializer_list<const wchar_t*> serials)
{
    std::vector<std::unique_ptr<app::UnitRecord>> units;
    for (const wchar_t* serial : serials) {
        units.push_back(std::make_unique<app::UnitRecord>());
        units.back()->serialNumber = serial;
    }
    return units;
}

TEST(DisplayText, FirstUnitOrNotFound)
{
    EXPECT_EQ(L"(no motion unit has been found)", app::displayTextFor(unitsWithSerials({})));
    EXPECT_EQ(L"(no motion unit has been found)", app::displayTextFor(unitsWithSerials({L""})));
    EXPECT_EQ(L"(no motion unit has been found)",
              app::displayTextFor(unitsWithSerials({L"", L"SECOND"})));
    EXPECT_EQ(L"FIRST1-2", app::displayTextFor(unitsWithSerials({L"FIRST12", L"SECOND"})));
}

class Clipboard : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    }
    void TearDown() override { DestroyWindow(owner); }

    // The whole block, terminator and all, so that anything after the text shows.
    std::wstring read() { return uidriver::clipboardBlock().value_or(L"<none>"); }
    // Wine's own clipboard manager holds the clipboard for moments after a change.
    bool open()
    {
        for (int attempt = 0; attempt < 50 && !OpenClipboard(owner); ++attempt)
            Sleep(20);
        return GetOpenClipboardWindow() == owner;
    }

    HWND owner = nullptr;
};

// The text up to its first NUL, with one terminator: exactly that block.
TEST_F(Clipboard, CopiesTheTextWithItsTerminatorUpToTheFirstNul)
{
    // Another program's text, and a format of its own, do not survive beside the copy.
    const UINT otherFormat = RegisterClipboardFormatW(L"QuorvelTest_OtherProgram");
    ASSERT_TRUE(open());
    EmptyClipboard();
    for (UINT format : {UINT{CF_TEXT}, otherFormat})
        SetClipboardData(format, GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, 8));  // ""
    CloseClipboard();
    app::copyToClipboard(L"(checking...)", owner);
    EXPECT_EQ(std::wstring(L"(checking...)", 14), read());
    EXPECT_FALSE(IsClipboardFormatAvailable(otherFormat));
    ASSERT_TRUE(open());
    HANDLE ansi = GetClipboardData(CF_TEXT);  // made from the copied text, not the old one
    EXPECT_STREQ("(checking...)", ansi ? static_cast<const char*>(GlobalLock(ansi)) : "<none>");
    GlobalUnlock(ansi);
    CloseClipboard();
    app::copyToClipboard(std::wstring(L"ABC\0DEF", 7), owner);
    EXPECT_EQ(std::wstring(L"ABC", 4), read());
}

// Runs copy while another thread holds the clipboard open for holdMs. The holder
// tries until it has it (see open()), and copy runs only once it really is held.
template <typename Copy>
void copyWhileHeld(DWORD holdMs, Copy copy)
{
    HANDLE opened = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::atomic<bool> held{false};
    std::thread holder([&] {
        for (int attempt = 0; !(held = OpenClipboard(nullptr) != FALSE) && attempt < 500; ++attempt)
            Sleep(10);
        SetEvent(opened);
        Sleep(holdMs);
        CloseClipboard();
    });
    WaitForSingleObject(opened, 10000);
    EXPECT_TRUE(held) << "the clipboard was never held";
    copy();
    holder.join();
    CloseHandle(opened);
}

// Another thread holds the clipboard open around the copy: briefly, as clipboard
// managers do, and for longer than the copy keeps trying.
TEST_F(Clipboard, HeldByAnotherProgram)
{
    const struct {
        DWORD holdMs;
        const wchar_t* expected;
        app::CopyResult result;
    } cases[] = {{100, L"after", app::CopyResult::Copied}, {1000, L"before", app::CopyResult::ClipboardBusy}};
    for (const auto& c : cases) {
        app::copyToClipboard(L"before", owner);
        app::CopyResult result = app::CopyResult::Failed;
        copyWhileHeld(c.holdMs, [&] { result = app::copyToClipboard(L"after", owner); });
        EXPECT_EQ(std::wstring(c.expected, wcslen(c.expected) + 1), read()) << c.holdMs;
        EXPECT_EQ(c.result, result) << c.holdMs;
    }
}

// Copy tells a screen reader, through the announcer, once per copy, whether it worked.
TEST_F(Clipboard, CopyIsAnnouncedAsCompletedOrAborted)
{
    using Said = std::tuple<HWND, QEL::Announcement, std::wstring>;
    struct Recorder : QEL::Announcer {
        explicit Recorder(std::vector<Said>& said) : said(said) {}
        void announce(HWND source, QEL::Announcement kind, const std::wstring& text) override
        {
            said.emplace_back(source, kind, text);
        }
        std::vector<Said>& said;
    };
    struct Restore {
        ~Restore() { QEL::setAnnouncer(nullptr); }
    } restore;
    std::vector<Said> said;
    QEL::setAnnouncer(std::make_unique<Recorder>(said));
    QEL::Application application(GetModuleHandleW(nullptr), 1);
    app::MainWindow window;
    window.copySerial();
    copyWhileHeld(1000, [&] { window.copySerial(); });
    const std::vector<Said> expected = {
        {window.hwnd(), QEL::Announcement::ActionCompleted, L"Serial number copied"},
        {window.hwnd(), QEL::Announcement::ActionAborted, app::clipboardBusyAnnouncement}};
    EXPECT_EQ(expected, said);
}

// The main window scans on its timer, identifier 0, and on a timer message of
// any other identifier too; a scan here finds no unit.
TEST_F(Clipboard, MainWindowScansOnEveryTimerMessage)
{
    QEL::Application application(GetModuleHandleW(nullptr), 1);
    app::MainWindow window;
    window.copySerial();
    EXPECT_EQ(std::wstring(L"(checking...)", 14), read());
    EXPECT_TRUE(KillTimer(window.hwnd(), 0));
    SendMessageW(window.hwnd(), WM_TIMER, 7, 0);
    window.copySerial();
    EXPECT_EQ(std::wstring(L"(no motion unit has been found)", 32), read());
}

// The taskbar and Alt+Tab take the window's icons: both sizes from the icon resource.
// (Under Wine another process cannot ask for them: WM_GETICON fails across processes.)
TEST_F(Clipboard, MainWindowCarriesTheApplicationIcon)
{
    QEL::Application application(GetModuleHandleW(nullptr), 1);
    app::MainWindow window;
    const struct {
        WPARAM kind;
        int size;
    } icons[] = {{ICON_BIG, GetSystemMetrics(SM_CXICON)}, {ICON_SMALL, GetSystemMetrics(SM_CXSMICON)}};
    for (const auto& icon : icons) {
        const auto handle = reinterpret_cast<HICON>(SendMessageW(window.hwnd(), WM_GETICON, icon.kind, 0));
        ICONINFO info = {};
        ASSERT_TRUE(handle && GetIconInfo(handle, &info)) << icon.kind;
        BITMAP colour = {};
        GetObjectW(info.hbmColor, sizeof colour, &colour);
        EXPECT_EQ(icon.size, colour.bmWidth) << icon.kind;
        DeleteObject(info.hbmColor);
        DeleteObject(info.hbmMask);
    }
}

} // namespace
