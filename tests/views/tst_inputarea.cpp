#include "toolkit/Motion.h"
#include "toolkit/PlainButton.h"
#include "toolkit/Theme.h"
#include "views/InputArea.h"
#include "views/SuggestionList.h"
#include "views/SuggestionRow.h"

#include <QApplication>
#include <QScopeGuard>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

#include <memory>

class TestInputArea : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void completion_data();
    void completion();
    void tabWrapsOverTheRows();
    void tabMovesFocusWhileHidden();
    void returnAppliesThenAdds();
    void returnAppliesTheHighlightedRow();
    void choosingWritesTheTagAsListed();
    void typingResetsTheHighlight();
    void noCandidateReturnAddsThePartialTag();
    void clickOnARowAppliesIt();
    void addButtonWhileListShownAddsPartialTag();
    void adding_data();
    void adding();
    void submissionRunsInsideTheSpring();
    void addButtonFollowsTheText_data();
    void addButtonFollowsTheText();
    void changeOfTagsDoesNotUpdateAnOpenList();
    void sizeAskedForHoldsEveryRow();
    void followsTheAppearance();

private:
    void type(const QString &text);
    QLineEdit *field() const { return m_area->field(); }

    std::unique_ptr<QWidget> m_window;
    InputArea *m_area = nullptr;
    QLineEdit *m_next = nullptr;
    QStringList m_tags;
};

void TestInputArea::initTestCase()
{
    Motion::setAnimationsEnabled(false);
}

void TestInputArea::init()
{
    m_tags = {"casa", "compras", "trabajo"};
    m_window = std::make_unique<QWidget>();
    auto *layout = new QVBoxLayout(m_window.get());
    m_area = new InputArea(m_window.get());
    m_next = new QLineEdit(m_window.get());
    layout->addWidget(m_area);
    layout->addWidget(m_next);
    m_area->setTagSource([this] { return m_tags; });
    m_window->resize(320, 300);
    m_window->show();
    m_window->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(m_window.get()));
    field()->setFocus();
    QCOMPARE(QApplication::focusWidget(), field());
}

void TestInputArea::cleanup()
{
    m_window.reset();
}

// Types Latin-1 text with key events; other characters (emoji, combining marks) are
// inserted as a paste would put them in.
void TestInputArea::type(const QString &text)
{
    for (const QChar c : text) {
        if (c.unicode() < 0x100)
            QTest::keyClick(field(), c.toLatin1());
        else
            field()->insert(QString(c));
    }
}

void TestInputArea::completion_data()
{
    QTest::addColumn<QStringList>("tags");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QStringList>("shown");

    const QStringList two{"casa", "compras"};
    const QStringList none;
    QTest::newRow("no sign") << two << "Comprar pan" << none;
    QTest::newRow("lone sign offers every tag") << two << "Comprar #" << two;
    QTest::newRow("lone sign without tags in use") << none << "Comprar #" << none;
    QTest::newRow("sa offers casa") << two << "x #sa" << QStringList{"casa"};
    QTest::newRow("SA offers casa") << two << "x #SA" << QStringList{"casa"};
    QTest::newRow("c offers casa then compras") << two << "#c" << two;
    QTest::newRow("as offers both") << two << "#as" << two;
    QTest::newRow("whole tag still offered") << two << "#casa" << QStringList{"casa"};
    QTest::newRow("no candidate hides") << two << "#casx" << none;
    QTest::newRow("space after sign") << two << "# " << none;
    QTest::newRow("space after tag") << two << "#casa " << none;
    QTest::newRow("hyphen after sign") << two << "#-" << none;
    QTest::newRow("punctuation in word") << two << "#ca." << none;
    QTest::newRow("two signs") << two << "##" << two;
    QTest::newRow("sign inside a word") << two << "ab#c" << two;
    QTest::newRow("emoji before sign")
        << two << QString::fromUtf16(u"\U0001F6D2 #co") << QStringList{"compras"};
    QTest::newRow("combining mark before sign")
        << two << QString::fromUtf16(u"cafe\u0301 #sa") << QStringList{"casa"};
    QTest::newRow("accented partial") << QStringList{"café", "casa"} << "#caf"
                                      << QStringList{"café"};
}

void TestInputArea::completion()
{
    QFETCH(QStringList, tags);
    QFETCH(QString, typed);
    QFETCH(QStringList, shown);

    m_tags = tags;
    type(typed);
    QCOMPARE(field()->text(), typed);
    QCOMPARE(m_area->isShowingSuggestions(), !shown.isEmpty());
    QCOMPARE(m_area->suggestionList()->isVisible(), !shown.isEmpty());
    if (!shown.isEmpty()) {
        QCOMPARE(m_area->tagSuggestions(), shown);
        QCOMPARE(m_area->selectedSuggestionIndex(), 0);
        const QList<SuggestionRow *> rows = m_area->suggestionList()->rows();
        QCOMPARE(rows.size(), shown.size());
        for (int i = 0; i < rows.size(); ++i) {
            QCOMPARE(rows[i]->tag(), shown[i]);
            QCOMPARE(rows[i]->isHighlighted(), i == 0);
        }
    }
}

void TestInputArea::tabWrapsOverTheRows()
{
    type("#");
    QCOMPARE(m_area->tagSuggestions().size(), 3);
    for (int expected : {1, 2, 0, 1}) {
        QTest::keyClick(field(), Qt::Key_Tab);
        QCOMPARE(m_area->selectedSuggestionIndex(), expected);
        QVERIFY(m_area->isShowingSuggestions());
        QCOMPARE(QApplication::focusWidget(), field());
    }
    QCOMPARE(field()->text(), QStringLiteral("#"));
}

void TestInputArea::tabMovesFocusWhileHidden()
{
    type("hola #casa ");
    QVERIFY(!m_area->isShowingSuggestions());
    QTest::keyClick(field(), Qt::Key_Tab);
    QVERIFY(QApplication::focusWidget() != field());
    QCOMPARE(field()->text(), QStringLiteral("hola #casa "));
}

void TestInputArea::returnAppliesThenAdds()
{
    QSignalSpy submitted(m_area, &InputArea::taskSubmitted);
    type("Comprar pan y leche #co");
    QCOMPARE(m_area->tagSuggestions(), QStringList{"compras"});

    QTest::keyClick(field(), Qt::Key_Return);
    QCOMPARE(field()->text(), QStringLiteral("Comprar pan y leche #compras "));
    QVERIFY(!m_area->isShowingSuggestions());
    QVERIFY(!m_area->suggestionList()->isVisible());
    QCOMPARE(submitted.count(), 0);

    QTest::keyClick(field(), Qt::Key_Return);
    QCOMPARE(submitted.count(), 1);
    QCOMPARE(submitted.at(0).at(0).toString(), QStringLiteral("Comprar pan y leche #compras"));
    QCOMPARE(field()->text(), QString());
    QCOMPARE(QApplication::focusWidget(), field());
}

void TestInputArea::returnAppliesTheHighlightedRow()
{
    type("x #c");
    QTest::keyClick(field(), Qt::Key_Tab);
    QTest::keyClick(field(), Qt::Key_Enter);
    QCOMPARE(field()->text(), QStringLiteral("x #compras "));
}

void TestInputArea::choosingWritesTheTagAsListed()
{
    m_tags = {"Casa"};
    type("#cA");
    QTest::keyClick(field(), Qt::Key_Return);
    QCOMPARE(field()->text(), QStringLiteral("#Casa "));
}

void TestInputArea::typingResetsTheHighlight()
{
    type("#");
    QTest::keyClick(field(), Qt::Key_Tab);
    QTest::keyClick(field(), Qt::Key_Tab);
    QCOMPARE(m_area->selectedSuggestionIndex(), 2);
    type("a");
    QCOMPARE(m_area->tagSuggestions(), (QStringList{"casa", "compras", "trabajo"}));
    QCOMPARE(m_area->selectedSuggestionIndex(), 0);
    QVERIFY(m_area->suggestionList()->rows().at(0)->isHighlighted());
    QVERIFY(!m_area->suggestionList()->rows().at(2)->isHighlighted());
}

void TestInputArea::noCandidateReturnAddsThePartialTag()
{
    QSignalSpy submitted(m_area, &InputArea::taskSubmitted);
    type("Llamar #xyz");
    QVERIFY(!m_area->isShowingSuggestions());
    QTest::keyClick(field(), Qt::Key_Return);
    QCOMPARE(submitted.count(), 1);
    QCOMPARE(submitted.at(0).at(0).toString(), QStringLiteral("Llamar #xyz"));
}

void TestInputArea::clickOnARowAppliesIt()
{
    QSignalSpy submitted(m_area, &InputArea::taskSubmitted);
    type("Ir #a");
    // The highlight is on the first row; a click on another row chooses that row.
    SuggestionRow *third = m_area->suggestionList()->rows().at(2);
    QCOMPARE(third->tag(), QStringLiteral("trabajo"));
    QTest::mouseClick(third, Qt::LeftButton);
    QCOMPARE(field()->text(), QStringLiteral("Ir #trabajo "));
    QVERIFY(!m_area->isShowingSuggestions());
    QCOMPARE(submitted.count(), 0);
    QCOMPARE(QApplication::focusWidget(), field());
}

void TestInputArea::addButtonWhileListShownAddsPartialTag()
{
    QSignalSpy submitted(m_area, &InputArea::taskSubmitted);
    type("Ir #ca");
    QVERIFY(m_area->isShowingSuggestions());
    QTest::mouseClick(m_area->addButton(), Qt::LeftButton);
    QCOMPARE(submitted.count(), 1);
    QCOMPARE(submitted.at(0).at(0).toString(), QStringLiteral("Ir #ca"));
    QVERIFY(!m_area->isShowingSuggestions());
    QVERIFY(!m_area->suggestionList()->isVisible());
    QCOMPARE(field()->text(), QString());
}

void TestInputArea::adding_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("added");
    QTest::addColumn<QString>("submitted");

    QTest::newRow("plain") << "Regar las plantas" << true << "Regar las plantas";
    QTest::newRow("spaces and tabs around") << " \t Regar \t " << true << "Regar";
    QTest::newRow("inner spaces kept") << "  a  b  " << true << "a  b";
    QTest::newRow("no-break space around")
        << QString::fromUtf16(u"\u00A0Regar\u00A0") << true << "Regar";
    QTest::newRow("spaces only") << "   " << false << "";
    QTest::newRow("tabs only") << "\t\t" << false << "";
    QTest::newRow("empty") << "" << false << "";
}

void TestInputArea::adding()
{
    QFETCH(QString, text);
    QFETCH(bool, added);
    QFETCH(QString, submitted);

    QSignalSpy spy(m_area, &InputArea::taskSubmitted);
    field()->setText(text);
    QTest::keyClick(field(), Qt::Key_Return);
    QCOMPARE(spy.count(), added ? 1 : 0);
    if (added) {
        QCOMPARE(spy.at(0).at(0).toString(), submitted);
        QCOMPARE(field()->text(), QString());
    } else {
        // A blank text stays as it was, spaces included.
        QCOMPARE(field()->text(), text);
    }
}

void TestInputArea::submissionRunsInsideTheSpring()
{
    // With animations off there is no current transaction to observe.
    Motion::setAnimationsEnabled(true);
    const auto restore = qScopeGuard([] { Motion::setAnimationsEnabled(false); });
    std::optional<Animation> during;
    QString textDuring;
    connect(m_area, &InputArea::taskSubmitted, this, [&] {
        during = Motion::current();
        textDuring = field()->text();
    });
    type("Leer #lectura");
    QTest::keyClick(field(), Qt::Key_Return);
    QVERIFY(during.has_value());
    QCOMPARE(during->kind, Animation::Kind::Spring);
    QCOMPARE(during->seconds, 0.25);
    // The field is cleared after the submission, outside the transaction.
    QCOMPARE(textDuring, QStringLiteral("Leer #lectura"));
    QVERIFY(!Motion::current().has_value());
}

void TestInputArea::addButtonFollowsTheText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");

    QTest::newRow("empty") << "" << false;
    QTest::newRow("spaces") << "   " << false;
    QTest::newRow("tab and space") << "\t " << false;
    QTest::newRow("a word") << "a" << true;
    QTest::newRow("word with spaces") << "  a  " << true;
    QTest::newRow("lone sign") << "#" << true;
}

void TestInputArea::addButtonFollowsTheText()
{
    QFETCH(QString, text);
    QFETCH(bool, enabled);

    QSignalSpy spy(m_area, &InputArea::taskSubmitted);
    type(text);
    PlainButton *button = m_area->addButton();
    QCOMPARE(button->isEnabled(), enabled);
    const Theme theme = Theme::of(m_area);
    QCOMPARE(button->color(), enabled ? Theme::accent() : theme.primary(0.2));
    QTest::mouseClick(button, Qt::LeftButton);
    QCOMPARE(spy.count(), enabled ? 1 : 0);
}

void TestInputArea::changeOfTagsDoesNotUpdateAnOpenList()
{
    type("#c");
    QCOMPARE(m_area->tagSuggestions(), (QStringList{"casa", "compras"}));
    m_tags = {"casa", "cine", "compras"};
    QCOMPARE(m_area->tagSuggestions(), (QStringList{"casa", "compras"}));
    type("i");
    QCOMPARE(m_area->tagSuggestions(), QStringList{"cine"});
}

// The column above the area places it by its size hint as soon as it is asked, before the
// list's own layout has run: the hint must count the rows at once.
void TestInputArea::sizeAskedForHoldsEveryRow()
{
    const int closed = m_area->sizeHint().height();
    type("#");
    int rows = 0;
    for (const SuggestionRow *row : m_area->suggestionList()->rows())
        rows += row->sizeHint().height();
    QCOMPARE(m_area->suggestionList()->rows().size(), 3);
    QCOMPARE(m_area->sizeHint().height(), closed + rows + 4);
    type("r");
    QCOMPARE(m_area->suggestionList()->rows().size(), 2);
    QCOMPARE(m_area->sizeHint().height(), closed + rows / 3 * 2 + 4);
    type(" ");
    QCOMPARE(m_area->sizeHint().height(), closed);
}

void TestInputArea::followsTheAppearance()
{
    const QPalette light = QApplication::palette();
    const auto restore = qScopeGuard([light] { QApplication::setPalette(light); });
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(30, 30, 30));
    QApplication::setPalette(dark);
    // Widgets hear of a new application palette from the event loop.
    QTRY_VERIFY(Theme::of(m_area).isDark());
    QCOMPARE(field()->palette().color(QPalette::Text), Theme(true).primary());
    QCOMPARE(m_area->addButton()->color(), Theme(true).primary(0.2));
}

QTEST_MAIN(TestInputArea)
#include "tst_inputarea.moc"
