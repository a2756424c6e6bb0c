#pragma once
// TVistaForm: the Vista system font, the desktop-composition set-up, and buttons repainted when
// the keyboard cues change.

#include "ui/hlvUIWindowsXP.h"

#include <QPushButton>

// A push button that carries a picture. It draws itself, so keyboard-cue changes leave it alone.
class TBitBtn : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;
};

bool IsVistaOrLater();
bool IsCompositionEnabled();
void ExtendFrameIntoClientArea(QWidget* Window, const TMarginsRect& Margins);

// Repaints the push buttons, check boxes and radio buttons below Root; bitmap buttons and their
// contents are left alone.
void RepaintButtonControls(QWidget* Root);

class TVistaForm : public TWindowsXPForm {
    Q_OBJECT
public:
    explicit TVistaForm(QWidget* AOwner = nullptr, const TFormDesign& Design = {});
    ~TVistaForm() override;

    void WndProc(TMessage& Message) override;
};
