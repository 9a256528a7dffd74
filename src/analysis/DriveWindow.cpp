// SPDX-License-Identifier: MIT
#include "analysis/DriveWindow.h"

#include "analysis/AnalysisLog.h"
#include "analysis/SizeText.h"
#include "analysis/TreemapView.h"
#include "localization/ConstantText.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPainter>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QString Text(const char *name)
{
    return ConstantText(QString::fromLatin1(name));
}

// A name on a button: '&' is a letter, not a shortcut.
QString ButtonText(QString text)
{
    return text.replace(QLatin1Char('&'), QStringLiteral("&&"));
}

constexpr std::size_t kListed = 20;

QColor FoldersColor()
{
    return QColor(0x5b, 0x8d, 0xc9);
}
QColor TrashColor()
{
    return QColor(0xd9, 0x8e, 0x3b);
}
QColor OtherColor()
{
    return QColor(0x9a, 0x9a, 0x9a);
}
QColor FreeColor()
{
    return QColor(0x8c, 0xc8, 0x7a);
}

} // namespace

// The drive as one bar: what is in folders, the trash, the rest in use, and
// what is free, each as its share of the drive's size.
class TWholeBar : public QWidget
{
public:
    explicit TWholeBar(QWidget *parent) : QWidget(parent) { setFixedHeight(18); }
    void SetWhole(const TDriveAnalysis::TWhole &whole)
    {
        FWhole = whole;
        update();
    }

protected:
    void paintEvent(QPaintEvent *) override
    {
        QPainter painter(this);
        const QRectF all = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.fillRect(all, palette().base());
        const quint64 parts[] = {FWhole.InFolders, FWhole.Trash, FWhole.Other, FWhole.Free};
        const QColor colors[] = {FoldersColor(), TrashColor(), OtherColor(), FreeColor()};
        quint64 total = 0;
        for (quint64 part : parts)
            total += part;
        total = std::max(total, FWhole.Size);
        double x = all.left();
        for (std::size_t i = 0; i < std::size(parts) && total > 0; ++i) {
            const double width = all.width() * double(parts[i]) / double(total);
            painter.fillRect(QRectF(x, all.top(), width, all.height()), colors[i]);
            x += width;
        }
        painter.setPen(palette().mid().color());
        painter.drawRect(all);
    }

private:
    TDriveAnalysis::TWhole FWhole;
};

TDriveWindow::TDriveWindow(const QString &driveName, std::string driveRoot, QWidget *parent)
    : QWidget(parent, Qt::Window), FDriveName(driveName), FAnalysis(new TDriveAnalysis(std::move(driveRoot), this))
{
    setObjectName(QStringLiteral("DriveWindow"));
    setAttribute(Qt::WA_DeleteOnClose);

    FStatus = new QLabel(this);
    FStatus->setTextFormat(Qt::PlainText);
    FStatus->setMinimumWidth(100);
    FStatus->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    FCancel = new QPushButton(this);
    auto *top = new QHBoxLayout;
    top->addWidget(FStatus, 1);
    top->addWidget(FCancel);

    FTrailBar = new QWidget(this);
    FTrailLayout = new QHBoxLayout(FTrailBar);
    FTrailLayout->setContentsMargins(0, 0, 0, 0);
    FTrailLayout->setSpacing(2);

    FTreemap = new TTreemapView(this);
    FFoldersTitle = new QLabel(this);
    FFolders = new QTreeWidget(this);
    FFilesTitle = new QLabel(this);
    FFiles = new QTreeWidget(this);
    for (QTreeWidget *list : {FFolders, FFiles}) {
        list->setColumnCount(2);
        list->setRootIsDecorated(false);
        list->setUniformRowHeights(true);
        list->header()->setStretchLastSection(false);
        list->header()->setSectionResizeMode(0, QHeaderView::Stretch);
        list->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    }
    auto *lists = new QWidget(this);
    auto *listsLayout = new QVBoxLayout(lists);
    listsLayout->setContentsMargins(0, 0, 0, 0);
    listsLayout->addWidget(FFoldersTitle);
    listsLayout->addWidget(FFolders, 1);
    listsLayout->addWidget(FFilesTitle);
    listsLayout->addWidget(FFiles, 1);
    auto *split = new QSplitter(Qt::Horizontal, this);
    split->addWidget(FTreemap);
    split->addWidget(lists);
    split->setStretchFactor(0, 3);
    split->setStretchFactor(1, 2);
    FTabs = new QTabWidget(this);
    FTabs->addTab(split, QString());

    FWholeBar = new TWholeBar(this);
    FWholeText = new QLabel(this);
    FWholeText->setTextFormat(Qt::PlainText);

    FOpen = new QPushButton(this);
    FTrash = new QPushButton(this);
    FDelete = new QPushButton(this);
    FRescan = new QPushButton(this);
    FEmptyTrash = new QPushButton(this);
    auto *commands = new QHBoxLayout;
    for (QPushButton *button : {FOpen, FTrash, FDelete, FRescan})
        commands->addWidget(button);
    commands->addStretch(1);
    commands->addWidget(FEmptyTrash);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(FTrailBar);
    layout->addWidget(FTabs, 1);
    layout->addWidget(FWholeBar);
    layout->addWidget(FWholeText);
    layout->addLayout(commands);

    connect(FCancel, &QPushButton::clicked, FAnalysis, &TDriveAnalysis::Cancel);
    connect(FOpen, &QPushButton::clicked, this, &TDriveWindow::OpenSelectedFolder);
    connect(FTrash, &QPushButton::clicked, this, &TDriveWindow::MoveSelectedToTrash);
    connect(FDelete, &QPushButton::clicked, this, &TDriveWindow::DeleteSelectedForGood);
    connect(FRescan, &QPushButton::clicked, this, &TDriveWindow::ScanSelectedAgain);
    connect(FEmptyTrash, &QPushButton::clicked, this, &TDriveWindow::EmptyDriveTrash);
    connect(FAnalysis, &TDriveAnalysis::Changed, this, &TDriveWindow::Refresh);
    connect(FAnalysis, &TDriveAnalysis::ProgressChanged, this, &TDriveWindow::ShowProgress);
    connect(FAnalysis, &TDriveAnalysis::Problem, this, &TDriveWindow::Report);
    connect(FTreemap, &TTreemapView::FolderClicked, this,
            [this](int index) { FAnalysis->Enter(FTreemap->Items()[std::size_t(index)]); });
    connect(FTreemap, &TTreemapView::SelectionChanged, this, [this](int index) {
        SetSelected(index >= 0 ? std::optional(FTreemap->Items()[std::size_t(index)]) : std::nullopt);
    });
    connect(FTreemap, &TTreemapView::ContextRequested, this, [this](int, const QPoint &at) {
        QMenu menu(this);
        for (QPushButton *button : {FOpen, FTrash, FDelete, FRescan}) {
            QAction *action = menu.addAction(button->text(), button, &QPushButton::click);
            action->setEnabled(button->isEnabled());
        }
        menu.exec(at);
    });
    connect(FTreemap, &TTreemapView::Painted, this, [this] {
        qCDebug(lcAnalysis).noquote() << "drive window" << FDriveName << "painted" << FTreemap->Items().size()
                                      << "items; places:" << Places().join(QStringLiteral(" | "));
    });
    const auto listSelection = [this](QTreeWidget *list, const std::vector<TDriveAnalysis::TItem> *items) {
        // A row the user selects (the current row alone, which a list takes
        // with the focus, is no choice).
        connect(list, &QTreeWidget::itemSelectionChanged, this, [this, list, items] {
            const QList<QTreeWidgetItem *> chosen = list->selectedItems();
            const int row = chosen.isEmpty() ? -1 : list->indexOfTopLevelItem(chosen.first());
            if (row >= 0 && std::size_t(row) < items->size())
                SetSelected((*items)[std::size_t(row)]);
        });
        connect(list, &QTreeWidget::itemActivated, this, [this, list, items](QTreeWidgetItem *activated) {
            const int row = list->indexOfTopLevelItem(activated);
            if (row >= 0 && std::size_t(row) < items->size()
                && (*items)[std::size_t(row)].Kind == TDriveAnalysis::TItem::TKind::Folder)
                FAnalysis->Enter((*items)[std::size_t(row)]);
        });
    };
    listSelection(FFolders, &FFolderItems);
    listSelection(FFiles, &FFileItems);

    resize(960, 640);
    Retranslate();
    FAnalysis->Start();
}

TDriveWindow::~TDriveWindow() = default;

void TDriveWindow::Retranslate()
{
    setWindowTitle(Text("msgAnalizarTitulo").arg(FDriveName));
    FCancel->setText(Text("msgCancelar"));
    FTabs->setTabText(0, Text("msgDesglose"));
    if (FHistoryPane) {
        FTabs->setTabText(FTabs->indexOf(FHistoryPane), Text("msgHistoria"));
        // The pane follows too, whatever it is.
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(FHistoryPane, &change);
    }
    FFoldersTitle->setText(Text("msgCarpetasGrandes"));
    FFilesTitle->setText(Text("msgArchivosGrandes"));
    for (QTreeWidget *list : {FFolders, FFiles})
        list->setHeaderLabels({Text("msgNombre"), Text("msgTamanyo")});
    FOpen->setText(Text("msgAbrirCarpeta"));
    FTrash->setText(Text("msgMoverPapelera"));
    FDelete->setText(Text("msgEliminar"));
    FRescan->setText(Text("msgAnalizarDeNuevo"));
    ShowProgress();
    Refresh();
}

void TDriveWindow::changeEvent(QEvent *event)
{
    if (event->type() == QEvent::LanguageChange)
        Retranslate();
    QWidget::changeEvent(event);
}

void TDriveWindow::closeEvent(QCloseEvent *event)
{
    qCDebug(lcAnalysis).noquote() << "drive window closed for" << FDriveName;
    FAnalysis->Cancel();
    QWidget::closeEvent(event);
}

void TDriveWindow::keyPressEvent(QKeyEvent *event)
{
    if (event->key() != Qt::Key_Escape || event->modifiers() != Qt::NoModifier) {
        QWidget::keyPressEvent(event);
        return;
    }
    if (FAnalysis->State() == TDriveAnalysis::TState::Scanning)
        FAnalysis->Cancel();
    else
        close();
}

QStringList TDriveWindow::Places() const
{
    QStringList places;
    const auto centre = [this](const QWidget *widget, const QRectF &inside) {
        const QPoint at = widget->mapTo(this, inside.center().toPoint());
        return QStringLiteral("@%1,%2").arg(at.x()).arg(at.y());
    };
    const auto &items = FTreemap->Items();
    for (std::size_t i = 0; i < items.size() && i < 8; ++i)
        places << items[i].Name + centre(FTreemap, FTreemap->ItemRect(int(i)));
    for (const QPushButton *button : {FCancel, FOpen, FTrash, FDelete, FRescan, FEmptyTrash})
        if (button->isVisible())
            places << QStringLiteral("button:") + button->text() + centre(button, QRectF(button->rect()));
    return places;
}

void TDriveWindow::AddHistoryPane(QWidget *pane)
{
    if (FHistoryPane)
        delete FHistoryPane.data();
    FHistoryPane = pane;
    FTabs->addTab(pane, Text("msgHistoria"));
}

void TDriveWindow::ShowProgress()
{
    const TDriveAnalysis::TProgress progress = FAnalysis->Progress();
    QString text;
    switch (FAnalysis->State()) {
    case TDriveAnalysis::TState::Idle:
    case TDriveAnalysis::TState::Scanning:
        text = Text("msgAnalizando")
                   .arg(QString::number(progress.Entries), SizeText(progress.Bytes), progress.CurrentFolder);
        break;
    case TDriveAnalysis::TState::Done:
        text = Text("msgAnalisisHecho").arg(QString::number(progress.Entries), SizeText(progress.Bytes));
        break;
    case TDriveAnalysis::TState::Cancelled:
        text = Text("msgAnalisisCancelado").arg(QString::number(progress.Entries), SizeText(progress.Bytes));
        break;
    case TDriveAnalysis::TState::Failed:
        text = Text("msgErrorAnalizar").arg(FDriveName, FAnalysis->Error());
        break;
    }
    FStatus->setText(text);
    FCancel->setVisible(FAnalysis->State() == TDriveAnalysis::TState::Scanning);
}

void TDriveWindow::FillList(QTreeWidget *list, const std::vector<TDriveAnalysis::TItem> &items)
{
    const QSignalBlocker quiet(list);
    list->clear();
    for (const TDriveAnalysis::TItem &item : items) {
        auto *row = new QTreeWidgetItem(
            {QFile::decodeName(QByteArray::fromStdString(item.Path)), SizeText(item.Size)});
        row->setTextAlignment(1, Qt::AlignRight | Qt::AlignVCenter);
        list->addTopLevelItem(row);
        if (FSelected && FSelected->Path == item.Path)
            row->setSelected(true);
    }
}

void TDriveWindow::Refresh()
{
    FTreemap->SetItems(FAnalysis->Items());
    FFolderItems = FAnalysis->BiggestFolders(kListed);
    FFileItems = FAnalysis->BiggestFiles(kListed);
    FillList(FFolders, FFolderItems);
    FillList(FFiles, FFileItems);

    // The path bar: the drive, then each folder down to the place shown.
    while (QLayoutItem *old = FTrailLayout->takeAt(0)) {
        delete old->widget();
        delete old;
    }
    const std::vector<TDriveAnalysis::TItem> trail = FAnalysis->Trail();
    for (std::size_t i = 0; i < trail.size(); ++i) {
        auto *crumb = new QToolButton(FTrailBar);
        crumb->setText(ButtonText(i == 0 ? FDriveName : trail[i].Name));
        crumb->setAutoRaise(true);
        crumb->setEnabled(i + 1 < trail.size());
        connect(crumb, &QToolButton::clicked, this, [this, i] { FAnalysis->GoUpTo(int(i)); });
        FTrailLayout->addWidget(crumb);
        if (i + 1 < trail.size())
            FTrailLayout->addWidget(new QLabel(QStringLiteral("\u203a"), FTrailBar));
    }
    FTrailLayout->addStretch(1);

    const TDriveAnalysis::TWhole whole = FAnalysis->Whole();
    FWholeBar->SetWhole(whole);
    FWholeBar->setVisible(whole.Known);
    QStringList parts{Text("msgEnCarpetas").arg(SizeText(whole.InFolders)),
                      Text("msgPapelera").arg(SizeText(whole.Trash))};
    if (whole.Known) {
        parts << Text("msgOtros").arg(SizeText(whole.Other)) << Text("msgLibre").arg(SizeText(whole.Free));
    }
    const bool over = FAnalysis->State() == TDriveAnalysis::TState::Done
        || FAnalysis->State() == TDriveAnalysis::TState::Cancelled;
    FWholeText->setText(over ? parts.join(QStringLiteral("   ")) : QString());
    FEmptyTrash->setText(Text("msgVaciarPapelera").arg(SizeText(whole.Trash)));
    FEmptyTrash->setEnabled(over && whole.Trash > 0 && !FAnalysis->Busy());
    SetSelected(FSelected);

    if (over) {
        const QString texts = Texts().join(QStringLiteral(" | "));
        if (texts != FLastLogged) {
            FLastLogged = texts;
            qCDebug(lcAnalysis).noquote() << "drive window" << FDriveName << "reads:" << texts;
        }
    }
}

void TDriveWindow::SetSelected(std::optional<TDriveAnalysis::TItem> item)
{
    if (item && item->Kind == TDriveAnalysis::TItem::TKind::OtherFiles)
        item.reset();
    FSelected = std::move(item);
    const bool over = FAnalysis->State() == TDriveAnalysis::TState::Done
        || FAnalysis->State() == TDriveAnalysis::TState::Cancelled;
    const bool any = over && FSelected.has_value();
    FOpen->setEnabled(any);
    FTrash->setEnabled(any);
    FDelete->setEnabled(any);
    FRescan->setEnabled(any && FSelected->Kind == TDriveAnalysis::TItem::TKind::Folder);
}

void TDriveWindow::SelectByPath(const std::string &path)
{
    using TItems = std::vector<TDriveAnalysis::TItem>;
    for (const TItems *items : {&FTreemap->Items(), static_cast<const TItems *>(&FFolderItems),
                                static_cast<const TItems *>(&FFileItems)})
        for (const TDriveAnalysis::TItem &item : *items)
            if (item.Path == path) {
                SetSelected(item);
                return;
            }
}

QStringList TDriveWindow::Texts() const
{
    QStringList texts{windowTitle(), FStatus->text()};
    QStringList trail;
    for (int i = 0; i < FTrailLayout->count(); ++i)
        if (auto *crumb = qobject_cast<QToolButton *>(FTrailLayout->itemAt(i)->widget()))
            trail << crumb->text();
    texts << trail.join(QStringLiteral(" > "));
    for (int i = 0; i < FTabs->count(); ++i)
        texts << FTabs->tabText(i);
    texts << FFoldersTitle->text() + QStringLiteral(": ")
            + (FFolderItems.empty() ? QString()
                                    : QFile::decodeName(QByteArray::fromStdString(FFolderItems.front().Path))
                       + QLatin1Char(' ') + SizeText(FFolderItems.front().Size));
    texts << FFilesTitle->text() + QStringLiteral(": ")
            + (FFileItems.empty() ? QString()
                                  : QFile::decodeName(QByteArray::fromStdString(FFileItems.front().Path))
                       + QLatin1Char(' ') + SizeText(FFileItems.front().Size));
    texts << FWholeText->text() << FEmptyTrash->text();
    for (const QPushButton *button : {FOpen, FTrash, FDelete, FRescan})
        texts << button->text();
    return texts;
}

void TDriveWindow::Report(const QString &text)
{
    qCInfo(lcAnalysis).noquote() << text;
    QMessageBox box(QMessageBox::Warning, windowTitle(), text, QMessageBox::Ok, this);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void TDriveWindow::OpenSelectedFolder()
{
    if (!FSelected)
        return;
    std::string folder = FSelected->Path;
    if (FSelected->Kind == TDriveAnalysis::TItem::TKind::File)
        folder = folder.substr(0, std::max<std::size_t>(folder.find_last_of("/\\"), 1));
    const QString path = QFile::decodeName(QByteArray::fromStdString(folder));
    qCDebug(lcAnalysis).noquote() << "opening" << path;
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(path)))
        Report(Text("msgErrorAbrir").arg(path));
}

void TDriveWindow::MoveSelectedToTrash()
{
    if (FSelected)
        FAnalysis->MoveToTrash(*FSelected);
}

void TDriveWindow::DeleteSelectedForGood()
{
    if (!FSelected)
        return;
    FAnalysis->DeleteForGood(*FSelected, [this](const TDriveAnalysis::TItem &item) {
        QMessageBox box(QMessageBox::Warning, windowTitle(),
                        Text("msgConfirmarEliminar").arg(QFile::decodeName(QByteArray::fromStdString(item.Path))),
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setTextFormat(Qt::PlainText);
        box.setDefaultButton(QMessageBox::No);
        return box.exec() == QMessageBox::Yes;
    });
}

void TDriveWindow::ScanSelectedAgain()
{
    if (FSelected)
        FAnalysis->ScanAgain(*FSelected);
}

void TDriveWindow::EmptyDriveTrash()
{
    const TDriveAnalysis::TWhole whole = FAnalysis->Whole();
    QMessageBox box(QMessageBox::Warning, windowTitle(),
                    Text("msgConfirmarVaciar").arg(FDriveName, SizeText(whole.Trash)),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setTextFormat(Qt::PlainText);
    // The button already named the trash and its size: Yes is the default.
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() == QMessageBox::Yes)
        FAnalysis->EmptyTrash();
}
