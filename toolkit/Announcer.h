// What the tool says to a screen reader besides what its controls read out:
// short notifications, such as a copy confirmed or refused. The announcer
// alone speaks them, in two ways at once: a UI Automation notification raised
// on the toolkit's own provider (Narrator, NVDA; Windows 10 1709 and later),
// and a Win32 live region (JAWS and readers without notifications). Both are
// made at the first announcement, not at start. Tests swap the announcer.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace QEL {

struct UiAutomationCalls;

enum class Announcement { ActionCompleted, ActionAborted };

class Announcer {
public:
    virtual ~Announcer() = default;
    // source: the control the announcement is about (or the frame); the
    // announcement is spoken in its top-level window.
    virtual void announce(HWND source, Announcement kind, const std::wstring& text) = 0;
};

Announcer& announcer();
// Replaces the process's announcer; null restores the screen readers' one.
void setAnnouncer(std::unique_ptr<Announcer> replacement);
// The screen readers' announcer, making the UI Automation calls given.
std::unique_ptr<Announcer> makeScreenReaderAnnouncer(const UiAutomationCalls& calls);

} // namespace QEL
