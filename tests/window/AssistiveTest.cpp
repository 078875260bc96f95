// What a screen reader and other assistive tools find in the window.
#include "WindowHarness.h"

#include <QAccessible>
#include <QComboBox>
#include <QLabel>
#include <QMap>
#include <QTabWidget>

namespace ecu::wintest {
namespace {

class Assistive : public WindowTest {};

// What a screen reader announces a control by: its name, or for a combo box (whose
// name is its current text here) the label related to it.
QString Announced(QWidget* widget) {
    QAccessibleInterface* item = QAccessible::queryAccessibleInterface(widget);
    if (!item)
        return {};
    if (qobject_cast<QComboBox*>(widget)) {
        for (const auto& [other, relation] : item->relations(QAccessible::Label))
            if (qobject_cast<QLabel*>(other->object()))
                return other->text(QAccessible::Name).trimmed();
        return {};
    }
    return item->text(QAccessible::Name).trimmed();
}

// A control announced by its group's title ("Состояние, check box") cannot be told
// from its neighbours: every control that takes the focus, glyph-only buttons too,
// is announced by a name of its own.
TEST_F(Assistive, EveryControlIsAnnouncedByANameOfItsOwn) {
    CreateWindow();
    QMap<QString, QString> owners; // announced name -> the control
    int controls = 0;
    for (QWidget* widget : window->findChildren<QWidget*>()) {
        const QString object = widget->objectName();
        if (widget->focusPolicy() == Qt::NoFocus || qobject_cast<QTabWidget*>(widget) ||
            object.isEmpty() || object.startsWith(QLatin1String("qt_")))
            continue; // the toolkit's own parts; the tab control's tabs are named
        ++controls;
        const QString name = Announced(widget);
        EXPECT_FALSE(name.isEmpty()) << object.toStdString();
        EXPECT_FALSE(owners.contains(name))
            << object.toStdString() << " and " << owners.value(name).toStdString() << ": "
            << name.toStdString();
        owners.insert(name, object);
    }
    EXPECT_GT(controls, 40);
}

} // namespace
} // namespace ecu::wintest
