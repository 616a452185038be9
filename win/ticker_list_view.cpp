#include "win/ticker_list_view.h"

#include <commctrl.h>

#include <algorithm>

namespace tarnwick::win {

namespace {

constexpr UINT_PTR kSubclassId = 2;

struct ColumnDesign {
    const wchar_t* caption;
    float widthTwips;
};
constexpr ColumnDesign kColumns[5] = {
    {L"Symbol", 750},     {L"Description", 1500}, {L"Category", 2000},
    {L"Start Date", 750}, {L"Bar Interval", 750},
};

}  // namespace

TickerListView::TickerListView(HWND parent, int id, TickerList& list, const Twips& twips,
                               HFONT font)
    : rows_(list) {
    list_ = CreateWindowExW(
        WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
        WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS,
        twips.Px(120), twips.Px(120), twips.Px(4455), twips.Px(2415), parent,
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT);
    for (int c = 0; c < 5; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<wchar_t*>(kColumns[c].caption);
        column.cx = twips.Px(kColumns[c].widthTwips);
        column.iSubItem = c;
        SendMessageW(list_, LVM_INSERTCOLUMNW, c, reinterpret_cast<LPARAM>(&column));
    }
    SetWindowSubclass(list_, &TickerListView::Proc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
    rows_.SetObserver(this);
    SyncCount(false);
}

TickerListView::~TickerListView() {
    rows_.SetObserver(nullptr);
    RemoveWindowSubclass(list_, &TickerListView::Proc, kSubclassId);
}

LRESULT CALLBACK TickerListView::Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                      UINT_PTR, DWORD_PTR selfPtr) {
    auto* self = reinterpret_cast<TickerListView*>(selfPtr);
    const LRESULT result = DefSubclassProc(window, message, wParam, lParam);
    switch (message) {
        case WM_KEYUP:
        case WM_SYSKEYUP:
            if (self->onKeyUp_) self->onKeyUp_();
            break;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            if (self->onMouseUp_) self->onMouseUp_();
            break;
        default:
            break;
    }
    return result;
}

LRESULT TickerListView::OnNotify(NMHDR* header) {
    switch (header->code) {
        case LVN_GETDISPINFOW: {
            auto* info = reinterpret_cast<NMLVDISPINFOW*>(header);
            if ((info->item.mask & LVIF_TEXT) == 0) return 0;
            const int row = info->item.iItem + 1;
            const int column = info->item.iSubItem + 1;
            cell_.clear();
            if (row >= 1 && row <= rows_.EntryCount() && column >= 1 && column <= 5)
                cell_ = Wide(rows_.EntryAt(row).Field(column));
            info->item.pszText = const_cast<wchar_t*>(cell_.c_str());
            return 0;
        }
        case LVN_ITEMCHANGED: {
            auto* change = reinterpret_cast<NMLISTVIEW*>(header);
            if (pushing_ || (change->uChanged & LVIF_STATE) == 0) return 0;
            if (change->iItem < 0) {
                PullSelection(0, rows_.EntryCount() - 1);
            } else {
                PullSelection(change->iItem, change->iItem);
            }
            return 0;
        }
        case LVN_ODSTATECHANGED: {
            auto* change = reinterpret_cast<NMLVODSTATECHANGE*>(header);
            if (!pushing_) PullSelection(change->iFrom, change->iTo);
            return 0;
        }
        case LVN_COLUMNCLICK: {
            auto* click = reinterpret_cast<NMLISTVIEW*>(header);
            if (onColumnClick_) onColumnClick_(click->iSubItem + 1);
            return 0;
        }
        case NM_CLICK:
        case NM_RCLICK:
            // The list takes the button release itself while it tracks a click; it tells of
            // the release with these.
            if (onMouseUp_) onMouseUp_();
            return 0;
        default:
            return 0;
    }
}

void TickerListView::PullSelection(int from, int to) {
    const int count = rows_.EntryCount();
    for (int i = std::max(from, 0); i <= to && i < count; ++i) {
        const bool selected = ListView_GetItemState(list_, i, LVIS_SELECTED) != 0;
        rows_.SetEntrySelected(i + 1, selected);
    }
}

void TickerListView::PushSelection() {
    pushing_ = true;
    ListView_SetItemState(list_, -1, 0, LVIS_SELECTED);
    for (int row = 1, n = rows_.EntryCount(); row <= n; ++row) {
        if (rows_.IsEntrySelected(row))
            ListView_SetItemState(list_, row - 1, LVIS_SELECTED, LVIS_SELECTED);
    }
    pushing_ = false;
}

void TickerListView::SyncCount(bool rowsMoved) {
    SendMessageW(list_, LVM_SETITEMCOUNT, rows_.EntryCount(), LVSICF_NOSCROLL);
    if (rowsMoved && ListView_GetSelectedCount(list_) > 0) PushSelection();
    InvalidateRect(list_, nullptr, FALSE);
}

void TickerListView::EntryInserted(int row) {
    SyncCount(row != rows_.EntryCount());
}

void TickerListView::EntryRemoved(int) {
    SyncCount(true);
}

void TickerListView::EntryFieldChanged(int, int) {
    InvalidateRect(list_, nullptr, FALSE);
}

void TickerListView::OrderChanged(const std::vector<int>&) {
    SyncCount(true);
}

void TickerListView::FitColumns(int dateColumn, const std::vector<std::wstring>& dateSamples) {
    auto textWidth = [this](const std::wstring& text) {
        return static_cast<int>(
            SendMessageW(list_, LVM_GETSTRINGWIDTHW, 0, reinterpret_cast<LPARAM>(text.c_str())));
    };
    // A header item keeps three edge widths free on either side of its caption; the sort arrow
    // takes about the caption's height beside it, with one more margin. A cell keeps six pixels
    // free on either side (the list view's label padding).
    const int edge = GetSystemMetrics(SM_CXEDGE);
    const int captionPadding = 6 * edge;
    const int arrowRoom = textWidth(L"M") + 3 * edge + 4;
    const int cellPadding = 12;
    for (int c = 0; c < 5; ++c) {
        int need = textWidth(kColumns[c].caption) + captionPadding + arrowRoom;
        if (c + 1 == dateColumn) {
            for (const std::wstring& date : dateSamples)
                need = std::max(need, textWidth(date) + cellPadding);
        }
        if (need > ListView_GetColumnWidth(list_, c)) ListView_SetColumnWidth(list_, c, need);
    }
}

void TickerListView::ShowSortArrow() {
    HWND header = ListView_GetHeader(list_);
    for (int c = 0; c < 5; ++c) {
        HDITEMW item{};
        item.mask = HDI_FORMAT;
        SendMessageW(header, HDM_GETITEMW, c, reinterpret_cast<LPARAM>(&item));
        item.fmt &= ~(HDF_SORTUP | HDF_SORTDOWN);
        if (rows_.IsSorted() && rows_.SortColumn() == c + 1)
            item.fmt |=
                rows_.CurrentSortOrder() == SortOrder::Ascending ? HDF_SORTUP : HDF_SORTDOWN;
        SendMessageW(header, HDM_SETITEMW, c, reinterpret_cast<LPARAM>(&item));
    }
}

}  // namespace tarnwick::win
