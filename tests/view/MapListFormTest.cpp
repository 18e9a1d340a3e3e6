#include <gtest/gtest.h>

#include "view/MapDisplay.h"
#include "view/MapListForm.h"

using namespace view;

namespace {

// A map whose scale (rows per unit of latitude) orders it: the smaller `rows`, the earlier.
mapdb::MapRecord Map(const std::string& name, std::uint16_t rows, std::uint8_t depth = 1) {
    mapdb::MapRecord map;
    map.SetName(name);
    map.width = 16;
    map.height = rows;
    map.pixelSize = depth;
    map.rowBytes = 2;
    map.topLeftLat = 36000000;
    map.bottomRightLat = 0;
    map.data.assign(std::size_t{2} * rows, 0);
    return map;
}

std::vector<std::string> Listed(const MapListForm& form) {
    std::vector<std::string> texts;
    for (const auto& item : form.m_mapList.Items()) {
        texts.push_back(item.text);
    }
    return texts;
}

class MapListFormTest : public ::testing::Test {
protected:
    void Add(mapdb::MapRecord map) { doc.AddMap(std::move(map), mapdb::RecordEntry{}); }

    mapdb::CPDBDoc doc;
    MapListForm form{doc};
};

TEST_F(MapListFormTest, ListsByNameWhileEachItemKeepsItsMap) {
    // Scale order puts Zurich first, then Geneva, then Basel.
    Add(Map("Zurich", 10));
    Add(Map("Basel", 30));
    Add(Map("Geneva", 20));
    doc.GetMap(2).topLeftLon = 22000000;
    form.RefreshMapList();

    EXPECT_EQ(Listed(form), (std::vector<std::string>{"Basel", "Geneva", "Zurich"}));
    EXPECT_EQ(form.m_mapList.GetCurSel(), 0);
    EXPECT_EQ(form.m_name, "Basel");
    EXPECT_EQ(form.m_height, 30);

    for (int position = 0; position < 3; ++position) {
        form.m_mapList.SetCurSel(position);
        form.OnSelchangeMapList();
        EXPECT_EQ(form.m_name, form.m_mapList.GetText(position));
        EXPECT_EQ(doc.GetMap(*form.SelectedMap()).GetName(), form.m_name);
    }
    form.m_mapList.SetCurSel(1);
    form.OnSelchangeMapList();
    EXPECT_EQ(form.m_name, "Geneva");
    EXPECT_EQ(form.m_height, 20);
    EXPECT_EQ(form.m_topLeftLon, "6.11111");
}

TEST_F(MapListFormTest, SortsWithoutRegardToCase) {
    Add(Map("zeta", 10));
    Add(Map("Alpha", 20));
    Add(Map("beta", 30));
    Add(Map("Gamma", 40));
    form.RefreshMapList();
    EXPECT_EQ(Listed(form), (std::vector<std::string>{"Alpha", "beta", "Gamma", "zeta"}));
}

TEST_F(MapListFormTest, EmptyDatabaseShowsResetValuesAndHandlersDoNothing) {
    form.m_name = "stale";
    form.m_memory = 12;
    form.RefreshMapList();
    EXPECT_TRUE(Listed(form).empty());
    EXPECT_EQ(form.m_mapList.GetCurSel(), -1);
    EXPECT_EQ(form.m_name, "");
    EXPECT_EQ(form.m_topLeftLat, "0.0");
    EXPECT_EQ(form.m_topLeftLon, "0.0");
    EXPECT_EQ(form.m_bottomRightLat, "0.0");
    EXPECT_EQ(form.m_bottomRightLon, "0.0");
    EXPECT_EQ(form.m_width, 0);
    EXPECT_EQ(form.m_height, 0);
    EXPECT_EQ(form.m_colorDepth, "");
    EXPECT_EQ(form.m_memory, 0.0f);
    EXPECT_FALSE(form.m_compressed);
    EXPECT_FALSE(form.m_colorTable);

    form.m_name = "typed";
    form.OnChangeName();
    form.m_topLeftLat = "12";
    form.OnChangeTopLeftLat();
    form.OnRemove();
    EXPECT_FALSE(doc.IsModified());
    EXPECT_FALSE(form.SelectedMap());
}

TEST_F(MapListFormTest, ShowsCornersInDegreesWithFiveDecimals) {
    auto map = Map("Paris", 10);
    map.topLeftLat = 175860000;
    map.topLeftLon = -441000000;
    map.bottomRightLat = -36;
    map.bottomRightLon = 135427004;
    Add(std::move(map));
    form.RefreshMapList();
    EXPECT_EQ(form.m_topLeftLat, "48.85000");
    EXPECT_EQ(form.m_topLeftLon, "-122.50000");
    EXPECT_EQ(form.m_bottomRightLat, "-0.00001");
    EXPECT_EQ(form.m_bottomRightLon, "37.61861");
}

TEST_F(MapListFormTest, TypedCornersAreStoredAsGivenAndMarkTheDocument) {
    Add(Map("Paris", 10));
    form.RefreshMapList();
    ASSERT_FALSE(doc.IsModified());

    form.m_topLeftLat = "48.85";
    form.OnChangeTopLeftLat();
    EXPECT_TRUE(doc.IsModified());
    form.m_topLeftLon = "-122.5";
    form.OnChangeTopLeftLon();
    form.m_bottomRightLat = "12.3456789";
    form.OnChangeBottomRightLat();
    form.m_bottomRightLon = "-0.00001";
    form.OnChangeBottomRightLon();
    const auto& map = doc.GetMap(0);
    EXPECT_EQ(map.topLeftLat, 175860000);
    EXPECT_EQ(map.topLeftLon, -441000000);
    EXPECT_EQ(map.bottomRightLat, 44444444);
    EXPECT_EQ(map.bottomRightLon, -36);

    // Hemisphere letters are not read here; the five decimals shown are the precision.
    form.m_topLeftLat = "N 10";
    form.OnChangeTopLeftLat();
    form.m_bottomRightLon = "37.61861";
    form.OnChangeBottomRightLon();
    EXPECT_EQ(map.topLeftLat, 0);
    EXPECT_EQ(map.bottomRightLon, 135426996);
    // Only its own corner is written.
    EXPECT_EQ(map.topLeftLon, -441000000);
    EXPECT_EQ(map.bottomRightLat, 44444444);
}

TEST_F(MapListFormTest, CornerBeyondTheStoredRangeIsClamped) {
    Add(Map("Far", 10));
    form.RefreshMapList();
    form.m_topLeftLat = "9999999";
    form.OnChangeTopLeftLat();
    form.m_topLeftLon = "-1e300";
    form.OnChangeTopLeftLon();
    EXPECT_EQ(doc.GetMap(0).topLeftLat, 2147483647);
    EXPECT_EQ(doc.GetMap(0).topLeftLon, -2147483647 - 1);
}

TEST_F(MapListFormTest, ShowsMemoryAndDepthTexts) {
    auto big = Map("Big", 500);
    big.width = 600;
    big.rowBytes = 76;
    big.data.assign(38000, 0);
    Add(std::move(big));
    form.RefreshMapList();
    EXPECT_EQ(FormatFloat(form.m_memory), "37.1523");
    EXPECT_EQ(form.m_colorDepth, "1 bit");

    auto full = Map("Full", 1);
    full.rowBytes = 65492;
    full.pixelSize = 8;
    full.data.assign(65492, 0);
    doc.GetMap(0) = std::move(full);
    form.RefreshMapList();
    EXPECT_EQ(FormatFloat(form.m_memory), "64");
    EXPECT_EQ(form.m_colorDepth, "8 bits");

    for (int depth : {2, 4}) {
        doc.GetMap(0).pixelSize = static_cast<std::uint8_t>(depth);
        form.RefreshMapList();
        EXPECT_EQ(form.m_colorDepth, std::to_string(depth) + " bits");
    }
    for (int depth : {3, 16}) {
        doc.GetMap(0).pixelSize = static_cast<std::uint8_t>(depth);
        form.RefreshMapList();
        EXPECT_EQ(form.m_colorDepth, "Error");
    }
}

TEST_F(MapListFormTest, ShowsFlagsOfTheSelectedMap) {
    auto map = Map("Flags", 10);
    map.SetFlag(mapdb::kCompressed, true);
    Add(std::move(map));
    form.RefreshMapList();
    EXPECT_TRUE(form.m_compressed);
    EXPECT_FALSE(form.m_colorTable);
}

TEST_F(MapListFormTest, NameTypedOneCharacterAtATimeMovesItsItemAndKeepsItSelected) {
    Add(Map("Basel", 10));
    Add(Map("Geneva", 20));
    Add(Map("Zurich", 30));
    form.RefreshMapList();
    form.m_mapList.SetCurSel(2);
    form.OnSelchangeMapList();
    const std::size_t zurich = *form.SelectedMap();

    form.m_name.clear();
    form.OnChangeName();
    EXPECT_EQ(Listed(form), (std::vector<std::string>{"", "Basel", "Geneva"}));
    EXPECT_EQ(form.m_mapList.GetCurSel(), 0);
    for (char c : std::string("Aarau")) {
        form.m_name += c;
        form.OnChangeName();
        EXPECT_EQ(doc.GetMap(zurich).GetName(), form.m_name);
        EXPECT_EQ(*form.SelectedMap(), zurich);
        EXPECT_EQ(form.m_mapList.GetText(form.m_mapList.GetCurSel()), form.m_name);
    }
    EXPECT_EQ(Listed(form), (std::vector<std::string>{"Aarau", "Basel", "Geneva"}));
    form.m_name = "Lugano";
    form.OnChangeName();
    EXPECT_EQ(Listed(form), (std::vector<std::string>{"Basel", "Geneva", "Lugano"}));
    EXPECT_EQ(form.m_mapList.GetCurSel(), 2);
    EXPECT_TRUE(doc.IsModified());
}

TEST_F(MapListFormTest, RemovingSelectsTheFirstOfTheRest) {
    Add(Map("Zurich", 10));
    Add(Map("Basel", 20));
    Add(Map("Geneva", 30));
    form.RefreshMapList();
    form.m_mapList.SetCurSel(1);  // Geneva
    form.OnSelchangeMapList();
    form.OnRemove();
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(Listed(form), (std::vector<std::string>{"Basel", "Zurich"}));
    EXPECT_EQ(form.m_name, "Basel");
    EXPECT_EQ(doc.GetMapCount(), 2);

    form.OnRemove();
    form.OnRemove();
    EXPECT_TRUE(Listed(form).empty());
    EXPECT_EQ(doc.GetMapCount(), 0);
    EXPECT_EQ(form.m_name, "");
    EXPECT_EQ(form.m_topLeftLat, "0.0");
}

TEST_F(MapListFormTest, DocumentUpdatesRefillTheForm) {
    form.RefreshMapList();
    Add(Map("Bern", 10));
    doc.UpdateAllViews(nullptr);
    EXPECT_EQ(Listed(form), (std::vector<std::string>{"Bern"}));
    EXPECT_EQ(form.m_name, "Bern");
}

TEST_F(MapListFormTest, SelectMapFindsTheItemByDocumentIndex) {
    Add(Map("Zurich", 10));
    Add(Map("Basel", 20));
    form.RefreshMapList();
    EXPECT_TRUE(form.SelectMap(0));
    EXPECT_EQ(form.m_name, "Zurich");
    EXPECT_FALSE(form.SelectMap(7));
}

// Stands in for a toolkit: records what the form asks of it, and on a read
// puts the user's text into the name member.
class RecordingControls : public FormControls {
public:
    explicit RecordingControls(MapListForm& form) : form(form) {}
    void UpdateData(bool save) override {
        calls.push_back(save ? "read" : "write");
        if (save) {
            form.m_name = typed;
        }
    }
    void ListChanged() override { calls.push_back("list"); }

    MapListForm& form;
    std::string typed;
    std::vector<std::string> calls;
};

TEST_F(MapListFormTest, HandlersReadTheControlsAndRefillsWriteThem) {
    Add(Map("Basel", 10));
    RecordingControls controls(form);
    form.SetControls(&controls);
    form.RefreshMapList();
    EXPECT_EQ(controls.calls, (std::vector<std::string>{"write", "list", "write"}));

    controls.calls.clear();
    controls.typed = "Bern";
    form.OnChangeName();
    EXPECT_EQ(controls.calls, (std::vector<std::string>{"read", "list"}));
    EXPECT_EQ(doc.GetMap(0).GetName(), "Bern");
    form.SetControls(nullptr);
}

TEST(SortedListBoxTest, KeepsSelectionOnItsItemAcrossInsertsAndDeletes) {
    SortedListBox list;
    list.AddString("m");
    list.SetCurSel(0);
    EXPECT_EQ(list.AddString("a"), 0);
    EXPECT_EQ(list.GetCurSel(), 1);
    EXPECT_EQ(list.AddString("M"), 2);  // after the equal item
    list.DeleteString(0);
    EXPECT_EQ(list.GetCurSel(), 0);
    list.DeleteString(0);
    EXPECT_EQ(list.GetCurSel(), -1);
    list.SetCurSel(5);
    EXPECT_EQ(list.GetCurSel(), -1);
}

// Filling the list at once gives the order of adding the texts one by one,
// names that differ only in case and repeated names included.
TEST(SortedListBoxTest, SetItemsOrdersAsAddingOneByOne) {
    const std::vector<std::string> texts{"Paris2-0", "paris1-0", "Lyon", "PARIS1-0", "lyon", "Zz", "a", "Lyon",
                                         "paris10-0", "", "Paris2-0", "b"};
    SortedListBox added;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        added.SetItemData(added.AddString(texts[i]), i);
    }
    SortedListBox filled;
    filled.AddString("old");
    filled.SetCurSel(0);
    std::vector<SortedListBox::Item> items;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        items.push_back({texts[i], i});
    }
    filled.SetItems(std::move(items));
    ASSERT_EQ(filled.GetCount(), added.GetCount());
    for (int position = 0; position < added.GetCount(); ++position) {
        EXPECT_EQ(filled.GetText(position), added.GetText(position)) << position;
        EXPECT_EQ(filled.GetItemData(position), added.GetItemData(position)) << position;
    }
    EXPECT_EQ(filled.GetCurSel(), -1);
}

}  // namespace
