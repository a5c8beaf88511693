#pragma once
// For the QtTest suites (the windows and ui/): a file's bytes, a window program run to its end
// with what it printed, and a message box read and closed with the mouse as a user closes it.

#include <QApplication>
#include <QByteArray>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QProcessEnvironment>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <functional>
#include <utility>
#include <vector>

namespace morph::testdata {

// The whole content of a file, or nothing when it cannot be read.
inline QByteArray fileBytes(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A program's run: its exit status (-1 when it did not exit normally or did not end within two
// minutes) and what it wrote to stdout and stderr.
struct ProgramRun {
    int status = -1;
    QByteArray out;
    QByteArray err;
};

// Runs `program` on the off-screen platform, with `environment` added to this process's
// environment and in `folder` (this process's working folder when empty).
inline ProgramRun runProgram(const QString& program, const QStringList& arguments,
                             const std::vector<std::pair<QString, QString>>& environment = {},
                             const QString& folder = {}) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    for (const auto& [name, value] : environment) env.insert(name, value);
    p.setProcessEnvironment(env);
    if (!folder.isEmpty()) p.setWorkingDirectory(folder);
    p.start(program, arguments);
    if (!p.waitForFinished(120000)) return {};
    ProgramRun run;
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    run.out = p.readAllStandardOutput();
    run.err = p.readAllStandardError();
    return run;
}

// What a modal message box showed, and whether a click on its button was lost.
struct SeenMessageBox {
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    // The click on the button did not close the box (the input was eaten); it was closed anyway.
    bool clickWasEaten = false;
};

// Runs `opensBox` (which opens a modal message box and returns when it is closed) while a timer
// reads the box and clicks `button` with the mouse.
inline SeenMessageBox closeMessageBoxWithMouse(const std::function<void()>& opensBox,
                                               QMessageBox::StandardButton button = QMessageBox::Ok) {
    SeenMessageBox seen;
    QTimer closer;
    QObject::connect(&closer, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box) return;
        seen.title = box->windowTitle();
        seen.text = box->text();
        seen.icon = box->icon();
        QTest::mouseClick(box->button(button), Qt::LeftButton);
        if (box->isVisible()) {
            seen.clickWasEaten = true;
            box->done(0);
        }
    });
    closer.start(20);
    opensBox();
    closer.stop();
    return seen;
}

}  // namespace morph::testdata
