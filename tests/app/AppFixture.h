#pragma once

#include "app/Prompts.h"
#include "support/LogCapture.h"

#include <gtest/gtest.h>

#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <memory>
#include <string>

namespace attractor {

class DocumentController;
class MyDocument;

// Names the cases of a table after their name field.
struct CaseName {
    template <class Row>
    std::string operator()(const ::testing::TestParamInfo<Row> &info) const
    {
        return info.param.name;
    }
};

// A document controller with every dialog answered by the test: answers are
// queued before the action, questions and error reports are recorded.
class AppFixture : public ::testing::Test
{
public:
    // Log lines written while the test ran.
    QStringList logLines() const;

protected:
    void SetUp() override;
    void TearDown() override;

    MyDocument *newDocument();
    MyDocument *open(const QString &path);
    int documentCount() const;
    // The title as the window system shows it, edited mark included.
    static QString shownTitle(const MyDocument *document);

    QString path(const QString &name) const;
    void writeFile(const QString &name, const QByteArray &bytes) const;
    QByteArray readFile(const QString &pathName) const;
    // Lets deferred deletes and queued calls run.
    static void settle();

    QTemporaryDir _dir;
    std::unique_ptr<DocumentController> _controller;

    std::deque<Prompts::SaveAnswer> _saveAnswers;
    std::deque<QString> _savePaths;
    bool _printAnswer = true;
    bool _printingWhenAsked = false;

    QStringList _asked;        // display names asked about on close
    QStringList _errors;       // messages of the error reports
    QStringList _proposedPaths;
    int _printAsked = 0;

private:
    std::unique_ptr<LogCapture> _log;
};

} // namespace attractor
