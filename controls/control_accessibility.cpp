#include "control_accessibility.h"

#include <QAccessibleWidget>

#include <mutex>

#include "outlook_bar.h"
#include "slide_bar.h"

namespace kelp {

namespace {

// The slide bar as a slider: its position, bounds and a step of one.
class SlideBarAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
  public:
    explicit SlideBarAccessible(SlideBar* bar) : QAccessibleWidget(bar, QAccessible::Slider) {}
    void* interface_cast(QAccessible::InterfaceType type) override {
        return type == QAccessible::ValueInterface ? static_cast<QAccessibleValueInterface*>(this)
                                                   : QAccessibleWidget::interface_cast(type);
    }
    QVariant currentValue() const override { return bar()->Position(); }
    void setCurrentValue(const QVariant& value) override { bar()->setPosition(value.toInt()); }
    QVariant maximumValue() const override { return bar()->Max(); }
    QVariant minimumValue() const override { return bar()->Min(); }
    QVariant minimumStepSize() const override { return 1; }

  private:
    SlideBar* bar() const { return static_cast<SlideBar*>(widget()); }
};

QAccessibleInterface* ControlAccessible(const QString& className, QObject* object) {
    if (className == QLatin1String("kelp::SlideBar"))
        return new SlideBarAccessible(static_cast<SlideBar*>(object));
    if (className == QLatin1String("kelp::OutlookBar"))
        return new QAccessibleWidget(static_cast<QWidget*>(object), QAccessible::PageTabList);
    return nullptr;
}

}  // namespace

void InstallControlAccessibility() {
    static std::once_flag installed;
    std::call_once(installed, [] { QAccessible::installFactory(ControlAccessible); });
}

}  // namespace kelp
