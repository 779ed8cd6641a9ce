// A read-only text field: a label a keyboard user can reach with Tab and a
// screen reader reads as a labelled field, named by the caption beside it, with
// the text shown as its value. A change of text is announced as a value change,
// which a screen reader speaks while the field has the focus.
#pragma once

#include "toolkit/Label.h"

namespace QEL {

class TextField : public Label {
public:
    explicit TextField(Widget* parent);

    // The caption that names the field for a screen reader ("S/N:").
    void setCaption(const Label& caption) { captionText = caption.text(); }

    void paint(Gdiplus::Graphics& graphics) override;
    std::wstring accessibleName() const override { return captionText; }
    LONG accessibleRole() const override;
    LONG accessibleState() const override;
    const std::wstring* accessibleValue() const override { return &labelText; }

protected:
    void announceTextChange() override;

private:
    std::wstring captionText;
};

} // namespace QEL
