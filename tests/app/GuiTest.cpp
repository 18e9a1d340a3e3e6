#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QKeyEvent>
#include <QMimeData>
#include <QUrl>
#include <QCheckBox>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSettings>
#include <QSplitter>
#include <QStatusBar>
#include <QStandardPaths>
#include <QTest>
#include <QToolBar>

#include "AboutDlg.h"
#include "CoreDialogs.h"
#include "CoverageView.h"
#include "GuiFixtures.h"
#include "MainFrame.h"
#include "MapPreview.h"
#include "PDBView.h"
#include "mapdb/Coordinates.h"
#include "PictureFilters.h"

namespace {

QListWidget* MapList(CPDBApp& app) {
    return app.GetMainFrame()->GetActiveView()->findChild<QListWidget*>("mapList");
}

QLineEdit* Edit(CPDBApp& app, const char* name) {
    return app.GetMainFrame()->GetActiveView()->findChild<QLineEdit*>(name);
}

// The caption as the window system shows it: "*" in place of "[*]" while modified.
QString Caption(CMainFrame* frame) {
    return frame->windowTitle().replace(QStringLiteral("[*]"), frame->isWindowModified() ? QStringLiteral("*") : QString());
}

QStringList ListedNames(CPDBApp& app) {
    QStringList names;
    for (int i = 0; i < MapList(app)->count(); ++i) {
        names.append(MapList(app)->item(i)->text());
    }
    return names;
}

// Replaces an edit's text the way a user does: select everything, then type.
void Retype(QLineEdit* edit, const QString& text) {
    edit->setFocus();
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
}

// A view that runs `updated` when it is told of a change: a save tells the
// views before it ends.
class ProbeView : public platform::CView {
public:
    explicit ProbeView(std::function<void()> updated) : updated(std::move(updated)) {}
    void OnUpdate(platform::CView*) override { updated(); }

private:
    std::function<void()> updated;
};

}  // namespace

class GuiTest : public QObject {
    Q_OBJECT

private:
    QTemporaryDir scratch;
    QString Path(const QString& name) const { return scratch.filePath(name); }

private slots:
    void initTestCase() {
        QVERIFY(scratch.isValid());
        QStandardPaths::setTestModeEnabled(true);
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Path("settings"));
    }

    void init() {
        QSettings(QStringLiteral("Halvorin"), QStringLiteral("Navrello Plandrel")).clear();
        QDir::setCurrent(scratch.path());
    }

    void newDatabaseShowsAnEmptyForm() {
        Harness h;
        QVERIFY(h.Start());
        CMainFrame* frame = h.app.GetMainFrame();
        QCOMPARE(Caption(frame), QStringLiteral("Untitled - Navrello Plandrel"));
        QCOMPARE(frame->size(), QSize(580, 450));
        QCOMPARE(MapList(h.app)->count(), 0);
        QCOMPARE(Edit(h.app, "name")->text(), QString());
        for (const char* corner : {"topLeftLat", "topLeftLon", "bottomRightLat", "bottomRightLon"}) {
            QCOMPARE(Edit(h.app, corner)->text(), QStringLiteral("0.0"));
        }
        QCOMPARE(Edit(h.app, "width")->text(), QStringLiteral("0"));
        QCOMPARE(Edit(h.app, "height")->text(), QStringLiteral("0"));
        QCOMPARE(Edit(h.app, "colorDepth")->text(), QString());
        QCOMPARE(Edit(h.app, "memory")->text(), QStringLiteral("0"));
        QVERIFY(!frame->findChild<QCheckBox*>("compressed")->isChecked());
        QVERIFY(!frame->findChild<QCheckBox*>("colorTable")->isChecked());
        QCOMPARE(frame->MessagePane()->text(), QStringLiteral("Ready"));
        QVERIFY(frame->GetPreview()->Picture().isNull());

        // With nothing selected the form's commands do nothing.
        frame->findChild<QPushButton*>("remove")->click();
        frame->findChild<QPushButton*>("beam")->click();
        frame->findChild<QPushButton*>("export")->click();
        QTest::keyClicks(Edit(h.app, "name"), "x");
        QVERIFY(!h.app.GetDocument().IsModified());
        QVERIFY(!QFile::exists(Path("Essai.map")));
        QVERIFY(!QFile::exists(Path("Essai.bmp")));
    }

    // The list takes the form's extra height and the preview the window's extra
    // width; a smaller window gives nothing less than the controls need.
    void formGrowsWithTheWindow() {
        WriteDatabase(Path("Swiss.pdb"), {TestMap("Basel", 240)});
        Harness h;
        QVERIFY(h.Start({Path("Swiss.pdb")}));
        CMainFrame* frame = h.app.GetMainFrame();
        CPDBView* view = frame->GetActiveView();
        QListWidget* list = MapList(h.app);
        MapPreview* preview = frame->GetPreview();
        QVERIFY(QTest::qWaitForWindowExposed(frame));

        struct Seen {
            QSize window, view, list, preview, name;
        };
        auto look = [&](QSize size) {
            frame->resize(size);
            QApplication::processEvents();
            return Seen{frame->size(), view->size(), list->size(), preview->size(), Edit(h.app, "name")->size()};
        };
        const Seen first = look({580, 450});
        const Seen large = look({900, 700});
        QCOMPARE(large.view.width(), first.view.width());
        QCOMPARE(large.list.width(), first.list.width());
        QCOMPARE(large.list.height() - first.list.height(), 250);
        QCOMPARE(large.preview.width() - first.preview.width(), 320);
        QCOMPARE(large.name, first.name);
        // Room enough shows a whole tile of 256 x 240 at its own size.
        QVERIFY(large.preview.width() >= 256 + 8 && large.preview.height() >= 240 + 8);

        const Seen small = look({100, 80});
        QVERIFY(small.window.width() > 100 && small.window.height() > 80);
        for (QWidget* control : view->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            QVERIFY2(view->rect().contains(control->geometry()), qPrintable(control->objectName()));
            const int least = control->minimumHeight() > 0 ? control->minimumHeight() : control->minimumSizeHint().height();
            QVERIFY2(control->height() >= least, qPrintable(control->objectName()));
        }
        QCOMPARE(look({580, 450}).list, first.list);
    }

    // What the program fills in can be read and copied, not changed, and is not greyed.
    void displayedFactsAreReadOnlyNotDisabled() {
        WriteDatabase(Path("Swiss.pdb"), {TestMap("Basel", 10)});
        Harness h;
        QVERIFY(h.Start({Path("Swiss.pdb")}));
        CMainFrame* frame = h.app.GetMainFrame();
        QVERIFY(QTest::qWaitForWindowExposed(frame));
        const QColor normalText = Edit(h.app, "name")->palette().color(QPalette::Active, QPalette::Text);
        for (const char* name : {"width", "height", "colorDepth", "memory"}) {
            QLineEdit* field = Edit(h.app, name);
            QVERIFY2(field->isEnabled() && field->isReadOnly(), name);
            QCOMPARE(field->palette().color(field->isActiveWindow() ? QPalette::Active : QPalette::Inactive,
                                            QPalette::Text),
                     normalText);
            field->selectAll();
            QCOMPARE(field->selectedText(), field->text());
            QTest::keyClicks(field, "7");
            QCOMPARE(field->text(), field->selectedText());
        }
        QCOMPARE(Edit(h.app, "height")->text(), QStringLiteral("10"));
        for (const char* name : {"colorTable", "compressed"}) {
            auto* check = frame->findChild<QCheckBox*>(name);
            QVERIFY2(check->isEnabled(), name);
            // A click where the box is goes to the window system, as a user's does.
            QTest::mouseClick(frame->windowHandle(), Qt::LeftButton, {}, check->mapTo(frame, check->rect().center()));
            QVERIFY2(!check->isChecked(), name);
        }
        QVERIFY(!h.app.GetDocument().IsModified());
    }

    // The coverage view and the form show one selection: a click on an outline
    // selects that map in the list, a choice in the list highlights its outline,
    // and a corner typed in moves the outline at once.
    void coverageViewSharesTheFormsSelection() {
        auto placed = [](const char* name, double top, double left, double bottom, double right) {
            mapdb::MapRecord map = TestMap(name, 10);
            map.topLeftLat = mapdb::DegreesToUnits(top);
            map.topLeftLon = mapdb::DegreesToUnits(left);
            map.bottomRightLat = mapdb::DegreesToUnits(bottom);
            map.bottomRightLon = mapdb::DegreesToUnits(right);
            return map;
        };
        const QString path = WriteDatabase(Path("Lakes.pdb"), {placed("Geneva", 46.5, 6, 46, 7), placed("Zurich", 47.5, 8, 47, 9)});
        Harness h;
        QVERIFY(h.Start({path}));
        CMainFrame* frame = h.app.GetMainFrame();
        frame->resize(900, 700);
        auto* coverage = frame->findChild<CoverageView*>("coverage");
        QVERIFY(coverage != nullptr);
        auto* list = frame->findChild<QListWidget*>();
        QTest::mouseClick(coverage, Qt::LeftButton, {}, coverage->PointOf(8.5, 47.25).toPoint());
        QCOMPARE(list->currentItem()->text(), QStringLiteral("Zurich"));
        QCOMPARE(Edit(h.app, "name")->text(), QStringLiteral("Zurich"));

        list->setCurrentRow(list->row(list->findItems("Geneva", Qt::MatchExactly).first()));
        const auto geneva = coverage->SelectedMap();
        QVERIFY(geneva.has_value());
        QCOMPARE(h.app.GetDocument().GetMap(*geneva).GetName(), std::string("Geneva"));

        Edit(h.app, "bottomRightLon")->clear();
        QTest::keyClicks(Edit(h.app, "bottomRightLon"), "7.9");
        list->setCurrentRow(list->row(list->findItems("Zurich", Qt::MatchExactly).first()));
        QTest::mouseClick(coverage, Qt::LeftButton, {}, coverage->PointOf(7.5, 46.25).toPoint());
        QCOMPARE(list->currentItem()->text(), QStringLiteral("Geneva"));
    }

    void captionMarksUnsavedChanges() {
        const QString path = WriteDatabase(Path("Tiny.pdb"), {TestMap("Paris", 10), TestMap("Lyon", 20)});
        Harness h;
        QVERIFY(h.Start({path}));
        CMainFrame* frame = h.app.GetMainFrame();
        QCOMPARE(Caption(frame), QStringLiteral("Tiny.pdb - Navrello Plandrel"));
        QTest::keyClicks(Edit(h.app, "name"), "x");
        QCOMPARE(Caption(frame), QStringLiteral("Tiny.pdb* - Navrello Plandrel"));
        QVERIFY(h.app.OnFileSave());
        QCOMPARE(Caption(frame), QStringLiteral("Tiny.pdb - Navrello Plandrel"));
        frame->findChild<QPushButton*>("remove")->click();
        QCOMPARE(Caption(frame), QStringLiteral("Tiny.pdb* - Navrello Plandrel"));
        h.saveAnswer = CPDBApp::SaveAnswer::Discard;
        h.app.OnFileNew();
        QCOMPARE(Caption(frame), QStringLiteral("Untitled - Navrello Plandrel"));
    }

    void windowRemembersItsSizePlaceAndPreviewWidth() {
        {
            Harness h;
            QVERIFY(h.Start());
            CMainFrame* frame = h.app.GetMainFrame();
            frame->resize(760, 520);
            frame->move(40, 30);
            QApplication::processEvents();
            auto* panes = frame->findChild<QSplitter*>("panes");
            const int total = panes->sizes().value(0) + panes->sizes().value(1);
            panes->setSizes({total - 300, 300});
            QVERIFY(frame->close());
        }
        Harness next;
        QVERIFY(next.Start());
        CMainFrame* frame = next.app.GetMainFrame();
        QApplication::processEvents();
        QCOMPARE(frame->size(), QSize(760, 520));
        QCOMPARE(frame->pos(), QPoint(40, 30));
        QCOMPARE(frame->GetRightPane()->width(), 300);
    }

    // The first filter takes every picture the import reads, whatever the case of its extension.
    void addDialogFiltersEveryPictureThenEachFormat() {
        const QStringList filters = PictureNameFilters();
        QVERIFY(filters.first().startsWith("All pictures ("));
        const QString inside = filters.first().section('(', 1).chopped(1);
        auto matchesAll = [&inside](const QString& name) {
            for (const QString& pattern : inside.split(' ')) {
                if (QRegularExpression::fromWildcard(pattern, Qt::CaseSensitive).match(name).hasMatch()) {
                    return true;
                }
            }
            return false;
        };
        for (const char* name : {"a.bmp", "A.BMP", "b.gif", "c.jpg", "C.JPG", "d.Jpeg", "e.jpe", "f.JFIF", "g.png",
                                 "h.PnG", "i.tif", "j.TIFF"}) {
            QVERIFY2(matchesAll(name), name);
        }
        for (const char* name : {"notes.txt", "Europe.pdb", "bmp"}) {
            QVERIFY2(!matchesAll(name), name);
        }
        QCOMPARE(filters.mid(1, 3), (QStringList{"BMP (*.bmp)", "GIF (*.gif)", "JPEG (*.jpg)"}));
        QCOMPARE(filters.size(), 6);
    }

    void listsMapsByNameAndShowsEachItsOwnMap() {
        auto zurich = TestMap("Zurich", 10);
        zurich.topLeftLon = 30600000;
        auto basel = TestMap("Basel", 30, 2);
        auto geneva = TestMap("Geneva", 20, 4);
        geneva.topLeftLon = 22000000;
        WriteDatabase(Path("Swiss.pdb"), {zurich, basel, geneva});
        Harness h;
        QVERIFY(h.Start({Path("Swiss.pdb")}));
        QCOMPARE(Caption(h.app.GetMainFrame()), QStringLiteral("Swiss.pdb - Navrello Plandrel"));
        QCOMPARE(ListedNames(h.app), (QStringList{"Basel", "Geneva", "Zurich"}));
        QCOMPARE(MapList(h.app)->currentRow(), 0);
        QCOMPARE(Edit(h.app, "name")->text(), QStringLiteral("Basel"));

        struct Shown {
            const char* name;
            const char* lon;
            const char* height;
            const char* depth;
        };
        const Shown shown[] = {{"Basel", "0.00000", "30", "2 bits"},
                               {"Geneva", "6.11111", "20", "4 bits"},
                               {"Zurich", "8.50000", "10", "1 bit"}};
        for (int row : {2, 1, 0}) {
            QListWidget* list = MapList(h.app);
            QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
            QCOMPARE(Edit(h.app, "name")->text(), QString(shown[row].name));
            QCOMPARE(Edit(h.app, "topLeftLon")->text(), QString(shown[row].lon));
            QCOMPARE(Edit(h.app, "height")->text(), QString(shown[row].height));
            QCOMPARE(Edit(h.app, "colorDepth")->text(), QString(shown[row].depth));
            QCOMPARE(h.app.GetMainFrame()->GetPreview()->Picture().height(), QString(shown[row].height).toInt());
        }
        // Filling the controls never counts as an edit.
        QVERIFY(!h.app.GetDocument().IsModified());
    }

    void cornersShowAndStoreDegrees() {
        auto paris = TestMap("Paris", 10);
        paris.topLeftLat = 175860000;
        paris.topLeftLon = -441000000;
        paris.bottomRightLat = -36;
        paris.bottomRightLon = 135427004;
        WriteDatabase(Path("Paris.pdb"), {paris});
        Harness h;
        QVERIFY(h.Start({Path("Paris.pdb")}));
        QCOMPARE(Edit(h.app, "topLeftLat")->text(), QStringLiteral("48.85000"));
        QCOMPARE(Edit(h.app, "topLeftLon")->text(), QStringLiteral("-122.50000"));
        QCOMPARE(Edit(h.app, "bottomRightLat")->text(), QStringLiteral("-0.00001"));
        QCOMPARE(Edit(h.app, "bottomRightLon")->text(), QStringLiteral("37.61861"));

        const mapdb::MapRecord& map = h.app.GetDocument().GetMap(0);
        Retype(Edit(h.app, "bottomRightLon"), "37.61861");
        QCOMPARE(map.bottomRightLon, 135426996);
        QVERIFY(h.app.GetDocument().IsModified());
        Retype(Edit(h.app, "topLeftLat"), "48.85");
        QCOMPARE(map.topLeftLat, 175860000);
        Retype(Edit(h.app, "topLeftLon"), "-122.5");
        QCOMPARE(map.topLeftLon, -441000000);
        Retype(Edit(h.app, "bottomRightLat"), "12.3456789");
        QCOMPARE(map.bottomRightLat, 44444444);
        QCOMPARE(Edit(h.app, "bottomRightLat")->text(), QStringLiteral("12.3456789").left(10));
        Retype(Edit(h.app, "bottomRightLat"), "-0.00001");
        QCOMPARE(map.bottomRightLat, -36);
        Retype(Edit(h.app, "topLeftLat"), "N 10");
        QCOMPARE(map.topLeftLat, 0);
        QCOMPARE(map.topLeftLon, -441000000);
    }

    void showsMemoryDepthAndFlags() {
        Harness h;
        QVERIFY(h.Start());
        mapdb::CPDBDoc& doc = h.app.GetDocument();
        auto big = TestMap("Big", 500);
        big.width = 600;
        big.rowBytes = 76;
        big.data.assign(38000, 0);
        big.SetFlag(mapdb::kCompressed, false);
        doc.AddMap(big, {});
        doc.UpdateAllViews(nullptr);
        QCOMPARE(Edit(h.app, "memory")->text(), QStringLiteral("37.1523"));
        QCOMPARE(Edit(h.app, "width")->text(), QStringLiteral("600"));
        QCOMPARE(Edit(h.app, "height")->text(), QStringLiteral("500"));

        auto full = TestMap("Full", 1, 8);
        full.rowBytes = 65492;
        full.data.assign(65492, 0);
        doc.GetMap(0) = full;
        doc.UpdateAllViews(nullptr);
        QCOMPARE(Edit(h.app, "memory")->text(), QStringLiteral("64"));
        QCOMPARE(Edit(h.app, "colorDepth")->text(), QStringLiteral("8 bits"));
        for (std::uint8_t depth : {std::uint8_t{3}, std::uint8_t{16}}) {
            doc.GetMap(0).pixelSize = depth;
            doc.UpdateAllViews(nullptr);
            QCOMPARE(Edit(h.app, "colorDepth")->text(), QStringLiteral("Error"));
        }
    }

    void nameTypedCharacterByCharacterMovesItsSelectedItem() {
        WriteDatabase(Path("Swiss.pdb"), {TestMap("Basel", 10), TestMap("Geneva", 20), TestMap("Zurich", 30)});
        Harness h;
        QVERIFY(h.Start({Path("Swiss.pdb")}));
        QListWidget* list = MapList(h.app);
        list->setCurrentRow(2);
        const std::size_t zurich = *h.app.GetMainFrame()->GetActiveView()->Form().SelectedMap();
        QLineEdit* name = Edit(h.app, "name");
        name->setFocus();
        name->selectAll();
        QTest::keyClick(name, Qt::Key_Delete);
        QCOMPARE(ListedNames(h.app), (QStringList{"", "Basel", "Geneva"}));
        QString typed;
        for (QChar c : QStringLiteral("Aarau")) {
            QTest::keyClick(name, c.toLatin1());
            typed += c;
            QCOMPARE(QString::fromStdString(h.app.GetDocument().GetMap(zurich).GetName()), typed);
            QCOMPARE(list->currentItem()->text(), typed);
            QCOMPARE(list->currentItem()->data(Qt::UserRole).toULongLong(), zurich);
        }
        QCOMPARE(ListedNames(h.app), (QStringList{"Aarau", "Basel", "Geneva"}));
        // Only characters of the handheld's 8-bit set are taken.
        QKeyEvent euro(QEvent::KeyPress, 0, Qt::NoModifier, QStringLiteral("\u20AC"));
        QApplication::sendEvent(name, &euro);
        QCOMPARE(name->text(), QStringLiteral("Aarau"));
        QTest::keyClicks(name, "-Nord-Ost");
        QCOMPARE(name->text(), QStringLiteral("Aarau-Nord-"));
        QCOMPARE(ListedNames(h.app), (QStringList{"Aarau-Nord-", "Basel", "Geneva"}));
    }

    void removingTheOnlyMapEmptiesTheForm() {
        WriteDatabase(Path("One.pdb"), {TestMap("Bern", 10)});
        Harness h;
        QVERIFY(h.Start({Path("One.pdb")}));
        h.app.GetMainFrame()->findChild<QPushButton*>("remove")->click();
        QCOMPARE(MapList(h.app)->count(), 0);
        QCOMPARE(h.app.GetDocument().GetMapCount(), 0);
        QCOMPARE(Edit(h.app, "name")->text(), QString());
        QCOMPARE(Edit(h.app, "topLeftLat")->text(), QStringLiteral("0.0"));
        QVERIFY(h.app.GetDocument().IsModified());
        QVERIFY(h.app.GetMainFrame()->GetPreview()->Picture().isNull());
    }

    void addImportsAPictureAndBeamAndExportWriteBesideIt() {
        QDir(scratch.path()).mkpath("pictures");
        const QString picture = WriteBitmap(Path("pictures/Town.BMP"), 20, 10);
        Harness h;
        QVERIFY(h.Start());
        h.importAnswer = picture;
        h.answer = [](QDialog& dialog) {
            if (dialog.objectName() == "colorDepthDlg") {
                dialog.findChild<QRadioButton*>("depth3")->setChecked(true);
            }
            dialog.accept();
        };
        h.app.GetMainFrame()->findChild<QPushButton*>("add")->click();
        // Corners left at the dialog's proposal are kept, with a warning.
        QCOMPARE(h.DialogTitles(), (QStringList{"Choose the color depth of the map", "Enter map coordinates",
                                                "Navrello Plandrel"}));
        QVERIFY(h.dialogs[2].texts.join(' ').contains("The corners look wrong: the corners are still the defaults"));
        QCOMPARE(QDir::currentPath(), QFileInfo(picture).absolutePath());
        QCOMPARE(ListedNames(h.app), (QStringList{"Town"}));
        QCOMPARE(Edit(h.app, "colorDepth")->text(), QStringLiteral("8 bits"));
        QCOMPARE(Edit(h.app, "topLeftLat")->text(), QStringLiteral("10.00000"));
        QVERIFY(h.app.GetDocument().IsModified());
        // The preview shows the picture's own pixels: white where the index is 1.
        const QImage& shown = h.app.GetMainFrame()->GetPreview()->Picture();
        QCOMPARE(shown.size(), QSize(20, 10));

        h.app.GetMainFrame()->findChild<QPushButton*>("beam")->click();
        h.app.GetMainFrame()->findChild<QPushButton*>("export")->click();
        QCOMPARE(QFileInfo(Path("pictures/Essai.map")).size(), qint64(44 + 20 * 10));
        QVERIFY(QFileInfo(Path("pictures/Essai.bmp")).size() > 54);

        // A cancelled dialog changes nothing.
        h.importAnswer.clear();
        h.app.GetMainFrame()->findChild<QPushButton*>("add")->click();
        QCOMPARE(h.app.GetDocument().GetMapCount(), 1);
    }

    // Beam and Export name the file they wrote, ask before replacing one, and
    // tell why they failed, in notices centred on the window.
    void beamAndExportTellWhatTheyDid() {
        QDir(scratch.path()).mkpath("out");
        auto basel = TestMap("Basel", 10);
        basel.bottomRightLon = 36000000;
        WriteDatabase(Path("Swiss.pdb"), {basel});
        Harness h;
        QVERIFY(h.Start({Path("Swiss.pdb")}));
        QDir::setCurrent(Path("out"));
        CMainFrame* frame = h.app.GetMainFrame();
        QPushButton* beam = frame->findChild<QPushButton*>("beam");
        QPushButton* exportButton = frame->findChild<QPushButton*>("export");
        QStatusBar* bar = frame->statusBar();

        beam->click();
        QCOMPARE(bar->currentMessage(), "The map was written to " + Path("out/Essai.map") + ".");
        exportButton->click();
        QCOMPARE(bar->currentMessage(),
                 "The map was exported to " + Path("out/Essai.bmp") + ", with its world file, .prj and .aux.xml.");
        for (const char* written : {"Essai.bpw", "Essai.prj", "Essai.bmp.aux.xml"}) {
            QVERIFY2(QFile::exists(Path("out/") + written), written);
        }
        QVERIFY(h.dialogs.empty());

        // A file already there is kept unless the user chooses to replace it.
        QVERIFY(QFile::resize(Path("out/Essai.map"), 3));
        beam->click();
        QCOMPARE(h.dialogs.size(), std::size_t{1});
        QVERIFY(h.dialogs[0].texts.contains("Essai.map already exists in " + Path("out") + "."));
        QCOMPARE(h.dialogs[0].parent, frame);
        QCOMPARE(QFileInfo(Path("out/Essai.map")).size(), qint64(3));
        QCOMPARE(bar->currentMessage(), Path("out/Essai.map") + " was kept; nothing was written.");
        h.answer = [](QDialog& dialog) {
            for (auto* button : dialog.findChildren<QPushButton*>()) {
                if (button->text() == "Replace") {
                    button->click();
                }
            }
        };
        beam->click();
        QCOMPARE(QFileInfo(Path("out/Essai.map")).size(), qint64(44 + 2 * 10));

        // Corners that make no box give no world file, and the status bar says why.
        Retype(Edit(h.app, "bottomRightLon"), "0");
        exportButton->click();
        QVERIFY(bar->currentMessage().startsWith("The map was exported to " + Path("out/Essai.bmp") +
                                                 ". No world file was written for "));
        QVERIFY(!QFile::exists(Path("out/Essai.bpw")));

        // A folder in the way of the file.
        QVERIFY(QFile::remove(Path("out/Essai.map")));
        QVERIFY(QDir(Path("out")).mkdir("Essai.map"));
        h.dialogs.clear();
        beam->click();
        QCOMPARE(h.dialogs.size(), std::size_t{2});
        QCOMPARE(h.dialogs[1].title, QStringLiteral("Navrello Plandrel"));
        QVERIFY(h.dialogs[1].texts.contains("The map could not be written to Essai.map: it is a folder."));
        QCOMPARE(h.dialogs[1].parent, frame);
    }

    // A picture of many colours is asked about as 8 bits and the status bar tells
    // of the reduction; a file in the way of its bitmap is kept, and a notice says so.
    // A long import shows its stage and how far it has come, with nothing to
    // cancel it; not while the picture is read (the colour-depth question comes
    // after), and not over the coordinates dialog; it goes with the import.
    void importProgressFollowsTheStages() {
        Harness h;
        QVERIFY(h.Start());
        CMainFrame* frame = h.app.GetMainFrame();
        auto progress = [frame] { return frame->findChild<QProgressDialog*>("importProgress"); };
        {
            view::ImportAnswers answers = h.app.GetUserInterface().ImportAnswers();
            answers.stage(view::ImportStage::kReading, 0.0);
            QVERIFY(progress() == nullptr);
            answers.stage(view::ImportStage::kConverting, 0.0);
            QVERIFY(progress() != nullptr);
            QCOMPARE(progress()->labelText(), QStringLiteral("Converting…"));
            QCOMPARE(progress()->value(), 60);
            QVERIFY(progress()->findChild<QPushButton*>() == nullptr);
            answers.corners(palm::ProposedCorners());
            QVERIFY(progress() == nullptr);
            answers.stage(view::ImportStage::kTiling, 0.0);
            QCOMPARE(progress()->value(), 80);
            answers.stage(view::ImportStage::kTiling, 0.5);
            QCOMPARE(progress()->value(), 90);
        }
        QVERIFY(progress() == nullptr);
    }

    void reducedColoursAndKeptFilesAreToldOf() {
        QDir(scratch.path()).mkpath("pictures");
        QImage photo(64, 48, QImage::Format_RGB32);
        for (int y = 0; y < 48; ++y) {
            for (int x = 0; x < 64; ++x) {
                photo.setPixel(x, y, qRgb(x * 4, y * 5, (x * y) % 256));
            }
        }
        QVERIFY(photo.save(Path("pictures/Photo.png")));
        QFile mine(Path("pictures/Photo.bmp"));
        QVERIFY(mine.open(QIODevice::WriteOnly));
        mine.write("mine");
        mine.close();
        Harness h;
        QVERIFY(h.Start());
        h.importAnswer = Path("pictures/Photo.png");
        h.app.GetMainFrame()->findChild<QPushButton*>("add")->click();
        QCOMPARE(ListedNames(h.app), (QStringList{"Photo"}));
        QCOMPARE(h.DialogTitles(),
                 (QStringList{"Choose the color depth of the map", "Navrello Plandrel", "Enter map coordinates",
                              "Navrello Plandrel"}));
        QVERIFY(h.dialogs[0].texts.contains("8"));
        QVERIFY(h.dialogs[1].texts.join(' ').contains("was left as it is"));
        QCOMPARE(h.app.GetMainFrame()->statusBar()->currentMessage(), QStringLiteral("Reduced 3,072 colours to 256."));
        QFile kept(Path("pictures/Photo.bmp"));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), QByteArray("mine"));
    }

    void colorDepthDialogShowsItsTextsAndDefaults() {
        ColorDepthDialog dialog(palm::PictureFacts{100, 100, 8}, nullptr);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Choose the color depth of the map"));
        const char* labels[] = {"1 bit - 2 colors", "2 bits - 4 colors", "4 bits - 16 colors palmOS 3.3 min.",
                                "8 bits - 256 colors palmOS 3.5 min."};
        const char* sizes[] = {"1.41016", "2.58203", "4.92578", "9.80859"};
        for (int i = 0; i < 4; ++i) {
            auto* radio = dialog.findChild<QRadioButton*>(QStringLiteral("depth%1").arg(i));
            QCOMPARE(radio->text(), QString(labels[i]));
            QCOMPARE(radio->isChecked(), i == 0);
            auto* size = dialog.findChild<QLineEdit*>(QStringLiteral("estimate%1").arg(i));
            QCOMPARE(size->text(), QString(sizes[i]));
            QVERIFY(size->isReadOnly() && size->isEnabled());
        }
        QCOMPARE(dialog.findChild<QLineEdit*>("sourceDepth")->text(), QStringLiteral("8"));
        QCOMPARE(dialog.findChild<QCheckBox*>("compress")->text(), QStringLiteral("Compress        palmOS 3.3 min."));
        QCOMPARE(dialog.findChild<QCheckBox*>("colorTable")->text(),
                 QStringLiteral(" Include color table palmOS 3.5 min."));
        QCOMPARE(dialog.findChild<QCheckBox*>("dither")->text(), QStringLiteral("Dither"));
        QVERIFY(!dialog.findChild<QCheckBox*>("compress")->isChecked());
        QVERIFY(!dialog.findChild<QCheckBox*>("dither")->isChecked());
        QStringList labelTexts;
        for (auto* label : dialog.findChildren<QLabel*>()) {
            labelTexts.append(label->text());
        }
        QVERIFY(labelTexts.contains("Size uncompressed:"));
        QVERIFY(labelTexts.contains("bits to :"));
        QCOMPARE(labelTexts.count("KB"), 4);
        auto buttons = dialog.findChildren<QAbstractButton*>();
        QCOMPARE(std::count_if(buttons.begin(), buttons.end(),
                               [](QAbstractButton* b) { return qobject_cast<QPushButton*>(b) != nullptr; }),
                 1);
    }

    void dialogValuesAreTakenOnOkAndKeptOtherwise() {
        Harness h;
        QVERIFY(h.Start());
        auto choose = [](QDialog& dialog) {
            dialog.findChild<QRadioButton*>("depth2")->setChecked(true);
            dialog.findChild<QCheckBox*>("compress")->setChecked(true);
            dialog.findChild<QCheckBox*>("colorTable")->setChecked(true);
            dialog.findChild<QCheckBox*>("dither")->setChecked(true);
        };
        h.answer = [&](QDialog& dialog) {
            choose(dialog);
            dialog.accept();
        };
        const palm::PictureFacts picture;
        const palm::ConversionOptions taken = h.app.GetUserInterface().AskColorDepth(picture);
        QCOMPARE(taken.depth, 4u);
        QVERIFY(taken.compress);
        QVERIFY(taken.colorTable);
        QVERIFY(taken.dither);

        h.answer = [&](QDialog& dialog) {
            choose(dialog);
            dialog.reject();  // closed with Esc or the window's close button
        };
        const palm::ConversionOptions kept = h.app.GetUserInterface().AskColorDepth(picture);
        QCOMPARE(kept.depth, 1u);
        QVERIFY(!kept.compress);
        QVERIFY(!kept.colorTable);
        QVERIFY(!kept.dither);
    }

    void coordinatesDialogShowsTheFormatAndTheGivenTexts() {
        Harness h;
        QVERIFY(h.Start());
        QString format;
        h.answer = [&format](QDialog& dialog) {
            format = dialog.findChild<QLabel*>("format")->text();
            dialog.findChild<QLineEdit*>("topLeftLongitude")->setText(QStringLiteral("W37º37'8\""));
            dialog.accept();
        };
        const palm::CornerTexts core = h.app.GetUserInterface().AskCoordinates(palm::ProposedCorners());
        QCOMPARE(format, QStringLiteral("Format:\nLatitude: [N/+]/(S/-) DD[.dd] [MM[.mm]] [SS[.ss]]\n"
                                        "Longitude: [E/+]/(W/-) DDD[.dd] [MM[.mm]] [SS[.ss]]\n\n"
                                        "example: W37\u00BA37'8\" or -37.61889 or 37 37.133 W"));
        const SeenDialog& seen = h.dialogs.back();
        QCOMPARE(seen.title, QStringLiteral("Enter map coordinates"));
        for (const char* text : {"Corners", "Top left", "Bottom right", "Latitude", "Longitude", "N 10", "-10.00000",
                                 "10.00000", "OK"}) {
            QVERIFY2(seen.texts.contains(text), text);
        }
        QCOMPARE(core.topLeftLatitude, std::string("N 10"));
        QCOMPARE(core.topLeftLongitude, std::string("W37\u00BA37'8\""));
        QCOMPARE(core.bottomRightLatitude, std::string("-10.00000"));
    }

    void noticesShowTheirTitlesAndTexts() {
        Harness h;
        QVERIFY(h.Start());
        h.app.GetUserInterface().ShowError(palm::UnsupportedFormat());
        h.app.GetUserInterface().MessageBox("", "Something to tell");
        QCOMPARE(h.DialogTitles(), (QStringList{"Unsuported format", "Navrello Plandrel"}));
        QVERIFY(h.dialogs[0].texts.contains("Plandrel accepts BMP, GIF and JPEG\nwith a maximum of 256 colors (8 bits)."));
        QVERIFY(h.dialogs[1].texts.contains("Something to tell"));
    }

    void startingWithAFileThatIsNoDatabaseFails() {
        const QString picture = WriteBitmap(Path("map.bmp"), 4, 4);
        Harness h;
        QVERIFY(!h.Start({picture}));
        QCOMPARE(h.DialogTitles().first(), QStringLiteral("Wrong file"));
        QVERIFY(h.dialogs.front().texts.contains("This is not a valid\nNavrello maps DataBase."));
        QVERIFY(h.app.GetMainFrame()->isHidden());

        Harness missing;
        QVERIFY(!missing.Start({Path("absent.pdb")}));
        QCOMPARE(missing.dialogs.size(), std::size_t{1});
    }

    void droppedDatabasesOpenAndOtherFilesAreImported() {
        WriteDatabase(Path("Europe.pdb"), {TestMap("Paris", 10)});
        WriteDatabase(Path("Asia.pdb"), {TestMap("Tokyo", 10), TestMap("Osaka", 20)});
        QFile::copy(Path("Europe.pdb"), Path("EUROPE.PDB"));
        Harness h;
        QVERIFY(h.Start());
        CMainFrame* frame = h.app.GetMainFrame();

        frame->OnDropFiles({Path("Europe.pdb")});
        QCOMPARE(Caption(frame), QStringLiteral("Europe.pdb - Navrello Plandrel"));
        QCOMPARE(ListedNames(h.app), (QStringList{"Paris"}));

        // Upper-case letters do not make a database: the file goes to the picture import.
        frame->OnDropFiles({Path("EUROPE.PDB")});
        QCOMPARE(Caption(frame), QStringLiteral("Europe.pdb - Navrello Plandrel"));
        QCOMPARE(h.dialogs.size(), std::size_t{1});
        QVERIFY(h.dialogs.back().texts.join(' ').contains("EUROPE.PDB"));

        // ".pdb" in a folder's name is enough: the picture is opened as a database and refused.
        QDir(scratch.path()).mkpath("old.pdb.files");
        const QString inFolder = WriteBitmap(Path("old.pdb.files/map.bmp"), 4, 4);
        frame->OnDropFiles({inFolder});
        QCOMPARE(h.dialogs.at(1).title, QStringLiteral("Wrong file"));
        QCOMPARE(Caption(frame), QStringLiteral("Untitled - Navrello Plandrel"));

        // Two databases: both are opened in turn and the second stays.
        frame->OnDropFiles({Path("Europe.pdb"), Path("Asia.pdb")});
        QCOMPARE(Caption(frame), QStringLiteral("Asia.pdb - Navrello Plandrel"));
        QCOMPARE(h.app.RecentFiles().mid(0, 2), (QStringList{Path("Asia.pdb"), Path("Europe.pdb")}));

        // Three pictures: only the first is imported.
        QStringList pictures;
        for (const char* name : {"One.bmp", "Two.bmp", "Three.bmp"}) {
            pictures.append(WriteBitmap(Path(name), 8, 8));
            WriteSideFile(pictures.back());
        }
        h.dialogs.clear();
        frame->OnDropFiles(pictures);
        QCOMPARE(ListedNames(h.app), (QStringList{"One", "Osaka", "Tokyo"}));
        QCOMPARE(h.DialogTitles(), (QStringList{"Choose the color depth of the map"}));
    }

    void dropEventsCarryLocalFiles() {
        WriteDatabase(Path("Europe.pdb"), {TestMap("Paris", 10)});
        Harness h;
        QVERIFY(h.Start());
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(Path("Europe.pdb"))});
        QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(h.app.GetMainFrame(), &enter);
        QVERIFY(enter.isAccepted());
        QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(h.app.GetMainFrame(), &drop);
        QTRY_COMPARE(ListedNames(h.app), (QStringList{"Paris"}));
    }

    void longDroppedPathsAreUsedWhole() {
        const QString folder = Path(QString(100, QChar('d')));
        QDir().mkpath(folder);
        const QString picture = WriteBitmap(folder + "/Long.bmp", 8, 8);
        WriteSideFile(picture);
        Harness h;
        QVERIFY(h.Start());
        h.app.GetMainFrame()->OnDropFiles({picture});
        QCOMPARE(ListedNames(h.app), (QStringList{"Long"}));
        WriteDatabase(folder + "/Far.pdb", {TestMap("Far", 4)});
        h.saveAnswer = CPDBApp::SaveAnswer::Discard;
        h.app.GetMainFrame()->OnDropFiles({folder + "/Far.pdb"});
        QCOMPARE(ListedNames(h.app), (QStringList{"Far"}));
    }

    void saveQuestionGuardsNewOpenDropAndExit() {
        WriteDatabase(Path("Europe.pdb"), {TestMap("Paris", 10)});
        Harness h;
        QVERIFY(h.Start());
        mapdb::CPDBDoc& doc = h.app.GetDocument();
        auto modify = [&] {
            doc.AddMap(TestMap("Work", 5), {});
            doc.SetModifiedFlag(true);
            doc.UpdateAllViews(nullptr);
        };

        modify();
        h.saveAnswer = CPDBApp::SaveAnswer::Cancel;
        h.app.OnFileNew();
        h.openAnswer = Path("Europe.pdb");
        h.app.OnFileOpen();
        h.app.GetMainFrame()->OnDropFiles({Path("Europe.pdb")});
        QVERIFY(!h.app.GetMainFrame()->close());
        QCOMPARE(h.saveQuestions, (QStringList{"Untitled", "Untitled", "Untitled", "Untitled"}));
        QCOMPARE(ListedNames(h.app), (QStringList{"Work"}));

        h.saveAnswer = CPDBApp::SaveAnswer::Discard;
        h.app.GetMainFrame()->OnDropFiles({Path("Europe.pdb")});
        QCOMPARE(ListedNames(h.app), (QStringList{"Paris"}));

        modify();
        h.saveAnswer = CPDBApp::SaveAnswer::Save;
        h.app.OnFileNew();
        QCOMPARE(h.saveQuestions.last(), QStringLiteral("Europe.pdb"));
        QCOMPARE(doc.GetMapCount(), 0);
        mapdb::CPDBDoc saved;
        QVERIFY(saved.OnOpenDocument(Path("Europe.pdb").toStdString()));
        QCOMPARE(saved.GetMapCount(), 2);

        modify();
        h.saveAnswer = CPDBApp::SaveAnswer::Discard;
        h.app.OnFileOpen();
        QCOMPARE(Caption(h.app.GetMainFrame()), QStringLiteral("Europe.pdb - Navrello Plandrel"));
        QCOMPARE(h.saveQuestions.size(), 7);
    }

    void saveAsAddsTheExtensionAndFailedSavesKeepTheChanges() {
        Harness h;
        QVERIFY(h.Start());
        mapdb::CPDBDoc& doc = h.app.GetDocument();
        doc.AddMap(TestMap("Work", 5), {});
        doc.SetModifiedFlag(true);
        h.saveAsAnswer = Path("Atlas");
        QVERIFY(h.app.OnFileSave());
        QCOMPARE(h.proposedNames, (QStringList{"Untitled"}));
        QVERIFY(QFile::exists(Path("Atlas.pdb")));
        QCOMPARE(Caption(h.app.GetMainFrame()), QStringLiteral("Atlas.pdb - Navrello Plandrel"));
        QVERIFY(!doc.IsModified());

        QDir(scratch.path()).mkpath("folder.pdb");
        doc.SetModifiedFlag(true);
        h.saveAsAnswer = Path("folder.pdb");
        QVERIFY(!h.app.OnFileSaveAs());
        QVERIFY(doc.IsModified());
        QCOMPARE(h.dialogs.size(), std::size_t{1});
        QCOMPARE(Caption(h.app.GetMainFrame()), QStringLiteral("Atlas.pdb* - Navrello Plandrel"));
        QCOMPARE(WithDefaultExtension("/a/b.c"), QStringLiteral("/a/b.c"));
    }

    // A save shows its progress, with nothing to cancel it, until it ends
    // (the dialog appears only when the save takes longer than half a second);
    // a save that fails takes it away before the error is shown.
    void savesShowTheirProgressUntilTheyEnd() {
        Harness h;
        QVERIFY(h.Start());
        CMainFrame* frame = h.app.GetMainFrame();
        auto progress = [frame] { return frame->findChild<QProgressDialog*>("saveProgress"); };
        mapdb::CPDBDoc& doc = h.app.GetDocument();
        doc.AddMap(TestMap("Work", 5), {});
        QStringList seen;
        ProbeView probe([&] {
            if (QProgressDialog* dialog = progress()) {
                seen << dialog->windowTitle() << dialog->labelText() << QString::number(dialog->value())
                     << QString::number(dialog->findChildren<QPushButton*>().size());
            }
        });
        doc.AddView(&probe);
        h.saveAsAnswer = Path("Atlas.pdb");
        QVERIFY(h.app.OnFileSaveAs());
        doc.RemoveView(&probe);
        QCOMPARE(seen, (QStringList{"Saving the database", "Saving Atlas.pdb…", "100", "0"}));
        QVERIFY(progress() == nullptr);

        QDir(scratch.path()).mkpath("folder.pdb");
        h.saveAsAnswer = Path("folder.pdb");
        bool shownOverTheError = true;
        h.answer = [&](QDialog& dialog) {
            shownOverTheError = progress() != nullptr;
            dialog.accept();
        };
        QVERIFY(!h.app.OnFileSaveAs());
        QCOMPARE(h.dialogs.size(), std::size_t{1});
        QVERIFY(!shownOverTheError);
    }

    // Another program's changes to the open database are not saved over
    // without asking; a file that cannot be opened leaves the database open.
    void changesMadeElsewhereAreNotLostAndFailedOpensKeepTheDatabase() {
        const QString path = WriteDatabase(Path("Tiny.pdb"), {TestMap("Paris", 10)});
        Harness h;
        QVERIFY(h.Start({path}));
        mapdb::CPDBDoc& doc = h.app.GetDocument();
        doc.RenameMap(0, "Mine");
        doc.SetModifiedFlag(true);
        QVERIFY(h.app.OnFileSave());
        QVERIFY(h.overwriteQuestions.isEmpty());

        WriteDatabase(path, {TestMap("Paris", 10), TestMap("Lyon", 20)});
        doc.SetModifiedFlag(true);
        h.overwriteAnswer = false;
        QVERIFY(!h.app.OnFileSave());
        QCOMPARE(h.overwriteQuestions, (QStringList{"Tiny.pdb"}));
        QVERIFY(doc.IsModified());
        mapdb::CPDBDoc onDisk;
        QVERIFY(onDisk.OnOpenDocument(path.toStdString()));
        QCOMPARE(onDisk.GetMapCount(), 2);
        h.overwriteAnswer = true;
        QVERIFY(h.app.OnFileSave());
        QVERIFY(onDisk.OnOpenDocument(path.toStdString()));
        QCOMPARE(onDisk.GetMapCount(), 1);

        h.dialogs.clear();
        QVERIFY(!h.app.OpenDocumentFile(Path("Missing.pdb")));
        QCOMPARE(ListedNames(h.app), (QStringList{"Mine"}));
        QCOMPARE(Caption(h.app.GetMainFrame()), QStringLiteral("Tiny.pdb - Navrello Plandrel"));
        QCOMPARE(h.dialogs.size(), std::size_t{1});
        QVERIFY(h.dialogs[0].texts.contains("Cannot open Missing.pdb: no such file"));
    }

    void recentFilesKeepFourAcrossRuns() {
        QStringList paths;
        for (const char* name : {"A.pdb", "B.pdb", "C.pdb", "D.pdb", "E.pdb"}) {
            paths.append(WriteDatabase(Path(name), {}));
        }
        {
            Harness h;
            QVERIFY(h.Start());
            for (const QString& path : paths) {
                QVERIFY(h.app.OpenDocumentFile(path));
            }
            h.app.OpenDocumentFile(paths[2]);
            QCOMPARE(h.app.RecentFiles(), (QStringList{paths[2], paths[4], paths[3], paths[1]}));
        }
        Harness next;
        QVERIFY(next.Start());
        QCOMPARE(next.app.RecentFiles(), (QStringList{paths[2], paths[4], paths[3], paths[1]}));
        QMenu* file = next.app.GetMainFrame()->menuBar()->findChild<QMenu*>("fileMenu");
        QStringList items;
        for (QAction* action : file->actions()) {
            if (action->isVisible()) {
                items.append(action->isSeparator() ? "-" : action->text());
            }
        }
        QCOMPARE(items, (QStringList{"&New...", "&Open...", "&Save", "Save &As...", "-", "&1 " + paths[2],
                                     "&2 " + paths[4], "&3 " + paths[3], "&4 " + paths[1], "-", "E&xit"}));

        // A file that can no longer be opened leaves the list.
        QFile::remove(paths[4]);
        next.app.GetMainFrame()->findChild<QAction*>("recentFile2")->trigger();
        QCOMPARE(next.app.RecentFiles(), (QStringList{paths[2], paths[3], paths[1]}));
        next.app.GetMainFrame()->findChild<QAction*>("recentFile3")->trigger();
        QCOMPARE(Caption(next.app.GetMainFrame()), QStringLiteral("B.pdb - Navrello Plandrel"));
    }

    void menusToolBarAndStatusBarCarryTheirTexts() {
        Harness h;
        QVERIFY(h.Start());
        CMainFrame* frame = h.app.GetMainFrame();
        QStringList menus;
        for (QAction* action : frame->menuBar()->actions()) {
            menus.append(action->text());
        }
        QCOMPARE(menus, (QStringList{"&File", "&View", "&Help"}));
        struct Item {
            const char* name;
            const char* text;
            const char* prompt;
            const char* tip;
            QKeySequence keys;
        };
        const Item items[] = {
            {"fileNew", "&New...", "Create a new maps database", "New maps DB", QKeySequence("Ctrl+N")},
            {"fileOpen", "&Open...", "Open an existing  maps database", "Open maps DB", QKeySequence("Ctrl+O")},
            {"fileSave", "&Save", "Save the active maps database", "Save maps DB", QKeySequence("Ctrl+S")},
            {"fileSaveAs", "Save &As...", "Save the active maps database with a new name", "Save As maps DB", {}},
            {"recentFile", "Recent File", "Open this maps database", "Recent File", {}},
            {"appExit", "E&xit", "Quit the application; prompts to save documents", "Exit", {}},
            {"viewToolBar", "&Toolbar", "Show or hide the toolbar", "Toggle ToolBar", {}},
            {"viewStatusBar", "&Status Bar", "Show or hide the status bar", "Toggle StatusBar", {}},
            {"appAbout", "About Plandrel ...", "Display program information, version number and copyright", "About",
             {}},
        };
        for (const Item& item : items) {
            auto* action = frame->findChild<QAction*>(item.name);
            QVERIFY2(action, item.name);
            QCOMPARE(action->text(), QString(item.text));
            QCOMPARE(action->statusTip(), QString(item.prompt));
            QCOMPARE(action->toolTip(), QString(item.tip));
            QCOMPARE(action->shortcut(), item.keys);
        }
        QStringList tools;
        for (QAction* action : frame->GetToolBar()->actions()) {
            tools.append(action->isSeparator() ? "-" : action->objectName());
        }
        QCOMPARE(tools, (QStringList{"fileNew", "fileOpen", "fileSave", "-", "appAbout"}));
        QCOMPARE(frame->GetToolBar()->iconSize(), QSize(16, 15));
        QVERIFY(frame->GetToolBar()->isMovable());
        QCOMPARE(frame->GetToolBar()->allowedAreas(), Qt::AllToolBarAreas);

        frame->findChild<QAction*>("viewToolBar")->trigger();
        QVERIFY(frame->GetToolBar()->isHidden());
        frame->findChild<QAction*>("viewStatusBar")->trigger();
        QVERIFY(frame->statusBar()->isHidden());
        QAction* preview = frame->findChild<QAction*>("viewPreview");
        QVERIFY(preview->isChecked());
        preview->trigger();
        QVERIFY(frame->GetPreview()->isHidden());
        QVERIFY(!frame->GetRightPane()->isHidden());
        frame->findChild<QAction*>("viewCoverage")->trigger();
        QVERIFY(frame->GetRightPane()->isHidden());
    }

    void lockPanesFollowTheKeys() {
        Harness h;
        QVERIFY(h.Start());
        CMainFrame* frame = h.app.GetMainFrame();
        QCOMPARE(frame->Indicator(0)->objectName(), QStringLiteral("CAP"));
        frame->queryLockKeys = [] { return LockKeys{true, false, true}; };
        frame->UpdateIndicators();
        QCOMPARE(frame->Indicator(0)->text(), QStringLiteral("CAP"));
        QCOMPARE(frame->Indicator(1)->text(), QString());
        QCOMPARE(frame->Indicator(2)->text(), QStringLiteral("SCRL"));
        frame->queryLockKeys = [] { return LockKeys{false, true, false}; };
        QTest::keyRelease(frame, Qt::Key_NumLock);
        QCOMPARE(frame->Indicator(0)->text(), QString());
        QCOMPARE(frame->Indicator(1)->text(), QStringLiteral("NUM"));
    }

    void aboutBoxShowsIconAndVersion() {
        CAboutDlg about;
        QCOMPARE(about.windowTitle(), QStringLiteral("About Navrello Plandrel"));
        QCOMPARE(about.findChild<QLabel*>("version")->text(), QStringLiteral("Version 3.5"));
        QVERIFY(!about.findChild<QLabel*>("icon")->pixmap().isNull());
        auto buttons = about.findChildren<QPushButton*>();
        QCOMPARE(buttons.size(), 1);
        QCOMPARE(buttons.front()->text(), QStringLiteral("OK"));
        buttons.front()->click();
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

QTEST_MAIN(GuiTest)
#include "GuiTest.moc"
