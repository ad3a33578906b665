// The editor itself, killed part way and started again: its recovery copies
// are all that survives, and they must bring the edits back.
#include "persistence/RecoveryFormat.h"
#include "support/Files.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QDeadlineTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <signal.h>

namespace {

using attractor::readRecovery;
using namespace attractor::test;

class Crash : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // No tips window to take the keys.
        ASSERT_TRUE(QDir(home.path()).mkpath(QStringLiteral("config/Attractor")));
        writeFile(home.filePath(QStringLiteral("config/Attractor/Attractor.conf")), "[General]\nQvShowTipsOnLaunch=false\n");
        for (const char *name : {"fern.frac", "other.frac"})
            writeFile(home.filePath(QLatin1String(name)), "{'n': 5000, 'transforms': [{'sx': 0.5, 'sy': 0.5}]}");
    }
    void TearDown() override { qDeleteAll(running); } // each kills its process
    QDir folder() const { return QDir(home.filePath(QStringLiteral("data/Attractor/Attractor/recovery"))); }
    QStringList copies() const { return folder().entryList({QStringLiteral("*.recovery")}, QDir::Files); }
    QByteArray copied() const { return copies().size() == 1 ? readRecovery(readFile(folder().filePath(copies()[0]))).document : QByteArray(); }

    QProcess *start(const QStringList &args)
    {
        auto *p = new QProcess;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        p->setProcessEnvironment(env);
        p->start(QStringLiteral(ATTRACTOR_APP), args);
        EXPECT_TRUE(p->waitForStarted());
        return running << p, p;
    }
    // Runs xdotool; its output, or empty when it failed or took too long.
    static QString xdotool(const QStringList &args, int timeoutMs = 20000)
    {
        QProcess x;
        x.start(QStringLiteral("xdotool"), args);
        if (!x.waitForFinished(timeoutMs))
            return x.kill(), x.waitForFinished(), QString();
        return x.exitCode() == 0 ? QString::fromUtf8(x.readAllStandardOutput()).trimmed().section(u'\n', 0, 0) : QString();
    }
    // Waits for a window whose title matches, and types into it.
    static bool type(const char *title, const QStringList &keys = {}, int timeoutMs = 20000)
    {
        // Polled: a search fails at once when a window it looks at goes away meanwhile.
        QString window;
        QDeadlineTimer deadline(timeoutMs);
        while (window.isEmpty() && !deadline.hasExpired())
            if ((window = xdotool({QStringLiteral("search"), QStringLiteral("--name"), QLatin1String(title)})).isEmpty())
                QTest::qWait(100);
        QTest::qWait(500); // mapped, but not yet taking keys
        for (const QString &k : keys)
            xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window}), xdotool({QStringLiteral("key"), k}), QTest::qWait(300);
        return !window.isEmpty();
    }
    static void killHard(QProcess *p) { ::kill(pid_t(p->processId()), SIGKILL), p->waitForFinished(); }
    static bool waitFor(const std::function<bool()> &condition) { return QTest::qWaitFor(condition, 15000); }

    QTemporaryDir home;
    QList<QProcess *> running;
};

// Edited, killed, started again: the dialog offers the document, which comes back edited under its own name. A
// start while the first runs hands its file over; an instance of its own leaves the first one's copy alone.
TEST_F(Crash, AnEditSurvivesKillAndComesBackThroughTheDialog)
{
    const QString fern = home.filePath(QStringLiteral("fern.frac"));
    for (const bool titled : {true, false}) {
        SCOPED_TRACE(titled ? "titled" : "untitled");
        const char *title = titled ? "^fern\\.frac" : "^Untitled", *edited = titled ? "^fern\\.frac\\*" : "^Untitled\\*";
        QProcess *first = start(titled ? QStringList{fern} : QStringList{});
        ASSERT_TRUE(type(title, {QStringLiteral("ctrl+shift+n"), QStringLiteral("ctrl+shift+n")}));
        // Two new maps beside one or three.
        ASSERT_TRUE(waitFor([&] { return copied().count("'sx'") == (titled ? 3 : 5); }));
        const QString firstCopy = copies()[0];
        const QByteArray document = copied();
        if (titled) {
            // Started again, the program hands its file to the running one and ends.
            QProcess *handing = start({home.filePath(QStringLiteral("other.frac"))});
            EXPECT_TRUE(handing->waitForFinished(10000) && handing->exitCode() == 0 && type("^other\\.frac"));
            QProcess *second = start({QStringLiteral("--new-instance")});
            EXPECT_TRUE(type("^Untitled") && !type("^Recover Documents", {}, 2000));
            killHard(second);
        }
        killHard(first);

        start({});
        ASSERT_TRUE(type("^Recover Documents", {QStringLiteral("Return")}) && type(edited));
        // The copy moves to the new instance, unchanged.
        EXPECT_TRUE(waitFor([&] { return copies() != QStringList{firstCopy} && copied() == document; }));
        if (titled) {
            type(edited, {QStringLiteral("ctrl+s")});
            EXPECT_TRUE(waitFor([&] { return readFile(fern) == document && copies().isEmpty(); }));
        }
        killHard(running.last());
        folder().removeRecursively();
    }
}

} // namespace
