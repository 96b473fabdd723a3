#include "Classes/MediaImport.h"
#include "tests/support/TestSupport.h"

#include <QFile>
#include <gtest/gtest.h>

using testsupport::LogCapture;
using testsupport::readFile;
using testsupport::TempDir;
using testsupport::writeFile;

namespace {

QByteArray be32(quint32 v)
{
    QByteArray b(4, '\0');
    for (int i = 0; i < 4; ++i)
        b[i] = char((v >> (24 - 8 * i)) & 0xff);
    return b;
}

QByteArray be64(quint64 v)
{
    return be32(quint32(v >> 32)) + be32(quint32(v));
}

// An atom whose size field says `size` (the real length when -1).
QByteArray atom(const char* type, const QByteArray& payload, qint64 size = -1)
{
    const quint32 field = size < 0 ? quint32(8 + payload.size()) : quint32(size);
    return be32(field) + QByteArray(type, 4) + payload;
}

QByteArray atom64(const char* type, const QByteArray& payload, quint64 extended)
{
    return be32(1) + QByteArray(type, 4) + be64(extended) + payload;
}

QByteArray pattern(qsizetype n, char seed = 0)
{
    QByteArray b(n, '\0');
    for (qsizetype i = 0; i < n; ++i)
        b[i] = char((i * 31 + seed) & 0xff);
    return b;
}

class Extract : public ::testing::Test {
protected:
    TempDir dir;
    LogCapture log;
    QString movie = dir.file("Title.mov");
    QString dest = dir.file("Title.mp3");

    bool run(const QByteArray& movieBytes)
    {
        writeFile(movie, movieBytes);
        return MediaImport::extractQTMovie(Url::fileURLWithPath(movie), Url::fileURLWithPath(dest));
    }
    QStringList errors() const { return log.lines(); }
};

const QString kNotFound = "[ERROR] [extractQTMovie:toFile:] Did not find mdat chunk";

TEST_F(Extract, CopiesThePayloadOfTheFirstTopLevelMdat)
{
    // First atom "mdat": the copy starts at byte 8.
    const QByteArray audio = pattern(5000);
    EXPECT_TRUE(run(atom("mdat", audio)));
    EXPECT_EQ(readFile(dest), audio);
    EXPECT_TRUE(errors().isEmpty());

    // A 20-byte atom, an 8-byte atom, then "mdat" at byte 28, copied from byte 36.
    EXPECT_TRUE(run(atom("ftyp", pattern(12, 1)) + atom("free", {}) + atom("mdat", audio) + atom("moov", pattern(64))));
    EXPECT_EQ(readFile(dest), audio);

    // "MDAT" in capitals is another type; a second "mdat" is never read.
    EXPECT_TRUE(run(atom("MDAT", pattern(40, 2)) + atom("mdat", audio) + atom("mdat", pattern(99, 3))));
    EXPECT_EQ(readFile(dest), audio);
    EXPECT_TRUE(errors().isEmpty());
}

TEST_F(Extract, PayloadsAroundTheBlockSize)
{
    // Up to a payload that the copy takes in several writeback steps.
    for (qsizetype n : {qsizetype(0), qsizetype(1), qsizetype(102399), qsizetype(102400), qsizetype(102401),
                        qsizetype(3 * 102400 + 17), qsizetype(2 * 1024 * 1024 + 102400 + 5)}) {
        const QByteArray audio = pattern(n, char(n));
        writeFile(dest, "old content that must go");
        EXPECT_TRUE(run(atom("ftyp", pattern(12)) + atom("mdat", audio))) << n;
        EXPECT_EQ(readFile(dest), audio) << n;
    }
    EXPECT_TRUE(errors().isEmpty());
}

TEST_F(Extract, NoMdatLeavesTheDestinationUntouched)
{
    const QByteArray old = "a file the user had";
    const QByteArray audio = pattern(100);
    const QByteArray movies[] = {
        QByteArray(),                                          // empty movie
        QByteArray("\0\0\0", 3),                               // ends inside a header
        atom("ftyp", pattern(12)),                             // no mdat at all
        atom("ftyp", pattern(12)) + atom("moov", {}, 0) + atom("mdat", audio), // size-0 non-mdat atom
        atom("ftyp", pattern(12), 5000) + atom("mdat", audio), // atom runs past the end
        atom("moov", atom("mdat", audio)),                     // mdat only inside another atom
        atom("ftyp", {}, 7) + atom("mdat", audio),             // sizes 2..7 describe no atom
        atom("mdat", audio, 4),
        atom64("free", {}, 15) + atom("mdat", audio),          // extended size below 16
        be32(1) + QByteArray("mdat") + QByteArray("\0\0\0", 3), // extended size cut short
    };
    for (const QByteArray& m : movies) {
        writeFile(dest, old);
        EXPECT_FALSE(run(m)) << m.toHex().left(64).toStdString();
        EXPECT_EQ(readFile(dest), old);
    }
    QFile::remove(dest);
    EXPECT_FALSE(run(atom("free", {})));
    EXPECT_FALSE(QFile::exists(dest)) << "not created either";
    const QStringList lines = errors();
    EXPECT_EQ(lines.size(), int(std::size(movies)) + 1);
    for (const QString& l : lines)
        EXPECT_EQ(l, kNotFound);
}

TEST_F(Extract, SixtyFourBitSizes)
{
    const QByteArray audio = pattern(70000, 5);
    // A skipped atom and an "mdat" that both carry their size in the 64-bit field.
    EXPECT_TRUE(run(atom64("wide", pattern(10), 26) + atom64("mdat", audio, 16 + quint64(audio.size()))));
    EXPECT_EQ(readFile(dest), audio);

    // An "mdat" whose size field is 0 runs to the end of the file.
    EXPECT_TRUE(run(atom("ftyp", pattern(12)) + atom("mdat", audio, 0)));
    EXPECT_EQ(readFile(dest), audio);

    // A huge 64-bit size on a skipped atom ends the walk instead of seeking backwards.
    EXPECT_FALSE(run(atom64("free", {}, ~quint64(0)) + atom("mdat", audio)));
    EXPECT_EQ(errors(), QStringList{kNotFound});
}

TEST_F(Extract, TruncatedPayloadIsAFailure)
{
    // The header promises 250000 bytes, the file holds 150000.
    const QByteArray audio = pattern(150000, 9);
    EXPECT_FALSE(run(atom("mdat", audio, 8 + 250000)));
    EXPECT_EQ(errors(), QStringList{"[ERROR] [extractQTMovie:toFile:] Truncated mdat chunk"});
    EXPECT_EQ(readFile(dest), audio.left(102400)) << "only whole blocks are written";

    // The same through a 64-bit size that runs beyond the file.
    EXPECT_FALSE(run(atom64("mdat", audio, 16 + (quint64(1) << 33))));
}

TEST_F(Extract, UnopenableFiles)
{
    EXPECT_FALSE(MediaImport::extractQTMovie(Url::fileURLWithPath(dir.file("missing.mov")), Url::fileURLWithPath(dest)));
    EXPECT_FALSE(QFile::exists(dest));
    writeFile(movie, atom("mdat", pattern(10)));
    EXPECT_FALSE(MediaImport::extractQTMovie(Url::fileURLWithPath(movie), Url::fileURLWithPath(dir.file("no/such/dir/x.mp3"))));
    EXPECT_EQ(errors(), (QStringList{"[ERROR] [extractQTMovie:toFile:] Could not open source file",
                                     "[ERROR] [extractQTMovie:toFile:] Could not open destination file"}));
}

TEST_F(Extract, NonAsciiPaths)
{
    const QString m = dir.file(QString::fromUtf8("Ærø Strings – Café.mov"));
    const QString d = dir.file(QString::fromUtf8("Ærø Strings – Café.mp3"));
    writeFile(m, atom("mdat", pattern(300)));
    EXPECT_TRUE(MediaImport::extractQTMovie(Url::fileURLWithPath(m), Url::fileURLWithPath(d)));
    EXPECT_EQ(readFile(d), pattern(300));
}

TEST_F(Extract, AFullDiskIsAFailure)
{
    // /dev/full takes the open and refuses every write.
    writeFile(movie, atom("mdat", pattern(200000, 4)));
    EXPECT_FALSE(MediaImport::extractQTMovie(Url::fileURLWithPath(movie), Url::fileURLWithPath("/dev/full")));
    EXPECT_EQ(errors(), QStringList{"[ERROR] [extractQTMovie:toFile:] Could not write destination file"});
}

} // namespace
