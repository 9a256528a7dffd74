// SPDX-License-Identifier: MIT
#include "analysis/ScanGrowth.h"

#include "analysis/AnalysisLog.h"
#include "analysis/DriveAnalysis.h"
#include "analysis/HistoryChart.h"
#include "analysis/SizeText.h"
#include "localization/ConstantText.h"

#include <QDateTime>
#include <QEvent>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

QString Text(const char *name)
{
    return ConstantText(QString::fromLatin1(name));
}

// A folder's path as the system names it (bytes, not always UTF-8).
QString PathText(const std::string &path)
{
    return QFile::decodeName(QByteArray::fromStdString(path));
}

// What an earlier scan did not list it had: unknown, shown as a dash.
QString BeforeText(const std::optional<std::uint64_t> &before)
{
    return before ? SizeText(*before) : QStringLiteral("—");
}

std::uint64_t GrowthOf(const history::FolderGrowth &g)
{
    const std::uint64_t before = g.before.value_or(0);
    return g.now > before ? g.now - before : 0;
}

} // namespace

namespace analysis {

ScanGrowth RecordScanGrowth(history::HistoryStore &store, const std::string &key, const std::string &root,
                            std::int64_t finished, const history::FolderTotals &totals, std::size_t limit)
{
    ScanGrowth result;
    result.firstScan = store.ScanCount(key, root) == 0;
    store.RecordScan(key, root, finished, totals);
    if (result.firstScan)
        return result;
    // The drive's own folder grew by all the others' growth together: the
    // drive's space says it already, the list names where.
    result.grown = store.GrowthSinceLastScan(key, root, limit + 1);
    std::erase_if(result.grown, [&](const history::FolderGrowth &g) { return g.path == root; });
    if (result.grown.size() > limit)
        result.grown.resize(limit);
    return result;
}

} // namespace analysis

TScanGrowthList::TScanGrowthList(QWidget *parent)
    : QWidget(parent), FTitle(new QLabel(this)), FNote(new QLabel(this)), FList(new QTreeWidget(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    QFont bold = FTitle->font();
    bold.setBold(true);
    FTitle->setFont(bold);
    FNote->setWordWrap(true);
    FList->setColumnCount(4);
    FList->setRootIsDecorated(false);
    FList->setUniformRowHeights(true);
    FList->header()->setSectionResizeMode(0, QHeaderView::Stretch);
    FList->header()->setStretchLastSection(false);
    layout->addWidget(FTitle);
    layout->addWidget(FNote);
    layout->addWidget(FList, 1);
    Retranslate();
}

void TScanGrowthList::Follow(TDriveAnalysis *analysis, std::string storePath, std::string key)
{
    const std::string root = analysis->DriveRoot();
    connect(analysis, &TDriveAnalysis::DriveScanned, this,
            [this, root, storePath = std::move(storePath),
             key = std::move(key)](std::shared_ptr<const history::FolderTotals> totals) {
                const std::int64_t finished = QDateTime::currentSecsSinceEpoch();
                auto growth = std::make_shared<std::optional<analysis::ScanGrowth>>();
                // The database is written and read off the window's thread.
                QThread *worker = QThread::create([storePath, key, root, finished, totals, growth] {
                    try {
                        const auto store = history::HistoryStore::Open(storePath);
                        *growth = analysis::RecordScanGrowth(*store, key, root, finished, *totals);
                    } catch (const std::exception &e) {
                        qCInfo(lcAnalysis).noquote()
                            << "the scan's folder totals cannot be kept:" << QString::fromStdString(e.what());
                    }
                });
                connect(worker, &QThread::finished, this, [this, growth] {
                    SetGrowth(std::move(*growth));
                    emit GrowthShown();
                });
                connect(worker, &QThread::finished, worker, &QObject::deleteLater);
                worker->start(QThread::LowPriority);
            });
}

void TScanGrowthList::SetGrowth(std::optional<analysis::ScanGrowth> growth)
{
    FGrowth = std::move(growth);
    FList->clear();
    if (FGrowth)
        for (const history::FolderGrowth &g : FGrowth->grown) {
            auto *item = new QTreeWidgetItem(FList);
            item->setText(0, PathText(g.path));
            item->setText(1, BeforeText(g.before));
            item->setText(2, SizeText(g.now));
            item->setText(3, QStringLiteral("+") + SizeText(GrowthOf(g)));
            for (int column = 1; column < 4; ++column)
                item->setTextAlignment(column, Qt::AlignRight | Qt::AlignVCenter);
        }
    Retranslate();
}

void TScanGrowthList::Retranslate()
{
    FTitle->setText(Text("msgCrecioTitulo"));
    FList->setHeaderLabels(
        {Text("msgCrecioCarpeta"), Text("msgCrecioAntes"), Text("msgCrecioAhora"), Text("msgCrecioCrecimiento")});
    if (!FGrowth)
        FNote->setText(Text("msgCrecioEsperando"));
    else if (FGrowth->firstScan)
        FNote->setText(Text("msgCrecioPrimero"));
    else if (FGrowth->grown.empty())
        FNote->setText(Text("msgCrecioNada"));
    else
        FNote->clear();
    FNote->setVisible(!FNote->text().isEmpty());
    FList->setVisible(FGrowth && !FGrowth->grown.empty());
}

QStringList TScanGrowthList::Texts() const
{
    QStringList texts{FTitle->text(), FNote->text()};
    QStringList headers;
    for (int column = 0; column < FList->columnCount(); ++column)
        headers << FList->headerItem()->text(column);
    texts << headers.join(QStringLiteral(" | "));
    for (int row = 0; row < FList->topLevelItemCount(); ++row) {
        const QTreeWidgetItem *item = FList->topLevelItem(row);
        texts << QStringList{item->text(0), item->text(1), item->text(2), item->text(3)}.join(
            QStringLiteral(" | "));
    }
    return texts;
}

void TScanGrowthList::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QWidget::changeEvent(event);
}

THistoryPane::THistoryPane(QWidget *parent)
    : QWidget(parent), FChart(new THistoryChart(this)), FGrowth(new TScanGrowthList(this))
{
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(FChart, 3);
    layout->addWidget(FGrowth, 2);
}

void THistoryPane::changeEvent(QEvent *event)
{
    // The window tells its history tab alone of a new language.
    if (event->type() == QEvent::LanguageChange) {
        FChart->Retranslate();
        FGrowth->Retranslate();
    }
    QWidget::changeEvent(event);
}
