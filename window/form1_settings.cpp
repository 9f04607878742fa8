// The procedures that restore and save the remembered settings, and the Quintrel launcher.
#include <QLineEdit>
#include <QPushButton>

#include "core/number.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/form1.h"

namespace corvane {

namespace {

#ifdef Q_OS_WIN
const QString kQuintrelFolder = QStringLiteral("c:\\Program Files\\Quintrel");
#else
const QString kQuintrelFolder = QStringLiteral("/opt/quintrel");
#endif

const QString kQuintrelWarning = QStringLiteral(
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

void Form1::Form_Load() {
    vars_.startDir = settings_.get(keys::Directory, platform_.currentDirectory());

    // A remembered folder that has vanished or cannot be entered is passed over, so that the
    // other settings are still restored and the program starts as usual.
    const QString currentDir = platform_.currentDirectory();
    if (!vars_.startDir.isEmpty() && vars_.startDir != currentDir) {
        platform_.changeDirectory(vars_.startDir);
    }

    vars_.savedSeparator = settings_.get(keys::Separator, QStringLiteral(";"));
    if (vars_.savedSeparator == QLatin1String(";")) {
        selectOption(0);
    } else if (vars_.savedSeparator == QLatin1String(";:")) {
        selectOption(1);
    } else {
        selectOption(2);
        Text_Separator->setText(vars_.savedSeparator);
    }

    // A stored value that is no value of the check box (edited outside the program) leaves
    // the box ticked, as when nothing is stored.
    vars_.savedOpenFile = storedOpenFile(settings_.get(keys::OpenNewFile, QStringLiteral("1")));
    const bool boxValue = vars_.savedOpenFile >= 0 && vars_.savedOpenFile <= 2;
    Check_OpenFile->setValue(boxValue ? vars_.savedOpenFile : 1);

    vars_.toolPath = settings_.get(keys::QuintrelPath);
    if (vars_.toolPath.isEmpty()) {
        vars_.toolPathUnset = true;
    }
}

void Form1::Form_Unload(qint16& /*Cancel*/) {
    if (!vars_.newDir.isEmpty() && vars_.newDir != vars_.startDir) {
        settings_.save(keys::Directory, vars_.newDir);
    }
    if (Text_Separator->text() != vars_.savedSeparator) {
        settings_.save(keys::Separator, Text_Separator->text());
    }
    if (Check_OpenFile->value() != vars_.savedOpenFile) {
        settings_.save(keys::OpenNewFile, QString::number(Check_OpenFile->value()));
    }
    if (vars_.toolPathUnset && !vars_.toolPath.isEmpty()) {
        settings_.save(keys::QuintrelPath, vars_.toolPath);
    }
}

void Form1::Command_Quintrel_Click() {
    // A cancelled dialog, a program that does not start or a refused focus ends the press
    // quietly; what was done before stays done.
    try {
        if (vars_.toolPathUnset) {
            CommonDialog1.title = QStringLiteral("Find Quintrel");
            CommonDialog1.initDir = kQuintrelFolder;
            CommonDialog1.cancelError = true;
            CommonDialog1.fileName = QString();
            CommonDialog1.filter =
                QStringLiteral("Program Files (*.exe)|*.exe|All Files (*.*)|*.*");
            CommonDialog1.flags = 12;
            const std::optional<OpenFileResult> chosen = platform_.showOpen(CommonDialog1);
            if (!chosen) {
                return;
            }
            vars_.toolPath = chosen->path;
            platform_.message(kQuintrelWarning, QStringLiteral("Quintrel"),
                              MessageIcon::Exclamation, MessageButtons::Ok);
        }

        // The path alone, started directly: no shell or command line parses it.
        if (!platform_.startProgram(vars_.toolPath, {})) {
            return;
        }

        if (Command_Run->isEnabled()) {
            giveFocus(Command_Run);
        } else {
            giveFocus(Command_File[0]);
        }
    } catch (const std::exception&) {
    }
}

}  // namespace corvane
