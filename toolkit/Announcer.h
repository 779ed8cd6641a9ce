// What the tool says to a screen reader besides what its controls read out:
// short notifications, such as a copy confirmed or refused. By default through
// UI Automation's notification event (Windows 10 1709 and later), where the
// system has it; tests swap the announcer.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace QEL {

enum class Announcement { ActionCompleted, ActionAborted };

class Announcer {
public:
    virtual ~Announcer() = default;
    // source: the window whose object the screen reader knows (a control or the frame).
    virtual void announce(HWND source, Announcement kind, const std::wstring& text) = 0;
};

Announcer& announcer();
// Replaces the process's announcer; null restores UI Automation's.
void setAnnouncer(std::unique_ptr<Announcer> replacement);

} // namespace QEL
