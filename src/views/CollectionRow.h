#pragma once

#include "toolkit/Symbols.h"

#include <QAbstractButton>

// One row of the sync dialog's list of the server's task lists: a symbol and a name, the
// whole row clickable. Tab reaches it; Return, Enter and Space click it. Its accessible name
// is its text. An action row (the one that creates a list) is drawn in the accent.
class CollectionRow : public QAbstractButton
{
    Q_OBJECT

public:
    static constexpr int rowHeight = 34;

    CollectionRow(Symbol symbol, const QString &text, bool isAction, QWidget *parent = nullptr);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    Symbol m_symbol;
    bool m_isAction;
};
