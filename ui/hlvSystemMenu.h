#pragma once
// The window's system menu. Window managers other than Windows' give a program no system menu,
// so the form carries its own: opened with Alt+Space or with the button in the corner of the
// menu bar, its commands reach the form's window procedure as WM_SYSCOMMAND with their WParam.

#include <QMenu>

#include <cstdint>

class QToolButton;
class TWindowsXPForm;

inline constexpr unsigned MfString = 0x0000;
inline constexpr unsigned MfByPosition = 0x0400;

class TSystemMenu : public QMenu {
    Q_OBJECT
public:
    explicit TSystemMenu(TWindowsXPForm* Form);

    // Inserts a text item with the command Id before the item at Position (or at the end).
    bool InsertEntry(int Position, unsigned Flags, std::uintptr_t Id, const QString& Text);
    // The command of an item, 0 for separators.
    static std::uintptr_t CommandOf(const QAction* Action);
    QAction* ActionForCommand(std::uintptr_t Id) const;
    QToolButton* Button() const { return FButton; }
    // Shows the menu below the button, or at the top-left corner of the form.
    void Open();

private:
    void AddCommand(const QString& Text, std::uintptr_t Id);
    void UpdateItems();
    TWindowsXPForm* FForm;
    QToolButton* FButton = nullptr;
};

// The form's system menu, created on first use; nullptr for windows that have none, and after a
// revert to the standard entries.
TSystemMenu* GetSystemMenu(QWidget* Form, bool Revert = false);
bool DrawMenuBar(QWidget* Form);
