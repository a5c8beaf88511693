// The window as it opens: caption, the controls at their places with their captions and
// default texts, nothing overlapping by accident, the Japanese fonts, the hidden pictures.

#include <QRawFont>
#include <QtTest>

#include "window_fonts.hpp"
#include "window_test_support.hpp"

using namespace texturemeter::window;
using namespace texturemeter::window::testing;

class WindowLayoutTest : public QObject {
    Q_OBJECT
private slots:
    void captionIsTheProgramsOwn() {
        Form1 form;
        QCOMPARE(form.windowTitle(), QStringLiteral("Morphex 5.9c3 sqr1"));
        QCOMPARE(form.objectName(), QStringLiteral("Form1"));
    }

    void picturesSitAtTheirPlaces() {
        Form1 form;
        QCOMPARE(form.Picture1Place->geometry(), QRect(0, 0, 409, 409));
        QCOMPARE(form.Picture2->geometry(), QRect(416, 208, 193, 193));
        QCOMPARE(form.Picture3->geometry(), QRect(416, 0, 193, 201));
        QCOMPARE(form.Picture7->geometry(), QRect(624, 8, 193, 185));
        QCOMPARE(form.Picture8->geometry(), QRect(728, 232, 81, 17));
        QCOMPARE(form.Picture9->geometry(), QRect(752, 272, 49, 25));
        QCOMPARE(form.Picture10->geometry(), QRect(392, 504, 273, 97));
    }

    void captionsAndDefaultTexts() {
        Form1 form;
        QCOMPARE(form.Command3->text(), QStringLiteral("Start(A)"));
        QCOMPARE(form.Command6->text(), QStringLiteral("START(B)-Processing of reflection effect"));
        QCOMPARE(form.Command7->text(), QStringLiteral("Start (C) Normalization"));
        QCOMPARE(form.Command1->text(), QStringLiteral("P-1"));
        QCOMPARE(form.Command5->text(), QStringLiteral("P-2"));
        QCOMPARE(form.Command4->text(), QStringLiteral("P-3"));
        QCOMPARE(form.Command2->text(), QStringLiteral("END"));
        QCOMPARE(form.Label10->text(), QStringLiteral(u"Select File ↓( of subdirectory, not root directory )"));
        QCOMPARE(form.Label1->text(), QStringLiteral("Input File"));
        QCOMPARE(form.Label7->text(), QStringLiteral("X * Y"));
        QCOMPARE(form.Label2->text(), QStringLiteral("Sampling width\n"));
        QCOMPARE(form.Label3->text(), QStringLiteral("Output File"));
        QCOMPARE(form.Label8->text(), QStringLiteral("Length of one side"));
        QCOMPARE(form.Label9->text(), QStringLiteral("Interval"));
        QCOMPARE(form.Label5->text(), QStringLiteral("LAST_EWW"));
        QCOMPARE(form.Label6->text(), QStringLiteral("LAST_HWW"));
        QCOMPARE(form.Label4->text(), QString());
        QCOMPARE(form.Text12->text(), QStringLiteral("200"));
        QCOMPARE(form.Text5->text(), QStringLiteral("C:\\frHgg.txt"));
        QCOMPARE(form.Text6->text(), QStringLiteral("40"));
        QCOMPARE(form.Text17->text(), QStringLiteral("5"));
        QCOMPARE(form.Text19->text(), QStringLiteral("4"));
        for (QLineEdit* empty : {form.Text1, form.Text2, form.Text3, form.Text8, form.Text9, form.Text11,
                                 form.Text13, form.Text14, form.Text15, form.Text16, form.Text18, form.Text20,
                                 form.Text21})
            QVERIFY2(empty->text().isEmpty(), qPrintable(empty->objectName()));
        QCOMPARE(form.File1->pattern(), QStringLiteral("*.jpg"));
    }

    // Every control lies inside the window, and no two shown controls overlap, except
    // Picture10 lying over the derived-name boxes (and the unused boxes beside them), and the
    // status line written over Picture10.
    void controlsFitAndDoNotOverlap() {
        Form1 form;
        showForm(form);
        const QSet<QString> underPicture10{"Text11", "Text13", "Text14", "Text15", "Text16", "Text18",
                                           "Text4",  "Text7",  "Text10"};
        QList<QWidget*> controls;
        for (QObject* child : form.children()) {
            auto* w = qobject_cast<QWidget*>(child);
            if (w && !w->objectName().isEmpty() && w->isVisible()) controls << w;
        }
        QCOMPARE(controls.size(), 52);  // with "Fit plots", the status line, "Save square" and "Load square"
        for (QWidget* w : controls)
            QVERIFY2(form.rect().contains(w->geometry()), qPrintable(w->objectName()));
        for (int i = 0; i < controls.size(); ++i) {
            for (int j = i + 1; j < controls.size(); ++j) {
                const QString a = controls[i]->objectName(), b = controls[j]->objectName();
                const bool allowed = (a == "Picture10" && underPicture10.contains(b)) ||
                                     (b == "Picture10" && underPicture10.contains(a)) ||
                                     (a == "StatusLine" && (b == "Picture10" || underPicture10.contains(b))) ||
                                     (b == "StatusLine" && (a == "Picture10" || underPicture10.contains(a)));
                if (allowed) continue;
                QVERIFY2(!controls[i]->geometry().intersects(controls[j]->geometry()),
                         qPrintable(a + " overlaps " + b));
            }
        }
        // The status line lies inside Picture10, empty until there is something to say.
        QVERIFY(form.Picture10->geometry().contains(form.statusLine->geometry()));
        QCOMPARE(form.statusLine->text(), QString());
        // The window is just large enough: its right and bottom edges are close to a control.
        int right = 0, bottom = 0;
        for (QWidget* w : controls) {
            right = std::max(right, w->geometry().right());
            bottom = std::max(bottom, w->geometry().bottom());
        }
        QVERIFY(form.width() - 1 - right <= 8);
        QVERIFY(form.height() - 1 - bottom <= 8);
    }

    // The long caption of the reflection-effect button wraps inside the button.
    void longCaptionFitsItsButton() {
        Form1 form;
        const QFontMetrics fm(form.Command6->font());
        const QRect needed = fm.boundingRect(QRect(0, 0, form.Command6->width() - 12, 1000),
                                             Qt::AlignCenter | Qt::TextWordWrap, form.Command6->text());
        QVERIFY(needed.height() <= form.Command6->height() - 4);
        for (QPushButton* b : {form.Command3, static_cast<QPushButton*>(form.Command7), form.Command2})
            QVERIFY2(fm.horizontalAdvance(b->text()) <= b->width() - 8, qPrintable(b->text()));
    }

    void japaneseLabelsAskForTheJapaneseFont() {
        Form1 form;
        for (QLabel* label : {form.Label5, form.Label6, form.Label8}) {
            QCOMPARE(label->font().families().value(0), QStringLiteral(u"ＭＳ Ｐゴシック"));
            QVERIFY(drawsAsGlyphs(label->font(), QStringLiteral(u"白黒変化ヘシアン")));
        }
        // The status words are Japanese in most stages; the status picture draws them as glyphs
        // from a font that has them, not from fall-back boxes.
        const QString words = QStringLiteral(u"白黒変化ヘシアン白黒全体直線点曲線");
        QVERIFY(drawsAsGlyphs(form.Picture8->font(), words));
        const QRawFont raw = QRawFont::fromFont(form.Picture8->font());
        bool resolvedHasGlyphs = true;
        for (QChar c : words) resolvedHasGlyphs &= raw.supportsCharacter(c);
        QVERIFY2(resolvedHasGlyphs, qPrintable(QFontInfo(form.Picture8->font()).family()));
    }

    // Window opened: Picture4..Picture6 hidden, Text2 and Text3 shown; "P-2" shows Picture4.
    void hiddenPicturesAndTheirButtons() {
        Form1 form;
        showForm(form);
        QVERIFY(!form.Picture4->isVisible());
        QVERIFY(!form.Picture5->isVisible());
        QVERIFY(!form.Picture6->isVisible());
        QVERIFY(form.Text2->isVisible());
        QVERIFY(form.Text3->isVisible());
        QTest::mouseClick(form.Command5, Qt::LeftButton);
        QVERIFY(form.Picture4->isVisible());
        QVERIFY(!form.Picture5->isVisible());
    }

    void endClosesTheWindow() {
        Form1 form;
        showForm(form);
        QTest::mouseClick(form.Command2, Qt::LeftButton);
        QVERIFY(!form.isVisible());
    }
};

QTEST_MAIN(WindowLayoutTest)
#include "window_layout_test.moc"
