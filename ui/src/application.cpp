#include "ui/application.hpp"

#include <QApplication>

#include <string_view>

#include "imaging/version.hpp"

namespace ui {

bool asksForHelpOrVersion(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (argument == "--") break;  // what follows are file names
        if (argument == "-h" || argument == "--help" || argument == "-?" || argument == "--help-all" ||
            argument == "-v" || argument == "--version")
            return true;
    }
    return false;
}

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv, const QString& name) {
    std::unique_ptr<QCoreApplication> app;
    if (asksForHelpOrVersion(argc, argv))
        app = std::make_unique<QCoreApplication>(argc, argv);
    else
        app = std::make_unique<QApplication>(argc, argv);
    QCoreApplication::setApplicationName(name);
    QCoreApplication::setApplicationVersion(
        QString::fromUtf8(imaging::kProgramVersion.data(), static_cast<qsizetype>(imaging::kProgramVersion.size())));
    return app;
}

}  // namespace ui
