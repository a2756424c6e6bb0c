#include "about/hlvUIDlgAbout.h"

#include "about/hlvPEVersions.h"
#include "ui/hlvDialogs.h"
#include "ui/hlvSystemMenu.h"

#include <QApplication>
#include <QLabel>
#include <QMainWindow>
#include <QPushButton>
#include <QScreen>

#include <memory>

static void InitAboutResources() {
    Q_INIT_RESOURCE(gorvane);
}

namespace {

TAboutDialogHook AboutHook;

QLabel* MakeLabel(QWidget* Parent, const char* Name, const QRect& Geometry, const QString& Text = {}) {
    auto* Label = new QLabel(Text, Parent);
    Label->setObjectName(QLatin1String(Name));
    Label->setGeometry(Geometry);
    // Plain text: an "&" stays an "&", and markup in a version string is not interpreted.
    Label->setTextFormat(Qt::PlainText);
    Label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    return Label;
}

QPushButton* MakeButton(QWidget* Parent, const char* Name, const QRect& Geometry, const QString& Text) {
    auto* Button = new QPushButton(Text, Parent);
    Button->setObjectName(QLatin1String(Name));
    Button->setGeometry(Geometry);
    return Button;
}

QString FromLocal(const std::string& Text) {
    return QString::fromUtf8(Text.data(), qsizetype(Text.size()));
}

// "1, 2, 0, 7" and "1,2,0,7" both read 1.2.0.7.
QString DottedVersion(QString Version) {
    return Version.replace(QStringLiteral(", "), QStringLiteral("."))
        .replace(QLatin1Char(','), QLatin1Char('.'));
}

QWidget* ApplicationMainForm() {
    for (QWidget* Widget : QApplication::topLevelWidgets())
        if (qobject_cast<QMainWindow*>(Widget))
            return Widget;
    return nullptr;
}

} // namespace

TdlgAbout::TdlgAbout(QWidget* AOwner) : QDialog(AOwner) {
    InitAboutResources();
    setObjectName(QStringLiteral("dlgAbout"));
    setWindowTitle(QStringLiteral("About ..."));
    setFixedSize(393, 209);
    setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    QPalette Colours = palette();
    Colours.setColor(QPalette::Window, Colours.color(QPalette::Base));
    setPalette(Colours);
    setAutoFillBackground(true);
    QFont DialogFont(QStringLiteral("MS Shell Dlg 2"));
    DialogFont.setPixelSize(11);
    setFont(DialogFont);

    labelProduct = MakeLabel(this, "labelProduct", {8, 8, 377, 33}, QStringLiteral("A quality HLV product"));
    QFont ProductFont(QStringLiteral("Arial"));
    ProductFont.setPixelSize(27);
    labelProduct->setFont(ProductFont);
    labelVersion = MakeLabel(this, "labelVersion", {48, 44, 185, 17}, QStringLiteral("Version unknown"));
    imgIcon = MakeLabel(this, "imgIcon", {8, 46, 32, 32});
    imgIcon->setAttribute(Qt::WA_TranslucentBackground);
    labelDescription = MakeLabel(this, "labelDescription", {48, 64, 193, 49});
    labelDescription->setWordWrap(true);
    imgHLVLogo = MakeLabel(this, "imgHLVLogo", {248, 40, 137, 65});
    imgHLVLogo->setPixmap(QPixmap(QStringLiteral(":/gorvane/halvessa-logo.png")));
    labelLegal = MakeLabel(this, "labelLegal", {8, 128, 377, 41});
    labelLegal->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    labelLegal->setWordWrap(true);

    bnOk = MakeButton(this, "bnOk", {304, 176, 81, 25}, QStringLiteral("OK"));
    bnOk->setDefault(true);
    connect(bnOk, &QPushButton::clicked, this, &QDialog::accept);
    bnUpdates = MakeButton(this, "bnUpdates", {208, 176, 81, 25}, QStringLiteral("Updates"));
    bnUpdates->setVisible(false);
    bnTranslations = MakeButton(this, "bnTranslations", {8, 176, 81, 25}, QStringLiteral("Translations"));
    bnTranslations->setVisible(false);
    connect(bnTranslations, &QPushButton::clicked, this, &TdlgAbout::bnTranslationsClick);
    setTabOrder(bnOk, bnUpdates);
    setTabOrder(bnUpdates, bnTranslations);
    bnOk->setFocus();

    if (const QScreen* Screen = QApplication::primaryScreen())
        move(Screen->availableGeometry().center() - rect().center());
    FormCreate();
}

TdlgAbout::~TdlgAbout() {
    FormDestroy();
}

void TdlgAbout::FormCreate() {
    FTranslators.clear();
}

void TdlgAbout::FormDestroy() {
    FTranslators.clear();
}

void TdlgAbout::LoadVersionInfo(const QString& FileName) {
    const std::string File = FileName.toStdString();
    if (GetVersionTranslationCount(File) <= 0)
        return;
    std::vector<std::string> Lines;
    ReadVersionStrings(File, 0, Lines);
    auto Value = [&](const char* Key) { return FromLocal(ValueFromLines(Lines, Key)); };

    const QString ProductName = Value("ProductName");
    setWindowTitle(QStringLiteral("About %1").arg(FTitle.isEmpty() ? ProductName : FTitle));
    labelProduct->setText(ProductName);
    labelVersion->setText(QStringLiteral("Version %1").arg(DottedVersion(Value("ProductVersion"))));
    labelDescription->setText(Value("FileDescription") + QLatin1Char(' ') +
                              DottedVersion(Value("FileVersion")));
    labelLegal->setText(Value("LegalCopyright") + QStringLiteral("\r\n") + Value("LegalTrademarks"));

    FTranslators.clear();
    const QString Translators = Value("Translators");
    if (!Translators.isEmpty()) {
        // The lines of a text list: CR LF, LF or CR end a line; a final break adds no line.
        QString Text = Translators;
        Text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"))
            .replace(QLatin1Char('\r'), QLatin1Char('\n'));
        if (Text.endsWith(QLatin1Char('\n')))
            Text.chop(1);
        FTranslators = Text.split(QLatin1Char('\n'));
    }
    bnTranslations->setVisible(!FTranslators.isEmpty());
}

void TdlgAbout::bnTranslationsClick() {
    QString Text;
    for (const QString& Line : FTranslators) {
        const qsizetype Equals = Line.indexOf(QLatin1Char('='));
        const QString Name = Equals < 0 ? Line : Line.left(Equals);
        const QString Translator = Equals < 0 ? QString() : Line.mid(Equals + 1);
        Text += QStringLiteral("%1: %2\r\n").arg(Name, Translator);
    }
    MessageDlg(Text, TMsgDlgType::mtInformation, mbOK, this);
}

void AddAboutToSystemMenu(QWidget* Form) {
    QWidget* Window = Form ? Form : ApplicationMainForm();
    if (!Window)
        return;
    TSystemMenu* Menu = GetSystemMenu(Window, false);
    if (!Menu)
        return;
    QString Title = QApplication::applicationDisplayName();
    Title.replace(QLatin1Char('&'), QStringLiteral("&&"));
    Menu->InsertEntry(AboutMenuPosition, MfByPosition | MfString, AboutCommandId,
                      QStringLiteral("&About ") + Title + QStringLiteral("..."));
    DrawMenuBar(Window);
}

void ShowAboutDialog(const QString& Title) {
    auto Dialog = std::make_unique<TdlgAbout>();
    Dialog->SetTitle(Title);
    Dialog->LoadVersionInfo(ApplicationExeName());
    const QIcon Icon = QApplication::windowIcon().isNull() ? GorvaneIcon() : QApplication::windowIcon();
    Dialog->imgIcon->setPixmap(Icon.pixmap(32, 32));
    if (AboutHook)
        AboutHook(*Dialog);
    else
        Dialog->exec();
}

void SetAboutDialogHook(TAboutDialogHook Hook) {
    AboutHook = std::move(Hook);
}

QIcon GorvaneIcon() {
    InitAboutResources();
    QIcon Icon;
    Icon.addFile(QStringLiteral(":/gorvane/gorvane-32.png"), QSize(32, 32));
    Icon.addFile(QStringLiteral(":/gorvane/gorvane-256.png"), QSize(256, 256));
    return Icon;
}

QString ApplicationExeName() {
    return QCoreApplication::applicationFilePath();
}
