#include "app/MainWindow.h"

#include "app/SerialDisplay.h"
#include "toolkit/Application.h"
#include "toolkit/BitmapResource.h"
#include "toolkit/Button.h"
#include "toolkit/ComponentScale.h"
#include "toolkit/Fonts.h"

namespace app {

namespace {

constexpr DWORD mainWindowStyle = WS_POPUP | WS_OVERLAPPEDWINDOW;

} // namespace

MainWindow::MainWindow()
    : Widget(nullptr),
      backgroundBrush(std::make_unique<Gdiplus::SolidBrush>(Gdiplus::Color(0xFF444444))),
      bandBrush(std::make_unique<Gdiplus::SolidBrush>(Gdiplus::Color(0xFF999999))),
      panelBrush(std::make_unique<Gdiplus::SolidBrush>(Gdiplus::Color(0xFFF4F4F4))),
      framePen(std::make_unique<Gdiplus::Pen>(Gdiplus::Color(0xFF000000), 4.0f))
{
    // The scale must be known before the window is created: creation converts the size.
    scale = QEL::screenScaleFactor();
    QEL::registerWindowClass(mainWindowClassName, LoadCursorW(nullptr, IDC_ARROW));

    // WM_CREATE arrives during creation, so the handlers come first.
    addHandler(WM_CREATE, &MainWindow::onCreate);
    addHandler(WM_DESTROY, &MainWindow::onDestroy);
    addHandler(WM_TIMER, &MainWindow::onTimer);
    addHandler(WM_COMMAND, &MainWindow::onCommand);
    addHandler(WM_NCHITTEST, &MainWindow::onHitTest);
    addHandler(WM_NCLBUTTONDBLCLK, &MainWindow::onCaptionDoubleClick);

    create(mainWindowClassName, mainWindowTitle, mainWindowStyle, 0, CW_USEDEFAULT, CW_USEDEFAULT,
           mainWindowWidth, mainWindowHeight, nullptr, nullptr);

    QEL::Application* application = QEL::Application::current();
    logo = QEL::loadBitmapResource(application ? application->instance() : nullptr,
                                   MAKEINTRESOURCEW(logoResourceId), L"PNG");
    SetTimer(hwnd(), scanTimerId, scanPeriodMs, nullptr);
    setIcons();
    ACCEL copyKey = {FVIRTKEY | FCONTROL, 'C', copyCommandId};
    accelerators_.reset(CreateAcceleratorTableW(&copyKey, 1));
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
    const Gdiplus::Color white(0xFFFFFFFF);
    const Gdiplus::Color black(0xFF000000);

    auto* title = new QEL::Label(this);
    title->setFont(*titleFont);
    title->setColor(white);
    title->setText(titleText);
    title->move(8, 10);
    title->resize(640, 50);

    auto* explanation = new QEL::Label(this);
    explanation->setFont(*smallFont);
    explanation->setColor(white);
    explanation->setText(explanationText);
    explanation->move(10, 70);
    explanation->resize(640, 50);

    auto* caption = new QEL::Label(this);
    caption->setFont(*textFont);
    caption->setColor(black);
    caption->setText(captionText);
    caption->resize(45, 40);

    serialLabel = new QEL::Label(this);
    serialLabel->setFont(*textFont);
    serialLabel->setColor(black);
    serialLabel->setText(checkingText);
    serialLabel->resize(490, 40);
    serialLabel->setBackground(*panelBrush);

    auto* copyButton = new QEL::Button(this);
    copyButton->setText(copyButtonText);
    copyButton->onClick = [this] { copySerial(); };
    auto* closeButton = new QEL::Button(this);
    closeButton->setText(closeButtonText);
    closeButton->onClick = [this] { close(); };
    for (QEL::Button* button : {copyButton, closeButton}) {
        button->resize(200, 50);
        button->setFont(*textFont);
        button->setColor(white);
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
    case copyCommandId:
        copySerial();
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

void MainWindow::copySerial()
{
    copyToClipboard(serialLabel->text(), hwnd());
}

void MainWindow::paint(Gdiplus::Graphics& graphics)
{
    const Gdiplus::RectF client = clientRectF();
    const auto wholeWidth = static_cast<Gdiplus::REAL>(static_cast<int>(client.Width));
    const Gdiplus::REAL s = scale;
    graphics.FillRectangle(backgroundBrush.get(), client);
    graphics.DrawRectangle(framePen.get(), client);
    graphics.FillRectangle(bandBrush.get(), 2 * s, 60 * s, wholeWidth - 4 * s, 55 * s);
    graphics.FillRectangle(panelBrush.get(), 2 * s, 115 * s, wholeWidth - 4 * s, 65 * s);
    if (logo) {
        const auto w = static_cast<Gdiplus::REAL>(logo->GetWidth());
        const auto h = static_cast<Gdiplus::REAL>(logo->GetHeight());
        graphics.DrawImage(logo.get(), wholeWidth - w * s - 14 * s, 17 * s, w * s, h * s);
    }
}

} // namespace app
