#include "output/SystemPasswordStore.h"

#include "output/MailHeaders.h"

#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <type_traits>

// Linux: the Secret Service through QtKeychain, one entry per server and user. A locked keyring may take its user's
// time to answer, hence the patience.

namespace {

// The entries' service name in the store; one entry per server and user under it.
const QString ServiceName = QStringLiteral("ZELBO_UDP");

MailPasswordStore::Outcome outcomeOf(QKeychain::Error error)
{
    switch (error) {
    case QKeychain::NoError:
        return MailPasswordStore::Outcome::Done;
    case QKeychain::EntryNotFound:
        return MailPasswordStore::Outcome::NotFound;
    case QKeychain::NoBackendAvailable:
    case QKeychain::NotImplemented:
        return MailPasswordStore::Outcome::Unavailable;
    default:
        return MailPasswordStore::Outcome::Failed;
    }
}

// Starts the job and waits in the event loop for its end or the patience; a job that outlives the wait is left to
// finish on its own and delete itself.
template <typename Job> MailPasswordStore::Result runJob(Job* job, std::chrono::milliseconds patience)
{
    MailPasswordStore::Result result;
    bool finished = false;
    QEventLoop loop;
    QObject::connect(job, &QKeychain::Job::finished, &loop, [&](QKeychain::Job*) {
        finished = true;
        result.outcome = outcomeOf(job->error());
        if (result.outcome != MailPasswordStore::Outcome::Done) {
            result.error = job->errorString();
        }
        if constexpr (std::is_same_v<Job, QKeychain::ReadPasswordJob>) {
            result.password = job->textData();
        }
        loop.quit();
    });
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->start();
    if (!finished) {
        QTimer::singleShot(patience, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (!finished) {
        QObject::disconnect(job, nullptr, &loop, nullptr);
        result.outcome = MailPasswordStore::Outcome::Failed;
        result.error = QStringLiteral("資格情報ｽﾄｱが %1 秒以内に応答しません").arg(patience.count() / 1000);
    }
    return result;
}

} // namespace

MailPasswordStore::Result SystemPasswordStore::read(const QString& mailServer, const QString& user)
{
    auto* job = new QKeychain::ReadPasswordJob(ServiceName);
    job->setKey(MailHeaders::passwordKey(mailServer, user));
    return runJob(job, m_patience);
}

MailPasswordStore::Result SystemPasswordStore::write(const QString& mailServer, const QString& user,
                                                     const QString& password)
{
    auto* job = new QKeychain::WritePasswordJob(ServiceName);
    job->setKey(MailHeaders::passwordKey(mailServer, user));
    job->setTextData(password);
    return runJob(job, m_patience);
}
