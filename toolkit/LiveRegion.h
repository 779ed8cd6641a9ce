// A Win32 live region, for screen readers that take no UI Automation
// notifications (JAWS, NVDA through MSAA, Windows before 10 1709): a label of
// no size, so nothing shows, whose name is the latest announcement, marked
// polite through the annotation service, and which raises
// EVENT_OBJECT_LIVEREGIONCHANGED each time it speaks.
#pragma once

#include "toolkit/Label.h"

namespace QEL {

class LiveRegion final : public Label {
public:
    explicit LiveRegion(Widget* parent);

    // Takes the text as its name and tells screen readers, even when it is the same text again.
    void speak(const std::wstring& text);

    bool listedToReaders() const override { return false; }

protected:
    void announceTextChange() override;
};

} // namespace QEL
