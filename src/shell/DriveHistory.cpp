// SPDX-License-Identifier: MIT
#include "shell/DriveHistory.h"

#include "analysis/DriveWindow.h"
#include "analysis/HistoryChart.h"
#include "analysis/ScanGrowth.h"
#include "desktop/DesktopNotifier.h"
#include "history/FillingNotice.h"
#include "history/HistoryRecorder.h"
#include "localization/ConstantText.h"
#include "panels/DriveName.h"
#include "shell/ShellLog.h"

#include <QDateTime>
#include <QLocale>
#include <QThread>

#include <cmath>
#include <memory>

namespace {

// Inodes count as run out below this free share, as space does at the bar's
// error state.
constexpr double kInodesOutShare = 0.05;

// How long a filling level must hold before it is told: half an hour, or for
// tests VELMORA_FILLING_HOLD_SECONDS (1 to 3600).
std::int64_t holdSeconds()
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue("VELMORA_FILLING_HOLD_SECONDS", &ok);
    return ok && value >= 1 && value <= 3600 ? value : history::kFillingHoldSeconds;
}

} // namespace

TDriveHistory::TDriveHistory(TDesktopNotifier &notifier, QObject *parent)
    : TDriveHistory(notifier, nullptr, parent)
{}

TDriveHistory::TDriveHistory(TDesktopNotifier &notifier, std::unique_ptr<history::HistoryRecorder> recorder,
                             QObject *parent)
    : QObject(parent),
      FNotifier(notifier),
      FRecorder(std::move(recorder)),
      FWatch(std::make_unique<history::FillingNoticeWatch>(holdSeconds()))
{
    if (!FRecorder && !qEnvironmentVariableIsSet("VELMORA_FAKE_WBEM")) {
        FRecorder = std::make_unique<history::HistoryRecorder>(
            std::string(), history::HistoryRecorder::InodeReader(),
            [](const std::string &what) { qCInfo(lcShell).noquote() << QString::fromStdString(what); });
        FPath = history::HistoryRecorder::DefaultPath();
    }
}

TDriveHistory::~TDriveHistory() = default;

void TDriveHistory::AddChartTo(TDriveWindow *window)
{
    // The history names a drive by its mount point; a drive letter without
    // its backslash.
    QByteArray root = QByteArray::fromStdString(window->Analysis().DriveRoot());
    if (root.size() == 3 && root.at(1) == ':' && root.at(2) == '\\')
        root.chop(1);
    const QByteArray key = FKeys.value(root);
    if (key.isEmpty() || FPath.empty())
        return;
    auto *pane = new THistoryPane;
    window->AddHistoryPane(pane);
    // Each scan of the whole drive is kept under the drive's identity, so
    // that the next one can say what grew.
    pane->Growth()->Follow(&window->Analysis(), FPath, key.toStdString());
    THistoryChart *chart = pane->Chart();
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    auto history = std::make_shared<analysis::ChartHistory>();
    QThread *reader = QThread::create([path = FPath, key = key.toStdString(), now, history] {
        try {
            *history = analysis::ReadChartHistory(path, key, now);
        } catch (const std::exception &e) {
            qCInfo(lcShell).noquote() << "the drive's history cannot be read:" << QString::fromStdString(e.what());
        }
    });
    QObject::connect(reader, &QThread::finished, chart,
                     [chart, history, now] { chart->SetHistory(*history, now); });
    QObject::connect(reader, &QThread::finished, reader, &QObject::deleteLater);
    reader->start(QThread::LowPriority);
}

QString TDriveHistory::Duration(double seconds)
{
    const auto count = [](double n) { return QString::number(static_cast<qint64>(std::llround(n))); };
    if (seconds < 2 * 3600.0)
        return ConstantText(QStringLiteral("msgMinutos")).arg(count(std::max(2.0, seconds / 60)));
    if (seconds < 2 * 86400.0)
        return ConstantText(QStringLiteral("msgHoras")).arg(count(seconds / 3600));
    if (seconds < 60 * 86400.0)
        return ConstantText(QStringLiteral("msgDias")).arg(count(seconds / 86400));
    return ConstantText(QStringLiteral("msgMeses")).arg(count(seconds / (30 * 86400.0)));
}

void TDriveHistory::Refreshed(const TDriveStates &drives)
{
    if (!FRecorder)
        return;
    for (const TDriveState &d : drives)
        if (!d.Local)
            return;
    const qint64 now = QDateTime::currentSecsSinceEpoch();
    std::vector<history::DriveSample> samples;
    samples.reserve(static_cast<std::size_t>(drives.size()));
    QHash<QString, std::string> keys;
    for (const TDriveState &d : drives) {
        if (!d.Free || !d.Size || *d.Size == 0)
            continue;
        history::DriveSample s;
        // The history keeps the drive's name itself: the listed name holds
        // the object text's escapes, which Velmora_DiskTrend's object text
        // would escape a second time.
        const std::optional<QByteArray> bytes = DriveNameBytes(d.Name);
        s.name = bytes ? bytes->toStdString() : d.Name.toStdString();
        s.fileSystem = d.FileSystem.toStdString();
        s.key = history::DriveKey(d.VolumeSerialNumber.toStdString(), s.name, s.fileSystem);
        s.readOnly = d.ReadOnly;
        s.freeBytes = *d.Free;
        s.sizeBytes = *d.Size;
        keys.insert(d.Name, s.key);
        FKeys.insert(QByteArray::fromStdString(s.name), QByteArray::fromStdString(s.key));
        samples.push_back(std::move(s));
    }
    FRecorder->Submit(now, std::move(samples));

    // The trends of the last batch the recorder wrote (a refresh or so
    // behind this one).
    const auto trends = FRecorder->Trends();
    QHash<QString, QString> notes;
    QSet<QString> inodesOut;
    std::vector<history::FillingNoticeWatch::Drive> watched;
    QHash<QString, const history::DriveTrend *> byKey;
    QHash<QString, QString> listedByKey;
    for (const TDriveState &d : drives) {
        const auto key = keys.constFind(d.Name);
        if (key == keys.constEnd())
            continue;
        const auto found = trends.find(*key);
        if (found == trends.end())
            continue;
        const history::DriveTrend &t = found->second;
        QStringList lines;
        using State = history::Forecast::State;
        if (t.combined.state == State::Filling)
            lines << (t.combined.fullIn < 120
                          ? ConstantText(QStringLiteral("msgLlenoYa"))
                          : ConstantText(QStringLiteral("msgLlenoEn")).arg(Duration(t.combined.fullIn)));
        else if (t.combined.state == State::Stable)
            lines << ConstantText(QStringLiteral("msgEstable"));
        if (t.files > 0) {
            const double share = static_cast<double>(t.filesFree) / static_cast<double>(t.files);
            if (share < kInodesOutShare) {
                inodesOut.insert(d.Name);
                lines
                    << ConstantText(QStringLiteral("msgSinInodos")).arg(static_cast<int>(std::floor(share * 100)));
            }
        }
        if (!lines.isEmpty())
            notes.insert(d.Name, lines.join(QLatin1Char('\n')));
        if (d.Shown) {
            watched.push_back({*key, history::FillingLevelOf(t.fast, t.freeBytes, t.sizeBytes)});
            byKey.insert(QString::fromStdString(*key), &t);
            listedByKey.insert(QString::fromStdString(*key), d.Name);
        }
    }
    if (notes != FNotes || inodesOut != FInodesOut) {
        FNotes = notes;
        FInodesOut = inodesOut;
        emit NotesChanged(FNotes, FInodesOut);
    }

    for (const auto &notice : FWatch->Update(now, watched)) {
        const history::DriveTrend *t = byKey.value(QString::fromStdString(notice.key));
        if (!t)
            continue;
        const QString name = DriveNameShown(listedByKey.value(QString::fromStdString(notice.key)));
        const QString free = QLocale().formattedDataSize(static_cast<qint64>(t->freeBytes), 1,
                                                         QLocale::DataSizeTraditionalFormat);
        const QString title = ConstantText(notice.level == history::FillingLevel::Urgent
                                               ? QStringLiteral("msgLlenandoUrgenteTitulo")
                                               : QStringLiteral("msgLlenandoTitulo"));
        const QString text = ConstantText(QStringLiteral("msgLlenando")).arg(name, Duration(t->fast.fullIn), free);
        qCDebug(lcShell).noquote() << "filling-fast notice:" << text;
        FNotifier.Notify(title, text);
    }
}
