// The window over a scripted platform: layout, focus, readiness, chosen and dropped files,
// Run's rules and its work off the window's thread, the remembered settings and Quintrel.
#include <QApplication>
#include <QGroupBox>
#include <QMimeData>
#include <QProgressDialog>
#include <QPushButton>
#include <QRegularExpression>
#include <QSettings>
#include <QStyle>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <filesystem>

#include "core/paths.h"
#include "platform/qt_platform.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/main_window.h"

using namespace Qt::StringLiterals;
using namespace corvane;

namespace {

// Gives the planned answers and logs what the window asks of the system, a line a request.
class FakePlatform final : public Platform {
public:
    QStringList choices;  // the file chosen in each dialog; an empty one, or none left, cancels
    bool answerNo = false, starts = true, editorStarts = true;
    QString currentDir;
    QStringList log, entered;  // the requests; the folders the window changed to

    std::optional<OpenFileResult> showOpen(const OpenFileRequest& r) override {
        log << u"dialog "_s + r.title + u'|' + r.initDir + u'|' + r.filter;
        const QString file = choices.isEmpty() ? QString() : choices.takeFirst();
        return file.isEmpty()
                   ? std::nullopt
                   : std::optional(OpenFileResult{file, file.section(nativeSeparator(), -1)});
    }
    // "title [icon] text"
    MessageAnswer message(const QString& text, const QString& title, MessageIcon icon,
                          MessageButtons buttons) override {
        const char* icons[] = {"critical", "question", "exclamation"};
        log << title + u" ["_s + QLatin1String(icons[int(icon)]) + u"] "_s + text;
        const bool question = buttons == MessageButtons::YesNo;
        return !question ? MessageAnswer::Ok : answerNo ? MessageAnswer::No : MessageAnswer::Yes;
    }
    bool startProgram(const QString& program, const QStringList& arguments) override {
        log << u"start "_s + (QStringList(program) + arguments).join(u'|');
        return starts;
    }
    bool openInEditor(const QString& path, const std::function<void()>&) override {
        log << u"editor "_s + path;
        return editorStarts;
    }
    QString currentDirectory() override { return currentDir; }
    bool changeDirectory(const QString& dir) override {
        entered << dir;
        currentDir = QDir(dir).exists() ? dir : currentDir;
        return currentDir == dir;
    }
    // The real test, so that Run's question sees files, folders and wildcards as they are.
    bool fileExists(const QString& path) override { return QtPlatform().fileExists(path); }
};

// A table row whose one column, "cells", holds its texts in the order the test names them.
void row(const char* name, std::initializer_list<const char*> cells) {
    QStringList texts;
    for (const char* cell : cells) {
        texts << QString::fromLatin1(cell);
    }
    QTest::newRow(name) << texts;
}

const QStringList kKeys{u"Directory"_s, u"Open New File"_s, u"Separator"_s, u"quintrelPath"_s};
const QByteArray kNewLine = "C;\xb5V;\r\n";  // from the files below with ";"
const QList<std::pair<QString, QByteArray>> kFiles{{u"init.dat"_s, "A;B\r\nnot compared\r\n"},
                                                   {u"ref.dat"_s, "A;C;\xb5V;B\r\nnot copied\r\n"},
                                                   {u"old.dat"_s, "earlier\r\n"},
                                                   {u"locked.dat"_s, "earlier\r\n"},
                                                   {u"New_ab.dat"_s, "earlier\r\n"}};

}  // namespace

class TestWindow : public QObject {
    Q_OBJECT

    // The fixture: a temporary folder that is the current directory and holds the user's
    // settings file, the scripted platform, and the window.
    std::optional<QTemporaryDir> dir_;
    FakePlatform platform_;
    std::unique_ptr<QSettings> ini_;
    std::optional<SettingsStore> store_;
    std::unique_ptr<MainWindow> window_;

    // A text of a case with %1 as the folder, with the platform's separators.
    QString path(const QString& text) const {
        return QDir::toNativeSeparators(QString(text).replace(u"%1"_s, dir_->path()));
    }
    QString write(const QString& name, const QByteArray& bytes) const {
        QFile file(path(u"%1/"_s + name));
        return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size()
                   ? file.fileName()
                   : QString();
    }
    QByteArray read(const QString& name) const {
        QFile file(path(u"%1/"_s + name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }
    // Builds and shows the window over iniText as the settings file, "<folder>" a folder there.
    void open(const QString& iniText = {}) {
        QDir().mkpath(path(u"%1/Corvane"_s));
        if (iniText == "<folder>"_L1) {
            QDir().mkdir(path(u"%1/Corvane/Corvane.ini"_s));
        } else if (!iniText.isEmpty()) {
            write(u"Corvane/Corvane.ini"_s, path(u"[Settings]\n"_s + iniText).toLatin1());
        }
#ifdef Q_OS_WIN  // where the user's store is the registry, the same file stands in for it
        ini_ = std::make_unique<QSettings>(path(u"%1/Corvane/Corvane.ini"_s), QSettings::IniFormat);
#else
        ini_ = SettingsStore::openUserSettings();
#endif
        window_ = std::make_unique<MainWindow>(platform_, store_.emplace(*ini_));
        window_->show();
        QVERIFY(QTest::qWaitForWindowActive(window_.get()));
    }
    template <typename Control = QWidget>
    Control* get(const QString& name) const {
        return window_->findChild<Control*>(name);
    }
    void click(const QString& name) const {
        QTest::mouseClick(get(name), Qt::LeftButton);
    }
    // The window's own focus, which it keeps while another window is in front.
    QString focused() const {
        return window_->focusWidget() ? window_->focusWidget()->objectName() : QString();
    }
    // Sets "Init|Reference|New file"; state() adds Run "on" or "off" and the focused control.
    void fill(const QString& fields) const {
        get<PathLabel>(u"initPathLabel"_s)->setCaption(fields.section(u'|', 0, 0));
        get<PathLabel>(u"referencePathLabel"_s)->setCaption(fields.section(u'|', 1, 1));
        get<QLineEdit>(u"newFileEdit"_s)->setText(fields.section(u'|', 2, 2));
    }
    QString state() const {
        return QStringList{get<QLabel>(u"initPathLabel"_s)->text(),
                           get<QLabel>(u"referencePathLabel"_s)->text(),
                           get<QLineEdit>(u"newFileEdit"_s)->text(),
                           get(u"runButton"_s)->isEnabled() ? u"on"_s : u"off"_s, focused()}
            .join(u'|');
    }
    // "key=value, ..." as another copy of the program reads them, but those equal to unchanged.
    QString stored(const QStringList& keys = kKeys, const QString& unchanged = {}) const {
        QSettings other(path(u"%1/Corvane/Corvane.ini"_s), QSettings::IniFormat);
        QStringList values;
        for (const QString& key : keys) {
            const QVariant value = other.value(u"Settings/"_s + key);
            if (value.isValid() && value.toString() != unchanged) {
                values << key + u'=' + value.toString();
            }
        }
        return values.join(u", "_s);
    }

private slots:
    void init() {
        dir_.emplace();
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, dir_->path());
        platform_ = FakePlatform();
        platform_.currentDir = path(u"%1"_s);
    }
    void cleanup() {
        window_.reset();
        store_.reset();
        ini_.reset();
        dir_.reset();
    }

    void laysOutAFixedWindow() {
        open();
        QCOMPARE(state(), u"|||off|initFindButton"_s);
        QCOMPARE(window_->size(), QSize(468, 160));
        QCOMPARE(window_->minimumSize(), window_->maximumSize());
        QVERIFY(!window_->windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
        QList<QWidget*> controls = window_->findChildren<QWidget*>();
        controls.removeIf([](const QWidget* w) {
            return w->objectName().isEmpty() || qobject_cast<const QGroupBox*>(w);
        });
        for (const QWidget* a : controls) {
            // Every caption shows whole beside its indicator or within its button's margins.
            const auto metric = [a](QStyle::PixelMetric m) {
                return a->style()->pixelMetric(m, nullptr, a);
            };
            const bool field =
                qobject_cast<const QLineEdit*>(a) || qobject_cast<const PathLabel*>(a);
            const QString caption = field ? QString() : a->property("text").toString();
            const int beside =
                qobject_cast<const QPushButton*>(a) ? 2 * metric(QStyle::PM_ButtonMargin)
                : qobject_cast<const QAbstractButton*>(a)
                    ? metric(QStyle::PM_IndicatorWidth) + metric(QStyle::PM_CheckBoxLabelSpacing)
                    : 0;
            QVERIFY2(a->fontMetrics().horizontalAdvance(caption) + beside <= a->width() &&
                         a->fontMetrics().tightBoundingRect(caption).height() <= a->height(),
                     qPrintable(a->objectName()));
            // No two controls overlap.
            const QRect area(a->mapTo(window_.get(), QPoint()), a->size());
            for (const QWidget* b : controls) {
                QVERIFY2(a == b || !area.intersects({b->mapTo(window_.get(), QPoint()), b->size()}),
                         qPrintable(a->objectName() + u' ' + b->objectName()));
            }
        }
        const QGroupBox* frame = get<QGroupBox>(u"separatorFrame"_s);
        QVERIFY(frame->fontMetrics().horizontalAdvance(frame->title()) < frame->width() - 16);
        // Tab visits every control once; of the options only the selected one, wherever the
        // focus was last. Only a focused button answers Enter.
        get(u"runButton"_s)->setEnabled(true);
        click(u"otherOption"_s);
        QCOMPARE(focused(), u"separatorEdit"_s);
        click(u"semicolonOption"_s);
        get<QRadioButton>(u"otherOption"_s)->setChecked(true);
        get(u"clearButton"_s)->setFocus();
        QStringList visited;
        for (int i = 0; i < 9; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited << focused();
        }
        QCOMPARE(visited.join(u' '),
                 u"initFindButton referenceFindButton newFileEdit runButton "
                 "otherOption separatorEdit openNewFileCheck quintrelButton "
                 "clearButton"_s);
        for (const QPushButton* button : window_->findChildren<QPushButton*>()) {
            QVERIFY2(!button->isDefault() || button->hasFocus(), qPrintable(button->objectName()));
        }
        // A click takes the box from greyed to ticked, never back to greyed.
        auto* box = get<TriStateCheckBox>(u"openNewFileCheck"_s);
        box->setValue(2);
        for (const int value : {1, 0, 1}) {
            click(u"openNewFileCheck"_s);
            QCOMPARE(box->value(), value);
        }
        // A long path shows whole as the tooltip, and shortened in the middle.
        auto* label = get<PathLabel>(u"initPathLabel"_s);
        const QString path = u"C:"_s + u"\\setups"_s.repeated(40) + u"\\scope.dat"_s;
        const auto shown = [label](const QString& caption) {
            label->setCaption(caption);
            return label->grab().toImage();
        };
        const QImage whole = shown(path);
        QVERIFY(label->toolTip() == path && label->text() == path);
        // The drive and the file's name stay visible; the middle gives way.
        QVERIFY(shown(QString(path).replace(100, 1, u'X')) == whole);
        QVERIFY(shown(QString(path).replace(0, 1, u'X')) != whole);
        QVERIFY(shown(QString(path).replace(path.size() - 5, 1, u'X')) != whole);
    }

    void leadsToRun_data() {
        // Init|Reference|New file; an action on a control or the files chosen in the dialogs;
        // the fields, Run and the focus after it.
        QTest::addColumn<QStringList>("cells");
        row(".dat inside the name counts", {"a|b|n.data.txt", "", "a|b|n.data.txt|on|runButton"});
        row("upper-case .DAT does not count", {"a|b|N.DAT", "", "a|b|N.DAT|off|newFileEdit"});
        row("a missing Init file comes first", {"||n.dat", "", "||n.dat|off|initFindButton"});
        row("a missing Reference file comes next",
            {"a||n.dat", "", "a||n.dat|off|referenceFindButton"});
        row("typing the name's end makes Run ready",
            {"a|b|", "type n.dat", "a|b|n.dat|on|runButton"});
        row("emptying the Init label leaves Run as it was",
            {"a|b|n.dat", "dclick initPathLabel", "|b|n.dat|on|initFindButton"});
        row("emptying the Reference label focuses its Find",
            {"a|b|n.dat", "dclick referencePathLabel", "a||n.dat|on|referenceFindButton"});
        row("emptying the New file re-evaluates Run",
            {"a|b|n.dat", "dclick newFileEdit", "a|b||off|newFileEdit"});
        row("Clear empties all and focuses the first Find, also with no New file",
            {"a|b|", "click clearButton", "|||off|initFindButton"});
        row("a chosen Reference file proposes New_ in its folder and makes Run ready",
            {"||", "choose %1/a.dat|%1/b.dat", "%1/a.dat|%1/b.dat|%1/New_b.dat|on|runButton"});
        row("cancelled dialogs change nothing",
            {"a|b|", "choose |", "a|b||off|referenceFindButton"});
        row("a file dropped on the Init label is the Init file",
            {"||", "drop initPathLabel 1", "%1/b.dat|||off|referenceFindButton"});
        row("a file dropped on the second Find proposes the New file",
            {"||", "drop referenceFindButton 1", "|%1/b.dat|%1/New_b.dat|off|initFindButton"});
        row("two files dropped are refused",
            {"||", "drop referencePathLabel 2", "|||off|initFindButton"});
        row("a folder dropped is refused", {"||", "drop initPathLabel 0", "|||off|initFindButton"});
    }
    void leadsToRun() {
        QFETCH(QStringList, cells);
        open(u"Directory=/lab/setups\n"_s);
        fill(cells[0]);
        const QString verb = cells[1].section(u' ', 0, 0),
                      what = path(cells[1].section(u' ', 1, 1));
        if (verb == "choose"_L1) {
            platform_.choices = what.split(u'|');
            click(u"initFindButton"_s);
            click(u"referenceFindButton"_s);
            // The dialog opens in the remembered folder at every use.
            const QString start = u"|/lab/setups|Data Files (*.dat)|*.dat|All Files (*.*)|*.*"_s;
            QCOMPARE(platform_.log, QStringList({u"dialog Load Init File"_s + start,
                                                 u"dialog Load Reference File"_s + start}));
        } else if (verb == "drop"_L1) {
            // The drop reaches the control that accepted the drag's entry, as in a real drag.
            const int files = cells[1].section(u' ', 2).toInt();
            QMimeData data;
            data.setUrls({QUrl::fromLocalFile(files ? write(u"b.dat"_s, "A;B\r\n") : dir_->path()),
                          QUrl::fromLocalFile(write(u"c.dat"_s, "A\r\n"))});
            data.setUrls(data.urls().first(qMax(files, 1)));
            QDragEnterEvent enter({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(get(what), &enter);
            QDropEvent drop({5, 5}, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(get(what), &drop);
            QCOMPARE(enter.isAccepted(), files == 1);
        } else if (verb == "type"_L1) {
            QTest::keyClicks(get(u"newFileEdit"_s), what);
        } else if (!verb.isEmpty()) {
            verb == "click"_L1 ? click(what) : QTest::mouseDClick(get(what), Qt::LeftButton);
        }
        QCOMPARE(state(), path(cells[2]));
    }

    void runs_data() {
        // Init|Reference|New file|separator|box[|No, no editor, Cancel or close]; what the
        // system was asked, %1 the folder; the file that gets the kept commands.
        QTest::addColumn<QStringList>("cells");
        row("a bare name gets .dat and the current folder; an unticked box starts no editor",
            {"init|ref|new|;|0", "", "new.dat"});
        row("a greyed box starts the editor on a path a shell would split",
            {"init|ref|%1/a; $(x).dat|;|2", "editor %1/a; $(x).dat", "a; $(x).dat"});
        row("a name with .dat inside is kept as it is",
            {"init|ref|%1/n.dat.txt|;|0", "", "n.dat.txt"});
        row("wildcards in the New file name one file and match no other",
            {"init|ref|%1/New_*?.dat|;|0", "", "New_*?.dat"});
        row("an empty separator is refused and the box gets the focus",
            {"init|ref|%1/n.dat||0", "Error [critical] Command Separator can't be empty !"});
        row("a separator of 40,000 characters is refused before anything else",
            {"ref|ref|%1/n.dat|<40000>|0",
             "Corvane [critical] The command separator is 40000 "
             "characters long, past the limit of 32,767."});
        row("one file chosen twice is refused",
            {"init|init|%1/n.dat|;|0",
             "File Error [critical] Init file and Ref File could not be the same !"});
        for (const char* spelling : {"link.dat.lnk", "hard.dat.lnk", "./init.dat"}) {
            QTest::addRow("%s as New file is refused before any question", spelling)
                << QStringList{u"init|ref|%1/"_s + QLatin1String(spelling) + u"|;|0"_s,
                               u"File Error [critical] New file could not be the same as any of "
                               "the other !"_s};
        }
        row("answering No keeps the earlier file and remembers no folder",
            {"init|ref|%1/old.dat|;|0|No", "<question old>"});
        row("answering Yes replaces it", {"init|ref|%1/old.dat|;|0", "<question old>", "old.dat"});
        row("a read-only New file is kept, also for the administrator",
            {"init|ref|%1/locked.dat|;|0",
             "<question locked> | <not written>locked.dat\": it is read-only."});
        row("a blank separator is taken; a folder in the New file's place is refused unasked",
            {"init|ref|%1/folder.dat| |0", "<not written>folder.dat\": it is a folder."});
        row("a link that leads nowhere is asked about, then refused",
            {"init|ref|%1/dangling.dat|;|0",
             "<question dangling> | <not written>dangling.dat\": it is a link to a file that "
             "does not exist."});
        row("a New file in a missing folder is refused",
            {"init|ref|%1/gone/n.dat|;|0",
             "<not written>gone/n.dat\": No such file or directory."});
        // "long" is an Init line that does not end in the test's time: a sparse file of zeros.
        row("Cancel during a long Run leaves nothing written and the earlier New file as it was",
            {"long|ref|%1/old.dat|;|0|Cancel", "<question old>"});
        row("closing the window cancels a long Run and saves the settings as usual",
            {"long|ref|%1/old.dat|;|0|close", "<question old>"});
        row("an editor that cannot start is reported after the file is written",
            {"init|ref|%1/out.dat|;|1|no editor", "editor %1/out.dat | <no editor>", "out.dat"});
    }
    void runs() {
        QFETCH(QStringList, cells);
        const QStringList g = cells[0].split(u'|');
        const QString written = cells.value(2);
        QString log = cells[1];
        log.replace(QRegularExpression(u"<question (\\w+)>"_s),
                    u"File Error [question] %1/\\1.dat already exists !\n\nDo want to "
                    "overwrite it ?"_s);
        log.replace(u"<not written>"_s, u"Corvane [critical] Could not write the New file \"%1/"_s);
        log.replace(u"<no editor>"_s,
                    u"Corvane [critical] The New file \"%1/out.dat\" was "
                    "written, but no text editor could be started to show it."_s);
        // A remembered folder elsewhere shows at close whether Run remembered this one.
        open(u"Directory=%1/elsewhere\n"_s);
        for (const auto& [name, bytes] : kFiles) {
            write(name, bytes);
        }
        QVERIFY(QFile::setPermissions(path(u"%1/locked.dat"_s), QFile::ReadOwner));
        QVERIFY(QDir().mkdir(path(u"%1/folder.dat"_s)));
        QFile init(path(u"%1/long.dat"_s));
        QVERIFY(g[0] != "long"_L1 ||
                (init.open(QIODevice::WriteOnly) && init.resize(qint64(64) << 30)));
        std::error_code noLinks;
        const std::filesystem::path at = QDir(dir_->path()).filesystemPath();
        std::filesystem::create_symlink(at / "ref.dat", at / "link.dat.lnk", noLinks);
        std::filesystem::create_hard_link(at / "ref.dat", at / "hard.dat.lnk", noLinks);
        std::filesystem::create_symlink(at / "gone.dat", at / "dangling.dat", noLinks);
        if ((noLinks && g[2].contains(QRegularExpression(u"lnk|dangling"_s))) ||
            (g[2].contains(u'*') && write(u"*"_s, {}).isEmpty())) {
            QSKIP("no such file can be made here");
        }
        fill(path(u"%1/"_s + g[0] + u".dat|%1/"_s + g[1] + u".dat|"_s + g[2]));
        get<QLineEdit>(u"separatorEdit"_s)
            ->setText(g[3] == "<40000>"_L1 ? QString(40000, u';') : g[3]);
        get<TriStateCheckBox>(u"openNewFileCheck"_s)->setValue(g[4].toInt());
        platform_.answerNo = g.value(5) == "No"_L1;
        platform_.editorStarts = g.value(5) != "no editor"_L1;
        get(u"runButton"_s)->setEnabled(true);  // also for a name that Run completes
        click(u"runButton"_s);
        if (g[0] == "long"_L1) {
            // While it works the window answers, but only the progress can be acted on.
            QVERIFY(!get(u"newFileEdit"_s)->isEnabled() && !get(u"clearButton"_s)->isEnabled());
            QProgressDialog* progress = nullptr;
            QTRY_VERIFY((progress = window_->findChild<QProgressDialog*>()) &&
                        progress->isVisible());
            QTRY_VERIFY(progress->value() > 0);
            g[5] == "close"_L1
                ? void(window_->close())
                : QTest::mouseClick(progress->findChild<QPushButton*>(), Qt::LeftButton);
        }
        QTRY_VERIFY(get(u"clearButton"_s)->isEnabled());

        QCOMPARE(platform_.log.join(u" | "_s), path(log));
        QCOMPARE(state().section(u'|', 3),
                 g[3].isEmpty() ? u"on|separatorEdit"_s : u"on|runButton"_s);
        for (const auto& [name, bytes] : kFiles) {
            QCOMPARE(read(name), name == written ? kNewLine : bytes);
        }
        QCOMPARE(read(written), written.isEmpty() ? QByteArray() : kNewLine);
        QCOMPARE(QDir(dir_->path()).entryList({u"*.dat"_s, written}, QDir::Files).size(),
                 kFiles.size() + (g[0] == "long"_L1) +
                     (written.isEmpty() || written == "old.dat"_L1 ? 0 : 1));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        // The folder is remembered once no refusal stops Run, before any file is written.
        window_->close();
        const bool remembered =
            !written.isEmpty() || log.contains("Could not"_L1) || g[0] == "long"_L1;
        const QString folder = path(!remembered           ? u"%1/elsewhere/"_s
                                    : g[2].contains(u'/') ? g[2]
                                                          : u"%1/"_s);
        QCOMPARE(stored({kKeys[0]}), u"Directory="_s + folder.section(nativeSeparator(), 0, -2));
    }

    void remembersTheSettings_data() {
        // The settings file, %1 the folder and %U it in capitals; "run" for a Run with ";"
        // into the folder; option|separator|open or locked|box|entered; what closing writes
        // over another copy's values.
        QTest::addColumn<QStringList>("cells");
        row("nothing stored: ';' locked and the box ticked; closing at once writes nothing",
            {"", "", "0|;|locked|1|", ""});
        // At logoff or shutdown the program ends without closing the window first.
        row("ending the program with the window open saves the settings",
            {"", "end", "0|;|locked|1|", "Separator=;:"});
        row("a stored ';:' selects Semicolon + Colon; a stored 0 leaves the box unticked",
            {"Separator=\";:\"\nOpen%20New%20File=0", "", "1|;:|locked|0|", ""});
        row("a separator saved empty stays empty, unlike none saved: Other",
            {"Separator=", "", "2||open|1|", ""});
        row("an unquoted list after a damaged line is an Other separator, restored unlocked; a "
            "loaded Quintrel path is not written again",
            {"\x01\x02 no value\xff\nSeparator=a,b\nquintrelPath=/q,r", "", "2|a,b|open|1|", ""});
        row("a stored 3 is no box value: the box is ticked and 1 written",
            {"Open%20New%20File=3", "", "0|;|locked|1|", "Open New File=1"});
        row("a stored 40000 overflows: the box is ticked and 1 written",
            {"Open%20New%20File=40000", "", "0|;|locked|1|", "Open New File=1"});
        row("a Directory equal to the current one is not entered, nor written after a Run there",
            {"Directory=%1", "run", "0|;|locked|1|", ""});
        row("a vanished Directory is passed over, the rest restored, and a Run replaces it",
            {"Directory=%1/gone\nSeparator=\",\"", "run", "2|,|open|1|%1/gone",
             "Directory=%1, Separator=;"});
        row("a Directory differing in letter case is entered; a stored 2 greys the box",
            {"Directory=%U\nOpen%20New%20File=2", "", "0|;|locked|2|%U", ""});
        row("an unreadable settings store is reported at load and at close",
            {"<folder>", "run", "-1||locked|0|",
             "Corvane [critical] The remembered settings could not be read from "
             "%1/Corvane/Corvane.ini. | Corvane [critical] The setting \"Directory\" could not "
             "be saved in %1/Corvane/Corvane.ini."});
    }
    void remembersTheSettings() {
        QFETCH(QStringList, cells);
        const QString capitals = platform_.currentDir.toUpper();
        open(cells[0].replace(u"%U"_s, capitals));
        int option = -1;  // the checked separator option, in the window's order
        const QList<QRadioButton*> options = window_->findChildren<QRadioButton*>();
        for (qsizetype i = 0; i < options.size(); ++i) {
            option = options[i]->isChecked() ? int(i) : option;
        }
        const auto* box = get<QLineEdit>(u"separatorEdit"_s);
        const int value = get<TriStateCheckBox>(u"openNewFileCheck"_s)->value();
        QCOMPARE(u"%1|%2|%3|%4|%5"_s.arg(QString::number(option), box->text(),
                                         box->isReadOnly() ? u"locked"_s : u"open"_s,
                                         QString::number(value), platform_.entered.join(u',')),
                 path(cells[2]).replace(u"%U"_s, capitals));
        if (cells[1] == "end"_L1) {
            click(u"semicolonColonOption"_s);
        } else if (cells[1] == "run"_L1) {
            click(u"semicolonOption"_s);
            fill(write(u"init.dat"_s, "A;\r\n") + u'|' + write(u"ref.dat"_s, "A;B\r\n") + u'|' +
                 path(u"%1/new.dat"_s));
            click(u"runButton"_s);
            QTRY_COMPARE(read(u"new.dat"_s), "B\r\n");
        }
        // Another copy of the program stores other values meanwhile: only a change replaces them.
        QSettings other(path(u"%1/Corvane/Corvane.ini"_s), QSettings::IniFormat);
        for (const QString& key : kKeys) {
            other.setValue(u"Settings/"_s + key, u"x"_s);
        }
        other.sync();
        const auto endProgram = [] {
            QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(0); });
            QCoreApplication::exec();
        };
        cells[1] == "end"_L1 ? endProgram() : void(window_->close());
        const QString written = stored(kKeys, u"x"_s);
        // Nothing is saved a second time when the program ends after that.
        QFile::remove(other.fileName());
        endProgram();
        QVERIFY(!QFile::exists(other.fileName()) || cells[0] == "<folder>"_L1);
        platform_.log.removeIf([](const QString& line) { return line.startsWith(u"editor"_s); });
        const QString log = platform_.log.join(u" | "_s);
        QCOMPARE(cells[0] == "<folder>"_L1 ? log : written + log, path(cells[3]));
    }

    void startsQuintrel_data() {
        // The stored path; the file chosen at each press, "-" for a cancelled dialog, "=" for
        // none shown; what the system was asked ("D" the dialog, "W" the warning); the focus.
        QTest::addColumn<QStringList>("cells");
        row("on a first start a cancelled dialog does nothing and saves nothing",
            {"", "-", "D", "quintrelButton"});
        row("after a cancel the next press asks again, warns and starts it",
            {"", "-|/opt/quintrel/quintrel", "D|D|W|start /opt/quintrel/quintrel",
             "initFindButton"});
        row("a second press in the same run asks and warns again",
            {"", "/opt/quintrel/quintrel|/usr/local/bin/quintrel",
             "D|W|start /opt/quintrel/quintrel|D|W|start /usr/local/bin/quintrel",
             "initFindButton"});
        row("a file that does not start fails silently and is still saved",
            {"", "/usr/local/bin/quintrel", "D|W|start /usr/local/bin/quintrel", "quintrelButton"});
        row("a stored path starts at every press without dialog or warning, then focuses a "
            "ready Run",
            {"/opt/quintrel/quintrel",
             "=|=", "start /opt/quintrel/quintrel|start /opt/quintrel/quintrel", "runButton"});
    }
    void startsQuintrel() {
        QFETCH(QStringList, cells);
        open(cells[0].isEmpty() ? QString() : u"quintrelPath="_s + cells[0]);
        platform_.starts = cells[3] != "quintrelButton"_L1;
        const QStringList presses = cells[1].split(u'|');
        platform_.choices = QStringList(presses).replaceInStrings(QRegularExpression(u"^-$"_s), {});
        get(u"runButton"_s)->setEnabled(cells[3] == "runButton"_L1);
        for (qsizetype i = 0; i < presses.size(); ++i) {
            click(u"quintrelButton"_s);  // which also gives the button the focus
        }
#ifdef Q_OS_WIN
        const QString folder = u"c:\\Program Files\\Quintrel"_s;
#else
        const QString folder = u"/opt/quintrel"_s;
#endif
        const QString dialog = u"dialog Find Quintrel|"_s + folder +
                               u"|Program Files (*.exe)|*.exe|All Files (*.*)|*.*"_s;
        const QString warning =
            u"Quintrel [exclamation] Once the program has been closed and the path saved it can "
            "not be changed.\n\nTo change the path delete this key in the Registry and restart "
            "this program:\nHKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\Corvane\\"
            "Settings\\quintrelPath"_s;
        QCOMPARE(platform_.log, cells[2]
                                    .split(u'|')
                                    .replaceInStrings(QRegularExpression(u"^D$"_s), dialog)
                                    .replaceInStrings(QRegularExpression(u"^W$"_s), warning));
        QCOMPARE(focused(), cells[3]);
        window_->close();
        const QString last = cells[2].section(u"start "_s, -1);
        QCOMPARE(stored({kKeys[3]}),
                 cells[2].contains(u"start"_s) ? u"quintrelPath="_s + last : QString());
    }
};

QTEST_MAIN(TestWindow)
#include "test_window.moc"
