#include "window/controls.h"

#include <QPainter>
#include <QStyle>
#include <algorithm>

#include "core/error.h"

namespace corvane {

PathLabel::PathLabel(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Sunken);
    setLineWidth(1);
    setAutoFillBackground(true);
    setBackgroundRole(QPalette::Base);
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    setIndent(3);
    setTextFormat(Qt::PlainText);
}

void PathLabel::setCaption(const QString& caption) {
    setText(caption);
    setToolTip(caption);
}

void PathLabel::mouseDoubleClickEvent(QMouseEvent* event) {
    QLabel::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

void PathLabel::paintEvent(QPaintEvent* event) {
    // The frame as a QFrame draws it, then the caption, shortened in the middle so that the
    // drive and the file's name both stay visible.
    QFrame::paintEvent(event);
    QPainter painter(this);
    const QRect area = contentsRect().adjusted(indent(), 0, -indent(), 0);
    const QString shown = fontMetrics().elidedText(text(), Qt::ElideMiddle, area.width());
    style()->drawItemText(&painter, area, int(alignment()), palette(), isEnabled(), shown,
                          foregroundRole());
}

TriStateCheckBox::TriStateCheckBox(const QString& text, QWidget* parent)
    : QCheckBox(text, parent) {}

int TriStateCheckBox::value() const {
    switch (checkState()) {
        case Qt::Unchecked:
            return 0;
        case Qt::Checked:
            return 1;
        case Qt::PartiallyChecked:
            return 2;
    }
    return 0;
}

void TriStateCheckBox::setValue(int value) {
    switch (value) {
        case 0:
            setCheckState(Qt::Unchecked);
            return;
        case 1:
            setCheckState(Qt::Checked);
            return;
        case 2:
            setCheckState(Qt::PartiallyChecked);  // also makes the box tri-state
            return;
        default:
            throw Error(QStringLiteral("The check box \"%1\" cannot hold the value %2; "
                                       "it takes 0 (unticked), 1 (ticked) or 2 (greyed).")
                            .arg(text())
                            .arg(value));
    }
}

void TriStateCheckBox::nextCheckState() {
    setCheckState(checkState() == Qt::Checked ? Qt::Unchecked : Qt::Checked);
}

DoubleClickLineEdit::DoubleClickLineEdit(QWidget* parent) : QLineEdit(parent) {}

void DoubleClickLineEdit::mouseDoubleClickEvent(QMouseEvent* event) {
    QLineEdit::mouseDoubleClickEvent(event);
    emit doubleClicked();
}

OptionButton::OptionButton(const QString& text, QWidget* parent) : QRadioButton(text, parent) {
    connect(this, &QAbstractButton::toggled, this,
            [this] { keepTabStopOnSelected(parentWidget()); });
}

void OptionButton::keepTabStopOnSelected(QWidget* parent) {
    if (parent == nullptr) {
        return;
    }
    const auto options = parent->findChildren<OptionButton*>(Qt::FindDirectChildrenOnly);
    OptionButton* stop = options.isEmpty() ? nullptr : options.first();
    for (OptionButton* option : options) {
        if (option->isChecked()) {
            stop = option;
        }
    }
    for (OptionButton* option : options) {
        const Qt::FocusPolicy policy = option->focusPolicy();
        option->setFocusPolicy(option == stop ? Qt::FocusPolicy(policy | Qt::TabFocus)
                                              : Qt::FocusPolicy(policy & ~Qt::TabFocus));
    }
}

void OptionButton::focusInEvent(QFocusEvent* event) {
    // Qt moves the group's Tab stop to whichever option takes the focus; put it back.
    QRadioButton::focusInEvent(event);
    keepTabStopOnSelected(parentWidget());
}

FrameBox::FrameBox(const QString& title, QWidget* parent) : QGroupBox(title, parent) {}

void FrameBox::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    const int middle = metrics.height() / 2;
    const QRect border = rect().adjusted(0, middle, 0, 0);
    // An etched line: dark, with a light line one pixel down and right.
    painter.setPen(palette().color(QPalette::Mid));
    painter.drawRect(border.adjusted(0, 0, -2, -2));
    painter.setPen(palette().color(QPalette::Light));
    painter.drawRect(border.adjusted(1, 1, -1, -1));

    const int gap = 2;
    const QRect caption(6, 0, metrics.horizontalAdvance(title()) + 2 * gap, metrics.height());
    painter.fillRect(caption, palette().color(backgroundRole()));
    painter.setPen(
        palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawText(caption.adjusted(gap, 0, -gap, 0), Qt::AlignLeft | Qt::AlignVCenter, title());
}

CompactIndicatorStyle::CompactIndicatorStyle() = default;

int CompactIndicatorStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                       const QWidget* widget) const {
    switch (metric) {
        case PM_IndicatorWidth:
        case PM_IndicatorHeight:
        case PM_ExclusiveIndicatorWidth:
        case PM_ExclusiveIndicatorHeight:
            return std::min(QProxyStyle::pixelMetric(metric, option, widget), 13);
        default:
            return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

}  // namespace corvane
