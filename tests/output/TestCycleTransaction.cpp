#include "output/CycleTransaction.h"

#include <QMetaEnum>
#include <QTest>

using Stage = CycleTransaction::Stage;
using Action = CycleTransaction::Action;
using Result = CycleTransaction::Result;
using Step = CycleTransaction::Step;

namespace {

const QString Upload = QStringLiteral("/save/UP.txt");

// The unanswered cycle a kill left: 5 bytes before, a 10-byte block appended (or the whole file when replacing).
JournalEntry killedEntry(bool append)
{
    JournalEntry entry;
    entry.uploadPath = Upload;
    entry.append = append;
    entry.oldLength = append ? 5 : -1;
    entry.blockLength = 10;
    entry.digest = QByteArray(32, 'd');
    return entry;
}

// Where a row starts; each is reached through the machine itself, by a path other rows check step by step.
enum class Start
{
    Fresh,
    Idle,
    PendingAppend,
    PendingReplace,
    TornWrite,
    WrittenAppend,
    WrittenReplace,
    Adopted,
    TakeBackFailed,
    Journaled,
};

// Results in the order the machine asks for them, for the actions that carry one: "y"/"n" facts, "ok"/"err"
// failures, a number for a length, "absent"/"torn"/"append"/"replace" for the journal read, "same"/"other"/"none" for
// the rendered block.
QList<Result> results(const QString& script)
{
    QList<Result> list;
    for (const QString& token : script.split(u' ', Qt::SkipEmptyParts)) {
        bool isNumber = false;
        const qint64 number = token.toLongLong(&isNumber);
        CycleJournal::Reading reading;
        if (token == u"y" || token == u"n") {
            list << Result::fact(token == u"y");
        } else if (token == u"ok" || token == u"err") {
            list << Result::failure(token == u"err" ? std::optional(SystemError{5, QStringLiteral("I/O")})
                                                    : std::nullopt);
        } else if (isNumber) {
            list << Result::measured(number);
        } else if (token == u"absent" || token == u"torn") {
            reading.state = token == u"absent" ? CycleJournal::State::Absent : CycleJournal::State::Unreadable;
            list << Result::journal(reading);
        } else if (token == u"append" || token == u"replace") {
            reading.state = CycleJournal::State::Present;
            reading.entry = killedEntry(token == u"append");
            list << Result::journal(reading);
        } else if (token == u"same" || token == u"other") {
            list << Result::rendered(CycleTransaction::Block{10, QByteArray(32, token == u"same" ? 'd' : 'e')});
        } else {
            list << Result::rendered(std::nullopt);
        }
    }
    return list;
}

bool carriesResult(Action action)
{
    switch (action) {
    case Action::ReadJournal:
    case Action::CheckBlock:
    case Action::MeasureUpload:
    case Action::HoldUpload:
    case Action::CompareTail:
    case Action::CutBack:
    case Action::Render:
    case Action::WriteJournal:
    case Action::Store:
    case Action::AppendHeld:
    case Action::Rollback:
        return true;
    default:
        return false;
    }
}

// Performs step and every step after it with the scripted results; the actions asked, space separated, a
// checkpoint with its name. Empty results where the script runs out are a failure of the row.
QString drive(CycleTransaction& transaction, Step step, const QString& script, bool& scriptFits)
{
    QList<Result> pending = results(script);
    QStringList actions;
    const QMetaEnum names = QMetaEnum::fromType<Action>();
    scriptFits = true;
    while (step.action != Action::None) {
        QString name = QString::fromLatin1(names.valueToKey(int(step.action)));
        if (step.action == Action::Checkpoint) {
            name += u':' + QString::fromLatin1(step.name);
        }
        actions << name;
        if (!carriesResult(step.action)) {
            step = transaction.resume(Result::done());
        } else if (pending.isEmpty()) {
            scriptFits = false;
            break;
        } else {
            step = transaction.resume(pending.takeFirst());
        }
    }
    scriptFits = scriptFits && pending.isEmpty();
    return actions.join(u' ');
}

void run(CycleTransaction& transaction, Step step, const QString& script)
{
    bool fits = false;
    drive(transaction, std::move(step), script, fits);
    QVERIFY(fits);
}

CycleTransaction machineAt(Start start)
{
    CycleTransaction t;
    switch (start) {
    case Start::Fresh:
        break;
    case Start::Idle:
        run(t, t.recover(), QStringLiteral("absent"));
        break;
    case Start::PendingAppend:
    case Start::PendingReplace:
        run(t, t.recover(), start == Start::PendingAppend ? QStringLiteral("append y") : QStringLiteral("replace y"));
        break;
    case Start::TornWrite:
        run(t, t.recover(), QStringLiteral("append n 8 ok y err"));
        break;
    case Start::WrittenAppend:
        run(t, t.recover(), QStringLiteral("absent"));
        run(t, t.endOfFile(Upload, true), QStringLiteral("other ok 5 ok y"));
        break;
    case Start::WrittenReplace:
        run(t, t.recover(), QStringLiteral("absent"));
        run(t, t.endOfFile(Upload, false), QStringLiteral("other ok y"));
        break;
    case Start::Adopted:
        run(t, t.recover(), QStringLiteral("append y"));
        run(t, t.endOfFile(Upload, true), QStringLiteral("same ok y"));
        break;
    case Start::TakeBackFailed:
        t = machineAt(Start::WrittenAppend);
        run(t, t.settle(false), QStringLiteral("err y"));
        break;
    case Start::Journaled:
        t = machineAt(Start::WrittenAppend);
        run(t, t.settle(true), QString());
        break;
    }
    return t;
}

} // namespace

class TestCycleTransaction : public QObject
{
    Q_OBJECT

private slots:
    // Every stage and every failure edge as a transcript of the file actions asked, the stage after and the result.
    void transcripts_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<QString>("request");
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("actions");
        QTest::addColumn<int>("stage");
        QTest::addColumn<int>("outcome");

        const auto row = [](const char* name, Start start, const char* request, const char* script, const char* actions,
                            Stage stage, auto outcome) {
            QTest::newRow(name) << int(start) << QString::fromLatin1(request) << QString::fromLatin1(script)
                                << QString::fromLatin1(actions) << int(stage) << int(outcome);
        };
        using Recovery = Output::Recovery;
        using Stored = Output::Stored;
        // After the answer: whether the settling reported a failed take-back.
        const bool failed = true;
        const bool fine = false;
        const char* const look = "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock";

        // At start.
        row("no journal", Start::Fresh, "recover", "absent", "RemoveTemporaries ReadJournal", Stage::Idle,
            Recovery::Nothing);
        row("torn journal", Start::Fresh, "recover", "torn", "RemoveTemporaries ReadJournal ClearJournal", Stage::Idle,
            Recovery::Unreadable);
        row("block whole", Start::Fresh, "recover", "append y", look, Stage::Pending, Recovery::Pending);
        row("replaced file not whole", Start::Fresh, "recover", "replace n",
            "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock ClearJournal", Stage::Idle,
            Recovery::Nothing);
        row("append never began", Start::Fresh, "recover", "append n 5",
            "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock MeasureUpload ClearJournal", Stage::Idle,
            Recovery::Nothing);
        row("longer than the block: another writer's", Start::Fresh, "recover", "append n 16",
            "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock MeasureUpload ClearJournal", Stage::Idle,
            Recovery::Nothing);
        row("torn, another copy holds it", Start::Fresh, "recover", "append n 8 err",
            "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock MeasureUpload HoldUpload ClearJournal",
            Stage::Idle, Recovery::Nothing);
        row("torn, tail not ours", Start::Fresh, "recover", "append n 8 ok n",
            "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock MeasureUpload HoldUpload CompareTail "
            "ClearJournal ReleaseHold",
            Stage::Idle, Recovery::Nothing);
        row("torn, cut back", Start::Fresh, "recover", "append n 8 ok y ok",
            "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock MeasureUpload HoldUpload CompareTail "
            "CutBack ClearJournal ReleaseHold",
            Stage::Idle, Recovery::CutBack);
        row("torn, cut back fails: journal kept", Start::Fresh, "recover", "append n 8 ok y err",
            "RemoveTemporaries ReadJournal RemoveEntryTemporaries CheckBlock MeasureUpload HoldUpload CompareTail "
            "CutBack ReleaseHold",
            Stage::TornWrite, Recovery::CutBackFailed);
        row("looked back already", Start::Idle, "recover", "", "", Stage::Idle, Recovery::Nothing);

        // End of file.
        row("append", Start::Idle, "eof append", "other ok 5 ok y",
            "Render HoldUpload MeasureUpload WriteJournal Checkpoint:journal AppendHeld", Stage::Written,
            Stored::Written);
        row("replace", Start::Idle, "eof replace", "other ok y", "Render WriteJournal Checkpoint:journal Store",
            Stage::Written, Stored::Written);
        row("staging unreadable", Start::Idle, "eof append", "none", "Render", Stage::Idle, Stored::Failed);
        row("hold refused", Start::Idle, "eof append", "other err", "Render HoldUpload ReportError", Stage::Idle,
            Stored::Failed);
        row("journal refused", Start::Idle, "eof append", "other ok 5 err",
            "Render HoldUpload MeasureUpload WriteJournal ReportError", Stage::Idle, Stored::Failed);
        row("append refused", Start::Idle, "eof append", "other ok 5 ok n",
            "Render HoldUpload MeasureUpload WriteJournal Checkpoint:journal AppendHeld", Stage::Journaled,
            Stored::Failed);
        row("repeat of the pending block adopted", Start::PendingAppend, "eof append", "same ok y",
            "Render HoldUpload CheckBlock", Stage::Adopted, Stored::AlreadyStored);
        row("pending block no longer whole", Start::PendingAppend, "eof append", "same ok n 15 ok y",
            "Render HoldUpload CheckBlock MeasureUpload WriteJournal Checkpoint:journal AppendHeld", Stage::Written,
            Stored::Written);
        row("another block after a pending one", Start::PendingAppend, "eof append", "other ok 15 ok y",
            "Render HoldUpload MeasureUpload WriteJournal Checkpoint:journal AppendHeld", Stage::Written,
            Stored::Written);
        row("replaced repeat rewritten in place", Start::PendingReplace, "eof replace", "same y ok y",
            "Render CheckBlock WriteJournal Checkpoint:journal Store", Stage::Written, Stored::AlreadyStored);
        row("torn write cut back first", Start::TornWrite, "eof append", "ok other ok 5 ok y",
            "CutBack Render HoldUpload MeasureUpload WriteJournal Checkpoint:journal AppendHeld", Stage::Written,
            Stored::Written);
        row("torn write still not cut back", Start::TornWrite, "eof append", "err", "CutBack ReportError",
            Stage::TornWrite, Stored::Failed);
        row("unsettled append dropped", Start::WrittenAppend, "eof append", "other ok 5 ok y",
            "DropHeldAppend Render HoldUpload MeasureUpload WriteJournal Checkpoint:journal AppendHeld", Stage::Written,
            Stored::Written);
        row("repeat after a failed take-back", Start::TakeBackFailed, "eof append", "other ok y",
            "Render HoldUpload CheckBlock", Stage::Adopted, Stored::AlreadyStored);

        // Just before the final answer.
        row("append kept", Start::WrittenAppend, "settle ACK", "", "Commit ReleaseHold Checkpoint:answer",
            Stage::Journaled, fine);
        row("append taken back", Start::WrittenAppend, "settle CAN", "ok", "Rollback ReleaseHold Checkpoint:answer",
            Stage::Journaled, fine);
        row("take-back fails, block whole", Start::WrittenAppend, "settle CAN", "err y",
            "Rollback CheckBlock ReleaseHold Checkpoint:answer", Stage::TakeBackFailed, failed);
        row("take-back fails, block torn", Start::WrittenAppend, "settle CAN", "err n",
            "Rollback CheckBlock ReleaseHold Checkpoint:answer", Stage::Journaled, failed);
        row("replaced file stays", Start::WrittenReplace, "settle CAN", "", "ReleaseHold Checkpoint:answer",
            Stage::Journaled, fine);
        row("adopted block taken back", Start::Adopted, "settle CAN", "ok", "CutBack ReleaseHold Checkpoint:answer",
            Stage::Journaled, fine);
        row("adopted block kept", Start::Adopted, "settle ACK", "", "ReleaseHold Checkpoint:answer", Stage::Journaled,
            fine);
        row("nothing stored", Start::Idle, "settle CAN", "", "ReleaseHold Checkpoint:answer", Stage::Idle, fine);

        // Right after it.
        row("answered", Start::Journaled, "end sent", "", "ReleaseHold Checkpoint:answered ClearJournal", Stage::Idle,
            fine);
        row("unanswered, block whole", Start::Journaled, "end unsent", "y",
            "ReleaseHold CheckBlock Checkpoint:answered", Stage::Pending, fine);
        row("unanswered, block gone", Start::Journaled, "end unsent", "n",
            "ReleaseHold CheckBlock Checkpoint:answered ClearJournal", Stage::Idle, fine);
        row("failed take-back stays pending", Start::TakeBackFailed, "end sent", "", "ReleaseHold Checkpoint:answered",
            Stage::Pending, fine);
        row("never settled", Start::WrittenAppend, "end sent", "",
            "DropHeldAppend ReleaseHold Checkpoint:answered ClearJournal", Stage::Idle, fine);
        row("pending block outlasts a failed cycle", Start::PendingAppend, "end sent", "", "ReleaseHold",
            Stage::Pending, fine);
    }

    void transcripts()
    {
        QFETCH(int, start);
        QFETCH(QString, request);
        QFETCH(QString, script);
        QFETCH(QString, actions);
        QFETCH(int, stage);
        QFETCH(int, outcome);

        CycleTransaction transaction = machineAt(Start(start));
        Step first;
        if (request == u"recover") {
            first = transaction.recover();
        } else if (request.startsWith(u"eof")) {
            first = transaction.endOfFile(Upload, request.endsWith(u"append"));
        } else if (request.startsWith(u"settle")) {
            first = transaction.settle(request.endsWith(u"ACK"));
        } else {
            first = transaction.end(request.endsWith(u" sent"));
        }
        bool fits = false;
        QCOMPARE(drive(transaction, first, script, fits), actions);
        QVERIFY2(fits, "the script does not match the results asked for");
        QCOMPARE(transaction.stage(), Stage(stage));

        const CycleTransaction::Outcome& got = transaction.outcome();
        if (request == u"recover") {
            QCOMPARE(int(got.recovery.recovery), outcome);
            QCOMPARE(got.recovery.error.number, got.recovery.recovery == Output::Recovery::CutBackFailed ? 5 : 0);
        } else if (request.startsWith(u"eof")) {
            QCOMPARE(int(got.stored), outcome);
        } else {
            QCOMPARE(int(got.settleError.has_value()), outcome);
        }
    }

    // What a journal entry says once written: the old length measured under the hold, the mail of a rewritten
    // repeat; and the mail's place in the cycle.
    void entriesAndMail()
    {
        CycleTransaction t = machineAt(Start::WrittenAppend);
        QCOMPARE(t.entry().oldLength, 5);
        QCOMPARE(t.entry().digest, QByteArray(32, 'e'));
        QCOMPARE(t.mail(false), CycleTransaction::MailDecision::NotMailed);
        QCOMPARE(t.mail(true), CycleTransaction::MailDecision::Send);
        bool fits = false;
        QCOMPARE(drive(t, t.mailAccepted(), QStringLiteral("err"), fits), QStringLiteral("WriteJournal"));
        QVERIFY(fits && t.entry().mailAccepted);
        QCOMPARE(t.outcome().mail, Output::Mail::Sent);
        QCOMPARE(t.mail(true), CycleTransaction::MailDecision::AlreadySent);
        // The session ended while the mail was out: nothing is noted for a cycle already answered.
        run(t, t.settle(false), QStringLiteral("ok"));
        run(t, t.end(true), QString());
        QCOMPARE(drive(t, t.mailAccepted(), QString(), fits), QString());
        QCOMPARE(t.outcome().mail, Output::Mail::Failed);
        QCOMPARE(t.mail(true), CycleTransaction::MailDecision::NotMailed);

        // A replaced file rewritten with the same bytes keeps the note that its mail went out.
        CycleTransaction replaced;
        CycleJournal::Reading reading{CycleJournal::State::Present, killedEntry(false)};
        reading.entry.mailAccepted = true;
        Step step = replaced.recover();
        while (step.action != Action::ReadJournal) {
            step = replaced.resume(Result::done());
        }
        run(replaced, replaced.resume(Result::journal(reading)), QStringLiteral("y"));
        run(replaced, replaced.endOfFile(Upload, false), QStringLiteral("same y ok y"));
        QVERIFY(replaced.entry().mailAccepted && replaced.entry().oldLength == -1);
        QCOMPARE(replaced.mail(true), CycleTransaction::MailDecision::AlreadySent);

        // A request while another's action is outstanding is a fault of the program, said as such.
        CycleTransaction busy;
        QCOMPARE(busy.recover().action, Action::RemoveTemporaries);
        QCOMPARE(busy.settle(true).action, Action::InternalError);
    }
};

QTEST_GUILESS_MAIN(TestCycleTransaction)
#include "TestCycleTransaction.moc"
