#include "app/SpokenLabels.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QLabel>

namespace quenterra {
namespace {

// Marks the labels whose accessible name is made from their text.
constexpr char kSpoken[] = "quenterraSpoken";

class SpokenLabelInterface final : public QAccessibleWidget {
public:
    explicit SpokenLabelInterface(QLabel* label) : QAccessibleWidget(label, QAccessible::StaticText)
    {
    }

    QString text(QAccessible::Text kind) const override
    {
        if (kind != QAccessible::Name) {
            return QAccessibleWidget::text(kind);
        }
        const auto* label = static_cast<const QLabel*>(widget());
        return label->accessibleName() + QStringLiteral(": ") + label->text().trimmed();
    }
};

QAccessibleInterface* spokenLabelFactory(const QString& /*className*/, QObject* object)
{
    auto* label = qobject_cast<QLabel*>(object);
    return label && label->property(kSpoken).toBool() ? new SpokenLabelInterface(label) : nullptr;
}

}  // namespace

void SpokenLabels::add(QLabel* label, const QString& what)
{
    static const bool installed = [] {
        QAccessible::installFactory(spokenLabelFactory);
        return true;
    }();
    Q_UNUSED(installed);
    label->setProperty(kSpoken, true);
    // A name of its own keeps the label from announcing each new text itself.
    label->setAccessibleName(what);
    // Qt keeps the interface it made first (a label's text announces itself on creation): the
    // next question makes the spoken one.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(label);
    if (made && !dynamic_cast<SpokenLabelInterface*>(made)) {
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    }
    labels_.push_back({label, label->text()});
}

void SpokenLabels::announceChanges()
{
    if (!QAccessible::isActive()) {
        return;
    }
    const quint32 now = ticks_.timeGetTime();
    if (announcedAt_ && quint32(now - *announcedAt_) < 1000) {
        return;
    }
    for (Spoken& spoken : labels_) {
        if (spoken.label->text() != spoken.announced) {
            spoken.announced = spoken.label->text();
            QAccessibleEvent event(spoken.label, QAccessible::NameChanged);
            QAccessible::updateAccessibility(&event);
            announcedAt_ = now;
        }
    }
}

}  // namespace quenterra
