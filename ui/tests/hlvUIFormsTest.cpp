#include "FakeWindowsApi.h"
#include "ui/hlvUIWindows7.h"

#include <QApplication>
#include <QCheckBox>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <map>

namespace {

TOSVersionInfo Windows(std::uint32_t Major, std::uint32_t Minor) {
    return {Major, Minor, 0};
}

TFormDesign DesignFont(const QString& Family, int Points) {
    return [=](QMainWindow& Form) {
        QFont Font(Family);
        Font.setPointSize(Points);
        Form.setFont(Font);
        QPalette Palette = Form.palette();
        Palette.setColor(QPalette::Window, QColor(0x12, 0x34, 0x56));
        Form.setPalette(Palette);
    };
}

// Records the system commands that reach the window's standard handling.
class TRecordingForm : public TWindows7Form {
public:
    using TWindows7Form::TWindows7Form;
    std::vector<std::uintptr_t> Inherited;

protected:
    void DefaultSysCommand(TMessage& Message) override { Inherited.push_back(Message.WParam); }
};

} // namespace

TEST(Forms, FontColourAndTaskbarComponentsFollowTheWindowsVersion) {
    struct {
        const char* Name;
        std::optional<TOSVersionInfo> Version;
        bool Composition;
        const char* DesignFamily;
        int DesignSize;
        const char* Family;
        int Size;
        bool Black;
        bool TaskbarComponents;
    } const Cases[] = {
        {"no Windows", std::nullopt, true, "Tahoma", 8, "Tahoma", 8, false, false},
        {"XP", Windows(5, 1), true, "Tahoma", 8, "Tahoma", 8, false, false},
        {"Vista", Windows(6, 0), false, "Tahoma", 8, "Segoe UI", 9, false, false},
        {"Vista glass", Windows(6, 0), true, "Tahoma", 8, "Segoe UI", 9, true, false},
        {"Vista segoe", Windows(6, 0), false, "segoe UI", 10, "segoe UI", 10, false, false},
        {"7", Windows(6, 1), false, "MS Shell Dlg 2", 8, "Segoe UI", 9, false, true},
        {"7 glass", Windows(6, 1), true, "SEGOE UI", 8, "SEGOE UI", 8, true, true},
        {"10", Windows(10, 0), false, "Tahoma", 8, "Segoe UI", 9, false, true},
    };
    for (const auto& Case : Cases) {
        SCOPED_TRACE(Case.Name);
        TFakeWindowsApi Api;
        Api.Version = Case.Version;
        Api.Composition = Case.Composition;
        TWindows7Form Form(nullptr, DesignFont(Case.DesignFamily, Case.DesignSize));
        EXPECT_EQ(Form.font().family(), Case.Family);
        EXPECT_EQ(Form.font().pointSize(), Case.Size);
        EXPECT_EQ(Form.palette().color(QPalette::Window) == QColor(Qt::black), Case.Black);
        EXPECT_EQ(Api.FrameExtensions, Case.Black ? 1 : 0);
        if (Case.Black) {
            EXPECT_EQ(Api.LastMargins.Left + Api.LastMargins.Top + Api.LastMargins.Right +
                          Api.LastMargins.Bottom,
                      0);
        }
        ASSERT_EQ(Form.TaskbarProgress() != nullptr, Case.TaskbarComponents);
        ASSERT_EQ(Form.JumpLists() != nullptr, Case.TaskbarComponents);
        if (Case.TaskbarComponents) {
            EXPECT_EQ(Form.TaskbarProgress()->parent(), &Form);
            EXPECT_EQ(Form.TaskbarProgress()->ProgressState, TdwTaskbarProgressIndicator::psNone);
            EXPECT_EQ(Form.TaskbarProgress()->Position, 0);
            EXPECT_EQ(Form.JumpLists()->parent(), &Form);
            EXPECT_TRUE(Form.JumpLists()->Tasks.isEmpty());
        }
        EXPECT_EQ(Form.ExStyle() & (WsExAppWindow | WsExToolWindow), WsExAppWindow);
    }
}

TEST(Forms, SegoeUIMissingFallsBackToTahomaAtTheSameSize) {
    TFakeWindowsApi Api;
    Api.Version = Windows(6, 0);
    Api.SubstituteFamily = QStringLiteral("DejaVu Sans");
    TVistaForm Form(nullptr, DesignFont("MS Sans Serif", 8));
    EXPECT_EQ(Form.font().family(), "Tahoma");
    EXPECT_EQ(Form.font().pointSize(), 8);
}

TEST(Forms, CompositionNeedsVistaAndTheDwmLibrary) {
    TFakeWindowsApi Api;
    Api.Composition = true;
    Api.Version = Windows(5, 1);
    EXPECT_FALSE(IsCompositionEnabled());
    Api.Version = Windows(6, 0);
    EXPECT_TRUE(IsCompositionEnabled());
    Api.CompositionAvailable = false;
    EXPECT_FALSE(IsCompositionEnabled());
    ExtendFrameIntoClientArea(nullptr, {});
    EXPECT_EQ(Api.FrameExtensions, 0);
}

TEST(Forms, ApplicationWindowLosesItsButtonAtCreationAndFirstPaint) {
    TFakeWindowsApi Api;
    Api.Version = Windows(5, 1);
    Api.Application = 0x77;
    Api.ApplicationExStyle = WsExAppWindow | 0x8;
    TWindows7Form Form;
    ASSERT_EQ(Api.StylesWritten.size(), 1u);
    EXPECT_EQ(Api.StylesWritten[0], WsExToolWindow | 0x8);
    ASSERT_EQ(Api.Shows.size(), 2u);
    EXPECT_EQ(Api.Shows[0].Handle, 0x77u);
    EXPECT_EQ(Api.Shows[0].Cmd, SwHide);
    EXPECT_EQ(Api.Shows[1].Cmd, SwShow);
    EXPECT_TRUE(Form.FirstPaint());

    Form.resize(200, 100);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));
    QTRY_VERIFY_WITH_TIMEOUT(!Form.FirstPaint(), 5000);
    EXPECT_EQ(Api.StylesWritten.size(), 2u);
    Form.repaint();
    EXPECT_EQ(Api.StylesWritten.size(), 2u);
}

TEST(Forms, MinimiseAndRestoreActOnTheFormAndIgnoreTheLowFourBits) {
    TFakeWindowsApi Api;
    TRecordingForm Form;
    struct {
        std::uintptr_t Command;
        int Show; // -1: reaches the standard handling
    } const Cases[] = {{0xF020, SwMinimize}, {0xF021, SwMinimize}, {0xF02F, SwMinimize},
                       {0xF120, SwRestore},  {0xF12A, SwRestore},  {0xF030, -1},
                       {0xF060, -1},         {5666, -1},           {0x1F020, SwMinimize}};
    for (const auto& Case : Cases) {
        Api.Shows.clear();
        Form.Inherited.clear();
        EXPECT_EQ(Form.Perform(WmSysCommand, Case.Command), 0);
        if (Case.Show >= 0) {
            ASSERT_EQ(Api.Shows.size(), 1u) << Case.Command;
            EXPECT_EQ(Api.Shows[0].Window, &Form);
            EXPECT_EQ(Api.Shows[0].Cmd, Case.Show);
            EXPECT_TRUE(Form.Inherited.empty());
        } else {
            EXPECT_TRUE(Api.Shows.empty()) << Case.Command;
            EXPECT_EQ(Form.Inherited, std::vector<std::uintptr_t>{Case.Command});
        }
    }
}

TEST(Forms, KeyboardCueChangeRepaintsButtonControlsOnly) {
    TFakeWindowsApi Api;
    TWindows7Form Form;
    auto* Central = new QWidget;
    auto* Panel = new QWidget(Central);
    auto* Inner = new QWidget(Panel);
    auto* Push = new QPushButton("push", Inner);
    auto* Check = new QCheckBox("check", Panel);
    auto* Radio = new QRadioButton("radio", Inner);
    auto* Bitmap = new TBitBtn("bitmap", Panel);
    auto* InsideBitmap = new QPushButton("inside", Bitmap);
    auto* Label = new QLabel("label", Inner);
    // Side by side, so that repainting one control does not repaint another beneath it.
    auto* InnerLayout = new QVBoxLayout(Inner);
    InnerLayout->addWidget(Push);
    InnerLayout->addWidget(Radio);
    InnerLayout->addWidget(Label);
    auto* PanelLayout = new QVBoxLayout(Panel);
    PanelLayout->addWidget(Inner);
    PanelLayout->addWidget(Check);
    PanelLayout->addWidget(Bitmap);
    Bitmap->setMinimumHeight(60);
    InsideBitmap->setGeometry(4, 4, 50, 20);
    auto* Layout = new QVBoxLayout(Central);
    Layout->addWidget(Panel);
    Form.setCentralWidget(Central);
    Form.resize(300, 400);
    Form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&Form));

    std::map<QObject*, int> Paints;
    struct TCounter : QObject {
        std::map<QObject*, int>& Counts;
        explicit TCounter(std::map<QObject*, int>& C) : Counts(C) {}
        bool eventFilter(QObject* Watched, QEvent* Event) override {
            if (Event->type() == QEvent::Paint)
                ++Counts[Watched];
            return false;
        }
    } Counter(Paints);
    const std::vector<QWidget*> Watched{Push, Check, Radio, Bitmap, InsideBitmap, Label};
    for (QWidget* Widget : Watched)
        Widget->installEventFilter(&Counter);
    QApplication::processEvents();
    Paints.clear();

    Form.Perform(WmSysCommand + 1); // some other message repaints nothing
    EXPECT_TRUE(Paints.empty());
    Form.Perform(WmUpdateUIState);
    EXPECT_EQ(Paints[Push], 1);
    EXPECT_EQ(Paints[Check], 1);
    EXPECT_EQ(Paints[Radio], 1);
    EXPECT_EQ(Paints[Bitmap], 0);
    EXPECT_EQ(Paints[InsideBitmap], 0);
    EXPECT_EQ(Paints[Label], 0);
}
