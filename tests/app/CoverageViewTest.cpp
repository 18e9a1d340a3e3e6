#include <QSignalSpy>
#include <QTest>

#include "CoverageView.h"
#include "mapdb/Coordinates.h"

namespace {

void AddMap(mapdb::CPDBDoc& doc, const char* name, double top, double left, double bottom, double right,
            int category = 0) {
    mapdb::MapRecord map;
    map.SetName(name);
    map.topLeftLat = mapdb::DegreesToUnits(top);
    map.topLeftLon = mapdb::DegreesToUnits(left);
    map.bottomRightLat = mapdb::DegreesToUnits(bottom);
    map.bottomRightLon = mapdb::DegreesToUnits(right);
    mapdb::RecordEntry entry;
    entry.attributes = static_cast<std::uint8_t>(category);
    doc.AddMap(std::move(map), entry);
}

}  // namespace

class CoverageViewTest : public QObject {
    Q_OBJECT

private slots:
    void clickingAnOutlineSelectsAndReportsItsMap() {
        mapdb::CPDBDoc doc;
        AddMap(doc, "Alps", 48, 6, 45, 12);
        AddMap(doc, "Bern", 47, 7, 46.8, 7.6, 2);  // a tile inside Alps
        AddMap(doc, "Lyon", 46, 4, 45.5, 5);
        CoverageView view(doc);
        view.resize(300, 200);
        QSignalSpy clicked(&view, &CoverageView::mapClicked);

        const struct {
            double longitude, latitude;
            std::size_t map;
        } hits[] = {{10, 47, 0}, {7.3, 46.9, 1}, {4.5, 45.7, 2}};
        for (const auto& hit : hits) {
            QTest::mouseClick(&view, Qt::LeftButton, {}, view.PointOf(hit.longitude, hit.latitude).toPoint());
            QCOMPARE(clicked.takeFirst().at(0).value<std::size_t>(), hit.map);
            QCOMPARE(view.SelectedMap(), std::optional<std::size_t>(hit.map));
        }
        // Nowhere near a map: nothing is reported and the selection stays.
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.PointOf(4.2, 47.5).toPoint());
        QVERIFY(clicked.isEmpty());
        QCOMPARE(view.SelectedMap(), std::optional<std::size_t>(2));
    }

    void settingTheSelectionChangesWhatIsHighlighted() {
        mapdb::CPDBDoc doc;
        AddMap(doc, "West", 47, 6, 46, 7);
        AddMap(doc, "East", 47, 8, 46, 9);
        CoverageView view(doc);
        view.resize(300, 200);
        const QPoint west = view.PointOf(6.5, 46.5).toPoint();
        const QPoint east = view.PointOf(8.5, 46.5).toPoint();
        const QImage plain = view.grab().toImage();

        view.SetSelectedMap(0);
        const QImage westSelected = view.grab().toImage();
        QVERIFY(westSelected.pixel(west) != plain.pixel(west));
        QCOMPARE(westSelected.pixel(east), plain.pixel(east));

        view.SetSelectedMap(1);
        const QImage eastSelected = view.grab().toImage();
        QCOMPARE(eastSelected.pixel(west), plain.pixel(west));
        QVERIFY(eastSelected.pixel(east) != plain.pixel(east));

        // The selected map removed: the selection goes with it.
        doc.RemoveMap(1);
        view.Refresh();
        QCOMPARE(view.SelectedMap(), std::nullopt);
    }

    void emptyOrUnplacedDatabasesPaint() {
        mapdb::CPDBDoc doc;
        CoverageView view(doc);
        for (QSize size : {QSize(300, 200), QSize(1, 1), QSize(0, 0)}) {
            view.resize(size);
            view.grab();
        }
        // No area, corners beyond any range, inverted: all still drawn and clickable.
        AddMap(doc, "Point", 10, 10, 10, 10);
        AddMap(doc, "Wild", 500, -596, -500, 596);
        AddMap(doc, "Upside", 40, 20, 41, 19);
        view.Refresh();
        view.resize(300, 200);
        QVERIFY(!view.grab().toImage().isNull());
        QSignalSpy clicked(&view, &CoverageView::mapClicked);
        QTest::mouseClick(&view, Qt::LeftButton, {}, view.PointOf(10, 10).toPoint());
        QCOMPARE(clicked.takeFirst().at(0).value<std::size_t>(), std::size_t{0});
    }
};

QTEST_MAIN(CoverageViewTest)
#include "CoverageViewTest.moc"
