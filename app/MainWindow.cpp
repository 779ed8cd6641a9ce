#include "app/MainWindow.h"

#include "app/SerialDisplay.h"
#include "toolkit/Announcer.h"
#include "toolkit/Application.h"
#include "toolkit/BitmapResource.h"
#include "toolkit/Button.h"
#include "toolkit/ComponentScale.h"
#include "toolkit/Fonts.h"

#include <oleacc.h>

namespace app {

namespace {

constexpr DWORD mainWindowStyle = WS_POPUP | WS_OVERLAPPEDWINDOW;
// Posted when the window is shown: the focus goes in once it is on screen.
constexpr UINT focusOnShowMessage = WM_APP + 1;

} // namespace

MainWindow::MainWindow(float screenScale)
    : Widget(nullptr),
      backgroundBrush(std::make_unique<Gdiplus::SolidBrush>(QEL::resolve(QEL::palette::windowBackground))),
      bandBrush(std::make_unique<Gdiplus::SolidBrush>(QEL::resolve(QEL::palette::band))),
      panelBrush(std::make_unique<Gdiplus::SolidBrush>(QEL::resolve(QEL::palette::panel))),
      framePen(std::make_unique<Gdiplus::Pen>(QEL::resolve(QEL::palette::windowFrame), 4.0f))
{
    // The scale must be known before the window is created: creation converts the size.
    scale = screenScale;
    QEL::registerWindowClass(mainWindowClassName, LoadCursorW(nullptr, IDC_ARROW));

    // WM_CREATE arrives during creation, so the handlers come first.
    addHandler(WM_CREATE, &MainWindow::onCreate);
    addHandler(WM_DESTROY, &MainWindow::onDestroy);
    addHandler(WM_TIMER, &MainWindow::onTimer);
    addHandler(WM_COMMAND, &MainWindow::onCommand);
    addHandler(WM_NCHITTEST, &MainWindow::onHitTest);
    addHandler(WM_NCLBUTTONDBLCLK, &MainWindow::onCaptionDoubleClick);
    addHandler(WM_ACTIVATE, &MainWindow::onActivate);
    addHandler(WM_SETFOCUS, &MainWindow::onSetFocus);
    addHandler(WM_SHOWWINDOW, &MainWindow::onShowWindow);
    addHandler(focusOnShowMessage, &MainWindow::onFocusOnShow);

    create(mainWindowClassName, mainWindowTitle, mainWindowStyle, 0, CW_USEDEFAULT, CW_USEDEFAULT,
           mainWindowWidth, mainWindowHeight, nullptr, nullptr);

    QEL::Application* application = QEL::Application::current();
    logo = QEL::loadBitmapResource(application ? application->instance() : nullptr,
                                   MAKEINTRESOURCEW(logoResourceId), L"PNG");
    SetTimer(hwnd(), scanTimerId, scanPeriodMs, nullptr);
    setIcons();
    ACCEL keys[] = {{FVIRTKEY | FCONTROL, 'C', copyCommandId},
                    {FVIRTKEY | FALT, VK_SPACE, windowMenuCommandId}};
    accelerators_.reset(CreateAcceleratorTableW(keys, 2));
}

// The taskbar, Alt+Tab and the window's system menu show these.
void MainWindow::setIcons()
{
    QEL::Application* application = QEL::Application::current();
    HINSTANCE instance = application ? application->instance() : nullptr;
    const auto load = [instance](int metricX, int metricY) {
        return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(iconResourceId), IMAGE_ICON,
                                             GetSystemMetrics(metricX), GetSystemMetrics(metricY), 0));
    };
    bigIcon.reset(load(SM_CXICON, SM_CYICON));
    smallIcon.reset(load(SM_CXSMICON, SM_CYSMICON));
    SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon.get()));
    SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.get()));
}

MainWindow::~MainWindow()
{
    QEL::unregisterWindowClass(mainWindowClassName);
    framePen.reset();
    panelBrush.reset();
    bandBrush.reset();
    backgroundBrush.reset();
    logo.reset();
}

LRESULT MainWindow::onCreate(UINT message, WPARAM wParam, LPARAM lParam)
{
    removeFrame();
    centerOnScreen();

    const auto titleFont = QEL::makeFont(L"Verdana", 30 * scale, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    const auto textFont = QEL::makeFont(L"Verdana", 16 * scale, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    const auto smallFont = QEL::makeFont(L"Verdana", 14 * scale, Gdiplus::FontStyleRegular, Gdiplus::UnitPixel);
    const int spacing = static_cast<int>(10 * scale);

    auto* title = new QEL::Label(this);
    title->setFont(*titleFont);
    title->setColor(QEL::palette::textOnDark);
    title->setText(titleText);
    title->move(8, 10);
    title->resize(640, 50);

    auto* explanation = new QEL::Label(this);
    explanation->setFont(*smallFont);
    explanation->setColor(QEL::palette::textOnDark);
    explanation->setText(explanationText);
    explanation->move(10, 70);
    explanation->resize(640, 50);

    auto* caption = new QEL::Label(this);
    caption->setFont(*textFont);
    caption->setColor(QEL::palette::textOnLight);
    caption->setText(captionText);
    caption->resize(45, 40);

    serialLabel = new QEL::TextField(this);
    serialLabel->setCaption(*caption);
    serialLabel->setFont(*textFont);
    serialLabel->setColor(QEL::palette::textOnLight);
    serialLabel->setText(checkingText);
    serialLabel->resize(490, 40);
    serialLabel->setBackground(QEL::palette::panel);

    auto* copyButton = new QEL::Button(this);
    copyButton->setText(copyButtonText);
    copyButton->onClick = [this, copyButton] { copySerial(copyButton->hwnd()); };
    copyButton->setKeyboardShortcut(L"Ctrl+C");
    auto* closeButton = new QEL::Button(this);
    closeButton->setText(closeButtonText);
    closeButton->setKeyboardShortcut(L"Esc");
    closeButton->onClick = [this] { close(); };
    for (QEL::Button* button : {copyButton, closeButton}) {
        button->resize(200, 50);
        button->setFont(*textFont);
        button->setColor(QEL::palette::buttonText);
    }

    layoutRow(10, 135, spacing, {caption, serialLabel});
    centerRow(180, spacing, {copyButton, closeButton});
    return callDefault(message, wParam, lParam);
}

LRESULT MainWindow::onDestroy(UINT, WPARAM, LPARAM)
{
    PostQuitMessage(0);
    return 0;
}

LRESULT MainWindow::onTimer(UINT, WPARAM, LPARAM)
{
    // Every timer message starts a tick, whatever its identifier.
    const auto units = findMotionUnits();
    serialLabel->setText(displayTextFor(units));
    serialLabel->invalidate(false, nullptr);
    return 0;
}

// From the keyboard: Ctrl+C through the accelerators, Esc from the dialog manager.
LRESULT MainWindow::onCommand(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (LOWORD(wParam)) {
    case copyCommandId: {
        // Told through the control the screen reader is on, else the frame.
        HWND focused = GetFocus();
        copySerial(focused && IsChild(hwnd(), focused) ? focused : nullptr);
        return 0;
    }
    case windowMenuCommandId:
        showWindowMenu();
        return 0;
    case IDCANCEL:
        close();
        return 0;
    default:
        return callDefault(message, wParam, lParam);
    }
}

// The window has no title bar: its own background serves as one, so dragging it
// moves the window. The children answer for themselves, so the buttons still click.
LRESULT MainWindow::onHitTest(UINT message, WPARAM wParam, LPARAM lParam)
{
    const LRESULT hit = callDefault(message, wParam, lParam);
    return hit == HTCLIENT ? HTCAPTION : hit;
}

// A double click on a title bar would maximise the window; its size is fixed.
LRESULT MainWindow::onCaptionDoubleClick(UINT message, WPARAM wParam, LPARAM lParam)
{
    return wParam == HTCAPTION ? 0 : callDefault(message, wParam, lParam);
}

// The focus comes back to the control that had it when the window was left;
// the first time, to the serial field. Returning 0 keeps the default procedure
// from giving it to the frame. (The window is first activated while it is
// still being built, hidden; the focus then waits for it to be shown.)
LRESULT MainWindow::onActivate(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (LOWORD(wParam) == WA_INACTIVE) {
        HWND focused = GetFocus();
        if (focused && IsChild(hwnd(), focused))
            lastFocus = focused;
        return callDefault(message, wParam, lParam);
    }
    if (!serialLabel || HIWORD(wParam))  // being built, or minimised: the focus waits
        return callDefault(message, wParam, lParam);
    restoreFocus();
    return 0;
}

LRESULT MainWindow::onSetFocus(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!serialLabel)
        return callDefault(message, wParam, lParam);
    restoreFocus();
    return 0;
}

void MainWindow::restoreFocus()
{
    if (!lastFocus || !IsWindow(lastFocus))
        lastFocus = serialLabel->hwnd();
    SetFocus(lastFocus);
}

// On show: focus cues as Windows decides from the last input (hidden for a
// window opened by the mouse, until a navigation key), and the focus to the
// serial field once the window is on screen.
LRESULT MainWindow::onShowWindow(UINT message, WPARAM wParam, LPARAM lParam)
{
    if (wParam) {
        // Hidden until a navigation key, unless the system knows better: Windows
        // shows them at once when the last input came from the keyboard (Wine
        // does nothing with UIS_INITIALIZE).
        PostMessageW(hwnd(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_SET, UISF_HIDEFOCUS), 0);
        PostMessageW(hwnd(), WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
        PostMessageW(hwnd(), focusOnShowMessage, 0, 0);
    }
    return callDefault(message, wParam, lParam);
}

LRESULT MainWindow::onFocusOnShow(UINT, WPARAM, LPARAM)
{
    if (GetActiveWindow() == hwnd())
        restoreFocus();
    return 0;
}

// The window has no system menu of its own (no caption): Alt+Space shows one
// with Move and Close at its top-left corner, so the keyboard can move it.
void MainWindow::showWindowMenu()
{
    common::MenuHandle menu(CreatePopupMenu());
    if (!menu)
        return;
    AppendMenuW(menu.get(), MF_STRING, SC_MOVE, L"&Move");
    AppendMenuW(menu.get(), MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu.get(), MF_STRING, SC_CLOSE, L"&Close");
    RECT window;
    GetWindowRect(hwnd(), &window);
    const UINT chosen = static_cast<UINT>(TrackPopupMenuEx(menu.get(), TPM_RETURNCMD | TPM_LEFTALIGN | TPM_TOPALIGN,
                                                           window.left, window.top, hwnd(), nullptr));
    if (chosen == SC_MOVE)
        SendMessageW(hwnd(), WM_SYSCOMMAND, SC_MOVE, 0);  // the system's keyboard move: arrows, then Enter
    else if (chosen == SC_CLOSE)
        close();
}

QEL::AccessibleDescription MainWindow::describe() const
{
    QEL::AccessibleDescription description = Widget::describe();
    description.role = ROLE_SYSTEM_DIALOG;
    description.description = explanationText;
    return description;
}

void MainWindow::copySerial(HWND source)
{
    const CopyResult result = copyToClipboard(serialLabel->text(), hwnd());
    const wchar_t* said = result == CopyResult::Copied          ? copiedAnnouncement
                        : result == CopyResult::ClipboardBusy ? clipboardBusyAnnouncement
                                                              : copyFailedAnnouncement;
    QEL::announcer().announce(source ? source : hwnd(),
                              result == CopyResult::Copied ? QEL::Announcement::ActionCompleted
                                                           : QEL::Announcement::ActionAborted,
                              said);
}

void MainWindow::paint(Gdiplus::Graphics& graphics)
{
    const Gdiplus::RectF client = clientRectF();
    const auto wholeWidth = static_cast<Gdiplus::REAL>(static_cast<int>(client.Width));
    const Gdiplus::REAL s = scale;
    QEL::fill(graphics, *backgroundBrush, QEL::palette::windowBackground, client);
    framePen->SetColor(QEL::resolve(QEL::palette::windowFrame));
    graphics.DrawRectangle(framePen.get(), client);
    QEL::fill(graphics, *bandBrush, QEL::palette::band, {2 * s, 60 * s, wholeWidth - 4 * s, 55 * s});
    QEL::fill(graphics, *panelBrush, QEL::palette::panel, {2 * s, 115 * s, wholeWidth - 4 * s, 65 * s});
    if (logo) {
        const auto w = static_cast<Gdiplus::REAL>(logo->GetWidth());
        const auto h = static_cast<Gdiplus::REAL>(logo->GetHeight());
        QEL::drawImage(graphics, *logo, {wholeWidth - w * s - 14 * s, 17 * s, w * s, h * s}, QEL::palette::logo);
    }
}

} // namespace app
