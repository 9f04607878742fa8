// Restoring and saving the remembered settings, and the Quintrel launcher.
#include <QLineEdit>
#include <QPushButton>

#include "core/error.h"
#include "core/number.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/main_window.h"

namespace corvane {

namespace {

#ifdef Q_OS_WIN
const QString kQuintrelFolder = QStringLiteral("c:\\Program Files\\Quintrel");
#else
const QString kQuintrelFolder = QStringLiteral("/opt/quintrel");
#endif

const char* const kQuintrelWarning = QT_TRANSLATE_NOOP(
    "corvane::MainWindow",
    "Once the program has been closed and the path saved it can not be changed.\n\n"
    "To change the path delete this key in the Registry and restart this program:\n"
    "HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Corvane\\Settings\\quintrelPath");

// The stored Notepad choice as the window holds it. A number outside the 16-bit range is held
// as the nearer bound: like 3 or -1 it is no value of the check box, so closing writes the
// box's value over it.
qint16 storedOpenFile(const QString& text) {
    try {
        return leadingNumberToInt16(text);
    } catch (const OverflowError&) {
        return text.trimmed().startsWith(QLatin1Char('-')) ? qint16(-32768) : qint16(32767);
    }
}

}  // namespace

void MainWindow::loadSettings() {
    startFolder_ = settings_.get(keys::Directory, platform_.currentDirectory());

    // A remembered folder that has vanished or cannot be entered is passed over, so that the
    // other settings are still restored and the program starts as usual.
    const QString currentDir = platform_.currentDirectory();
    if (!startFolder_.isEmpty() && startFolder_ != currentDir) {
        platform_.changeDirectory(startFolder_);
    }

    savedSeparator_ = settings_.get(keys::Separator, QStringLiteral(";"));
    if (savedSeparator_ == QLatin1String(";")) {
        selectSeparatorOption(0);
    } else if (savedSeparator_ == QLatin1String(";:")) {
        selectSeparatorOption(1);
    } else {
        selectSeparatorOption(2);
        separatorEdit_->setText(savedSeparator_);
    }

    // A stored value that is no value of the check box (edited outside the program) leaves
    // the box ticked, as when nothing is stored.
    savedOpenNewFile_ = storedOpenFile(settings_.get(keys::OpenNewFile, QStringLiteral("1")));
    const bool boxValue = savedOpenNewFile_ >= 0 && savedOpenNewFile_ <= 2;
    openNewFileCheck_->setValue(boxValue ? savedOpenNewFile_ : 1);

    quintrelPath_ = settings_.get(keys::QuintrelPath);
    if (quintrelPath_.isEmpty()) {
        quintrelPathUnset_ = true;
    }
}

void MainWindow::saveSettings() {
    if (!newFileFolder_.isEmpty() && newFileFolder_ != startFolder_) {
        settings_.save(keys::Directory, newFileFolder_);
    }
    if (separatorEdit_->text() != savedSeparator_) {
        settings_.save(keys::Separator, separatorEdit_->text());
    }
    if (openNewFileCheck_->value() != savedOpenNewFile_) {
        settings_.save(keys::OpenNewFile, QString::number(openNewFileCheck_->value()));
    }
    if (quintrelPathUnset_ && !quintrelPath_.isEmpty()) {
        settings_.save(keys::QuintrelPath, quintrelPath_);
    }
}

void MainWindow::onQuintrelClicked() {
    if (quintrelPathUnset_) {
        OpenFileRequest request;
        request.title = tr("Find Quintrel");
        request.initDir = kQuintrelFolder;
        request.filter = tr("Program Files (*.exe)|*.exe|All Files (*.*)|*.*");
        const std::optional<OpenFileResult> chosen = platform_.showOpen(request);
        if (!chosen) {
            return;
        }
        quintrelPath_ = chosen->path;
        platform_.message(tr(kQuintrelWarning), tr("Quintrel"), MessageIcon::Exclamation,
                          MessageButtons::Ok);
    }

    // The path alone, started directly: no shell or command line parses it. A program that
    // does not start leaves the focus where it is.
    if (!platform_.startProgram(quintrelPath_, {})) {
        return;
    }
    focusIfPossible(runButton_->isEnabled() ? static_cast<QWidget*>(runButton_) : initFindButton_);
}

}  // namespace corvane
