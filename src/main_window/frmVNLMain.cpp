#include "main_window/frmVNLMain.h"

#include "conditions/ConditionListModel.h"
#include "main_window/Icons.h"
#include "main_window/MousePointer.h"
#include "main_window/QtPlatform.h"
#include "results/ResultListModel.h"
#include "source/SourceTableModel.h"

#include <QAction>
#include <QCloseEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QShortcut>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QTreeView>
#include <QWindow>

namespace {

// Client area of the window, in twips.
constexpr int kClientWidth = 13095;
constexpr int kClientHeight = 8310;
constexpr int kToolbarHeight = 600;

struct ToolbarButton {
    const char* key;     // empty: a separator
    const char* caption; // with its access key
    const char* tip;
};

const ToolbarButton kToolbar[] = {
    {"M_Open", "開く(&O)", "データファイルを開きます"},
    {"M_Save", "保存(&S)", "実行結果をファイルに保存します"},
    {"M_Print", "印刷(&P)", "実行結果を印刷します"},
    {"", "", ""},
    {"M_Start", "実行(&R)", "ピックアップを実行します"},
    {"M_Stop", "停止(&E)", "実行中の処理を停止します"},
    {"", "", ""},
    {"M_AllSelect", "全選択(&A)", "実行結果をすべて選択します"},
    {"M_Copy", "コピー(&C)", "選択した実行結果をコピーします"},
    {"M_Sort", "ソート(&K)", "実行結果を並べ替えます"},
    {"", "", ""},
    {"M_Help", "ヘルプ(&H)", "ヘルプを表示します"},
};

// The access keys, by index: the toolbar key each one stands for and its letter.
struct AccessKey {
    const char* key;
    Qt::Key letter;
};
const AccessKey kAccessKeys[9] = {
    {"M_Open", Qt::Key_O},  {"M_Save", Qt::Key_S}, {"M_Print", Qt::Key_P},
    {"M_Start", Qt::Key_R}, {"M_Stop", Qt::Key_E}, {"M_AllSelect", Qt::Key_A},
    {"M_Copy", Qt::Key_C},  {"M_Sort", Qt::Key_K}, {"M_Help", Qt::Key_H},
};

const char* const kPanelKeys[3] = {"S_FilePath", "S_Pickup", "S_Original"};

QRect twipsRect(int left, int top, int width, int height) {
    return QRect(frmVNLMain::twips(left), frmVNLMain::twips(top), frmVNLMain::twips(width),
                 frmVNLMain::twips(height));
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

frmVNLMain::frmVNLMain(Platform* platform, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint),
      dlg(platform ? *platform : *(m_ownPlatform = std::make_unique<QtPlatform>()), this),
      m_platform(platform ? platform : m_ownPlatform.get()) {
    setObjectName(QStringLiteral("frmVNLMain"));
    setWindowTitle(QStringLiteral("CSV形式用抜出ソフト「Vornel」"));
    setWindowIcon(Icons::windowIcon());
    QFont f = font();
    f.setPointSize(9);
    setFont(f);
    setFixedSize(twips(kClientWidth), twips(kClientHeight));
    setAcceptDrops(true);

    m_sourceModel = new SourceTableModel(&m_store, this);
    m_resultModel = new ResultListModel(&m_store, this);
    buildLayout();

    sourceConnect();
    conditionsConnect();
    resultsConnect();

    Form_Load();
}

frmVNLMain::~frmVNLMain() = default;

// ---------------------------------------------------------------- layout

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
    const char* names[4] = {"NOT AND", "NOT OR", "AND", "OR"};
    for (int i = 0; i < kConditionListCount; ++i) {
        m_lists[size_t(i)].id = ConditionList(i);
        m_lists[size_t(i)].suffix = QString::fromLatin1(suffixes[i]);
        m_lists[size_t(i)].messageName = QString::fromLatin1(names[i]);
        m_lists[size_t(i)].model = new ConditionListModel(this);
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

void frmVNLMain::buildToolbar() {
    tlbMain = new QToolBar(this);
    tlbMain->setObjectName(QStringLiteral("tlbMain"));
    tlbMain->setGeometry(0, 0, twips(kClientWidth), twips(kToolbarHeight));
    tlbMain->setMovable(false);
    tlbMain->setFloatable(false);
    tlbMain->setIconSize(QSize(16, 16));
    tlbMain->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    tlbMain->setContextMenuPolicy(Qt::PreventContextMenu);

    for (const ToolbarButton& b : kToolbar) {
        const QString key = QString::fromLatin1(b.key);
        if (key.isEmpty()) {
            tlbMain->addSeparator();
            continue;
        }
        auto* action = new QAction(Icons::toolbarIcon(key), QString::fromUtf8(b.caption), this);
        action->setObjectName(key);
        action->setToolTip(QString::fromUtf8(b.tip));
        // The button shows the caption without the access-key marker; the access keys are
        // separate (see buildAccessKeys), so the button grabs no mnemonic of its own.
        action->setIconText(QString::fromUtf8(b.caption).remove(u'&'));
        tlbMain->addAction(action);
        connect(action, &QAction::triggered, this, [this, key] { tlbMain_ButtonClick(key); });

        if (key == u"M_Sort" || key == u"M_Help") {
            auto* menu = new QMenu(this);
            const bool sort = key == u"M_Sort";
            const QStringList itemKeys =
                sort ? QStringList{QStringLiteral("M_SortAsc"), QStringLiteral("M_SortDesc")}
                     : QStringList{QStringLiteral("M_HelpHelp"), QStringLiteral("M_HelpAbout")};
            const QStringList captions =
                sort ? QStringList{QStringLiteral("昇順"), QStringLiteral("降順")}
                     : QStringList{QStringLiteral("ﾍﾙﾌﾟ"), QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報")};
            for (int i = 0; i < 2; ++i) {
                QAction* item = menu->addAction(captions[i]);
                item->setObjectName(itemKeys[i]);
                const QString itemKey = itemKeys[i];
                connect(item, &QAction::triggered, this,
                        [this, itemKey] { tlbMain_ButtonMenuClick(itemKey); });
            }
            action->setMenu(menu);
            if (auto* button = qobject_cast<QToolButton*>(tlbMain->widgetForAction(action)))
                button->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
}

void frmVNLMain::buildConditionFrame(QGroupBox* frame, ConditionList first, ConditionList second,
                                     QLabel*& plusLabel, const QString& plusName) {
    // Two lists side by side with a "＋" between them.
    const int inner = frame->width() - 12;
    const int plusWidth = 12;
    const int listWidth = (inner - plusWidth) / 2;
    const int top = 18;
    const int height = frame->height() - top - 6;
    buildConditionList(frame, conditionList(first), 6, top, listWidth, height, QString());
    plusLabel = new QLabel(QStringLiteral("＋"), frame);
    plusLabel->setObjectName(plusName);
    plusLabel->setAlignment(Qt::AlignCenter);
    plusLabel->setGeometry(6 + listWidth, top + height / 2 - 8, plusWidth, 16);
    buildConditionList(frame, conditionList(second), 6 + listWidth + plusWidth, top, listWidth,
                       height, QString());
}

void frmVNLMain::buildConditionList(QWidget* parent, ConditionListControls& list, int x, int y,
                                    int width, int height, const QString& heading) {
    const QString& s = list.suffix;
    list.heading = new QLabel(heading, parent);
    list.heading->setGeometry(x, y, width, 14);

    list.txtNo = new QLineEdit(parent);
    list.txtNo->setObjectName(QStringLiteral("txt") + s + QStringLiteral("No"));
    list.txtNo->setToolTip(QStringLiteral("対象となる列の番号を入力して下さい"));
    // At most 2 characters from the keyboard; the limit is kept by the conditions' input handling
    // so that text put there by the program is never cut.
    list.txtNo->setAttribute(Qt::WA_InputMethodEnabled, false);
    list.txtNo->setInputMethodHints(Qt::ImhDigitsOnly);
    list.txtNo->setGeometry(x, y + 16, 26, 20);

    list.txtGoku = new QLineEdit(parent);
    list.txtGoku->setObjectName(QStringLiteral("txt") + s + QStringLiteral("Goku"));
    list.txtGoku->setToolTip(QStringLiteral("リストに登録する語句を入力して下さい。"));
    list.txtGoku->setGeometry(x + 28, y + 16, width - 28, 20);

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
    const int buttonWidth = width / 5;
    for (int i = 0; i < 5; ++i) {
        auto* b = new QPushButton(QString::fromUtf8(buttons[i].caption), parent);
        b->setObjectName(QStringLiteral("cmd") + s + QString::fromLatin1(buttons[i].name));
        b->setAutoDefault(false);
        b->setGeometry(x + i * buttonWidth, y + 38, buttonWidth - 1, 21);
        *buttons[i].slot = b;
    }

    list.lvw = new QTreeView(parent);
    list.lvw->setObjectName(QStringLiteral("lvw") + s);
    setupListView(list.lvw);
    list.lvw->setSelectionMode(QAbstractItemView::SingleSelection);
    list.lvw->setModel(list.model);
    list.lvw->setGeometry(x, y + 61, width, height - 61);
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
    const int top = twips(kClientHeight) - 22;
    sbrStatus->setGeometry(0, top, twips(kClientWidth), 22);
    const int widths[3] = {11040, 1000, 1000};
    const char* initial[3] = {"", "0", "0"};
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(QString::fromLatin1(initial[i]), sbrStatus);
        panel->setObjectName(QString::fromLatin1(kPanelKeys[i]));
        panel->setFrameShape(QFrame::Panel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setFixedWidth(twips(widths[i]) - 4);
        panel->setTextFormat(Qt::PlainText);
        sbrStatus->addWidget(panel);
        m_panels[i] = panel;
    }
}

void frmVNLMain::buildAccessKeys() {
    // Alt + letter for the nine toolbar commands. They act only while the matching toolbar
    // button is enabled (cmdAccessKey_Click checks it).
    for (int i = 0; i < 9; ++i) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | kAccessKeys[i].letter), this);
        shortcut->setObjectName(QStringLiteral("cmdAccessKey%1").arg(i));
        shortcut->setContext(Qt::WindowShortcut);
        connect(shortcut, &QShortcut::activated, this, [this, i] { cmdAccessKey_Click(i); });
        cmdAccessKey[size_t(i)] = shortcut;
    }
}

// ---------------------------------------------------------------- start-up and shut-down

void frmVNLMain::Form_Load() {
    // 1-2. The settings file's path and the window position.
    setIniFilePath();
    myPositionLoad();

    // 3. The buttons that need an entry or a phrase first.
    for (ConditionList id :
         {ConditionList::InAND, ConditionList::InOR, ConditionList::OutAND, ConditionList::OutOR})
        conditionList(id).cmdTuika->setEnabled(false);
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        conditionList(id).cmdSakujo->setEnabled(false);
    for (ConditionList id :
         {ConditionList::OutAND, ConditionList::OutOR, ConditionList::InAND, ConditionList::InOR})
        conditionList(id).cmdSave->setEnabled(false);

    // 4. The condition lists' columns.
    for (ConditionList id :
         {ConditionList::InAND, ConditionList::InOR, ConditionList::OutAND, ConditionList::OutOR}) {
        QHeaderView* header = conditionList(id).lvw->header();
        header->resizeSection(0, twips(350));
        header->resizeSection(1, twips(6150));
    }

    // 5. The result list's column stays invisible until a pickup sizes it. The list itself is
    // hidden too: the list area shows one thing at a time, and a hidden list cannot be reached
    // with Tab behind the source list.
    lvwPickupData->header()->resizeSection(0, 0);
    lvwPickupData->hide();

    // 6. The source list's column, as wide as its header text.
    m_sourceModel->setHeaders({QStringLiteral("ファイルの内容")});
    lvwOriginalData->header()->resizeSection(0, lvwOriginalData->header()->sectionSizeHint(0));

    // 7. The progress bar, filling the inner area of its host.
    const QRect inner = picProgressbar->contentsRect();
    ProgressWindow = mProgress::ProgressCreate(mProgress::PBS_SMOOTH, 0, 0, inner.width(),
                                               inner.height(), picProgressbar);
    mProgress::ProgressSetBarColor(ProgressWindow, QColor(8, 36, 107));
    mProgress::ProgressSetBkColor(ProgressWindow, QColor(255, 255, 255));

    // 8. The idle state.
    myControlsDisable();
    myControlsEnable();
}

void frmVNLMain::closeEvent(QCloseEvent* event) {
    if (m_busy) {
        event->ignore(); // a running job keeps the window open
        return;
    }
    if (!m_unloaded) {
        m_unloaded = true;
        Form_Unload();
    }
    event->accept();
}

void frmVNLMain::Form_Unload() {
    TransferToZelvo(true);
    mProgress::ProgressDestroy(ProgressWindow);
    // A minimised window is restored first, so that its normal position is stored.
    if (isMinimized())
        showNormal();
    myPositionSave();
}

// ---------------------------------------------------------------- dispatch

void frmVNLMain::runCommand(const QString& key) {
    using Procedure = void (frmVNLMain::*)();
    struct Route {
        const char* key;
        Procedure procedure;
    };
    static const Route table[] = {
        {"M_Open", &frmVNLMain::myFileSelect},   {"M_Save", &frmVNLMain::myResultSave},
        {"M_Print", &frmVNLMain::myResultPrint}, {"M_Start", &frmVNLMain::myPickupStart},
        {"M_Stop", &frmVNLMain::myPickupStop},   {"M_AllSelect", &frmVNLMain::myAllSelect},
        {"M_Copy", &frmVNLMain::myCopy},         {"M_Sort", &frmVNLMain::mySortAsc},
        {"M_SortAsc", &frmVNLMain::mySortAsc},   {"M_SortDesc", &frmVNLMain::mySortDesc},
        {"M_Help", &frmVNLMain::myHelp},         {"M_HelpHelp", &frmVNLMain::myHelp},
        {"M_HelpAbout", &frmVNLMain::myAbout},
    };
    for (const Route& r : table) {
        if (key == QLatin1String(r.key)) {
            (this->*r.procedure)();
            return;
        }
    }
}

void frmVNLMain::tlbMain_ButtonClick(const QString& key) {
    runCommand(key);
}

void frmVNLMain::tlbMain_ButtonMenuClick(const QString& key) {
    runCommand(key);
}

void frmVNLMain::cmdAccessKey_Click(int index) {
    if (index < 0 || index >= 9)
        return;
    const QString key = QString::fromLatin1(kAccessKeys[index].key);
    QAction* button = toolbarButton(key);
    if (button && button->isEnabled())
        runCommand(key);
}

QAction* frmVNLMain::toolbarButton(const QString& key) const {
    for (QAction* a : tlbMain->actions())
        if (a->objectName() == key)
            return a;
    return nullptr;
}

QAction* frmVNLMain::toolbarMenuItem(const QString& key) const {
    for (QAction* a : tlbMain->actions())
        if (a->menu())
            for (QAction* item : a->menu()->actions())
                if (item->objectName() == key)
                    return item;
    return nullptr;
}

void frmVNLMain::outOfMemory(const QString& what) {
    MousePointer::set(MousePointer::Default);
    m_platform->messageBox(this,
                           QStringLiteral("メモリーが足りないため、%1できませんでした。").arg(what),
                           Platform::Critical, QStringLiteral("エラー"));
}

QString frmVNLMain::panelText(const QString& key) const {
    for (QLabel* p : m_panels)
        if (p->objectName() == key)
            return p->text();
    return {};
}

void frmVNLMain::setPanelText(const QString& key, const QString& text) {
    for (QLabel* p : m_panels)
        if (p->objectName() == key)
            p->setText(text);
}

bool frmVNLMain::eventFilter(QObject* watched, QEvent* event) {
    if (sourceEventFilter(watched, event) || conditionsEventFilter(watched, event) ||
        resultsEventFilter(watched, event))
        return true;
    return QWidget::eventFilter(watched, event);
}

bool frmVNLMain::focusNextPrevChild(bool next) {
    // Also reached when the widget with the focus is disabled: Qt then passes the focus on.
    if (conditionsFocusFallback())
        return true;
    return QWidget::focusNextPrevChild(next);
}

// ---------------------------------------------------------------- job state

void frmVNLMain::myControlsDisable() {
    m_busy = true;
    MousePointer::set(MousePointer::Hourglass);
    setCloseEnabled(false);
    toolbarButton(QStringLiteral("M_Open"))->setEnabled(false);
    toolbarButton(QStringLiteral("M_Save"))->setEnabled(false);
    toolbarButton(QStringLiteral("M_Print"))->setEnabled(false);
    toolbarButton(QStringLiteral("M_Start"))->setEnabled(false);
    toolbarButton(QStringLiteral("M_Stop"))->setEnabled(true);
    toolbarButton(QStringLiteral("M_AllSelect"))->setEnabled(false);
    toolbarButton(QStringLiteral("M_Copy"))->setEnabled(false);
    toolbarButton(QStringLiteral("M_Sort"))->setEnabled(false);
    fraWordSet->setEnabled(false);
    cmdSend->setEnabled(false);
}

void frmVNLMain::myControlsEnable() {
    fraWordSet->setEnabled(true);
    toolbarButton(QStringLiteral("M_Open"))->setEnabled(true);
    toolbarButton(QStringLiteral("M_Stop"))->setEnabled(false);
    myStartCheck();
    setCloseEnabled(true);
    MousePointer::set(MousePointer::Default);
    m_busy = false;
}

void frmVNLMain::myStartCheck() {
    qsizetype entries = 0;
    for (const ConditionListControls& list : m_lists)
        entries += list.model->count();
    const qint64 rows = m_store.rowCount();
    toolbarButton(QStringLiteral("M_Start"))->setEnabled(entries > 0 && rows != 0);
}

void frmVNLMain::setCloseEnabled(bool enabled) {
    // The title bar's close button follows; where the window system cannot grey it, closeEvent
    // still refuses while a job runs.
    if (QWindow* w = windowHandle())
        w->setFlag(Qt::WindowCloseButtonHint, enabled);
}
