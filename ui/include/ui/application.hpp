#pragma once
// The application object of a window program. --help and --version must work where no window
// system is (a terminal on a server, help2man at build time): for them, and only for them, a plain
// QCoreApplication is made, which opens no display. Everything else gets the QApplication.

#include <QCoreApplication>
#include <QString>

#include <memory>

namespace ui {

// True when the command line asks for --help (-h, -?, --help-all) or --version (-v).
bool asksForHelpOrVersion(int argc, char** argv);

// The application object, named `name` and carrying the programs' version (--version shows both).
std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv, const QString& name);

}  // namespace ui
