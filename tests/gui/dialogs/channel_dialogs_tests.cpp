// The analog and digital channel dialogs, driven through their widgets: the fixed cold
// junction reference, the lists each type shows, and the working copy that only Ok keeps.
#include "config/channel_word.h"
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
    UnitRecord* digital = nullptr;

private slots:
    void init()
    {
        f = std::make_unique<DialogFixture>();
        analog = &f->state.current.units[0];
        analog->SLAVE_TYPE = UNIT_KX913;
        analog->SLAVE_EXP = 1;
        analog->SLAVE_CJC = 77;
        digital = &f->state.current.units[1];
        digital->SLAVE_TYPE = UNIT_KX927;
    }
    void cleanup() { f.reset(); }

    void referenceRoundingAndRange_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");  // 9999: refused with text 285
        QTest::newRow("23.46") << "23.46" << 235;
        QTest::newRow("23.4") << "23.4" << 234;
        QTest::newRow("-0.05 away from zero") << "-0.05" << -1;
        QTest::newRow("top") << "100" << 1000;
        QTest::newRow("bottom") << "-40" << -400;
        QTest::newRow("no number reads 0") << "abc" << 0;
        QTest::newRow("below") << "-40.5" << 9999;
        QTest::newRow("above") << "100.1" << 9999;
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

    void typeThirtyOnlyOnTheSixteenthRow()
    {
        for (int r = 0; r < 16; ++r) analog->channels[r].word = 30 | 1 << 7 | 3 << 11;
        f->steps.push_back([](QDialog& d) {
            for (int r = 0; r < 16; ++r) {
                QComboBox* type = Child(d, rowName("typeList", r));
                QCOMPARE(type->count(), r < 15 ? 30 : 31);
                QCOMPARE(type->currentIndex(), r < 15 ? 0 : 30);
                QCOMPARE(shownLists(d, r), r < 15 ? "" : "wires filter");
            }
            Click(d, "okButton");
        });
        EditChannels(f->state, nullptr, 0, 0);
        QCOMPARE(analog->channels[3].word, 0u);
        QCOMPARE(analog->channels[14].word, 0u);
        QCOMPARE(analog->channels[15].word, 30u | 1 << 7 | 3 << 11);
    }

    void listsShownByType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QString>("shown");
        QTest::newRow("off") << 0 << "";
        QTest::newRow("mV") << 1 << "burnout filter";
        QTest::newRow("resistance") << 3 << "wires filter";
        QTest::newRow("thermocouple B") << 4 << "burnout coldJunction filter";
        QTest::newRow("thermocouple A2") << 17 << "burnout coldJunction filter";
        QTest::newRow("thermocouple A3, as its word stores it") << 18 << "wires filter";
    }
    void listsShownByType()
    {
        QFETCH(int, type);
        QFETCH(QString, shown);
        f->steps.push_back([&](QDialog& d) {
            Child(d, "typeList15")->setCurrentIndex(30);
            Child(d, "typeList15")->setCurrentIndex(type);
            QCOMPARE(shownLists(d, 15), shown);
        });
        EditChannels(f->state, nullptr, 0, 0);
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

    void digitalChannelOffLosesItsScanTime()
    {
        for (int c = 0; c < CHANNEL_COUNT; ++c) digital->channels[c].word = EncodeDigitalChannelWord({1, 9});
        digital->channels[0].word = 0;
        const UnitRecord before = *digital;
        f->steps.push_back([](QDialog& d) {
            QVERIFY(Child(d, "scanTimeList0")->isHidden());
            QVERIFY(!Child(d, "noScanTimeList0")->isHidden());
            QComboBox* mode = Child(d, "modeList4");
            QComboBox* scan = Child(d, "scanTimeList4");
            QCOMPARE(scan->currentIndex(), 9);
            mode->setCurrentIndex(0);
            QVERIFY(scan->isHidden() && !Child(d, "noScanTimeList4")->isHidden());
            QCOMPARE(scan->currentIndex(), 0);
            mode->setCurrentIndex(2);
            QVERIFY(!scan->isHidden() && Child(d, "noScanTimeList4")->isHidden());
            Child(d, "modeList31")->setCurrentIndex(0);
            Edit(d, "tagEdit5")->selectAll();
            Edit(d, "tagEdit5")->insert("SEVENTEEN-CHARS-X");
            Click(d, "okButton");
        });
        EditChannels(f->state, nullptr, 1, 2);
        QCOMPARE(f->titles, QStringList{"  Digital Channels Configuration 2"});
        QCOMPARE(digital->channels[4].word, 3u);
        QCOMPARE(digital->channels[31].word, 0u);
        QCOMPARE(digital->channels[1].word, before.channels[1].word);
        QCOMPARE(QString::fromLatin1(FieldText(digital->channels[5].tag)), "SEVENTEEN-CHARS-");
        QVERIFY(std::memcmp(&digital->channels[32], &before.channels[32], 32 * sizeof(ChannelRecord)) == 0);
    }
};

QTEST_MAIN(ChannelDialogsTests)
#include "channel_dialogs_tests.moc"
