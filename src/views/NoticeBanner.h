#pragma once

#include <QWidget>

class PlainButton;
class SymbolLabel;
class TextButton;

// A message about the list itself, shown above the input line: a warning sign, a wrapped
// text, optionally an action under it and a button that closes it. Screen readers meet it as
// an alert, read out when it appears or its text changes.
class NoticeBanner : public QWidget
{
    Q_OBJECT

public:
    explicit NoticeBanner(QWidget *parent = nullptr);

    QString message() const { return m_message; }
    // An empty action text shows no action.
    void setMessage(const QString &message, const QString &actionText = QString());
    void setClosable(bool closable);

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;

signals:
    void actionClicked();
    void closeClicked();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    QRectF boxRect() const;
    qreal textWidth(int width) const;
    qreal textHeight(int width) const;
    void placeChildren();
    void updateCloseColor();

    QString m_message;
    SymbolLabel *m_sign = nullptr;
    TextButton *m_action = nullptr;
    PlainButton *m_close = nullptr;
};
