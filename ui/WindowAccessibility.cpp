// The window's accessible interfaces: buttons whose actions click, sliders and text boxes
// that refuse values while disabled or read-only, menu items named without shortcut text,
// actions that run from the event loop, and the status line that speaks its message.
#include "ui/WindowAccessibility.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAccessible>
#include <QAccessibleWidget>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeySequence>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QRegularExpression>
#include <QSlider>
#include <functional>

namespace window_access {
namespace {

constexpr const char* kMark = "tarvexAccessible";
constexpr const char* kStatus = "tarvexStatusLine";

EventObserver announcementObserver = nullptr;

bool Marked(const QObject* object) {
    return object != nullptr && object->property(kMark).toBool();
}

// The mnemonic of a caption, as assistive tools announce it ("Alt+E").
QString Mnemonic(const QString& text) {
    return QKeySequence::mnemonic(text).toString(QKeySequence::NativeText);
}

// ---- Actions run from the event loop ----------------------------------------------------------

// The window a control belongs to; a menu's popup belongs to the window of its menu bar.
QWidget* HostWindow(QWidget* widget) {
    while (widget != nullptr && widget->windowType() == Qt::Popup && widget->parentWidget())
        widget = widget->parentWidget();
    return widget != nullptr ? widget->window() : nullptr;
}

// A modal box of the window (a message, a file chooser) is open: the mouse cannot reach the
// window's controls now, so neither does an action whose turn comes meanwhile.
bool Blocked(QWidget* control) {
    QWidget* modal = QApplication::activeModalWidget();
    QWidget* host = HostWindow(control);
    return modal != nullptr && host != nullptr && modal != host;
}

// Runs the user's action once the event loop turns, so that the assistive tool's call returns
// at once: the handler may take seconds and open a modal box, and a tool blocked in its call
// could read neither. Each action arriving is one run, in order of arrival, as each mouse
// click is one click. A run whose turn comes while a modal box blocks the window (a second
// Press arriving before the first one's handler opened its message) is refused, as the mouse
// is refused then; so is one whose control is gone or disabled by then.
void Later(QObject* context, QWidget* control, std::function<void()> act) {
    QPointer<QWidget> guard(control);
    QMetaObject::invokeMethod(
        context,
        [guard, act = std::move(act)] {
            if (guard.isNull() || Blocked(guard)) return;
            act();
        },
        Qt::QueuedConnection);
}

// ---- Buttons: every action is a click --------------------------------------------------------

class ButtonAccess final : public QAccessibleWidget {
  public:
    explicit ButtonAccess(QAbstractButton* button) : QAccessibleWidget(button) {}

    QAccessible::Role role() const override {
        if (!button()->isCheckable()) return QAccessible::Button;
        return button()->autoExclusive() ? QAccessible::RadioButton : QAccessible::CheckBox;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = button()->isCheckable();
        s.checked = button()->isChecked();
        s.pressed = button()->isDown();
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Name && widget()->accessibleName().isEmpty())
            return Plain(button()->text());
        if (t == QAccessible::Accelerator) return Mnemonic(button()->text());
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled())
            names << (button()->isCheckable() ? toggleAction() : pressAction());
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name != pressAction() && name != toggleAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        // click() refuses a disabled button itself, as the mouse is refused.
        if (!widget()->isEnabled()) return;
        QAbstractButton* b = button();
        Later(b, b, [b] { b->click(); });
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        if (name != pressAction() && name != toggleAction()) return {};
        const QString key = Mnemonic(button()->text());
        return key.isEmpty() ? QStringList() : QStringList{key};
    }

  private:
    QAbstractButton* button() const { return static_cast<QAbstractButton*>(widget()); }
};

// ---- Sliders: a value moves the handle as the keys do, never while disabled ------------------

class SliderAccess final : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit SliderAccess(QSlider* slider) : QAccessibleWidget(slider, QAccessible::Slider) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return QString::number(slider()->value());
        return QAccessibleWidget::text(t);
    }
    QVariant currentValue() const override { return slider()->value(); }
    void setCurrentValue(const QVariant& value) override {
        if (slider()->isEnabled()) slider()->setValue(value.toInt());
    }
    QVariant maximumValue() const override { return slider()->maximum(); }
    QVariant minimumValue() const override { return slider()->minimum(); }
    QVariant minimumStepSize() const override { return slider()->singleStep(); }

  private:
    QSlider* slider() const { return static_cast<QSlider*>(widget()); }
};

// ---- Lists: the popup opens as a click opens it, never while disabled ------------------------

// A list tells its chosen item as AT-SPI screen readers expect of a list: as its name (the
// caption beside it names it through the labelled-by relation of the label's buddy) and as
// its text; elsewhere the name is the caption and the value the chosen item.
class ListAccess final : public QAccessibleWidget, public QAccessibleTextInterface {
  public:
    explicit ListAccess(QComboBox* list) : QAccessibleWidget(list, QAccessible::ComboBox) {
        // A screen reader chooses an item of the closed list through the item's own action
        // (its Toggle selects it in the popup's list): that is the user's choice of the item,
        // run once from the event loop as a click on it would run. While the popup is open
        // the keys browse it, and Return or a click chooses, as in any list.
        QObject::connect(list->view()->selectionModel(), &QItemSelectionModel::selectionChanged,
                         list, [list](const QItemSelection& selected) {
                             if (list->view()->isVisible() || selected.indexes().isEmpty()) return;
                             const int row = selected.indexes().first().row();
                             if (row == list->currentIndex()) return;
                             Later(list, list, [list, row] {
                                 if (!list->isEnabled() || list->view()->isVisible() ||
                                     row == list->currentIndex())
                                     return;
                                 list->setCurrentIndex(row);
                                 emit list->activated(row);
                             });
                         });
    }

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    // The one child is the popup's list, whose items the keys choose from.
    int childCount() const override { return 1; }
    QAccessibleInterface* child(int index) const override {
        return index == 0 ? QAccessible::queryAccessibleInterface(list()->view()) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && child->object() == list()->view() ? 0 : -1;
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.expandable = true;
        s.expanded = list()->view()->isVisible();
        s.collapsed = !s.expanded;
        s.hasPopup = true;
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return list()->currentText();
#ifdef Q_OS_UNIX
        if (t == QAccessible::Name) return list()->currentText();
#endif
        return QAccessibleWidget::text(t);
    }
    QStringList actionNames() const override {
        QStringList names;
        if (widget()->isEnabled()) names << showMenuAction() << pressAction();
        return names + QAccessibleWidget::actionNames();
    }
    void doAction(const QString& name) override {
        if (name != pressAction() && name != showMenuAction()) {
            QAccessibleWidget::doAction(name);
            return;
        }
        if (!widget()->isEnabled()) return;
        QComboBox* l = list();
        Later(l, l, [l] {
            if (!l->isEnabled()) return;
            if (l->view()->isVisible())
                l->hidePopup();
            else
                l->showPopup();
        });
    }
    QStringList keyBindingsForAction(const QString&) const override {
        return {};
    }

    // The chosen item as text, read only.
    void selection(int, int* start, int* end) const override {
        *start = *end = 0;
    }
    int selectionCount() const override {
        return 0;
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override {
        return 0;
    }
    void setCursorPosition(int) override {}
    QString text(int start, int end) const override {
        if (start < 0 || start > end) return {};
        return list()->currentText().mid(start, end - start);
    }
    int characterCount() const override {
        return int(list()->currentText().size());
    }
    QRect characterRect(int) const override {
        return {};
    }
    int offsetAtPoint(const QPoint&) const override {
        return -1;
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

  private:
    QComboBox* list() const {
        return static_cast<QComboBox*>(widget());
    }
};

// ---- Text boxes: readable always, editable only where the keyboard could edit ----------------

class TextBoxAccess final : public QAccessibleWidget,
                            public QAccessibleTextInterface,
                            public QAccessibleEditableTextInterface {
  public:
    TextBoxAccess(QLineEdit* edit, bool status)
        : QAccessibleWidget(edit, status ? QAccessible::StatusBar : QAccessible::EditableText),
          status_(status) {}

    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::TextInterface) return static_cast<QAccessibleTextInterface*>(this);
        if (t == QAccessible::EditableTextInterface && Editable())
            return static_cast<QAccessibleEditableTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = !Editable();
        s.editable = Editable();
        s.selectableText = true;
        return s;
    }
    QString text(QAccessible::Text t) const override {
        if (t == QAccessible::Value) return edit()->text();
        // The status line is named by its message, so a change of message is a change of
        // name that assistive tools announce.
        if (t == QAccessible::Name && status_ && !edit()->text().isEmpty()) return edit()->text();
        return QAccessibleWidget::text(t);
    }
    void setText(QAccessible::Text t, const QString& text) override {
        if (t != QAccessible::Value) return QAccessibleWidget::setText(t, text);
        if (Editable()) edit()->setText(text);
    }

    // Reading.
    void selection(int index, int* start, int* end) const override {
        *start = *end = 0;
        if (index != 0 || !edit()->hasSelectedText()) return;
        *start = int(edit()->selectionStart());
        *end = *start + int(edit()->selectedText().size());
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int start, int end) override { setSelection(0, start, end); }
    void removeSelection(int index) override {
        if (index == 0) edit()->deselect();
    }
    void setSelection(int index, int start, int end) override {
        if (index == 0) edit()->setSelection(start, end - start);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int start, int end) const override {
        if (start > end) return {};
        return edit()->text().mid(start, end - start);
    }
    int characterCount() const override { return int(edit()->text().size()); }
    QRect characterRect(int offset) const override {
        const QString all = edit()->text();
        if (offset < 0 || offset >= all.size()) return {};
        // The text's place inside the box, from the box's margins and alignment.
        const QFontMetrics fm(edit()->font());
        const QRect area = edit()->contentsRect().marginsRemoved(edit()->textMargins());
        const int width = fm.horizontalAdvance(all);
        int left = area.left() + 2;
        if (edit()->alignment() & Qt::AlignRight) left = area.right() - 2 - width;
        if (edit()->alignment() & Qt::AlignHCenter) left = area.center().x() - width / 2;
        const QRect r(left + fm.horizontalAdvance(all.left(offset)),
                      area.center().y() - fm.height() / 2, fm.horizontalAdvance(all.at(offset)),
                      fm.height());
        return r.translated(edit()->mapToGlobal(QPoint(0, 0)));
    }
    int offsetAtPoint(const QPoint& point) const override {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int start, int end) override {
        edit()->setCursorPosition(end);
        edit()->setCursorPosition(start);
    }
    QString attributes(int offset, int* start, int* end) const override {
        *start = *end = offset;
        return {};
    }

    // Editing, offered only while Editable().
    void deleteText(int start, int end) override { Replace(start, end, QString()); }
    void insertText(int offset, const QString& text) override { Replace(offset, offset, text); }
    void replaceText(int start, int end, const QString& text) override {
        Replace(start, end, text);
    }

  private:
    QLineEdit* edit() const { return static_cast<QLineEdit*>(widget()); }
    bool Editable() const { return edit()->isEnabled() && !edit()->isReadOnly(); }
    void Replace(int start, int end, const QString& text) {
        if (!Editable() || start < 0 || start > end) return;
        edit()->setText(edit()->text().replace(start, end - start, text));
    }

    bool status_;
};

// ---- Menu items -----------------------------------------------------------------------------

// A command in a menu, or a menu's title in the menu bar.
class MenuItemAccess final : public QAccessibleInterface, public QAccessibleActionInterface {
  public:
    explicit MenuItemAccess(QAction* action) : action_(action) {}

    bool isValid() const override { return Owner() != nullptr; }
    QObject* object() const override { return action_; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(Owner());
    }
    // A title's one child is its menu.
    QAccessibleInterface* child(int index) const override {
        return index == 0 && Submenu() ? QAccessible::queryAccessibleInterface(Submenu()) : nullptr;
    }
    int childCount() const override { return Submenu() ? 1 : 0; }
    int indexOfChild(const QAccessibleInterface* child) const override {
        return child != nullptr && Submenu() && child->object() == Submenu() ? 0 : -1;
    }
    QString text(QAccessible::Text t) const override {
        if (action_.isNull()) return {};
        if (t == QAccessible::Name) return Plain(action_->text());
        if (t == QAccessible::Accelerator) {
            return action_->shortcut().isEmpty()
                       ? Mnemonic(action_->text())
                       : action_->shortcut().toString(QKeySequence::NativeText);
        }
        return {};
    }
    void setText(QAccessible::Text, const QString&) override {}
    QRect rect() const override {
        QWidget* owner = Owner();
        if (owner == nullptr || !owner->isVisible()) return {};
        QRect r;
        if (auto* menu = qobject_cast<QMenu*>(owner)) r = menu->actionGeometry(action_);
        if (auto* bar = qobject_cast<QMenuBar*>(owner)) r = bar->actionGeometry(action_);
        return r.translated(owner->mapToGlobal(QPoint(0, 0)));
    }
    QAccessible::Role role() const override { return QAccessible::MenuItem; }
    QAccessible::State state() const override {
        QAccessible::State s;
        QWidget* owner = Owner();
        if (owner == nullptr) {
            s.invalid = true;
            return s;
        }
        QAction* active = nullptr;
        if (auto* menu = qobject_cast<QMenu*>(owner)) active = menu->activeAction();
        if (auto* bar = qobject_cast<QMenuBar*>(owner)) active = bar->activeAction();
        s.disabled = !action_->isEnabled();
        s.focusable = true;
        s.focused = active == action_;
        s.invisible = !action_->isVisible() || !owner->isVisible();
        s.checkable = action_->isCheckable();
        s.checked = action_->isChecked();
        s.hasPopup = Submenu() != nullptr;
        return s;
    }
    void* interface_cast(QAccessible::InterfaceType t) override {
        if (t == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface*>(this);
        return nullptr;
    }

    QStringList actionNames() const override {
        if (action_.isNull() || !action_->isEnabled()) return {};
        return {Submenu() ? showMenuAction() : pressAction()};
    }
    void doAction(const QString& name) override {
        if (action_.isNull() || !action_->isEnabled()) return;
        QAction* action = action_;
        if (QMenu* menu = Submenu()) {
            // A title opens its menu, as a click on it does.
            auto* bar = qobject_cast<QMenuBar*>(Owner());
            if (name != showMenuAction() || bar == nullptr) return;
            Later(action, bar, [action, menu, bar] {
                if (!action->isEnabled()) return;
                if (menu->isVisible())
                    menu->hide();
                else
                    bar->setActiveAction(action);
            });
        } else if (name == pressAction()) {
            Later(action, Owner(), [action] {
                if (action->isEnabled()) action->trigger();
            });
        }
    }
    QStringList keyBindingsForAction(const QString& name) const override {
        const QString key = text(QAccessible::Accelerator);
        if (!actionNames().contains(name) || key.isEmpty()) return {};
        return {key};
    }

  private:
    // The menu or menu bar that shows the action.
    QWidget* Owner() const {
        if (action_.isNull()) return nullptr;
        for (QObject* owner : action_->associatedObjects())
            if (qobject_cast<QMenu*>(owner) || qobject_cast<QMenuBar*>(owner))
                return static_cast<QWidget*>(owner);
        return nullptr;
    }
    QMenu* Submenu() const { return action_.isNull() ? nullptr : action_->menu(); }

    QPointer<QAction> action_;
};

QAccessibleInterface* Factory(const QString&, QObject* object) {
    if (!Marked(object)) return nullptr;
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return new ButtonAccess(button);
    if (auto* slider = qobject_cast<QSlider*>(object)) return new SliderAccess(slider);
    if (auto* edit = qobject_cast<QLineEdit*>(object))
        return new TextBoxAccess(edit, edit->property(kStatus).toBool());
    if (auto* list = qobject_cast<QComboBox*>(object)) return new ListAccess(list);
    if (auto* action = qobject_cast<QAction*>(object)) return new MenuItemAccess(action);
    return nullptr;
}

}  // namespace

void Adopt(QObject* object) {
    static const bool installed = [] {
        QAccessible::installFactory(Factory);
        return true;
    }();
    (void)installed;
    object->setProperty(kMark, true);
    // Qt may already have made an interface of its own, for an accessibility event sent
    // while the control was being built; dropping it lets the next query make the window's.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(object);
    const bool ours = dynamic_cast<ButtonAccess*>(made) || dynamic_cast<SliderAccess*>(made) ||
                      dynamic_cast<TextBoxAccess*>(made) || dynamic_cast<ListAccess*>(made) ||
                      dynamic_cast<MenuItemAccess*>(made);
    const bool kind = qobject_cast<QAbstractButton*>(object) || qobject_cast<QSlider*>(object) ||
                      qobject_cast<QLineEdit*>(object) || qobject_cast<QComboBox*>(object) ||
                      qobject_cast<QAction*>(object);
    if (made != nullptr && !ours && kind)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

void AdoptStatusLine(QLineEdit* statusLine) {
    statusLine->setProperty(kStatus, true);
    Adopt(statusLine);
}

QString Plain(QString text) {
    static const QRegularExpression suffix(QStringLiteral("\\(&[^)]\\)"));
    if (const qsizetype tab = text.indexOf(u'\t'); tab >= 0) text.truncate(tab);
    text.remove(suffix);
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') out += u'&', ++i;
            continue;
        }
        out += text[i] == u'\n' ? QChar(u' ') : text[i];
    }
    return out.trimmed();
}

void AnnounceStatus(QLineEdit* statusLine) {
    QAccessibleEvent changed(statusLine, QAccessible::NameChanged);
    if (announcementObserver != nullptr) announcementObserver(&changed);
    QAccessible::updateAccessibility(&changed);
}

void ObserveAnnouncements(EventObserver observer) {
    announcementObserver = observer;
}

}  // namespace window_access
