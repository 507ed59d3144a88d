// The gateway, unit, repeater and analog channel dialogs as the openers run them, driven
// through their widgets: the checks of what is typed, the texts a file carries, what Ok
// stores and Cancel keeps; and one installation built in the dialogs, saved and read back.
#include "config/config_file.h"
#include "config/file_commands.h"
#include "dialog_script.h"
#include "dialogs/channel_dialogs.h"
#include "dialogs/file_text_edit.h"
#include "dialogs/open_dialogs.h"
#include "text/texts.h"

using namespace tarn;
using namespace tarn::testing;

namespace {

// The lists a row of the analog dialog shows beside its type list.
QString shownLists(QDialog& d, int row)
{
    QStringList shown;
    for (const char* list : {"burnout", "wires", "coldJunction", "filter"})
        if (!Find(d, list + QString("List") + QString::number(row))->isHidden()) shown << list;
    return shown.join(' ');
}

} // namespace

class ConfigDialogsTests : public QObject {
    Q_OBJECT
    std::unique_ptr<DialogFixture> f;

    // Unit 1 for the channel dialogs: a KX913 with one expansion, its fixed reference 7.7 °C.
    UnitRecord* AnalogUnit()
    {
        UnitRecord* analog = &f->state.current.units[0];
        analog->SLAVE_TYPE = UNIT_KX913;
        analog->SLAVE_EXP = 1;
        analog->SLAVE_CJC = 77;
        return analog;
    }

private slots:
    void init() { f = std::make_unique<DialogFixture>(); }
    void cleanup() { f.reset(); }

    void gatewayAddressCheck_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("stored");  // 0: refused with text 259
        QTest::newRow("past 250") << "251" << 0;
        QTest::newRow("lowest") << "1" << 1;
        QTest::newRow("digits then letters") << " 42x" << 42;
    }
    void gatewayAddressCheck()
    {
        QFETCH(QString, typed);
        QFETCH(int, stored);
        f->state.current.MASTER_MOD_ADDR = 5;
        f->steps.push_back([&](QDialog& d) {
            QCOMPARE(Edit(d, "modbusAddressEdit")->text(), "005");
            auto* cancel = Find<QPushButton>(d, "cancelButton");
            QVERIFY(d.focusWidget() == cancel && cancel->isDefault());
            Edit(d, "tagEdit")->selectAll();
            Edit(d, "tagEdit")->insert("ABCDEFGHIJKLMNOPQRST");  // a paste of 20
            Find(d, "repeaterCountList")->setCurrentIndex(4);
            Find(d, "modbusConfigList")->setCurrentIndex(1);
            Type(d, "modbusAddressEdit", typed);
            Click(d, "okButton");
            // A refused address keeps the dialog open as typed; the script then cancels it.
            QCOMPARE(d.isVisible(), stored == 0);
            QCOMPARE(Edit(d, "modbusAddressEdit")->text(), typed);
        });
        OpenGatewayDialog(f->state, nullptr);
        const SystemConfiguration& c = f->state.current;
        QCOMPARE(int(c.MASTER_MOD_ADDR), stored ? stored : 5);
        QCOMPARE(QString::fromLatin1(FieldText(c.MASTER_TAG)), stored ? "ABCDEFGHIJKLMNOP" : "Tag 0.0");
        QCOMPARE(int(c.MASTER_REPT * 10 + c.MASTER_MOD_CONFIG), stored ? 41 : 0);
        QCOMPARE(c.MASTER_REPT_MAT[3], 3u);  // the number of repeaters leaves the matrix alone
        QCOMPARE(f->ui.texts(MessageIcon::Error), stored ? std::vector<std::string>{} : std::vector{GetText(259)});
        // Ok marks the configuration changed before it checks.
        QVERIFY(f->state.FileModified && f->state.GatewayModified);
        QVERIFY(f->state.TakeRefresh() == ViewRefresh::Full);
    }

    // Units as (type, expansions), the module clicked, the buttons shown and the one pressed,
    // with the unit it leaves.
    void unitDialogCases_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<int>("exp");
        QTest::addColumn<int>("module");
        QTest::addColumn<QString>("shown");  // of expansion, change, channels
        QTest::addColumn<QString>("press");
        QTest::addColumn<int>("typeAfter");
        QTest::addColumn<int>("expAfter");
        QTest::newRow("empty, add a KX913") << 0 << 2 << 0 << "011" << "changeButton" << 1 << 2;
        QTest::newRow("KX913, add a KX914 after the last") << 1 << 1 << 1 << "111" << "expansionButton" << 1 << 2;
        QTest::newRow("KX913, a middle module") << 1 << 2 << 1 << "001" << "" << 1 << 2;
        QTest::newRow("KX913 full, remove the last KX914") << 1 << 3 << 3 << "011" << "changeButton" << 1 << 2;
        QTest::newRow("KX927 carrying expansions, remove it") << 3 << 2 << 0 << "011" << "changeButton" << 0 << 2;
    }
    void unitDialogCases()
    {
        QFETCH(int, type);
        QFETCH(int, exp);
        QFETCH(int, module);
        QFETCH(QString, shown);
        QFETCH(QString, press);
        QFETCH(int, typeAfter);
        QFETCH(int, expAfter);
        UnitRecord& unit = f->state.current.units[2];
        unit.SLAVE_TYPE = type;
        unit.SLAVE_EXP = exp;
        const UnitRecord before = unit;
        f->steps.push_back([&](QDialog& d) {
            QString seen;
            for (const char* button : {"expansionButton", "changeButton", "channelsButton"})
                seen += Find<QPushButton>(d, button)->isHidden() ? '0' : '1';
            QCOMPARE(seen, shown);
            if (!press.isEmpty()) Click(d, press);
        });
        OpenUnitDialog(f->state, nullptr, 2, module);
        QCOMPARE(int(unit.SLAVE_TYPE), typeAfter);
        QCOMPARE(int(unit.SLAVE_EXP), expAfter);
        QVERIFY(std::memcmp(unit.channels, before.channels, sizeof unit.channels) == 0);
        QCOMPARE(f->state.FileModified, !press.isEmpty());
    }

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
        UnitRecord* analog = AnalogUnit();
        QFETCH(QString, typed);
        QFETCH(int, stored);
        const bool refused = stored == 9999;
        f->steps.push_back([&](QDialog& d) {
            QCOMPARE(Edit(d, "referenceEdit")->text(), "7.7");
            Type(d, "referenceEdit", typed);
            Click(d, "okButton");
            QCOMPARE(d.isVisible(), refused);
        });
        EditChannels(f->state, nullptr, 0, 0);
        QCOMPARE(analog->SLAVE_CJC, refused ? 77 : stored);
        QCOMPARE(f->ui.texts(MessageIcon::Error), refused ? std::vector{GetText(285)} : std::vector<std::string>{});
        QVERIFY(f->state.TakeRefresh() == ViewRefresh::Full);
    }

    void referenceOnlyOnTheBasePage()
    {
        UnitRecord* analog = AnalogUnit();
        f->steps.push_back([](QDialog& d) {
            QVERIFY(Edit(d, "referenceEdit")->isHidden());
            Edit(d, "referenceEdit")->setText("500");
            Click(d, "okButton");
            QVERIFY(!d.isVisible());
        });
        EditChannels(f->state, nullptr, 0, 1);
        QCOMPARE(analog->SLAVE_CJC, 77);
    }

    void typeChangeRedisplaysTheRowAndCancelDropsIt()
    {
        UnitRecord* analog = AnalogUnit();
        analog->channels[18].word = 5 | 2 << 7 | 1 << 9 | 3 << 11;
        const SystemConfiguration before = f->state.current;
        f->steps.push_back([](QDialog& d) {
            QCOMPARE(Find(d, "burnoutList2")->currentIndex(), 2);
            Type(d, "tagEdit2", "changed");
            Find(d, "typeList2")->setCurrentIndex(3);
            QCOMPARE(shownLists(d, 2), "wires filter");
            QCOMPARE(Find(d, "wiresList2")->currentIndex(), 0);
            QCOMPARE(Find(d, "filterList2")->currentIndex(), 3);
            // Back to the thermocouple: what the resistance word did not carry is gone.
            Find(d, "typeList2")->setCurrentIndex(5);
            QCOMPARE(Find(d, "burnoutList2")->currentIndex(), 0);
            QCOMPARE(Find(d, "coldJunctionList2")->currentIndex(), 0);
            Click(d, "cancelButton");
        });
        EditChannels(f->state, nullptr, 0, 1);
        QVERIFY(SameBytes(f->state.current, before));
        QVERIFY(!f->state.FileModified && !f->state.GatewayModified);
    }

    // Edits of texts that a configuration file carries: what they keep of typed and pasted input.
    void insertKeepsWhatTheFileCarries_data()
    {
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<QString>("kept");  // the cursor then stands behind it
        QTest::newRow("quote dropped") << "a\"b" << "ab";
        QTest::newRow("euro and accents kept") << QString::fromUtf8("€ àé°") << QString::fromUtf8("€ àé°");
        QTest::newRow("outside the code page dropped") << QString::fromUtf8("xΩy✓") << "xy";
        QTest::newRow("long paste cut at the limit") << "0123456789ABCDEFGHIJ" << "0123456789ABCDEF";
    }
    void insertKeepsWhatTheFileCarries()
    {
        QFETCH(QString, inserted);
        QFETCH(QString, kept);
        QLineEdit edit;
        MakeFileTextEdit(&edit, 16);
        edit.insert(inserted);
        QCOMPARE(edit.text(), kept);
        QCOMPARE(edit.cursorPosition(), kept.size());
    }

    // An installation built in the dialogs, saved with the File commands, read back.
    void builtInTheDialogsSavedAndReadBack()
    {
        auto press = [](const char* button) { return [button](QDialog& d) { Click(d, button); }; };
        f->steps = {
            [](QDialog& d) {
                Type(d, "tagEdit", QString::fromUtf8("CALDAIA °1"));
                Type(d, "modbusAddressEdit", "17");
                Click(d, "okButton");
            },
            press("changeButton"), press("expansionButton"),  // unit 1: a KX913 and a KX914
            press("channelsButton"),
            [](QDialog& d) {  // its page 1
                Type(d, "tagEdit0", "TT-117");
                Find(d, "typeList0")->setCurrentIndex(7);  // thermocouple K
                Find(d, "coldJunctionList0")->setCurrentIndex(1);
                Find(d, "filterList0")->setCurrentIndex(2);
                Find(d, "typeList15")->setCurrentIndex(30);  // compensator
                Click(d, "okButton");
            },
            press("channelsButton"),
            [](QDialog& d) {  // its page 0
                Type(d, "referenceEdit", "-12.36");
                Find(d, "typeList1")->setCurrentIndex(3);
                Find(d, "wiresList1")->setCurrentIndex(1);
                Click(d, "okButton");
            },
            press("channelsButton"), press("channelsButton"),  // unit 3: a KX927 and its channels
            [](QDialog& d) {
                Type(d, "tagEdit31", "XS-332");
                Find(d, "modeList31")->setCurrentIndex(2);
                Find(d, "scanTimeList31")->setCurrentIndex(15);
                Click(d, "okButton");
            },
            [](QDialog& d) {
                Find(d, "unitList")->setCurrentIndex(2);
                Click(d, "okButton");
            },
        };
        OpenGatewayDialog(f->state, nullptr);
        for (int module : {0, 0, 1, 0}) OpenUnitDialog(f->state, nullptr, 0, module);
        for (int i = 0; i < 2; ++i) OpenUnitDialog(f->state, nullptr, 2, 0);
        OpenRepeaterDialog(f->state, nullptr, 0);
        QVERIFY(f->steps.empty() && f->ui.messages.empty());

        TempDir dir;
        f->ui.saveChoices.push_back(dir.file("plant"));
        QCOMPARE(FileSaveAs(f->state, true), 1);
        SystemConfiguration read{};
        QVERIFY(ParseConfigurationFile(dir.file("plant.mcf"), read).ok());

        SystemConfiguration expected{};
        BuildDefaultConfiguration(expected);
        SetFieldText(expected.MASTER_TAG, "CALDAIA \xB0" "1");
        expected.MASTER_MOD_ADDR = 17;
        expected.MASTER_REPT_MAT[0] = 2;
        UnitRecord& analog = expected.units[0];
        analog.SLAVE_TYPE = UNIT_KX913;
        analog.SLAVE_EXP = 1;
        analog.SLAVE_CJC = -124;
        SetFieldText(analog.channels[16].tag, "TT-117");
        analog.channels[16].word = 7 | 1 << 9 | 2 << 11;
        analog.channels[31].word = 30;
        analog.channels[1].word = 3 | 1 << 7;
        expected.units[2].SLAVE_TYPE = UNIT_KX927;
        SetFieldText(expected.units[2].channels[31].tag, "XS-332");
        expected.units[2].channels[31].word = 0x7B;
        QCOMPARE(FormatConfiguration(read), FormatConfiguration(expected));
    }
};

QTEST_MAIN(ConfigDialogsTests)
#include "config_dialogs_tests.moc"
