// The widget of one track view: a plain row list over a TrackListModel that hands the user's
// presses, keys, drags, drops and header clicks to TrackList and follows the model's requests
// (selection, focus, scrolling).
#pragma once
#include <QHeaderView>
#include <QTreeView>

namespace kv::playlists {

class TrackList;

class TrackView : public QTreeView {
    Q_OBJECT
  public:
    TrackView(TrackList& list, int viewIndex, QWidget* parent = nullptr);
    int ViewIndex() const { return view_; }

    // Column widths and positions as the settings file keeps them: twips, hidden columns 0 wide.
    int ColumnWidthTwips(int column) const;
    void SetColumnWidthTwips(int column, int twips);
    int ColumnPosition(int column) const { return header()->visualIndex(column); }
    void SetColumnPosition(int column, int position);

    // The row a press or drop at y refers to: hit-tested 100 twips from the left edge, so the
    // icon column answers even when the press was in a narrow or scrolled column.
    int RowAtY(int y) const;

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

  private:
    void ApplySelectionFlags();
    void ApplyCurrentRow(int row);

    TrackList& list_;
    int view_;
    bool applying_ = false;
};

} // namespace kv::playlists
