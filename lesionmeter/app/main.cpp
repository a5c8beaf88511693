// lesionmeter: the lesion analyzer's window.
// Usage: lesionmeter [--open IMAGE] [--screenshot FILE.png]
//   --open IMAGE        loads the photograph as "File" and a click in the chooser would
//   --screenshot FILE   writes a picture of the window after start-up (and --open) and ends

#include <QApplication>
#include <QCommandLineParser>

#include <cstdio>

#include "form1.hpp"
#include "imaging/random.hpp"
#include "lesionmeter/lesion_session.hpp"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("lesionmeter"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Lesion analyzer window"));
    parser.addHelpOption();
    const QCommandLineOption openOption(QStringList{"open"}, QStringLiteral("Load the photograph IMAGE."),
                                        QStringLiteral("IMAGE"));
    const QCommandLineOption screenshotOption(QStringList{"screenshot"},
                                              QStringLiteral("Save a picture of the window to FILE.png and end."),
                                              QStringLiteral("FILE.png"));
    parser.addOption(openOption);
    parser.addOption(screenshotOption);
    parser.process(app);
    const bool screenshot = parser.isSet(screenshotOption);

    // The search, the fringe dither and the axis radii draw from a clock-seeded generator.
    imaging::FastRandom random;
    lesionmeter::LesionSession session(random);
    lesionmeter::app::Form1 window(session);
    int failures = 0;
    if (screenshot) {
        // Without a user to read them, messages go to the error stream.
        window.setMessageHandler([&failures](const QString& message) {
            std::fprintf(stderr, "lesionmeter: %s\n", message.toLocal8Bit().constData());
            ++failures;
        });
    }
    window.show();
    if (parser.isSet(openOption)) window.openImage(parser.value(openOption));

    if (screenshot) {
        const QString file = parser.value(screenshotOption);
        if (!window.grab().save(file, "PNG")) {
            std::fprintf(stderr, "lesionmeter: cannot write %s\n", file.toLocal8Bit().constData());
            return 1;
        }
        window.close();
        return failures == 0 ? 0 : 1;
    }
    return app.exec();
}
