#pragma once

#include <QAbstractButton>

// A tag filter chip: the tag in its colour on a pale capsule of that colour, or white on
// the solid colour while selected. The chip does not toggle itself when clicked; its owner
// sets the selection. A change of selection animates with the current transaction.
class TagChip : public QAbstractButton
{
    Q_OBJECT
    // 0 shows the chip unselected, 1 selected; in between while the change animates.
    Q_PROPERTY(qreal selection READ selection WRITE setSelection)

public:
    explicit TagChip(const QString &tag, QWidget *parent = nullptr);

    QString tag() const { return text(); }
    bool isSelected() const { return isChecked(); }
    void setSelected(bool selected);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void nextCheckState() override {}
    void paintEvent(QPaintEvent *event) override;

private:
    qreal selection() const { return m_selection; }
    void setSelection(qreal selection);

    qreal m_selection = 0;
};
