#include "platform/qt_platform.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QRegularExpression>

#ifdef Q_OS_WIN
#include <string>

#include <windows.h>
#endif

namespace corvane {

namespace {

// "Data Files (*.dat)" shows its patterns itself; Qt reads the patterns from that last
// parenthesis, so it is replaced by the patterns the filter really gives.
QString withoutShownPatterns(const QString& name) {
    static const QRegularExpression shownPatterns(QStringLiteral("\\s*\\([^()]*\\)\\s*$"));
    QString bare = name;
    bare.remove(shownPatterns);
    return bare.isEmpty() ? name : bare;
}

QString qtPattern(const QString& pattern) {
#ifndef Q_OS_WIN
    // "*.*" means every file, but Qt matches it literally and would hide names without a dot.
    if (pattern == QLatin1String("*.*")) {
        return QStringLiteral("*");
    }
#endif
    return pattern;
}

}  // namespace

QStringList qtNameFilters(const QString& filter) {
    QStringList qtFilters;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        QStringList patterns;
        for (const QString& pattern : parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            patterns.append(qtPattern(pattern.trimmed()));
        }
        if (patterns.isEmpty()) {
            continue;
        }
        qtFilters.append(withoutShownPatterns(parts[i]) + QStringLiteral(" (") +
                         patterns.join(QLatin1Char(' ')) + QLatin1Char(')'));
    }
    return qtFilters;
}

std::optional<OpenFileResult> QtPlatform::showOpen(const OpenFileRequest& request) {
    // A start folder that does not exist would be taken as a file name to type in; the dialog
    // then opens where it would by itself, with the empty name it was given.
    const QString initDir = QFileInfo(request.initDir).isDir()
                                ? QDir::fromNativeSeparators(request.initDir)
                                : QString();
    QFileDialog dialog(QApplication::activeWindow(), request.title, initDir);
    dialog.setObjectName(QStringLiteral("OpenFileDialog"));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    // A typed name is taken even when no such file exists; whoever opens it reports that.
    dialog.setFileMode(QFileDialog::AnyFile);
    const QStringList filters = qtNameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
#ifndef Q_OS_WIN
        // Programs have no ".exe" here: open on the entry that shows every file.
        if (filters.size() > 1 && filters.constFirst().endsWith(QLatin1String("(*.exe)"))) {
            dialog.selectNameFilter(filters.constLast());
        }
#endif
    }
    if (!request.fileName.isEmpty()) {
        dialog.selectFile(request.fileName);
    }
    // A Qt dialog has no read-only box and never changes the current directory.
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    const QFileInfo chosen(dialog.selectedFiles().constFirst());
    return OpenFileResult{QDir::toNativeSeparators(chosen.absoluteFilePath()), chosen.fileName()};
}

MessageAnswer QtPlatform::message(const QString& text, const QString& title, MessageIcon icon,
                                  MessageButtons buttons) {
    const QMessageBox::Icon qtIcon = icon == MessageIcon::Critical   ? QMessageBox::Critical
                                     : icon == MessageIcon::Question ? QMessageBox::Question
                                                                     : QMessageBox::Warning;
    const bool question = buttons == MessageButtons::YesNo;
    QMessageBox box(qtIcon, title, text,
                    question ? QMessageBox::Yes | QMessageBox::No : QMessageBox::Ok,
                    QApplication::activeWindow());
    box.setObjectName(QStringLiteral("MessageBox"));
    box.setTextFormat(Qt::PlainText);
    box.setDefaultButton(question ? QMessageBox::Yes : QMessageBox::Ok);
    const int pressed = box.exec();
    if (!question) {
        return MessageAnswer::Ok;
    }
    // Closing the box without a button, or Escape, counts as No.
    return pressed == QMessageBox::Yes ? MessageAnswer::Yes : MessageAnswer::No;
}

bool QtPlatform::startProgram(const QString& program, const QStringList& arguments) {
    return QProcess::startDetached(program, arguments);
}

bool QtPlatform::openInEditor(const QString& path,
                              [[maybe_unused]] const std::function<void()>& failedLater) {
#ifdef Q_OS_WIN
    // By its full path in the system folder: a program started by its bare name is searched in
    // the current folder first, which is the remembered lab folder, so a notepad.exe placed
    // there would run instead, with the user's rights. The path stays one argument.
    const UINT needed = GetSystemDirectoryW(nullptr, 0);
    std::wstring folder(needed, L'\0');
    const UINT length = needed == 0 ? 0 : GetSystemDirectoryW(folder.data(), needed);
    if (length == 0 || length >= needed) {
        return false;
    }
    folder.resize(length);
    const QString notepad = QString::fromStdWString(folder) + QStringLiteral("\\notepad.exe");
    return QProcess::startDetached(notepad, {path});
#else
    // xdg-open hands the file to the desktop's application for it; the path is one argument
    // that no shell splits. Its exit status says whether an application took the file, so it is
    // watched from the event loop, never waited for; the application itself is never watched.
    // A launcher still running when the program ends is left to run, with its application.
    auto* launcher = new QProcess;
    launcher->setProcessChannelMode(QProcess::ForwardedChannels);
    launcher->setStandardInputFile(QProcess::nullDevice());
    QObject::connect(launcher, &QProcess::finished, launcher,
                     [launcher, failedLater](int code, QProcess::ExitStatus status) {
                         launcher->deleteLater();
                         if ((status != QProcess::NormalExit || code != 0) && failedLater) {
                             failedLater();
                         }
                     });
    launcher->start(QStringLiteral("xdg-open"), {QFileInfo(path).absoluteFilePath()});
    if (!launcher->waitForStarted()) {
        delete launcher;
        return false;
    }
    return true;
#endif
}

bool QtPlatform::fileExists(const QString& path) {
    // Exactly this path: no wildcard matching, and hidden files count like any other. Any entry
    // but a folder counts, so that Run asks before it comes near a named pipe, a device or a
    // link that leads nowhere; replacing such an entry is then refused.
    const QFileInfo entry(path);
    return !path.isEmpty() && (entry.exists() || entry.isSymLink()) && !entry.isDir();
}

}  // namespace corvane
