#include "window/controls.h"

#include <QPainter>
#include <QStyle>

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

}  // namespace corvane
