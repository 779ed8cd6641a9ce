// The tool's only window: a borderless, custom-drawn panel with the title, the
// logo, the explanation, the serial-number field and two buttons. It owns the
// one-second scan timer, its icons and its keyboard shortcuts; dragging its
// background moves it. Screen readers read it as a dialog; the serial field has
// the keyboard focus when it opens.
#pragma once

#include "common/UniqueHandle.h"
#include "toolkit/Label.h"
#include "toolkit/TextField.h"
#include "toolkit/Widget.h"

#include <memory>

namespace app {

inline constexpr const wchar_t* mainWindowClassName = L"Tervalis_Quorvel_MainWindow";
inline constexpr const wchar_t* mainWindowTitle = L"Motion Platform Serial Number";
// The window's texts, as the user and a screen reader get them.
inline constexpr const wchar_t* titleText = L"Serial Number";
inline constexpr const wchar_t* explanationText =
    L"This tool reads serial number (or license code) of your motion platform. Make sure thar "
    L"your motion unit is connected to PC via USB and it is turned on.";
inline constexpr const wchar_t* captionText = L"S/N:";
inline constexpr const wchar_t* copyButtonText = L"Copy to clipboard";
inline constexpr const wchar_t* closeButtonText = L"Close";
inline constexpr int mainWindowWidth = 650;   // logical units
inline constexpr int mainWindowHeight = 232;  // logical units
inline constexpr UINT_PTR scanTimerId = 0;
inline constexpr int logoResourceId = 102;
inline constexpr int iconResourceId = 1;
// Ctrl+C's command: copies the serial field wherever the focus is.
inline constexpr WORD copyCommandId = 100;
// Alt+Space's command: the window menu (Move, Close), as any window has.
inline constexpr WORD windowMenuCommandId = 101;
// What a screen reader says after Copy.
inline constexpr const wchar_t* copiedAnnouncement = L"Serial number copied";
inline constexpr const wchar_t* clipboardBusyAnnouncement =
    L"Serial number not copied: another program is using the clipboard";
inline constexpr const wchar_t* copyFailedAnnouncement = L"Serial number not copied";

// Defined by the executable: the product scans once a second (ScanPeriod.cpp);
// the soak test's build scans faster (ScanPeriodSoak.cpp).
extern const UINT scanPeriodMs;

class MainWindow : public QEL::Widget {
public:
    // At the screen's scale; tests name another.
    explicit MainWindow(float screenScale = QEL::screenScaleFactor());
    ~MainWindow() override;

    void paint(Gdiplus::Graphics& graphics) override;
    // A dialog named by its title, described by the explanation.
    QEL::AccessibleDescription describe() const override;
    // Copies the serial field and tells a screen reader, through the window
    // source (the frame when null), whether it worked.
    void copySerial(HWND source = nullptr);

    // The keyboard shortcuts for the message loop.
    HACCEL accelerators() const { return accelerators_.get(); }

private:
    LRESULT onCreate(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onDestroy(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onTimer(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onCommand(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onHitTest(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onCaptionDoubleClick(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onActivate(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onSetFocus(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onShowWindow(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT onFocusOnShow(UINT message, WPARAM wParam, LPARAM lParam);
    void restoreFocus();
    void setIcons();
    void showWindowMenu();

    std::unique_ptr<Gdiplus::Bitmap> logo;
    std::unique_ptr<Gdiplus::SolidBrush> backgroundBrush;
    std::unique_ptr<Gdiplus::SolidBrush> bandBrush;
    std::unique_ptr<Gdiplus::SolidBrush> panelBrush;
    std::unique_ptr<Gdiplus::Pen> framePen;
    QEL::TextField* serialLabel = nullptr;  // owned as a child of this window
    HWND lastFocus = nullptr;  // the control that had the focus when the window was left
    common::IconHandle bigIcon;
    common::IconHandle smallIcon;
    common::AcceleratorTable accelerators_;
};

} // namespace app
