#include "persistence/AtomicWrite.h"

#include "support/FileSizeLimit.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace attractor;

namespace {

class AtomicWrite : public ::testing::Test
{
protected:
    void SetUp() override { ASSERT_TRUE(dir.isValid()); }
    QString path(const char *name) const { return dir.filePath(QString::fromLatin1(name)); }
    QStringList entries() const { return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot); }
    QByteArray contents(const char *name) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    void write(const char *name, const QByteArray &bytes) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size());
    }
    QTemporaryDir dir;
};

// Every byte value, and more than one write buffer, so nothing is translated or dropped.
QByteArray sample(qsizetype size)
{
    QByteArray bytes(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 256) & 0xff);
    return bytes;
}

TEST_F(AtomicWrite, NewAndReplacedFilesHoldExactlyTheBytes)
{
    for (const QByteArray &bytes : {sample(100 * 1024), QByteArray("short\r\n\0tail", 12), QByteArray()}) {
        QString error = QStringLiteral("untouched");
        ASSERT_TRUE(writeFileAtomically(path("out.bin"), bytes, &error)) << error.toStdString();
        EXPECT_EQ(contents("out.bin"), bytes);
        EXPECT_EQ(error, QStringLiteral("untouched")) << "success reports no reason";
        EXPECT_EQ(entries(), QStringList{QStringLiteral("out.bin")}) << "a temporary file was left behind";
    }
}

// A write the disk cuts short (a file-size limit, as on a full disk) leaves
// the old file whole and no temporary file beside it.
TEST_F(AtomicWrite, ShortWriteKeepsTheOldFileAndSaysWhy)
{
    write("doc.frac", "the previous document");
    const QByteArray bytes = sample(256 * 1024);
    QString error;
    bool written = true;
    {
        const FileSizeLimit limit(16 * 1024);
        written = writeFileAtomically(path("doc.frac"), bytes, &error);
    }
    EXPECT_FALSE(written);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(contents("doc.frac"), QByteArray("the previous document"));
    EXPECT_EQ(entries(), QStringList{QStringLiteral("doc.frac")}) << "a temporary file was left behind";
}

// Where no file can be made the reason is the system's, and nothing is
// created or changed.
TEST_F(AtomicWrite, UnwritablePlacesFailWithTheReason)
{
    write("plain", "a plain file");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder")));
    struct Row { const char *name, *reason; };
    for (const Row &row : {Row{"missing/out.frac", "No such file or directory"}, Row{"plain/out.frac", "Not a directory"},
                           Row{"folder", "directory"}}) {
        QString error;
        EXPECT_FALSE(writeFileAtomically(path(row.name), "new bytes", &error)) << row.name;
        EXPECT_TRUE(error.contains(QLatin1String(row.reason), Qt::CaseInsensitive))
            << row.name << ": " << error.toStdString();
    }
    EXPECT_EQ(contents("plain"), QByteArray("a plain file"));
    EXPECT_EQ(entries(), (QStringList{QStringLiteral("folder"), QStringLiteral("plain")}));
    EXPECT_TRUE(QDir(path("folder")).isEmpty());
}

} // namespace
