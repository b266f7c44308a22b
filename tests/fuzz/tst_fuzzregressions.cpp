// Replays every seed of the fuzz corpora and every input a fuzzer once failed on through the same
// reader checks the fuzz targets run (fuzz/fuzz_<reader>.cpp).
#include "fuzzchecks.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
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
                // Every reader needs seeds: an empty corpus gets a row whose file does not exist.
                if (files.isEmpty() && qstrcmp(kind, "corpus") == 0)
                    QTest::addRow("corpus/%s has seeds", readers.at(r).name) << r << dir.filePath("-");
            }
        }
    }

    void replay()
    {
        QFETCH(int, reader);
        QFETCH(QString, path);
        QFile file(path);
        QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(path));
        const QByteArray input = file.readAll();
        const FuzzChecks::Reader checked = FuzzChecks::readers().at(reader);
        QCOMPARE(checked.check(input), QString());
        if (checked.seed && path.contains(QLatin1String("/corpus/")))
            QCOMPARE(checked.seed(QFileInfo(path).fileName(), input), QString());
        QFile expected(
            QStringLiteral(JOY_FUZZ_DIR "/expected/%1/%2").arg(checked.name, QFileInfo(path).fileName()));
        if (checked.describe && expected.open(QIODevice::ReadOnly))
            QCOMPARE(checked.describe(input).trimmed(), QString::fromUtf8(expected.readAll()).trimmed());
        else if (checked.describe && qEnvironmentVariableIsSet("JOY_FUZZ_WRITE_EXPECTED") &&
                 expected.open(QIODevice::WriteOnly))
            expected.write(checked.describe(input).toUtf8() + '\n');
    }
};

QTEST_MAIN(tst_FuzzRegressions)
#include "tst_fuzzregressions.moc"
