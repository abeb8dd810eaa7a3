#pragma once

#include <QAbstractButton>

// One tag offered for completion: a dot in the tag's colour and the tag as listed. The
// highlighted row is tinted with its tag's colour. A click chooses the tag; the row never
// takes the keyboard focus, so typing goes on in the field.
class SuggestionRow : public QAbstractButton
{
    Q_OBJECT

public:
    explicit SuggestionRow(const QString &tag, QWidget *parent = nullptr);

    QString tag() const { return text(); }
    bool isHighlighted() const { return m_highlighted; }
    void setHighlighted(bool highlighted);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    bool m_highlighted = false;
};
