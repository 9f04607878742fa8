#include "window/form1.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontDatabase>
#include <QFontMetrics>
#include <QGroupBox>
#include <QIcon>
#include <QMimeData>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QUrl>

#include <limits>

#include "core/command_files.h"
#include "core/paths.h"
#include "settings/settings_store.h"
#include "window/controls.h"

namespace corvane {

namespace {

// Layout positions are given in twips; 15 twips make one pixel at 96 dots per inch, and Qt
// scales the pixels on screens of higher density.
QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
}

// Shows the busy cursor while files are read, compared and written; restored on any exit.
class BusyCursor {
public:
    BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

// The handler of the procedures that expect failures in normal use (a cancelled dialog, a
// refused focus): it ends the procedure without a message and keeps what was done.
template <typename Procedure>
void endingQuietly(Procedure&& procedure) {
    try {
        procedure();
    } catch (const std::exception&) {
    }
}

// The one local file, not a folder, that a drag carries; nothing for anything else.
std::optional<OpenFileResult> droppedFile(const QMimeData* data) {
    if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) {
        return std::nullopt;
    }
    const QUrl url = data->urls().constFirst();
    if (!url.isLocalFile()) {
        return std::nullopt;
    }
    const QFileInfo info(url.toLocalFile());
    if (!info.isFile()) {
        return std::nullopt;
    }
    return OpenFileResult{QDir::toNativeSeparators(info.absoluteFilePath()), info.fileName()};
}

const QString kDat = QStringLiteral(".dat");

// One style for the indicators of every window; the application owns it, so it outlives them.
QStyle* compactIndicatorStyle() {
    static QPointer<CompactIndicatorStyle> style;
    if (style.isNull()) {
        style = new CompactIndicatorStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

}  // namespace

Form1::Form1(Platform& platform, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), platform_(platform), settings_(settings) {
    buildControls();
    wireEvents();
    reported([this] { Form_Load(); });

    // At logoff, shutdown or an update's restart the window gets no close event: the session's
    // request to save and the application's last signal are the only chances to save settings.
#if QT_CONFIG(sessionmanager)
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this,
                [this](QSessionManager&) { unloadOnce(); });
    }
#endif
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, &Form1::unloadOnce);
}

Form1::~Form1() = default;

void Form1::buildControls() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Corvane, v" CORVANE_VERSION_TEXT " - June 2015/Vesk"));
    setWindowIcon(QIcon(QStringLiteral(":/icons/corvane.png")));
    // A fixed layout: no maximize button, and the fixed size takes away the resizing border.
    // Windows' own fixed-size dialog frame is not asked for: it would keep the window's native
    // size when it moves to a screen of another scale, clipping or padding the layout.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(7020 / 15, 2400 / 15);

    const auto button = [this](const QString& caption, const QString& name, QRect geometry) {
        auto* control = new QPushButton(caption, this);
        control->setObjectName(name);
        control->setGeometry(geometry);
        // A focused button answers Enter as well as Space; none is the window's default.
        control->setAutoDefault(true);
        return control;
    };
    const auto pathLabel = [this](const QString& name, QRect geometry) {
        auto* control = new PathLabel(this);
        control->setObjectName(name);
        control->setGeometry(geometry);
        return control;
    };
    const auto captionLabel = [this](const QString& caption, const QString& name, QRect geometry) {
        auto* control = new QLabel(caption, this);
        control->setObjectName(name);
        // Top-aligned, the caption lines up with the text of the field beside it.
        control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        control->setGeometry(geometry);
        return control;
    };

    Command_File[0] = button(QStringLiteral("Find"), QStringLiteral("Command_File_0"),
                             twips(5760, 120, 1155, 315));
    Command_File[1] = button(QStringLiteral("Find"), QStringLiteral("Command_File_1"),
                             twips(5760, 540, 1155, 315));

    Text_File = new DoubleClickLineEdit(this);
    Text_File->setObjectName(QStringLiteral("Text_File"));
    Text_File->setGeometry(twips(960, 960, 4635, 315));

    Command_Run =
        button(QStringLiteral("Run"), QStringLiteral("Command_Run"), twips(5760, 960, 1155, 315));
    Command_Run->setEnabled(false);

    Frame1 = new FrameBox(QStringLiteral("Command separator"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twips(60, 1380, 2955, 915));
    const std::array<QString, 3> optionCaptions{QStringLiteral("Semicolon only"),
                                                QStringLiteral("Semicolon + Colon"),
                                                QStringLiteral("Other")};
    const std::array<QRect, 3> optionGeometries{
        twips(180, 300, 1455, 195), twips(180, 600, 1635, 195), twips(2040, 240, 795, 195)};
    for (int i = 0; i < 3; ++i) {
        Option_Separator[i] = new OptionButton(optionCaptions[i], Frame1);
        Option_Separator[i]->setObjectName(QStringLiteral("Option_Separator_%1").arg(i));
        Option_Separator[i]->setGeometry(optionGeometries[i]);
    }
    OptionButton::keepTabStopOnSelected(Frame1);

    Text_Separator = new QLineEdit(Frame1);
    Text_Separator->setObjectName(QStringLiteral("Text_Separator"));
    Text_Separator->setGeometry(twips(2040, 540, 675, 285));
    Text_Separator->setReadOnly(true);
    // No cut at Qt's default of 32,767 characters: Run itself refuses a longer separator.
    Text_Separator->setMaxLength(std::numeric_limits<int>::max());

    Check_OpenFile = new TriStateCheckBox(QStringLiteral("Open New File when done"), this);
    Check_OpenFile->setObjectName(QStringLiteral("Check_OpenFile"));
    Check_OpenFile->setGeometry(twips(3240, 1500, 2295, 195));
    for (QAbstractButton* box : {static_cast<QAbstractButton*>(Option_Separator[0]),
                                 static_cast<QAbstractButton*>(Option_Separator[1]),
                                 static_cast<QAbstractButton*>(Option_Separator[2]),
                                 static_cast<QAbstractButton*>(Check_OpenFile)}) {
        box->setStyle(compactIndicatorStyle());
    }

    Command_Quintrel = button(QStringLiteral("Run Quintrel"), QStringLiteral("Command_Quintrel"),
                              twips(3240, 1920, 2235, 315));
    Command_Clear = button(QStringLiteral("Clear"), QStringLiteral("Command_Clear"),
                           twips(5760, 1440, 1155, 315));

    Label_File[0] = pathLabel(QStringLiteral("Label_File_0"), twips(960, 120, 4635, 315));
    Label1[0] = captionLabel(QStringLiteral("Init File:"), QStringLiteral("Label1_0"),
                             twips(120, 180, 735, 255));
    Label_File[1] = pathLabel(QStringLiteral("Label_File_1"), twips(960, 540, 4635, 315));
    Label1[1] = captionLabel(QStringLiteral("Ref File:"), QStringLiteral("Label1_1"),
                             twips(120, 600, 735, 255));
    Label1[2] = captionLabel(QStringLiteral("New File:"), QStringLiteral("Label1_2"),
                             twips(120, 1020, 735, 255));

    // Tab order; labels and the frame never take the focus.
    const std::array<QWidget*, 11> tabOrder{
        Command_File[0],     Command_File[1],     Text_File,           Command_Run,
        Option_Separator[0], Option_Separator[1], Option_Separator[2], Text_Separator,
        Check_OpenFile,      Command_Quintrel,    Command_Clear};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    chooseWindowFont();
    // Qt applies this when the window is first shown.
    Command_File[0]->setFocus();

    // A file dropped on a row's label or "Find" button is taken as chosen in that row.
    for (int i = 0; i < 2; ++i) {
        Label_File[i]->setAcceptDrops(true);
        Label_File[i]->installEventFilter(this);
        Command_File[i]->setAcceptDrops(true);
        Command_File[i]->installEventFilter(this);
    }
}

bool Form1::captionsFit() const {
    const auto fits = [](const QWidget* control, const QString& caption, int padding) {
        const QFontMetrics metrics = control->fontMetrics();
        return metrics.horizontalAdvance(caption) + padding <= control->width() &&
               metrics.height() <= control->height() + 2;
    };
    for (const QPushButton* button :
         {Command_File[0], Command_File[1], Command_Run, Command_Quintrel, Command_Clear}) {
        if (!fits(button, button->text(), 8)) {
            return false;
        }
    }
    // Option buttons and the check box draw their caption beside the indicator.
    const auto captionFits = [&fits](const QAbstractButton* box, QStyle::SubElement contents) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = box->text();
        const QRect area = box->style()->subElementRect(contents, &option, box);
        return box->fontMetrics().horizontalAdvance(box->text()) <= area.width() &&
               fits(box, box->text(), 0);
    };
    for (const QRadioButton* option : Option_Separator) {
        if (!captionFits(option, QStyle::SE_RadioButtonContents)) {
            return false;
        }
    }
    if (!captionFits(Check_OpenFile, QStyle::SE_CheckBoxContents)) {
        return false;
    }
    for (const QLabel* label : Label1) {
        if (!fits(label, label->text(), 0)) {
            return false;
        }
    }
    return fits(Frame1, Frame1->title(), 16);
}

void Form1::chooseWindowFont() {
    // Every control uses the window's font. The layout is fixed in pixels, so the font is the
    // largest readable one, in the desktop's own family if it can, that fits every caption.
    const QFont desktop = QApplication::font();
    const std::array<QString, 5> families{desktop.family(), QStringLiteral("Segoe UI"),
                                          QStringLiteral("Liberation Sans"),
                                          QStringLiteral("Nimbus Sans"), QStringLiteral("Arial")};
    for (const qreal points : {9.0, 8.5, 8.0, 7.75, 7.5, 7.25, 7.0}) {
        for (const QString& family : families) {
            QFont candidate = desktop;
            candidate.setFamilies({family});
            candidate.setPointSizeF(points);
            if (family != desktop.family() && !QFontDatabase::hasFamily(family)) {
                continue;  // not installed here
            }
            setFont(candidate);
            if (captionsFit()) {
                return;
            }
        }
    }
    QFont smallest = desktop;
    smallest.setPointSizeF(7.5);
    setFont(smallest);
}

void Form1::wireEvents() {
    for (qint16 i = 0; i < 2; ++i) {
        connect(Command_File[i], &QPushButton::clicked, this, [this, i] { Command_File_Click(i); });
        connect(Label_File[i], &PathLabel::doubleClicked, this,
                [this, i] { reported([this, i] { Label_File_DblClick(i); }); });
    }
    for (qint16 i = 0; i < 3; ++i) {
        // clicked, unlike toggled, comes with every click of the user, also on the selected one.
        connect(Option_Separator[i], &QRadioButton::clicked, this,
                [this, i] { Option_Separator_Click(i); });
    }
    connect(Text_File, &QLineEdit::textChanged, this,
            [this] { reported([this] { Text_File_Change(); }); });
    connect(static_cast<DoubleClickLineEdit*>(Text_File), &DoubleClickLineEdit::doubleClicked, this,
            [this] { reported([this] { Text_File_DblClick(); }); });
    connect(Command_Run, &QPushButton::clicked, this,
            [this] { reported([this] { Command_Run_Click(); }); });
    connect(Command_Quintrel, &QPushButton::clicked, this,
            [this] { reported([this] { Command_Quintrel_Click(); }); });
    connect(Command_Clear, &QPushButton::clicked, this,
            [this] { reported([this] { Command_Clear_Click(); }); });
}

void Form1::giveFocus(QWidget* control) {
    if (!isVisible()) {
        throw FocusRefused(QStringLiteral("The window is not shown yet, so %1 cannot take the "
                                          "focus.")
                               .arg(control->objectName()));
    }
    if (!control->isEnabled() || !control->isVisible()) {
        throw FocusRefused(QStringLiteral("%1 is disabled or hidden and cannot take the focus.")
                               .arg(control->objectName()));
    }
    control->setFocus(Qt::OtherFocusReason);
}

void Form1::selectOption(int index) {
    QRadioButton* option = Option_Separator.at(std::size_t(index));
    if (option->isChecked()) {
        return;
    }
    option->setChecked(true);
    Option_Separator_Click(qint16(index));
}

void Form1::reported(const std::function<void()>& procedure) {
    QString failure;
    try {
        procedure();
        return;
    } catch (const Error& error) {
        failure = error.message();
    } catch (const std::exception& error) {
        failure = QString::fromLocal8Bit(error.what());
    }
    platform_.message(failure, QStringLiteral("Corvane"), MessageIcon::Critical,
                      MessageButtons::Ok);
}

void Form1::takeChosenFile(qint16 index, const OpenFileResult& chosen) {
    Label_File.at(index == 0 ? 0 : 1)->setCaption(chosen.path);
    if (index != 0) {
        const QString path = Label_File[1]->text();
        Text_File->setText(proposeNewFile(path, chosen.fileTitle, nativeSeparator()));
    } else {
        EnableRun();
    }
}

void Form1::EnableRun() {
    const bool initChosen = !Label_File[0]->text().isEmpty();
    const bool referenceChosen = !Label_File[1]->text().isEmpty();
    const bool newFileNamed = Text_File->text().contains(kDat, Qt::CaseSensitive);
    if (initChosen && referenceChosen && newFileNamed) {
        Command_Run->setEnabled(true);
        giveFocus(Command_Run);
        return;
    }
    Command_Run->setEnabled(false);
    if (!initChosen) {
        giveFocus(Command_File[0]);
    } else if (!referenceChosen) {
        giveFocus(Command_File[1]);
    } else {
        giveFocus(Text_File);
    }
}

void Form1::Command_Clear_Click() {
    Label_File[0]->setCaption(QString());
    Label_File[1]->setCaption(QString());
    Text_File->setText(QString());
    giveFocus(Command_File[0]);
}

void Form1::Command_File_Click(qint16 Index) {
    endingQuietly([this, Index] {
        const QString kind = Index == 0 ? QStringLiteral("Init") : QStringLiteral("Reference");
        CommonDialog1.title = QStringLiteral("Load ") + kind + QStringLiteral(" File");
        CommonDialog1.initDir = vars_.startDir;
        CommonDialog1.cancelError = true;
        CommonDialog1.fileName = QString();
        CommonDialog1.filter = QStringLiteral("Data Files (*.dat)|*.dat|All Files (*.*)|*.*");
        CommonDialog1.flags = 4;
        const std::optional<OpenFileResult> chosen = platform_.showOpen(CommonDialog1);
        if (!chosen) {
            return;
        }
        takeChosenFile(Index, *chosen);
    });
}

void Form1::Command_Run_Click() {
    const QString separator = Text_Separator->text();
    if (separator.size() > 32767) {
        throw OverflowError(QStringLiteral("The command separator is %1 characters long, past "
                                           "the limit of 32,767.")
                                .arg(separator.size()));
    }
    if (separator.isEmpty()) {
        platform_.message(QStringLiteral("Command Separator can't be empty !"),
                          QStringLiteral("Error"), MessageIcon::Critical, MessageButtons::Ok);
        giveFocus(Text_Separator);
        return;
    }

    const QChar folderSeparator = nativeSeparator();
    QString working = Text_File->text();
    if (!working.contains(folderSeparator)) {
        working = completeWithFolder(working, platform_.currentDirectory(), folderSeparator);
        Text_File->setText(working);
    }
    if (!working.contains(kDat, Qt::CaseSensitive)) {
        Text_File->setText(working + kDat);
    }

    const QString initPath = Label_File[0]->text();
    const QString referencePath = Label_File[1]->text();
    if (initPath == referencePath) {
        platform_.message(QStringLiteral("Init file and Ref File could not be the same !"),
                          QStringLiteral("File Error"), MessageIcon::Critical, MessageButtons::Ok);
        return;
    }

    // Compared by text and by identity, so that another spelling of an input file (letter
    // case, a link, "..", a doubled separator) cannot have the result written over it.
    const QString newPath = Text_File->text();
    const bool sameAsInit = newPath == initPath || isSameFile(newPath, initPath);
    const bool sameAsReference = newPath == referencePath || isSameFile(newPath, referencePath);
    if (sameAsInit || sameAsReference) {
        platform_.message(QStringLiteral("New file could not be the same as any of the other !"),
                          QStringLiteral("File Error"), MessageIcon::Critical, MessageButtons::Ok);
        return;
    }

    if (platform_.fileExists(newPath)) {
        const MessageAnswer answer = platform_.message(
            newPath + QStringLiteral(" already exists !\n\nDo want to overwrite it ?"),
            QStringLiteral("File Error"), MessageIcon::Question, MessageButtons::YesNo);
        if (answer == MessageAnswer::No) {
            return;
        }
    }

    vars_.newDir = folderOf(newPath, folderSeparator);

    {
        const BusyCursor busy;
        const QString line = compareCommandFiles(initPath, referencePath, separator);
        writeNewFile(Text_File->text(), line);
    }

    if (Check_OpenFile->value() != 0) {
        const QString written = Text_File->text();
        const auto notStarted = [written] {
            return Error(QStringLiteral("The New file \"%1\" was written, but no text editor "
                                        "could be started to show it.")
                             .arg(written));
        };
        // The launcher may find out only later that nothing can open the file; Run has ended
        // by then, and the window, if it is still there, reports it the same way.
        const QPointer<Form1> window(this);
        const auto failedLater = [window, notStarted] {
            if (window) {
                window->reported([&notStarted] { throw notStarted(); });
            }
        };
        if (!platform_.openInEditor(written, failedLater)) {
            throw notStarted();
        }
    }
}

void Form1::Label_File_DblClick(qint16 Index) {
    const std::size_t row = Index == 0 ? 0 : 1;
    Label_File[row]->setCaption(QString());
    giveFocus(Command_File[row]);
}

void Form1::Option_Separator_Click(qint16 Index) {
    endingQuietly([this, Index] {
        switch (Index) {
            case 0:
                Text_Separator->setText(QStringLiteral(";"));
                Text_Separator->setReadOnly(true);
                break;
            case 1:
                Text_Separator->setText(QStringLiteral(";:"));
                Text_Separator->setReadOnly(true);
                break;
            case 2:
                Text_Separator->setReadOnly(false);
                giveFocus(Text_Separator);
                break;
            default:
                break;
        }
    });
}

void Form1::Text_File_Change() {
    EnableRun();
}

void Form1::Text_File_DblClick() {
    Text_File->setText(QString());
}

void Form1::closeEvent(QCloseEvent* event) {
    unloadOnce();
    event->accept();
}

void Form1::unloadOnce() {
    if (unloaded_) {
        return;
    }
    unloaded_ = true;
    qint16 cancel = 0;
    reported([this, &cancel] { Form_Unload(cancel); });
}

bool Form1::eventFilter(QObject* watched, QEvent* event) {
    qint16 row = -1;
    for (qint16 i = 0; i < 2; ++i) {
        if (watched == Label_File[i] || watched == Command_File[i]) {
            row = i;
        }
    }
    if (row < 0) {
        return QWidget::eventFilter(watched, event);
    }
    switch (event->type()) {
        case QEvent::DragEnter:
        case QEvent::DragMove: {
            auto* drag = static_cast<QDragMoveEvent*>(event);
            if (droppedFile(drag->mimeData())) {
                drag->acceptProposedAction();
            } else {
                drag->ignore();
            }
            return true;
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            const std::optional<OpenFileResult> file = droppedFile(drop->mimeData());
            if (!file) {
                drop->ignore();
                return true;
            }
            drop->acceptProposedAction();
            endingQuietly([this, row, &file] { takeChosenFile(row, *file); });
            return true;
        }
        default:
            return QWidget::eventFilter(watched, event);
    }
}

}  // namespace corvane
