#include "app/QtConfigForms.h"

#include <QApplication>
#include <QDialog>
#include <QMainWindow>
#include <QPointer>

namespace {

class TQtConfigForm : public TConfigForm {
public:
    explicit TQtConfigForm(QWidget* Window) : FWindow(Window) {}

    std::string ComponentName() const override { return FWindow->objectName().toStdString(); }
    std::int32_t GetLeft() const override { return FWindow->pos().x(); }
    std::int32_t GetTop() const override { return FWindow->pos().y(); }
    std::int32_t GetWidth() const override { return FWindow->width(); }
    std::int32_t GetHeight() const override { return FWindow->height(); }
    TWindowState GetWindowState() const override {
        const Qt::WindowStates state = FWindow->windowState();
        if (state & Qt::WindowMinimized)
            return TWindowState::wsMinimized;
        if (state & (Qt::WindowMaximized | Qt::WindowFullScreen))
            return TWindowState::wsMaximized;
        return TWindowState::wsNormal;
    }
    void SetLeft(std::int32_t Value) override { FWindow->move(Value, FWindow->pos().y()); }
    void SetTop(std::int32_t Value) override { FWindow->move(FWindow->pos().x(), Value); }
    void SetWidth(std::int32_t Value) override { FWindow->resize(Value, FWindow->height()); }
    void SetHeight(std::int32_t Value) override { FWindow->resize(FWindow->width(), Value); }
    void SetWindowState(TWindowState Value) override {
        Qt::WindowStates state = FWindow->windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized);
        if (Value == TWindowState::wsMaximized)
            state |= Qt::WindowMaximized;
        else if (Value == TWindowState::wsMinimized)
            state |= Qt::WindowMinimized;
        FWindow->setWindowState(state);
    }

private:
    QWidget* FWindow;
};

} // namespace

std::unique_ptr<TConfigForm> ConfigFormOf(QWidget* Window) {
    return std::make_unique<TQtConfigForm>(Window);
}

TConfigFormList ApplicationConfigForms() {
    TConfigFormList forms;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->objectName().isEmpty())
            continue;
        if (qobject_cast<QMainWindow*>(widget) || qobject_cast<QDialog*>(widget))
            forms.push_back(ConfigFormOf(widget));
    }
    return forms;
}
