#include "shell/form_main.h"

#include "browser/ctree_view.h"
#include "browser/tree_image_list.h"
#include "display/display_modes.h"
#include "display/panel_colors.h"
#include "display/panel_view.h"
#include "display/progress_bar.h"
#include "platform/message_box.h"
#include "platform/program_folder.h"
#include "platform/text_colour.h"
#include "playback/positions.h"
#include "playlists/list_of_lists.h"
#include "shell/form_main_display.h"
#include "shell/form_main_hosts.h"
#include "shell/form_main_media.h"
#include "playback/player_backends.h"
#include "playback/sound_play.h"
#include "playlists/track_view.h"
#include "shell/layout.h"
#include "shell/program_icon.h"
#include "shell/single_instance.h"
#include "shell/toolbar_icons.h"

#include <QAction>
#include <QActionGroup>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollBar>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace kv::shell {
namespace {

struct ToolDef {
    const char* key;
    const char* tip;
};
// Toolbar buttons 1..13; an empty key is a separator.
const ToolDef kTools[13] = {
    {"play", "再生"},  {"pause", "一時停止"},   {"stop", "停止"},   {"before", "前曲"},
    {"next", "次曲"},  {"", ""},                {"panel", "液晶"}, {"explorer", "エクスプローラ"},
    {"stels", "ステルス動作"}, {"", ""},         {"newlist", "リストの新規作成"},
    {"savelist", "リストの保存"}, {"ListOfList", "リストの一覧"}};

QFrame* MakePicture(QWidget* parent, const char* name, QColor back) {
    auto* frame = new QFrame(parent);
    frame->setObjectName(QString::fromLatin1(name));
    frame->setAutoFillBackground(true);
    QPalette pal = frame->palette();
    pal.setColor(QPalette::Window, back);
    frame->setPalette(pal);
    return frame;
}


} // namespace

FormMain::FormMain(QWidget* parent) : QMainWindow(parent), tracks_(*this) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Kavetto"));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    BuildMenus();
    BuildControls();
    BuildToolBar();
    listsHost_ = std::make_unique<ListsHost>(*this);
    barsHost_ = std::make_unique<BarsHost>(*this);
    marksHost_ = std::make_unique<MarksHost>(*this);
    lists_ = std::make_unique<playlists::ListOfLists>(*listOfList_, tracks_, *listsHost_, platform::ProgramFolder());
    progBar_ = std::make_unique<display::CProgressBar>(*barsHost_, &listVol_);
    volumeBar_ = std::make_unique<display::CProgressBar>(*barsHost_, &listVol_);
    treeHost_ = std::make_unique<TreeHostAdapter>(*this);
    explorImageList_ = std::make_unique<browser::TreeImageList>();
    explorTree_ = std::make_unique<browser::CTreeView>(*treeHost_);
    ConnectCommands();
    ConnectToolCommands();
    BuildDisplay();
    MakeAccessible();
    platform::SetMessageParent(this);
}

FormMain::~FormMain() { platform::SetMessageParent(nullptr); }

QAction* FormMain::AddItem(QMenu* menu, const QString& name, const QString& caption, const QKeySequence& shortcut) {
    QAction* action;
    if (caption == u"-") {
        action = menu->addSeparator();
    } else {
        action = menu->addAction(caption);
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    }
    action->setObjectName(name);
    items_.insert(name, action);
    return action;
}

QMenu* FormMain::AddMenu(QMenu* parent, const QString& name, const QString& caption) {
    QMenu* menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    menus_.insert(name, menu);
    items_.insert(name, menu->menuAction());
    return menu;
}

QAction* FormMain::Item(const QString& name) const { return items_.value(name); }
QMenu* FormMain::Menu(const QString& name) const { return menus_.value(name); }

void FormMain::BuildMenus() {
    QMenu* file = AddMenu(nullptr, "IDMFile", "ファイル");
    AddItem(file, "IDMOpenFile", "ファイルを開く", QKeySequence(Qt::CTRL | Qt::Key_O));
    AddItem(file, "IDMOpenList", "リストを開く");
    AddItem(file, "IDMseparateFile1", "-");
    QMenu* list = AddMenu(file, "IDMlist", "リストの編集");
    AddItem(list, "IDMnewlist", "新規作成", QKeySequence(Qt::CTRL | Qt::Key_N));
    AddItem(list, "IDMsave", "保存", QKeySequence(Qt::CTRL | Qt::Key_S));
    AddItem(list, "IDMsaveother", "別名で保存");
    AddItem(list, "IDMseparateFile2", "-");
    AddItem(list, "IDMRenameList", "名前の変更");
    AddItem(list, "IDMseparateFile3", "-");
    AddItem(list, "IDMDeletelist", "削除");
    AddItem(file, "IDMseparateFile4", "-");
    AddItem(file, "IDMEnd", "終了");

    QMenu* play = AddMenu(nullptr, "IDMEnsou", "演奏");
    AddItem(play, "IDMnext", "次曲                  Alt + →");
    AddItem(play, "IDMbefore", "前曲                  Alt + ←");
    AddItem(play, "IDMplay", "再生／一時停止");
    AddItem(play, "IDMstop", "停止");
    AddItem(play, "IDMseparatePlay1", "-");
    AddItem(play, "IDMVolUp", "音量上げる          Alt +↑");
    AddItem(play, "IDMVolDown", "音量下げる　 　　　 Alt +↓");
    AddItem(play, "IDMseparatePlay2", "-");
    playModeGroup_ = new QActionGroup(this);
    playModeGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (auto [name, caption] : {std::pair{"IDMGeneralPlay", "単曲再生"}, std::pair{"IDMContinuePlay", "連続再生"},
                                 std::pair{"IDMRandomPlay", "ランダム再生"}}) {
        QAction* a = AddItem(play, name, caption);
        a->setCheckable(true);
        playModeGroup_->addAction(a);
    }
    Item("IDMContinuePlay")->setChecked(true);

    QMenu* view = AddMenu(nullptr, "IDMView", "表示");
    AddItem(view, "IDMshutter", "液晶を表示", QKeySequence(Qt::CTRL | Qt::Key_P))->setCheckable(true);
    AddItem(view, "IDMShowExplorTree", "エクスプローラを表示", QKeySequence(Qt::CTRL | Qt::Key_E))->setCheckable(true);
    AddItem(view, "IDMseparateView1", "-");
    AddItem(view, "IDMStels", "ステルス動作");
    AddItem(view, "IDMseparateView2", "-");
    AddItem(view, "IDMrefresh", "最新の情報に更新");

    QMenu* option = AddMenu(nullptr, "IDMoption", "オプション");
    QMenu* color = AddMenu(option, "IDMPanelColor", "液晶 （色）");
    const char* colors[9] = {"ランダム", "白", "灰", "緑", "青", "紫", "赤", "橙", "黄"};
    for (int i = 0; i < 9; ++i) {
        IDMForeColor[i] = color->addAction(QString::fromUtf8(colors[i]));
        IDMForeColor[i]->setObjectName(QStringLiteral("IDMForeColor(%1)").arg(i));
        IDMForeColor[i]->setCheckable(true);
    }
    QMenu* type = AddMenu(option, "IDMPanelType", "液晶 （タイプ）");
    const char* types[5] = {"バー ＋ ウエーブ　（太）", "バー ＋ ウエーブ　（細）", "スコープ　（太）",
                            "スコープ　（細）", "ドット"};
    for (int i = 0; i < 5; ++i) {
        IDMPanelBar[i] = type->addAction(QString::fromUtf8(types[i]));
        IDMPanelBar[i]->setObjectName(QStringLiteral("IDMPanelBar(%1)").arg(i + 1));
        IDMPanelBar[i]->setCheckable(true);
    }
    AddItem(option, "IDMseparateOption1", "-");
    AddItem(option, "IDMwords", "歌詞の表示")->setCheckable(true);
    AddItem(option, "IDMseparateOption2", "-");
    AddItem(option, "IDMTimer", "タイマー予約");
    AddItem(option, "IDMEncode", "ファイル変換")->setVisible(false);
    AddItem(option, "IDMEqualizer", "音質調整");

    QMenu* help = AddMenu(nullptr, "IDMhelp", "ヘルプ");
    AddItem(help, "IDMPlayerhelp", "ヘルプ");
    AddItem(help, "IDMseparateHelp1", "-");
    AddItem(help, "IDMversion", "バージョン情報");
    AddItem(help, "IDMGoToHomePage", "ホームページを見る");

    // Holds the three pop-up menus; never shown in the menu bar.
    QMenu* hidden = AddMenu(nullptr, "IDMkakusi", "隠しコマンド");
    QMenu* task = AddMenu(hidden, "IDMTaskIcon", "タスクアイコン");
    AddItem(task, "IDMnext2", "次曲                  Alt + →");
    AddItem(task, "IDMbefore2", "前曲                  Alt + ←");
    AddItem(task, "IDMPlay2", "再生／一時停止");
    AddItem(task, "IDMstop2", "停止");
    AddItem(task, "IDMseparateStels1", "-");
    AddItem(task, "IDMMinMax", "元のサイズに戻す");
    AddItem(task, "IDMseparateStels2", "-");
    AddItem(task, "IDMEnd2", "終了");
    QMenu* position = AddMenu(hidden, "IDMPlayPosition", "再生位置");
    AddItem(position, "IDMnext3", "次曲                  Alt + →");
    AddItem(position, "IDMbefore3", "前曲                  Alt + ←");
    AddItem(position, "IDMPlay3", "再生／一時停止");
    AddItem(position, "IDMstop3", "停止");
    AddItem(position, "IDMseparateStels3", "-");
    AddItem(position, "IDMPlayStartPos", "曲の開始位置に設定");
    AddItem(position, "IDMPlayEndPos", "曲の終了位置に設定");
    AddItem(position, "IDMDesartPos", "開始・終了位置の破棄");
    QMenu* lists = AddMenu(hidden, "IDMListAndExploror", "リスト・エクスプローラ");
    AddItem(lists, "IDMDeleteItem", "リストから削除      Del");
    AddItem(lists, "IDMGoToTrash", "ごみ箱へ送る       Del");
    AddItem(lists, "IDMseparaterList1", "-");
    AddItem(lists, "IDMEditFile", "ファイル編集");
    AddItem(lists, "IDMshufle", "シャッフル");
    AddItem(lists, "IDMWriteEmptyCell", "リストの修復");
    AddItem(lists, "IDMseparaterList2", "-");
    AddItem(lists, "IDMrefresh2", "最新の情報に更新");
    AddItem(lists, "IDMseparaterList3", "-");
    AddItem(lists, "IDMproperty", "プロパティ   Alt + Enter");
}

void FormMain::BuildToolBar() {
    toolBar_ = new QToolBar(central_);
    toolBar_->setObjectName(QStringLiteral("ToolBar"));
    // 16-pixel images, as the toolbar's design has them: with larger buttons the list-of-lists box
    // beside the last one would not fit a window of the default 6500 twips.
    toolBar_->setIconSize(QSize(16, 16));
    toolBar_->setMovable(false);
    toolBar_->setFloatable(false);
    for (int i = 0; i < 13; ++i) {
        const QString key = QString::fromLatin1(kTools[i].key);
        QAction* action;
        if (key.isEmpty()) {
            action = toolBar_->addSeparator();
        } else if (i == 12) {
            // Room for the list of lists; the box itself is laid out over it.
            auto* spacer = new QWidget(toolBar_);
            spacer->setFixedWidth(1);
            action = toolBar_->addWidget(spacer);
        } else {
            action = toolBar_->addAction(ToolbarIcon(key), QString::fromUtf8(kTools[i].tip));
            action->setToolTip(QString::fromUtf8(kTools[i].tip));
        }
        action->setObjectName(key.isEmpty() ? QStringLiteral("ToolBarSeparator%1").arg(i + 1) : key);
        toolActions_[i] = action;
        toolImageKeys_[i] = key;
    }
    toolActions_[6]->setCheckable(true);
    toolActions_[7]->setCheckable(true);
    saveListMenu_ = new QMenu(this);
    QAction* saveAs = saveListMenu_->addAction(QStringLiteral("別名で保存"));
    QAction* rename = saveListMenu_->addAction(QStringLiteral("名前の変更"));
    saveListMenu_->addSeparator();
    QAction* remove = saveListMenu_->addAction(QStringLiteral("削除"));
    connect(saveAs, &QAction::triggered, Item("IDMsaveother"), &QAction::trigger);
    connect(rename, &QAction::triggered, Item("IDMRenameList"), &QAction::trigger);
    connect(remove, &QAction::triggered, Item("IDMDeletelist"), &QAction::trigger);
    toolActions_[11]->setMenu(saveListMenu_);
    if (auto* button = qobject_cast<QToolButton*>(toolBar_->widgetForAction(toolActions_[11])))
        button->setPopupMode(QToolButton::MenuButtonPopup);

    listOfList_ = new QComboBox(central_);
    listOfList_->setObjectName(QStringLiteral("ListOfList"));
    listOfList_->setToolTip(QStringLiteral("リストの一覧"));
    listOfList_->raise();
}

QString FormMain::ToolButtonImageKey(int index) const { return toolImageKeys_.at(index - 1); }

void FormMain::SetToolButtonImageKey(int index, const QString& key) {
    toolImageKeys_.at(index - 1) = key;
    toolActions_.at(index - 1)->setIcon(ToolbarIcon(key));
}

void FormMain::BuildControls() {
    central_ = new QWidget(this);
    central_->setObjectName(QStringLiteral("FormMainClient"));
    setCentralWidget(central_);
    const QColor back(40, 40, 40);

    volume_ = MakePicture(central_, "Volume", back);
    pPanelBack_ = MakePicture(central_, "PPanelBack", back);
    pPanel_ = MakePicture(pPanelBack_, "PPanel", back);
    for (int i = 0; i < 8; ++i) {
        labelTitle_[i] = new QLabel(pPanelBack_);
        labelTitle_[i]->setObjectName(QStringLiteral("LabelTitle(%1)").arg(i));
    }
    for (int i = 0; i < 4; ++i) {
        labelInfo_[i] = new QLabel(QStringLiteral("-----"), pPanelBack_);
        labelInfo_[i]->setObjectName(QStringLiteral("LabelInfo(%1)").arg(i));
        platform::SetTextColour(labelInfo_[i], QColor(190, 255, 190));
        labelInfo_[i]->setGeometry(8, 4 + i * 16, 600, 16);
    }
    backGndLabel_ = new QLabel(pPanelBack_);
    backGndLabel_->setObjectName(QStringLiteral("BackGndLabel"));
    backGndLabel_->setVisible(false);
    imageTimer_ = new QLabel(pPanelBack_);
    imageTimer_->setObjectName(QStringLiteral("ImageTimer"));
    imageTimer_->setVisible(false);
    labelTimer_ = new QLabel(pPanelBack_);
    labelTimer_->setObjectName(QStringLiteral("LabelTimer"));
    platform::SetTextColour(labelTimer_, QColor(190, 255, 190));
    labelTimer_->setVisible(false);
    progBackPicture_ = MakePicture(central_, "ProgBackPicture", back);
    labelCurTime_ = new QLabel(QStringLiteral("0：00/0：00"), progBackPicture_);
    labelCurTime_->setObjectName(QStringLiteral("LabelCurTime"));
    platform::SetTextColour(labelCurTime_, QColor(190, 255, 190));
    progPicture_ = MakePicture(progBackPicture_, "ProgPicture", back);
    startPos_ = new QLabel(QStringLiteral("▲START"), progPicture_);
    startPos_->setObjectName(QStringLiteral("StartPos"));
    endPos_ = new QLabel(QStringLiteral("▲END"), progPicture_);
    endPos_->setObjectName(QStringLiteral("EndPos"));
    for (QLabel* marker : {startPos_, endPos_}) platform::SetTextColour(marker, QColor(190, 255, 190));

    // These never keep the keyboard focus: the playback keys of the lists must always work.
    for (QWidget* w : std::initializer_list<QWidget*>{this, central_, volume_, pPanelBack_, pPanel_, progBackPicture_, progPicture_})
        w->setFocusPolicy(Qt::NoFocus);
    expTree_ = new QTreeView(central_);
    expTree_->setObjectName(QStringLiteral("ExpTree"));
    expTree_->setVisible(false);
    separator1_ = MakePicture(central_, "Separator1", palette().color(QPalette::Mid));
    separator2_ = MakePicture(central_, "Separator2", palette().color(QPalette::Mid));
    for (QWidget* sep : {separator1_, separator2_}) {
        sep->setCursor(Qt::SplitHCursor);
        sep->installEventFilter(this);
    }

    for (int i = 0; i < 3; ++i) {
        auto* view = new playlists::TrackView(tracks_, i, central_);
        view->setObjectName(QStringLiteral("ListView(%1)").arg(i));
        listViews_[i] = view;
    }
    listViews_[0]->setVisible(false);
    listViews_[2]->setVisible(false);
    ApplyColumnSettings(ColumnSettings::Design(), ColumnSettings::Design());

    sList_ = new QPushButton(central_);
    sList_->setObjectName(QStringLiteral("SList"));
    sList_->setVisible(false);
    for (int i = 0; i < 5; ++i) {
        toolBarBack_[i] = new QPushButton(central_);
        toolBarBack_[i]->setObjectName(QStringLiteral("ToolBarBack(%1)").arg(i + 1));
        toolBarBack_[i]->setVisible(false);
        toolBarBack_[i]->setFocusPolicy(Qt::NoFocus);
    }
    prevButton_ = new QPushButton(central_);
    prevButton_->setObjectName(QStringLiteral("PrevButton"));
    prevButton_->setVisible(false);
    hScroll1_ = new QScrollBar(Qt::Horizontal, central_);
    hScroll1_->setObjectName(QStringLiteral("HScroll1"));
    hScroll1_->setVisible(false);

    timer1_ = new QTimer(this);
    timer1_->setObjectName(QStringLiteral("Timer1"));
    timer1_->setInterval(1000);
    timer2_ = new QTimer(this);
    timer2_->setObjectName(QStringLiteral("Timer2"));
    timer2_->setInterval(230);
    timer3_ = new QTimer(this);
    timer3_->setObjectName(QStringLiteral("Timer3"));
    timer3_->setInterval(35);
}

void FormMain::ApplyColumnSettings(const ColumnSettings& view0, const ColumnSettings& view1) {
    const ColumnSettings* settings[2] = {&view0, &view1};
    for (int v = 0; v < 3; ++v) {
        const ColumnSettings& s = *settings[v == 2 ? 1 : v];
        playlists::TrackView* view = listViews_[v];
        for (int c = 0; c < kColumnCount; ++c) view->SetColumnWidthTwips(c, int(s.width[c]));
        // Positions are 1-based in the file; place columns in the order of their target.
        for (int target = 0; target < kColumnCount; ++target)
            for (int c = 0; c < kColumnCount; ++c)
                if (s.position[c] - 1 == target) view->SetColumnPosition(c, target);
    }
}

ColumnSettings FormMain::CollectColumnSettings(int view) const {
    ColumnSettings s;
    for (int c = 0; c < kColumnCount; ++c) {
        s.position[c] = listViews_[view]->ColumnPosition(c) + 1;
        s.width[c] = listViews_[view]->ColumnWidthTwips(c);
    }
    return s;
}

int FormMain::ScaleWidth() const { return PixelsToTwips(central_->width()); }
int FormMain::ScaleHeight() const { return PixelsToTwips(central_->height()); }

void FormMain::CheckPlayMode(QAction* chosen) {
    for (const char* name : {"IDMGeneralPlay", "IDMContinuePlay", "IDMRandomPlay"})
        Item(name)->setChecked(Item(name) == chosen);
}

void FormMain::CheckForeColor(int index) {
    for (QAction* a : IDMForeColor) a->setChecked(false);
    if (index >= 0 && index < 9) IDMForeColor[index]->setChecked(true);
    ApplyPanelColor(index);
}

void FormMain::ApplyPanelColor(int index) {
    const int chosen = display::SetPanelColor(index);
    const QColor colour = QColor::fromRgb(display::DisplayColour(chosen));
    for (QLabel* label : labelInfo_) platform::SetTextColour(label, colour);
    for (QLabel* label : labelTitle_) platform::SetTextColour(label, colour);
    for (QLabel* label : {labelCurTime_, startPos_, endPos_, backGndLabel_}) platform::SetTextColour(label, colour);
    panelView_->SetBackColor(display::kPanelBackColor);
    panelView_->ShadesChanged();
    for (display::CProgressBar* bar : {progBar_.get(), volumeBar_.get()}) {
        bar->SetForeColor(display::DisplayColour(chosen));
        bar->RedrawPanel();
    }
}

void FormMain::SetBarType(int type) {
    for (QAction* a : IDMPanelBar) a->setChecked(false);
    if (type >= 1 && type <= 5) IDMPanelBar[type - 1]->setChecked(true);
    panelView_->SetBarType(type);
}

// PlayerHost: the device's reach into the window.
void FormMain::EnableToolbarButton(int index, bool enabled) {
    if (index >= 1 && index <= 13) toolActions_[index - 1]->setEnabled(enabled);
}
void FormMain::SetPositionBar(double seconds) { progBar_->SetValue(int(std::lround(seconds))); }
void FormMain::SetTimer1Enabled(bool on) { on ? timer1_->start() : timer1_->stop(); }
void FormMain::SetTimer3Enabled(bool on) { on ? timer3_->start() : timer3_->stop(); }
void FormMain::SetBusyCursor(bool busy) {
    if (busy) setCursor(Qt::BusyCursor);
    else unsetCursor();
}

} // namespace kv::shell
