// What a screen reader sees of a bar: a slider with its value, minimum and maximum, which it can
// also set. The picture a bar draws on is recognised by the bar the picture carries.
#include "display/progress_bar.h"

#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QPointer>
#include <QVariant>

namespace kv::display {

namespace {
constexpr char kBarProperty[] = "kvProgressBar";

class BarAccessible final : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    BarAccessible(QWidget* picture, CProgressBar* bar)
        : QAccessibleWidget(picture, QAccessible::Slider), bar_(bar) {}

    void* interface_cast(QAccessible::InterfaceType type) override {
        if (type == QAccessible::ValueInterface) return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(type);
    }
    QString text(QAccessible::Text t) const override {
        QString s = QAccessibleWidget::text(t);
        // The media windows' bars are named by what they are, as the main window's.
        if (t == QAccessible::Name && s.isEmpty() && bar_)
            s = bar_->BarStyle() == CProgressBar::VolumeStyle ? QStringLiteral("音量")
                                                              : QStringLiteral("再生位置");
        if (t == QAccessible::Value && bar_) s = QString::number(bar_->Value());
        return s;
    }

    QVariant currentValue() const override { return bar_ ? bar_->Value() : 0; }
    void setCurrentValue(const QVariant& value) override {
        bool ok = false;
        const int v = value.toInt(&ok);
        if (ok && bar_) bar_->MoveTo(v);
    }
    QVariant maximumValue() const override { return bar_ ? bar_->Max() : 0; }
    QVariant minimumValue() const override { return 0; }
    QVariant minimumStepSize() const override { return 1; }

  private:
    QPointer<CProgressBar> bar_;
};

QAccessibleInterface* BarFactory(const QString&, QObject* object) {
    auto* picture = qobject_cast<QWidget*>(object);
    auto* bar =
        picture ? qobject_cast<CProgressBar*>(picture->property(kBarProperty).value<QObject*>()) : nullptr;
    return bar ? new BarAccessible(picture, bar) : nullptr;
}
} // namespace

void CProgressBar::MarkAccessible(QWidget* picture, bool mine) {
    static const bool installed = (QAccessible::installFactory(BarFactory), true);
    (void)installed;
    picture->setProperty(kBarProperty, mine ? QVariant::fromValue<QObject*>(this) : QVariant());
    // An interface made for the picture before it was a bar's would keep answering as a plain widget.
    if (QAccessibleInterface* known = QAccessible::queryAccessibleInterface(picture))
        if (mine != (dynamic_cast<BarAccessible*>(known) != nullptr))
            QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(known));
}

} // namespace kv::display
