#pragma once
// `Form1`, the texture analyzer's window. It lays out the controls at their fixed places and
// translates each user action into one call of the texture session; after the call it shows
// what the session changed (texts, pictures, visibility). Every rule of the program lives in
// the session; the window only shows and forwards.

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QWidget>

#include <functional>
#include <memory>

#include "caption_button.hpp"
#include "ui/fit_plots_window.hpp"
#include "texturemeter/texture_session.hpp"
#include "ui/command_guard.hpp"
#include "ui/file_chooser.hpp"
#include "ui/picture_view.hpp"
#include "ui/user_hooks.hpp"

namespace texturemeter::window {

// The window's caption.
inline const QString kFormCaption = QStringLiteral("Morphex 5.9c3 sqr1");

class Form1 : public QWidget {
    Q_OBJECT
public:
    // With `random` the session draws its random numbers from it (tests); otherwise from a
    // clock-seeded generator of its own.
    explicit Form1(imaging::UniformRandom* random = nullptr, QWidget* parent = nullptr);
    ~Form1() override;

    // Starts with the photo `path` selected, as if the user had gone to its folder and clicked it
    // in File1. Returns false (after reporting the error) when it cannot be loaded.
    bool openImage(const QString& path);

    // "Load square": reads the square file `path` and loads it as a hand would: types its side,
    // tile side and neighbour distance into their boxes, clicks the photograph at its corner and
    // seeds the next run with its seed, so that the run of its variant repeats the one it was
    // saved after. Refused (reported, nothing changed) without a photograph, for a square of
    // another photograph, and for one entirely outside the photograph.
    bool loadSquareFile(const QString& path);
    // "Save square": writes the square of the last run (corner, parameters, variant, seed) as the
    // square file `path`. Refused after no run or a failed one, and over the photograph or any
    // other picture.
    bool saveSquareFile(const QString& path);
    // Asks for the square file to save (`save`) or load, starting at `suggested` (the photograph's
    // NAME.square.json); an empty answer cancels. By default a file dialog; tests replace it.
    std::function<QString(bool save, const QString& suggested)> askSquareFile;

    // The run-time error box and the beep at the end of a run (ui::interactiveHooks); tests and
    // unattended runs replace them.
    ui::UserHooks& hooks() { return hooks_; }

    // A mouse button pressed on Picture1 at (x, y) in photo pixels, as from the mouse.
    void clickPicture1(double x, double y) { picture1MouseDown(x, y); }
    // Presses the run button of variant 'A', 'B' or 'C'.
    void pressRunButton(char variant);

    TextureSession& session() { return *session_; }
    // "Fit plots": the window with the fits behind the last run's dimensions (created on first use).
    ui::FitPlotsWindow& fitPlots();
    // The fits of the last run as plotted (empty before a run and after a failed one).
    const ui::FitPlotSet& lastFits() const { return lastFits_; }
    // True while a run occupies the window.
    bool running() const { return running_; }
    // True while a selected photograph is being decoded aside (the window then takes no input).
    bool loadingPhoto() const { return loadingPhoto_; }
    // Photographs with more pixels than this are decoded on a thread of their own while the window
    // keeps painting; smaller ones are decoded at once.
    static constexpr long long kDecodeAsidePixels = 2'000'000;

    // The controls, under the program's names.
    QScrollArea* Picture1Place;
    ui::PictureView* Picture1;
    ui::PictureView* Picture2;
    ui::PictureView* Picture3;
    ui::PictureView* Picture4;
    ui::PictureView* Picture5;
    ui::PictureView* Picture6;
    ui::PictureView* Picture7;
    ui::PictureView* Picture8;
    ui::PictureView* Picture9;
    ui::PictureView* Picture10;
    ui::DriveList* Drive1;
    ui::DirList* Dir1;
    ui::FileList* File1;
    QLabel* Label1;
    QLabel* Label2;
    QLabel* Label3;
    QLabel* Label4;
    QLabel* Label5;
    QLabel* Label6;
    QLabel* Label7;
    QLabel* Label8;
    QLabel* Label9;
    QLabel* Label10;
    QLineEdit* Text1;
    QLineEdit* Text2;
    QLineEdit* Text3;
    QLineEdit* Text4;
    QLineEdit* Text5;
    QLineEdit* Text6;
    QLineEdit* Text7;
    QLineEdit* Text8;
    QLineEdit* Text9;
    QLineEdit* Text10;
    QLineEdit* Text11;
    QLineEdit* Text12;
    QLineEdit* Text13;
    QLineEdit* Text14;
    QLineEdit* Text15;
    QLineEdit* Text16;
    QLineEdit* Text17;
    QLineEdit* Text18;
    QLineEdit* Text19;
    QLineEdit* Text20;
    QLineEdit* Text21;
    QPushButton* Command1;
    CaptionButton* Command6;
    QPushButton* Command2;
    QPushButton* Command3;
    QPushButton* Command4;
    QPushButton* Command5;
    QPushButton* Command7;
    // Opens "Fit plots" (an addition in free space below P-1 .. P-3).
    QPushButton* fitPlotsButton;
    // "Save square" and "Load square" (additions in free space: beside Picture9 and beside the
    // neighbour distance box).
    QPushButton* saveSquareButton;
    QPushButton* loadSquareButton;
    // The window's warnings (a square reaching past the photograph's edge, a JPEG whose EXIF
    // orientation is not 1), written over the empty Picture10; empty when there is none.
    QLabel* statusLine;

signals:
    // A status word has been painted into Picture8 during a run.
    void statusShown(const QString& word);
    // A run ended (successfully or with an error).
    void runFinished(bool succeeded);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    class RunProgress;

    void createControls();
    void connectControls();

    // Handlers, one per user action.
    void file1Click(const QString& folder, const QString& fileName);
    // Selects the photo as File1 does; returns whether it was loaded.
    bool selectPhoto(const QString& folder, const QString& fileName);
    // Decodes the photograph on a thread of its own; meanwhile the window repaints (input is
    // blocked by the caller). Returns its picture or throws its error.
    imaging::Image decodeAside(const std::string& hostPath);
    void picture1MouseDown(double x, double y);
    void picture1MouseMove(double x, double y);
    void startRun(Variant variant);
    void saveSquareCommand();
    void loadSquareCommand();
    // Where the square file dialog starts: the photograph's NAME.square.json, or the home folder.
    QString suggestedSquareFile() const;

    // Runs one session call and shows what it changed, reporting the error that ended it; the
    // error ends only that call.
    bool guarded(const std::function<void()>& action) { return guard_.run(action); }
    // Copies what the session holds into the controls and repaints changed pictures.
    void showSession();
    // Sizes Picture1 to the photo and its place.
    void fitPicture1();
    // Hands the texts the user may have edited to the session.
    void passEditedTexts();

    std::unique_ptr<TextureSession> session_;
    ui::FileChooser* chooser_ = nullptr;
    ui::CommandGuard guard_;
    ui::UserHooks hooks_;
    ui::FitPlotsWindow* fitPlots_ = nullptr;
    ui::FitPlotSet lastFits_;
    bool running_ = false;
    bool loadingPhoto_ = false;
};

}  // namespace texturemeter::window
