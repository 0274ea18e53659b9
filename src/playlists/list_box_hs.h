// ListBoxHS: a list box whose horizontal scroll bar shows exactly when its widest item is wider
// than the box (the repair log). UI thread only.
#pragma once
#include <QString>

class QListWidget;

namespace kv::playlists {

class ListBoxHS {
  public:
    explicit ListBoxHS(QListWidget* listBox);

    QListWidget* ListBox() const { return list_; }
    void AddItem(const QString& item, int index = -1);
    void RemoveItem(int index);
    void Clear();
    void RefreshHSBar();

    bool AlwaysRefresh = true;
    // The horizontal extent last set, in pixels; 0 while no item is wider than the box.
    int HorizontalExtent() const { return extent_; }
    int WidestWidth() const { return widest_; }

  private:
    int TextWidth(const QString& item) const;

    QListWidget* list_;
    int widest_ = 0;
    int extent_ = 0;
};

} // namespace kv::playlists
