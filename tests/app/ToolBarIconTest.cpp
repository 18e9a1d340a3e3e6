// The tool bar's images: each button's icon draws at every size a tool bar may
// ask for, at every device pixel ratio, and is crisp at its own 16 x 15 grid.
#include <QAction>
#include <QImage>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolBar>

#include "GuiFixtures.h"

namespace {

int OpaquePixels(const QImage& image) {
    int count = 0;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            count += qAlpha(image.pixel(x, y)) == 255 ? 1 : 0;
        }
    }
    return count;
}

bool HasHalfTransparentPixels(const QImage& image) {
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const int alpha = qAlpha(image.pixel(x, y));
            if (alpha != 0 && alpha != 255) {
                return true;
            }
        }
    }
    return false;
}

}  // namespace

class ToolBarIconTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir settings;

    QList<QAction*> ToolBarButtons(Harness& h) {
        QList<QAction*> buttons;
        for (QAction* action : h.app.GetMainFrame()->GetToolBar()->actions()) {
            if (!action->isSeparator()) {
                buttons.append(action);
            }
        }
        return buttons;
    }

private slots:
    void initTestCase() {
        QVERIFY(settings.isValid());
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, settings.path());
    }

    // A missing SVG engine leaves only the 16 x 15 image, which no icon
    // enlarges: the larger sizes would come out 16 x 15.
    void everyButtonDrawsAtEverySize() {
        Harness h;
        QVERIFY(h.Start());
        const QList<QAction*> buttons = ToolBarButtons(h);
        QCOMPARE(buttons.size(), 4);
        for (QAction* action : buttons) {
            for (int side : {16, 32, 48}) {
                const QPixmap pixmap = action->icon().pixmap(QSize(side, side));
                QVERIFY2(pixmap.width() == side, qPrintable(action->objectName() + " at " + QString::number(side)));
                // The images are 16 x 15: kept in proportion, they fill the width.
                QCOMPARE(pixmap.height(), side * 15 / 16);
                QVERIFY2(OpaquePixels(pixmap.toImage()) > pixmap.width() * pixmap.height() / 4,
                         qPrintable(action->objectName() + " is nearly empty at " + QString::number(side)));
            }
        }
    }

    void everyButtonDrawsAtEveryPixelRatio() {
        Harness h;
        QVERIFY(h.Start());
        const QSize toolBarSize = h.app.GetMainFrame()->GetToolBar()->iconSize();
        for (QAction* action : ToolBarButtons(h)) {
            for (qreal ratio : {1.0, 2.0, 3.0}) {
                const QPixmap pixmap = action->icon().pixmap(toolBarSize, ratio);
                QCOMPARE(pixmap.size(), toolBarSize * ratio);
                QCOMPARE(pixmap.devicePixelRatio(), ratio);
                QVERIFY(OpaquePixels(pixmap.toImage()) > 0);
            }
        }
    }

    // At 1x the tool bar shows the pixel images, without the soft edges of a
    // drawing scaled down to a few pixels.
    void pixelImagesAtOneX() {
        Harness h;
        QVERIFY(h.Start());
        for (QAction* action : ToolBarButtons(h)) {
            QVERIFY2(!HasHalfTransparentPixels(action->icon().pixmap(QSize(16, 15), 1.0).toImage()),
                     qPrintable(action->objectName()));
        }
    }
};

QTEST_MAIN(ToolBarIconTest)
#include "ToolBarIconTest.moc"
