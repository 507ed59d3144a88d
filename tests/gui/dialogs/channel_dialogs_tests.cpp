// The analog channel dialog, driven through its widgets: the fixed cold
// junction reference, the lists a type change shows, and the working copy that only Ok keeps.
#include "dialog_script.h"
#include "dialogs/channel_dialogs.h"
#include "text/texts.h"

#include <QLabel>

using namespace tarn;
using namespace tarn::testing;

namespace {

QString rowName(const QString& name, int row) { return name + QString::number(row); }

// The lists a row shows; each hidden list has its disabled empty stand-in in place.
QString shownLists(QDialog& d, int row)
{
    QStringList shown;
    for (const char* list : {"burnout", "wires", "coldJunction", "filter"})
        if (!Child(d, rowName(list + QString("List"), row))->isHidden()) shown << list;
    const bool standIns = Child(d, rowName("noBurnoutList", row))->isHidden() == (shown.contains("burnout") || shown.contains("wires"))
        && Child(d, rowName("noColdJunctionList", row))->isHidden() == shown.contains("coldJunction")
        && Child(d, rowName("noFilterList", row))->isHidden() == shown.contains("filter")
        && !Child(d, rowName("noFilterList", row))->isEnabled();
    return standIns ? shown.join(' ') : "stand-ins wrong";
}

} // namespace

class ChannelDialogsTests : public QObject {
    Q_OBJECT
    std::unique_ptr<DialogFixture> f;
    UnitRecord* analog = nullptr;

private slots:
    void init()
    {
        f = std::make_unique<DialogFixture>();
        analog = &f->state.current.units[0];
        analog->SLAVE_TYPE = UNIT_KX913;
        analog->SLAVE_EXP = 1;
        analog->SLAVE_CJC = 77;
    }
    void cleanup() { f.reset(); }

    void referenceRoundingAndRange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");  // 9999: refused with text 285
        QTest::newRow("23.46") << "23.46" << 235;
        QTest::newRow("-0.05 away from zero") << "-0.05" << -1;
        QTest::newRow("top") << "100" << 1000;
        QTest::newRow("no number reads 0") << "abc" << 0;
        QTest::newRow("below") << "-40.5" << 9999;
        QTest::newRow("not a number") << "nan" << 9999;
    }
    void referenceRoundingAndRange()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        const bool refused = stored == 9999;
        f->steps.push_back([&](QDialog& d) {
            QCOMPARE(Edit(d, "referenceEdit")->text(), "7.7");
            QCOMPARE(Child<QLabel>(d, "referenceLabel")->text(), ToQt(GetText(284)));
            Type(d, "referenceEdit", typed);
            Click(d, "okButton");
            QCOMPARE(d.isVisible(), refused);
        });
        EditChannels(f->state, nullptr, 0, 0);
        QCOMPARE(analog->SLAVE_CJC, refused ? 77 : stored);
        QCOMPARE(f->ui.texts(MessageIcon::Error), refused ? std::vector{GetText(285)} : std::vector<std::string>{});
        QCOMPARE(f->ui.repaints, 1);
    }

    void referenceOnlyOnTheBasePage()
    {
        f->steps.push_back([](QDialog& d) {
            QVERIFY(Edit(d, "referenceEdit")->isHidden() && Child<QLabel>(d, "referenceLabel")->isHidden());
            QCOMPARE(Child<QLabel>(d, "channelNumber0")->text(), "17");
            Edit(d, "referenceEdit")->setText("500");
            Click(d, "okButton");
            QVERIFY(!d.isVisible());
        });
        EditChannels(f->state, nullptr, 0, 1);
        QCOMPARE(f->titles, QStringList{"  Analog Channels Configuration 1 - Expansion 1"});
        QCOMPARE(analog->SLAVE_CJC, 77);
    }

    void typeChangeRedisplaysTheRowAndCancelDropsIt()
    {
        analog->channels[18].word = 5 | 2 << 7 | 1 << 9 | 3 << 11;
        const SystemConfiguration before = f->state.current;
        f->steps.push_back([](QDialog& d) {
            QCOMPARE(Child(d, "burnoutList2")->currentIndex(), 2);
            Type(d, "tagEdit2", "changed");
            Child(d, "typeList2")->setCurrentIndex(3);
            QCOMPARE(shownLists(d, 2), "wires filter");
            QCOMPARE(Child(d, "wiresList2")->currentIndex(), 0);
            QCOMPARE(Child(d, "filterList2")->currentIndex(), 3);
            // Back to the thermocouple: what the resistance word did not carry is gone.
            Child(d, "typeList2")->setCurrentIndex(5);
            QCOMPARE(Child(d, "burnoutList2")->currentIndex(), 0);
            QCOMPARE(Child(d, "coldJunctionList2")->currentIndex(), 0);
            Click(d, "cancelButton");
        });
        EditChannels(f->state, nullptr, 0, 1);
        QVERIFY(SameBytes(f->state.current, before));
        QVERIFY(!f->state.FileModified && !f->state.GatewayModified);
    }
};

QTEST_MAIN(ChannelDialogsTests)
#include "channel_dialogs_tests.moc"
