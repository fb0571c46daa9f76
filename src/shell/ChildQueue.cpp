#include "shell/ChildQueue.h"

#include "shell/ImageLists.h"
#include "widgets/MessageBoxes.h"

#include <QAction>
#include <QCloseEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTableWidget>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <utility>

namespace {

TChildFormQueue* g_instance = nullptr;

}  // namespace

TChildFormQueue::TChildFormQueue(TMainFormServices* owner, QAction* action, TRemoteModule commandsRDM)
    : TChildFormBlank(owner, action), dm_(std::move(commandsRDM))
{
    setObjectName(QStringLiteral("ChildFormQueue"));
    setWindowTitle(tr("Command queue"));
    g_instance = this;
    if (owner)
        setWindowIcon(MainImageList().Icon(img::Queue));

    auto* content = new QWidget;
    auto* layout = new QVBoxLayout(content);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    actDelete = new QAction(CommonImageList().Icon(imgc::Delete), tr("Delete"), this);
    actDelete->setObjectName(QStringLiteral("actDelete"));
    actDelete->setStatusTip(tr("Delete selected command."));
    actDelete->setToolTip(actDelete->statusTip());
    actDelete->setShortcuts({QKeySequence(Qt::Key_Delete), QKeySequence(Qt::Key_D)});
    connect(actDelete, &QAction::triggered, this, &TChildFormQueue::actDeleteExecute);
    actClear = new QAction(CommonImageList().Icon(imgc::DeleteAll), tr("Delete all"), this);
    actClear->setObjectName(QStringLiteral("actClear"));
    actClear->setStatusTip(tr("Clear command queue."));
    actClear->setToolTip(actClear->statusTip());
    actClear->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Delete), QKeySequence(Qt::CTRL | Qt::Key_D)});
    connect(actClear, &QAction::triggered, this, &TChildFormQueue::actClearExecute);
    actCustomCommand = new QAction(tr("Post"), this);
    actCustomCommand->setObjectName(QStringLiteral("actCustomCommand"));
    actCustomCommand->setStatusTip(tr("Queues the command for execution."));
    actCustomCommand->setToolTip(actCustomCommand->statusTip());
    connect(actCustomCommand, &QAction::triggered, this, &TChildFormQueue::actCustomCommandExecute);

    ToolBar = new QToolBar(content);
    ToolBar->setObjectName(QStringLiteral("ToolBar"));
    ToolBar->setIconSize(QSize(TImageList::ImageSize, TImageList::ImageSize));
    ToolBar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    ToolBar->addAction(actDelete);
    ToolBar->addAction(actClear);
    tbDelete = qobject_cast<QToolButton*>(ToolBar->widgetForAction(actDelete));
    tbDelete->setObjectName(QStringLiteral("tbDelete"));
    tbClear = qobject_cast<QToolButton*>(ToolBar->widgetForAction(actClear));
    tbClear->setObjectName(QStringLiteral("tbClear"));
    layout->addWidget(ToolBar);

    ListView = new QTableWidget(0, 2, content);
    ListView->setObjectName(QStringLiteral("ListView"));
    ListView->setHorizontalHeaderLabels({tr("Command"), tr("Retry")});
    ListView->verticalHeader()->hide();
    ListView->setShowGrid(true);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::SingleSelection);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
    ListView->horizontalHeader()->setSectionResizeMode(1, QHeaderView::Fixed);
    ListView->setColumnWidth(1, 60);
    // The single-letter shortcuts would otherwise eat letters typed into the command edit.
    actDelete->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    actClear->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    ListView->addAction(actDelete);
    ListView->addAction(actClear);
    pmQueueEdit = new QMenu(this);
    pmQueueEdit->setObjectName(QStringLiteral("pmQueueEdit"));
    pmQueueEdit->addAction(actDelete);
    pmQueueEdit->addAction(actClear);
    ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& pos) { pmQueueEdit->popup(ListView->viewport()->mapToGlobal(pos)); });
    connect(ListView, &QTableWidget::itemSelectionChanged, this, &TChildFormQueue::UpdateActions);
    layout->addWidget(ListView, 1);

    pnlCustomCommand = new QWidget(content);
    pnlCustomCommand->setObjectName(QStringLiteral("pnlCustomCommand"));
    auto* strip = new QHBoxLayout(pnlCustomCommand);
    strip->setContentsMargins(6, 4, 6, 4);
    auto* left = new QVBoxLayout;
    auto* editRow = new QHBoxLayout;
    auto* lblCustomCommand = new QLabel(tr("Custom command:"), pnlCustomCommand);
    edtCustomCommand = new QLineEdit(pnlCustomCommand);
    edtCustomCommand->setObjectName(QStringLiteral("edtCustomCommand"));
    lblCustomCommand->setBuddy(edtCustomCommand);
    editRow->addWidget(lblCustomCommand);
    editRow->addWidget(edtCustomCommand, 1);
    left->addLayout(editRow);
    left->addWidget(
        new QLabel(tr("The format of the commands is described in the options window."), pnlCustomCommand));
    strip->addLayout(left, 1);
    btnPostCommand = new QToolButton(pnlCustomCommand);
    btnPostCommand->setObjectName(QStringLiteral("btnPostCommand"));
    btnPostCommand->setToolButtonStyle(Qt::ToolButtonTextOnly);
    btnPostCommand->setDefaultAction(actCustomCommand);
    btnPostCommand->setMinimumSize(75, 30);
    strip->addWidget(btnPostCommand, 0, Qt::AlignBottom);
    connect(edtCustomCommand, &QLineEdit::textChanged, this, &TChildFormQueue::UpdateActions);
    connect(edtCustomCommand, &QLineEdit::returnPressed, actCustomCommand, &QAction::trigger);
    layout->addWidget(pnlCustomCommand);

    setWidget(content);
    resize(520, 360);

    FillList();
    pnlCustomCommand->setVisible(dm_.TakesCustomCommands());
    UpdateActions();
}

TChildFormQueue::~TChildFormQueue()
{
    if (g_instance == this)
        g_instance = nullptr;
}

TChildFormQueue* TChildFormQueue::Instance()
{
    return g_instance;
}

void TChildFormQueue::closeEvent(QCloseEvent* event)
{
    TChildFormBlank::closeEvent(event);
    if (event->isAccepted() && g_instance == this)
        g_instance = nullptr;
}

void TChildFormQueue::FillList()
{
    ListView->setRowCount(0);
    for (const TQueueDM::TCommand& command : dm_.Commands())
        AddCommand(command.Text, command.RetryCount);
}

void TChildFormQueue::AddCommand(const QString& text, int retryCount)
{
    const int row = ListView->rowCount();
    ListView->insertRow(row);
    ListView->setItem(row, 0, new QTableWidgetItem(text));
    auto* retry = new QTableWidgetItem(QString::number(retryCount));
    ListView->setItem(row, 1, retry);
    UpdateActions();
}

void TChildFormQueue::RemoveCommand(int row)
{
    if (row >= 0 && row < ListView->rowCount())
        ListView->removeRow(row);
    UpdateActions();
}

void TChildFormQueue::ClearCommands()
{
    ListView->setRowCount(0);
    UpdateActions();
}

void TChildFormQueue::SetRetryCount(int row, int retryCount)
{
    if (QTableWidgetItem* retry = ListView->item(row, 1))
        retry->setText(QString::number(retryCount));
}

void TChildFormQueue::UpdateActions()
{
    actDelete->setEnabled(!ListView->selectionModel()->selectedRows().isEmpty());
    actClear->setEnabled(ListView->rowCount() > 0);
    actCustomCommand->setEnabled(!edtCustomCommand->text().trimmed().isEmpty());
}

void TChildFormQueue::actDeleteExecute()
{
    const QModelIndexList rows = ListView->selectionModel()->selectedRows();
    if (rows.isEmpty())
        return;
    // The row goes when the server reports its removal.
    dm_.DeleteCommand(rows.first().row());
}

void TChildFormQueue::actClearExecute()
{
    if (AskQuestion(tr("Delete ALL pending commands?")))
        dm_.DeleteAllCommands();
}

void TChildFormQueue::actCustomCommandExecute()
{
    // Sent as typed: leading blanks may matter to the exchange.
    dm_.PostCommand(edtCustomCommand->text());
    edtCustomCommand->clear();
}
