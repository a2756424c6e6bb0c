#pragma once
// The About box: product name, version, description and legal texts of the program's own
// executable, its icon and the maker's logo, and the list of translators where there is one.

#include <QDialog>
#include <QIcon>
#include <QStringList>

#include <cstdint>
#include <functional>

class QLabel;
class QPushButton;

// The system-menu command of the About entry.
inline constexpr std::uintptr_t AboutCommandId = 5666;
inline constexpr int AboutMenuPosition = 6;

class TdlgAbout : public QDialog {
    Q_OBJECT
public:
    explicit TdlgAbout(QWidget* AOwner = nullptr);
    ~TdlgAbout() override;

    void LoadVersionInfo(const QString& FileName);
    void SetTitle(const QString& Title) { FTitle = Title; }
    const QStringList& Translators() const { return FTranslators; }

    QPushButton* bnOk = nullptr;
    QLabel* labelLegal = nullptr;
    QLabel* labelProduct = nullptr;
    QLabel* labelVersion = nullptr;
    QLabel* imgHLVLogo = nullptr;
    QLabel* labelDescription = nullptr;
    QLabel* imgIcon = nullptr;
    QPushButton* bnTranslations = nullptr;
    QPushButton* bnUpdates = nullptr;

public slots:
    void bnTranslationsClick();

private:
    void FormCreate();
    void FormDestroy();
    QStringList FTranslators;
    QString FTitle;
};

// Adds "&About <title>..." to the system menu of Form, or of the application's main window.
void AddAboutToSystemMenu(QWidget* Form = nullptr);
// Creates, fills and shows the About box modally for the running executable.
void ShowAboutDialog(const QString& Title);

// While set, ShowAboutDialog hands the filled dialog to the hook instead of running it modally.
using TAboutDialogHook = std::function<void(TdlgAbout& Dialog)>;
void SetAboutDialogHook(TAboutDialogHook Hook);

// The program's icon, for its windows and the About box.
QIcon GorvaneIcon();

// The executable of the running program (the file its version information is read from).
QString ApplicationExeName();
