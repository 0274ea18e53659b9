#include "playlists/list_box_hs.h"

#include <QFontMetrics>
#include <QListWidget>
#include <QScrollBar>

namespace kv::playlists {

ListBoxHS::ListBoxHS(QListWidget* listBox) : list_(listBox) {
    list_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
}

int ListBoxHS::TextWidth(const QString& item) const {
    // A little room beyond the text, as the measure of the text plus one character had.
    return QFontMetrics(list_->font()).horizontalAdvance(item + QLatin1Char(' '));
}

void ListBoxHS::AddItem(const QString& item, int index) {
    if (index < 0 || index > list_->count())
        list_->addItem(item);
    else
        list_->insertItem(index, item);
    widest_ = std::max(widest_, TextWidth(item));
    if (AlwaysRefresh) RefreshHSBar();
}

void ListBoxHS::RemoveItem(int index) {
    if (index < 0 || index >= list_->count()) return;
    const int width = TextWidth(list_->item(index)->text());
    delete list_->takeItem(index);
    if (width >= widest_) {
        widest_ = 0;
        for (int i = 0; i < list_->count(); ++i)
            widest_ = std::max(widest_, TextWidth(list_->item(i)->text()));
    }
    if (AlwaysRefresh) RefreshHSBar();
}

void ListBoxHS::Clear() {
    list_->clear();
    widest_ = 0;
    RefreshHSBar();
}

void ListBoxHS::RefreshHSBar() {
    const int boxWidth = list_->viewport()->width();
    extent_ = boxWidth >= widest_ ? 0 : widest_;
    list_->setHorizontalScrollBarPolicy(extent_ == 0 ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAlwaysOn);
}

} // namespace kv::playlists
