#pragma once
// What is wrong with how a window shows what is on top of it now: a control
// that is not wholly inside the window, or two controls over one another.
// The top is the menu or alert shown, else the screen on top. Controls are
// buttons, fields, labels with something in them, lists and tables, and
// pictures; pictures may lie over pictures (the main screen fans its covers),
// nothing else may lie over anything. Rows inside a list or table are the
// list's business (they scroll), and so is what lies over a list to say why
// it is empty.

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QLabel>
#include <QLineEdit>
#include <QString>
#include <QStringList>
#include <QWidget>

#include "platform/ui/ImageView.h"

namespace testsupport {

inline QStringList layoutProblems(QWidget* window)
{
    QWidget* top = nullptr;
    for (QObject* child : window->children()) // raising moves a child to the end
        if (auto* w = qobject_cast<QWidget*>(child); w && w->isVisible())
            top = w;
    if (!top)
        return {QStringLiteral("nothing shown")};

    const auto inScrolledRows = [](const QWidget* w) {
        for (const QWidget* p = w->parentWidget(); p; p = p->parentWidget())
            if (auto* area = qobject_cast<const QAbstractScrollArea*>(p->parentWidget()); area && area->viewport() == p)
                return true;
        return false;
    };
    const auto isPicture = [](const QWidget* w) { return qobject_cast<const ui::ImageView*>(w) != nullptr; };
    const auto isControl = [&](const QWidget* w) {
        if (!w->isVisible() || w->testAttribute(Qt::WA_TransparentForMouseEvents) || inScrolledRows(w))
            return false;
        if (auto* label = qobject_cast<const QLabel*>(w))
            return !label->text().isEmpty() || !label->pixmap().isNull();
        return qobject_cast<const QAbstractButton*>(w) || qobject_cast<const QLineEdit*>(w) ||
               qobject_cast<const QAbstractScrollArea*>(w) || isPicture(w);
    };
    const auto name = [](const QWidget* w) {
        QString text;
        if (auto* label = qobject_cast<const QLabel*>(w))
            text = label->text();
        else if (auto* button = qobject_cast<const QAbstractButton*>(w))
            text = button->text().isEmpty() ? button->accessibleName() : button->text();
        return QStringLiteral("%1 %2 \"%3\"").arg(QLatin1String(w->metaObject()->className()), w->objectName(), text.left(30));
    };
    const auto frameOf = [&](const QWidget* w) { return QRect(w->mapTo(window, QPoint(0, 0)), w->size()); };
    const auto within = [](const QWidget* inner, const QWidget* outer) {
        for (const QWidget* p = inner; p; p = p->parentWidget())
            if (p == outer)
                return true;
        return false;
    };

    std::vector<QWidget*> controls;
    for (QWidget* w : top->findChildren<QWidget*>())
        if (isControl(w))
            controls.push_back(w);
    QStringList problems;
    for (QWidget* w : controls) {
        if (!window->rect().contains(frameOf(w)))
            problems << QStringLiteral("%1 at %2,%3 %4x%5 is not inside the %6x%7 window")
                            .arg(name(w))
                            .arg(frameOf(w).x())
                            .arg(frameOf(w).y())
                            .arg(frameOf(w).width())
                            .arg(frameOf(w).height())
                            .arg(window->width())
                            .arg(window->height());
    }
    for (std::size_t i = 0; i < controls.size(); ++i)
        for (std::size_t k = i + 1; k < controls.size(); ++k) {
            QWidget* a = controls[i];
            QWidget* b = controls[k];
            if (within(a, b) || within(b, a) || (isPicture(a) && isPicture(b)))
                continue;
            if (frameOf(a).intersects(frameOf(b)))
                problems << QStringLiteral("%1 and %2 lie over one another").arg(name(a), name(b));
        }
    return problems;
}

} // namespace testsupport
