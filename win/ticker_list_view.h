#pragma once
// ListView1: a report-view list view in virtual mode (LVS_OWNERDATA) over the core's TickerList.
// The control asks for each visible cell's text, so the rows exist once, in the TickerList. The
// selected flags live in the TickerList too: the control's selection is copied into them as it
// changes, and pushed back into the control when rows move (insert, removal, sort).
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tickers/ticker_list.h"
#include "win/win_text.h"

namespace tarnwick::win {

class TickerListView final : public TickerListObserver {
  public:
    TickerListView(HWND parent, int id, TickerList& list, const Twips& twips, HFONT font);
    ~TickerListView() override;
    TickerListView(const TickerListView&) = delete;
    TickerListView& operator=(const TickerListView&) = delete;

    HWND Handle() const { return list_; }
    // Key and mouse-button releases in the list.
    void SetOnRelease(std::function<void()> onKeyUp, std::function<void()> onMouseUp) {
        onKeyUp_ = std::move(onKeyUp);
        onMouseUp_ = std::move(onMouseUp);
    }
    void SetOnColumnClick(std::function<void(int)> onColumnClick) {
        onColumnClick_ = std::move(onColumnClick);
    }

    // The parent's WM_NOTIFY from the list; returns the message's result.
    LRESULT OnNotify(NMHDR* header);
    // Widens a column at start-up where its design width cannot show its caption beside the
    // sort arrow or, in the column dateColumn (1-based), one of dateSamples; design widths stay
    // wherever they are wide enough. Measured in the list's own font.
    void FitColumns(int dateColumn, const std::vector<std::wstring>& dateSamples);
    // Shows the sort column's arrow in the header (none before the first sort).
    void ShowSortArrow();

    // TickerListObserver
    void EntryInserted(int row) override;
    void EntryRemoved(int row) override;
    void EntryFieldChanged(int row, int column) override;
    void OrderChanged(const std::vector<int>& newRowOf) override;

  private:
    static LRESULT CALLBACK Proc(HWND window, UINT message, WPARAM wParam, LPARAM lParam,
                                 UINT_PTR id, DWORD_PTR self);
    void SyncCount(bool rowsMoved);
    void PushSelection();
    void PullSelection(int from, int to);

    HWND list_ = nullptr;
    TickerList& rows_;
    std::wstring cell_;  // the text handed out by the last LVN_GETDISPINFO
    bool pushing_ = false;
    std::function<void()> onKeyUp_;
    std::function<void()> onMouseUp_;
    std::function<void(int)> onColumnClick_;
};

}  // namespace tarnwick::win
