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
    // Named by its caption, with the text as its value.
    AccessibleDescription describe() const override;

protected:
    void announceTextChange() override;
    // As a read-only edit control: the arrow keys are the field's own.
    LRESULT dialogCode(WPARAM key) const override;

private:
    std::wstring captionText;
};

} // namespace QEL
