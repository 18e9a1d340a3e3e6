#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "ImportFlow.h"
#include "mapdb/PDBDoc.h"
#include "platform/Document.h"

namespace view {

// A list box that keeps its items sorted by text without regard to case, each
// item carrying one integer. Positions are 0-based; -1 stands for "none".
class SortedListBox {
public:
    struct Item {
        std::string text;
        std::size_t data = 0;
    };

    // Inserts at the item's sorted place (after items that compare equal) and
    // returns that position.
    int AddString(const std::string& text);
    void DeleteString(int position);
    void ResetContent();
    // Replaces the whole list by `newItems` in the order that adding their texts
    // one by one gives (equal texts keep their order), with nothing selected.
    // One sort instead of one insertion each: refilling with tens of thousands
    // of maps stays quick.
    void SetItems(std::vector<Item> newItems);
    int GetCount() const { return static_cast<int>(items.size()); }
    int GetCurSel() const { return curSel; }
    // Selects a position, or nothing for -1 or a position outside the list.
    void SetCurSel(int position);
    void SetItemData(int position, std::size_t data);
    std::size_t GetItemData(int position) const;
    const std::string& GetText(int position) const;
    const std::vector<Item>& Items() const { return items; }

private:
    std::vector<Item> items;
    int curSel = -1;
};

// What the form needs of the toolkit that shows it. The toolkit's widgets hold
// what the user sees; the form's members hold the values.
class FormControls {
public:
    virtual ~FormControls() = default;
    // false: writes the members to the controls, without running any change
    // handler; true: reads the editable controls into the members.
    virtual void UpdateData(bool saveAndValidate) = 0;
    // The list's items or its selection changed; the controls show them anew.
    virtual void ListChanged() = 0;
};

// The map list form: the maps of the document listed by name, the selected one
// shown, renamed and placed. The document is the only store: every edit goes
// straight into it and marks it modified. Without controls attached the members
// are the controls: callers set them and run the handlers, as a user's typing would.
class MapListForm : public MapListView, public platform::CView {
public:
    static constexpr int kNameLimit = 11;
    static constexpr int kCornerLimit = 10;

    explicit MapListForm(mapdb::CPDBDoc& doc);
    ~MapListForm() override;
    MapListForm(const MapListForm&) = delete;
    MapListForm& operator=(const MapListForm&) = delete;

    void SetControls(FormControls* controls) { this->controls = controls; }
    mapdb::CPDBDoc& GetDocument() { return doc; }

    // Empties and refills the list from the document (in scale order, listed by
    // name), selects the first item and shows its map.
    void RefreshMapList() override;
    // Any change of the document made elsewhere refills the form.
    void OnUpdate(platform::CView* sender) override;

    void OnSelchangeMapList();
    void OnRemove();
    void OnChangeName();
    void OnChangeTopLeftLat();
    void OnChangeTopLeftLon();
    void OnChangeBottomRightLat();
    void OnChangeBottomRightLon();

    // The document index of the selected map; none when nothing is selected.
    std::optional<std::size_t> SelectedMap() const;
    // Selects the item of the map at this document index and shows it; false when no item carries it.
    bool SelectMap(std::size_t mapIndex);

    SortedListBox m_mapList;
    int m_height = 0;
    long m_width = 0;
    std::string m_name;
    float m_memory = 0;
    std::string m_colorDepth;
    std::string m_topLeftLat;
    std::string m_bottomRightLon;
    std::string m_bottomRightLat;
    std::string m_topLeftLon;
    bool m_compressed = false;
    bool m_colorTable = false;

private:
    void UpdateData(bool saveAndValidate);
    void ListChanged();
    void ChangeCorner(mapdb::Corner corner, const std::string& text);

    mapdb::CPDBDoc& doc;
    FormControls* controls = nullptr;
};

}  // namespace view
