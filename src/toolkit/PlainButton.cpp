#include "toolkit/PlainButton.h"

#include "toolkit/Motion.h"

#include <QPainter>
#include <QVariantAnimation>

namespace {

QColor mix(const QColor &from, const QColor &to, qreal t)
{
    // Interpolated in premultiplied form, so that fading from a transparent colour does not
    // pass through the transparent colour's (meaningless) hue.
    const qreal a0 = from.alphaF(), a1 = to.alphaF();
    const qreal alpha = a0 + (a1 - a0) * t;
    if (alpha <= 0)
        return QColor::fromRgbF(0, 0, 0, 0);
    auto channel = [&](qreal c0, qreal c1) {
        return qBound(0.0, (c0 * a0 + (c1 * a1 - c0 * a0) * t) / alpha, 1.0);
    };
    return QColor::fromRgbF(float(channel(from.redF(), to.redF())),
                            float(channel(from.greenF(), to.greenF())),
                            float(channel(from.blueF(), to.blueF())), float(alpha));
}

} // namespace

PlainButton::PlainButton(Symbol symbol, qreal pixelSize, QWidget *parent)
    : QAbstractButton(parent), m_symbol(symbol), m_pixelSize(pixelSize), m_color(Qt::black),
      m_shownColor(Qt::black)
{
    setCursor(Qt::PointingHandCursor);
    // Like a desktop toolbar button: a click does not take the keyboard focus away from
    // the field being typed in.
    setFocusPolicy(Qt::NoFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
}

void PlainButton::setSymbol(Symbol symbol)
{
    if (symbol == m_symbol)
        return;
    const bool resized = Symbols::size(symbol, m_pixelSize) != Symbols::size(m_symbol, m_pixelSize);
    m_symbol = symbol;
    if (resized)
        updateGeometry();
    update();
}

void PlainButton::setColor(const QColor &color)
{
    // The same colour again leaves a running change towards it alone.
    if (color == m_color)
        return;
    m_color = color;

    const std::optional<Animation> animation = Motion::current();
    if (!animation || !isVisible() || animation->durationMs() <= 0 || m_shownColor == color) {
        if (m_colorAnimation)
            m_colorAnimation->stop();
        m_shownColor = color;
        update();
        return;
    }

    if (!m_colorAnimation) {
        m_colorAnimation = new QVariantAnimation(this);
        m_colorAnimation->setStartValue(0.0);
        m_colorAnimation->setEndValue(1.0);
        connect(m_colorAnimation, &QVariantAnimation::valueChanged, this,
                [this](const QVariant &value) {
                    m_shownColor = mix(m_fromColor, m_color, value.toReal());
                    update();
                });
        connect(m_colorAnimation, &QVariantAnimation::finished, this, [this] {
            m_shownColor = m_color;
            update();
        });
    }
    m_colorAnimation->stop();
    m_fromColor = m_shownColor;
    m_colorAnimation->setDuration(animation->durationMs());
    m_colorAnimation->setEasingCurve(animation->easingCurve());
    m_colorAnimation->start();
}

QSize PlainButton::sizeHint() const
{
    const QSizeF box = Symbols::size(m_symbol, m_pixelSize);
    return {qCeil(box.width()), qCeil(box.height())};
}

void PlainButton::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    Symbols::paint(painter, m_symbol, QRectF(rect()), m_pixelSize, m_shownColor);
}
