#pragma once
// Helpers shared by the window tests: a window over a fixed-seed session in a private home and
// working folder, real mouse events on the controls, and the chooser driven by clicks.

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

#include "form1.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"
#include "testdata/reference_data.hpp"

namespace lesionmeter::app::test {

// The reference lesion photograph (320 x 240) and the bundled lesion sample.
inline QString referencePhoto() { return QString::fromStdString(morph::testdata::lesionReference().image); }
inline QString samplePhoto() { return QString::fromStdString(morph::testdata::lesionSample().image); }

// A window as the program opens it, with "c:\..." names resolving into a temporary home and a
// temporary working folder (where the chooser opens).
struct WindowFixture {
    QTemporaryDir home;
    QTemporaryDir work;
    QString previousHome;
    QString previousFolder;
    std::unique_ptr<imaging::FastRandom> random;
    std::unique_ptr<LesionSession> session;
    std::unique_ptr<Form1> form;
    QStringList messages;
    // Questions the window asked (reduce a too-large photograph?); answered with `answer`.
    QStringList questions;
    bool answer = false;
    int beeps = 0;

    explicit WindowFixture(uint64_t seed) {
        previousHome = qEnvironmentVariable("HOME");
        previousFolder = QDir::currentPath();
        qputenv("HOME", home.path().toLocal8Bit());
        QDir::setCurrent(work.path());
        random = std::make_unique<imaging::FastRandom>(seed);
        session = std::make_unique<LesionSession>(*random);
        form = std::make_unique<Form1>(*session);
        form->hooks().reportError = [this](const QString& m) { messages << m; };
        form->hooks().soundBeep = [this] { ++beeps; };
        form->hooks().ask = [this](const QString& q) {
            questions << q;
            return answer;
        };
        form->show();
    }
    ~WindowFixture() {
        form.reset();
        session.reset();
        QDir::setCurrent(previousFolder);
        qputenv("HOME", previousHome.toLocal8Bit());
    }
    // A Windows-style name as the session resolves it.
    QString homeFile(const QString& name) const { return QDir(home.path()).filePath(name); }
};

// A mouse move with a button state, delivered to the widget as the window system would.
inline void movePointer(QWidget* widget, QPoint at, Qt::MouseButtons held = Qt::NoButton) {
    QMouseEvent move(QEvent::MouseMove, QPointF(at), widget->mapToGlobal(QPointF(at)), Qt::NoButton, held,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

inline void press(QWidget* widget, QPoint at, Qt::MouseButton button) {
    QMouseEvent down(QEvent::MouseButtonPress, QPointF(at), widget->mapToGlobal(QPointF(at)), button, button,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &down);
}

inline void release(QWidget* widget, QPoint at, Qt::MouseButton button) {
    QMouseEvent up(QEvent::MouseButtonRelease, QPointF(at), widget->mapToGlobal(QPointF(at)), button,
                   Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(widget, &up);
}

// Clicks an option button on its caption, where a user clicks (a radio button takes clicks only
// on its mark and caption, not on the empty rest of its area).
inline void clickOption(QAbstractButton* option) {
    QTest::mouseClick(option, Qt::LeftButton, Qt::NoModifier, QPoint(6, option->height() / 2));
}

// Clicks a list entry as a user would (scrolled into view first).
inline bool clickListItem(QListWidget* list, QListWidgetItem* item) {
    if (!item) return false;
    list->scrollToItem(item);
    const QRect r = list->visualItemRect(item);
    if (!r.isValid()) return false;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, Qt::NoModifier, r.center());
    return true;
}

// Moves the pointer to a point of the photograph and clicks there, as a user's hand does.
inline void clickAt(Form1& form, QPoint at, Qt::MouseButton button) {
    movePointer(form.picture(1), at);
    QTest::mouseClick(form.picture(1), button, Qt::NoModifier, at);
}

// Clicks the reference samples (IN, then OUT) and the centre on the real picture.
inline void clickReferenceMarks(Form1& form) {
    const morph::testdata::LesionReference& r = morph::testdata::lesionReference();
    clickOption(form.option(1));
    for (auto [x, y] : r.in) clickAt(form, QPoint(x, y), Qt::LeftButton);
    clickOption(form.option(2));
    for (auto [x, y] : r.out) clickAt(form, QPoint(x, y), Qt::LeftButton);
    clickAt(form, QPoint(r.centre.x, r.centre.y), Qt::RightButton);
}

// Loads a photograph through "File" and the chooser: the drive that holds it in Drive1, the
// folders down to it in Dir1, its name in File1.
inline bool loadThroughChooser(Form1& form, const QString& path) {
    QTest::mouseClick(form.command(1), Qt::LeftButton);
    if (!form.picture(10)->isVisibleTo(&form)) return false;
    ui::FileChooser* chooser = form.chooser();
    const QFileInfo info(path);
    const QString folder = QDir::cleanPath(info.absolutePath());
    const QString drive = ui::DriveList::driveOf(folder);
    const int driveIndex = chooser->drive1()->findText(drive);
    if (driveIndex < 0) return false;
    chooser->drive1()->setCurrentIndex(driveIndex);
    // Dir1 from the top of the drive down to the folder, one click per level.
    QStringList levels;
    for (QString p = folder; p != drive && p != QFileInfo(p).path(); p = QFileInfo(p).path()) levels.prepend(p);
    levels.prepend(drive);
    for (const QString& level : levels) {
        QListWidgetItem* target = nullptr;
        for (int i = 0; i < chooser->dir1()->count(); ++i) {
            if (chooser->dir1()->item(i)->data(Qt::UserRole).toString() == level) target = chooser->dir1()->item(i);
        }
        if (!clickListItem(chooser->dir1(), target)) return false;
    }
    if (chooser->folder() != folder) return false;
    const auto names = chooser->file1()->findItems(info.fileName(), Qt::MatchExactly);
    if (names.isEmpty()) return false;
    return clickListItem(chooser->file1(), names.front());
}

// Whether every control's shown/hidden and enabled state is the session's; the first control
// that differs is named in `why`.
inline bool followsSession(Form1& form, QString* why) {
    for (int c = int(Control::Picture1); c <= int(Control::Frame1); ++c) {
        QWidget* w = form.widgetOf(Control(c));
        if (!w) continue;
        const bool shown = !w->isHidden();
        if (shown != controlShown(form.session(), Control(c)) || w->isEnabled() != controlEnabled(form.session(), Control(c))) {
            *why = w->objectName();
            return false;
        }
    }
    return true;
}
#define VERIFY_FOLLOWS_SESSION(form)                                        \
    do {                                                                    \
        QString differs;                                                    \
        QVERIFY2(::lesionmeter::app::test::followsSession(form, &differs), \
                 qPrintable("differs from the session: " + differs));      \
    } while (false)

// The stacked plot areas and "Save 2" as the window shows them.
struct Stack {
    bool picture2, picture12, picture13, save2Enabled;
    bool operator==(const Stack&) const = default;
};

inline Stack stackOf(Form1& form) {
    return {form.picture(2)->isVisibleTo(&form), form.picture(12)->isVisibleTo(&form),
            form.picture(13)->isVisibleTo(&form), form.command(4)->isEnabled()};
}

}  // namespace lesionmeter::app::test

namespace QTest {
template <>
inline char* toString(const lesionmeter::app::test::Stack& s) {
    return qstrdup(QStringLiteral("Picture2 %1, Picture12 %2, Picture13 %3, Save 2 %4")
                       .arg(s.picture2 ? "shown" : "hidden", s.picture12 ? "shown" : "hidden",
                            s.picture13 ? "shown" : "hidden", s.save2Enabled ? "enabled" : "disabled")
                       .toLatin1()
                       .constData());
}
}  // namespace QTest
