#pragma once

#include <QWidget>

// The header's count of open tasks: secondary text on a faint capsule. Its accessible name
// is the text.
class CountCapsule : public QWidget
{
    Q_OBJECT

public:
    explicit CountCapsule(QWidget *parent = nullptr);

    QString text() const { return m_text; }
    void setText(const QString &text);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    QString m_text;
};
