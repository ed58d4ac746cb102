#pragma once
// One QAction per command of the command table, made once and found by id:
// the menu bar, the tool bar, the canvas's context menu and the tests all
// use these.  Texts, shortcuts, status-bar help, check marks and enabling
// come from the table; update() applies the rules to the current document
// and view.
#include <QObject>
#include <map>

#include "commands/CommandTable.h"

class QAction;
class QMenu;
class QMenuBar;
class QToolBar;

namespace movigram {

class ActionRegistry : public QObject {
    Q_OBJECT
public:
    explicit ActionRegistry(QObject* parent);

    // Null for an id that is not in the table.
    QAction* action(CommandId id) const;
    // The context menu's own item for a command ("Paste insert").
    QAction* contextAction(CommandId id) const;
    QAction* actionOfMenu(Menu menu) const;

    void update(const Document& doc, const ViewState& view);

    // The menus of the menu bar in table order, with their submenus.
    void fillMenuBar(QMenuBar& bar);
    void fillToolBar(QToolBar& bar);
    QMenu* makeContextMenu(QWidget* parent);
    QMenu* fileMenu() const { return fileMenu_; }

signals:
    void triggered(movigram::CommandId id);

private:
    QAction* make(const CommandInfo& info);
    std::map<CommandId, QAction*> actions_;
    std::map<CommandId, QAction*> context_;
    std::map<Menu, QAction*> menus_;
    QMenu* fileMenu_ = nullptr;
};

// The id a QAction of the registry stands for (its data), or CommandId{0}.
CommandId commandOf(const QAction* action);

}  // namespace movigram
