#include "shell/form_main.h"

#include "platform/message_box.h"
#include "platform/text_colour.h"
#include "playlists/track_view.h"
#include "shell/layout.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/marker_placement.h"
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
const ToolDef kTools[13] = {{"play", "再生"},
                            {"pause", "一時停止"},
                            {"stop", "停止"},
                            {"before", "前曲"},
                            {"next", "次曲"},
                            {"", ""},
                            {"panel", "液晶"},
                            {"explorer", "エクスプローラ"},
                            {"stels", "ステルス動作"},
                            {"", ""},
                            {"newlist", "リストの新規作成"},
                            {"savelist", "リストの保存"},
                            {"ListOfList", "リストの一覧"}};

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

FormMain::FormMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Kavetto"));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    marks_ = std::make_unique<MarkerPlacement>(layout_, [this] { ApplyLayout(); });
    lists_ = std::make_unique<MainLists>(controls_, state_, layout_, *this);
    BuildMenus();
    BuildControls();
    BuildToolBar();
    ConnectRoles();
    ConnectCommands();
    MakeAccessible();
    platform::SetMessageParent(this);
}

FormMain::~FormMain() {
    platform::SetMessageParent(nullptr);
}

// Each part gets the others it works with, and nothing of the window beyond its controls.
void FormMain::ConnectRoles() {
    lists_->Attach();
    tree_ = std::make_unique<MainTree>(controls_, *lists_);
    player_ = std::make_unique<MainPlayer>(controls_, state_, *this, *lists_, *marks_);
    display_ = std::make_unique<MainDisplay>(controls_, state_, *this);
    tools_ = std::make_unique<MainTools>(controls_, state_, *this, *player_, *lists_, *tree_,
                                         [this] { ShutdownMainWindow(false); });
    lists_->Connect(*player_, *tree_, *display_);
    player_->Connect(*display_, [this] { tools_->LoadLyrics(); });
    DisplayLayoutHooks layout;
    layout.normalWindowBox = [this] {
        const WindowGeometryValues g = NormalGeometryTwips();
        return display::TwipBox{g.top, g.left, g.height, g.width};
    };
    layout.relayout = [this] {
        LayoutMainWindow();
        if (!state_.StealthActive && state_.ExplorerShown)
            ArrangePanes(layout_.separator1.left, layout_.separator2.left);
    };
    layout.panelBackHeight = [this] { return layout_.pPanelBack.height; };
    layout.setPanelBackHeight = [this](int height) { SetPanelBackHeight(height); };
    display_->Connect(*player_, *lists_, *tools_, std::move(layout));
}

QAction* FormMain::AddItem(QMenu* menu, const QString& name, const QString& caption,
                           const QKeySequence& shortcut) {
    QAction* action;
    if (caption == u"-") {
        action = menu->addSeparator();
    } else {
        action = menu->addAction(caption);
        if (!shortcut.isEmpty()) action->setShortcut(shortcut);
    }
    action->setObjectName(name);
    controls_.items.insert(name, action);
    return action;
}

QMenu* FormMain::AddMenu(QMenu* parent, const QString& name, const QString& caption) {
    QMenu* menu = parent ? parent->addMenu(caption) : menuBar()->addMenu(caption);
    menu->setObjectName(name);
    menu->menuAction()->setObjectName(name);
    controls_.menus.insert(name, menu);
    controls_.items.insert(name, menu->menuAction());
    return menu;
}

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
    auto* playModeGroup = new QActionGroup(this);
    playModeGroup->setExclusionPolicy(QActionGroup::ExclusionPolicy::Exclusive);
    for (auto [name, caption] :
         {std::pair{"IDMGeneralPlay", "単曲再生"}, std::pair{"IDMContinuePlay", "連続再生"},
          std::pair{"IDMRandomPlay", "ランダム再生"}}) {
        QAction* a = AddItem(play, name, caption);
        a->setCheckable(true);
        playModeGroup->addAction(a);
    }
    Item("IDMContinuePlay")->setChecked(true);

    QMenu* view = AddMenu(nullptr, "IDMView", "表示");
    AddItem(view, "IDMshutter", "液晶を表示", QKeySequence(Qt::CTRL | Qt::Key_P))->setCheckable(true);
    AddItem(view, "IDMShowExplorTree", "エクスプローラを表示", QKeySequence(Qt::CTRL | Qt::Key_E))
        ->setCheckable(true);
    AddItem(view, "IDMseparateView1", "-");
    AddItem(view, "IDMStels", "ステルス動作");
    AddItem(view, "IDMseparateView2", "-");
    AddItem(view, "IDMrefresh", "最新の情報に更新");

    QMenu* option = AddMenu(nullptr, "IDMoption", "オプション");
    QMenu* color = AddMenu(option, "IDMPanelColor", "液晶 （色）");
    const char* colors[9] = {"ランダム", "白", "灰", "緑", "青", "紫", "赤", "橙", "黄"};
    for (int i = 0; i < 9; ++i) {
        controls_.foreColor[i] = color->addAction(QString::fromUtf8(colors[i]));
        controls_.foreColor[i]->setObjectName(QStringLiteral("IDMForeColor(%1)").arg(i));
        controls_.foreColor[i]->setCheckable(true);
    }
    QMenu* type = AddMenu(option, "IDMPanelType", "液晶 （タイプ）");
    const char* types[5] = {"バー ＋ ウエーブ　（太）", "バー ＋ ウエーブ　（細）", "スコープ　（太）",
                            "スコープ　（細）", "ドット"};
    for (int i = 0; i < 5; ++i) {
        controls_.panelBar[i] = type->addAction(QString::fromUtf8(types[i]));
        controls_.panelBar[i]->setObjectName(QStringLiteral("IDMPanelBar(%1)").arg(i + 1));
        controls_.panelBar[i]->setCheckable(true);
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
    controls_.toolBar = new QToolBar(controls_.central);
    controls_.toolBar->setObjectName(QStringLiteral("ToolBar"));
    // 16-pixel images, as the toolbar's design has them: with larger buttons the list-of-lists box
    // beside the last one would not fit a window of the default 6500 twips.
    controls_.toolBar->setIconSize(QSize(16, 16));
    controls_.toolBar->setMovable(false);
    controls_.toolBar->setFloatable(false);
    for (int i = 0; i < 13; ++i) {
        const QString key = QString::fromLatin1(kTools[i].key);
        QAction* action;
        if (key.isEmpty()) {
            action = controls_.toolBar->addSeparator();
        } else if (i == 12) {
            // Room for the list of lists; the box itself is laid out over it.
            auto* spacer = new QWidget(controls_.toolBar);
            spacer->setFixedWidth(1);
            action = controls_.toolBar->addWidget(spacer);
        } else {
            action = controls_.toolBar->addAction(ToolbarIcon(key), QString::fromUtf8(kTools[i].tip));
            action->setToolTip(QString::fromUtf8(kTools[i].tip));
        }
        action->setObjectName(key.isEmpty() ? QStringLiteral("ToolBarSeparator%1").arg(i + 1) : key);
        controls_.toolActions[i] = action;
        controls_.toolImageKeys[i] = key;
    }
    controls_.toolActions[6]->setCheckable(true);
    controls_.toolActions[7]->setCheckable(true);
    auto* saveListMenu = new QMenu(this);
    QAction* saveAs = saveListMenu->addAction(QStringLiteral("別名で保存"));
    QAction* rename = saveListMenu->addAction(QStringLiteral("名前の変更"));
    saveListMenu->addSeparator();
    QAction* remove = saveListMenu->addAction(QStringLiteral("削除"));
    connect(saveAs, &QAction::triggered, Item("IDMsaveother"), &QAction::trigger);
    connect(rename, &QAction::triggered, Item("IDMRenameList"), &QAction::trigger);
    connect(remove, &QAction::triggered, Item("IDMDeletelist"), &QAction::trigger);
    controls_.toolActions[11]->setMenu(saveListMenu);
    if (auto* button =
            qobject_cast<QToolButton*>(controls_.toolBar->widgetForAction(controls_.toolActions[11])))
        button->setPopupMode(QToolButton::MenuButtonPopup);

    controls_.listOfList = new QComboBox(controls_.central);
    controls_.listOfList->setObjectName(QStringLiteral("ListOfList"));
    controls_.listOfList->setToolTip(QStringLiteral("リストの一覧"));
    controls_.listOfList->raise();
}

void FormMain::BuildControls() {
    controls_.central = new QWidget(this);
    controls_.central->setObjectName(QStringLiteral("FormMainClient"));
    setCentralWidget(controls_.central);
    const QColor back(40, 40, 40);

    controls_.volume = MakePicture(controls_.central, "Volume", back);
    controls_.pPanelBack = MakePicture(controls_.central, "PPanelBack", back);
    controls_.pPanel = MakePicture(controls_.pPanelBack, "PPanel", back);
    for (int i = 0; i < 8; ++i) {
        controls_.labelTitle[i] = new QLabel(controls_.pPanelBack);
        controls_.labelTitle[i]->setObjectName(QStringLiteral("LabelTitle(%1)").arg(i));
    }
    for (int i = 0; i < 4; ++i) {
        controls_.labelInfo[i] = new QLabel(QStringLiteral("-----"), controls_.pPanelBack);
        controls_.labelInfo[i]->setObjectName(QStringLiteral("LabelInfo(%1)").arg(i));
        platform::SetTextColour(controls_.labelInfo[i], QColor(190, 255, 190));
        controls_.labelInfo[i]->setGeometry(8, 4 + i * 16, 600, 16);
    }
    controls_.backGndLabel = new QLabel(controls_.pPanelBack);
    controls_.backGndLabel->setObjectName(QStringLiteral("BackGndLabel"));
    controls_.backGndLabel->setVisible(false);
    controls_.imageTimer = new QLabel(controls_.pPanelBack);
    controls_.imageTimer->setObjectName(QStringLiteral("ImageTimer"));
    controls_.imageTimer->setVisible(false);
    controls_.labelTimer = new QLabel(controls_.pPanelBack);
    controls_.labelTimer->setObjectName(QStringLiteral("LabelTimer"));
    platform::SetTextColour(controls_.labelTimer, QColor(190, 255, 190));
    controls_.labelTimer->setVisible(false);
    controls_.progBackPicture = MakePicture(controls_.central, "ProgBackPicture", back);
    controls_.labelCurTime = new QLabel(QStringLiteral("0：00/0：00"), controls_.progBackPicture);
    controls_.labelCurTime->setObjectName(QStringLiteral("LabelCurTime"));
    platform::SetTextColour(controls_.labelCurTime, QColor(190, 255, 190));
    controls_.progPicture = MakePicture(controls_.progBackPicture, "ProgPicture", back);
    controls_.startPos = new QLabel(QStringLiteral("▲START"), controls_.progPicture);
    controls_.startPos->setObjectName(QStringLiteral("StartPos"));
    controls_.endPos = new QLabel(QStringLiteral("▲END"), controls_.progPicture);
    controls_.endPos->setObjectName(QStringLiteral("EndPos"));
    for (QLabel* marker : {controls_.startPos, controls_.endPos})
        platform::SetTextColour(marker, QColor(190, 255, 190));

    // These never keep the keyboard focus: the playback keys of the lists must always work.
    for (QWidget* w :
         std::initializer_list<QWidget*>{this, controls_.central, controls_.volume, controls_.pPanelBack,
                                         controls_.pPanel, controls_.progBackPicture, controls_.progPicture})
        w->setFocusPolicy(Qt::NoFocus);
    controls_.expTree = new QTreeView(controls_.central);
    controls_.expTree->setObjectName(QStringLiteral("ExpTree"));
    controls_.expTree->setVisible(false);
    controls_.separator1 = MakePicture(controls_.central, "Separator1", palette().color(QPalette::Mid));
    controls_.separator2 = MakePicture(controls_.central, "Separator2", palette().color(QPalette::Mid));
    for (QWidget* sep : {controls_.separator1, controls_.separator2}) {
        sep->setCursor(Qt::SplitHCursor);
        sep->installEventFilter(this);
    }

    for (int i = 0; i < 3; ++i) {
        auto* view = new playlists::TrackView(lists_->Tracks(), i, controls_.central);
        view->setObjectName(QStringLiteral("ListView(%1)").arg(i));
        controls_.listViews[i] = view;
    }
    controls_.listViews[0]->setVisible(false);
    controls_.listViews[2]->setVisible(false);
    ApplyColumnSettings(ColumnSettings::Design(), ColumnSettings::Design());

    controls_.sList = new QPushButton(controls_.central);
    controls_.sList->setObjectName(QStringLiteral("SList"));
    controls_.sList->setVisible(false);
    for (int i = 0; i < 5; ++i) {
        controls_.toolBarBack[i] = new QPushButton(controls_.central);
        controls_.toolBarBack[i]->setObjectName(QStringLiteral("ToolBarBack(%1)").arg(i + 1));
        controls_.toolBarBack[i]->setVisible(false);
        controls_.toolBarBack[i]->setFocusPolicy(Qt::NoFocus);
    }
    controls_.prevButton = new QPushButton(controls_.central);
    controls_.prevButton->setObjectName(QStringLiteral("PrevButton"));
    controls_.prevButton->setVisible(false);
    controls_.hScroll1 = new QScrollBar(Qt::Horizontal, controls_.central);
    controls_.hScroll1->setObjectName(QStringLiteral("HScroll1"));
    controls_.hScroll1->setVisible(false);

    controls_.timer1 = new QTimer(this);
    controls_.timer1->setObjectName(QStringLiteral("Timer1"));
    controls_.timer1->setInterval(1000);
    controls_.timer2 = new QTimer(this);
    controls_.timer2->setObjectName(QStringLiteral("Timer2"));
    controls_.timer2->setInterval(230);
    controls_.timer3 = new QTimer(this);
    controls_.timer3->setObjectName(QStringLiteral("Timer3"));
    controls_.timer3->setInterval(35);
}

void FormMain::ApplyColumnSettings(const ColumnSettings& view0, const ColumnSettings& view1) {
    const ColumnSettings* settings[2] = {&view0, &view1};
    for (int v = 0; v < 3; ++v) {
        const ColumnSettings& s = *settings[v == 2 ? 1 : v];
        playlists::TrackView* view = controls_.listViews[v];
        for (int c = 0; c < kColumnCount; ++c)
            view->SetColumnWidthTwips(c, int(s.width[c]));
        // Positions are 1-based in the file; place columns in the order of their target.
        for (int target = 0; target < kColumnCount; ++target)
            for (int c = 0; c < kColumnCount; ++c)
                if (s.position[c] - 1 == target) view->SetColumnPosition(c, target);
    }
}

ColumnSettings FormMain::CollectColumnSettings(int view) const {
    ColumnSettings s;
    for (int c = 0; c < kColumnCount; ++c) {
        s.position[c] = controls_.listViews[view]->ColumnPosition(c) + 1;
        s.width[c] = controls_.listViews[view]->ColumnWidthTwips(c);
    }
    return s;
}

int FormMain::ScaleWidth() const {
    return PixelsToTwips(controls_.central->width());
}
int FormMain::ScaleHeight() const {
    return PixelsToTwips(controls_.central->height());
}

void FormMain::CheckPlayMode(QAction* chosen) {
    for (const char* name : {"IDMGeneralPlay", "IDMContinuePlay", "IDMRandomPlay"})
        Item(name)->setChecked(Item(name) == chosen);
}

} // namespace kv::shell
