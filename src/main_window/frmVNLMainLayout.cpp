// The main window's layout: the controls built and placed where the window's design puts them
// (sizes in twips), moved along when the window grows, and the keyboard's access keys and routes.
#include "main_window/frmVNLMain.h"

#include "base/CountText.h"
#include "conditions/ConditionListModel.h"
#include "main_window/ClientArea.h"
#include "main_window/CommandActions.h"
#include "main_window/DropDownButton.h"
#include "main_window/KeyboardRoutes.h"
#include "results/ResultListModel.h"
#include "source/SourceTableModel.h"

#include <QAction>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>

namespace {

constexpr int kToolbarHeight = 600;

// The status bar's panels, left to right, and their widths in twips. The counts have room for
// "抽出 99,999,999 行"; the path panel takes what is left beside them and the source button, and
// the extra width of a wider window.
struct PanelLayout {
    Panel panel;
    int width;
};
const PanelLayout kPanels[kPanelCount] = {
    {Panel::FilePath, 8240}, {Panel::Pickup, 1650}, {Panel::Original, 1650}};
// The source button's width, between the path and the counts.
constexpr int kShowSourceWidth = 1500;

QString initialPanelText(Panel panel) {
    switch (panel) {
    case Panel::FilePath:
        return QString();
    case Panel::Pickup:
        return CountText::pickedRows(0);
    case Panel::Original:
        return CountText::sourceRows(0);
    }
    return QString();
}

void setupListView(QTreeView* view) {
    view->setRootIsDecorated(false);
    view->setUniformRowHeights(true);
    view->setAllColumnsShowFocus(true);
    view->setItemsExpandable(false);
    view->setEditTriggers(QAbstractItemView::NoEditTriggers);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->header()->setStretchLastSection(false);
    view->header()->setSectionsMovable(false);
    view->header()->setMinimumSectionSize(0);
}

} // namespace

void frmVNLMain::buildLayout() {
    buildToolbar();

    cmdSend = new QPushButton(QStringLiteral("「Zelvo」へ転送(&T)"), this);
    cmdSend->setObjectName(QStringLiteral("cmdSend"));
    cmdSend->setGeometry(twipsRect(11040, 120, 1695, 375));
    cmdSend->setAutoDefault(false);
    connect(cmdSend, &QPushButton::clicked, this, &frmVNLMain::cmdSend_Click);

    fraWordSet = new QFrame(this);
    fraWordSet->setObjectName(QStringLiteral("fraWordSet"));
    fraWordSet->setFrameShape(QFrame::NoFrame);
    fraWordSet->setGeometry(twipsRect(0, 600, 13095, 2775));

    Frame1 =
        new QGroupBox(QStringLiteral("以下の条件を満たす語句を含む行だけを読み込む"), fraWordSet);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(twipsRect(120, 120, 6375, 2535));
    Frame2 =
        new QGroupBox(QStringLiteral("以下の条件を満たす語句を含む行だけを取り除く"), fraWordSet);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(twipsRect(6600, 120, 6375, 2535));

    const char* suffixes[4] = {"OutAND", "OutOR", "InAND", "InOR"};
    for (int i = 0; i < kConditionListCount; ++i) {
        ConditionListControls& list = conditionList(ConditionList(i));
        list.suffix = QString::fromLatin1(suffixes[i]);
        list.model = new ConditionListModel(this);
    }
    buildConditionFrame(Frame1, ConditionList::InAND, ConditionList::InOR, Label5,
                        QStringLiteral("Label5"));
    buildConditionFrame(Frame2, ConditionList::OutAND, ConditionList::OutOR, Label6,
                        QStringLiteral("Label6"));
    conditionList(ConditionList::InAND).heading->setObjectName(QStringLiteral("Label2"));
    conditionList(ConditionList::InAND)
        .heading->setText(QStringLiteral("AND( ﾘｽﾄの語句を全て含む )"));
    conditionList(ConditionList::InOR).heading->setObjectName(QStringLiteral("Label1"));
    conditionList(ConditionList::InOR)
        .heading->setText(QStringLiteral("OR( ﾘｽﾄの語句を１つ以上含む )"));
    conditionList(ConditionList::OutAND).heading->setObjectName(QStringLiteral("Label4"));
    conditionList(ConditionList::OutAND)
        .heading->setText(QStringLiteral("NOT AND( ﾘｽﾄの語句を全て含む )"));
    conditionList(ConditionList::OutOR).heading->setObjectName(QStringLiteral("Label3"));
    conditionList(ConditionList::OutOR)
        .heading->setText(QStringLiteral("NOT OR( ﾘｽﾄの語句を１つ以上含む )"));

    buildLists();
    buildProgressPanel();
    buildStatusBar();
    buildAccessKeys();

    // Overlaps: the status bar lies in front of nothing it must hide here (the access keys are
    // shortcuts), the transfer button in front of the toolbar, the progress panel in front of
    // the lists.
    // Before the first load the source list, with its one column "ファイルの内容", is the one in
    // front.
    cmdSend->raise();
    lvwOriginalData->raise();
    fraProgressbar->raise();
}

void frmVNLMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    layoutControls();
}

void frmVNLMain::layoutControls() {
    if (!sbrStatus)
        return; // still being built
    const int extraWidth = std::max(0, width() - twips(ClientArea::kWidth));
    const int extraHeight = std::max(0, height() - twips(ClientArea::kHeight));
    const int extraTop = extraHeight / 3;         // to the condition lists
    const int extraList = extraHeight - extraTop; // to the list area
    tlbMain->setGeometry(0, 0, twips(ClientArea::kWidth) + extraWidth, twips(kToolbarHeight));
    cmdSend->setGeometry(twipsRect(11040, 120, 1695, 375).translated(extraWidth, 0));
    fraWordSet->setGeometry(twipsRect(0, 600, 13095, 2775).adjusted(0, 0, extraWidth, extraTop));
    Frame1->setGeometry(twipsRect(120, 120, 6375, 2535).adjusted(0, 0, extraWidth / 2, extraTop));
    Frame2->setGeometry(
        twipsRect(6600, 120, 6375, 2535).adjusted(extraWidth / 2, 0, extraWidth, extraTop));
    placeConditionFrame(Frame1, ConditionList::InAND, ConditionList::InOR, Label5);
    placeConditionFrame(Frame2, ConditionList::OutAND, ConditionList::OutOR, Label6);
    const QRect lists =
        twipsRect(120, 3480, 12855, 4455).adjusted(0, extraTop, extraWidth, extraHeight);
    lvwOriginalData->setGeometry(lists);
    lvwPickupData->setGeometry(lists);
    fraProgressbar->setGeometry(
        twipsRect(120, 3360, 12855, 4575).adjusted(0, extraTop, extraWidth, extraHeight));
    lblStatus->setGeometry(twipsRect(480, 1440, 11895, 495)
                               .translated(0, extraList / 2)
                               .adjusted(0, 0, extraWidth, 0));
    picProgressbar->setGeometry(twipsRect(360, 2160, 12135, 255)
                                    .translated(0, extraList / 2)
                                    .adjusted(0, 0, extraWidth, 0));
    if (ProgressWindow)
        ProgressWindow->setGeometry(picProgressbar->contentsRect());
    sbrStatus->setGeometry(0, height() - 22, width(), 22);
    statusPanel(Panel::FilePath)->setFixedWidth(twips(kPanels[0].width) - 4 + extraWidth);
}

void frmVNLMain::buildToolbar() {
    tlbMain = new QToolBar(this);
    tlbMain->setObjectName(QStringLiteral("tlbMain"));
    tlbMain->setGeometry(0, 0, twips(ClientArea::kWidth), twips(kToolbarHeight));
    tlbMain->setMovable(false);
    tlbMain->setFloatable(false);
    tlbMain->setIconSize(QSize(16, 16));
    tlbMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tlbMain->setContextMenuPolicy(Qt::PreventContextMenu);

    m_commands = std::make_unique<CommandActions>(
        this, tlbMain, [this](Command command) { tlbMain_ButtonClick(command); },
        [this](Command command) { tlbMain_ButtonMenuClick(command); });
}

void frmVNLMain::buildConditionFrame(QGroupBox* frame, ConditionList first, ConditionList second,
                                     QLabel*& plusLabel, const QString& plusName) {
    // Two lists side by side with a "＋" between them.
    buildConditionList(frame, conditionList(first), QString());
    plusLabel = new QLabel(QStringLiteral("＋"), frame);
    plusLabel->setObjectName(plusName);
    plusLabel->setAlignment(Qt::AlignCenter);
    buildConditionList(frame, conditionList(second), QString());
    placeConditionFrame(frame, first, second, plusLabel);
}

void frmVNLMain::placeConditionFrame(QGroupBox* frame, ConditionList first, ConditionList second,
                                     QLabel* plusLabel) {
    // The two lists share the frame's width; a taller frame gives its height to the lists.
    const int inner = frame->width() - 12;
    const int plusWidth = 12;
    const int listWidth = (inner - plusWidth) / 2;
    const int top = 18;
    const int height = frame->height() - top - 6;
    placeConditionList(conditionList(first), 6, top, listWidth, height);
    plusLabel->setGeometry(6 + listWidth, top + height / 2 - 8, plusWidth, 16);
    placeConditionList(conditionList(second), 6 + listWidth + plusWidth, top, listWidth, height);
}

void frmVNLMain::placeConditionList(ConditionListControls& list, int x, int y, int width,
                                    int height) {
    list.heading->setGeometry(x, y, width, 14);
    list.txtNo->setGeometry(x, y + 16, 26, 20);
    list.txtGoku->setGeometry(x + 28, y + 16, width - 28, 20);
    QPushButton* buttons[5] = {list.cmdTuika, list.cmdSakujo, list.cmdAllSakujo, list.cmdOpen,
                               list.cmdSave};
    const int buttonWidth = width / 5;
    for (int i = 0; i < 5; ++i)
        buttons[i]->setGeometry(x + i * buttonWidth, y + 38, buttonWidth - 1, 21);
    // The list below them; the column name's row, once shown, on top of it.
    const QRect place(x, y + 61, width, height - 61);
    if (list.lblColumnName && !list.lblColumnName->isHidden()) {
        constexpr int kRow = 15;
        list.lblColumnName->setGeometry(place.x(), place.y(), place.width(), kRow);
        list.lvw->setGeometry(place.adjusted(0, kRow + 1, 0, 0));
    } else {
        list.lvw->setGeometry(place);
    }
}

void frmVNLMain::buildConditionList(QWidget* parent, ConditionListControls& list,
                                    const QString& heading) {
    const QString& s = list.suffix;
    list.heading = new QLabel(heading, parent);

    list.txtNo = new QLineEdit(parent);
    list.txtNo->setObjectName(QStringLiteral("txt") + s + QStringLiteral("No"));
    list.txtNo->setToolTip(QStringLiteral("対象となる列の番号を入力して下さい"));
    // At most 2 characters from the keyboard; the limit is kept by the conditions' input handling
    // so that text put there by the program is never cut.
    list.txtNo->setAttribute(Qt::WA_InputMethodEnabled, false);
    list.txtNo->setInputMethodHints(Qt::ImhDigitsOnly);

    list.txtGoku = new QLineEdit(parent);
    list.txtGoku->setObjectName(QStringLiteral("txt") + s + QStringLiteral("Goku"));
    list.txtGoku->setToolTip(QStringLiteral("リストに登録する語句を入力して下さい。"));

    struct Button {
        QPushButton** slot;
        const char* name;
        const char* caption;
    };
    const Button buttons[5] = {{&list.cmdTuika, "Tuika", "追加"},
                               {&list.cmdSakujo, "Sakujo", "削除"},
                               {&list.cmdAllSakujo, "AllSakujo", "全削除"},
                               {&list.cmdOpen, "Open", "読込"},
                               {&list.cmdSave, "Save", "保存"}};
    for (int i = 0; i < 5; ++i) {
        // 読込 and 保存 carry the condition set's commands in their drop-down menus.
        const QString caption = QString::fromUtf8(buttons[i].caption);
        QPushButton* b =
            i >= 3 ? new DropDownButton(caption, parent) : new QPushButton(caption, parent);
        b->setObjectName(QStringLiteral("cmd") + s + QString::fromLatin1(buttons[i].name));
        b->setAutoDefault(false);
        *buttons[i].slot = b;
    }

    list.lvw = new QTreeView(parent);
    list.lvw->setObjectName(QStringLiteral("lvw") + s);
    setupListView(list.lvw);
    list.lvw->setSelectionMode(QAbstractItemView::SingleSelection);
    list.lvw->setModel(list.model);
}

void frmVNLMain::buildLists() {
    lvwOriginalData = new ListView(this);
    lvwOriginalData->setObjectName(QStringLiteral("lvwOriginalData"));
    lvwOriginalData->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwOriginalData->setModel(m_sourceModel);
    lvwOriginalData->setGeometry(twipsRect(120, 3480, 12855, 4455));

    lvwPickupData = new ListView(this);
    lvwPickupData->setObjectName(QStringLiteral("lvwPickupData"));
    lvwPickupData->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lvwPickupData->setModel(m_resultModel);
    lvwPickupData->setGeometry(twipsRect(120, 3480, 12855, 4455));

    mnuPopup = new QMenu(QStringLiteral("ポップアップメニュー"), this);
    mnuPopup->setObjectName(QStringLiteral("mnuPopup"));
    mnuPopupAllSelect = mnuPopup->addAction(QStringLiteral("全選択"));
    mnuPopupAllSelect->setObjectName(QStringLiteral("mnuPopupAllSelect"));
    mnuPopupCopy = mnuPopup->addAction(QStringLiteral("コピー"));
    mnuPopupCopy->setObjectName(QStringLiteral("mnuPopupCopy"));
    mnuPopupLine = mnuPopup->addSeparator();
    mnuPopupLine->setObjectName(QStringLiteral("mnuPopupLine"));
    mnuPopupSort = mnuPopup->addMenu(QStringLiteral("ソート"));
    mnuPopupSort->setObjectName(QStringLiteral("mnuPopupSort"));
    mnuPopupSortAsc = mnuPopupSort->addAction(QStringLiteral("昇順"));
    mnuPopupSortAsc->setObjectName(QStringLiteral("mnuPopupSortAsc"));
    mnuPopupSortDesc = mnuPopupSort->addAction(QStringLiteral("降順"));
    mnuPopupSortDesc->setObjectName(QStringLiteral("mnuPopupSortDesc"));
    connect(mnuPopupAllSelect, &QAction::triggered, this, &frmVNLMain::myAllSelect);
    connect(mnuPopupCopy, &QAction::triggered, this, &frmVNLMain::myCopy);
    connect(mnuPopupSortAsc, &QAction::triggered, this, &frmVNLMain::mySortAsc);
    connect(mnuPopupSortDesc, &QAction::triggered, this, &frmVNLMain::mySortDesc);
    mnuPopupJudgeLine = mnuPopup->addSeparator();
    mnuPopupJudgeLine->setObjectName(QStringLiteral("mnuPopupJudgeLine"));
    mnuPopupJudge = mnuPopup->addAction(QStringLiteral("この行の判定(&W)"));
    mnuPopupJudge->setObjectName(QStringLiteral("mnuPopupJudge"));
    connect(mnuPopupJudge, &QAction::triggered, this, &frmVNLMain::myRowJudge);
    // The source rows offer the judgement only; the result commands belong to the result list.
    lvwOriginalData->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(lvwOriginalData, &QWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        if (lvwOriginalData->indexAt(at).isValid())
            mnuPopup->popup(lvwOriginalData->viewport()->mapToGlobal(at));
    });
    connect(mnuPopup, &QMenu::aboutToShow, this, [this] {
        const bool results = !lvwPickupData->isHidden();
        for (QAction* a : {mnuPopupAllSelect, mnuPopupCopy, mnuPopupLine,
                           mnuPopupSort->menuAction(), mnuPopupJudgeLine})
            a->setVisible(results);
    });
}

void frmVNLMain::buildProgressPanel() {
    fraProgressbar = new QFrame(this);
    fraProgressbar->setObjectName(QStringLiteral("fraProgressbar"));
    fraProgressbar->setFrameShape(QFrame::StyledPanel);
    fraProgressbar->setAutoFillBackground(true);
    fraProgressbar->setGeometry(twipsRect(120, 3360, 12855, 4575));
    fraProgressbar->hide();

    lblStatus = new QLabel(QStringLiteral("中..."), fraProgressbar);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setGeometry(twipsRect(480, 1440, 11895, 495));

    picProgressbar = new QFrame(fraProgressbar);
    picProgressbar->setObjectName(QStringLiteral("picProgressbar"));
    picProgressbar->setFrameShape(QFrame::NoFrame);
    picProgressbar->setGeometry(twipsRect(360, 2160, 12135, 255));
}

void frmVNLMain::buildStatusBar() {
    sbrStatus = new QStatusBar(this);
    sbrStatus->setObjectName(QStringLiteral("sbrStatus"));
    sbrStatus->setSizeGripEnabled(false);
    const int top = twips(ClientArea::kHeight) - 22;
    sbrStatus->setGeometry(0, top, twips(ClientArea::kWidth), 22);
    for (const PanelLayout& p : kPanels) {
        auto* panel = new QLabel(initialPanelText(p.panel), sbrStatus);
        panel->setObjectName(panelKey(p.panel));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(twips(p.width) - 4);
        panel->setTextFormat(Qt::PlainText);
        sbrStatus->addWidget(panel);
        m_panels[size_t(p.panel)] = panel;
        if (p.panel == Panel::FilePath) {
            // After a pickup: the source rows again in the result's place, and back.
            cmdShowSource = new QToolButton(sbrStatus);
            cmdShowSource->setObjectName(QStringLiteral("cmdShowSource"));
            cmdShowSource->setText(QStringLiteral("元データ(&V)"));
            cmdShowSource->setToolTip(
                QStringLiteral("実行結果の代わりに読み込んだデータを表示します。もう一度押すと"
                               "実行結果に戻ります (Alt+V)"));
            cmdShowSource->setFocusPolicy(Qt::StrongFocus);
            cmdShowSource->setAutoRaise(true);
            cmdShowSource->setFixedSize(twips(kShowSourceWidth) - 4, 20);
            sbrStatus->addWidget(cmdShowSource);
        }
    }
}

void frmVNLMain::buildAccessKeys() {
    // Alt + letter for the nine toolbar commands. They act only while the matching toolbar
    // button is enabled (cmdAccessKey_Click checks it).
    m_commands->buildAccessKeys([this](int index) { cmdAccessKey_Click(index); });
}

void frmVNLMain::buildKeyboardRoutes() {
    new KeyboardRoutes(this); // Enter on buttons, the menu key and Shift+F10 everywhere
    // Every menu command has its letter; descending order has a key of its own, beside the Sort
    // button's Alt+K, shown in both menus. It acts only while Sort is enabled, as Alt+K does.
    // Alt+Shift+O opens the Open button's menu.
    mnuPopupAllSelect->setText(QStringLiteral("全選択(&A)"));
    mnuPopupCopy->setText(QStringLiteral("コピー(&C)"));
    mnuPopupSort->setTitle(QStringLiteral("ソート(&S)"));
    const QString ascending = QStringLiteral("昇順(&U)\tAlt+K");
    const QString descending = QStringLiteral("降順(&D)\tAlt+Shift+K");
    mnuPopupSortAsc->setText(ascending);
    mnuPopupSortDesc->setText(descending);
    toolbarMenuItem(Command::SortAsc)->setText(ascending);
    toolbarMenuItem(Command::SortDesc)->setText(descending);
    toolbarMenuItem(Command::HelpHelp)->setText(QStringLiteral("ﾍﾙﾌﾟ(&H)"));
    toolbarMenuItem(Command::HelpAbout)->setText(QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)"));
    auto* sortDescending = new QShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_K), this);
    sortDescending->setObjectName(QStringLiteral("cmdSortDescKey"));
    sortDescending->setContext(Qt::WindowShortcut);
    connect(sortDescending, &QShortcut::activated, this, [this] {
        if (toolbarButton(Command::Sort)->isEnabled())
            runCommand(Command::SortDesc);
    });
    // The Open button's menu (the header-line option, the recent files) under the button.
    auto* openMenu = new QShortcut(QKeySequence(Qt::ALT | Qt::SHIFT | Qt::Key_O), this);
    openMenu->setObjectName(QStringLiteral("cmdOpenMenuKey"));
    openMenu->setContext(Qt::WindowShortcut);
    connect(openMenu, &QShortcut::activated, this, [this] {
        QAction* open = toolbarButton(Command::Open);
        if (!open->isEnabled() || !open->menu())
            return;
        QWidget* face = tlbMain->widgetForAction(open);
        open->menu()->popup(face ? face->mapToGlobal(QPoint(0, face->height()))
                                 : mapToGlobal(QPoint(0, 0)));
    });
}
