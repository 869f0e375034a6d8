#include "util/xfileExists.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_xfileExists : public QObject {
    Q_OBJECT
private slots:
    void fileNames_data() {
        // clang-format off
        QTest::addColumn<QString>("path");
        QTest::addColumn<QString>("name");
        QTest::newRow("full path") << "/a/b.txt" << "b.txt";
        QTest::newRow("bare name") << "b.txt" << "b.txt";
        QTest::newRow("ends with separator") << "/a/" << "";
        QTest::newRow("empty") << "" << "";
        QTest::newRow("backslash is part of a name here") << "C:\\a\\b.txt" << "C:\\a\\b.txt";
        // clang-format on
    }
    void fileNames() {
        QFETCH(QString, path);
        QFETCH(QString, name);
        QCOMPARE(GetFileName(path), name);
    }

    void existence() {
        QTemporaryDir dir;
        auto make = [&](const QString& name) {
            QFile f(dir.filePath(name));
            QVERIFY(f.open(QIODevice::WriteOnly));
        };
        make("data.enc");
        make(".hidden");
        make("star*.txt");
        QVERIFY(QDir(dir.path()).mkdir("folder"));

        QVERIFY(FileExists(dir.filePath("data.enc")));
        QVERIFY(!FileExists(dir.filePath("DATA.ENC")));  // names are case-sensitive here
        QVERIFY(!FileExists(dir.filePath(".hidden")));
        QVERIFY(!FileExists(dir.filePath("folder")));
        QVERIFY(!FileExists(dir.filePath("missing")));
        QVERIFY(!FileExists(dir.path() + "/"));
        QVERIFY(!FileExists(QString()));
        QVERIFY(FileExists(dir.filePath("star*.txt")));  // a pattern only matches itself
        QVERIFY(!FileExists(dir.filePath("*.enc")));
        QVERIFY(!FileExists("/no/such/device/file"));
        QVERIFY(!FileExists(dir.filePath(QString(70000, 'x'))));
    }
};

QTEST_APPLESS_MAIN(tst_xfileExists)
#include "tst_xfileExists.moc"
