#include "output/CycleTransaction.h"

#include <algorithm>

namespace {

bool sameBlock(const JournalEntry& entry, bool append, const CycleTransaction::Block& block)
{
    return entry.append == append && entry.blockLength == block.length && entry.digest == block.digest;
}

} // namespace

bool CycleTransaction::isTornLength(const JournalEntry& entry, qint64 length)
{
    const qint64 base = std::max<qint64>(entry.oldLength, 0);
    return (length > base && length <= base + entry.blockLength) || (entry.oldLength < 0 && length == 0);
}

bool CycleTransaction::hasCycleEntry() const
{
    switch (m_stage) {
    case Stage::Journaled:
    case Stage::Adopted:
    case Stage::Written:
    case Stage::TakeBackFailed:
        return true;
    default:
        return false;
    }
}

CycleTransaction::Step CycleTransaction::begin(Request request)
{
    const bool busy = m_request != Request::None;
    m_request = request;
    m_outcome = Outcome();
    return busy ? internalError("CycleTransaction: request during another") : Step();
}

CycleTransaction::Step CycleTransaction::ask(Action action, const QString& path)
{
    m_asked = action;
    Step step;
    step.action = action;
    step.path = path;
    return step;
}

CycleTransaction::Step CycleTransaction::checkpoint(const char* name)
{
    Step step = ask(Action::Checkpoint);
    step.name = name;
    return step;
}

CycleTransaction::Step CycleTransaction::finish()
{
    m_request = Request::None;
    m_asked = Action::None;
    return {};
}

CycleTransaction::Step CycleTransaction::internalError(const char* where)
{
    m_request = Request::None;
    Step step = ask(Action::InternalError);
    step.name = where;
    return step;
}

CycleTransaction::Step CycleTransaction::resume(const Result& result)
{
    if (m_asked == Action::InternalError) {
        return finish();
    }
    switch (m_request) {
    case Request::Recover:
        return recoverNext(result);
    case Request::EndOfFile:
        return endOfFileNext(result);
    case Request::MailAccepted:
        // The journal's note of the mail is best effort: without it a kill before the answer costs a second mail.
        return finish();
    case Request::Settle:
        return settleNext(result);
    case Request::End:
        return endNext(result);
    default:
        return internalError("CycleTransaction: result without a request");
    }
}

CycleTransaction::Step CycleTransaction::recover()
{
    if (const Step refused = begin(Request::Recover); refused.action != Action::None) {
        return refused;
    }
    if (m_stage != Stage::NotRecovered) {
        return finish();
    }
    m_stage = Stage::Idle;
    m_holdTaken = false;
    return ask(Action::RemoveTemporaries);
}

CycleTransaction::Step CycleTransaction::recoverNext(const Result& result)
{
    switch (m_asked) {
    case Action::RemoveTemporaries:
        return ask(Action::ReadJournal);
    case Action::ReadJournal:
        switch (result.reading.state) {
        case CycleJournal::State::Absent:
            return finish();
        case CycleJournal::State::Unreadable:
            m_outcome.recovery.recovery = Output::Recovery::Unreadable;
            return ask(Action::ClearJournal);
        case CycleJournal::State::Present:
            m_entry = result.reading.entry;
            return ask(Action::RemoveEntryTemporaries, m_entry.uploadPath);
        }
        break;
    case Action::RemoveEntryTemporaries:
        return ask(Action::CheckBlock, m_entry.uploadPath);
    case Action::CheckBlock:
        if (result.yes) {
            // The answer may or may not have gone out: only the terminal's next block can tell.
            m_stage = Stage::Pending;
            m_outcome.recovery.recovery = Output::Recovery::Pending;
            return finish();
        }
        return m_entry.append ? ask(Action::MeasureUpload, m_entry.uploadPath) : ask(Action::ClearJournal);
    case Action::MeasureUpload:
        m_length = result.length;
        if (isTornLength(m_entry, m_length)) {
            // Held while it is looked at, so that no other writer appends meanwhile.
            return ask(Action::HoldUpload, m_entry.uploadPath);
        }
        return ask(Action::ClearJournal);
    case Action::HoldUpload:
        if (result.error) {
            return ask(Action::ClearJournal);
        }
        m_holdTaken = true;
        {
            Step step = ask(Action::CompareTail, m_entry.uploadPath);
            step.length = m_length;
            return step;
        }
    case Action::CompareTail:
        if (!result.yes) {
            // Lines another writer appended after the kill are not this write's, and stay.
            return ask(Action::ClearJournal);
        }
        m_stage = Stage::TornWrite;
        return ask(Action::CutBack, m_entry.uploadPath);
    case Action::CutBack:
        if (result.error) {
            // The journal stays, so a later start or the next store still knows what to take back.
            m_outcome.recovery = {Output::Recovery::CutBackFailed, *result.error};
            return m_holdTaken ? ask(Action::ReleaseHold) : finish();
        }
        m_stage = Stage::Idle;
        m_outcome.recovery.recovery = Output::Recovery::CutBack;
        return ask(Action::ClearJournal);
    case Action::ClearJournal:
        return m_holdTaken ? ask(Action::ReleaseHold) : finish();
    case Action::ReleaseHold:
        m_holdTaken = false;
        return finish();
    default:
        break;
    }
    return internalError("CycleTransaction: recover");
}

CycleTransaction::Step CycleTransaction::endOfFile(const QString& uploadPath, bool append)
{
    if (const Step refused = begin(Request::EndOfFile); refused.action != Action::None) {
        return refused;
    }
    m_uploadPath = uploadPath;
    m_append = append;
    m_repeat = false;
    switch (m_stage) {
    case Stage::NotRecovered:
    case Stage::Idle:
    case Stage::Pending:
        return render();
    case Stage::TornWrite:
        return ask(Action::CutBack, m_entry.uploadPath);
    // A cycle that was never ended: what it left undecided is taken back, and only a pending block stays.
    case Stage::Written:
        if (m_entry.append) {
            m_stage = Stage::Idle;
            return ask(Action::DropHeldAppend);
        }
        [[fallthrough]];
    case Stage::Journaled:
    case Stage::Adopted:
        m_stage = Stage::Idle;
        return render();
    case Stage::TakeBackFailed:
        m_stage = Stage::Pending;
        return render();
    }
    return internalError("CycleTransaction: endOfFile");
}

CycleTransaction::Step CycleTransaction::render()
{
    // Read once: the journal records the length and digest of exactly the bytes then stored.
    return ask(Action::Render, m_uploadPath);
}

CycleTransaction::Step CycleTransaction::endOfFileNext(const Result& result)
{
    switch (m_asked) {
    case Action::CutBack:
        if (result.error) {
            return reportAndFail(*result.error, m_entry.uploadPath);
        }
        m_stage = Stage::Idle;
        return render();
    case Action::DropHeldAppend:
        return render();
    case Action::Render:
        if (!result.block) {
            // The writer's box has said why.
            return finish();
        }
        m_block = *result.block;
        if (m_append) {
            // No other copy appends from the length measured below until this cycle is settled.
            Step step = ask(Action::HoldUpload, m_uploadPath);
            step.wait = true;
            return step;
        }
        return checkRepeat();
    case Action::HoldUpload:
        if (result.error) {
            return reportAndFail(*result.error, m_uploadPath);
        }
        return checkRepeat();
    case Action::CheckBlock:
        m_repeat = result.yes;
        // Appended, or under another name (a date in it): storing the repeat would make a second copy.
        if (m_repeat && (m_append || m_entry.uploadPath != m_uploadPath)) {
            m_stage = Stage::Adopted;
            m_outcome.stored = Output::Stored::AlreadyStored;
            return finish();
        }
        return newEntry();
    case Action::MeasureUpload:
        m_entry.oldLength = result.length;
        return ask(Action::WriteJournal);
    case Action::WriteJournal:
        if (result.error) {
            return reportAndFail(*result.error, QString());
        }
        m_stage = Stage::Journaled;
        return checkpoint("journal");
    case Action::Checkpoint:
        return ask(m_append ? Action::AppendHeld : Action::Store, m_uploadPath);
    case Action::AppendHeld:
    case Action::Store:
        if (result.yes) {
            m_stage = Stage::Written;
            m_outcome.stored = m_repeat ? Output::Stored::AlreadyStored : Output::Stored::Written;
        }
        return finish();
    case Action::ReportError:
        return finish();
    default:
        break;
    }
    return internalError("CycleTransaction: endOfFile");
}

CycleTransaction::Step CycleTransaction::checkRepeat()
{
    if (m_stage == Stage::Pending && sameBlock(m_entry, m_append, m_block)) {
        return ask(Action::CheckBlock, m_entry.uploadPath);
    }
    return newEntry();
}

CycleTransaction::Step CycleTransaction::newEntry()
{
    // A different block means the lost answer was "ACK": what the file holds stays as it is.
    JournalEntry entry;
    entry.uploadPath = m_uploadPath;
    entry.append = m_append;
    entry.blockLength = m_block.length;
    entry.digest = m_block.digest;
    // Rewritten in place with the same bytes; its mail went out before.
    entry.mailAccepted = m_repeat && m_entry.mailAccepted;
    m_entry = entry;
    m_stage = Stage::Idle;
    return m_append ? ask(Action::MeasureUpload, m_uploadPath) : ask(Action::WriteJournal);
}

CycleTransaction::Step CycleTransaction::reportAndFail(const SystemError& error, const QString& path)
{
    Step step = ask(Action::ReportError, path);
    step.error = error;
    return step;
}

CycleTransaction::MailDecision CycleTransaction::mail(bool mailingOn) const
{
    if (!mailingOn || !hasCycleEntry()) {
        return MailDecision::NotMailed;
    }
    return m_entry.mailAccepted ? MailDecision::AlreadySent : MailDecision::Send;
}

CycleTransaction::Step CycleTransaction::mailAccepted()
{
    if (const Step refused = begin(Request::MailAccepted); refused.action != Action::None) {
        return refused;
    }
    // The send pumps events: the end of the session may have answered and ended the cycle meanwhile.
    if (!hasCycleEntry()) {
        m_outcome.mail = Output::Mail::Failed;
        return finish();
    }
    m_entry.mailAccepted = true;
    m_outcome.mail = Output::Mail::Sent;
    return ask(Action::WriteJournal);
}

CycleTransaction::Step CycleTransaction::settle(bool acknowledged)
{
    if (const Step refused = begin(Request::Settle); refused.action != Action::None) {
        return refused;
    }
    switch (m_stage) {
    case Stage::NotRecovered:
    case Stage::Idle:
    case Stage::Pending:
    case Stage::TornWrite:
    case Stage::Journaled:
    case Stage::TakeBackFailed:
        // No cycle reached its end of file, or nothing of this one is left to keep or take back.
        return ask(Action::ReleaseHold);
    case Stage::Adopted:
        if (!acknowledged && m_entry.append) {
            // No "ACK" went out for it (its mail had not been accepted): the terminal sends it again.
            return ask(Action::CutBack, m_entry.uploadPath);
        }
        m_stage = Stage::Journaled;
        return ask(Action::ReleaseHold);
    case Stage::Written:
        if (m_entry.append) {
            // Already on disk when kept: closing cannot fail in a way that loses it.
            return ask(acknowledged ? Action::Commit : Action::Rollback, m_entry.uploadPath);
        }
        m_stage = Stage::Journaled;
        return ask(Action::ReleaseHold);
    }
    return internalError("CycleTransaction: settle");
}

CycleTransaction::Step CycleTransaction::settleNext(const Result& result)
{
    switch (m_asked) {
    case Action::CutBack:
    case Action::Rollback:
        m_outcome.settleError = result.error;
        return settledAfter(result.error);
    case Action::Commit:
        m_stage = Stage::Journaled;
        return ask(Action::ReleaseHold);
    case Action::CheckBlock:
        m_stage = result.yes ? Stage::TakeBackFailed : Stage::Journaled;
        return ask(Action::ReleaseHold);
    case Action::ReleaseHold:
        return checkpoint("answer");
    case Action::Checkpoint:
        return finish();
    default:
        break;
    }
    return internalError("CycleTransaction: settle");
}

CycleTransaction::Step CycleTransaction::settledAfter(const std::optional<SystemError>& error)
{
    if (error) {
        return ask(Action::CheckBlock, m_entry.uploadPath);
    }
    m_stage = Stage::Journaled;
    return ask(Action::ReleaseHold);
}

CycleTransaction::Step CycleTransaction::end(bool answerSent)
{
    if (const Step refused = begin(Request::End); refused.action != Action::None) {
        return refused;
    }
    m_answerSent = answerSent;
    // An append never settled is taken back, as when the program ends.
    if (m_stage == Stage::Written && m_entry.append) {
        return ask(Action::DropHeldAppend);
    }
    return ask(Action::ReleaseHold);
}

CycleTransaction::Step CycleTransaction::endNext(const Result& result)
{
    switch (m_asked) {
    case Action::DropHeldAppend:
        return ask(Action::ReleaseHold);
    case Action::ReleaseHold:
        switch (m_stage) {
        case Stage::NotRecovered:
        case Stage::Idle:
        case Stage::Pending:
        case Stage::TornWrite:
            return finish();
        case Stage::Journaled:
        case Stage::Adopted:
        case Stage::Written:
            // Unanswered, the terminal sends the block again: recognised while the file holds it whole.
            return m_answerSent ? answered(false) : ask(Action::CheckBlock, m_entry.uploadPath);
        case Stage::TakeBackFailed:
            m_stage = Stage::Pending;
            return checkpoint("answered");
        }
        break;
    case Action::CheckBlock:
        return answered(result.yes);
    case Action::Checkpoint:
        // Once the answer is out nothing of the cycle is pending any more.
        return m_stage == Stage::Idle ? ask(Action::ClearJournal) : finish();
    case Action::ClearJournal:
        return finish();
    default:
        break;
    }
    return internalError("CycleTransaction: end");
}

CycleTransaction::Step CycleTransaction::answered(bool pending)
{
    m_stage = pending ? Stage::Pending : Stage::Idle;
    return checkpoint("answered");
}
