#include "form1.hpp"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QFileDialog>
#include <QFileInfo>
#include <QImageReader>
#include <QStyle>

#include <exception>
#include <future>
#include <thread>

#include "fit_plot_set.hpp"
#include "imaging/errors.hpp"
#include "imaging/numeric.hpp"
#include "imaging/output_guard.hpp"
#include "imaging/paths.hpp"
#include "texturemeter/square_file.hpp"
#include "window_fonts.hpp"

namespace texturemeter::window {

namespace {

// The window is just large enough for its controls.
constexpr int kFormWidth = 822;
constexpr int kFormHeight = 608;

QString qs(const std::string& s) { return QString::fromStdString(s); }
std::string ss(const QString& s) { return s.toStdString(); }

QLabel* makeLabel(QWidget* parent, const char* name, const QString& caption, QRect place) {
    auto* label = new QLabel(caption, parent);
    label->setObjectName(QLatin1String(name));
    label->setGeometry(place);
    return label;
}

QLineEdit* makeText(QWidget* parent, const char* name, const QString& text, QRect place) {
    auto* box = new QLineEdit(text, parent);
    box->setObjectName(QLatin1String(name));
    box->setGeometry(place);
    return box;
}

template <class Button>
Button* makeButton(QWidget* parent, const char* name, const QString& caption, QRect place) {
    auto* button = new Button(caption, parent);
    button->setObjectName(QLatin1String(name));
    button->setGeometry(place);
    button->setAutoDefault(false);
    return button;
}

// A picture of the window: framed, sunken.
ui::PictureView* makePicture(QWidget* parent, const char* name, QRect place) {
    auto* view = new ui::PictureView(parent);
    view->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    view->setLineWidth(1);
    view->setObjectName(QLatin1String(name));
    view->setGeometry(place);
    return view;
}

}  // namespace

// Shows the run's progress as it goes: each status word is painted into Picture8 at once
// (together with whatever the run has drawn so far), then the window handles its pending
// repaints before the run continues.
class Form1::RunProgress : public RunObserver {
public:
    explicit RunProgress(Form1& form) : form_(form) {}
    void statusPrinted(const std::string& word) override {
        for (ui::PictureView* view : {form_.Picture2, form_.Picture3, form_.Picture7, form_.Picture8}) {
            view->sync();
            view->repaint();
        }
        emit form_.statusShown(qs(word));
        QCoreApplication::processEvents();
    }
    void extentsChanged(int extentX, int extentY) override {
        form_.Text8->setText(qs(imaging::numberText(extentX)));
        form_.Text9->setText(qs(imaging::numberText(extentY)));
    }
    void beep() override {
        form_.hooks().beep();
    }

private:
    Form1& form_;
};

Form1::Form1(imaging::UniformRandom* random, QWidget* parent) : QWidget(parent) {
    session_ = random ? std::make_unique<TextureSession>(*random) : std::make_unique<TextureSession>();
    // The window's messages name each output by the box that holds its name.
    session_->outputLabels = {"results file (Output File, Text5)", "Text11 (Hessian image)",
                              "Text13 (monochrome image)",         "Text14 (line figure)",
                              "Text15 (dot figure)",               "Text18 (outline figure)"};
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(kFormCaption);
    QFont base = font();
    base.setPixelSize(12);
    setFont(base);
    setFixedSize(kFormWidth, kFormHeight);

    hooks_ = ui::interactiveHooks(this, kFormCaption);
    askSquareFile = [this](bool save, const QString& suggested) {
        const QString filter = QStringLiteral("Square files (*.square.json);;All files (*)");
        return save ? QFileDialog::getSaveFileName(this, QStringLiteral("Save square"), suggested, filter)
                    : QFileDialog::getOpenFileName(this, QStringLiteral("Load square"), suggested, filter);
    };
    guard_.afterCommand = [this] { showSession(); };
    guard_.report = [this](const QString& message) { hooks_.error(message); };

    createControls();
    connectControls();

    chooser_->openFolder(QDir::currentPath());
    showSession();
}

Form1::~Form1() = default;

void Form1::createControls() {
    TextureSession& s = *session_;

    Picture1Place = new QScrollArea(this);
    Picture1Place->setObjectName(QStringLiteral("Picture1Place"));
    Picture1Place->setGeometry(0, 0, 409, 409);
    Picture1Place->setWidgetResizable(false);
    Picture1Place->setBackgroundRole(QPalette::Base);
    Picture1 = new ui::PictureView;
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setMouseTracking(true);
    Picture1->setCursor(Qt::CrossCursor);
    Picture1Place->setWidget(Picture1);

    Picture3 = makePicture(this, "Picture3", {416, 0, 193, 201});
    Picture2 = makePicture(this, "Picture2", {416, 208, 193, 193});
    Picture7 = makePicture(this, "Picture7", {624, 8, 193, 185});
    Picture8 = makePicture(this, "Picture8", {728, 232, 81, 17});
    Picture9 = makePicture(this, "Picture9", {752, 272, 49, 25});
    Picture8->setFrameStyle(QFrame::NoFrame);
    Picture8->setFont(japaneseFont(font()));
    Picture9->setFont(japaneseFont(font()));

    // A new drive shows its root folder; File1 lists "*.jpg".
    chooser_ = new ui::FileChooser(this, ui::DriveChange::Root);
    Drive1 = chooser_->drive1();
    Drive1->setGeometry(4, 416, 180, 22);
    Dir1 = chooser_->dir1();
    Dir1->setGeometry(4, 442, 180, 162);
    Label10 = makeLabel(this, "Label10", QStringLiteral(u"Select File ↓( of subdirectory, not root directory )"),
                        {192, 410, 194, 32});
    Label10->setWordWrap(true);
    File1 = chooser_->file1();
    File1->setGeometry(192, 444, 194, 160);
    File1->setPattern(QStringLiteral("*.jpg"));

    Label1 = makeLabel(this, "Label1", QStringLiteral("Input File"), {396, 410, 100, 16});
    Text1 = makeText(this, "Text1", {}, {396, 427, 216, 21});
    Label7 = makeLabel(this, "Label7", QStringLiteral("X * Y"), {396, 453, 36, 21});
    Text2 = makeText(this, "Text2", {}, {434, 453, 52, 21});
    Text3 = makeText(this, "Text3", {}, {490, 453, 52, 21});
    Label3 = makeLabel(this, "Label3", QStringLiteral("Output File"), {396, 479, 70, 21});
    Text5 = makeText(this, "Text5", qs(RunTexts{}.resultsName), {468, 479, 144, 21});

    // The derived-name boxes and the unused boxes lie under Picture10.
    Text11 = makeText(this, "Text11", {}, {396, 508, 132, 21});
    Text13 = makeText(this, "Text13", {}, {530, 508, 132, 21});
    Text14 = makeText(this, "Text14", {}, {396, 531, 132, 21});
    Text15 = makeText(this, "Text15", {}, {530, 531, 132, 21});
    Text16 = makeText(this, "Text16", {}, {396, 554, 132, 21});
    Text18 = makeText(this, "Text18", {}, {530, 554, 132, 21});
    Text4 = makeText(this, "Text4", {}, {396, 577, 86, 21});
    Text7 = makeText(this, "Text7", {}, {486, 577, 86, 21});
    Text10 = makeText(this, "Text10", {}, {576, 577, 86, 21});
    Picture10 = makePicture(this, "Picture10", {392, 504, 273, 97});
    // Picture4..Picture6 are empty pictures that the program only shows or hides.
    Picture4 = makePicture(this, "Picture4", {392, 504, 273, 97});
    Picture5 = makePicture(this, "Picture5", {392, 504, 273, 97});
    Picture6 = makePicture(this, "Picture6", {392, 504, 273, 97});
    // Pictures nothing is ever drawn into keep the window's own colour.
    for (ui::PictureView* empty : {Picture4, Picture5, Picture6, Picture10}) empty->setPlainBackground(palette().color(QPalette::Button));

    Label4 = makeLabel(this, "Label4", {}, {624, 204, 36, 21});
    Text20 = makeText(this, "Text20", {}, {662, 204, 50, 21});
    Text21 = makeText(this, "Text21", {}, {716, 204, 50, 21});
    Label5 = makeLabel(this, "Label5", QStringLiteral("LAST_EWW"), {624, 232, 66, 19});
    Text8 = makeText(this, "Text8", {}, {691, 231, 35, 21});
    Label6 = makeLabel(this, "Label6", QStringLiteral("LAST_HWW"), {624, 257, 66, 19});
    Text9 = makeText(this, "Text9", {}, {691, 256, 35, 21});
    for (QLabel* japanese : {Label5, Label6}) japanese->setFont(japaneseFont(font()));

    Label2 = makeLabel(this, "Label2", QStringLiteral("Sampling width\n"), {624, 305, 110, 20});
    Label2->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Text12 = makeText(this, "Text12", QStringLiteral("200"), {736, 302, 64, 21});
    Label8 = makeLabel(this, "Label8", QStringLiteral("Length of one side"), {624, 326, 110, 21});
    Label8->setFont(japaneseFont(font()));
    Text6 = makeText(this, "Text6", QStringLiteral("40"), {736, 326, 64, 21});
    Label9 = makeLabel(this, "Label9", QStringLiteral("Interval"), {624, 350, 110, 21});
    Text17 = makeText(this, "Text17", QStringLiteral("5"), {736, 350, 64, 21});
    Text19 = makeText(this, "Text19", QStringLiteral("4"), {736, 374, 64, 21});
    Text19->setToolTip(QStringLiteral("Neighbour distance of the outline"));

    Command3 = makeButton<QPushButton>(this, "Command3", QStringLiteral("Start(A)"), {624, 400, 193, 26});
    Command6 = makeButton<CaptionButton>(this, "Command6", QStringLiteral("START(B)-Processing of reflection effect"),
                                         {624, 428, 193, 40});
    Command7 = makeButton<QPushButton>(this, "Command7", QStringLiteral("Start (C) Normalization"), {624, 470, 193, 28});
    Command1 = makeButton<QPushButton>(this, "Command1", QStringLiteral("P-1"), {670, 506, 47, 24});
    Command5 = makeButton<QPushButton>(this, "Command5", QStringLiteral("P-2"), {720, 506, 47, 24});
    Command4 = makeButton<QPushButton>(this, "Command4", QStringLiteral("P-3"), {770, 506, 47, 24});
    Command2 = makeButton<QPushButton>(this, "Command2", QStringLiteral("END"), {670, 576, 147, 28});
    fitPlotsButton = makeButton<QPushButton>(this, "FitPlots", QStringLiteral("Fit plots"), {670, 540, 147, 28});
    saveSquareButton = makeButton<QPushButton>(this, "SaveSquare", QStringLiteral("Save square"), {624, 279, 124, 21});
    loadSquareButton = makeButton<QPushButton>(this, "LoadSquare", QStringLiteral("Load square"), {624, 374, 108, 21});

    // Over Picture10, which nothing draws into and which stays where it is; the text lets
    // clicks through to the pictures below.
    statusLine = makeLabel(this, "StatusLine", {}, {395, 506, 268, 93});
    statusLine->setWordWrap(true);
    QFont small = font();
    small.setPixelSize(10);
    statusLine->setFont(small);
    statusLine->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    statusLine->setAttribute(Qt::WA_TransparentForMouseEvents);
    statusLine->setStyleSheet(QStringLiteral("color: #a00000;"));

    Picture1->setSurface(&s.photo);
    Picture2->setSurface(&s.monochromeImage);
    Picture3->setSurface(&s.hessianImage);
    Picture7->setSurface(&s.figure);
    Picture8->setSurface(&s.statusView);
    Picture9->setSurface(&s.greyReadout);
}

void Form1::connectControls() {
    connect(chooser_, &ui::FileChooser::fileChosen, this, &Form1::file1Click);
    connect(chooser_, &ui::FileChooser::failed, this, [this](const QString& message) { hooks_.error(message); });
    // The corner is taken where the mouse is, fractions included; the session rounds it.
    connect(Picture1, &ui::PictureView::pressed, this, [this](double x, double y, Qt::MouseButtons) {
        picture1MouseDown(x, y);
    });
    connect(Picture1, &ui::PictureView::moved, this, [this](double x, double y, Qt::MouseButtons) {
        picture1MouseMove(x, y);
    });
    connect(Command3, &QPushButton::clicked, this, [this] { startRun(Variant::A); });
    connect(Command6, &QPushButton::clicked, this, [this] { startRun(Variant::B); });
    connect(Command7, &QPushButton::clicked, this, [this] { startRun(Variant::C); });
    connect(Command1, &QPushButton::clicked, this, [this] { guarded([this] { session_->pressP1(); }); });
    connect(Command5, &QPushButton::clicked, this, [this] { guarded([this] { session_->pressP2(); }); });
    connect(Command4, &QPushButton::clicked, this, [this] { guarded([this] { session_->pressP3(); }); });
    connect(Command2, &QPushButton::clicked, this, &QWidget::close);
    connect(saveSquareButton, &QPushButton::clicked, this, &Form1::saveSquareCommand);
    connect(loadSquareButton, &QPushButton::clicked, this, &Form1::loadSquareCommand);
    connect(fitPlotsButton, &QPushButton::clicked, this, [this] {
        ui::FitPlotsWindow& w = fitPlots();
        w.show();
        w.raise();
        w.activateWindow();
    });
}

ui::FitPlotsWindow& Form1::fitPlots() {
    if (!fitPlots_) {
        fitPlots_ = new ui::FitPlotsWindow(this);
        fitPlots_->showFits(lastFits_);
    }
    return *fitPlots_;
}

void Form1::file1Click(const QString& folder, const QString& fileName) { selectPhoto(folder, fileName); }

bool Form1::selectPhoto(const QString& folder, const QString& fileName) {
    const std::string directory = ss(folder), name = ss(fileName);
    // The header alone tells the size; a file it cannot tell is decoded at once (and its error
    // reported as before).
    const QSize size =
        QImageReader(qs(imaging::hostPath(TextureSession::selectedPath(directory, name)))).size();
    if (!size.isValid() || qint64(size.width()) * size.height() <= kDecodeAsidePixels)
        return guarded([&] { session_->selectImage(directory, name); });
    // A large photograph: the window shows the wait pointer and takes no input until it is shown.
    loadingPhoto_ = true;
    const bool ok = guard_.runBlocked([&] {
        session_->selectImage(directory, name, [this](const std::string& hostPath) { return decodeAside(hostPath); });
    });
    loadingPhoto_ = false;
    return ok;
}

imaging::Image Form1::decodeAside(const std::string& hostPath) {
    std::promise<imaging::Image> decoded;
    std::future<imaging::Image> result = decoded.get_future();
    QEventLoop waiting;
    std::thread decoder([&] {
        try {
            decoded.set_value(session_->decodePhoto(hostPath));
        } catch (...) {
            decoded.set_exception(std::current_exception());
        }
        QMetaObject::invokeMethod(&waiting, &QEventLoop::quit, Qt::QueuedConnection);
    });
    waiting.exec();
    decoder.join();
    return result.get();
}

void Form1::picture1MouseDown(double x, double y) {
    guarded([&] { session_->pressPhoto(x, y, ss(Text12->text())); });
}

void Form1::picture1MouseMove(double x, double y) {
    // Only the readout changes; the rest of the window need not be looked at again.
    try {
        session_->movePointerOverPhoto(x, y);
    } catch (...) {
        hooks_.error(ui::currentErrorMessage());
    }
    Picture9->sync();
}

void Form1::passEditedTexts() {
    TextureSession& s = *session_;
    s.derivedImageNames.hessian = ss(Text11->text());
    s.derivedImageNames.monochrome = ss(Text13->text());
    s.derivedImageNames.lineFigure = ss(Text14->text());
    s.derivedImageNames.dotFigure = ss(Text15->text());
    s.derivedImageNames.unused = ss(Text16->text());
    s.derivedImageNames.outline = ss(Text18->text());
}

void Form1::pressRunButton(char variant) {
    QPushButton* button = variant == 'B' ? static_cast<QPushButton*>(Command6) : variant == 'C' ? Command7 : Command3;
    button->click();
}

void Form1::startRun(Variant variant) {
    if (running_) return;
    running_ = true;
    passEditedTexts();
    RunTexts texts;
    texts.resultsName = ss(Text5->text());
    texts.tileSide = ss(Text6->text());
    texts.regionSide = ss(Text12->text());
    texts.neighbourDistance = ss(Text19->text());
    RunProgress progress(*this);
    const bool ok = guard_.runBlocked([&] {
        const RunOutcome outcome = session_->run(variant, texts, &progress);
        Text8->setText(qs(imaging::numberText(outcome.extentX)));
        Text9->setText(qs(imaging::numberText(outcome.extentY)));
        lastFits_ = textureFitPlots(outcome);
    });
    // A failed run leaves no fits to show beside its partial results.
    if (!ok) lastFits_ = {};
    if (fitPlots_) fitPlots_->showFits(lastFits_);
    running_ = false;
    emit runFinished(ok);
}

QString Form1::suggestedSquareFile() const {
    if (!session_->photoLoaded()) return QDir::homePath();
    return qs(squareFileFor(imaging::hostPath(session_->imagePath)));
}

void Form1::saveSquareCommand() {
    if (running_ || !askSquareFile) return;
    const QString name = askSquareFile(true, suggestedSquareFile());
    if (!name.isEmpty()) saveSquareFile(name);
}

void Form1::loadSquareCommand() {
    if (running_ || !askSquareFile) return;
    const QString name = askSquareFile(false, suggestedSquareFile());
    if (!name.isEmpty()) loadSquareFile(name);
}

bool Form1::saveSquareFile(const QString& path) {
    return guarded([&] {
        const std::optional<Square>& square = session_->lastRunSquare();
        if (!square)
            throw imaging::RunError::refused(
                "Save square: no run to save; run the analysis first (the square of the last run is saved)");
        const std::string name = ss(path);
        imaging::guardOutput("Save square: the square file", name, "square file", {session_->imagePath});
        writeSquare(name, *square);
    });
}

bool Form1::loadSquareFile(const QString& path) {
    return guarded([&] {
        const std::string name = ss(path);
        const Square square = readSquare(name);
        session_->checkSquare(square, name, ss(Text12->text()), "Load square: ");
        // As a hand would: the numbers typed into their boxes, then the click at the corner.
        if (square.side) Text12->setText(qs(imaging::numberText(int(*square.side))));
        if (square.window) Text6->setText(qs(imaging::exactText(*square.window)));
        if (square.neighbour) Text19->setText(qs(imaging::exactText(*square.neighbour)));
        session_->pressPhoto(square.x, square.y, ss(Text12->text()));
        // The next run repeats the one the square was saved after.
        session_->setNextRunSeed(square.seed);
    });
}

void Form1::showSession() {
    TextureSession& s = *session_;
    const auto setIfChanged = [](QLineEdit* box, const std::string& text) {
        const QString t = qs(text);
        if (box->text() != t) box->setText(t);
    };
    setIfChanged(Text1, s.inputPathText);
    setIfChanged(Text2, s.heightText);
    setIfChanged(Text3, s.widthText);
    if (!s.lastColumnText.empty()) setIfChanged(Text8, s.lastColumnText);
    if (!s.lastRowText.empty()) setIfChanged(Text9, s.lastRowText);
    setIfChanged(Text11, s.derivedImageNames.hessian);
    setIfChanged(Text13, s.derivedImageNames.monochrome);
    setIfChanged(Text14, s.derivedImageNames.lineFigure);
    setIfChanged(Text15, s.derivedImageNames.dotFigure);
    setIfChanged(Text16, s.derivedImageNames.unused);
    setIfChanged(Text18, s.derivedImageNames.outline);
    setIfChanged(Text20, s.regionXText);
    setIfChanged(Text21, s.regionYText);
    Label4->setText(qs(s.plotLabel));
    QStringList warnings;
    for (const std::string* warning : {&s.photoWarning, &s.squareWarning})
        if (!warning->empty()) warnings << qs(*warning);
    const QString status = warnings.join(QLatin1Char('\n'));
    if (statusLine->text() != status) {
        statusLine->setText(status);
        statusLine->setToolTip(status);
    }
    statusLine->raise();
    Text2->setVisible(s.heightTextVisible);
    Text3->setVisible(s.widthTextVisible);

    Picture1->sync();
    fitPicture1();
    const std::pair<ui::PictureView*, const PictureSurface*> pictures[] = {
        {Picture2, &s.monochromeImage}, {Picture3, &s.hessianImage}, {Picture4, &s.p2Picture}, {Picture5, &s.runHiddenPicture},
        {Picture6, &s.hiddenPicture}, {Picture7, &s.figure}, {Picture8, &s.statusView}, {Picture9, &s.greyReadout}};
    for (const auto& [view, surface] : pictures) {
        view->sync();
        view->setVisible(surface->visible());
    }
}

// Picture1 covers at least its whole place in the window, so that the pointer reads white and a
// click still takes a corner beside a small photo, as on a picture of fixed size; a larger
// photo makes it larger, with scroll bars.
void Form1::fitPicture1() {
    const QSize photo(session_->photo.width(), session_->photo.height());
    QSize place = Picture1Place->maximumViewportSize();
    const int bar = style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, Picture1Place);
    const bool wide = photo.width() > place.width();
    const bool tall = photo.height() > place.height();
    if (wide && !tall) place.rheight() -= bar;
    if (tall && !wide) place.rwidth() -= bar;
    Picture1->resize(std::max(photo.width(), place.width()), std::max(photo.height(), place.height()));
}

bool Form1::openImage(const QString& path) {
    const QFileInfo file(path);
    if (!file.exists()) {
        hooks_.error(QStringLiteral("File not found: ") + path);
        return false;
    }
    const QString folder = file.absolutePath();
    if (!chooser_->openFolder(folder)) return false;
    const auto found = File1->findItems(file.fileName(), Qt::MatchExactly);
    if (!found.isEmpty()) File1->setCurrentItem(found.first());
    return selectPhoto(folder, file.fileName());
}

void Form1::closeEvent(QCloseEvent* event) {
    // "END" and the window's close button end the program; a run, or the loading of a photograph,
    // cannot be interrupted.
    if (running_ || loadingPhoto_) {
        event->ignore();
        return;
    }
    if (fitPlots_) fitPlots_->close();
    event->accept();
}

}  // namespace texturemeter::window
