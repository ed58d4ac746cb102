#include "ActionRegistry.h"

#include <QAction>
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <set>

#include "Icons.h"

namespace movigram {

namespace {

using C = CommandId;

const std::pair<Menu, const char*> menuTitles[] = {
    {Menu::File, "&File"},       {Menu::Edit, "&Edit"}, {Menu::Animation, "&Animation"},
    {Menu::Frames, "Fra&mes"},   {Menu::Options, "&Options"}, {Menu::View, "&View"},
    {Menu::Effects, "&Effects"}, {Menu::Help, "&Help"},
};

// Where the menus break into groups.
const std::set<CommandId> separatorAfter = {
    C::Revert,  C::HtmlCode,  C::InsertFrames, C::StorePalette, C::Exit,      C::Redo,          C::Delete,
    C::PrevFrame, C::FrameRate, C::Loop,       C::GlobalFixed,  C::EnableUndo, C::ShowAsBrowsers,
};

bool isRecentFile(CommandId id) { return id >= C::RecentFile1 && id <= C::RecentFile4; }

QString textBeforeTab(const std::string& text) {
    return QString::fromStdString(text.substr(0, text.find('\t')));
}

}  // namespace

CommandId commandOf(const QAction* action) {
    return action ? CommandId(action->data().toInt()) : CommandId{0};
}

ActionRegistry::ActionRegistry(QObject* parent) : QObject(parent) {
    std::map<std::string, QActionGroup*> radioGroups;
    for (const CommandInfo& info : commandTable()) {
        QAction* a = make(info);
        actions_[info.id] = a;
        if (info.radio) {
            QActionGroup*& group = radioGroups[info.submenu ? info.submenu : ""];
            if (!group) group = new QActionGroup(this);
            a->setActionGroup(group);
        }
    }
    for (CommandId id : contextMenuCommands()) {
        if (id == CommandId{0}) continue;
        auto* a = new QAction(QString::fromUtf8(contextMenuText(id)), this);
        a->setData(int(id));
        connect(a, &QAction::triggered, this, [this, id] { emit triggered(id); });
        context_[id] = a;
    }
}

QAction* ActionRegistry::make(const CommandInfo& info) {
    auto* a = new QAction(textBeforeTab(info.menuText), this);
    a->setData(int(info.id));
    a->setStatusTip(QString::fromUtf8(info.help));
    a->setCheckable(info.checkable);
    QList<QKeySequence> keys;
    auto addKey = [&keys](const std::string& text) {
        const QKeySequence key(QString::fromStdString(text));
        if (!text.empty() && !keys.contains(key)) keys.push_back(key);
    };
    addKey(shortcutOf(info));
    for (const std::string& extra : extraShortcuts(info.id)) addKey(extra);
    a->setShortcuts(keys);
    const QIcon icon = iconForCommand(info.id);
    if (!icon.isNull()) a->setIcon(icon);
    a->setIconVisibleInMenu(false);
    // A checkable item is toggled by Qt before it reports; the command does
    // the toggling itself, and update() puts the mark right again.
    connect(a, &QAction::triggered, this, [this, id = info.id] { emit triggered(id); });
    return a;
}

QAction* ActionRegistry::action(CommandId id) const {
    const auto it = actions_.find(id);
    return it == actions_.end() ? nullptr : it->second;
}

QAction* ActionRegistry::contextAction(CommandId id) const {
    const auto it = context_.find(id);
    return it == context_.end() ? nullptr : it->second;
}

QAction* ActionRegistry::actionOfMenu(Menu menu) const {
    const auto it = menus_.find(menu);
    return it == menus_.end() ? nullptr : it->second;
}

void ActionRegistry::update(const Document& doc, const ViewState& view) {
    for (const CommandInfo& info : commandTable()) {
        QAction* a = actions_[info.id];
        if (isRecentFile(info.id)) continue;  // the recent-file list owns their texts
        a->setText(textBeforeTab(menuTextOf(info, doc)));
        a->setEnabled(isEnabled(info.id, doc, view));
        if (info.checkable) a->setChecked(isChecked(info.id, doc, view));
    }
    for (auto& [id, a] : context_) a->setEnabled(isEnabled(id, doc, view));
}

void ActionRegistry::fillMenuBar(QMenuBar& bar) {
    for (const auto& [menu, title] : menuTitles) {
        QMenu* m = bar.addMenu(QString::fromUtf8(title));
        menus_[menu] = m->menuAction();
        if (menu == Menu::File) fileMenu_ = m;
        std::map<std::string, QMenu*> submenus;
        for (const CommandInfo& info : commandTable()) {
            if (info.menu != menu || isRecentFile(info.id)) continue;
            QMenu* target = m;
            if (info.submenu) {
                QMenu*& sub = submenus[info.submenu];
                if (!sub) {
                    sub = m->addMenu(QString::fromUtf8(info.submenu));
                    sub->menuAction()->setStatusTip(QString::fromUtf8(info.submenuHelp ? info.submenuHelp : ""));
                }
                target = sub;
            }
            target->addAction(actions_[info.id]);
            if (separatorAfter.count(info.id)) m->addSeparator();
        }
    }
}

void ActionRegistry::fillToolBar(QToolBar& bar) {
    for (CommandId id : toolBarCommands()) {
        if (id == CommandId{0}) bar.addSeparator();
        else bar.addAction(actions_[id]);
    }
}

QMenu* ActionRegistry::makeContextMenu(QWidget* parent) {
    auto* menu = new QMenu(parent);
    for (CommandId id : contextMenuCommands()) {
        if (id == CommandId{0}) menu->addSeparator();
        else menu->addAction(context_[id]);
    }
    return menu;
}

}  // namespace movigram
