#pragma once
// A cycle's transaction over the upload file as a pure machine: told what happened (what the journal and the upload
// file held at start, a write's result, the final answer), it gives the next stage and the one file action to perform
// next, as data. It opens no file and reads no clock; UploadOutput performs each action and feeds its result back.

#include "output/CycleJournal.h"
#include "protocol/Output.h"

#include <QObject>
#include <QString>

#include <optional>

class CycleTransaction
{
    Q_GADGET

public:
    // Pending and TornWrite outlast cycles that end before their end of file; the others but NotRecovered and Idle
    // last from the end of file to the end of the cycle.
    enum class Stage
    {
        // The start has not looked back yet.
        NotRecovered,
        // No unanswered cycle waits and none is under way.
        Idle,
        // From start: an unanswered cycle whose block the upload file holds whole, until a cycle reaches its end of
        // file.
        Pending,
        // From start: an unanswered cycle whose write was cut short and could not be taken back yet.
        TornWrite,
        // This cycle's entry is in the journal and nothing of it is left to keep or take back: its write failed, or the
        // cycle is settled.
        Journaled,
        // This cycle's block was already in the upload file, from a cycle whose answer was lost.
        Adopted,
        // This cycle wrote its block; an append stays undecided until the cycle is settled.
        Written,
        // Taking the block back failed and it is still whole in the file: the repeat that follows "CAN" is recognised
        // instead of stored twice.
        TakeBackFailed,
    };
    Q_ENUM(Stage)

    // Each names what the result fed back carries; "nothing" actions are fed back with Result::done().
    enum class Action
    {
        // The request is decided: outcome() holds its result.
        None,
        // Stale "<name>.<hex>.tmp" files of the save folder's upload files. Nothing.
        RemoveTemporaries,
        // Result::journal: what the journal file holds.
        ReadJournal,
        // Stale temporaries beside entry()'s upload file. Nothing.
        RemoveEntryTemporaries,
        // Result::fact: whether the upload file holds entry()'s whole block where entry() says.
        CheckBlock,
        // Result::measured: Step::path's length, -1 when it does not exist.
        MeasureUpload,
        // Result::failure: the upload file's one-writer hold on Step::path, waiting for another copy when Step::wait.
        HoldUpload,
        ReleaseHold,
        // Result::fact: whether entry()'s upload file from its old length to Step::length is entry()'s own torn
        // block, as the staging file still makes it.
        CompareTail,
        // Result::failure: entry()'s upload file cut back to its old length.
        CutBack,
        // The writer's box for Step::error about Step::path (the journal when empty). Nothing.
        ReportError,
        // Result::rendered: the staging file's upload lines for Step::path, read once and kept by the performer.
        Render,
        // Result::failure: entry() written to the journal, synced.
        WriteJournal,
        // Best effort. Nothing.
        ClearJournal,
        // Result::fact: the rendered lines replace the upload file at Step::path (on failure the writer's box).
        Store,
        // Result::fact: the rendered lines appended at Step::path, on disk and still undoable.
        AppendHeld,
        // The undecided append kept. Nothing.
        Commit,
        // Result::failure: the undecided append taken back.
        Rollback,
        // The undecided append of a cycle that never settled taken back. Nothing.
        DropHeldAppend,
        // Tests that kill the program mid-cycle stop here (Step::name). Nothing.
        Checkpoint,
        // A request came that the stage cannot take: a fault of the program, shown with Step::name. Nothing.
        InternalError,
    };
    Q_ENUM(Action)

    struct Step
    {
        Action action = Action::None;
        QString path;
        bool wait = false;
        qint64 length = -1;
        SystemError error;
        const char* name = "";
    };

    // The rendered block as the journal records it.
    struct Block
    {
        qint64 length = 0;
        QByteArray digest;
    };

    // What an action found; only the part its Action names is read.
    struct Result
    {
        bool yes = false;
        qint64 length = -1;
        std::optional<SystemError> error;
        CycleJournal::Reading reading;
        std::optional<Block> block;

        static Result done() { return {}; }
        static Result fact(bool yes) { return {yes, -1, {}, {}, {}}; }
        static Result measured(qint64 length) { return {false, length, {}, {}, {}}; }
        static Result failure(std::optional<SystemError> error) { return {false, -1, std::move(error), {}, {}}; }
        static Result journal(CycleJournal::Reading reading) { return {false, -1, {}, std::move(reading), {}}; }
        static Result rendered(std::optional<Block> block) { return {false, -1, {}, {}, std::move(block)}; }
    };

    // A request's result, once its step's action is None.
    struct Outcome
    {
        Output::RecoveryReport recovery;
        Output::Stored stored = Output::Stored::Failed;
        Output::Mail mail = Output::Mail::NotMailed;
        // Why the settling's take-back failed.
        std::optional<SystemError> settleError;
    };

    enum class MailDecision
    {
        NotMailed,
        // Accepted by the server before the answer was lost: not sent again.
        AlreadySent,
        Send,
    };

    // The requests. Each returns the first step; resume() gives the next one until the action is None. A request
    // must not begin while another one's action is outstanding.
    // Once before the first cycle of a run; later calls find nothing new.
    Step recover();
    // "END": the upload file at uploadPath gets the staged block, appended or replacing the file.
    Step endOfFile(const QString& uploadPath, bool append);
    // Whether the cycle's block is to be mailed now.
    MailDecision mail(bool mailingOn) const;
    // The server accepted the mail: noted in the journal, best effort. Mail::Failed when the cycle ended meanwhile.
    Step mailAccepted();
    // Just before the final answer: "ACK" keeps what the cycle stored, "CAN" takes it back.
    Step settle(bool acknowledged);
    // Right after the final answer, or without one when it could not be sent.
    Step end(bool answerSent);
    Step resume(const Result& result);

    Stage stage() const { return m_stage; }
    // The journal entry the current action concerns: the unanswered cycle's at start, else this cycle's.
    const JournalEntry& entry() const { return m_entry; }
    const Outcome& outcome() const { return m_outcome; }
    // Whether the cycle has an entry of its own, from its journal (or the adoption of a pending one) to its end.
    bool hasCycleEntry() const;

    // Whether an append that left the upload file at length was cut short: longer than before but short of the whole
    // block, or a file it created and never filled. Anything else is not that write's doing.
    static bool isTornLength(const JournalEntry& entry, qint64 length);

private:
    enum class Request
    {
        None,
        Recover,
        EndOfFile,
        MailAccepted,
        Settle,
        End,
    };

    Step begin(Request request);
    Step ask(Action action, const QString& path = QString());
    Step checkpoint(const char* name);
    Step finish();
    Step recoverNext(const Result& result);
    Step endOfFileNext(const Result& result);
    Step settleNext(const Result& result);
    Step endNext(const Result& result);
    // The end of file once any earlier cycle's leftovers are dealt with.
    Step render();
    // A pending block repeated by the terminal is looked for before anything is written.
    Step checkRepeat();
    Step newEntry();
    Step reportAndFail(const SystemError& error, const QString& path);
    // After a settled cycle's take-back: TakeBackFailed when it failed and the file still holds the whole block.
    Step settledAfter(const std::optional<SystemError>& error);
    Step answered(bool pending);
    Step internalError(const char* where);

    Stage m_stage = Stage::NotRecovered;
    JournalEntry m_entry;
    Outcome m_outcome;

    Request m_request = Request::None;
    Action m_asked = Action::None;
    // The current request's own data.
    QString m_uploadPath;
    bool m_append = false;
    bool m_acknowledged = false;
    bool m_answerSent = false;
    bool m_holdTaken = false;
    bool m_repeat = false;
    qint64 m_length = -1;
    Block m_block;
};
