// Native menus over QMenu and QAction. The tag and the caller's reference ride on each action's
// properties; a menu's owner is the toolkit record that wraps it.
#include "platform/menu_platform.h"

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPixmap>
#include <QPointer>
#include <QWidget>
#include <deque>

#include "platform/draw_context_qt.h"
#include "platform/input_platform.h"
#include "platform/window_platform.h"
#include "platform/window_platform_qt.h"

namespace plexa {
namespace {

PlatformMenuCallbacks gCallbacks;
std::deque<int32_t> gScriptedChoices;
// The menu bar that opened the menus now open (the same menus show in every window's bar); null
// while a popup menu is open, and again once an item of them was chosen.
QPointer<QMenuBar> gOpenedFrom;

constexpr const char* kTagProperty = "plexaTag";
constexpr const char* kReferenceProperty = "plexaReference";
constexpr const char* kKeyProperty = "plexaKey";
constexpr const char* kKeyModsProperty = "plexaKeyMods";
// The item's text. A separator shows none (the style would draw it as a label in the line), and
// shows it again once it stops being a separator.
constexpr const char* kTextProperty = "plexaText";
// The menu's title as given; the title Qt shows may carry the mnemonic of a menu bar.
constexpr const char* kTitleProperty = "plexaTitle";

// A title shown as it stands: a '&' would otherwise mark a mnemonic.
QString Literal(const QString& title) {
    QString shown = title;
    shown.replace(QLatin1Char('&'), QStringLiteral("&&"));
    return shown;
}

uint32_t CurrentModifiers() {
    const Qt::KeyboardModifiers mods = QGuiApplication::keyboardModifiers();
    uint32_t result = 0;
    if (mods & Qt::ShiftModifier) result |= kPlatformModShift;
    if (mods & Qt::ControlModifier) result |= kPlatformModCommand;
    if (mods & Qt::AltModifier) result |= kPlatformModOption;
    if (mods & Qt::MetaModifier) result |= kPlatformModControl;
    return result;
}

}  // namespace

struct PlatformMenu {
    QMenu* menu = nullptr;
    void* owner = nullptr;
};

namespace {

QAction* ActionAt(const PlatformMenu* menu, int32_t index) {
    if (!menu || index < 0) return nullptr;
    const QList<QAction*> actions = menu->menu->actions();
    return index < actions.size() ? actions[index] : nullptr;
}

// The id of the window whose bar holds the bar `bar`, 0 for none.
int32_t BarWindowID(const QMenuBar* bar) {
    if (bar)
        for (PlatformWindow* window : PlatformTopLevelWindows())
            if (PlatformWindowMenuBarWidget(window, false) == bar) return PlatformWindowID(window);
    return 0;
}

// Notes which bar opens a menu: the bar whose open title is the menu's. A sub-menu opens from a
// menu that is open and keeps the bar of that one; any other menu is a popup.
void NoteOpening(const QMenu* menu) {
    if (qobject_cast<QMenu*>(QApplication::activePopupWidget())) return;
    gOpenedFrom = nullptr;
    for (PlatformWindow* window : PlatformTopLevelWindows())
        if (QMenuBar* bar = PlatformWindowMenuBarWidget(window, false))
            if (bar->activeAction() && bar->activeAction()->menu() == menu) gOpenedFrom = bar;
}

void Triggered(PlatformMenu* menu, QAction* action) {
    const int32_t index = int32_t(menu->menu->actions().indexOf(action));
    const int32_t barWindow = BarWindowID(gOpenedFrom);
    gOpenedFrom = nullptr;
    if (index >= 0 && gCallbacks.triggered)
        gCallbacks.triggered(menu, menu->owner, index, CurrentModifiers(), barWindow);
}

void ShowText(QAction* action) {
    action->setText(action->isSeparator() ? QString() : action->property(kTextProperty).toString());
}

QAction* MakeAction(PlatformMenu* menu, const char* text, int32_t tag, bool separator) {
    auto* action = new QAction(menu->menu);
    action->setProperty(kTagProperty, tag);
    action->setProperty(kTextProperty, QString::fromUtf8(text ? text : ""));
    action->setSeparator(separator);
    ShowText(action);
    QObject::connect(action, &QAction::triggered, menu->menu,
                     [menu, action] { Triggered(menu, action); });
    return action;
}

}  // namespace

void PlatformSetMenuCallbacks(const PlatformMenuCallbacks& callbacks) { gCallbacks = callbacks; }

PlatformMenu* PlatformMenuCreate(const char* title, void* owner) {
    auto* menu = new PlatformMenu;
    const QString text = QString::fromUtf8(title ? title : "");
    menu->menu = new QMenu(Literal(text));
    menu->menu->setProperty(kTitleProperty, text);
    menu->owner = owner;
    QObject::connect(menu->menu, &QMenu::aboutToShow, menu->menu, [menu] {
        NoteOpening(menu->menu);
        if (gCallbacks.aboutToShow) gCallbacks.aboutToShow(menu, menu->owner, BarWindowID(gOpenedFrom));
    });
    return menu;
}

void PlatformMenuDestroy(PlatformMenu* menu) {
    if (!menu) return;
    delete menu->menu;
    delete menu;
}

void* PlatformMenuOwner(const PlatformMenu* menu) { return menu ? menu->owner : nullptr; }

void PlatformMenuSetTitle(PlatformMenu* menu, const char* title) {
    if (!menu) return;
    const QString text = QString::fromUtf8(title ? title : "");
    menu->menu->setProperty(kTitleProperty, text);
    menu->menu->setTitle(Literal(text));
}

std::string PlatformMenuTitle(const PlatformMenu* menu) {
    return menu ? menu->menu->property(kTitleProperty).toString().toStdString() : std::string();
}

int32_t PlatformMenuCount(const PlatformMenu* menu) {
    return menu ? int32_t(menu->menu->actions().size()) : 0;
}

int32_t PlatformMenuInsertItem(PlatformMenu* menu, int32_t index, const char* text, int32_t tag,
                               bool separator) {
    if (!menu) return -1;
    QAction* action = MakeAction(menu, text, tag, separator);
    const int32_t count = PlatformMenuCount(menu);
    if (index < 0 || index >= count) {
        menu->menu->addAction(action);
        return count;
    }
    menu->menu->insertAction(ActionAt(menu, index), action);
    return index;
}

void PlatformMenuRemoveItem(PlatformMenu* menu, int32_t index) {
    if (QAction* action = ActionAt(menu, index)) {
        menu->menu->removeAction(action);
        delete action;
    }
}

void PlatformMenuRemoveAll(PlatformMenu* menu) {
    while (PlatformMenuCount(menu) > 0) PlatformMenuRemoveItem(menu, 0);
}

bool PlatformMenuItemIsSeparator(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    return action && action->isSeparator();
}

void PlatformMenuSetItemSeparator(PlatformMenu* menu, int32_t index, bool separator) {
    if (QAction* action = ActionAt(menu, index)) {
        action->setSeparator(separator);
        ShowText(action);
    }
}

std::string PlatformMenuItemText(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    return action ? action->property(kTextProperty).toString().toStdString() : std::string();
}

void PlatformMenuSetItemText(PlatformMenu* menu, int32_t index, const char* text) {
    if (QAction* action = ActionAt(menu, index)) {
        action->setProperty(kTextProperty, QString::fromUtf8(text ? text : ""));
        ShowText(action);
    }
}

std::string TestMenuItemShownText(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    return action ? action->text().toStdString() : std::string();
}

int32_t PlatformMenuItemTag(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    return action ? action->property(kTagProperty).toInt() : 0;
}

void PlatformMenuSetItemTag(PlatformMenu* menu, int32_t index, int32_t tag) {
    if (QAction* action = ActionAt(menu, index)) action->setProperty(kTagProperty, tag);
}

bool PlatformMenuItemChecked(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    return action && action->isChecked();
}

void PlatformMenuSetItemChecked(PlatformMenu* menu, int32_t index, bool checked) {
    QAction* action = ActionAt(menu, index);
    if (!action) return;
    action->setCheckable(checked || action->isCheckable());
    action->setChecked(checked);
}

bool PlatformMenuItemEnabled(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    return action && action->isEnabled();
}

void PlatformMenuSetItemEnabled(PlatformMenu* menu, int32_t index, bool enabled) {
    if (QAction* action = ActionAt(menu, index)) action->setEnabled(enabled);
}

void PlatformMenuSetItemKey(PlatformMenu* menu, int32_t index, uint16_t character,
                            uint32_t modifiers) {
    QAction* action = ActionAt(menu, index);
    if (!action) return;
    action->setProperty(kKeyProperty, int(character));
    action->setProperty(kKeyModsProperty, uint(modifiers));
    if (!character) {
        action->setShortcut(QKeySequence());
        return;
    }
    int key = QChar(character).toUpper().unicode();
    if (modifiers & kPlatformModCommand) key |= Qt::CTRL;
    if ((modifiers & kPlatformModShift) || QChar(character).isUpper()) key |= Qt::SHIFT;
    if (modifiers & kPlatformModOption) key |= Qt::ALT;
    if (modifiers & kPlatformModControl) key |= Qt::META;
    // Shown in the item; active only inside the open menu, so a typed key reaches the toolkit,
    // which prepares the command before it sends it.
    action->setShortcut(QKeySequence(key));
    action->setShortcutContext(Qt::WidgetShortcut);
}

uint16_t PlatformMenuItemKey(const PlatformMenu* menu, int32_t index, uint32_t* modifiers) {
    QAction* action = ActionAt(menu, index);
    if (modifiers) *modifiers = action ? action->property(kKeyModsProperty).toUInt() : 0;
    return action ? uint16_t(action->property(kKeyProperty).toInt()) : 0;
}

PlatformMenu* PlatformMenuItemSubmenu(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    if (!action) return nullptr;
    QMenu* sub = action->menu();
    if (!sub) return nullptr;
    return static_cast<PlatformMenu*>(sub->property("plexaMenu").value<void*>());
}

void PlatformMenuSetItemSubmenu(PlatformMenu* menu, int32_t index, PlatformMenu* submenu) {
    QAction* action = ActionAt(menu, index);
    if (!action) return;
    if (submenu) submenu->menu->setProperty("plexaMenu", QVariant::fromValue<void*>(submenu));
    action->setMenu(submenu ? submenu->menu : static_cast<QMenu*>(nullptr));
}

uint64_t PlatformMenuItemReference(const PlatformMenu* menu, int32_t index) {
    QAction* action = ActionAt(menu, index);
    return action ? action->property(kReferenceProperty).toULongLong() : 0;
}

void PlatformMenuSetItemReference(PlatformMenu* menu, int32_t index, uint64_t reference) {
    if (QAction* action = ActionAt(menu, index))
        action->setProperty(kReferenceProperty, qulonglong(reference));
}

void PlatformMenuSetItemIcon(PlatformMenu* menu, int32_t index, const DrawImage* image) {
    QAction* action = ActionAt(menu, index);
    if (!action) return;
    action->setIcon(image ? QIcon(QPixmap::fromImage(DrawImageQImage(*image))) : QIcon());
}

void PlatformMenuSetItemFontFamily(PlatformMenu* menu, int32_t index, const char* family) {
    QAction* action = ActionAt(menu, index);
    if (!action || !family) return;
    QFont font = action->font();
    font.setFamily(QString::fromUtf8(family));
    action->setFont(font);
}

void PlatformMenuSetControlSize(PlatformMenu* menu, int32_t controlSize) {
    if (!menu) return;
    QFont font = QApplication::font("QMenu");
    const double base = font.pointSizeF() > 0 ? font.pointSizeF() : 10.0;
    font.setPointSizeF(controlSize == 1 ? base * 0.85 : controlSize == 2 ? base * 0.7 : base);
    menu->menu->setFont(font);
}

void PlatformMenuSetFont(PlatformMenu* menu, const char* family, double pointSize) {
    if (!menu) return;
    QFont font(QString::fromUtf8(family ? family : ""));
    if (pointSize > 0) font.setPointSizeF(pointSize);
    menu->menu->setFont(font);
}

namespace {

// Gives the menus of a bar their keys: Alt with a letter of the title opens the menu, the
// first letter not taken by a menu to its left (else the menu has none).
void GiveMnemonics(const std::vector<PlatformMenu*>& menus) {
    QString taken;
    for (PlatformMenu* menu : menus) {
        if (!menu) continue;
        const QString title = menu->menu->property(kTitleProperty).toString();
        QString shown = Literal(title);
        for (int i = 0; i < title.size(); ++i) {
            const QChar c = title.at(i).toLower();
            if (!c.isLetterOrNumber() || taken.contains(c)) continue;
            taken += c;
            shown = Literal(title.left(i)) + QLatin1Char('&') + Literal(title.mid(i));
            break;
        }
        if (menu->menu->title() != shown) menu->menu->setTitle(shown);
    }
}

}  // namespace

void PlatformWindowSetMenus(PlatformWindow* window, const std::vector<PlatformMenu*>& menus) {
    // The content keeps its size and place: the window grows or shrinks by the bar.
    const PlatformRect content = PlatformWindowContentRect(window);
    QMenuBar* bar = PlatformWindowMenuBarWidget(window, !menus.empty());
    if (!bar) return;
    bar->clear();
    GiveMnemonics(menus);
    for (PlatformMenu* menu : menus)
        if (menu) bar->addMenu(menu->menu);
    PlatformWindowSetContentRect(window, content);
}

std::vector<std::string> PlatformWindowMenuTitles(PlatformWindow* window) {
    std::vector<std::string> titles;
    if (QMenuBar* bar = PlatformWindowMenuBarWidget(window, false))
        for (QAction* action : bar->actions()) {
            const QMenu* menu = action->menu();
            titles.push_back(menu ? menu->property(kTitleProperty).toString().toStdString()
                                  : action->text().toStdString());
        }
    return titles;
}

int32_t PlatformMenuPopup(PlatformMenu* menu, PlatformWindow* window, int32_t x, int32_t y,
                          int32_t positionItem) {
    if (!menu) return -1;
    gOpenedFrom = nullptr;
    if (!gScriptedChoices.empty()) {
        const int32_t choice = gScriptedChoices.front();
        gScriptedChoices.pop_front();
        QAction* action = ActionAt(menu, choice);
        if (!action || !action->isEnabled() || action->isSeparator()) return -1;
        action->trigger();
        return choice;
    }
    QWidget* view = PlatformWindowContentWidget(window);
    const QPoint at = view ? view->mapToGlobal(QPoint(x, y)) : QPoint(x, y);
    QAction* chosen = menu->menu->exec(at, ActionAt(menu, positionItem));
    return chosen ? int32_t(menu->menu->actions().indexOf(chosen)) : -1;
}

void TestScriptPopupChoice(int32_t index) { gScriptedChoices.push_back(index); }

bool TakeScriptedPopupChoice(int32_t* index) {
    if (gScriptedChoices.empty()) return false;
    *index = gScriptedChoices.front();
    gScriptedChoices.pop_front();
    return true;
}
void TestResetMenus() { gScriptedChoices.clear(); }

void TestOpenMenu(PlatformMenu* menu) {
    if (menu) emit menu->menu->aboutToShow();
}

void TestChooseMenuItem(PlatformMenu* menu, int32_t index) {
    gOpenedFrom = nullptr;
    if (QAction* action = ActionAt(menu, index)) action->trigger();
}

}  // namespace plexa
