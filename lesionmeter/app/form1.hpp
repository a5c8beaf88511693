#pragma once
// The lesion analyzer's main window `Form1`: every control at its place with its caption, default
// text, colour and initial state; each event is translated into one call of the session, after
// which every control is brought back in line with the session (texts, options, visibility,
// enabled states, pictures). Messages of the session (errors, refusals) appear in message boxes
// and end only the command that raised them.

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QWidget>

#include <array>
#include <functional>
#include <map>

#include "controls.hpp"
#include "ui/fit_plots_window.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "lesionmeter/marks.hpp"
#include "marks_overlay.hpp"
#include "ui/command_guard.hpp"
#include "ui/file_chooser.hpp"
#include "ui/picture_view.hpp"
#include "ui/user_hooks.hpp"

namespace lesionmeter::app {

// The window's height: the described 628 pixels and the strip of the marks controls below.
constexpr int kMarksStripBottom = 656;

class Form1 : public QWidget {
    Q_OBJECT
public:
    // Builds the window over `session` and runs the start-up of the session.
    explicit Form1(LesionSession& session, QWidget* parent = nullptr);

    LesionSession& session() { return session_; }

    // The controls, by their names' numbers.
    ui::PictureView* picture(int n) const { return pictures_.at(std::size_t(n)); }
    QLineEdit* text(int n) const { return texts_.at(std::size_t(n)); }
    QPushButton* command(int n) const { return commands_.at(std::size_t(n)); }
    QRadioButton* option(int n) const { return options_.at(std::size_t(n)); }
    QCheckBox* check1() const { return check1_; }
    QLabel* label(int n) const { return n == 1 ? label1_ : label2_; }
    QGroupBox* frame1() const { return frame1_; }
    // Picture1 sits in a scrolling view; this is that view (the photograph scrolls inside it).
    QScrollArea* picture1View() const { return picture1View_; }
    // The controls below the described window: "Show marks", "Save marks", "Load marks".
    QCheckBox* showMarks() const { return showMarks_; }
    QPushButton* saveMarks() const { return saveMarks_; }
    QPushButton* loadMarks() const { return loadMarks_; }
    // The status line beside them: the photograph's warning (empty when there is none).
    QLabel* statusLine() const { return statusLine_; }
    // The marks drawn over the photograph (what "Show marks" shows).
    QWidget* marksOverlay() const { return marksOverlay_; }
    ui::FileChooser* chooser() const { return chooser_; }
    // "Fit plots" and its window, which shows the fits behind the last "Fractal calc" (created on
    // first use).
    QPushButton* fitPlotsButton() const { return fitPlotsButton_; }
    ui::FitPlotsWindow& fitPlots();
    // The widget that stands for a control of the session (nullptr for Text8, which does not exist).
    QWidget* widgetOf(Control c) const;

    // Where messages and questions go, and the system beep sounded by "Calc + Draw": the error box,
    // the question box and the system beep by default (ui::interactiveHooks). A question asks
    // whether a photograph too large for the lesion map is to be reduced to fit, or whether "save1"
    // may replace a file it did not write.
    ui::UserHooks& hooks() { return hooks_; }

    // Asks for the name of a marks file to write (save = true) or read, starting from `suggested`;
    // an empty answer cancels. A file dialog by default.
    void setMarksFileHandler(std::function<QString(bool save, const QString& suggested)> handler) {
        askMarksFile_ = std::move(handler);
    }

    // Opens a photograph as the user would: "File", then its folder and name in the chooser.
    // With `fit`, a photograph too large for the lesion map is reduced without asking.
    bool openImage(const QString& path, bool fit = false);
    // Loads a marks file as "Load marks" does with that name.
    bool loadMarksFile(const QString& path);
    // The whole analysis as the user runs it: "Calc + Draw", "LINE", "Fractal calc", "axis" and
    // "Save 2", each pressed in turn; stops at the first that fails. Returns whether all succeeded.
    bool analyse();

    // Brings every control in line with the session.
    void syncFromSession();

protected:
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // Layout: one step per group of controls.
    void buildPictureBoxes();
    void buildTextBoxes();
    void buildCommandButtons();
    void buildOptionGroups();
    void buildOtherControls();
    void wireEvents();

    // Runs one session operation and brings the controls in line with the session; a failure is
    // shown as a message and the window carries on.
    bool run(const std::function<void()>& operation) { return guard_.run(operation); }
    void report(const QString& message);

    // Event handlers.
    void fileCommand();
    bool fileChosen(const QString& folder, const QString& name);
    bool loadPhotograph(const QString& folder, const QString& name, bool fit);
    void calcAndDrawCommand();
    void save1Command();
    void endCommand();
    void picture1Moved(double x, double y);
    void picture1Pressed(double x, double y, Qt::MouseButtons buttons);
    void picture2Moved(Qt::MouseButtons buttons);
    void picture12Moved(double x, double y, Qt::MouseButtons buttons);
    void saveMarksCommand();
    void loadMarksCommand();
    // The file name the marks of the loaded photograph are saved under by default: beside the
    // photograph, NAME.marks.json.
    QString suggestedMarksFile() const;

    void fractalCalcCommand();
    void syncTexts();
    void syncOptions();
    void syncStates();
    void syncPictures();
    void syncMarks();
    void syncTitle();
    void syncStatus();

    LesionSession& session_;
    std::array<ui::PictureView*, 19> pictures_{};
    std::array<QLineEdit*, 23> texts_{};
    std::array<QPushButton*, 10> commands_{};
    std::array<QRadioButton*, 8> options_{};
    QCheckBox* check1_ = nullptr;
    QLabel* label1_ = nullptr;
    QLabel* label2_ = nullptr;
    QGroupBox* frame1_ = nullptr;
    QScrollArea* picture1View_ = nullptr;
    QCheckBox* showMarks_ = nullptr;
    QPushButton* saveMarks_ = nullptr;
    QPushButton* loadMarks_ = nullptr;
    QLabel* statusLine_ = nullptr;
    MarksOverlay* marksOverlay_ = nullptr;
    ui::FileChooser* chooser_ = nullptr;
    ui::CommandGuard guard_;
    QPushButton* fitPlotsButton_ = nullptr;
    ui::FitPlotsWindow* fitPlots_ = nullptr;
    std::map<Control, QWidget*> controls_;
    ui::UserHooks hooks_;
    std::function<QString(bool, const QString&)> askMarksFile_;
    // The panels hold other controls and show nothing of the session: blank surfaces of their own.
    std::array<imaging::PictureSurface, 3> panels_;
    bool ended_ = false;
    bool lastCommandSucceeded_ = false;
    // Messages of the start-up wait until the window is first shown (and its handler is set).
    bool shown_ = false;
    QStringList pendingMessages_;
};

}  // namespace lesionmeter::app
