#include "views/SyncDialog.h"

#include "toolkit/Fonts.h"
#include "toolkit/RoundedButton.h"
#include "toolkit/Shapes.h"
#include "toolkit/Theme.h"
#include "views/CollectionRow.h"

#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QRegularExpression>
#include <QScrollArea>
#include <QVBoxLayout>

#include <algorithm>

namespace {

constexpr int dialogWidth = 360;
constexpr int margin = 20;
constexpr qreal fieldRadius = 7;
constexpr qreal boxRadius = 10;
constexpr int boxPadding = 12;
// More lists than this scroll inside the dialog.
constexpr int visibleRows = 5;

// Lines of eight "AB:" pairs, when the fingerprint is hexadecimal (with or without colons or
// spaces); anything else as given. Without the line breaks the one long word would not wrap.
QString groupedFingerprint(const QString &fingerprint)
{
    QString hex = fingerprint;
    hex.remove(QRegularExpression(QStringLiteral("[:\\s]")));
    static const QRegularExpression hexDigits(QStringLiteral("^[0-9A-Fa-f]+$"));
    if (hex.size() % 2 != 0 || !hexDigits.match(hex).hasMatch())
        return fingerprint;
    QStringList lines;
    QStringList bytes;
    for (qsizetype i = 0; i < hex.size(); i += 2) {
        bytes.append(hex.mid(i, 2).toUpper());
        if (bytes.size() == 8 || i + 2 >= hex.size()) {
            lines.append(bytes.join(QLatin1Char(':')));
            bytes.clear();
        }
    }
    return lines.join(QLatin1Char('\n'));
}

QRectF geometryIn(const QWidget *widget, const QWidget *ancestor)
{
    return QRectF(QRect(widget->mapTo(ancestor, QPoint(0, 0)), widget->size()));
}

// The tinted rounded box behind an editable field, and its ring while it has the focus; a
// read-only field reads as plain text.
void paintFieldBox(QPainter &painter, const QLineEdit *field, const QWidget *dialog,
                   const Theme &theme)
{
    if (!field->isVisible() || field->isReadOnly())
        return;
    const QRectF box = geometryIn(field, dialog);
    Shapes::fillRoundedRect(painter, box, fieldRadius,
                            theme.primary(field->isEnabled() ? 0.06 : 0.03));
    if (field->hasFocus()) {
        painter.setPen(QPen(Theme::accent(0.8), 1.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(Shapes::continuousRoundedRect(box.adjusted(0.75, 0.75, -0.75, -0.75),
                                                       fieldRadius - 0.75));
    }
}

QString nameOf(const SyncDialog::Collection &collection)
{
    if (!collection.displayName.trimmed().isEmpty())
        return collection.displayName;
    // A list without a name is shown by the last part of its path.
    const QStringList parts = collection.href.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    return parts.isEmpty() ? collection.href : parts.last();
}

} // namespace

SyncDialog::SyncDialog(QWidget *parent) : QDialog(parent)
{
    setWindowTitle(tr("Sincronizar"));
    setModal(false);
    setFont(Fonts::rounded(13));

    const auto primary = [](const Theme &theme) { return theme.primary(); };
    const auto secondary = [](const Theme &theme) { return theme.secondary(); };
    const auto red = [](const Theme &theme) { return theme.red(); };

    auto *heading = makeLabel(tr("Sincronizar"), Fonts::rounded(17, QFont::Bold), primary, false);

    m_server = makeField(tr("Servidor"));
    m_server->setPlaceholderText(QStringLiteral("cloud.example.org"));
    m_server->setInputMethodHints(Qt::ImhUrlCharactersOnly | Qt::ImhNoAutoUppercase);
    m_user = makeField(tr("Usuario"));
    m_user->setInputMethodHints(Qt::ImhNoAutoUppercase | Qt::ImhNoPredictiveText);
    m_password = makeField(tr("Contraseña"));
    m_password->setEchoMode(QLineEdit::Password);
    m_passwordHint = makeLabel(tr("Usa una contraseña de aplicación si tu servidor la ofrece "
                                  "(Nextcloud, Fastmail)."),
                               Fonts::rounded(12), secondary, true);

    auto *fields = new QGridLayout;
    fields->setHorizontalSpacing(10);
    fields->setVerticalSpacing(8);
    fields->setColumnStretch(1, 1);
    int row = 0;
    for (QLineEdit *field : {m_server, m_user, m_password}) {
        QLabel *label = makeLabel(field->accessibleName(), Fonts::rounded(13), secondary, false);
        label->setBuddy(field);
        fields->addWidget(label, row, 0, Qt::AlignVCenter);
        fields->addWidget(field, row++, 1);
        if (field == m_password)
            m_passwordLabel = label;
    }
    fields->addWidget(m_passwordHint, row, 1);

    m_secretStoreNote = makeLabel(tr("No hay un depósito de contraseñas: la contraseña se guarda "
                                     "solo durante esta sesión."),
                                  Fonts::rounded(12), secondary, true);
    m_secretStoreNote->hide();

    m_certificate = new QWidget(this);
    auto *certificateText = makeLabel(tr("El certificado del servidor no es de confianza."),
                                      Fonts::rounded(13, QFont::Medium), primary, true);
    auto *fingerprintCaption =
        makeLabel(QStringLiteral("SHA-256"), Fonts::rounded(11), secondary, false);
    QFont monospace = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    monospace.setPixelSize(12);
    m_fingerprintLabel = makeLabel(QString(), monospace, primary, false);
    m_fingerprintLabel->setTextFormat(Qt::PlainText);
    m_fingerprintLabel->setTextInteractionFlags(Qt::TextSelectableByMouse |
                                                Qt::TextSelectableByKeyboard);
    m_fingerprintLabel->setCursor(Qt::IBeamCursor);
    m_trust = new RoundedButton(tr("Confiar en este certificado"), this);
    m_trust->setAccessibleName(m_trust->text());
    auto *certificate = new QVBoxLayout(m_certificate);
    certificate->setContentsMargins(boxPadding, boxPadding, boxPadding, boxPadding);
    certificate->setSpacing(6);
    for (QWidget *part : {certificateText, fingerprintCaption, m_fingerprintLabel})
        certificate->addWidget(part);
    certificate->addSpacing(2);
    certificate->addWidget(m_trust, 0, Qt::AlignLeft);
    m_certificate->hide();

    m_collections = new QWidget(this);
    auto *listCaption = makeLabel(tr("Elige la lista de tareas"), Fonts::rounded(12, QFont::Medium),
                                  secondary, false);
    m_collectionScroll = new QScrollArea(m_collections);
    m_collectionScroll->setFrameShape(QFrame::NoFrame);
    m_collectionScroll->setWidgetResizable(true);
    m_collectionScroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_collectionScroll->setFocusPolicy(Qt::NoFocus);
    // The material behind the rows is the dialog's drawing; the scroll area stays clear.
    m_collectionScroll->viewport()->setAutoFillBackground(false);
    auto *list = new QWidget;
    list->setAutoFillBackground(false);
    m_collectionLayout = new QVBoxLayout(list);
    m_collectionLayout->setContentsMargins(0, 0, 0, 0);
    m_collectionLayout->setSpacing(0);
    m_createRow =
        new CollectionRow(Symbol::PlusCircleFill, tr("Crear la lista «Lorvane»"), true, list);
    m_collectionLayout->addWidget(m_createRow);
    m_collectionScroll->setWidget(list);
    list->setAutoFillBackground(false); // setWidget() turned it on
    auto *collections = new QVBoxLayout(m_collections);
    collections->setContentsMargins(0, 0, 0, 0);
    collections->setSpacing(6);
    collections->addWidget(listCaption);
    collections->addWidget(m_collectionScroll);
    m_collections->hide();

    m_status = new QWidget(this);
    m_collectionLine = makeLabel(QString(), Fonts::rounded(12, QFont::Medium), secondary, true);
    m_lastSync = makeLabel(QString(), Fonts::rounded(12), secondary, true);
    m_error = makeLabel(QString(), Fonts::rounded(12), red, true);
    auto *status = new QVBoxLayout(m_status);
    status->setContentsMargins(0, 0, 0, 0);
    status->setSpacing(4);
    for (QLabel *line : {m_collectionLine, m_lastSync, m_error}) {
        line->hide();
        status->addWidget(line);
    }
    m_status->hide();

    m_disconnect = new RoundedButton(tr("Desconectar"), this);
    m_disconnect->setDestructive(true);
    m_close = new RoundedButton(tr("Cerrar"), this);
    m_connect = new RoundedButton(tr("Conectar"), this);
    m_syncNow = new RoundedButton(tr("Sincronizar ahora"), this);
    auto *buttons = new QHBoxLayout;
    buttons->setSpacing(8);
    buttons->addWidget(m_disconnect);
    buttons->addStretch(1);
    for (RoundedButton *button : {m_disconnect, m_close, m_connect, m_syncNow}) {
        button->setAccessibleName(button->text());
        if (button != m_disconnect)
            buttons->addWidget(button);
    }

    auto *column = new QVBoxLayout(this);
    // The height follows the wrapped texts through fitHeight(), not the layout.
    column->setSizeConstraint(QLayout::SetNoConstraint);
    column->setContentsMargins(margin, 18, margin, 16);
    column->setSpacing(14);
    column->addWidget(heading);
    column->addLayout(fields);
    column->addWidget(m_secretStoreNote);
    column->addWidget(m_certificate);
    column->addWidget(m_collections);
    column->addWidget(m_status);
    column->addSpacing(2);
    column->addLayout(buttons);

    for (QLineEdit *field : {m_server, m_user})
        connect(field, &QLineEdit::textChanged, this, &SyncDialog::updateConnectButton);
    // Return in a field reaches the dialog, which clicks its default button: "Conectar".
    connect(m_connect, &QAbstractButton::clicked, this, &SyncDialog::requestConnect);
    connect(m_syncNow, &QAbstractButton::clicked, this, &SyncDialog::syncNowRequested);
    connect(m_disconnect, &QAbstractButton::clicked, this, &SyncDialog::disconnectRequested);
    connect(m_close, &QAbstractButton::clicked, this, &QDialog::reject);
    connect(m_trust, &QAbstractButton::clicked, this,
            [this] { emit certificateTrusted(m_fingerprint); });
    connect(m_createRow, &QAbstractButton::clicked, this, &SyncDialog::createCollectionRequested);
    connect(qApp, &QApplication::focusChanged, this, [this](QWidget *old, QWidget *now) {
        if (now && now->parentWidget() == m_collectionScroll->widget())
            m_collectionScroll->ensureWidgetVisible(now, 0, 0);
        // The ring around a focused field is drawn by the dialog.
        for (QWidget *field : {m_server, m_user, m_password})
            if (field == old || field == now)
                update();
    });

    applyTheme();
    updateTabOrder();
    showDisconnected(QString(), QString());
}

QLabel *SyncDialog::makeLabel(const QString &text, const QFont &font, ColorRole color, bool wrapped)
{
    auto *label = new QLabel(text, this);
    label->setFont(font);
    label->setWordWrap(wrapped);
    m_labelColors.emplace_back(label, std::move(color));
    return label;
}

QLineEdit *SyncDialog::makeField(const QString &name)
{
    auto *field = new QLineEdit(this);
    field->setFrame(false);
    field->setAccessibleName(name);
    field->setFont(Fonts::rounded(13));
    // The text sits inside the tinted box the dialog draws over the whole field.
    field->setTextMargins(8, 5, 8, 5);
    field->setAttribute(Qt::WA_MacShowFocusRect, false);
    return field;
}

void SyncDialog::showDisconnected(const QString &server, const QString &user)
{
    m_server->setText(server);
    m_user->setText(user);
    setState(State::Disconnected);
    // The first field left to fill in takes the focus (at once, or when the dialog is shown).
    QLineEdit *next = server.isEmpty() ? m_server : user.isEmpty() ? m_user : m_password;
    next->setFocus();
}

void SyncDialog::showConnecting()
{
    setState(State::Connecting);
}

void SyncDialog::showCollections(const QList<Collection> &collections)
{
    // Later: the old rows may be the sender of the click that led here.
    for (CollectionRow *row : std::as_const(m_collectionRows)) {
        row->hide();
        row->deleteLater();
    }
    m_collectionRows.clear();
    for (const Collection &collection : collections) {
        auto *row = new CollectionRow(Symbol::Checklist, nameOf(collection), false,
                                      m_collectionScroll->widget());
        const QString href = collection.href;
        connect(row, &QAbstractButton::clicked, this,
                [this, href] { emit collectionChosen(href); });
        m_collectionLayout->insertWidget(int(m_collectionRows.size()), row);
        m_collectionRows.append(row);
    }
    const int shown = std::min<int>(int(m_collectionRows.size()) + 1, visibleRows);
    m_collectionScroll->setFixedHeight(shown * CollectionRow::rowHeight);
    updateTabOrder();
    setState(State::Collections);
}

void SyncDialog::showConnected(const QString &server, const QString &user,
                               const QString &collectionName)
{
    m_server->setText(server);
    m_user->setText(user);
    m_collectionLine->setText(tr("Lista: %1").arg(collectionName));
    setState(State::Connected);
}

void SyncDialog::showStatus(const QDateTime &lastSync, const QString &error)
{
    m_lastSync->setText(lastSyncText(lastSync, QDateTime::currentDateTime()));
    m_lastSync->show();
    m_error->setText(error);
    updateErrorLine();
    m_status->show();
    fitHeight();
}

void SyncDialog::showCertificateProblem(const QString &fingerprint)
{
    m_fingerprint = fingerprint;
    m_fingerprintLabel->setText(groupedFingerprint(fingerprint));
    m_fingerprintLabel->setAccessibleName(fingerprint);
    m_certificate->setVisible(!fingerprint.isEmpty());
    updateErrorLine();
    fitHeight();
    update();
}

void SyncDialog::updateErrorLine()
{
    m_error->setVisible(!m_error->text().isEmpty() && m_fingerprint.isEmpty());
}

void SyncDialog::showSecretStoreMissing(bool missing)
{
    m_secretStoreNote->setVisible(missing);
    fitHeight();
}

QString SyncDialog::lastSyncText(const QDateTime &lastSync, const QDateTime &now)
{
    if (!lastSync.isValid())
        return tr("Última sincronización: nunca");
    const QDateTime local = lastSync.toLocalTime();
    const QDate day = local.date();
    const QDate today = now.toLocalTime().date();
    const QString time = local.time().toString(u"H:mm");
    // "a la 1:05" but "a las 14:05": the hour one is singular.
    const QString at = (local.time().hour() == 1 ? tr("a la %1") : tr("a las %1")).arg(time);
    const QLocale spanish(QLocale::Spanish, QLocale::Spain);
    QString when;
    if (day == today)
        when = tr("hoy %1").arg(at);
    else if (day == today.addDays(-1))
        when = tr("ayer %1").arg(at);
    else if (day.year() == today.year())
        when = tr("el %1 %2").arg(spanish.toString(day, u"d 'de' MMMM"), at);
    else
        when = tr("el %1 %2").arg(spanish.toString(day, u"d 'de' MMMM 'de' yyyy"), at);
    return tr("Última sincronización: %1").arg(when);
}

void SyncDialog::setState(State state)
{
    m_state = state;
    const bool signingIn = state == State::Disconnected || state == State::Connecting;
    // A disabled field would pass the focus on to the next button, where a second Return
    // would click it; the dialog holds the focus meanwhile, where Return does nothing.
    if (state == State::Connecting && focusWidget() &&
        QList<QWidget *>{m_server, m_user, m_password}.contains(focusWidget()))
        setFocus();
    for (QLineEdit *field : {m_server, m_user, m_password}) {
        field->setEnabled(state != State::Connecting);
        field->setReadOnly(!signingIn);
    }
    // Once connected the password is gone from here: there is nothing to show in its row.
    for (QWidget *part :
         std::initializer_list<QWidget *>{m_passwordLabel, m_password, m_passwordHint})
        part->setVisible(signingIn);
    m_connect->setVisible(signingIn);
    m_syncNow->setVisible(state == State::Connected);
    m_disconnect->setVisible(!signingIn);
    m_collections->setVisible(state == State::Collections);
    m_collectionLine->setVisible(state == State::Connected);
    m_status->setVisible(state == State::Connected || !m_lastSync->isHidden());
    setMainButton(signingIn ? m_connect : state == State::Connected ? m_syncNow : nullptr);
    updateConnectButton();
    // From a field that is now read-only or hidden, the focus goes on to what the state is
    // for: the first list, or "Sincronizar ahora".
    QWidget *focused = focusWidget();
    const bool inField =
        !focused || QList<QWidget *>{m_server, m_user, m_password}.contains(focused);
    if (inField && state == State::Collections)
        (m_collectionRows.isEmpty() ? m_createRow : m_collectionRows.first())->setFocus();
    else if (inField && state == State::Connected)
        m_syncNow->setFocus();
    fitHeight();
    update();
}

void SyncDialog::setMainButton(RoundedButton *button)
{
    for (RoundedButton *each : {m_connect, m_syncNow, m_disconnect, m_close, m_trust}) {
        each->setProminent(each == button);
        if (each != button)
            each->setDefault(false);
    }
    if (button)
        button->setDefault(true);
}

void SyncDialog::updateConnectButton()
{
    m_connect->setEnabled(m_state == State::Disconnected && !m_server->text().trimmed().isEmpty() &&
                          !m_user->text().trimmed().isEmpty());
}

void SyncDialog::requestConnect()
{
    emit connectRequested(m_server->text().trimmed(), m_user->text().trimmed(), m_password->text());
    m_password->clear();
}

void SyncDialog::updateTabOrder()
{
    // Top to bottom, whatever order the parts were made in; hidden ones are passed over.
    QList<QWidget *> chain{m_server, m_user, m_password, m_fingerprintLabel, m_trust};
    for (CollectionRow *row : std::as_const(m_collectionRows))
        chain.append(row);
    chain << m_createRow << m_disconnect << m_close << m_connect << m_syncNow;
    for (qsizetype i = 1; i < chain.size(); ++i)
        setTabOrder(chain[i - 1], chain[i]);
}

void SyncDialog::applyTheme()
{
    const Theme theme = Theme::of(this);
    for (const auto &[label, color] : m_labelColors) {
        QPalette palette = label->palette();
        palette.setColor(QPalette::WindowText, color(theme));
        palette.setColor(QPalette::Text, color(theme));
        label->setPalette(palette);
    }
    for (QLineEdit *field : {m_server, m_user, m_password}) {
        theme.applyTo(field);
        QPalette palette = field->palette();
        palette.setColor(QPalette::Disabled, QPalette::Text, theme.tertiary());
        field->setPalette(palette);
    }
}

void SyncDialog::fitHeight()
{
    // The wrapped texts make the height depend on the width, which a window's layout does not
    // follow by itself.
    // The boxes have layouts of their own, whose news would reach this one only later.
    for (QWidget *box : {m_certificate, m_collections, m_status})
        box->updateGeometry();
    QLayout *column = layout();
    column->invalidate();
    column->activate();
    const int height = column->hasHeightForWidth() ? column->totalHeightForWidth(dialogWidth)
                                                   : column->totalSizeHint().height();
    if (size() != QSize(dialogWidth, height))
        setFixedSize(dialogWidth, height);
}

bool SyncDialog::event(QEvent *event)
{
    const bool handled = QDialog::event(event);
    // A part that changed its size hint since the last fit, such as a label given a new font.
    if (event->type() == QEvent::LayoutRequest)
        fitHeight();
    return handled;
}

void SyncDialog::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const Theme theme = Theme::of(this);
    painter.fillRect(rect(), theme.windowBackground());
    for (const QLineEdit *field : {m_server, m_user, m_password})
        paintFieldBox(painter, field, this, theme);
    if (m_certificate->isVisible()) {
        const QRectF box = geometryIn(m_certificate, this);
        Shapes::fillRoundedRect(painter, box, boxRadius, theme.red(0.10));
        painter.setPen(QPen(theme.red(0.30), 1));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(
            Shapes::continuousRoundedRect(box.adjusted(0.5, 0.5, -0.5, -0.5), boxRadius));
    }
    if (m_collections->isVisible())
        Shapes::fillMaterial(painter, geometryIn(m_collectionScroll, this), boxRadius, theme);
}

SyncDialog::~SyncDialog()
{
    // Focus moves while the children go: the dialog no longer hears of it by then.
    disconnect(qApp, &QApplication::focusChanged, this, nullptr);
}

void SyncDialog::changeEvent(QEvent *event)
{
    // The labels and fields hold colours of the appearance.
    if (event->type() == QEvent::PaletteChange)
        applyTheme();
    QDialog::changeEvent(event);
}

void SyncDialog::hideEvent(QHideEvent *event)
{
    // A password typed but never sent does not stay behind in a closed window.
    m_password->clear();
    QDialog::hideEvent(event);
}
