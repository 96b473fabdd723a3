#include "platform/ui/Accessibility.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>

namespace ui {

namespace {

constexpr char kRoleProperty[] = "ripwell_accessibleRole";
constexpr char kValueProperty[] = "ripwell_accessibleValue";
constexpr char kPressProperty[] = "ripwell_accessiblePress";
constexpr char kSelectedProperty[] = "ripwell_accessibleSelected";

// A view described by its properties: its role; for a progress view a
// read-only value from 0 to 100; for a pressable view (a row) its Press
// action and whether it is the selected one.
class PropertyAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    PropertyAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

    void* interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface && role() == QAccessible::ProgressBar)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value && role() == QAccessible::ProgressBar)
            return QStringLiteral("%1%").arg(int(currentValue().toDouble()));
        return QAccessibleWidget::text(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (widget()->property(kPressProperty).toBool()) {
            s.selectable = true;
            s.selected = widget()->property(kSelectedProperty).toBool();
        }
        return s;
    }

    // A view pressed by Space offers that as its Press action.
    QStringList actionNames() const override
    {
        QStringList names = QAccessibleWidget::actionNames();
        if (widget()->property(kPressProperty).toBool() && widget()->isEnabled())
            names.prepend(pressAction());
        return names;
    }

    void doAction(const QString& actionName) override
    {
        if (actionName != pressAction() || !widget()->property(kPressProperty).toBool()) {
            QAccessibleWidget::doAction(actionName);
            return;
        }
        // Posted: the press may take the view away (a folder's rows are
        // replaced), and the screen reader's call is answered first.
        QWidget* view = widget();
        QCoreApplication::postEvent(view, new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
        QCoreApplication::postEvent(view, new QKeyEvent(QEvent::KeyRelease, Qt::Key_Space, Qt::NoModifier, QStringLiteral(" ")));
    }

    QVariant currentValue() const override { return widget()->property(kValueProperty).toDouble(); }
    void setCurrentValue(const QVariant&) override {} // shown, not set by the user
    QVariant maximumValue() const override { return 100.0; }
    QVariant minimumValue() const override { return 0.0; }
    QVariant minimumStepSize() const override { return 1.0; }
};

QAccessibleInterface* propertyAccessibleFactory(const QString&, QObject* object)
{
    if (!object || !object->isWidgetType())
        return nullptr;
    const QVariant role = object->property(kRoleProperty);
    if (!role.isValid())
        return nullptr;
    return new PropertyAccessible(static_cast<QWidget*>(object), QAccessible::Role(role.toInt()));
}

void installFactoryOnce()
{
    static const bool installed = [] {
        QAccessible::installFactory(propertyAccessibleFactory);
        return true;
    }();
    (void)installed;
}

} // namespace

void setAccessibleRole(QWidget* view, QAccessible::Role role)
{
    installFactoryOnce();
    view->setProperty(kRoleProperty, int(role));
    // With a screen reader on, the view may have been described already, as
    // a plain view: drop that description so the next look-up makes ours.
    if (QAccessible::isActive()) {
        if (QAccessibleInterface* described = QAccessible::queryAccessibleInterface(view);
            described && described->role() != role)
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(described));
    }
}

void setAccessiblePressable(QWidget* view, QAccessible::Role role)
{
    view->setProperty(kPressProperty, true);
    setAccessibleRole(view, role);
}

void setAccessibleSelected(QWidget* view, bool selected)
{
    const bool before = view->property(kSelectedProperty).toBool();
    view->setProperty(kSelectedProperty, selected);
    if (before != selected && QAccessible::isActive()) {
        QAccessible::State changed;
        changed.selected = true;
        QAccessibleStateChangeEvent event(view, changed);
        QAccessible::updateAccessibility(&event);
    }
}

void setAccessibleValue(QWidget* view, double percent)
{
    const double before = view->property(kValueProperty).toDouble();
    view->setProperty(kValueProperty, percent);
    if (before != percent && QAccessible::isActive()) {
        QAccessibleValueChangeEvent event(view, percent);
        QAccessible::updateAccessibility(&event);
    }
}

double accessibleValue(const QWidget* view)
{
    return view->property(kValueProperty).toDouble();
}

} // namespace ui
