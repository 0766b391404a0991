#include "tabaccessible.h"

#include "tabcontrol.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QHash>
#include <QPointer>

namespace {

class TabAccessible : public QAccessibleInterface, public QAccessibleActionInterface
{
public:
    TabAccessible(TabControl *control, int index)
        : m_control(control)
        , m_index(index)
    {
    }

    bool isValid() const override { return m_control && m_index < m_control->count(); }
    QObject *object() const override { return nullptr; }
    QWindow *window() const override
    {
        return m_control ? m_control->window()->windowHandle() : nullptr;
    }

    QAccessibleInterface *parent() const override
    {
        return m_control ? QAccessible::queryAccessibleInterface(m_control.data()) : nullptr;
    }
    QAccessibleInterface *child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface *) const override { return -1; }
    QAccessibleInterface *childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override
    {
        if (!isValid())
            return QString();
        if (t == QAccessible::Name)
            return m_control->tabText(m_index);
        if (t == QAccessible::Description)
            return m_control->tabDescription(m_index);
        return QString();
    }
    void setText(QAccessible::Text, const QString &) override {}

    QRect rect() const override
    {
        if (!isValid())
            return QRect();
        const QRect local = m_control->tabRect(m_index);
        return QRect(m_control->mapToGlobal(local.topLeft()), local.size());
    }

    QAccessible::Role role() const override { return QAccessible::PageTab; }

    QAccessible::State state() const override
    {
        QAccessible::State state;
        if (!isValid())
            return state;
        state.selectable = true;
        state.focusable = true;
        const bool current = m_control->currentIndex() == m_index;
        state.selected = current;
        state.focused = current && m_control->hasFocus();
        state.invisible = !m_control->isVisible();
        state.disabled = !m_control->isEnabled();
        return state;
    }

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ActionInterface)
            return static_cast<QAccessibleActionInterface *>(this);
        return nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString &name) override
    {
        if (name == pressAction() && isValid())
            m_control->setCurrentIndex(m_index);
    }
    QStringList keyBindingsForAction(const QString &) const override { return {}; }

private:
    QPointer<TabControl> m_control;
    int m_index = 0;
};

// The control's children for assistive technology: its tabs first, then the pages
// (which lead on to the controls placed on them).
class TabControlAccessible : public QAccessibleWidget
{
public:
    explicit TabControlAccessible(TabControl *control)
        : QAccessibleWidget(control, QAccessible::PageTabList)
    {
    }

    ~TabControlAccessible() override
    {
        for (QAccessible::Id id : std::as_const(m_tabIds))
            QAccessible::deleteAccessibleInterface(id);
    }

    int childCount() const override { return control()->count() + QAccessibleWidget::childCount(); }

    QAccessibleInterface *child(int index) const override
    {
        const int tabs = control()->count();
        if (index < 0)
            return nullptr;
        if (index >= tabs)
            return QAccessibleWidget::child(index - tabs);
        auto id = m_tabIds.constFind(index);
        if (id == m_tabIds.constEnd())
            id = m_tabIds.insert(index, QAccessible::registerAccessibleInterface(new TabAccessible(control(), index)));
        return QAccessible::accessibleInterface(*id);
    }

    int indexOfChild(const QAccessibleInterface *child) const override
    {
        if (!child)
            return -1;
        if (child->role() == QAccessible::PageTab) {
            const QAccessible::Id id = QAccessible::uniqueId(const_cast<QAccessibleInterface *>(child));
            for (auto it = m_tabIds.constBegin(); it != m_tabIds.constEnd(); ++it) {
                if (it.value() == id)
                    return it.key();
            }
        }
        const int index = QAccessibleWidget::indexOfChild(child);
        return index < 0 ? -1 : control()->count() + index;
    }

    QAccessibleInterface *childAt(int x, int y) const override
    {
        const int tab = control()->tabAt(control()->mapFromGlobal(QPoint(x, y)));
        if (tab >= 0)
            return child(tab);
        return QAccessibleWidget::childAt(x, y);
    }

    QAccessibleInterface *focusChild() const override
    {
        if (control()->hasFocus() && control()->currentIndex() >= 0)
            return child(control()->currentIndex());
        return QAccessibleWidget::focusChild();
    }

private:
    TabControl *control() const { return static_cast<TabControl *>(widget()); }

    mutable QHash<int, QAccessible::Id> m_tabIds;
};

QAccessibleInterface *accessibleFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TabControl") && object && object->isWidgetType())
        return new TabControlAccessible(static_cast<TabControl *>(object));
    return nullptr;
}

} // namespace

void installTabControlAccessibility()
{
    static const bool installed = [] {
        QAccessible::installFactory(accessibleFactory);
        return true;
    }();
    Q_UNUSED(installed)
}

void TabControl::notifyAccessibility(int index)
{
    if (index < 0 || !QAccessible::isActive())
        return;
    if (hasFocus()) {
        QAccessibleEvent focusEvent(this, QAccessible::Focus);
        focusEvent.setChild(index);
        QAccessible::updateAccessibility(&focusEvent);
    }
    QAccessibleEvent selectionEvent(this, QAccessible::Selection);
    selectionEvent.setChild(index);
    QAccessible::updateAccessibility(&selectionEvent);
}

void TabControl::notifyDescriptionChanged(int index)
{
    if (!QAccessible::isActive())
        return;
    QAccessibleEvent event(this, QAccessible::DescriptionChanged);
    event.setChild(index);
    QAccessible::updateAccessibility(&event);
}
