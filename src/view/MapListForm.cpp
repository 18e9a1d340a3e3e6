#include "MapListForm.h"

#include <algorithm>

#include "MapDisplay.h"

namespace view {

namespace {

unsigned char Folded(char c) {
    auto u = static_cast<unsigned char>(c);
    return (u >= 'A' && u <= 'Z') ? static_cast<unsigned char>(u - 'A' + 'a') : u;
}

bool LessIgnoringCase(const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(),
                                        [](char x, char y) { return Folded(x) < Folded(y); });
}

}  // namespace

int SortedListBox::AddString(const std::string& text) {
    auto place = std::upper_bound(items.begin(), items.end(), text,
                                  [](const std::string& t, const Item& item) { return LessIgnoringCase(t, item.text); });
    auto position = static_cast<int>(place - items.begin());
    items.insert(place, Item{text, 0});
    if (curSel >= position) {
        ++curSel;
    }
    return position;
}

void SortedListBox::DeleteString(int position) {
    if (position < 0 || position >= GetCount()) {
        return;
    }
    items.erase(items.begin() + position);
    if (curSel == position) {
        curSel = -1;
    } else if (curSel > position) {
        --curSel;
    }
}

void SortedListBox::ResetContent() {
    items.clear();
    curSel = -1;
}

void SortedListBox::SetItems(std::vector<Item> newItems) {
    std::stable_sort(newItems.begin(), newItems.end(),
                     [](const Item& a, const Item& b) { return LessIgnoringCase(a.text, b.text); });
    items = std::move(newItems);
    curSel = -1;
}

void SortedListBox::SetCurSel(int position) {
    curSel = (position >= 0 && position < GetCount()) ? position : -1;
}

void SortedListBox::SetItemData(int position, std::size_t data) {
    items.at(static_cast<std::size_t>(position)).data = data;
}

std::size_t SortedListBox::GetItemData(int position) const {
    return items.at(static_cast<std::size_t>(position)).data;
}

const std::string& SortedListBox::GetText(int position) const {
    return items.at(static_cast<std::size_t>(position)).text;
}

MapListForm::MapListForm(mapdb::CPDBDoc& doc) : doc(doc) {
    doc.AddView(this);
}

MapListForm::~MapListForm() {
    doc.RemoveView(this);
}

void MapListForm::UpdateData(bool saveAndValidate) {
    if (controls != nullptr) {
        controls->UpdateData(saveAndValidate);
    }
}

void MapListForm::ListChanged() {
    if (controls != nullptr) {
        controls->ListChanged();
    }
}

void MapListForm::OnUpdate(platform::CView*) {
    RefreshMapList();
}

void MapListForm::RefreshMapList() {
    m_mapList.ResetContent();
    m_name.clear();
    m_topLeftLat = m_topLeftLon = m_bottomRightLat = m_bottomRightLon = "0.0";
    m_width = 0;
    m_height = 0;
    m_colorDepth.clear();
    m_memory = 0;
    m_compressed = m_colorTable = false;

    doc.SortByScale();
    std::vector<SortedListBox::Item> names(doc.GetMapCount());
    for (std::size_t i = 0; i < names.size(); ++i) {
        names[i] = {doc.GetMap(i).GetName(), i};
    }
    m_mapList.SetItems(std::move(names));
    UpdateData(false);
    m_mapList.SetCurSel(0);
    ListChanged();
    OnSelchangeMapList();
}

std::optional<std::size_t> MapListForm::SelectedMap() const {
    int selected = m_mapList.GetCurSel();
    if (selected < 0) {
        return std::nullopt;
    }
    std::size_t index = m_mapList.GetItemData(selected);
    // An item that no longer names a map of the document selects nothing.
    if (index >= doc.GetMapCount()) {
        return std::nullopt;
    }
    return index;
}

bool MapListForm::SelectMap(std::size_t mapIndex) {
    for (int position = 0; position < m_mapList.GetCount(); ++position) {
        if (m_mapList.GetItemData(position) == mapIndex) {
            m_mapList.SetCurSel(position);
            ListChanged();
            OnSelchangeMapList();
            return true;
        }
    }
    return false;
}

void MapListForm::OnSelchangeMapList() {
    auto index = SelectedMap();
    if (!index) {
        return;
    }
    const mapdb::MapRecord& map = doc.GetMap(*index);
    m_name = map.GetName();
    m_topLeftLat = FormatDegrees(map.topLeftLat);
    m_topLeftLon = FormatDegrees(map.topLeftLon);
    m_bottomRightLat = FormatDegrees(map.bottomRightLat);
    m_bottomRightLon = FormatDegrees(map.bottomRightLon);
    m_width = map.width;
    m_height = map.height;
    m_compressed = map.IsCompressed();
    m_colorTable = map.HasColorTable();
    m_colorDepth = DepthText(map.pixelSize);
    m_memory = MemoryKB(map);
    UpdateData(false);
}

void MapListForm::OnRemove() {
    auto index = SelectedMap();
    if (!index) {
        return;
    }
    doc.SetModifiedFlag(true);
    doc.RemoveMap(*index);
    RefreshMapList();
}

void MapListForm::OnChangeName() {
    auto index = SelectedMap();
    if (!index) {
        return;
    }
    doc.SetModifiedFlag(true);
    UpdateData(true);
    doc.RenameMap(*index, m_name);
    // The item shows the name as stored (at most 11 characters).
    m_mapList.DeleteString(m_mapList.GetCurSel());
    int position = m_mapList.AddString(doc.GetMap(*index).GetName());
    m_mapList.SetItemData(position, *index);
    m_mapList.SetCurSel(position);
    ListChanged();
}

void MapListForm::ChangeCorner(mapdb::Corner corner, const std::string& text) {
    doc.SetMapCorner(*SelectedMap(), corner, ParseDegrees(text));
}

void MapListForm::OnChangeTopLeftLat() {
    if (!SelectedMap()) {
        return;
    }
    doc.SetModifiedFlag(true);
    UpdateData(true);
    ChangeCorner(mapdb::Corner::TopLeftLat, m_topLeftLat);
}

void MapListForm::OnChangeTopLeftLon() {
    if (!SelectedMap()) {
        return;
    }
    doc.SetModifiedFlag(true);
    UpdateData(true);
    ChangeCorner(mapdb::Corner::TopLeftLon, m_topLeftLon);
}

void MapListForm::OnChangeBottomRightLat() {
    if (!SelectedMap()) {
        return;
    }
    doc.SetModifiedFlag(true);
    UpdateData(true);
    ChangeCorner(mapdb::Corner::BottomRightLat, m_bottomRightLat);
}

void MapListForm::OnChangeBottomRightLon() {
    if (!SelectedMap()) {
        return;
    }
    doc.SetModifiedFlag(true);
    UpdateData(true);
    ChangeCorner(mapdb::Corner::BottomRightLon, m_bottomRightLon);
}

}  // namespace view
