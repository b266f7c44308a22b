// Replays every seed of the fuzz corpora and every input a fuzzer once failed on through the same
// reader checks the fuzz targets run (fuzz/fuzz_<reader>.cpp).
#include "fuzzchecks.h"

#include <QDir>
#include <QFile>
#include <QTest>

class tst_FuzzRegressions : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { FuzzChecks::setUp(0, nullptr); }

    void replay_data()
    {
        QTest::addColumn<int>("reader");
        QTest::addColumn<QString>("path");
        const QVector<FuzzChecks::Reader> readers = FuzzChecks::readers();
        for (int r = 0; r < readers.size(); ++r) {
            for (const char* kind : {"corpus", "regressions"}) {
                const QDir dir(QStringLiteral(JOY_FUZZ_DIR "/%1/%2")
                                   .arg(QLatin1String(kind), QLatin1String(readers.at(r).name)));
                const QStringList files = dir.entryList(QDir::Files, QDir::Name);
                for (const QString& file : files)
                    QTest::addRow("%s/%s/%s", kind, readers.at(r).name, qPrintable(file))
                        << r << dir.filePath(file);
            }
        }
    }

    void replay()
    {
        QFETCH(int, reader);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        QCOMPARE(FuzzChecks::readers().at(reader).check(file.readAll()), QString());
    }

    void everyReaderHasSeeds()
    {
        for (const FuzzChecks::Reader& reader : FuzzChecks::readers()) {
            const QDir dir(QStringLiteral(JOY_FUZZ_DIR "/corpus/") + QLatin1String(reader.name));
            QVERIFY2(!dir.entryList(QDir::Files).isEmpty(), reader.name);
        }
    }
};

QTEST_MAIN(tst_FuzzRegressions)
#include "tst_fuzzregressions.moc"
