#pragma once
// The main window with its filter controls and the scrolling list of tweak panels, and the panel
// that reads, edits, applies and undoes one tweak.
#include "ui/hlvUIWindows7.h"

#include <QFrame>
#include <QLabel>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QScrollArea;
class QToolButton;
class QVBoxLayout;
class QWidget;
class TRegistryTweak;
class TRegistryTweakList;

// The panels' labels and buttons share what their texts measure, across rebuilds; this forgets it
// all, so that the next panels measure their texts anew.
void ForgetTextMeasures();

// A label that cuts its one line of text with a trailing ellipsis when it does not fit.
class TEllipsisLabel : public QWidget {
    Q_OBJECT
public:
    explicit TEllipsisLabel(QWidget* Parent = nullptr);
    void setText(const QString& Text);
    QString text() const { return FText; }
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    QString FText;
};

// The technical reference address: underlined, hand cursor, reports a click.
class TLinkLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;
signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* Event) override;
};

// Whether the shell may be asked to open the address: only web addresses (http, https).
bool IsWebAddress(const QString& Address);

// A tweak's number text: optional blanks, an optional sign, then decimal digits or a hexadecimal
// number after "$", "0x" or "0X", nothing after it. False when the text is no such 32-bit number.
bool TryStrToInt(const std::string& Text, std::int32_t& Value);

class TTweakPanel : public QFrame {
    Q_OBJECT
public:
    // Creates the labels, the toolbar and the editor for Tweak without placing them. Owner is the
    // component that will own the panel (the main window's scroll box).
    TTweakPanel(QWidget* Owner, TRegistryTweak* Tweak);
    ~TTweakPanel() override;

    // Places the panel into AParent (appended to its layout, if any); the first placement builds
    // the layout, reads the registry and connects the handlers. nullptr only takes it out.
    void SetParent(QWidget* AParent, QVBoxLayout* ParentLayout = nullptr, int Index = -1);

    QWidget* Owner() const { return FOwner; }
    TRegistryTweak* Tweak() const { return FTweak; }

    // The fields of the panel, in design order.
    TEllipsisLabel* LabelProduct = nullptr;
    TEllipsisLabel* LabelTitle = nullptr;
    QLabel* LabelDescription = nullptr;
    TLinkLabel* LinkLabel = nullptr;
    QLineEdit* EditTweak = nullptr;
    QComboBox* ComboBoxTweak = nullptr;
    QCheckBox* CheckboxTweak = nullptr;
    TRegistryTweak* FTweak = nullptr;
    QWidget* ToolbarTweak = nullptr;
    QToolButton* ButtonSave = nullptr;
    QToolButton* ButtonUndo = nullptr;
    QToolButton* ButtonPickFilenme = nullptr;
    std::string FCurrentText;
    std::int32_t FCurrentNumber = 0;
    bool FCurrentSwitch = false;
    std::string FBackupText;
    std::int32_t FBackupNumber = 0;
    bool FBackupSwitch = false;

public slots:
    void ApplyClick();
    void UndoClick();
    void PickFilenameClick();
    void LinkClick();
    void EditorChange();

protected:
    void paintEvent(QPaintEvent* Event) override;

private:
    void BuildLayout();
    void ReadValues();
    void ConnectHandlers();
    QString EditorText() const;
    void SetEditorText(const QString& Text);
    // Tells the user that a value was not written, and why.
    void ReportWriteFailure(const std::string& Reason);

    QWidget* FOwner = nullptr;
    bool FPlaced = false;
};

class TFormGorvane : public TWindows7Form {
    Q_OBJECT
public:
    // ProgramFolder is where the "Tweaks" folder is looked for: the executable's folder when empty.
    explicit TFormGorvane(QWidget* AOwner = nullptr, const QString& ProgramFolder = {});
    ~TFormGorvane() override;

    // The controls, in design order.
    QComboBox* cbCategory = nullptr;
    QComboBox* cbCompany = nullptr;
    QComboBox* cbProduct = nullptr;
    QLineEdit* editSearchTerm = nullptr;
    QLabel* labelCopyright = nullptr;
    QLabel* labelGorvaneTitle = nullptr;
    QWidget* panelFilters = nullptr;
    QRadioButton* rbFilterCategory = nullptr;
    QRadioButton* rbFilterCompany = nullptr;
    QRadioButton* rbFilterProduct = nullptr;
    QRadioButton* rbFilterSearchTerm = nullptr;
    QScrollArea* sbMain = nullptr;
    QLabel* labelInfo = nullptr;
    // Beside the search box: why the term does not compile. Below it: tweak files that could not be
    // read at start-up.
    QLabel* labelSearchError = nullptr;
    QLabel* labelLoadProblems = nullptr;

    TRegistryTweakList* TweakList() const { return FTweakList.get(); }
    // The panels in the scroll box, in the order placed (the first tweak of the visible set first).
    const std::vector<TTweakPanel*>& Panels() const { return FPanels; }

    void ClearPanels();
    void RebuildPanels();

    void WndProc(TMessage& Message) override;

public slots:
    void cbCategoryChange();
    void cbCompanyChange();
    void cbProductChange();
    void editSearchTermChange();
    void rbFilterCategoryClick();
    void rbFilterCompanyClick();
    void rbFilterProductClick();
    void rbFilterSearchTermClick();

protected:
    void FormCreate();
    void FormShow();
    void FormClose();
    void FormDestroy();
    // Scrolls sbMain by the wheel's delta; true when nothing else should handle the event.
    bool FormMouseWheel(QObject* Receiver, QWheelEvent* Event);

    void setVisible(bool Visible) override;
    void closeEvent(QCloseEvent* Event) override;
    bool eventFilter(QObject* Watched, QEvent* Event) override;

private:
    enum class TSortOrder { Unknown, Title, TitleProduct, TitleProductCompany };
    class THiddenPanelList;

    void DestroyPanels();

    void CreateControls();
    void LoadCatalogue();
    void SelectFilter(QRadioButton* Button);
    // Runs the sorts of a filter action; sorting twice in a row the same way changes nothing, since
    // the sorts are stable, so a repeated order is not sorted again.
    void SortFor(TSortOrder Order);
    void FilterByCategoryAction();
    void FilterByCompanyAction();
    void FilterByProductAction();
    void FilterBySearchTermAction();

    QString FProgramFolder;
    std::unique_ptr<TRegistryTweakList> FTweakList;
    std::vector<TTweakPanel*> FPanels;
    QWidget* FPanelHost = nullptr;
    QVBoxLayout* FPanelLayout = nullptr;
    TSortOrder FSortOrder = TSortOrder::Unknown;
    bool FShown = false;
    bool FClosed = false;
};
