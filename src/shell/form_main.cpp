#include "shell/form_main.h"

#include "platform/message_box.h"
#include "shell/main_display.h"
#include "shell/main_lists.h"
#include "shell/main_player.h"
#include "shell/main_tools.h"
#include "shell/main_tree.h"
#include "shell/marker_placement.h"
#include "shell/program_icon.h"
#include "shell/single_instance.h"

#include <QAction>
#include <QActionGroup>
#include <QMenuBar>

namespace kv::shell {

FormMain::FormMain(QWidget* parent) : QMainWindow(parent) {
    setObjectName(QStringLiteral("FormMain"));
    setWindowTitle(QStringLiteral("Kavetto"));
    setWindowIcon(ProgramIcon());
    setAcceptDrops(true);
    marks_ = std::make_unique<MarkerPlacement>(layout_, [this] { ApplyLayout(); });
    lists_ = std::make_unique<MainLists>(controls_, state_, layout_, *this);
    BuildMenus();
    controls_.MakeControls(*this, lists_->Tracks());
    for (QWidget* separator : {controls_.separator1, controls_.separator2})
        separator->installEventFilter(this);
    lists_->ApplyColumnSettings(ColumnSettings::Design(), ColumnSettings::Design());
    controls_.MakeToolBar(*this);
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
    layout.setPanelBackHeight = [this](int height) {
        layout_.scaleHeight = ScaleHeight();
        ResizeDisplayRow(layout_, height);
        ApplyLayout();
    };
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
