#pragma once
// Helpers shared by the window's tests: photos in a temporary folder, clicks on the real
// controls, and a collector for the errors the window reports.

#include <QDir>
#include <QFile>
#include <QImage>
#include <QListWidget>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include "form1.hpp"
#include "testdata/reference_data.hpp"

namespace texturemeter::window::testing {

using ui::toQRgb;

// The reference skin photograph (400 x 300) and the bundled skin sample.
inline QString referencePhoto() {
    return QString::fromStdString(morph::testdata::path("reference/skin_texture.jpg"));
}
inline QString samplePhoto() { return QString::fromStdString(morph::testdata::samplePath("skin_sample.jpg")); }

// Copies `source` into `folder` under `name`; fails the test when it cannot.
inline QString copyPhoto(const QString& source, const QString& folder, const QString& name) {
    const QString target = QDir(folder).filePath(name);
    QFile::remove(target);
    if (!QFile::copy(source, target)) qFatal("cannot copy %s", qPrintable(source));
    return target;
}

// Writes a JPEG of w x h whose colour depends on the position (red = x, green = y, blue fixed).
inline QString writeGradientJpeg(const QString& folder, const QString& name, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(x % 256, y % 256, 128));
    const QString target = QDir(folder).filePath(name);
    if (!img.save(target, "JPG", 100)) qFatal("cannot write %s", qPrintable(target));
    return target;
}

// Shows the window and waits until it can receive input.
inline void showForm(Form1& form) {
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) qFatal("window not exposed");
}

// Goes to `folder` through Dir1, as a double click on it would.
inline void goToFolder(Form1& form, const QString& folder) { form.Dir1->setPath(folder); }

// Clicks the name in File1 with the mouse; fails the test when it is not listed.
inline bool clickFile(Form1& form, const QString& name) {
    const auto found = form.File1->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) return false;
    QListWidget* list = form.File1;
    list->doItemsLayout();
    list->scrollToItem(found.first());
    const QRect r = list->visualItemRect(found.first());
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, r.center());
    return true;
}

// Clicks Picture1 at the photo pixel (x, y) through the window, as the mouse would: the
// picture is scrolled so that the pixel shows, and the click is delivered at the matching
// point of the window, so that the scroll area's mapping is part of what is tested.
inline void clickPhotoPixel(Form1& form, int x, int y, Qt::MouseButton button = Qt::LeftButton) {
    form.Picture1Place->ensureVisible(x, y, 5, 5);
    const QPoint inWindow = form.Picture1->mapTo(&form, QPoint(x, y));
    QTest::mouseClick(form.windowHandle(), button, {}, inWindow);
}

// Collects the messages the window reports instead of showing message boxes.
struct ReportedErrors {
    QStringList messages;
    void attach(Form1& form) {
        form.hooks().reportError = [this](const QString& m) { messages << m; };
    }
};

}  // namespace texturemeter::window::testing
