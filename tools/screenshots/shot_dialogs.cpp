// Renders the options dialog, the folder picker and the version box, opened over the real main window, into
// settings.png, folder.png and about.png:
//   QT_QPA_PLATFORM=offscreen shot_dialogs docs

#include "ShotSupport.h"
#include "ui/MainWindow.h"
#include "ui/frmAbout.h"
#include "ui/frmFolder.h"
#include "ui/frmSetting.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QPixmap>
#include <QPointer>
#include <QTest>

#include <cstdio>

namespace {

bool save(QWidget* window, const QDir& output, const char* name)
{
    QTest::qWait(50); // let the layout settle before painting
    const QString path = output.filePath(QString::fromLatin1(name));
    if (!window->grab().save(path)) {
        std::fprintf(stderr, "shot_dialogs: cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral(ZELBO_TITLE));
    QApplication::setApplicationVersion(QStringLiteral(ZELBO_VERSION));
    QApplication::setOrganizationName(QStringLiteral(ZELBO_COMPANY));
    if (argc < 2) {
        std::fprintf(stderr, "usage: shot_dialogs OUTPUT_FOLDER\n");
        return 2;
    }
    // Absolute now: loading makes the save folder the current directory.
    const QDir output(QFileInfo(QString::fromLocal8Bit(argv[1])).absoluteFilePath());

    // Settings of its own beside a sample folder tree; the host is loopback. A fixed folder name keeps the pictures
    // the same from one run to the next.
    QDir dir(QDir::temp().filePath(QStringLiteral("ZELBO_UDP")));
    if (dir.exists() || !dir.mkpath(QStringLiteral("."))) {
        std::fprintf(stderr, "shot_dialogs: %s exists or cannot be made\n", qPrintable(dir.path()));
        return 1;
    }
    const struct Cleanup
    {
        QDir& dir;
        ~Cleanup() { dir.removeRecursively(); }
    } cleanup{dir};
    const QString saveFolder = dir.filePath(QStringLiteral("受信ﾃﾞｰﾀ"));
    for (const char* sub : {"2026年12月", "ﾊﾞｯｸｱｯﾌﾟ", "集計"}) {
        QDir(saveFolder).mkpath(QString::fromUtf8(sub));
    }
    Settings sample = SettingsFile::defaults(QDir::toNativeSeparators(saveFolder));
    sample.RemoteHost = QStringLiteral("127.0.0.1");
    sample.FixFname = QStringLiteral("ORDERS");
    sample.AddDate = 3;
    sample.SendMail = 1;
    sample.MailAddress = QStringLiteral("office@example.invalid");
    sample.MailSub = QStringLiteral("棚卸ﾃﾞｰﾀ");
    sample.FromMailAddress = QStringLiteral("zelbo@example.invalid");
    sample.MailServer = QStringLiteral("mail.example.invalid:587");
    sample.MailUser = QStringLiteral("zelbo@example.invalid");
    sample.FieldSelect[5] = 0;
    sample.FieldSelect[6] = 0;
    ProgramPaths paths;
    if (!prepareSettings(dir, sample, paths)) {
        return 1;
    }

    SilentSink sink;
    SettingsFile file(paths, sink);
    SettingsState settings;
    MainWindow window(settings, paths, file, sink);
    if (!window.Form_Load()) {
        return 1;
    }
    window.move(40, 40);
    window.show();

    // A store that holds the user's password, so the field shows it as kept.
    class StoredPassword : public MailPasswordStore
    {
    public:
        Result read(const QString&, const QString&) override { return {Outcome::Done, QStringLiteral("x"), {}}; }
        Result write(const QString&, const QString&, const QString&) override { return {Outcome::Done, {}, {}}; }
    } store;
    const MailSignIn::Tools tools{&store,
                                  [](const Settings&, const std::optional<QString>&, QString&) { return true; }};
    QPointer<frmSetting> dialog = frmSetting::open(settings, file, sink, &window, {}, tools);
    if (!save(dialog, output, "settings.png")) {
        return 1;
    }
    QPointer<frmFolder> picker = frmFolder::open(settings.effective().SaveFolder, dialog, &window, sink);
    if (!save(picker, output, "folder.png")) {
        return 1;
    }
    picker->close();
    dialog->close();

    // With a licence viewer, so its button looks as in the program.
    QPointer<frmAbout> about = frmAbout::open(&window, [] {});
    if (!save(about, output, "about.png")) {
        return 1;
    }
    about->close();
    return 0;
}
