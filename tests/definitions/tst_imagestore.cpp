// Storing a definition's picture: converted to the format its name asks for, copied unchanged
// when it is no picture, and the failures told in French.
#include "imagestore.h"
#include "support/testsupport.h"

#include <QImage>
#include <QImageReader>

using TestSupport::readFile;
using TestSupport::writeFile;

class tst_ImageStore : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase()
    {
        QImage image(8, 6, QImage::Format_RGB32);
        image.fill(Qt::red);
        // Saved without a suffix: the reader must recognise it by content.
        m_png = m_dir.filePath("source");
        QVERIFY(image.save(m_png, "PNG"));
    }

    void imageTakesFormatOfTarget_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QByteArray>("format");

        QTest::newRow("jpg suffix") << "image.jpg" << QByteArray("jpeg");
        QTest::newRow("upper-case JPEG suffix") << "image.JPEG" << QByteArray("jpeg");
        QTest::newRow("bmp suffix") << "image.bmp" << QByteArray("bmp");
        QTest::newRow("unknown suffix falls back to png") << "image.gif" << QByteArray("png");
        QTest::newRow("no suffix falls back to png") << "image" << QByteArray("png");
    }

    void imageTakesFormatOfTarget()
    {
        QFETCH(QString, target);
        QFETCH(QByteArray, format);
        if (format == "jpeg" && !QImageReader::supportedImageFormats().contains("jpeg"))
            QSKIP("no JPEG image plugin on this machine");
        const QString path = m_dir.filePath(target);
        QFile::remove(path);
        QString error;
        QVERIFY2(ImageStore::storeImage(m_png, path, &error), qPrintable(error));
        QImageReader reader(path);
        reader.setDecideFormatFromContent(true);
        QCOMPARE(reader.format(), format);
        QCOMPARE(reader.read().size(), QSize(8, 6));
    }

    void nonImageIsCopiedUnchanged()
    {
        const QString source = m_dir.filePath("notes.png");
        const QByteArray bytes("not really a picture\x00\x01", 22);
        QVERIFY(writeFile(source, bytes));
        const QString target = m_dir.filePath("copy.png");
        QVERIFY(writeFile(target, "previous picture"));

        QVERIFY(ImageStore::storeImage(source, target));
        QCOMPARE(readFile(target), bytes);
        QVERIFY(ImageStore::storeImage(source, source)); // onto itself: kept
        QCOMPARE(readFile(source), bytes);
    }

    void failures()
    {
        QString error;
        const QString missing = m_dir.filePath("missing.png");
        const QString target = m_dir.filePath("never.png");
        QVERIFY(!ImageStore::storeImage(missing, target, &error));
        QCOMPARE(error, QString("Impossible de copier l’image %1 vers %2").arg(missing, target));

        // A file where the target folder should be.
        const QString blocked = m_png + "/image.png";
        QVERIFY(!ImageStore::storeImage(m_png, blocked, &error));
        QVERIFY2(error.startsWith(QString("Échec écriture image %1 (").arg(blocked)), qPrintable(error));
        QVERIFY(!ImageStore::storeImage(m_png, blocked)); // no error target
    }

private:
    QTemporaryDir m_dir;
    QString m_png;
};

QTEST_MAIN(tst_ImageStore)
#include "tst_imagestore.moc"
