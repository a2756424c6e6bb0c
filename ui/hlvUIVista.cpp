#include "ui/hlvUIVista.h"

#include <QAbstractButton>
#include <QPalette>

bool IsVistaOrLater() {
    TOSVersionInfo Info;
    return WindowsApi().ReadVersion(Info) && Info.MajorVersion >= 6;
}

bool IsCompositionEnabled() {
    if (!IsVistaOrLater())
        return false;
    bool Enabled = false;
    return WindowsApi().DwmIsCompositionEnabled(Enabled) && Enabled;
}

void ExtendFrameIntoClientArea(QWidget* Window, const TMarginsRect& Margins) {
    if (!IsVistaOrLater() || !IsCompositionEnabled())
        return;
    WindowsApi().DwmExtendFrameIntoClientArea(Window, Margins);
}

namespace {

void RepaintChildren(QWidget* Parent) {
    for (QObject* Child : Parent->children()) {
        auto* Control = qobject_cast<QWidget*>(Child);
        if (!Control || Control->isWindow())
            continue;
        if (auto* Button = qobject_cast<QAbstractButton*>(Control)) {
            if (!qobject_cast<TBitBtn*>(Button))
                Button->repaint();
            continue;
        }
        RepaintChildren(Control);
    }
}

} // namespace

void RepaintButtonControls(QWidget* Root) {
    if (Root)
        RepaintChildren(Root);
}

TVistaForm::TVistaForm(QWidget* AOwner, const TFormDesign& Design) : TWindowsXPForm(AOwner, Design) {
    if (IsVistaOrLater()) {
        QFont Font = font();
        if (Font.family().compare(QStringLiteral("Segoe UI"), Qt::CaseInsensitive) != 0) {
            const int Size = Font.pointSize();
            Font.setFamily(QStringLiteral("Segoe UI"));
            if (WindowsApi().ResolvedFontFamily(Font) == QStringLiteral("Segoe UI"))
                Font.setPointSize(Size + 1);
            else
                Font.setFamily(QStringLiteral("Tahoma"));
            setFont(Font);
        }
    }
    HideApplicationTaskbarButton();
    if (IsCompositionEnabled()) {
        QPalette Palette = palette();
        Palette.setColor(QPalette::Window, Qt::black);
        setPalette(Palette);
        ExtendFrameIntoClientArea(this, TMarginsRect{0, 0, 0, 0});
    }
}

TVistaForm::~TVistaForm() = default;

void TVistaForm::WndProc(TMessage& Message) {
    TWindowsXPForm::WndProc(Message);
    if (Message.Msg == WmUpdateUIState) {
        try {
            RepaintButtonControls(this);
        } catch (...) {
            // A failed repaint must not undo the message, which is already handled.
        }
    }
}
