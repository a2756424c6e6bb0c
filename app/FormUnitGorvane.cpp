#include "app/FormUnitGorvane.h"

#include "about/hlvPEVersions.h"
#include "about/hlvUIDlgAbout.h"
#include "catalogue/hlvFilesList.h"
#include "catalogue/hlvMemIniFile.h"
#include "catalogue/hlvRegTweakList.h"
#include "catalogue/hlvStringList.h"
#include "matching/vxStringCompare.h"
#include "registry/hlvRegTools.h"
#ifndef _WIN32
#include "registry/store/RegStore.h"
#endif
#include "settings/hlvConfig.h"
#include "ui/hlvDialogs.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QHash>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QRadioButton>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cctype>
#include <exception>
#include <utility>

namespace {

constexpr int Margin = 3;
constexpr std::uintptr_t CmdAbout = 5666;

QString FromSystem(const std::string& Text) {
    return QString::fromStdString(Text);
}
std::string ToSystem(const QString& Text) {
    return Text.toStdString();
}

QLabel* PlainLabel(const QString& Text, QWidget* Parent) {
    auto* label = new QLabel(Parent);
    label->setTextFormat(Qt::PlainText); // tweak texts are shown as written, "&" and "<" included
    label->setText(Text);
    return label;
}

// Qt lays a label's whole text out again for every size it is asked about, and a rebuild asks each
// new panel's labels for their hints and the same few heights many times over. What a text
// measures depends only on the text, the font and the wrapping, so the measures are shared by the
// labels of one kind that show the same text: typing on in the search box shows mostly the panels
// of the key stroke before.
struct TTextMeasures {
    QFont Font;
    bool WordWrap = false;
    QSize Hint, MinimumHint;                  // invalid until measured
    std::vector<std::pair<int, int>> Heights; // (width, height), the latest last
};

class TSharedMeasures;
std::vector<TSharedMeasures*>& AllSharedMeasures() {
    static std::vector<TSharedMeasures*> all;
    return all;
}

class TSharedMeasures {
public:
    TSharedMeasures() { AllSharedMeasures().push_back(this); }
    ~TSharedMeasures() { std::erase(AllSharedMeasures(), this); }
    TSharedMeasures(const TSharedMeasures&) = delete;
    TSharedMeasures& operator=(const TSharedMeasures&) = delete;
    void Clear() { FMeasures.clear(); }
    // Nullptr for a label whose margins or indent make its measures its own.
    TTextMeasures* For(const QLabel& Label) {
        if (Label.margin() != 0 || Label.indent() >= 0 || !Label.contentsMargins().isNull())
            return nullptr;
        return &For(Label.text(), Label.font(), Label.wordWrap());
    }
    TTextMeasures& For(const QString& Text, const QFont& Font, bool WordWrap = false) {
        auto it = FMeasures.find(Text);
        if (it == FMeasures.end()) {
            if (FMeasures.size() >= MaxTextsKept)
                FMeasures.clear();
            it = FMeasures.insert(Text, TTextMeasures{Font, WordWrap, {}, {}, {}});
        } else if (it->WordWrap != WordWrap || !(it->Font == Font)) {
            *it = TTextMeasures{Font, WordWrap, {}, {}, {}};
        }
        return *it;
    }

private:
    static constexpr qsizetype MaxTextsKept = 4096;
    QHash<QString, TTextMeasures> FMeasures;
};

template <typename Measure>
QSize SharedHint(TSharedMeasures& Shared, const QString& Text, const QFont& Font, Measure Compute) {
    TTextMeasures& measures = Shared.For(Text, Font);
    if (!measures.Hint.isValid())
        measures.Hint = Compute();
    return measures.Hint;
}

template <typename Measure>
QSize SharedHint(TSharedMeasures& Shared, const QLabel& Label, bool Minimum, Measure Compute) {
    TTextMeasures* measures = Shared.For(Label);
    if (!measures)
        return Compute();
    QSize& hint = Minimum ? measures->MinimumHint : measures->Hint;
    if (!hint.isValid())
        hint = Compute();
    return hint;
}

TSharedMeasures& LinkMeasures() {
    static TSharedMeasures shared;
    return shared;
}

class TWrappedLabel : public QLabel {
public:
    explicit TWrappedLabel(QWidget* Parent) : QLabel(Parent) {
        setTextFormat(Qt::PlainText); // tweak texts are shown as written, "&" and "<" included
        setWordWrap(true);
    }
    QSize sizeHint() const override {
        return SharedHint(Shared(), *this, false, [this] { return QLabel::sizeHint(); });
    }
    QSize minimumSizeHint() const override {
        return SharedHint(Shared(), *this, true, [this] { return QLabel::minimumSizeHint(); });
    }
    int heightForWidth(int Width) const override {
        TTextMeasures* measures = Shared().For(*this);
        if (!measures)
            return QLabel::heightForWidth(Width);
        for (const auto& [width, height] : measures->Heights)
            if (width == Width)
                return height;
        const int height = QLabel::heightForWidth(Width);
        if (measures->Heights.size() >= MaxWidthsKept)
            measures->Heights.erase(measures->Heights.begin());
        measures->Heights.emplace_back(Width, height);
        return height;
    }

private:
    static constexpr std::size_t MaxWidthsKept = 8;
    static TSharedMeasures& Shared() {
        static TSharedMeasures shared;
        return shared;
    }
};

// The toolbar's text buttons: every panel has the same few captions, measured once.
class TToolbarButton : public QToolButton {
public:
    explicit TToolbarButton(QWidget* Parent) : QToolButton(Parent) {
        setToolButtonStyle(Qt::ToolButtonTextOnly);
        setAutoRaise(true);
    }
    QSize sizeHint() const override {
        static TSharedMeasures shared;
        return SharedHint(shared, text(), font(), [this] { return QToolButton::sizeHint(); });
    }
};

// Check box captions treat "&" as a mnemonic marker; a doubled one shows as it is.
QString LiteralAmpersands(QString Text) {
    return Text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// Like the system's check box, the whole control answers a click, not only its box and caption.
class TTweakCheckBox : public QCheckBox {
public:
    using QCheckBox::QCheckBox;
    QSize sizeHint() const override {
        static TSharedMeasures shared;
        return SharedHint(shared, text(), font(), [this] { return QCheckBox::sizeHint(); });
    }

protected:
    bool hitButton(const QPoint& Pos) const override { return rect().contains(Pos); }
};

std::string WriteFailureReason(HKEY Root) {
    std::string reason;
    if (Root == HKEY_LOCAL_MACHINE)
        reason = "The key below HKEY_LOCAL_MACHINE could not be opened for writing: administrator rights are "
                 "needed to change it.";
    else if (Root == nullptr)
        reason = "The tweak names no known registry root key.";
    else
        reason = "The key could not be opened or created for writing.";
#ifndef _WIN32
    // The store knows the cause (a damaged file, a full disk, no right to the file): pass it on.
    const std::string detail = GorvaneStoreLastError();
    if (!detail.empty())
        reason += " (" + detail + ")";
#endif
    return reason;
}

} // namespace

void ForgetTextMeasures() {
    for (TSharedMeasures* shared : AllSharedMeasures())
        shared->Clear();
}

// ---------------------------------------------------------------------------------------------

TEllipsisLabel::TEllipsisLabel(QWidget* Parent) : QWidget(Parent) {
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Fixed);
}

void TEllipsisLabel::setText(const QString& Text) {
    FText = Text;
    updateGeometry();
    update();
}

QSize TEllipsisLabel::sizeHint() const {
    static TSharedMeasures shared;
    return SharedHint(shared, FText, font(), [this] {
        const QFontMetrics metrics(font());
        return QSize(metrics.horizontalAdvance(FText), metrics.height());
    });
}

QSize TEllipsisLabel::minimumSizeHint() const {
    return {0, QFontMetrics(font()).height()};
}

void TEllipsisLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QString shown = QFontMetrics(font()).elidedText(FText, Qt::ElideRight, width());
    painter.drawText(rect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, shown);
}

QSize TLinkLabel::sizeHint() const {
    return SharedHint(LinkMeasures(), *this, false, [this] { return QLabel::sizeHint(); });
}

QSize TLinkLabel::minimumSizeHint() const {
    return SharedHint(LinkMeasures(), *this, true, [this] { return QLabel::minimumSizeHint(); });
}

void TLinkLabel::mouseReleaseEvent(QMouseEvent* Event) {
    QLabel::mouseReleaseEvent(Event);
    if (Event->button() == Qt::LeftButton && rect().contains(Event->position().toPoint()))
        emit clicked();
}

bool IsWebAddress(const QString& Address) {
    const QUrl url(Address.trimmed(), QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty())
        return false;
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("http") || scheme == QLatin1String("https");
}

bool TryStrToInt(const std::string& Text, std::int32_t& Value) {
    std::size_t i = 0;
    while (i < Text.size() && Text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < Text.size() && (Text[i] == '+' || Text[i] == '-')) {
        negative = Text[i] == '-';
        ++i;
    }
    int base = 10;
    if (i < Text.size() && Text[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < Text.size() && Text[i] == '0' && (Text[i + 1] == 'x' || Text[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= Text.size())
        return false;
    std::uint64_t magnitude = 0;
    for (; i < Text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(Text[i]);
        int digit;
        if (std::isdigit(c))
            digit = c - '0';
        else if (base == 16 && std::isxdigit(c))
            digit = std::tolower(c) - 'a' + 10;
        else
            return false;
        magnitude = magnitude * static_cast<unsigned>(base) + static_cast<unsigned>(digit);
        if (magnitude > 0xFFFFFFFFull)
            return false;
    }
    if (base == 10) {
        if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull))
            return false;
        Value = negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(magnitude))
                         : static_cast<std::int32_t>(magnitude);
    } else {
        // Hexadecimal numbers fill all 32 bits: $FFFFFFFF is -1.
        const auto bits = static_cast<std::uint32_t>(magnitude);
        Value = static_cast<std::int32_t>(negative ? 0u - bits : bits);
    }
    return true;
}

// ---------------------------------------------------------------------------------------------

// A hidden child of its owner until placed: its controls then take the owner's font from the
// start, and placing the panel need not pass a new font down to every one of them.
TTweakPanel::TTweakPanel(QWidget* Owner, TRegistryTweak* Tweak)
    : QFrame(Owner), FTweak(Tweak), FOwner(Owner) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(1);
    LabelProduct = new TEllipsisLabel(this);
    LabelProduct->setObjectName(QStringLiteral("LabelProduct"));
    LabelTitle = new TEllipsisLabel(this);
    LabelTitle->setObjectName(QStringLiteral("LabelTitle"));
    LabelDescription = new TWrappedLabel(this);
    LabelDescription->setObjectName(QStringLiteral("LabelDescription"));
    if (!FTweak->TechRefUrl.empty()) {
        LinkLabel = new TLinkLabel(this);
        LinkLabel->setTextFormat(Qt::PlainText);
        LinkLabel->setObjectName(QStringLiteral("LinkLabel"));
    }
    if (FTweak->RegDataType == TRegDataType::rdString) {
        if (FTweak->Suggestions.Count() > 0) {
            ComboBoxTweak = new QComboBox(this);
            ComboBoxTweak->setObjectName(QStringLiteral("ComboBoxTweak"));
            // What setEditable(true) does, less building the drop-down list at once: the combo box
            // builds it when it is first needed.
            auto* edit = new QLineEdit(ComboBoxTweak);
            edit->setPalette(ComboBoxTweak->palette());
            ComboBoxTweak->setLineEdit(edit);
            ComboBoxTweak->setInsertPolicy(QComboBox::NoInsert);
            ComboBoxTweak->setEditText({});
        } else {
            EditTweak = new QLineEdit(this);
            EditTweak->setObjectName(QStringLiteral("EditTweak"));
        }
    } else if (FTweak->RegDataType == TRegDataType::rdInteger) {
        if (FTweak->RegBooleanDecision) {
            CheckboxTweak = new TTweakCheckBox(this);
            CheckboxTweak->setObjectName(QStringLiteral("CheckboxTweak"));
        } else {
            EditTweak = new QLineEdit(this);
            EditTweak->setObjectName(QStringLiteral("EditTweak"));
        }
    }
    ToolbarTweak = new QWidget(this);
    ToolbarTweak->setObjectName(QStringLiteral("ToolbarTweak"));
    auto makeButton = [this](const char* Name, const QString& Caption) {
        QToolButton* button = new TToolbarButton(ToolbarTweak);
        button->setObjectName(QLatin1String(Name));
        button->setText(Caption);
        return button;
    };
    ButtonSave = makeButton("ButtonSave", QStringLiteral("Apply"));
    ButtonUndo = makeButton("ButtonUndo", QStringLiteral("Undo"));
    if (FTweak->OfferFilenamePicker)
        ButtonPickFilenme = makeButton("ButtonPickFilenme", QStringLiteral("Pick filename..."));
}

TTweakPanel::~TTweakPanel() = default;

void TTweakPanel::paintEvent(QPaintEvent* Event) {
    // The window colour, painted here rather than set as a palette that every child would inherit.
    QPainter(this).fillRect(rect(), palette().color(QPalette::Base));
    QFrame::paintEvent(Event);
}

void TTweakPanel::SetParent(QWidget* AParent, QVBoxLayout* ParentLayout, int Index) {
    if (!AParent) {
        setParent(nullptr);
        return;
    }
    setParent(AParent);
    if (ParentLayout)
        ParentLayout->insertWidget(Index, this);
    if (!FPlaced) {
        FPlaced = true;
        BuildLayout();
        ReadValues();
        ConnectHandlers();
    }
    if (AParent->isVisible())
        show(); // otherwise it shows with its parent
}

void TTweakPanel::BuildLayout() {
    // Not a fixed height: a wrapped description needs the height for the width it gets.
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Minimum);

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(Margin, Margin, Margin, 0);
    column->setSpacing(2 * Margin);

    auto* buttons = new QHBoxLayout(ToolbarTweak);
    buttons->setContentsMargins(0, 0, 0, 0);
    buttons->setSpacing(0);
    ButtonSave->setEnabled(false);
    ButtonUndo->setEnabled(false);
    buttons->addWidget(ButtonSave);
    buttons->addWidget(ButtonUndo);
    if (ButtonPickFilenme) {
        ButtonPickFilenme->setEnabled(true);
        buttons->addWidget(ButtonPickFilenme);
    }
    buttons->addStretch(1);

    if (LinkLabel) {
        LinkLabel->setText(FromSystem(FTweak->TechRefUrl));
        QFont underlined = LinkLabel->font();
        underlined.setUnderline(true);
        LinkLabel->setFont(underlined);
        LinkLabel->setCursor(Qt::PointingHandCursor);
        LinkLabel->setSizePolicy(QSizePolicy::Maximum, QSizePolicy::Fixed);
        LinkLabel->setMinimumWidth(1); // a long address is cut rather than widening the list
        if (!IsWebAddress(LinkLabel->text()))
            LinkLabel->setToolTip(QStringLiteral("Only web addresses (http, https) are opened."));
    }
    if (ComboBoxTweak)
        for (const std::string& suggestion : FTweak->Suggestions)
            ComboBoxTweak->addItem(FromSystem(suggestion));
    if (CheckboxTweak) {
        CheckboxTweak->setText(LiteralAmpersands(FromSystem(FTweak->Title)));
        CheckboxTweak->setMinimumWidth(1);
    }
    if (ComboBoxTweak) {
        ComboBoxTweak->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        ComboBoxTweak->setMinimumContentsLength(8);
    }

    LabelDescription->setText(FromSystem(FTweak->Description));
    LabelTitle->setText(FromSystem(FTweak->Title));
    QFont bold = LabelTitle->font();
    bold.setBold(true);
    bold.setPointSize(11);
    LabelTitle->setFont(bold);
    LabelProduct->setText(FromSystem(FTweak->Company + " " + FTweak->Product));

    column->addWidget(LabelProduct);
    column->addWidget(LabelTitle);
    column->addWidget(LabelDescription);
    if (EditTweak)
        column->addWidget(EditTweak);
    if (ComboBoxTweak)
        column->addWidget(ComboBoxTweak);
    if (CheckboxTweak)
        column->addWidget(CheckboxTweak);
    if (LinkLabel)
        column->addWidget(LinkLabel);
    column->addWidget(ToolbarTweak);
}

void TTweakPanel::ReadValues() {
    const HKEY root = FTweak->RegRootKey;
    const std::string& path = FTweak->RegKeyPath;
    const std::string& name = FTweak->RegValueName;
    const std::string backup = name + SUndoBackupSuffix;
    if (FTweak->RegDataType == TRegDataType::rdString && (EditTweak || ComboBoxTweak)) {
        std::string text;
        if (RegistryReadString(root, path, name, 32, text)) {
            FCurrentText = text;
            SetEditorText(FromSystem(text));
        }
        if (RegistryReadString(root, path, backup, 32, text)) {
            FBackupText = text;
            ButtonUndo->setToolTip(FromSystem(text));
            ButtonUndo->setEnabled(true);
        }
    } else if (EditTweak) {
        std::int32_t number = 0;
        if (RegistryReadInteger(root, path, name, number)) {
            FCurrentNumber = number;
            EditTweak->setText(QString::number(number));
        }
        if (RegistryReadInteger(root, path, backup, number)) {
            FBackupNumber = number;
            ButtonUndo->setToolTip(QString::number(number));
            ButtonUndo->setEnabled(true);
        }
    } else if (CheckboxTweak) {
        std::int32_t number = 0;
        if (RegistryReadInteger(root, path, name, number)) {
            FCurrentSwitch = number == 1;
            CheckboxTweak->setChecked(FCurrentSwitch);
        } else {
            CheckboxTweak->setTristate(true);
            CheckboxTweak->setCheckState(Qt::PartiallyChecked);
        }
        if (RegistryReadInteger(root, path, backup, number)) {
            FBackupSwitch = number == 1;
            ButtonUndo->setToolTip(FBackupSwitch ? QStringLiteral("True") : QStringLiteral("False"));
            ButtonUndo->setEnabled(true);
        }
    }
}

void TTweakPanel::ConnectHandlers() {
    connect(ButtonSave, &QToolButton::clicked, this, &TTweakPanel::ApplyClick);
    connect(ButtonUndo, &QToolButton::clicked, this, &TTweakPanel::UndoClick);
    if (ButtonPickFilenme)
        connect(ButtonPickFilenme, &QToolButton::clicked, this, &TTweakPanel::PickFilenameClick);
    if (LinkLabel)
        connect(LinkLabel, &TLinkLabel::clicked, this, &TTweakPanel::LinkClick);
    if (EditTweak)
        connect(EditTweak, &QLineEdit::textChanged, this, &TTweakPanel::EditorChange);
    if (ComboBoxTweak)
        connect(ComboBoxTweak, &QComboBox::editTextChanged, this, &TTweakPanel::EditorChange);
    if (CheckboxTweak)
        connect(CheckboxTweak, &QCheckBox::clicked, this, [this] {
            // The grayed state only shows a value missing at placement: the first click ticks it,
            // and from then on the box only ticks and unticks.
            if (CheckboxTweak->isTristate())
                CheckboxTweak->setTristate(false);
            EditorChange();
        });
}

QString TTweakPanel::EditorText() const {
    if (EditTweak)
        return EditTweak->text();
    if (ComboBoxTweak)
        return ComboBoxTweak->currentText();
    return {};
}

void TTweakPanel::SetEditorText(const QString& Text) {
    if (EditTweak)
        EditTweak->setText(Text);
    if (ComboBoxTweak)
        ComboBoxTweak->setEditText(Text);
}

void TTweakPanel::ReportWriteFailure(const std::string& Reason) {
    MessageDlg(QStringLiteral("The value \"%1\" was not written. %2")
                   .arg(FromSystem(FTweak->RegValueName), FromSystem(Reason)),
               TMsgDlgType::mtError, mbOK, window());
}

void TTweakPanel::ApplyClick() {
    const HKEY root = FTweak->RegRootKey;
    const std::string& path = FTweak->RegKeyPath;
    const std::string& name = FTweak->RegValueName;
    const std::string backup = name + SUndoBackupSuffix;
    // The backup is written before the value on every path, so that a value is never changed
    // without its backup. A refused write leaves the fields alone and Apply enabled for a retry.
    try {
        if (FTweak->RegDataType == TRegDataType::rdString && (EditTweak || ComboBoxTweak)) {
            const std::string text = ToSystem(EditorText());
            if (!RegistryWriteString(root, path, backup, 32, FCurrentText) ||
                !RegistryWriteString(root, path, name, 32, text))
                return ReportWriteFailure(WriteFailureReason(root));
            FBackupText = FCurrentText;
            FCurrentText = text;
        } else if (CheckboxTweak) {
            if (!RegistryWriteInteger(root, path, backup, 32, FCurrentSwitch ? 1 : 0))
                return ReportWriteFailure(WriteFailureReason(root));
            const Qt::CheckState state = CheckboxTweak->checkState();
            if (state == Qt::PartiallyChecked)
                RegistryDeleteValue(root, path, name, 0);
            else if (!RegistryWriteInteger(root, path, name, 32, state == Qt::Checked ? 1 : 0))
                return ReportWriteFailure(WriteFailureReason(root));
            FBackupSwitch = FCurrentSwitch;
            FCurrentSwitch = state == Qt::Checked;
        } else if (EditTweak) {
            std::int32_t number = 0;
            if (!TryStrToInt(ToSystem(EditTweak->text()), number)) {
                FBackupNumber = FCurrentNumber;
                MessageDlg(QStringLiteral("You need to enter a number, without any text. Please edit and try "
                                          "again, your change was not saved!"),
                           TMsgDlgType::mtError, mbOK, window());
            } else {
                if (!RegistryWriteInteger(root, path, backup, 32, FCurrentNumber) ||
                    !RegistryWriteInteger(root, path, name, 32, number))
                    return ReportWriteFailure(WriteFailureReason(root));
                FBackupNumber = FCurrentNumber;
                FCurrentNumber = number;
            }
        } else {
            return; // no editor: nothing to write, and Apply never became enabled
        }
    } catch (const std::exception& error) {
        return ReportWriteFailure(error.what());
    }
    ButtonSave->setEnabled(false);
    ButtonUndo->setEnabled(true);
}

void TTweakPanel::UndoClick() {
    const HKEY root = FTweak->RegRootKey;
    const std::string& path = FTweak->RegKeyPath;
    const std::string& name = FTweak->RegValueName;
    try {
        if (FTweak->RegDataType == TRegDataType::rdString && (EditTweak || ComboBoxTweak)) {
            if (!RegistryWriteString(root, path, name, 32, FBackupText))
                return ReportWriteFailure(WriteFailureReason(root));
            FCurrentText = FBackupText;
            SetEditorText(FromSystem(FCurrentText));
        } else if (CheckboxTweak) {
            if (!RegistryWriteInteger(root, path, name, 32, FBackupSwitch ? 1 : 0))
                return ReportWriteFailure(WriteFailureReason(root));
            FCurrentSwitch = FBackupSwitch;
            CheckboxTweak->setTristate(false);
            CheckboxTweak->setChecked(FCurrentSwitch);
        } else if (EditTweak) {
            if (!RegistryWriteInteger(root, path, name, 32, FBackupNumber))
                return ReportWriteFailure(WriteFailureReason(root));
            FCurrentNumber = FBackupNumber;
            EditTweak->setText(QString::number(FCurrentNumber));
        }
    } catch (const std::exception& error) {
        ReportWriteFailure(error.what());
    }
}

void TTweakPanel::PickFilenameClick() {
    if (!EditTweak && !ComboBoxTweak)
        return;
    QString fileName = EditorText();
    if (ExecuteOpenDialog(fileName, window()))
        SetEditorText(fileName);
}

void TTweakPanel::LinkClick() {
    // A tweak file must not be able to start a program: only web addresses go to the desktop.
    if (LinkLabel && IsWebAddress(LinkLabel->text()))
        ShellOpen(LinkLabel->text().trimmed());
}

void TTweakPanel::EditorChange() {
    ButtonSave->setEnabled(true);
}

// ---------------------------------------------------------------------------------------------

namespace {

void DesignFormGorvane(QMainWindow& Form) {
    Form.setObjectName(QStringLiteral("FormGorvane"));
    Form.setWindowTitle(QStringLiteral("Gorvane"));
    QFont font(QStringLiteral("Tahoma"));
    font.setPixelSize(11);
    Form.setFont(font);
    Form.setMinimumSize(400, 400);
    Form.resize(632, 406);
}

QRadioButton* MakeRadio(const char* Name, const char* Caption, QWidget* Parent) {
    auto* button = new QRadioButton(QLatin1String(Caption), Parent);
    button->setObjectName(QLatin1String(Name));
    return button;
}

QComboBox* MakePickList(const char* Name, QWidget* Parent) {
    auto* list = new QComboBox(Parent);
    list->setObjectName(QLatin1String(Name));
    list->setEditable(false);
    list->setMaxVisibleItems(32);
    list->setInsertPolicy(QComboBox::InsertAtBottom);
    return list;
}

void FillPickList(QComboBox* List, const TStringList& Items) {
    for (const std::string& item : Items)
        List->addItem(FromSystem(item));
    List->setCurrentIndex(-1);
}

} // namespace

TFormGorvane::TFormGorvane(QWidget* AOwner, const QString& ProgramFolder)
    : TWindows7Form(AOwner, DesignFormGorvane),
      FProgramFolder(ProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : ProgramFolder) {
    CreateControls();
    FormCreate();
}

TFormGorvane::~TFormGorvane() {
    qApp->removeEventFilter(this);
    FormDestroy();
}

void TFormGorvane::CreateControls() {
    auto* client = new QWidget(this);
    auto* row = new QHBoxLayout(client);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(0);

    panelFilters = new QWidget(client);
    panelFilters->setObjectName(QStringLiteral("panelFilters"));
    panelFilters->setFixedWidth(185);
    auto* filters = new QVBoxLayout(panelFilters);
    filters->setContentsMargins(Margin, Margin, Margin, Margin);
    filters->setSpacing(2 * Margin);

    labelGorvaneTitle = new QLabel(QStringLiteral("Gorvane"), panelFilters);
    labelGorvaneTitle->setObjectName(QStringLiteral("labelGorvaneTitle"));
    labelGorvaneTitle->setAlignment(Qt::AlignCenter);
    QFont titleFont = font();
    titleFont.setPixelSize(17);
    labelGorvaneTitle->setFont(titleFont);

    rbFilterCategory = MakeRadio("rbFilterCategory", "Tweaks for this category:", panelFilters);
    cbCategory = MakePickList("cbCategory", panelFilters);
    rbFilterCompany = MakeRadio("rbFilterCompany", "Tweaks for this company:", panelFilters);
    cbCompany = MakePickList("cbCompany", panelFilters);
    rbFilterProduct = MakeRadio("rbFilterProduct", "Tweaks for this product:", panelFilters);
    cbProduct = MakePickList("cbProduct", panelFilters);
    rbFilterSearchTerm = MakeRadio("rbFilterSearchTerm", "Tweaks containing this term:", panelFilters);
    rbFilterSearchTerm->setChecked(true);
    editSearchTerm = new QLineEdit(panelFilters);
    editSearchTerm->setObjectName(QStringLiteral("editSearchTerm"));

    labelSearchError = PlainLabel({}, panelFilters);
    labelSearchError->setObjectName(QStringLiteral("labelSearchError"));
    labelSearchError->setWordWrap(true);
    labelSearchError->setStyleSheet(QStringLiteral("color: #b00000"));
    labelSearchError->hide();
    labelLoadProblems = PlainLabel({}, panelFilters);
    labelLoadProblems->setObjectName(QStringLiteral("labelLoadProblems"));
    labelLoadProblems->setWordWrap(true);
    labelLoadProblems->hide();

    labelCopyright = PlainLabel({}, panelFilters);
    labelCopyright->setObjectName(QStringLiteral("labelCopyright"));
    labelCopyright->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    labelCopyright->setWordWrap(true);

    for (QWidget* w : {static_cast<QWidget*>(labelGorvaneTitle), static_cast<QWidget*>(rbFilterCategory),
                       static_cast<QWidget*>(cbCategory), static_cast<QWidget*>(rbFilterCompany),
                       static_cast<QWidget*>(cbCompany), static_cast<QWidget*>(rbFilterProduct),
                       static_cast<QWidget*>(cbProduct), static_cast<QWidget*>(rbFilterSearchTerm),
                       static_cast<QWidget*>(editSearchTerm), static_cast<QWidget*>(labelSearchError),
                       static_cast<QWidget*>(labelLoadProblems)})
        filters->addWidget(w);
    filters->addStretch(1);
    filters->addWidget(labelCopyright);

    sbMain = new QScrollArea(client);
    sbMain->setObjectName(QStringLiteral("sbMain"));
    sbMain->setWidgetResizable(true);
    sbMain->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    sbMain->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    sbMain->setFocusPolicy(Qt::StrongFocus);
    FPanelHost = new QWidget;
    FPanelHost->setObjectName(QStringLiteral("sbMainContents"));
    FPanelHost->setAutoFillBackground(true);
    QPalette pal = FPanelHost->palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Base));
    FPanelHost->setPalette(pal);
    FPanelLayout = new QVBoxLayout(FPanelHost);
    FPanelLayout->setContentsMargins(Margin, Margin, Margin, Margin);
    FPanelLayout->setSpacing(Margin);
    labelInfo =
        new QLabel(QStringLiteral("You can start looking for tweaks by typing in keywords or selecting a "
                                  "category, software manufacturer, or product on the left side."),
                   FPanelHost);
    labelInfo->setObjectName(QStringLiteral("labelInfo"));
    labelInfo->setWordWrap(true);
    FPanelLayout->addWidget(labelInfo);
    FPanelLayout->addStretch(1);
    sbMain->setWidget(FPanelHost);

    row->addWidget(panelFilters);
    row->addWidget(sbMain, 1);
    row->setContentsMargins(0, 0, Margin, Margin);
    setCentralWidget(client);

    setTabOrder(sbMain, rbFilterCategory);
    setTabOrder(rbFilterCategory, cbCategory);
    setTabOrder(cbCategory, rbFilterCompany);
    setTabOrder(rbFilterCompany, cbCompany);
    setTabOrder(cbCompany, rbFilterProduct);
    setTabOrder(rbFilterProduct, cbProduct);
    setTabOrder(cbProduct, rbFilterSearchTerm);
    setTabOrder(rbFilterSearchTerm, editSearchTerm);

    connect(cbCategory, &QComboBox::activated, this, &TFormGorvane::cbCategoryChange);
    connect(cbCompany, &QComboBox::activated, this, &TFormGorvane::cbCompanyChange);
    connect(cbProduct, &QComboBox::activated, this, &TFormGorvane::cbProductChange);
    connect(editSearchTerm, &QLineEdit::textChanged, this, &TFormGorvane::editSearchTermChange);
    // toggled(true) comes only when a button becomes selected: a click on the selected one does nothing.
    connect(rbFilterCategory, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbFilterCategoryClick();
    });
    connect(rbFilterCompany, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbFilterCompanyClick();
    });
    connect(rbFilterProduct, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbFilterProductClick();
    });
    connect(rbFilterSearchTerm, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            rbFilterSearchTermClick();
    });
    qApp->installEventFilter(this);
}

void TFormGorvane::FormCreate() {
    AddAboutToSystemMenu(this);
    labelCopyright->setText(FromSystem(GetLegalCopyright(ToSystem(ApplicationExeName()))));

    // Qt paints every widget double-buffered: nothing to switch on.
    FTweakList = std::make_unique<TRegistryTweakList>();
    LoadCatalogue();
    editSearchTerm->setFocus();
}

void TFormGorvane::LoadCatalogue() {
    const std::string folder =
        ToSystem(QDir::toNativeSeparators(QDir(FProgramFolder).absolutePath())) + PathDelim;
    TFileSystemFileList files;
    files.SetRecursive(false);
    files.SetMasks(folder + "Tweaks" + PathDelim + "*.ini");
    // One unreadable file does not hide the others: it is skipped and named once, without a modal
    // box at start-up.
    QStringList problems;
    for (int i = 0; i < files.Count(); ++i) {
        const std::string fileName = files.Items(i)->Path + files.Items(i)->Filename;
        try {
            FTweakList->LoadFromFile(fileName, false);
        } catch (const std::exception& error) {
            // The file-open error names the file already.
            const QString message = FromSystem(error.what());
            const QString name = FromSystem(files.Items(i)->Filename);
            problems << (message.contains(name) ? message : name + QStringLiteral(": ") + message);
        }
    }
    if (!problems.isEmpty()) {
        labelLoadProblems->setText(QStringLiteral("These tweak files were skipped:\n") +
                                   problems.join(QLatin1Char('\n')));
        labelLoadProblems->show();
    }
    TStringList categories;
    FTweakList->ListCategories(categories);
    FillPickList(cbCategory, categories);
    FTweakList->SortByCompany();
    TStringList companies;
    FTweakList->ListCompanies(companies);
    FillPickList(cbCompany, companies);
    FTweakList->SortByProduct();
    TStringList products;
    FTweakList->ListProducts(products);
    FillPickList(cbProduct, products);
    FSortOrder = TSortOrder::Unknown;
}

void TFormGorvane::FormShow() {
    if (ConfigManager)
        ConfigManager->RestoreAllForms();
    // The designed position, centred on the screen, applies after the restore.
    if (!(windowState() & Qt::WindowMaximized)) {
        if (const QScreen* screen = this->screen()) {
            const QRect area = screen->availableGeometry();
            move(area.center() - QPoint(width() / 2, height() / 2));
        }
    }
}

void TFormGorvane::FormClose() {
    ClearPanels();
    if (ConfigManager)
        ConfigManager->SaveAllForms();
}

void TFormGorvane::FormDestroy() {
    ClearPanels();
    FTweakList.reset();
}

void TFormGorvane::setVisible(bool Visible) {
    if (Visible && !FShown) {
        FShown = true;
        FormShow();
    }
    TWindows7Form::setVisible(Visible);
    if (Visible && FShown && !FClosed && editSearchTerm->text().isEmpty() && FPanels.empty())
        editSearchTerm->setFocus();
}

void TFormGorvane::closeEvent(QCloseEvent* Event) {
    TWindows7Form::closeEvent(Event);
    if (Event->isAccepted() && !FClosed) {
        FClosed = true;
        FormClose();
    }
}

void TFormGorvane::WndProc(TMessage& Message) {
    TWindows7Form::WndProc(Message);
    if (Message.Msg == WmSysCommand && Message.WParam == CmdAbout) {
        ShowAboutDialog(QApplication::applicationDisplayName());
    }
}

bool TFormGorvane::eventFilter(QObject* Watched, QEvent* Event) {
    if (Event->type() == QEvent::Wheel) {
        auto* widget = qobject_cast<QWidget*>(Watched);
        if (widget && widget->window() == this && widget->isWindow() == false)
            return FormMouseWheel(Watched, static_cast<QWheelEvent*>(Event));
    }
    return TWindows7Form::eventFilter(Watched, Event);
}

bool TFormGorvane::FormMouseWheel(QObject* Receiver, QWheelEvent* Event) {
    // A wheel event reaches every widget from the one under the mouse up to the window; the scroll
    // box moves once per event, where it first arrives.
    if (Receiver != QApplication::widgetAt(Event->globalPosition().toPoint()))
        return false;
    QScrollBar* bar = sbMain->verticalScrollBar();
    bar->setValue(bar->value() - Event->angleDelta().y());
    // Inside the scroll box its own handling would scroll a second time.
    auto* widget = static_cast<QWidget*>(Receiver);
    return widget == sbMain || sbMain->isAncestorOf(widget);
}

// Qt lays a visible parent out again for every child shown or removed, which makes a long list
// quadratic; the panels therefore change while the list is hidden, and show with it at once.
class TFormGorvane::THiddenPanelList {
public:
    explicit THiddenPanelList(TFormGorvane& Form) : FForm(Form), FWasVisible(Form.FPanelHost->isVisible()) {
        FForm.sbMain->setUpdatesEnabled(false);
        if (FWasVisible)
            FForm.FPanelHost->hide();
    }
    ~THiddenPanelList() {
        if (FWasVisible)
            FForm.FPanelHost->show();
        FForm.sbMain->setUpdatesEnabled(true);
    }
    THiddenPanelList(const THiddenPanelList&) = delete;
    THiddenPanelList& operator=(const THiddenPanelList&) = delete;

private:
    TFormGorvane& FForm;
    bool FWasVisible;
};

void TFormGorvane::DestroyPanels() {
    // The newest panel is the layout's first item: deleted in this order, each panel leaves the
    // layout at once (Qt takes a deleted child out of its parent's layout), and the layout is not
    // searched through for every one of a long list.
    for (auto it = FPanels.rbegin(); it != FPanels.rend(); ++it)
        delete *it;
    FPanels.clear();
}

void TFormGorvane::ClearPanels() {
    if (FPanels.empty())
        return;
    const THiddenPanelList hidden(*this);
    DestroyPanels();
}

void TFormGorvane::RebuildPanels() {
    {
        const THiddenPanelList hidden(*this);
        DestroyPanels();
        const int count = FTweakList->VisibleCount();
        FPanels.reserve(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            auto* panel = new TTweakPanel(sbMain, FTweakList->Visible(i));
            // Each new panel docks above everything placed before it.
            panel->SetParent(FPanelHost, FPanelLayout, 0);
            FPanels.push_back(panel);
        }
    }
    sbMain->verticalScrollBar()->setValue(0);
}

void TFormGorvane::SelectFilter(QRadioButton* Button) {
    if (Button->isChecked())
        return;
    const QSignalBlocker blocker(Button);
    Button->setChecked(true);
}

void TFormGorvane::SortFor(TSortOrder Order) {
    if (Order == FSortOrder)
        return;
    FTweakList->SortByTitle();
    if (Order == TSortOrder::TitleProduct || Order == TSortOrder::TitleProductCompany)
        FTweakList->SortByProduct();
    if (Order == TSortOrder::TitleProductCompany)
        FTweakList->SortByCompany();
    FSortOrder = Order;
}

void TFormGorvane::FilterByCategoryAction() {
    SelectFilter(rbFilterCategory);
    FTweakList->FilterByCategory(ToSystem(cbCategory->currentText()));
    RebuildPanels();
    sbMain->setFocus();
}

void TFormGorvane::FilterByCompanyAction() {
    SelectFilter(rbFilterCompany);
    SortFor(TSortOrder::TitleProduct);
    FTweakList->FilterByCompany(ToSystem(cbCompany->currentText()));
    RebuildPanels();
    sbMain->setFocus();
}

void TFormGorvane::FilterByProductAction() {
    SelectFilter(rbFilterProduct);
    SortFor(TSortOrder::Title);
    FTweakList->FilterByProduct(ToSystem(cbProduct->currentText()));
    RebuildPanels();
    sbMain->setFocus();
}

void TFormGorvane::FilterBySearchTermAction() {
    SelectFilter(rbFilterSearchTerm);
    SortFor(TSortOrder::TitleProductCompany);
    try {
        FTweakList->FilterBySearchTerm(ToSystem(editSearchTerm->text()));
    } catch (const ECompareRuleError& error) {
        // A pattern is incomplete on its way to a longer one: the panels stay until it compiles.
        labelSearchError->setText(FromSystem(error.what()));
        labelSearchError->show();
        return;
    }
    labelSearchError->hide();
    labelSearchError->clear();
    RebuildPanels();
    // While the user types, the keystrokes must keep reaching the search box.
    if (!editSearchTerm->hasFocus())
        sbMain->setFocus();
}

void TFormGorvane::cbCategoryChange() {
    FilterByCategoryAction();
}
void TFormGorvane::cbCompanyChange() {
    FilterByCompanyAction();
}
void TFormGorvane::cbProductChange() {
    FilterByProductAction();
}
void TFormGorvane::editSearchTermChange() {
    FilterBySearchTermAction();
}
void TFormGorvane::rbFilterCategoryClick() {
    FilterByCategoryAction();
}
void TFormGorvane::rbFilterCompanyClick() {
    FilterByCompanyAction();
}
void TFormGorvane::rbFilterProductClick() {
    FilterByProductAction();
}
void TFormGorvane::rbFilterSearchTermClick() {
    FilterBySearchTermAction();
}
