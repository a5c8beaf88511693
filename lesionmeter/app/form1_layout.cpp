// The window's controls: containers, places, sizes, captions, default texts and colours.
// Visibility and enabled states are not set here; they come from the session (syncFromSession).

#include <QDir>
#include <QPalette>

#include "form1.hpp"

namespace lesionmeter::app {

namespace {

struct Place {
    int n;
    int left, top, width, height;
};

// Picture boxes placed in the window's client area (the panels Picture5, Picture10 and
// Picture11 hold other controls; Picture1 is placed through its scrolling view).
constexpr Place kPictures[] = {
    {2, 360, 8, 313, 305},   {12, 360, 8, 313, 305},  {13, 360, 8, 313, 305},
    {16, 8, 456, 321, 65},   {17, 336, 456, 329, 65}, {15, 8, 528, 321, 65},
    {18, 336, 528, 329, 65}, {3, 208, 344, 25, 17},   {4, 208, 360, 25, 17},
    {6, 400, 320, 57, 17},   {7, 400, 344, 57, 17},   {8, 400, 360, 57, 17},
    {9, 16, 344, 57, 17},    {14, 432, 320, 169, 65}, {5, 80, 336, 121, 41},
    {10, 400, 256, 273, 113}, {11, 240, 344, 57, 33},
};

struct TextBox {
    int n;
    int left, top, width, height;
    const char* defaultText;
    imaging::Colour background;  // 0x00BBGGRR
};

constexpr imaging::Colour kBoxWhite = 0x00FFFFFF;

constexpr TextBox kTexts[] = {
    {1, 248, 320, 33, 18, "", kBoxWhite},
    {2, 216, 319, 33, 18, "", kBoxWhite},
    {3, 280, 319, 33, 18, "", kBoxWhite},
    {4, 312, 320, 33, 18, "", kBoxWhite},
    {12, 344, 320, 33, 18, "", kBoxWhite},
    {5, 80, 320, 137, 18, "c:\\oval02a.jpg", 0x00C0E0FF},
    {6, 480, 344, 177, 18, "c:\\outpic.bmp", 0x00FFFFC0},
    {21, 440, 600, 89, 18, "", kBoxWhite},
    {22, 536, 600, 81, 18, "", kBoxWhite},
    {13, 512, 376, 89, 18, "c:\\RGBa.txt", kBoxWhite},
    {9, 600, 376, 81, 18, "c:\\10esult.txt", 0x00FFC0FF},
    {7, 440, 376, 73, 18, "", 0x00C0FFFF},
    {14, 16, 376, 57, 18, "", kBoxWhite},
    {15, 80, 376, 49, 18, "", kBoxWhite},
    {10, 280, 160, 89, 18, "", kBoxWhite},
    {11, 280, 184, 89, 18, "", kBoxWhite},
    {16, 8, 600, 57, 18, "", kBoxWhite},
    {17, 64, 600, 49, 18, "", kBoxWhite},
    {18, 112, 600, 49, 18, "", kBoxWhite},
    {19, 160, 600, 57, 18, "", kBoxWhite},
    {20, 384, 600, 57, 18, "", kBoxWhite},
};

struct Button {
    int n;
    const char* caption;
    int left, top, width, height;
};

// Command5 sits in the panel Picture5; the others in the window.
constexpr Button kCommands[] = {
    {1, "File", 8, 320, 73, 17},         {2, "END", 8, 360, 73, 17},
    {3, "Fractal calc", 560, 320, 81, 17}, {4, "Save 2", 480, 320, 73, 17},
    {5, "Calc + Draw", 56, 0, 57, 33},   {6, "axis", 616, 600, 49, 20},
    {7, "Information", 136, 376, 73, 20}, {8, "loadcal", 320, 381, 57, 17},
    {9, "save1", 248, 381, 57, 17},
};

QString cssColour(imaging::Colour c) { return ui::toQColor(c).name(); }

}  // namespace

void Form1::buildPictureBoxes() {
    // Picture1: the photograph, one image pixel per screen pixel, scrolling when larger.
    picture1View_ = new QScrollArea(this);
    picture1View_->setObjectName("Picture1View");
    picture1View_->setGeometry(8, 8, 353, 305);
    picture1View_->setFrameShape(QFrame::NoFrame);
    picture1View_->setWidgetResizable(false);
    picture1View_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    QPalette white = picture1View_->palette();
    white.setColor(QPalette::Window, Qt::white);
    picture1View_->viewport()->setPalette(white);
    picture1View_->viewport()->setAutoFillBackground(true);
    pictures_[1] = new ui::PictureView;
    pictures_[1]->setObjectName("Picture1");
    pictures_[1]->setMouseTracking(true);
    const imaging::PictureSurface& photo = session_.pictures().photo;
    pictures_[1]->setSurface(&photo);
    pictures_[1]->resize(std::max(1, photo.width()), std::max(1, photo.height()));
    picture1View_->setWidget(pictures_[1]);

    for (const Place& p : kPictures) {
        auto* box = new ui::PictureView(this);
        box->setObjectName(QStringLiteral("Picture%1").arg(p.n));
        box->setGeometry(p.left, p.top, p.width, p.height);
        const imaging::PictureSurface* surface = sessionPicture(session_, p.n);
        if (!surface) {
            imaging::PictureSurface& panel = panels_[p.n == 5 ? 0 : p.n == 10 ? 1 : 2];
            panel = imaging::PictureSurface(p.width, p.height);
            surface = &panel;
        }
        box->setSurface(surface);
        pictures_[std::size_t(p.n)] = box;
    }
    pictures_[2]->setMouseTracking(true);
    pictures_[12]->setMouseTracking(true);
    // Samples, the centre and the eraser take the pixel under the pointer.
    for (int n : {1, 2, 12}) pictures_[std::size_t(n)]->setPointerPositions(ui::PointerPositions::WholePixels);
}

void Form1::buildTextBoxes() {
    for (const TextBox& t : kTexts) {
        auto* box = new QLineEdit(this);
        box->setObjectName(QStringLiteral("Text%1").arg(t.n));
        box->setGeometry(t.left, t.top, t.width, t.height);
        box->setText(QString::fromUtf8(t.defaultText));
        box->setStyleSheet(QStringLiteral("QLineEdit { padding: 0px 1px; border: 1px solid #808080;"
                                          " background: %1; color: black; }")
                               .arg(cssColour(t.background)));
        box->setCursorPosition(0);
        texts_[std::size_t(t.n)] = box;
    }
}

void Form1::buildCommandButtons() {
    for (const Button& b : kCommands) {
        QWidget* container = b.n == 5 ? static_cast<QWidget*>(pictures_[5]) : this;
        auto* button = new QPushButton(QString::fromUtf8(b.caption), container);
        button->setObjectName(QStringLiteral("Command%1").arg(b.n));
        button->setGeometry(b.left, b.top, b.width, b.height);
        button->setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
        button->setAutoDefault(false);
        commands_[std::size_t(b.n)] = button;
    }
}

void Form1::buildOptionGroups() {
    // Frame1 "Eraser" holds nar / wide / put.
    frame1_ = new QGroupBox(QStringLiteral("Eraser"), this);
    frame1_->setObjectName("Frame1");
    frame1_->setGeometry(304, 344, 97, 33);
    frame1_->setStyleSheet(QStringLiteral("QGroupBox { border: 1px solid #a0a0a0; margin-top: 6px; }"
                                          " QGroupBox::title { subcontrol-origin: margin; left: 6px;"
                                          " padding: 0px 1px; }"));
    struct Option {
        int n;
        const char* caption;
        QWidget* container;
        int left, top, width, height;
    };
    const Option options[] = {
        {1, "IN", pictures_[5], 8, 0, 81, 17},      {2, "OUT", pictures_[5], 8, 24, 73, 12},
        {3, "B+W", pictures_[11], 0, 0, 49, 12},    {4, "LINE", pictures_[11], 0, 16, 49, 17},
        {5, "nar", frame1_, 0, 16, 41, 12},         {6, "wide", frame1_, 40, 16, 49, 12},
        {7, "put", frame1_, 8, 32, 41, 17},
    };
    for (const Option& o : options) {
        auto* button = new QRadioButton(QString::fromUtf8(o.caption), o.container);
        button->setObjectName(QStringLiteral("Option%1").arg(o.n));
        button->setGeometry(o.left, o.top, o.width, o.height);
        options_[std::size_t(o.n)] = button;
    }
    // "Calc + Draw" lies over the right end of "IN" in the panel; its caption needs a slightly
    // smaller font to fit the button's 57 pixels.
    QFont narrow = font();
    narrow.setPixelSize(10);
    commands_[5]->setFont(narrow);
    commands_[5]->raise();
}

void Form1::buildOtherControls() {
    check1_ = new QCheckBox(QStringLiteral("RGB output "), this);
    check1_->setObjectName("Check1");
    check1_->setGeometry(264, 600, 81, 12);
    label1_ = new QLabel(QStringLiteral("FRD1"), this);
    label1_->setObjectName("Label1");
    label1_->setGeometry(400, 376, 33, 17);
    label2_ = new QLabel(QStringLiteral("FRD2"), this);
    label2_->setObjectName("Label2");
    label2_->setGeometry(352, 600, 49, 17);
    // "Fit plots", an addition in the free space between the controls and the profile strips.
    fitPlotsButton_ = new QPushButton(QStringLiteral("Fit plots"), this);
    fitPlotsButton_->setObjectName("FitPlots");
    fitPlotsButton_->setGeometry(584, 428, 81, 20);
    fitPlotsButton_->setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
    fitPlotsButton_->setAutoDefault(false);
    // The chooser in its panel: a new drive shows the folder last shown on it; File1 lists every
    // file.
    // Below the described window: the marks of the photograph.
    showMarks_ = new QCheckBox(QStringLiteral("Show marks"), this);
    showMarks_->setObjectName("ShowMarks");
    showMarks_->setGeometry(8, 634, 89, 17);
    showMarks_->setChecked(true);
    saveMarks_ = new QPushButton(QStringLiteral("Save marks"), this);
    saveMarks_->setObjectName("SaveMarks");
    saveMarks_->setGeometry(104, 632, 81, 20);
    loadMarks_ = new QPushButton(QStringLiteral("Load marks"), this);
    loadMarks_->setObjectName("LoadMarks");
    loadMarks_->setGeometry(192, 632, 81, 20);
    statusLine_ = new QLabel(this);
    statusLine_->setObjectName("StatusLine");
    // Up to four lines, the last beside the marks buttons.
    statusLine_->setGeometry(282, 598, 403, 56);
    statusLine_->setWordWrap(true);
    statusLine_->setAlignment(Qt::AlignLeft | Qt::AlignBottom);
    statusLine_->setStyleSheet(QStringLiteral("color: #a00000;"));
    for (QPushButton* button : {saveMarks_, loadMarks_}) {
        button->setStyleSheet(QStringLiteral("QPushButton { padding: 0px; }"));
        button->setAutoDefault(false);
    }
    marksOverlay_ = new MarksOverlay(pictures_[1]);

    chooser_ = new ui::FileChooser(pictures_[10], ui::DriveChange::LastFolder);
    chooser_->drive1()->setGeometry(0, 0, 153, 20);
    chooser_->dir1()->setGeometry(0, 16, 153, 90);
    chooser_->dir1()->setOpenOnSingleClick(true);
    chooser_->dir1()->setFolderIcons(false);
    chooser_->file1()->setGeometry(152, 0, 121, 114);
    // The chooser starts in the program's current folder.
    chooser_->openFolder(QDir::currentPath());
    // Panels that appear over other controls lie on top of them.
    pictures_[10]->raise();
    pictures_[14]->raise();
}

}  // namespace lesionmeter::app
