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
        QTest::addColumn<QString>("fields");
        QTest::addColumn<bool>("password");
        auto row = [](const char *name, const QString &steps, const char *buttons,
                      const char *fields, bool password) {
            QTest::newRow(name) << steps.split(", ") << QString(buttons) << QString(fields)
                                << password;
        };
        row("nothing filled in: Conectar waits", "disconnected", "Cerrar -Conectar*", "editable",
            true);
        row("server and user filled in", "disconnected cloud.example.org ana", "Cerrar Conectar*",
            "editable", true);
        row("a blank server is none", "disconnected _ ana", "Cerrar -Conectar*", "editable", true);
        row("connecting", "disconnected cloud.example.org ana, connecting", "Cerrar -Conectar*",
            "disabled", true);
        row("the server's lists", "disconnected s u, connecting, lists", "Desconectar Cerrar",
            "read-only", false);
        row("connected", "disconnected s u, connecting, lists, connected",
            "Desconectar Cerrar Sincronizar ahora*", "read-only", false);
        row("disconnected again", "connected, disconnected s u", "Cerrar Conectar*", "editable",
            true);
    }
    void states()
    {
        QFETCH(Texts, steps);
        QFETCH(QString, buttons);
        QFETCH(QString, fields);
        QFETCH(bool, password);
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
    // the dialog then asks for, in order, whether it is still shown, and what the password
    // field holds: sent or closed, it is cleared.
    void requests_data()
    {
        QTest::addColumn<Texts>("steps");
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("action");
        QTest::addColumn<Texts>("heard");
        QTest::addColumn<bool>("shown");
        QTest::addColumn<QString>("password");
        const Texts start{"disconnected _cloud.example.org_"};
        const Texts connect{"connectRequested cloud.example.org ana s3cr3t"};
        auto row = [](const char *name, const Texts &steps, const char *user, const char *action,
                      const Texts &heard, bool shown, const char *password) {
            QTest::newRow(name) << steps << QString(user) << QString(action) << heard << shown
                                << QString(password);
        };
        row("Conectar: trimmed server and user, the password", start, " ana ", "click Conectar",
            connect, true, "");
        row("Return in the password field", start, "ana", "Return", connect, true, "");
        row("Return without a user: nothing", start, "", "Return", {}, true, "s3cr3t");
        row("Return while connecting: nothing", {"disconnected s u", "connecting"}, "", "Return",
            {}, true, "");
        row("a list's row", {"lists"}, "", "click Trabajo", {"collectionChosen /dav/ana/trabajo/"},
            true, "");
        row("Return on a list's row", {"lists"}, "", "Return on Personal",
            {"collectionChosen /dav/ana/personal/"}, true, "");
        row("the row that makes a list", {"lists"}, "", "click Crear la lista «Lorvane»",
            {"createCollectionRequested"}, true, "");
        row("Return while connected: sync now", {"connected"}, "", "Return", {"syncNowRequested"},
            true, "");
        row("Desconectar", {"connected"}, "", "click Desconectar", {"disconnectRequested"}, true,
            "");
        row("trust the certificate", {"certificate"}, "", "click Confiar en este certificado",
            {"certificateTrusted " + QString("ab").repeated(32)}, true, "s3cr3t");
        row("Escape closes", start, "ana", "Escape", {}, false, "");
        row("Cerrar closes", start, "ana", "click Cerrar", {}, false, "");
    }
    void requests()
    {
        QFETCH(Texts, steps);
        QFETCH(QString, user);
        QFETCH(QString, action);
        QFETCH(Texts, heard);
        QFETCH(bool, shown);
        QFETCH(QString, password);
        drive(steps);
        Texts got;
        SyncDialog *d = m_dialog.get();
        connect(d, &SyncDialog::connectRequested, this, [&](auto s, auto u, auto p) {
            got.append(Texts{"connectRequested", s, u, p}.join(' '));
        });
        connect(d, &SyncDialog::collectionChosen, this,
                [&](auto href) { got.append("collectionChosen " + href); });
        connect(d, &SyncDialog::createCollectionRequested, this,
                [&] { got.append("createCollectionRequested"); });
        connect(d, &SyncDialog::syncNowRequested, this, [&] { got.append("syncNowRequested"); });
        connect(d, &SyncDialog::disconnectRequested, this,
                [&] { got.append("disconnectRequested"); });
        connect(d, &SyncDialog::certificateTrusted, this,
                [&](auto fingerprint) { got.append("certificateTrusted " + fingerprint); });
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
        QCOMPARE(got, heard);
        QCOMPARE(m_dialog->isVisible(), shown);
        QCOMPARE(passwordField->text(), password);
    }

    // Messages after the calls: the texts shown, and which of them in red.
    void messages_data()
    {
        QTest::addColumn<QString>("error");
        QTest::addColumn<bool>("noStore");
        QTest::addColumn<bool>("certificate");
        QTest::addColumn<Texts>("shown");
        QTest::addColumn<QString>("red");
        const QString note = "No hay un depósito de contraseñas: la contraseña se guarda solo "
                             "durante esta sesión.";
        const QString untrusted = "El certificado del servidor no es de confianza.";
        const QString fingerprint = QString("AB:").repeated(7) + "AB";
        QTest::newRow("never synced, no error")
            << "" << false << false << Texts{"Última sincronización: nunca"} << "";
        QTest::newRow("an error in red")
            << "El servidor rechazó la contraseña." << false << false
            << Texts{"Última sincronización: nunca", "El servidor rechazó la contraseña."}
            << "El servidor rechazó la contraseña.";
        QTest::newRow("no secret store") << "" << true << false << Texts{note} << "";
        QTest::newRow("an untrusted certificate: fingerprint in lines of eight")
            << "" << false << true << Texts{untrusted, "SHA-256", Texts(4, fingerprint).join('\n')}
            << "";
    }
    void messages()
    {
        QFETCH(QString, error);
        QFETCH(bool, noStore);
        QFETCH(bool, certificate);
        QFETCH(Texts, shown);
        QFETCH(QString, red);
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
        QCOMPARE(inRed, red);
        m_dialog->showCertificateProblem(QString());
        QVERIFY(!named<QWidget>("Confiar en este certificado")->isVisible());
    }

    void lastSyncText_data()
    {
        QTest::addColumn<QDateTime>("lastSync");
        QTest::addColumn<QDateTime>("now");
        QTest::addColumn<QString>("text");
        const QDateTime evening(QDate(2024, 3, 15), QTime(18, 0));
        auto at = [](int month, int day, int hour, int minute, int year = 2024) {
            return QDateTime(QDate(year, month, day), QTime(hour, minute));
        };
        QTest::newRow("never") << QDateTime() << evening << "Última sincronización: nunca";
        QTest::newRow("today") << at(3, 15, 14, 5) << evening
                               << "Última sincronización: hoy a las 14:05";
        QTest::newRow("one o'clock is singular")
            << at(3, 15, 1, 5) << evening << "Última sincronización: hoy a la 1:05";
        QTest::newRow("yesterday, just before midnight")
            << at(3, 14, 23, 59) << at(3, 15, 0, 10) << "Última sincronización: ayer a las 23:59";
        QTest::newRow("earlier this year")
            << at(3, 3, 9, 30) << evening << "Última sincronización: el 3 de marzo a las 9:30";
        QTest::newRow("another year") << at(12, 28, 13, 0, 2023) << evening
                                      << "Última sincronización: el 28 de diciembre de 2023 a "
                                         "las 13:00";
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
