// The sync dialog as its owner drives it: which buttons each state shows, enabled or not and
// which one Return clicks, how the fields may be used, and what a click or key then asks for,
// with the password gone from the field once sent; the messages it shows; the last sync time.
#include "toolkit/RoundedButton.h"
#include "toolkit/Theme.h"
#include "views/CollectionRow.h"
#include "views/SyncDialog.h"

#include <QAccessible>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

using Texts = QStringList;

class TestSyncDialog : public QObject
{
    Q_OBJECT

    std::unique_ptr<SyncDialog> m_dialog;

    template <typename T> T *named(const QString &name) const
    {
        for (T *child : m_dialog->findChildren<T *>())
            if (child->accessibleName() == name)
                return child;
        return nullptr;
    }
    QLineEdit *field(const QString &name) const { return named<QLineEdit>(name); }
    // Steps as "disconnected server user", "connecting", "lists", "connected", "certificate".
    void drive(const Texts &steps)
    {
        for (const QString &step : steps) {
            const Texts words = step.split(' ');
            if (words[0] == "disconnected")
                m_dialog->showDisconnected(words.value(1).replace('_', ' '), words.value(2));
            else if (words[0] == "connecting")
                m_dialog->showConnecting();
            else if (words[0] == "lists")
                m_dialog->showCollections({{"/dav/ana/personal/", "Personal"},
                                           {"/dav/ana/trabajo/", "Trabajo"},
                                           {"/dav/ana/sin-nombre/", ""}});
            else if (words[0] == "connected")
                m_dialog->showConnected("cloud.example.org", "ana", "Trabajo");
            else if (words[0] == "certificate")
                m_dialog->showCertificateProblem(QString("ab").repeated(32));
        }
        QCoreApplication::processEvents();
    }

private slots:
    void init()
    {
        m_dialog = std::make_unique<SyncDialog>();
        m_dialog->show();
        m_dialog->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(m_dialog.get()));
    }
    void cleanup() { m_dialog.reset(); }

    // After the steps and what is typed ("user/password"): the buttons shown in order ('-'
    // disabled, '*' the prominent one Return clicks) and how the fields may be used (the
    // password row shows unless read-only), the lists shown; then after the actions, what the
    // dialog asks for ("closed" if no longer shown) and what the password field holds.
    void states_data()
    {
        for (const char *column : {"steps", "typed", "state", "actions", "heard", "password"})
            QTest::addColumn<QString>(column);
        const auto row = [](const char *name, const QString &steps, const char *typed,
                            const char *state, const char *actions, const QString &heard,
                            const char *password) {
            QTest::newRow(name) << steps << typed << state << actions << heard << password;
        };
        const char *start = "disconnected _cloud.example.org_", *idle = "Cerrar Conectar* editable",
                   *off = "Cerrar -Conectar* editable",
                   *lists = "disconnected s u, connecting, lists";
        const QString connect = "connectRequested cloud.example.org ana s3cr3t";
        row("no user: Return sends nothing", "disconnected s", "/s3cr3t", off, "Return", "",
            "s3cr3t");
        row("a blank server is none; Escape", "disconnected _ u", "/s3cr3t", off, "Escape",
            "closed", "");
        row("Conectar: trimmed", start, " ana /s3cr3t", idle, "click Conectar", connect, "");
        row("Return in the password field", start, "ana/s3cr3t", idle, "Return", connect, "");
        row("connecting", "disconnected s u, connecting", "", "Cerrar -Conectar* disabled",
            "Return", "", "");
        row("the server's lists", lists, "", "Desconectar Cerrar read-only",
            "click Trabajo; Return on Personal; click Crear la lista «Lorvane»",
            "collectionChosen /dav/ana/trabajo/;collectionChosen /dav/ana/personal/;"
            "createCollectionRequested",
            "");
        row("connected", QString(lists) + ", connected", "",
            "Desconectar Cerrar Sincronizar ahora* read-only", "Return; click Desconectar",
            "syncNowRequested;disconnectRequested", "");
        row("disconnected again, no password; Cerrar", "connected, disconnected s u", "", idle,
            "click Cerrar", "closed", "");
        row("trust the certificate", "certificate", "/s3cr3t", off,
            "click Confiar en este certificado", "certificateTrusted " + QString("ab").repeated(32),
            "s3cr3t");
    }
    void states()
    {
        QFETCH(QString, steps);
        QFETCH(QString, typed);
        QFETCH(QString, state);
        drive(steps.split(", "));
        Texts got;
        const auto hear = [&got](const char *name) {
            return [&got, name](auto... words) { got.append(Texts{name, words...}.join(' ')); };
        };
        SyncDialog *d = m_dialog.get();
        connect(d, &SyncDialog::connectRequested, this, hear("connectRequested"));
        connect(d, &SyncDialog::collectionChosen, this, hear("collectionChosen"));
        connect(d, &SyncDialog::createCollectionRequested, this, hear("createCollectionRequested"));
        connect(d, &SyncDialog::syncNowRequested, this, hear("syncNowRequested"));
        connect(d, &SyncDialog::disconnectRequested, this, hear("disconnectRequested"));
        connect(d, &SyncDialog::certificateTrusted, this, hear("certificateTrusted"));
        QLineEdit *password = field("Contraseña");
        QTest::keyClicks(field("Usuario"), typed.section('/', 0, 0));
        if (!typed.isEmpty()) {
            password->setFocus();
            QTest::keyClicks(password, typed.section('/', 1));
        }
        const QString fields = state.section(' ', -1);
        Texts shown;
        for (const char *name : {"Desconectar", "Cerrar", "Conectar", "Sincronizar ahora"}) {
            auto *button = named<RoundedButton>(name);
            QVERIFY2(button, name);
            QCOMPARE(button->isProminent(), button->isDefault());
            if (button->isVisible())
                shown.append((button->isEnabled() ? "" : "-") + QString(name) +
                             (button->isProminent() ? "*" : ""));
        }
        QCOMPARE(shown.join(' '), state.section(' ', 0, -2));
        for (QLineEdit *edit : {field("Servidor"), field("Usuario"), password})
            if (edit != password || fields != "read-only")
                QCOMPARE(!edit->isEnabled()   ? "disabled"
                         : edit->isReadOnly() ? "read-only"
                                              : "editable",
                         fields);
        QCOMPARE(password->isVisible(), fields != "read-only");
        QCOMPARE(password->echoMode(), QLineEdit::Password);
        QCOMPARE(field("Servidor")->placeholderText(), "cloud.example.org");
        // The lists by their names, a nameless one by its path, then the row that makes one.
        QList<CollectionRow *> shownRows = m_dialog->findChildren<CollectionRow *>();
        shownRows.removeIf([](const CollectionRow *row) { return !row->isVisible(); });
        std::sort(shownRows.begin(), shownRows.end(),
                  [](auto *a, auto *b) { return a->y() < b->y(); });
        Texts rows;
        for (CollectionRow *row : shownRows)
            rows.append(QAccessible::queryAccessibleInterface(row)->text(QAccessible::Name));
        QCOMPARE(rows, steps.endsWith("lists") ? Texts({"Personal", "Trabajo", "sin-nombre",
                                                        "Crear la lista «Lorvane»"})
                                               : Texts());
        QFETCH(QString, actions);
        for (const QString &action : actions.split("; ")) {
            QWidget *focused = QApplication::focusWidget() ? QApplication::focusWidget() : d;
            if (action.startsWith("click "))
                QTest::mouseClick(named<QAbstractButton>(action.mid(6)), Qt::LeftButton);
            else if (action.startsWith("Return on ")) {
                named<QWidget>(action.mid(10))->setFocus();
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
            } else
                QTest::keyClick(focused, action == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        }
        if (!m_dialog->isVisible())
            got.append("closed");
        QTEST(got.join(u';'), "heard");
        QTEST(password->text(), "password");
    }

    // Messages after the calls: the texts shown, and which of them in red.
    void messages_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("noStore");
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<Texts>("shown");
        const QString never = "Última sincronización: nunca";
        const QString refused = "Usuario o contraseña incorrectos";
        const QString note = "No hay un depósito de contraseñas: la contraseña se guarda solo "
                             "durante esta sesión.";
        const QString fingerprint = Texts(4, QString("AB:").repeated(7) + "AB").join('\n');
        const QString untrusted = "El certificado del servidor no es de confianza.";
        QTest::newRow("never synced, no error") << "" << false << false << Texts{never};
        QTest::newRow("an error in red") << refused << false << false << Texts{never, refused};
        QTest::newRow("no secret store") << "" << true << false << Texts{note};
        QTest::newRow("an untrusted certificate: fingerprint in lines of eight, not the error")
            << "Certificado no válido" << false << true << Texts{untrusted, "SHA-256", fingerprint};
    }
    void messages()
    {
        QFETCH(QString, error);
        QFETCH(bool, noStore);
        QFETCH(bool, certificate);
        QFETCH(Texts, shown);
        m_dialog->showStatus(QDateTime(), error);
        m_dialog->showSecretStoreMissing(noStore);
        if (certificate)
            m_dialog->showCertificateProblem(QString("ab").repeated(32));
        QCoreApplication::processEvents();
        Texts visible;
        QString inRed;
        for (QLabel *label : m_dialog->findChildren<QLabel *>()) {
            if (!label->isVisible())
                continue;
            visible.append(label->text());
            if (label->palette().color(QPalette::WindowText) == Theme::of(label).red())
                inRed = label->text();
            // Every text is whole, inside the dialog.
            QVERIFY(m_dialog->rect().contains(
                QRect(label->mapTo(m_dialog.get(), QPoint()), label->size())));
            QVERIFY2(label->height() >= (label->wordWrap() ? label->heightForWidth(label->width())
                                                           : label->sizeHint().height()),
                     qPrintable(label->text()));
        }
        for (const QString &text : shown)
            QVERIFY2(visible.contains(text), qPrintable(text));
        QCOMPARE(inRed, certificate ? QString() : error);
        // Without the box, the error line tells of the error again.
        m_dialog->showCertificateProblem(QString());
        QVERIFY(!named<QWidget>("Confiar en este certificado")->isVisible());
        const QList<QLabel *> labels = m_dialog->findChildren<QLabel *>();
        QCOMPARE(std::any_of(
                     labels.begin(), labels.end(),
                     [&](QLabel *label) { return label->isVisible() && label->text() == error; }),
                 !error.isEmpty());
    }

    void lastSyncText_data()
    {
        QTest::addColumn<QDateTime>("lastSync");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("text");
        const QDateTime evening(QDate(2024, 3, 15), QTime(18, 0));
        const auto at = [](int month, int day, int hour, int minute, int year = 2024) {
            return QDateTime(QDate(year, month, day), QTime(hour, minute));
        };
        const auto row = [](const char *name, QDateTime lastSync, QDateTime now, const char *text) {
            QTest::newRow(name) << lastSync << now << "Última sincronización: " + QString(text);
        };
        row("never", QDateTime(), evening, "nunca");
        row("today", at(3, 15, 14, 5), evening, "hoy a las 14:05");
        row("one o'clock is singular", at(3, 15, 1, 5), evening, "hoy a la 1:05");
        row("yesterday, just before midnight", at(3, 14, 23, 59), at(3, 15, 0, 10),
            "ayer a las 23:59");
        row("earlier this year", at(3, 3, 9, 30), evening, "el 3 de marzo a las 9:30");
        row("another year", at(12, 28, 13, 0, 2023), evening,
            "el 28 de diciembre de 2023 a las 13:00");
    }
    void lastSyncText()
    {
        QFETCH(QDateTime, lastSync);
        QFETCH(QDateTime, now);
        QFETCH(QString, text);
        QCOMPARE(SyncDialog::lastSyncText(lastSync, now), text);
    }
};

QTEST_MAIN(TestSyncDialog)
#include "tst_syncdialog.moc"
