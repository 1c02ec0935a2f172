// The toolbar's buttons, their drop-down menus and the access keys.
#include "main_window/CommandActions.h"

#include "main_window/Icons.h"

#include <QAction>
#include <QMenu>
#include <QShortcut>
#include <QToolBar>
#include <QToolButton>

#include <optional>

namespace {

struct ToolbarButton {
    std::optional<Command> command; // none: a separator
    const char* caption;            // with its access key
    const char* tip;
};

const ToolbarButton kToolbar[] = {
    {Command::Open, "開く(&O)", "データファイルを開きます"},
    {Command::Save, "保存(&S)", "実行結果をファイルに保存します"},
    {Command::Print, "印刷(&P)", "実行結果を印刷します"},
    {std::nullopt, "", ""},
    {Command::Start, "実行(&R)", "ピックアップを実行します"},
    {Command::Stop, "停止(&E)", "実行中の処理を停止します"},
    {std::nullopt, "", ""},
    {Command::AllSelect, "全選択(&A)", "実行結果をすべて選択します"},
    {Command::Copy, "コピー(&C)", "選択した実行結果をコピーします"},
    {Command::Sort, "ソート(&K)", "実行結果を並べ替えます"},
    {std::nullopt, "", ""},
    {Command::Help, "ヘルプ(&H)", "ヘルプを表示します"},
};

// The access keys' letters, in the order of kToolbarButtons.
const Qt::Key kAccessKeyLetters[kToolbarButtonCount] = {
    Qt::Key_O, Qt::Key_S, Qt::Key_P, Qt::Key_R, Qt::Key_E,
    Qt::Key_A, Qt::Key_C, Qt::Key_K, Qt::Key_H,
};

struct MenuItem {
    Command command;
    const char* caption;
};

} // namespace

CommandActions::CommandActions(QWidget* window, QToolBar* toolbar,
                               std::function<void(Command)> button,
                               std::function<void(Command)> menuItem)
    : m_window(window) {
    for (const ToolbarButton& b : kToolbar) {
        if (!b.command) {
            toolbar->addSeparator();
            continue;
        }
        const Command command = *b.command;
        auto* action =
            new QAction(Icons::toolbarIcon(command), QString::fromUtf8(b.caption), window);
        action->setObjectName(commandKey(command));
        action->setToolTip(QString::fromUtf8(b.tip));
        // The button shows the caption without the access-key marker; the access keys are
        // separate (see buildAccessKeys), so the button grabs no mnemonic of its own.
        action->setIconText(QString::fromUtf8(b.caption).remove(u'&'));
        toolbar->addAction(action);
        QObject::connect(action, &QAction::triggered, window,
                         [button, command] { button(command); });
        m_actions[size_t(command)] = action;

        if (command == Command::Sort || command == Command::Help) {
            auto* menu = new QMenu(window);
            const bool sort = command == Command::Sort;
            const MenuItem items[2] = {sort ? MenuItem{Command::SortAsc, "昇順"}
                                            : MenuItem{Command::HelpHelp, "ﾍﾙﾌﾟ"},
                                       sort ? MenuItem{Command::SortDesc, "降順"}
                                            : MenuItem{Command::HelpAbout, "ﾊﾞｰｼﾞｮﾝ情報"}};
            for (const MenuItem& i : items) {
                QAction* item = menu->addAction(QString::fromUtf8(i.caption));
                item->setObjectName(commandKey(i.command));
                const Command itemCommand = i.command;
                QObject::connect(item, &QAction::triggered, window,
                                 [menuItem, itemCommand] { menuItem(itemCommand); });
                m_actions[size_t(itemCommand)] = item;
            }
            action->setMenu(menu);
            if (auto* face = qobject_cast<QToolButton*>(toolbar->widgetForAction(action)))
                face->setPopupMode(QToolButton::MenuButtonPopup);
        }
    }
}

void CommandActions::buildAccessKeys(std::function<void(int)> accessKey) {
    // They act only while the matching toolbar button is enabled (the window's dispatch checks).
    for (int i = 0; i < kToolbarButtonCount; ++i) {
        auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | kAccessKeyLetters[i]), m_window);
        shortcut->setObjectName(QStringLiteral("cmdAccessKey%1").arg(i));
        shortcut->setContext(Qt::WindowShortcut);
        QObject::connect(shortcut, &QShortcut::activated, m_window,
                         [accessKey, i] { accessKey(i); });
        m_accessKeys[size_t(i)] = shortcut;
    }
}
