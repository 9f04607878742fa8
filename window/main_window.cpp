#include "window/main_window.h"

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
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QUrl>

#include <limits>
#include <optional>

#include "core/command_files.h"
#include "core/error.h"
#include "core/paths.h"
#include "settings/settings_store.h"
#include "window/controls.h"
#include "window/run_decision.h"
#include "window/run_job.h"

namespace corvane {

namespace {

// Layout positions are given in twips; 15 twips make one pixel at 96 dots per inch, and Qt
// scales the pixels on screens of higher density.
QRect twips(int left, int top, int width, int height) {
    return {left / 15, top / 15, width / 15, height / 15};
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

// One style for the indicators of every window; the application owns it, so it outlives them.
QStyle* compactIndicatorStyle() {
    static QPointer<CompactIndicatorStyle> style;
    if (style.isNull()) {
        style = new CompactIndicatorStyle;
        style->setParent(QCoreApplication::instance());
    }
    return style.data();
}

// Run's checks see the file system through the platform, as the window does.
class PlatformRunFiles final : public RunFiles {
public:
    explicit PlatformRunFiles(Platform& platform) : platform_(platform) {}
    bool isSameFile(const QString& a, const QString& b) const override {
        return corvane::isSameFile(a, b);
    }
    bool exists(const QString& path) const override { return platform_.fileExists(path); }

private:
    Platform& platform_;
};

}  // namespace

MainWindow::MainWindow(Platform& platform, SettingsStore& settings, QWidget* parent)
    : QWidget(parent), platform_(platform), settings_(settings) {
    buildControls();
    connectControls();
    try {
        loadSettings();
    } catch (const Error& error) {
        report(error.message());
    }

    // At logoff, shutdown or an update's restart the window gets no close event: the session's
    // request to save and the application's last signal are the only chances to save settings.
#if QT_CONFIG(sessionmanager)
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(gui, &QGuiApplication::commitDataRequest, this, &MainWindow::saveSettingsOnce);
    }
#endif
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this,
            &MainWindow::saveSettingsOnce);
}

MainWindow::~MainWindow() {
    stopRun();
}

PathLabel* MainWindow::pathLabel(Row row) const {
    return row == Row::Init ? initPathLabel_ : referencePathLabel_;
}

QPushButton* MainWindow::findButton(Row row) const {
    return row == Row::Init ? initFindButton_ : referenceFindButton_;
}

void MainWindow::buildControls() {
    setObjectName(QStringLiteral("MainWindow"));
    setWindowTitle(tr("Corvane, v%1 - June 2015/Vesk").arg(QStringLiteral(CORVANE_VERSION_TEXT)));
    setWindowIcon(QIcon(QStringLiteral(":/icons/corvane.png")));
    // A fixed layout: no maximize button, and the fixed size takes away the resizing border.
    // Windows' own fixed-size dialog frame is not asked for: it would keep the window's native
    // size when it moves to a screen of another scale, clipping or padding the layout.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(7020 / 15, 2400 / 15);

    const auto button = [this](const QString& caption, const char* name, QRect geometry) {
        auto* control = new QPushButton(caption, this);
        control->setObjectName(QLatin1String(name));
        control->setGeometry(geometry);
        // A focused button answers Enter as well as Space; none is the window's default.
        control->setAutoDefault(true);
        return control;
    };
    const auto pathLabel = [this](const QString& accessibleName, const char* name, QRect geometry) {
        auto* control = new PathLabel(this);
        control->setObjectName(QLatin1String(name));
        control->setAccessibleName(accessibleName);
        control->setGeometry(geometry);
        return control;
    };
    const auto captionLabel = [this](const QString& caption, const char* name, QRect geometry) {
        auto* control = new QLabel(caption, this);
        control->setObjectName(QLatin1String(name));
        // Top-aligned, the caption lines up with the text of the field beside it.
        control->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        control->setGeometry(geometry);
        return control;
    };

    initFindButton_ = button(tr("Find"), "initFindButton", twips(5760, 120, 1155, 315));
    referenceFindButton_ = button(tr("Find"), "referenceFindButton", twips(5760, 540, 1155, 315));

    newFileEdit_ = new DoubleClickLineEdit(this);
    newFileEdit_->setObjectName(QStringLiteral("newFileEdit"));
    newFileEdit_->setAccessibleName(tr("New file"));
    newFileEdit_->setGeometry(twips(960, 960, 4635, 315));

    runButton_ = button(tr("Run"), "runButton", twips(5760, 960, 1155, 315));
    runButton_->setEnabled(false);

    separatorFrame_ = new FrameBox(tr("Command separator"), this);
    separatorFrame_->setObjectName(QStringLiteral("separatorFrame"));
    separatorFrame_->setGeometry(twips(60, 1380, 2955, 915));
    const std::array<QString, 3> optionCaptions{tr("Semicolon only"), tr("Semicolon + Colon"),
                                                tr("Other")};
    const std::array<const char*, 3> optionNames{"semicolonOption", "semicolonColonOption",
                                                 "otherOption"};
    const std::array<QRect, 3> optionGeometries{
        twips(180, 300, 1455, 195), twips(180, 600, 1635, 195), twips(2040, 240, 795, 195)};
    for (std::size_t i = 0; i < 3; ++i) {
        separatorOptions_[i] = new OptionButton(optionCaptions[i], separatorFrame_);
        separatorOptions_[i]->setObjectName(QLatin1String(optionNames[i]));
        separatorOptions_[i]->setGeometry(optionGeometries[i]);
    }
    OptionButton::keepTabStopOnSelected(separatorFrame_);

    separatorEdit_ = new QLineEdit(separatorFrame_);
    separatorEdit_->setObjectName(QStringLiteral("separatorEdit"));
    separatorEdit_->setAccessibleName(tr("Command separator"));
    separatorEdit_->setGeometry(twips(2040, 540, 675, 285));
    separatorEdit_->setReadOnly(true);
    // No cut at Qt's default of 32,767 characters: Run itself refuses a longer separator.
    separatorEdit_->setMaxLength(std::numeric_limits<int>::max());

    openNewFileCheck_ = new TriStateCheckBox(tr("Open New File when done"), this);
    openNewFileCheck_->setObjectName(QStringLiteral("openNewFileCheck"));
    openNewFileCheck_->setGeometry(twips(3240, 1500, 2295, 195));
    for (QAbstractButton* box : {static_cast<QAbstractButton*>(separatorOptions_[0]),
                                 static_cast<QAbstractButton*>(separatorOptions_[1]),
                                 static_cast<QAbstractButton*>(separatorOptions_[2]),
                                 static_cast<QAbstractButton*>(openNewFileCheck_)}) {
        box->setStyle(compactIndicatorStyle());
    }

    quintrelButton_ = button(tr("Run Quintrel"), "quintrelButton", twips(3240, 1920, 2235, 315));
    clearButton_ = button(tr("Clear"), "clearButton", twips(5760, 1440, 1155, 315));

    initPathLabel_ = pathLabel(tr("Init file"), "initPathLabel", twips(960, 120, 4635, 315));
    initCaption_ = captionLabel(tr("Init File:"), "initCaption", twips(120, 180, 735, 255));
    referencePathLabel_ =
        pathLabel(tr("Reference file"), "referencePathLabel", twips(960, 540, 4635, 315));
    referenceCaption_ =
        captionLabel(tr("Ref File:"), "referenceCaption", twips(120, 600, 735, 255));
    newFileCaption_ = captionLabel(tr("New File:"), "newFileCaption", twips(120, 1020, 735, 255));

    // Tab order; labels and the frame never take the focus.
    const std::array<QWidget*, 11> tabOrder{
        initFindButton_,      referenceFindButton_, newFileEdit_,         runButton_,
        separatorOptions_[0], separatorOptions_[1], separatorOptions_[2], separatorEdit_,
        openNewFileCheck_,    quintrelButton_,      clearButton_};
    for (std::size_t i = 1; i < tabOrder.size(); ++i) {
        setTabOrder(tabOrder[i - 1], tabOrder[i]);
    }
    chooseWindowFont();
    // Qt applies this when the window is first shown.
    initFindButton_->setFocus();

    // A file dropped on a row's label or "Find" button is taken as chosen in that row.
    for (QWidget* target : std::initializer_list<QWidget*>{
             initPathLabel_, initFindButton_, referencePathLabel_, referenceFindButton_}) {
        target->setAcceptDrops(true);
        target->installEventFilter(this);
    }

    // The progress of a Run shows only once it takes long enough to be noticed.
    progressDelay_.setSingleShot(true);
    progressDelay_.setInterval(500);
    progressUpdates_.setInterval(50);
}

bool MainWindow::captionsFit() const {
    const auto fits = [](const QWidget* control, const QString& caption, int padding) {
        const QFontMetrics metrics = control->fontMetrics();
        return metrics.horizontalAdvance(caption) + padding <= control->width() &&
               metrics.height() <= control->height() + 2;
    };
    for (const QPushButton* button :
         {initFindButton_, referenceFindButton_, runButton_, quintrelButton_, clearButton_}) {
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
    for (const QRadioButton* option : separatorOptions_) {
        if (!captionFits(option, QStyle::SE_RadioButtonContents)) {
            return false;
        }
    }
    if (!captionFits(openNewFileCheck_, QStyle::SE_CheckBoxContents)) {
        return false;
    }
    for (const QLabel* label : {initCaption_, referenceCaption_, newFileCaption_}) {
        if (!fits(label, label->text(), 0)) {
            return false;
        }
    }
    return fits(separatorFrame_, separatorFrame_->title(), 16);
}

void MainWindow::chooseWindowFont() {
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

void MainWindow::connectControls() {
    for (const Row row : {Row::Init, Row::Reference}) {
        connect(findButton(row), &QPushButton::clicked, this, [this, row] { onFindClicked(row); });
        connect(pathLabel(row), &PathLabel::doubleClicked, this,
                [this, row] { onPathLabelDoubleClicked(row); });
    }
    for (int i = 0; i < 3; ++i) {
        // clicked, unlike toggled, comes with every click of the user, also on the selected one.
        connect(separatorOptions_[std::size_t(i)], &QRadioButton::clicked, this,
                [this, i] { onSeparatorOptionClicked(i); });
    }
    connect(newFileEdit_, &QLineEdit::textChanged, this, &MainWindow::updateRunReadiness);
    connect(static_cast<DoubleClickLineEdit*>(newFileEdit_), &DoubleClickLineEdit::doubleClicked,
            newFileEdit_, &QLineEdit::clear);
    connect(runButton_, &QPushButton::clicked, this, &MainWindow::onRunClicked);
    connect(quintrelButton_, &QPushButton::clicked, this, &MainWindow::onQuintrelClicked);
    connect(clearButton_, &QPushButton::clicked, this, &MainWindow::onClearClicked);
    connect(&progressDelay_, &QTimer::timeout, this, &MainWindow::showProgress);
}

void MainWindow::focusIfPossible(QWidget* control) {
    if (isVisible() && control->isEnabled() && control->isVisible()) {
        control->setFocus(Qt::OtherFocusReason);
    }
}

void MainWindow::selectSeparatorOption(int option) {
    QRadioButton* button = separatorOptions_.at(std::size_t(option));
    if (button->isChecked()) {
        return;
    }
    button->setChecked(true);
    onSeparatorOptionClicked(option);
}

void MainWindow::report(const QString& message) {
    platform_.message(message, tr("Corvane"), MessageIcon::Critical, MessageButtons::Ok);
}

void MainWindow::takeChosenFile(Row row, const OpenFileResult& file) {
    pathLabel(row)->setCaption(file.path);
    if (row == Row::Init) {
        updateRunReadiness();
        return;
    }
    try {
        newFileEdit_->setText(proposeNewFile(file.path, file.fileTitle, nativeSeparator()));
    } catch (const OverflowError&) {
        // A folder too long to propose a name in leaves the New file's name as it was.
    }
}

void MainWindow::updateRunReadiness() {
    const bool initChosen = !initPathLabel_->text().isEmpty();
    const bool referenceChosen = !referencePathLabel_->text().isEmpty();
    const bool newFileNamed = newFileEdit_->text().contains(QLatin1String(".dat"));
    if (initChosen && referenceChosen && newFileNamed) {
        runButton_->setEnabled(true);
        focusIfPossible(runButton_);
        return;
    }
    runButton_->setEnabled(false);
    if (!initChosen) {
        focusIfPossible(initFindButton_);
    } else if (!referenceChosen) {
        focusIfPossible(referenceFindButton_);
    } else {
        focusIfPossible(newFileEdit_);
    }
}

void MainWindow::onClearClicked() {
    initPathLabel_->setCaption(QString());
    referencePathLabel_->setCaption(QString());
    newFileEdit_->setText(QString());
    focusIfPossible(initFindButton_);
}

void MainWindow::onFindClicked(Row row) {
    OpenFileRequest request;
    request.title = row == Row::Init ? tr("Load Init File") : tr("Load Reference File");
    request.initDir = startFolder_;
    request.filter = tr("Data Files (*.dat)|*.dat|All Files (*.*)|*.*");
    if (const std::optional<OpenFileResult> chosen = platform_.showOpen(request)) {
        takeChosenFile(row, *chosen);
    }
}

void MainWindow::onPathLabelDoubleClicked(Row row) {
    pathLabel(row)->setCaption(QString());
    focusIfPossible(findButton(row));
}

void MainWindow::onSeparatorOptionClicked(int option) {
    switch (option) {
        case 0:
            separatorEdit_->setText(QStringLiteral(";"));
            separatorEdit_->setReadOnly(true);
            break;
        case 1:
            separatorEdit_->setText(QStringLiteral(";:"));
            separatorEdit_->setReadOnly(true);
            break;
        default:
            separatorEdit_->setReadOnly(false);
            focusIfPossible(separatorEdit_);
            break;
    }
}

void MainWindow::onRunClicked() {
    try {
        const PlatformRunFiles files(platform_);
        const RunDecision decision = decideRun(
            {separatorEdit_->text(), newFileEdit_->text(), initPathLabel_->text(),
             referencePathLabel_->text(), platform_.currentDirectory(), nativeSeparator()},
            files);
        // The completed name stays in the box whatever follows; the box re-checks readiness.
        newFileEdit_->setText(decision.newFileText);
        if (const auto* refusal = std::get_if<RunRefusal>(&decision.outcome)) {
            platform_.message(refusal->text, refusal->title, refusal->icon, MessageButtons::Ok);
            if (refusal->focus == RunRefusal::Focus::Separator) {
                focusIfPossible(separatorEdit_);
            }
            return;
        }
        const RunPlan& plan = std::get<RunPlan>(decision.outcome);
        if (plan.askBeforeReplacing &&
            platform_.message(replaceQuestion(plan.newPath), tr("File Error"),
                              MessageIcon::Question, MessageButtons::YesNo) == MessageAnswer::No) {
            return;
        }
        // Remembered before any file is read, so that it stays when reading fails.
        newFileFolder_ = plan.folderToRemember;
        startRun(plan);
    } catch (const Error& error) {
        report(error.message());
    }
}

void MainWindow::startRun(const RunPlan& plan) {
    focusBeforeRun_ = QApplication::focusWidget();
    lockControls(true);
    runNewPath_ = plan.newPath;
    runJob_ = new RunJob(initPathLabel_->text(), referencePathLabel_->text(),
                         separatorEdit_->text(), plan.newPath, this);
    connect(runJob_, &RunJob::finished, this, &MainWindow::onRunFinished);
    runJob_->start();
    progressDelay_.start();
}

void MainWindow::showProgress() {
    if (runJob_ == nullptr) {
        return;
    }
    progress_ = new QProgressDialog(tr("Searching the Init file..."), tr("Cancel"), 0, 1000, this);
    progress_->setObjectName(QStringLiteral("runProgress"));
    progress_->setWindowTitle(tr("Corvane"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoReset(false);
    progress_->setAutoClose(false);
    progress_->setMinimumDuration(0);
    // The button and Escape both stop the job; it ends soon after and closes the dialog.
    connect(progress_, &QProgressDialog::canceled, runJob_, &RunJob::cancel);
    const auto update = [this] {
        if (progress_ != nullptr && runJob_ != nullptr) {
            progress_->setValue(runJob_->searchedPerMille());
        }
    };
    connect(&progressUpdates_, &QTimer::timeout, progress_, update);
    update();
    progress_->show();
    progressUpdates_.start();
}

void MainWindow::lockControls(bool locked) {
    for (QWidget* control : std::initializer_list<QWidget*>{
             initFindButton_, referenceFindButton_, initPathLabel_, referencePathLabel_,
             newFileEdit_, separatorFrame_, openNewFileCheck_, quintrelButton_, clearButton_}) {
        control->setEnabled(!locked);
    }
    // Run comes back as the readiness rule left it before the Run.
    if (locked) {
        runEnabledBeforeRun_ = runButton_->isEnabled();
    }
    runButton_->setEnabled(!locked && runEnabledBeforeRun_);
}

void MainWindow::onRunFinished() {
    if (runJob_ == nullptr) {
        return;
    }
    RunJob* job = runJob_;
    runJob_ = nullptr;
    job->deleteLater();
    progressDelay_.stop();
    progressUpdates_.stop();
    delete progress_;
    progress_ = nullptr;
    lockControls(false);
    if (focusBeforeRun_ != nullptr) {
        focusIfPossible(focusBeforeRun_);
    }

    if (const std::exception_ptr failure = job->failure()) {
        try {
            std::rethrow_exception(failure);
        } catch (const Error& error) {
            report(error.message());
        } catch (const std::exception& error) {
            report(QString::fromLocal8Bit(error.what()));
        }
        return;
    }
    if (!job->written() || openNewFileCheck_->value() == 0) {
        return;
    }
    const QString written = runNewPath_;
    const QString notStarted = tr("The New file \"%1\" was written, but no text editor could be "
                                  "started to show it.")
                                   .arg(written);
    // The launcher may find out only later that nothing can open the file; Run has ended by
    // then, and the window, if it is still there, reports it the same way.
    const QPointer<MainWindow> window(this);
    const auto failedLater = [window, notStarted] {
        if (window) {
            window->report(notStarted);
        }
    };
    if (!platform_.openInEditor(written, failedLater)) {
        report(notStarted);
    }
}

void MainWindow::stopRun() {
    if (runJob_ != nullptr) {
        runJob_->cancel();
        runJob_->wait();
        onRunFinished();
    }
}

void MainWindow::closeEvent(QCloseEvent* event) {
    saveSettingsOnce();
    event->accept();
}

void MainWindow::saveSettingsOnce() {
    // A Run still working is stopped first: its folder is saved, its file is not written.
    stopRun();
    if (settingsSaved_) {
        return;
    }
    settingsSaved_ = true;
    try {
        saveSettings();
    } catch (const Error& error) {
        report(error.message());
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event) {
    std::optional<Row> row;
    for (const Row candidate : {Row::Init, Row::Reference}) {
        if (watched == pathLabel(candidate) || watched == findButton(candidate)) {
            row = candidate;
        }
    }
    if (!row) {
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
            takeChosenFile(*row, *file);
            return true;
        }
        default:
            return QWidget::eventFilter(watched, event);
    }
}

}  // namespace corvane
