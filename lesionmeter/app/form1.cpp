#include "form1.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QScrollBar>
#include <QSignalBlocker>

#include <exception>
#include <utility>

#include "fit_plot_set.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/paths.hpp"
#include "lesionmeter/stages.hpp"


namespace lesionmeter::app {

namespace {

// The outline file's problems in the window's words: its name is the text of Text22, written by
// "save1" and consumed by "loadcal".
std::string windowWords(const OutlineFileError& e) {
    const std::string& name = e.fileName();
    switch (e.problem()) {
        case OutlineFileProblem::NoName: return "save1: Text22 holds no outline file name (load an image first)";
        case OutlineFileProblem::RefusedByGuard: {
            // The guard's refusal names the file by the engine's words; the window names its box.
            std::string message = e.what();
            const std::string words = kOutlineFileWords;
            if (message.compare(0, words.size(), words) == 0) message = message.substr(words.size());
            return "save1: the outline file (Text22)" + message;
        }
        case OutlineFileProblem::ReplacesAnotherFile:
            return "save1: " + name + " (Text22) already exists and was not written by \"save1\" in this session; "
                   "it is not replaced; change the name in Text22";
        case OutlineFileProblem::NotFound:
            return "loadcal: the outline file " + (name.empty() ? std::string("(no name in Text22)") : name) +
                   " was not found (\"save1\" writes it, \"loadcal\" deletes it after reading)";
    }
    return e.what();
}

// Runs an outline file operation; its OutlineFileError is reworded for the window.
void inWindowWords(const std::function<void()>& operation) {
    try {
        operation();
    } catch (const OutlineFileError& e) {
        throw imaging::RunError(e.kind(), windowWords(e));
    }
}

}  // namespace

Form1::Form1(LesionSession& session, QWidget* parent) : QWidget(parent), session_(session) {
    setObjectName("Form1");
    setWindowTitle(QString::fromUtf8(kWindowCaption));
    // The window's texts include Japanese (the sample means of "Calc + Draw").
    QFont windowFont(QStringLiteral("Noto Sans CJK JP"));
    windowFont.setPixelSize(11);
    setFont(windowFont);
    // The described window is 689 x 628; the marks controls sit in a strip added below it.
    setFixedSize(689, kMarksStripBottom);

    buildPictureBoxes();
    buildTextBoxes();
    buildCommandButtons();
    buildOptionGroups();
    buildOtherControls();

    controls_[Control::Picture1] = picture1View_;
    for (int n = 2; n <= 18; ++n) controls_[pictureControl(n)] = pictures_[std::size_t(n)];
    for (int n = 1; n <= 22; ++n) {
        if (texts_[std::size_t(n)]) controls_[textControl(n)] = texts_[std::size_t(n)];
    }
    const Control commandControls[] = {Control::Command1, Control::Command2, Control::Command3,
                                       Control::Command4, Control::Command5, Control::Command6,
                                       Control::Command7, Control::Command8, Control::Command9};
    for (int n = 1; n <= 9; ++n) controls_[commandControls[n - 1]] = commands_[std::size_t(n)];
    const Control optionControls[] = {Control::Option1, Control::Option2, Control::Option3, Control::Option4,
                                      Control::Option5, Control::Option6, Control::Option7};
    for (int n = 1; n <= 7; ++n) controls_[optionControls[n - 1]] = options_[std::size_t(n)];
    controls_[Control::Check1] = check1_;
    controls_[Control::Label1] = label1_;
    controls_[Control::Label2] = label2_;
    controls_[Control::Frame1] = frame1_;

    hooks_ = ui::interactiveHooks(this, QString::fromUtf8(kWindowCaption));
    askMarksFile_ = [this](bool save, const QString& suggested) {
        const QString filter = QStringLiteral("Marks (*.marks.json *.json);;All files (*)");
        return save ? QFileDialog::getSaveFileName(this, QStringLiteral("Save marks"), suggested, filter)
                    : QFileDialog::getOpenFileName(this, QStringLiteral("Load marks"), suggested, filter);
    };
    // The controls follow the session also after a failure: the steps before it are done.
    guard_.afterCommand = [this] { syncFromSession(); };
    guard_.report = [this](const QString& message) { report(message); };

    wireEvents();
    // The window opening: the session's start-up opens the RGB output file named by Text13.
    run([this] { session_.startUp(); });
}

QWidget* Form1::widgetOf(Control c) const {
    const auto it = controls_.find(c);
    return it == controls_.end() ? nullptr : it->second;
}

void Form1::wireEvents() {
    connect(commands_[1], &QPushButton::clicked, this, &Form1::fileCommand);
    connect(commands_[2], &QPushButton::clicked, this, &Form1::endCommand);
    connect(commands_[3], &QPushButton::clicked, this, &Form1::fractalCalcCommand);
    connect(fitPlotsButton_, &QPushButton::clicked, this, [this] {
        ui::FitPlotsWindow& w = fitPlots();
        w.show();
        w.raise();
        w.activateWindow();
    });
    connect(commands_[4], &QPushButton::clicked, this,
            [this] { lastCommandSucceeded_ = run([this] { session_.appendResultsRow(); }); });
    connect(commands_[5], &QPushButton::clicked, this, &Form1::calcAndDrawCommand);
    connect(commands_[6], &QPushButton::clicked, this, [this] { run([this] { session_.measureAxis(); }); });
    connect(commands_[7], &QPushButton::clicked, this, [this] { run([this] { session_.showInformation(); }); });
    connect(commands_[8], &QPushButton::clicked, this,
            [this] { run([this] { inWindowWords([this] { session_.reloadOutline(); }); }); });
    connect(commands_[9], &QPushButton::clicked, this, &Form1::save1Command);

    connect(options_[1], &QRadioButton::clicked, this, [this] { run([this] { session_.selectIn(); }); });
    connect(options_[2], &QRadioButton::clicked, this, [this] { run([this] { session_.selectOut(); }); });
    connect(options_[3], &QRadioButton::clicked, this, [this] { run([this] { session_.selectBlackWhite(); }); });
    connect(options_[4], &QRadioButton::clicked, this, [this] { run([this] { session_.selectLine(); }); });
    connect(options_[5], &QRadioButton::clicked, this,
            [this] { run([this] { session_.selectEraser(EraserMode::Narrow); }); });
    connect(options_[6], &QRadioButton::clicked, this,
            [this] { run([this] { session_.selectEraser(EraserMode::Wide); }); });
    connect(options_[7], &QRadioButton::clicked, this,
            [this] { run([this] { session_.selectEraser(EraserMode::Put); }); });
    connect(check1_, &QCheckBox::toggled, this, [this](bool ticked) { run([&] { session_.setRgbOutputTicked(ticked); }); });

    // Editable text boxes hand every edit to the session, which the commands read.
    for (int n = 1; n <= 22; ++n) {
        QLineEdit* box = texts_[std::size_t(n)];
        if (!box) continue;
        connect(box, &QLineEdit::textEdited, this,
                [this, n](const QString& value) {
                    if (std::string* text = sessionText(session_, n)) *text = value.toStdString();
                });
    }

    using ui::PictureView;
    connect(pictures_[1], &PictureView::moved, this, [this](double x, double y) { picture1Moved(x, y); });
    connect(pictures_[1], &PictureView::pressed, this, &Form1::picture1Pressed);
    connect(pictures_[2], &PictureView::moved, this,
            [this](double, double, Qt::MouseButtons buttons) { picture2Moved(buttons); });
    connect(pictures_[12], &PictureView::moved, this, &Form1::picture12Moved);
    connect(pictures_[14], &PictureView::clicked, this, [this] { run([this] { session_.hideInformation(); }); });

    connect(showMarks_, &QCheckBox::toggled, this, [this] { syncMarks(); });
    connect(saveMarks_, &QPushButton::clicked, this, &Form1::saveMarksCommand);
    connect(loadMarks_, &QPushButton::clicked, this, &Form1::loadMarksCommand);

    connect(chooser_, &ui::FileChooser::fileChosen, this, &Form1::fileChosen);
    connect(chooser_, &ui::FileChooser::failed, this, &Form1::report);
}

void Form1::report(const QString& message) {
    if (!shown_) {
        pendingMessages_ << message;
        return;
    }
    hooks_.error(message);
}

void Form1::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    if (shown_) return;
    shown_ = true;
    // Shown once the window is on the screen, not from inside its showing.
    QMetaObject::invokeMethod(
        this,
        [this] {
            for (const QString& message : std::exchange(pendingMessages_, {})) report(message);
        },
        Qt::QueuedConnection);
}

void Form1::fileCommand() {
    if (run([this] { session_.openChooser(); })) chooser_->refresh();
}

bool Form1::fileChosen(const QString& folder, const QString& name) {
    return loadPhotograph(folder, name, false);
}

bool Form1::loadPhotograph(const QString& folder, const QString& name, bool fit) {
    bool loaded = run([&] { session_.loadImage(folder.toStdString(), name.toStdString(), fit); });
    // A photograph too large for the lesion map may be reduced to fit before any sample is taken.
    if (loaded && session_.photographTooLarge()) {
        const imaging::PictureSurface& photo = session_.pictures().photo;
        const QString question =
            QStringLiteral("The photograph is %1 x %2 pixels; \"Calc + Draw\" handles at most %3 x %4.\n\n"
                           "Reduce it to fit (area averaging) before you take samples?")
                .arg(photo.width())
                .arg(photo.height())
                .arg(kMaxMapWidth)
                .arg(kMaxMapHeight);
        if (hooks_.yes(question))
            loaded = run([&] { session_.loadImage(folder.toStdString(), name.toStdString(), true); });
    }
    if (loaded) {
        picture1View_->horizontalScrollBar()->setValue(0);
        picture1View_->verticalScrollBar()->setValue(0);
    }
    return loaded;
}

bool Form1::openImage(const QString& path, bool fit) {
    const QFileInfo info(path);
    if (!info.exists()) {
        report(QStringLiteral("File not found: ") + path);
        return false;
    }
    fileCommand();
    if (!chooser_->openFolder(info.absolutePath())) return false;
    const auto items = chooser_->file1()->findItems(info.fileName(), Qt::MatchExactly);
    if (!items.isEmpty()) chooser_->file1()->setCurrentItem(items.front());
    return loadPhotograph(chooser_->folder(), info.fileName(), fit);
}

QString Form1::suggestedMarksFile() const {
    const std::string photo = session_.texts().imagePath;
    if (session_.selectedFileName().empty() || photo.empty()) return QDir::homePath();
    return QString::fromStdString(marksFileFor(imaging::hostPath(photo)));
}

void Form1::saveMarksCommand() {
    if (!askMarksFile_) return;
    const QString name = askMarksFile_(true, suggestedMarksFile());
    if (name.isEmpty()) return;
    run([&] {
        if (session_.selectedFileName().empty())
            throw imaging::RunError::refused("Save marks: load a photograph and click the samples first");
        const std::string file = name.toStdString();
        imaging::guardOutput("Save marks: the marks file", file, "marks file", {session_.texts().imagePath},
                             &session_.writtenFiles());
        writeMarks(file, marksOf(session_));
    });
}

void Form1::loadMarksCommand() {
    if (!askMarksFile_) return;
    const QString name = askMarksFile_(false, suggestedMarksFile());
    if (!name.isEmpty()) loadMarksFile(name);
}

bool Form1::loadMarksFile(const QString& path) {
    return run([&] {
        const Marks marks = readMarks(path.toStdString());
        checkMarksPhoto(marks, path.toStdString(), session_.selectedFileName(), "Load marks: ");
        replayMarks(session_, marks);
        // The next "Calc + Draw" repeats the one the marks were saved after.
        session_.setNextRunSeed(marks.seed);
    });
}

bool Form1::analyse() {
    // Each press goes through the button itself, as the user's click would.
    commands_[5]->click();
    if (!session_.calcDone()) return false;
    options_[4]->click();
    if (session_.displayMode() != DisplayMode::Line) return false;
    commands_[3]->click();
    if (!session_.fractalDone()) return false;
    commands_[6]->click();
    if (!session_.axisDone()) return false;
    lastCommandSucceeded_ = false;
    commands_[4]->click();
    return lastCommandSucceeded_;
}

// "Calc + Draw" may search for up to 1,500,000 iterations on this thread: the window shows the
// wait pointer, repaints the counters as weight sets are accepted, and drops any input that
// arrives before the command ends.
void Form1::calcAndDrawCommand() {
    CalcCallbacks callbacks;
    callbacks.onAccepted = [this](const AcceptedSet&) {
        for (int n : {4, 6, 7, 8}) pictures_[std::size_t(n)]->repaint();
    };
    callbacks.beep = [this] {
        hooks_.beep();
    };
    // The message box opens once the window takes input again, so that the user can close it.
    guard_.runBlocked([&] { session_.calcAndDraw(callbacks); });
}

void Form1::save1Command() {
    // An existing file that "save1" did not write in this session is replaced only when the user
    // says so; without a user (the question is answered no) it is refused. Pictures are refused without asking.
    bool replacesAnother = false;
    if (!run([&] { inWindowWords([&] { replacesAnother = session_.outlineWouldReplaceAnotherFile(); }); })) return;
    const QString name = QString::fromStdString(session_.texts().outlineFileName);
    const bool replace =
        replacesAnother &&
        hooks_.yes(QStringLiteral("%1 (Text22) already exists and was not written by \"save1\" in this session.\n\n"
                            "Replace it with the outline?")
                 .arg(name));
    run([&] { inWindowWords([&] { session_.saveOutline(replace); }); });
}

void Form1::fractalCalcCommand() {
    run([this] { session_.measureFractalDimensions(); });
    if (fitPlots_) fitPlots_->showFits(lesionFitPlots(session_.fractalFits()));
}

ui::FitPlotsWindow& Form1::fitPlots() {
    if (!fitPlots_) {
        fitPlots_ = new ui::FitPlotsWindow(this);
        fitPlots_->showFits(lesionFitPlots(session_.fractalFits()));
    }
    return *fitPlots_;
}

void Form1::endCommand() {
    if (!run([this] { session_.end(); })) return;
    ended_ = true;
    close();
}

void Form1::closeEvent(QCloseEvent* event) {
    // Closing the window ends the program like "END": the RGB output file is closed.
    if (!ended_) {
        ended_ = true;
        try {
            session_.end();
        } catch (const std::exception&) {
        }
    }
    if (fitPlots_) fitPlots_->close();
    event->accept();
}

void Form1::picture1Moved(double x, double y) {
    run([&] { session_.pointerMove(float(x), float(y)); });
}

void Form1::picture1Pressed(double x, double y, Qt::MouseButtons buttons) {
    run([&] { session_.mouseDown(ui::PictureView::buttonState(buttons), float(x), float(y)); });
}

void Form1::picture2Moved(Qt::MouseButtons buttons) {
    const int state = ui::PictureView::buttonState(buttons);
    if (state != 0 && state != kLeftButton) return;
    run([&] { session_.pointerOverLesionMap(state); });
}

void Form1::picture12Moved(double x, double y, Qt::MouseButtons buttons) {
    run([&] { session_.eraserMove(ui::PictureView::buttonState(buttons), float(x), float(y)); });
}

void Form1::syncFromSession() {
    syncTexts();
    syncOptions();
    syncStates();
    syncPictures();
    syncMarks();
    syncStatus();
    syncTitle();
}

void Form1::syncMarks() {
    marksOverlay_->setMarks(marksOf(session_));
    marksOverlay_->setVisible(showMarks_->isChecked());
}

void Form1::syncStatus() {
    const QString warning = QString::fromStdString(session_.photoWarning());
    if (statusLine_->text() != warning) statusLine_->setText(warning);
}

void Form1::syncTitle() {
    // A reduced photograph says so, with the factor that converts its positions back.
    QString title = QString::fromUtf8(kWindowCaption);
    if (session_.photographScale() != 1.0)
        title += QStringLiteral(" - %1 reduced to fit, scale %2")
                     .arg(QString::fromStdString(session_.selectedFileName()),
                          QString::number(session_.photographScale(), 'g', 17));
    if (windowTitle() != title) setWindowTitle(title);
}

void Form1::syncTexts() {
    for (int n = 1; n <= 22; ++n) {
        QLineEdit* box = texts_[std::size_t(n)];
        if (!box) continue;
        const QString value = QString::fromStdString(*sessionText(session_, n));
        if (box->text() != value) {
            box->setText(value);
            box->setCursorPosition(0);
        }
    }
}

void Form1::syncOptions() {
    const auto select = [](QRadioButton* button) {
        const QSignalBlocker block(button);
        if (!button->isChecked()) button->setChecked(true);
    };
    select(options_[session_.sampleClass() == SampleClass::In ? 1 : 2]);
    select(options_[session_.displayMode() == DisplayMode::BlackWhite ? 3 : 4]);
    switch (session_.eraserMode()) {
        case EraserMode::Narrow: select(options_[5]); break;
        case EraserMode::Wide: select(options_[6]); break;
        case EraserMode::Put: select(options_[7]); break;
    }
    const QSignalBlocker block(check1_);
    check1_->setChecked(session_.rgbOutputTicked());
}

void Form1::syncStates() {
    for (const auto& [control, widget] : controls_) {
        const bool shown = controlShown(session_, control);
        if (widget->isHidden() == shown) widget->setVisible(shown);
        widget->setEnabled(controlEnabled(session_, control));
    }
}

void Form1::syncPictures() {
    const imaging::PictureSurface& photo = session_.pictures().photo;
    const QSize photoSize(std::max(1, photo.width()), std::max(1, photo.height()));
    if (pictures_[1]->size() != photoSize) pictures_[1]->resize(photoSize);
    for (ui::PictureView* box : pictures_) {
        if (box) box->sync();
    }
    pictures_[2]->setCursor(session_.lesionMapPointer() == PointerShape::Move ? Qt::SizeAllCursor : Qt::ArrowCursor);
}

}  // namespace lesionmeter::app
