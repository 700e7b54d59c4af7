// Times the upload file writer (sync included) against "cut -d, -f2,4 FILE > OUT && sync OUT" on one staging file of
// cp932 records, and prints both throughputs and their ratio.
//
// usage: bench_writer [folder] [lines] [runs]   (defaults: a temporary folder, 1000000 lines, 3 runs: best is shown)

#include "base/Cp932.h"
#include "base/MessageSink.h"
#include "output/UploadFileWriter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <limits>

namespace {

class PrintingSink : public MessageSink
{
public:
    void showMessage(const QString& text, const QString& title, MessageIcon /*icon*/) override
    {
        std::fprintf(stderr, "%s: %s\n", qPrintable(title), qPrintable(text));
    }
};

// Twenty fields like a terminal's inventory record: codes, half-width and double-byte names, counts, date and time.
QByteArray makeStaging(qint64 lines)
{
    const QByteArrayList names = {Cp932::encode(QStringLiteral("ｺｰﾋｰ牛乳")), Cp932::encode(QStringLiteral("表示価格")),
                                  Cp932::encode(QStringLiteral("在庫　数量")), QByteArray("ITEM-A")};
    const QByteArray shelf = Cp932::encode(QStringLiteral("第二倉庫"));
    QByteArray data;
    data.reserve(lines * 110);
    for (qint64 i = 0; i < lines; ++i) {
        const QByteArray n = QByteArray::number(i);
        data += "49" + QByteArray::number(1000000000 + i) + ',' + names[i % names.size()] + ',' + n + ',' +
                QByteArray::number(i % 997) + ",2024/01/05,12:34:56," + shelf + ",A,B,C,D,E,F,G,H,I,J,K,L," + n +
                "\r\n";
    }
    return data;
}

bool writeAll(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(data) == data.size();
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

double megabytesPerSecond(qint64 bytes, qint64 nanoseconds)
{
    return nanoseconds > 0 ? double(bytes) / 1e6 / (double(nanoseconds) / 1e9) : 0.0;
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    QTemporaryDir temporary;
    const QString folder = args.size() > 1 ? args[1] : temporary.path();
    bool ok = true;
    const qint64 lines = args.size() > 2 ? args[2].toLongLong(&ok) : 1000000;
    const int runs = args.size() > 3 && ok ? args[3].toInt(&ok) : 3;
    if (!ok || lines <= 0 || runs <= 0 || folder.isEmpty()) {
        std::fprintf(stderr, "usage: bench_writer [folder] [lines] [runs]\n");
        return 2;
    }

    const QString staging = folder + QStringLiteral("/Back.txt");
    const QString writerOut = folder + QStringLiteral("/writer.txt");
    const QString cutOut = folder + QStringLiteral("/cut.txt");
    const QByteArray data = makeStaging(lines);
    if (!writeAll(staging, data)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(staging));
        return 1;
    }

    PrintingSink sink;
    UploadFileWriter writer(sink, QStringLiteral("bench_writer"));
    UploadFileWriter::FieldFlags flags{};
    flags[1] = 1;
    flags[3] = 1;

    qint64 bestWriter = std::numeric_limits<qint64>::max();
    qint64 bestCut = std::numeric_limits<qint64>::max();
    QElapsedTimer timer;
    for (int run = 0; run < runs; ++run) {
        timer.start();
        if (!writer.write(staging, writerOut, 1, flags)) {
            return 1;
        }
        bestWriter = std::min(bestWriter, timer.nsecsElapsed());

        timer.start();
        const int status =
            QProcess::execute(QStringLiteral("/bin/sh"),
                              {QStringLiteral("-c"), QStringLiteral("cut -d, -f2,4 \"$1\" > \"$2\" && sync \"$2\""),
                               QStringLiteral("sh"), staging, cutOut});
        bestCut = std::min(bestCut, timer.nsecsElapsed());
        if (status != 0) {
            std::fprintf(stderr, "cut failed with status %d\n", status);
            return 1;
        }
    }

    // cut ends lines with LF alone; otherwise both outputs must be the same bytes.
    const bool agree = readAll(writerOut).replace('\r', QByteArray()) == readAll(cutOut);
    const double writerRate = megabytesPerSecond(data.size(), bestWriter);
    const double cutRate = megabytesPerSecond(data.size(), bestCut);
    std::printf("staging file: %lld lines, %.1f MB, fields F2+F4, best of %d runs\n", lines, double(data.size()) / 1e6,
                runs);
    std::printf("writer: %8.1f ms  %8.1f MB/s\n", double(bestWriter) / 1e6, writerRate);
    std::printf("cut:    %8.1f ms  %8.1f MB/s\n", double(bestCut) / 1e6, cutRate);
    std::printf("ratio writer/cut: %.2f\n", cutRate > 0 ? writerRate / cutRate : 0.0);
    std::printf("outputs agree: %s\n", agree ? "yes" : "NO");
    return agree ? 0 : 1;
}
