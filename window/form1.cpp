#include "window/form1.h"

#include <QCloseEvent>

#include "settings/settings_store.h"

namespace corvane {

Form1::Form1(Platform& platform, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), platform_(platform), settings_(settings) {
    buildControls();
    wireEvents();
    reported([this] { Form_Load(); });
}

Form1::~Form1() = default;

void Form1::buildControls() {}
void Form1::wireEvents() {}
void Form1::giveFocus(QWidget*) {}
void Form1::selectOption(int) {}
void Form1::reported(const std::function<void()>& procedure) {
    procedure();
}
void Form1::takeChosenFile(qint16, const OpenFileResult&) {}

void Form1::EnableRun() {}
void Form1::Command_Clear_Click() {}
void Form1::Command_File_Click(qint16) {}
void Form1::Command_Run_Click() {}
void Form1::Label_File_DblClick(qint16) {}
void Form1::Option_Separator_Click(qint16) {}
void Form1::Text_File_Change() {}
void Form1::Text_File_DblClick() {}

void Form1::closeEvent(QCloseEvent* event) {
    qint16 cancel = 0;
    reported([this, &cancel] { Form_Unload(cancel); });
    event->accept();
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    return QWidget::eventFilter(watched, event);
}

}  // namespace corvane
