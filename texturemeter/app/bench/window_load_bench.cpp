// How long the texture analyzer's window stays unresponsive while a 12-megapixel photograph is
// selected in its file list, as a user selects it. A timer ticks every 10 ms on the window's
// thread; the largest gap between two ticks, from the click until the photograph is painted in
// Picture1, is the longest stretch in which the window could not react. Beside it: the steps
// of a selection timed one by one (decode, the photo surface, the picture view's look at it, a
// paint of Picture1's place), how many times the selections decoded the photograph, and what a
// click and a pointer move on the large photograph cost.
// Usage: texturemeter_window_bench [PHOTO.jpg] [RUNS]   (default: a 4000 x 3000 photograph
// tiled from the bundled skin sample, 5 runs)

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "form1.hpp"
#include "imaging/image_file.hpp"
#include "testdata/reference_data.hpp"

using texturemeter::window::Form1;

namespace {

// A 4000 x 3000 baseline JPEG: the skin sample tiled, mirrored at every other tile.
QString writeLargePhoto(const QString& folder) {
    const QImage sample(QString::fromStdString(morph::testdata::samplePath("skin_sample.jpg")));
    QImage big(4000, 3000, QImage::Format_RGB32);
    QPainter p(&big);
    for (int ty = 0; ty * sample.height() < big.height(); ++ty)
        for (int tx = 0; tx * sample.width() < big.width(); ++tx)
            p.drawImage(tx * sample.width(), ty * sample.height(),
                        sample.mirrored(tx % 2 == 1, ty % 2 == 1));
    p.end();
    const QString path = folder + QStringLiteral("/big.jpg");
    if (!big.save(path, "JPG", 90)) qFatal("cannot write %s", qPrintable(path));
    return path;
}

double ms(QElapsedTimer& t) { return double(t.nsecsElapsed()) / 1e6; }

// Clicks the name in File1 with the mouse.
void clickFile(Form1& form, const QString& name) {
    const auto found = form.File1->findItems(name, Qt::MatchExactly);
    if (found.isEmpty()) qFatal("%s not listed", qPrintable(name));
    form.File1->scrollToItem(found.first());
    QTest::mouseClick(form.File1->viewport(), Qt::LeftButton, {}, form.File1->visualItemRect(found.first()).center());
}

struct Selection {
    double longestGapMs = 0;
    double untilShownMs = 0;
};

// Selects `name` through File1 and waits until Picture1 shows it; the ticks of a 10 ms timer
// give the longest gap.
Selection selectAndWait(Form1& form, const QString& name, int width, int height) {
    QElapsedTimer clock;
    clock.start();
    std::vector<double> ticks;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] { ticks.push_back(ms(clock)); });
    timer.start(10);
    // Let the timer settle, then click.
    while (ms(clock) < 50) QApplication::processEvents(QEventLoop::AllEvents, 5);
    ticks.push_back(ms(clock));
    const double clickedAt = ticks.back();
    clickFile(form, name);
    // Shown: the session holds the photograph and Picture1 has been painted after that.
    double shownAt = -1;
    while (ms(clock) < 60000) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        if (shownAt < 0 && form.session().photoLoaded() && form.session().photo.width() == width &&
            form.session().photo.height() == height && form.Picture1->width() >= width) {
            form.Picture1Place->viewport()->repaint();
            shownAt = ms(clock);
        }
        if (shownAt >= 0 && ms(clock) > shownAt + 100) break;
    }
    ticks.push_back(ms(clock));
    Selection s;
    s.untilShownMs = shownAt - clickedAt;
    for (std::size_t i = 1; i < ticks.size(); ++i)
        if (ticks[i] >= clickedAt) s.longestGapMs = std::max(s.longestGapMs, ticks[i] - ticks[i - 1]);
    return s;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir dir;
    QString photo = argc > 1 ? QString::fromLocal8Bit(argv[1]) : writeLargePhoto(dir.path());
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 5;
    if (argc > 1) {
        QFile::copy(photo, dir.path() + QStringLiteral("/big.jpg"));
        photo = dir.path() + QStringLiteral("/big.jpg");
    }
    QFile::copy(QString::fromStdString(morph::testdata::samplePath("skin_sample.jpg")), dir.path() + "/small.jpg");

    // The steps one by one.
    QElapsedTimer t;
    t.start();
    imaging::Image decoded = imaging::loadImageFile(photo.toStdString());
    const double decodeMs = ms(t);
    const int width = decoded.width, height = decoded.height;
    imaging::PictureSurface surface(0, 0, imaging::SizePolicy::GrowToPicture);
    t.restart();
    surface.setPicture(std::move(decoded));
    const double surfaceMs = ms(t);
    ui::PictureView view;
    view.resize(407, 407);
    t.restart();
    view.setSurface(&surface);
    const double viewMs = ms(t);
    t.restart();
    (void)view.grab();
    const double paintMs = ms(t);
    std::printf("photograph: %d x %d\n", width, height);
    std::printf("steps (ms): decode %.1f, photo surface %.1f, picture view reads it %.1f, paint 407x407 %.1f\n",
                decodeMs, surfaceMs, viewMs, paintMs);

    Form1 form;
    form.hooks().reportError = [](const QString& m) { std::fprintf(stderr, "error: %s\n", qPrintable(m)); };
    form.show();
    if (!QTest::qWaitForWindowExposed(&form)) qFatal("window not exposed");
    form.Dir1->setPath(dir.path());
    std::vector<double> gaps;
    for (int run = 0; run < runs; ++run) {
        // A small photo in between, so each run loads the large one afresh.
        clickFile(form, QStringLiteral("small.jpg"));
        for (int i = 0; i < 50 && form.session().photo.width() == width; ++i) QTest::qWait(10);
        const Selection s = selectAndWait(form, QStringLiteral("big.jpg"), width, height);
        gaps.push_back(s.longestGapMs);
        std::printf("run %d: longest blocked interval %.0f ms, shown after %.0f ms\n", run + 1, s.longestGapMs,
                    s.untilShownMs);
    }
    // A click on the large photograph (the square's corner) and a move over it, as handled and painted.
    form.Picture1Place->ensureVisible(1900, 1400, 50, 50);
    QApplication::processEvents();
    std::vector<double> clicks, moves;
    for (int run = 0; run < runs; ++run) {
        t.restart();
        QTest::mouseClick(form.windowHandle(), Qt::LeftButton, {}, form.Picture1->mapTo(&form, QPoint(1900 + run, 1400)));
        form.Picture1Place->viewport()->repaint();
        clicks.push_back(ms(t));
        t.restart();
        QTest::mouseMove(form.windowHandle(), form.Picture1->mapTo(&form, QPoint(1950 + run, 1450)));
        form.Picture1Place->viewport()->repaint();
        moves.push_back(ms(t));
    }
    std::sort(clicks.begin(), clicks.end());
    std::sort(moves.begin(), moves.end());
    std::printf("click on the photo: median %.1f ms; pointer move over it: median %.1f ms\n", clicks[clicks.size() / 2],
                moves[moves.size() / 2]);
    std::sort(gaps.begin(), gaps.end());
    std::printf("longest blocked interval: median %.0f ms, worst %.0f ms (goal: at most about 300 ms)\n",
                gaps[gaps.size() / 2], gaps.back());
    std::printf("photo decodes: %lu for %d selections of the large photo and %d of a small one\n",
                form.session().photoDecodes(), runs, runs);
    return 0;
}
