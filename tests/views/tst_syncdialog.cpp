// The sync dialog as its owner drives it: which buttons each state shows, enabled or not and
// which one Return clicks, and how the fields may be used; what each click or key asks for,
// once, with the password gone from the field after it was sent; the messages it shows;
// the time of the last sync in words.
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

    // The buttons shown, in order: '-' disabled, '*' the prominent one Return clicks from a
    // field; the fields editable, disabled or read-only; whether the password row shows.
    void states_data()
    {
        QTest::addColumn<Texts>("steps");
        QTest::addColumn<QString>("buttons");
        QTest::addColumn<QString>("fields"); // the password row shows unless read-only
        const auto row = [](const char *name, const QString &steps, const char *buttons,
                            const char *fields) {
            QTest::newRow(name) << steps.split(", ") << QString(buttons) << QString(fields);
        };
        row("nothing filled in", "disconnected", "Cerrar -Conectar*", "editable");
        row("server and user filled in", "disconnected s u", "Cerrar Conectar*", "editable");
        row("a blank server is none", "disconnected _ u", "Cerrar -Conectar*", "editable");
        row("connecting", "disconnected s u, connecting", "Cerrar -Conectar*", "disabled");
        row("the server's lists", "disconnected s u, connecting, lists", "Desconectar Cerrar",
            "read-only");
        row("connected", "disconnected s u, connecting, lists, connected",
            "Desconectar Cerrar Sincronizar ahora*", "read-only");
        row("disconnected again", "connected, disconnected s u", "Cerrar Conectar*", "editable");
    }
    void states()
    {
        QFETCH(Texts, steps);
        QFETCH(QString, buttons);
        QFETCH(QString, fields);
        const bool password = fields != "read-only";
        drive(steps);
        Texts shown;
        const Texts order{"Desconectar", "Cerrar", "Conectar", "Sincronizar ahora"};
        for (const QString &name : order) {
            auto *button = named<RoundedButton>(name);
            QVERIFY2(button, qPrintable(name));
            QCOMPARE(button->isProminent(), button->isDefault());
            if (button->isVisible())
                shown.append((button->isEnabled() ? "" : "-") + name +
                             (button->isProminent() ? "*" : ""));
        }
        QCOMPARE(shown.join(' '), buttons);
        for (const char *name : {"Servidor", "Usuario", "Contraseña"}) {
            QLineEdit *edit = field(name);
            QVERIFY2(edit, name);
            if (edit != field("Contraseña") || password)
                QCOMPARE(!edit->isEnabled()   ? "disabled"
                         : edit->isReadOnly() ? "read-only"
                                              : "editable",
                         fields);
        }
        QCOMPARE(field("Contraseña")->isVisible(), password);
        QCOMPARE(field("Contraseña")->echoMode(), QLineEdit::Password);
        QCOMPARE(field("Servidor")->placeholderText(), "cloud.example.org");
        // The lists by their names, a nameless one by its path, then the row that makes one.
        QList<CollectionRow *> shownRows = m_dialog->findChildren<CollectionRow *>();
        shownRows.removeIf([](const CollectionRow *row) { return !row->isVisible(); });
        std::sort(shownRows.begin(), shownRows.end(),
                  [](auto *a, auto *b) { return a->y() < b->y(); });
        Texts rows;
        for (CollectionRow *row : shownRows)
            rows.append(QAccessible::queryAccessibleInterface(row)->text(QAccessible::Name));
        QCOMPARE(rows, steps.last() == "lists" ? Texts({"Personal", "Trabajo", "sin-nombre",
                                                        "Crear la lista «Lorvane»"})
                                               : Texts());
    }

    // What the user does (after typing a user and "s3cr3t" where the fields take them), what
    // the dialog then asks for, "closed" if it is no longer shown, and what the password
    // field holds: sent or closed, it is cleared.
    void requests_data()
    {
        for (const char *column : {"steps", "user", "action", "heard", "password"})
            QTest::addColumn<QString>(column);
        const char *start = "disconnected _cloud.example.org_";
        const char *connect = "connectRequested cloud.example.org ana s3cr3t";
        const auto row = [](const char *name, const char *steps, const char *user,
                            const char *action, const QString &heard, const char *password) {
            QTest::newRow(name) << steps << user << action << heard << password;
        };
        row("Conectar: trimmed server and user", start, " ana ", "click Conectar", connect, "");
        row("Return in the password field", start, "ana", "Return", connect, "");
        row("Return without a user: nothing", start, "", "Return", "", "s3cr3t");
        row("Return while connecting: nothing", "disconnected s u, connecting", "", "Return", "",
            "");
        row("a list's row", "lists", "", "click Trabajo", "collectionChosen /dav/ana/trabajo/", "");
        row("Return on a list's row", "lists", "", "Return on Personal",
            "collectionChosen /dav/ana/personal/", "");
        row("the row that makes a list", "lists", "", "click Crear la lista «Lorvane»",
            "createCollectionRequested", "");
        row("Return while connected: sync now", "connected", "", "Return", "syncNowRequested", "");
        row("Desconectar", "connected", "", "click Desconectar", "disconnectRequested", "");
        row("trust the certificate", "certificate", "", "click Confiar en este certificado",
            "certificateTrusted " + QString("ab").repeated(32), "s3cr3t");
        row("Escape closes", start, "ana", "Escape", "closed", "");
        row("Cerrar closes", start, "ana", "click Cerrar", "closed", "");
    }
    void requests()
    {
        QFETCH(QString, user);
        QFETCH(QString, action);
        QFETCH(QString, steps);
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
        QLineEdit *passwordField = field("Contraseña");
        if (passwordField->isVisible() && passwordField->isEnabled()) {
            QTest::keyClicks(field("Usuario"), user);
            passwordField->setFocus();
            QTest::keyClicks(passwordField, "s3cr3t");
        }
        QWidget *focused = QApplication::focusWidget() ? QApplication::focusWidget() : d;
        if (action.startsWith("click "))
            QTest::mouseClick(named<QAbstractButton>(action.mid(6)), Qt::LeftButton);
        else if (action.startsWith("Return on ")) {
            named<QWidget>(action.mid(10))->setFocus();
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        } else
            QTest::keyClick(focused, action == "Return" ? Qt::Key_Return : Qt::Key_Escape);
        if (!m_dialog->isVisible())
            got.append("closed");
        QTEST(got.join(u';'), "heard");
        QTEST(passwordField->text(), "password");
    }

    // Messages after the calls: the texts shown, and which of them in red.
    void messages_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("noStore");
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<Texts>("shown");
        const QString never = "Última sincronización: nunca";
        const QString refused = "El servidor rechazó la contraseña.";
        const QString note = "No hay un depósito de contraseñas: la contraseña se guarda solo "
                             "durante esta sesión.";
        const QString fingerprint = Texts(4, QString("AB:").repeated(7) + "AB").join('\n');
        const QString untrusted = "El certificado del servidor no es de confianza.";
        QTest::newRow("never synced, no error") << "" << false << false << Texts{never};
        QTest::newRow("an error in red") << refused << false << false << Texts{never, refused};
        QTest::newRow("no secret store") << "" << true << false << Texts{note};
        QTest::newRow("an untrusted certificate: fingerprint in lines of eight")
            << "" << false << true << Texts{untrusted, "SHA-256", fingerprint};
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
        QCOMPARE(inRed, error);
        m_dialog->showCertificateProblem(QString());
        QVERIFY(!named<QWidget>("Confiar en este certificado")->isVisible());
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
