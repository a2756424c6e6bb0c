#include "ui/hlvSystemMenu.h"

#include "ui/hlvUIWindowsXP.h"

#include <QApplication>
#include <QMenuBar>
#include <QShortcut>
#include <QToolButton>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {
constexpr const char* CommandProperty = "SystemCommand";
}

TSystemMenu::TSystemMenu(TWindowsXPForm* Form) : QMenu(Form), FForm(Form) {
    setObjectName(QStringLiteral("SystemMenu"));
    AddCommand(tr("&Restore"), ScRestore);
    AddCommand(tr("&Move"), ScMove);
    AddCommand(tr("&Size"), ScSize);
    AddCommand(tr("Mi&nimize"), ScMinimize);
    AddCommand(tr("Ma&ximize"), ScMaximize);
    addSeparator();
    AddCommand(tr("&Close\tAlt+F4"), ScClose);

    connect(this, &QMenu::aboutToShow, this, &TSystemMenu::UpdateItems);
    // Queued, so the menu has closed before the command runs (the About box is modal).
    connect(
        this, &QMenu::triggered, this,
        [this](QAction* Action) {
            if (const std::uintptr_t Id = CommandOf(Action))
                FForm->Perform(WmSysCommand, Id, 0);
        },
        Qt::QueuedConnection);

#ifdef _WIN32
    // Windows has the real system menu; this one only mirrors its entries.
    return;
#endif
    auto* Shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), Form);
    Shortcut->setContext(Qt::WindowShortcut);
    connect(Shortcut, &QShortcut::activated, this, &TSystemMenu::Open);

    // Where a title bar would have its icon: the top-left corner of the menu bar.
    FButton = new QToolButton(Form);
    FButton->setObjectName(QStringLiteral("bnSystemMenu"));
    FButton->setAutoRaise(true);
    FButton->setIcon(QApplication::windowIcon());
    // A caption as well as the icon, so that the menu is found without being told; Alt+W opens
    // it where the window manager keeps Alt+Space for itself.
    FButton->setText(tr("&Window"));
    FButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    FButton->setToolTip(tr("Window menu (Alt+Space)"));
    connect(FButton, &QToolButton::clicked, this, &TSystemMenu::Open);
    Form->menuBar()->setCornerWidget(FButton, Qt::TopLeftCorner);
    FButton->show();
}

void TSystemMenu::AddCommand(const QString& Text, std::uintptr_t Id) {
    QAction* Action = addAction(Text);
    Action->setProperty(CommandProperty, QVariant::fromValue<qulonglong>(Id));
}

bool TSystemMenu::InsertEntry(int Position, unsigned Flags, std::uintptr_t Id, const QString& Text) {
    if (!(Flags & MfByPosition))
        return false;
    const QList<QAction*> Items = actions();
    auto* Action = new QAction(Text, this);
    Action->setProperty(CommandProperty, QVariant::fromValue<qulonglong>(Id));
    insertAction(Position >= 0 && Position < Items.size() ? Items[Position] : nullptr, Action);
#ifdef _WIN32
    if (HMENU Menu = ::GetSystemMenu(reinterpret_cast<HWND>(FForm->winId()), FALSE))
        ::InsertMenuA(Menu, UINT(Position), Flags, Id, Text.toLocal8Bit().constData());
#endif
    return true;
}

std::uintptr_t TSystemMenu::CommandOf(const QAction* Action) {
    return Action ? std::uintptr_t(Action->property(CommandProperty).toULongLong()) : 0;
}

QAction* TSystemMenu::ActionForCommand(std::uintptr_t Id) const {
    for (QAction* Action : actions())
        if (CommandOf(Action) == Id)
            return Action;
    return nullptr;
}

void TSystemMenu::UpdateItems() {
    const bool Minimized = FForm->isMinimized(), Maximized = FForm->isMaximized();
    ActionForCommand(ScRestore)->setEnabled(Minimized || Maximized);
    ActionForCommand(ScMove)->setEnabled(!Minimized && !Maximized);
    ActionForCommand(ScSize)->setEnabled(!Minimized && !Maximized);
    ActionForCommand(ScMinimize)->setEnabled(!Minimized);
    ActionForCommand(ScMaximize)->setEnabled(!Maximized);
}

void TSystemMenu::Open() {
    const QPoint At = FButton && FButton->isVisible() ? FButton->mapToGlobal(QPoint(0, FButton->height()))
                                                      : FForm->mapToGlobal(QPoint(0, 0));
    popup(At);
    if (!actions().isEmpty())
        setActiveAction(actions().first());
}

TSystemMenu* GetSystemMenu(QWidget* Form, bool Revert) {
    auto* Window = qobject_cast<TWindowsXPForm*>(Form);
    if (!Window)
        return nullptr;
    auto* Menu = Window->findChild<TSystemMenu*>(QStringLiteral("SystemMenu"), Qt::FindDirectChildrenOnly);
    if (Revert) {
        // Back to the standard entries; like the system, reverting hands back no menu.
        if (Menu) {
            delete Menu->Button();
            delete Menu;
        }
        new TSystemMenu(Window);
        return nullptr;
    }
    return Menu ? Menu : new TSystemMenu(Window);
}

bool DrawMenuBar(QWidget* Form) {
    auto* Window = qobject_cast<QMainWindow*>(Form);
    if (!Window)
        return false;
#ifdef _WIN32
    return ::DrawMenuBar(reinterpret_cast<HWND>(Window->winId())) != FALSE;
#else
    Window->menuBar()->update();
    return true;
#endif
}
