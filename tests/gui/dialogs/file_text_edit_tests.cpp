// Edits of texts that a configuration file carries: what they keep of typed and pasted input.
#include "dialogs/file_text_edit.h"

#include <QLineEdit>
#include <QTest>

using namespace tarn;

class FileTextEditTests : public QObject {
    Q_OBJECT
private slots:
    void insertKeepsWhatTheFileCarries_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<int>("cursor");
        QTest::addColumn<QString>("inserted");
        QTest::addColumn<QString>("after");
        QTest::addColumn<int>("cursorAfter");
        QTest::newRow("quote dropped") << "" << 0 << "a\"b" << "ab" << 2;
        QTest::newRow("euro and accents kept") << "" << 0 << QString::fromUtf8("€ àé°") << QString::fromUtf8("€ àé°") << 5;
        QTest::newRow("outside the code page dropped") << "x" << 1 << QString::fromUtf8("Ωy✓") << "xy" << 2;
        QTest::newRow("long paste cut at the limit") << "" << 0 << "0123456789ABCDEFGHIJ" << "0123456789ABCDEF" << 16;
    }
    void insertKeepsWhatTheFileCarries()
    {
        QFETCH(QString, before);
        QFETCH(int, cursor);
        QFETCH(QString, inserted);
        QFETCH(QString, after);
        QFETCH(int, cursorAfter);
        QLineEdit edit;
        MakeFileTextEdit(&edit, 16);
        edit.setText(before);
        edit.setCursorPosition(cursor);
        edit.insert(inserted);
        QCOMPARE(edit.text(), after);
        QCOMPARE(edit.cursorPosition(), cursorAfter);
    }

    void textRoundTripsAsWindows1252()
    {
        QLineEdit edit;
        MakeFileTextEdit(&edit, 300);
        SetEditText(&edit, "Caldaia \x80 \xB0" "C");
        QCOMPARE(edit.text(), QString::fromUtf8("Caldaia € °C"));
        QCOMPARE(EditText(&edit), std::string("Caldaia \x80 \xB0" "C"));
    }
};

QTEST_MAIN(FileTextEditTests)
#include "file_text_edit_tests.moc"
