#pragma once

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProxyStyle>
#include <QRadioButton>

namespace corvane {

/// A label that shows a chosen file's path as a sunken display field, the whole path as its
/// tooltip, and the middle of a path too long for the field elided.
class PathLabel : public QLabel {
    Q_OBJECT

public:
    explicit PathLabel(QWidget* parent = nullptr);

    /// Shows caption in the field and as its tooltip; text() gives it back unchanged.
    void setCaption(const QString& caption);

signals:
    /// The user double-clicked the field.
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
};

/// A check box holding 0 (unticked), 1 (ticked) or 2 (greyed). Only code sets 2; a click
/// goes from ticked to unticked and from anything else to ticked.
class TriStateCheckBox : public QCheckBox {
    Q_OBJECT

public:
    explicit TriStateCheckBox(const QString& text, QWidget* parent = nullptr);

    /// 0, 1 or 2.
    int value() const;
    /// Sets 0, 1 or 2; throws Error for any other value and leaves the box as it was.
    void setValue(int value);

protected:
    void nextCheckState() override;
};

/// A line edit that reports double clicks.
class DoubleClickLineEdit : public QLineEdit {
    Q_OBJECT

public:
    explicit DoubleClickLineEdit(QWidget* parent = nullptr);

signals:
    /// The user double-clicked the box.
    void doubleClicked();

protected:
    void mouseDoubleClickEvent(QMouseEvent* event) override;
};

/// An option button whose group keeps its one Tab stop on the selected option (or on the first
/// one while none is selected), wherever the focus was last.
class OptionButton : public QRadioButton {
    Q_OBJECT

public:
    explicit OptionButton(const QString& text, QWidget* parent = nullptr);

    /// Puts the Tab stop of the option buttons that share parent on the selected one.
    static void keepTabStopOnSelected(QWidget* parent);

protected:
    void focusInEvent(QFocusEvent* event) override;
};

/// A frame whose etched border runs through the middle of its caption, so that controls placed
/// near its top edge sit inside the border and not on it.
class FrameBox : public QGroupBox {
    Q_OBJECT

public:
    explicit FrameBox(const QString& title, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// The platform's style with check and option indicators small enough for 13-pixel-high
/// check boxes and option buttons.
class CompactIndicatorStyle : public QProxyStyle {
    Q_OBJECT

public:
    CompactIndicatorStyle();

    int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                    const QWidget* widget = nullptr) const override;
};

}  // namespace corvane
