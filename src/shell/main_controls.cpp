#include "shell/main_controls.h"

#include "platform/text_colour.h"
#include "playlists/track_view.h"
#include "shell/toolbar_icons.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>
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

void MainControls::MakeToolBar(QMainWindow& window) {
    toolBar = new QToolBar(central);
    toolBar->setObjectName(QStringLiteral("ToolBar"));
    // 16-pixel images, as the toolbar's design has them: with larger buttons the list-of-lists box
    // beside the last one would not fit a window of the default 6500 twips.
    toolBar->setIconSize(QSize(16, 16));
    toolBar->setMovable(false);
    toolBar->setFloatable(false);
    for (int i = 0; i < 13; ++i) {
        const QString key = QString::fromLatin1(kTools[i].key);
        QAction* action;
        if (key.isEmpty()) {
            action = toolBar->addSeparator();
        } else if (i == 12) {
            // Room for the list of lists; the box itself is laid out over it.
            auto* spacer = new QWidget(toolBar);
            spacer->setFixedWidth(1);
            action = toolBar->addWidget(spacer);
        } else {
            action = toolBar->addAction(ToolbarIcon(key), QString::fromUtf8(kTools[i].tip));
            action->setToolTip(QString::fromUtf8(kTools[i].tip));
        }
        action->setObjectName(key.isEmpty() ? QStringLiteral("ToolBarSeparator%1").arg(i + 1) : key);
        toolActions[i] = action;
        toolImageKeys[i] = key;
    }
    toolActions[6]->setCheckable(true);
    toolActions[7]->setCheckable(true);
    auto* saveListMenu = new QMenu(&window);
    QAction* saveAs = saveListMenu->addAction(QStringLiteral("別名で保存"));
    QAction* rename = saveListMenu->addAction(QStringLiteral("名前の変更"));
    saveListMenu->addSeparator();
    QAction* remove = saveListMenu->addAction(QStringLiteral("削除"));
    QObject::connect(saveAs, &QAction::triggered, Item(QStringLiteral("IDMsaveother")), &QAction::trigger);
    QObject::connect(rename, &QAction::triggered, Item(QStringLiteral("IDMRenameList")), &QAction::trigger);
    QObject::connect(remove, &QAction::triggered, Item(QStringLiteral("IDMDeletelist")), &QAction::trigger);
    toolActions[11]->setMenu(saveListMenu);
    if (auto* button = qobject_cast<QToolButton*>(toolBar->widgetForAction(toolActions[11])))
        button->setPopupMode(QToolButton::MenuButtonPopup);

    listOfList = new QComboBox(central);
    listOfList->setObjectName(QStringLiteral("ListOfList"));
    listOfList->setToolTip(QStringLiteral("リストの一覧"));
    listOfList->raise();
}

void MainControls::MakeControls(QMainWindow& window, playlists::TrackList& tracks) {
    central = new QWidget(&window);
    central->setObjectName(QStringLiteral("FormMainClient"));
    window.setCentralWidget(central);
    const QColor back(40, 40, 40);

    volume = MakePicture(central, "Volume", back);
    pPanelBack = MakePicture(central, "PPanelBack", back);
    pPanel = MakePicture(pPanelBack, "PPanel", back);
    for (int i = 0; i < 8; ++i) {
        labelTitle[i] = new QLabel(pPanelBack);
        labelTitle[i]->setObjectName(QStringLiteral("LabelTitle(%1)").arg(i));
    }
    for (int i = 0; i < 4; ++i) {
        labelInfo[i] = new QLabel(QStringLiteral("-----"), pPanelBack);
        labelInfo[i]->setObjectName(QStringLiteral("LabelInfo(%1)").arg(i));
        platform::SetTextColour(labelInfo[i], QColor(190, 255, 190));
        labelInfo[i]->setGeometry(8, 4 + i * 16, 600, 16);
    }
    backGndLabel = new QLabel(pPanelBack);
    backGndLabel->setObjectName(QStringLiteral("BackGndLabel"));
    backGndLabel->setVisible(false);
    imageTimer = new QLabel(pPanelBack);
    imageTimer->setObjectName(QStringLiteral("ImageTimer"));
    imageTimer->setVisible(false);
    labelTimer = new QLabel(pPanelBack);
    labelTimer->setObjectName(QStringLiteral("LabelTimer"));
    platform::SetTextColour(labelTimer, QColor(190, 255, 190));
    labelTimer->setVisible(false);
    progBackPicture = MakePicture(central, "ProgBackPicture", back);
    labelCurTime = new QLabel(QStringLiteral("0：00/0：00"), progBackPicture);
    labelCurTime->setObjectName(QStringLiteral("LabelCurTime"));
    platform::SetTextColour(labelCurTime, QColor(190, 255, 190));
    progPicture = MakePicture(progBackPicture, "ProgPicture", back);
    startPos = new QLabel(QStringLiteral("▲START"), progPicture);
    startPos->setObjectName(QStringLiteral("StartPos"));
    endPos = new QLabel(QStringLiteral("▲END"), progPicture);
    endPos->setObjectName(QStringLiteral("EndPos"));
    for (QLabel* marker : {startPos, endPos})
        platform::SetTextColour(marker, QColor(190, 255, 190));

    // These never keep the keyboard focus: the playback keys of the lists must always work.
    for (QWidget* w : std::initializer_list<QWidget*>{&window, central, volume, pPanelBack, pPanel,
                                                      progBackPicture, progPicture})
        w->setFocusPolicy(Qt::NoFocus);
    expTree = new QTreeView(central);
    expTree->setObjectName(QStringLiteral("ExpTree"));
    expTree->setVisible(false);
    separator1 = MakePicture(central, "Separator1", window.palette().color(QPalette::Mid));
    separator2 = MakePicture(central, "Separator2", window.palette().color(QPalette::Mid));
    for (QWidget* sep : {separator1, separator2}) {
        sep->setCursor(Qt::SplitHCursor);
    }

    for (int i = 0; i < 3; ++i) {
        auto* view = new playlists::TrackView(tracks, i, central);
        view->setObjectName(QStringLiteral("ListView(%1)").arg(i));
        listViews[i] = view;
    }
    listViews[0]->setVisible(false);
    listViews[2]->setVisible(false);

    sList = new QPushButton(central);
    sList->setObjectName(QStringLiteral("SList"));
    sList->setVisible(false);
    for (int i = 0; i < 5; ++i) {
        toolBarBack[i] = new QPushButton(central);
        toolBarBack[i]->setObjectName(QStringLiteral("ToolBarBack(%1)").arg(i + 1));
        toolBarBack[i]->setVisible(false);
        toolBarBack[i]->setFocusPolicy(Qt::NoFocus);
    }
    prevButton = new QPushButton(central);
    prevButton->setObjectName(QStringLiteral("PrevButton"));
    prevButton->setVisible(false);
    hScroll1 = new QScrollBar(Qt::Horizontal, central);
    hScroll1->setObjectName(QStringLiteral("HScroll1"));
    hScroll1->setVisible(false);

    timer1 = new QTimer(&window);
    timer1->setObjectName(QStringLiteral("Timer1"));
    timer1->setInterval(1000);
    timer2 = new QTimer(&window);
    timer2->setObjectName(QStringLiteral("Timer2"));
    timer2->setInterval(230);
    timer3 = new QTimer(&window);
    timer3->setObjectName(QStringLiteral("Timer3"));
    timer3->setInterval(35);
}

void MainControls::SetToolButtonImageKey(int index, const QString& key) {
    toolImageKeys.at(size_t(index - 1)) = key;
    toolActions.at(size_t(index - 1))->setIcon(ToolbarIcon(key));
}

void MainControls::EnableToolButton(int index, bool enabled) {
    if (index >= 1 && index <= 13) toolActions[size_t(index - 1)]->setEnabled(enabled);
}

void MainControls::ClickToolBarBack(int button) {
    if (button >= 1 && button <= 5) toolBarBack[size_t(button - 1)]->click();
}

bool MainControls::Checked(const char* item) const {
    const QAction* action = Item(QString::fromLatin1(item));
    return action && action->isChecked();
}

PlayModeChecks MainControls::PlayModes() const {
    return {Checked("IDMGeneralPlay"), Checked("IDMContinuePlay"), Checked("IDMRandomPlay")};
}

void MainControls::SetPlayModes(const PlayModeChecks& modes) {
    Item(QStringLiteral("IDMGeneralPlay"))->setChecked(modes.general);
    Item(QStringLiteral("IDMContinuePlay"))->setChecked(modes.continuous);
    Item(QStringLiteral("IDMRandomPlay"))->setChecked(modes.random);
}

int MainControls::CheckedForeColor() const {
    for (int i = 0; i < 9; ++i)
        if (foreColor[size_t(i)]->isChecked()) return i;
    return kNoForeColorItem;
}

int MainControls::CheckedBarType() const {
    int type = 2;
    for (int i = 0; i < 5; ++i)
        if (panelBar[size_t(i)]->isChecked()) type = i + 1;
    return type;
}

void MainControls::NameForReaders() {
    const std::pair<QWidget*, const char*> names[] = {
        {listViews[0], "フォルダ"},
        {listViews[1], "プレイリスト"},
        {listViews[2], "作業用リスト"}, // rows in passage while a list is reordered, shuffled or
                                        // dropped on
        {expTree, "エクスプローラ"},
        {listOfList, "リストの一覧"},
        {progPicture, "再生位置"},
        {volume, "音量"},
        {startPos, "開始位置"},
        {endPos, "終了位置"},
        {pPanelBack, "液晶"},
        {sList, "リスト"},
        {imageTimer, "タイマー"},
    };
    for (auto [widget, name] : names)
        widget->setAccessibleName(QString::fromUtf8(name));
    // On Linux Qt gives a box the name of its current item; what the box is goes in the description.
    listOfList->setAccessibleDescription(listOfList->accessibleName());

    // The bars are reached with Tab (a click still leaves the keyboard with the active list).
    for (QWidget* bar : {volume, progPicture})
        bar->setFocusPolicy(Qt::TabFocus);
    // Left to right, top to bottom, as the window shows them.
    QWidget* order[] = {listOfList, volume, progPicture, expTree, listViews[0], listViews[1], sList};
    for (size_t i = 1; i < std::size(order); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

} // namespace kv::shell
