#include "ParameterTableWindow.h"

#include "ParameterFile.h"
#include "ParameterFileDialogs.h"
#include "ParameterTableIcons.h"
#include "ParameterTableSequences.h"
#include "ParameterTableTexts.h"
#include "link/DriveLink.h"
#include "shell/ShellState.h"
#include "shell/Twips.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStandardItemModel>
#include <QStyle>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>

namespace kiro {

namespace t = tabletexts;

namespace {
const QPoint kPlaceTwips(2000, 500);
constexpr int kColumnWidthsTwips[4] = {1800, 1200, 1800, 1800};
constexpr int kVisibleRows = 15;

QPushButton* makeButton(const QString& name, const QString& caption, QWidget* parent) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    return button;
}
} // namespace

ParameterTableWindow::ParameterTableWindow(ShellState& state, ParameterFileDialogs& dialogs,
                                           const QString& databasePath, QWidget* parent)
    : QWidget(parent), state_(state), contract_(state, *this), dialogs_(dialogs) {
    setObjectName(QStringLiteral("Form5"));
    setWindowTitle(t::kCaption);
    move(twips::toPixels(kPlaceTwips));
    buildControls();
    showHeadingsOnly();
    if (!database_.open(databasePath))
        state_.tell(t::kDatabaseFailed, QString());
}

ParameterTableWindow::~ParameterTableWindow() {
    // The view's query must be gone before its connection closes.
    grid_->setModel(nullptr);
    tableModel_->clear();
    database_.close();
}

void ParameterTableWindow::buildControls() {
    grid_ = new QTableView(this);
    grid_->setObjectName(QStringLiteral("MSHFlexGrid1"));
    // Label1 above the grid tells the progress of the work, so the table is named by the
    // window's caption instead.
    grid_->setAccessibleName(t::kCaption);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->verticalHeader()->hide();
    tableModel_ = new QSqlQueryModel(this);
    plainModel_ = new QStandardItemModel(0, 4, this);

    readButton_ = makeButton(QStringLiteral("readdata"), t::kRead, this);
    writeButton_ = makeButton(QStringLiteral("writedata"), t::kWrite, this);
    commitButton_ = makeButton(QStringLiteral("EEProm"), t::kCommit, this);
    resetButton_ = makeButton(QStringLiteral("reset"), t::kReset, this);
    connect(readButton_, &QPushButton::clicked, this, &ParameterTableWindow::readClicked);
    connect(writeButton_, &QPushButton::clicked, this, &ParameterTableWindow::writeClicked);
    connect(commitButton_, &QPushButton::clicked, this, &ParameterTableWindow::commitClicked);
    connect(resetButton_, &QPushButton::clicked, this, &ParameterTableWindow::resetClicked);

    label1_ = new QLabel(t::kCaption, this);
    label1_->setObjectName(QStringLiteral("Label1"));
    label1_->setAlignment(Qt::AlignCenter);

    auto* buttons = new QVBoxLayout;
    for (QPushButton* button : {readButton_, writeButton_, commitButton_, resetButton_})
        buttons->addWidget(button);
    buttons->addStretch();
    auto* body = new QHBoxLayout;
    body->addWidget(grid_, 1);
    body->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(buildToolbar());
    layout->addWidget(label1_);
    layout->addLayout(body, 1);

    // Room for all fifteen rows and the four columns, scroll bars included.
    const int scrollBar = grid_->style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    const int frame = 2 * grid_->frameWidth();
    int width = frame + scrollBar;
    for (int twipsWide : kColumnWidthsTwips)
        width += twips::toPixels(twipsWide);
    const int height = frame + scrollBar + grid_->horizontalHeader()->sizeHint().height() +
                       kVisibleRows * grid_->verticalHeader()->defaultSectionSize();
    grid_->setMinimumSize(width, height);
}

QToolBar* ParameterTableWindow::buildToolbar() {
    auto* toolbar = new QToolBar(this);
    toolbar->setObjectName(QStringLiteral("Toolbar1"));
    toolbar->setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
    toolbar->setIconSize(QSize(32, 32));
    const QIcon icons[4] = {OpenFileIcon(), SaveFileIcon(), ChipIcon(), ExitIcon()};
    void (ParameterTableWindow::*const handlers[4])() = {
        &ParameterTableWindow::OpenParameterFile, &ParameterTableWindow::SaveParameterFile,
        &ParameterTableWindow::commitFromToolbar, &ParameterTableWindow::closeWindow};
    for (int index = 0; index < 4; ++index) {
        const QString name = QStringLiteral("Toolbar1_%1").arg(index + 1);
        QAction* button = toolbar->addAction(icons[index], t::kToolbarTexts[index]);
        button->setObjectName(name);
        if (QWidget* widget = toolbar->widgetForAction(button))
            widget->setObjectName(name);
        connect(button, &QAction::triggered, this, handlers[index]);
    }
    return toolbar;
}

void ParameterTableWindow::showHeadingsOnly() {
    plainModel_->setRowCount(0);
    for (int column = 0; column < 4; ++column)
        plainModel_->setHeaderData(column, Qt::Horizontal, t::kHeadings[column]);
    grid_->setModel(plainModel_);
    for (int column = 0; column < 4; ++column)
        grid_->setColumnWidth(column, twips::toPixels(kColumnWidthsTwips[column]));
}

// --- Locking ---------------------------------------------------------------------------------

bool ParameterTableWindow::mayStart() const {
    // One operation at a time: the locked window keeps a second one from being asked for, and a
    // window that gave up on the link starts nothing more.
    return contract_.accepting() && !contract_.busy();
}

void ParameterTableWindow::start(const QString& progress, WindowContract::Job job) {
    lock(progress);
    contract_.submit(std::move(job));
}

void ParameterTableWindow::lock(const QString& progress) {
    const bool hadFocus = isAncestorOf(QApplication::focusWidget());
    label1_->setText(progress);
    label1_->show();
    for (QPushButton* button : {readButton_, writeButton_, commitButton_, resetButton_})
        button->setEnabled(false);
    setEnabled(false);
    // The hidden and disabled controls have given the focus up; the frame takes it, so that its
    // keys (Ctrl+F4) still reach the window while it works.
    contract_.keepFocusOnFrame(hadFocus);
}

void ParameterTableWindow::hideProgress() {
    label1_->hide();
}

void ParameterTableWindow::unlock() {
    label1_->hide();
    label1_->clear();
    setEnabled(true);
    for (QPushButton* button : {readButton_, writeButton_, commitButton_, resetButton_})
        button->setEnabled(true);
}

// --- Operations ----------------------------------------------------------------------------

void ParameterTableWindow::readClicked() {
    if (!mayStart())
        return;
    start(t::kReading, [this] { readJob(); });
}

void ParameterTableWindow::readJob() {
    const auto values = ReadAllParameters(state_.link());
    if (!values) {
        // The table and the held set stay as they were.
        contract_.giveUp();
        return;
    }
    held_.ParamValues = *values;
    RewriteParameterTable();
    unlock();
    DataLoaded_ = true;
    RefreshTableView();
    state_.tell(t::kReadDone, t::kReadDoneTitle, Prompt::Icon::Information);
}

void ParameterTableWindow::writeClicked() {
    if (!mayStart())
        return;
    if (!DataLoaded_) {
        state_.tell(t::kNothingHeld, t::kNothingHeldTitle, Prompt::Icon::Information);
        return;
    }
    const PromptAnswer answer = state_.prompter().ask(Prompt{
        t::kConfirmWrite, t::kConfirmWriteTitle, Prompt::Icon::None, Prompt::Buttons::YesNo});
    if (answer != PromptAnswer::Yes || !mayStart())
        return;
    start(t::kWritingChip, [this] { writeJob(); });
}

void ParameterTableWindow::writeJob() {
    // The held set cannot change meanwhile: opening a file waits for the window's work.
    const bool allWritten = WriteAllParameters(state_.link(), held_.ParamValues);
    hideProgress();
    state_.tell(allWritten ? t::kWriteDone : t::kWriteFailed, t::kPrompt);
    unlock();
}

void ParameterTableWindow::commitClicked() {
    if (!mayStart())
        return;
    if (!DataLoaded_) {
        state_.tell(t::kNothingHeld, t::kNothingHeldTitle, Prompt::Icon::Information);
        return;
    }
    commitAfterConfirmation();
}

void ParameterTableWindow::commitFromToolbar() {
    if (!mayStart())
        return;
    if (!DataLoaded_) {
        state_.tell(t::kNothingToSave, t::kNothingToCommitTitle, Prompt::Icon::Information);
        return;
    }
    commitAfterConfirmation();
}

void ParameterTableWindow::commitAfterConfirmation() {
    const PromptAnswer answer =
        state_.prompter().ask(Prompt{t::kConfirmCommit, t::kConfirmCommitTitle,
                                     Prompt::Icon::Information, Prompt::Buttons::YesNo});
    if (answer != PromptAnswer::Yes || !mayStart())
        return;
    start(t::kWritingChip, [this] { commitJob(); });
}

void ParameterTableWindow::commitJob() {
    if (!CommitToEeprom(state_.link())) {
        contract_.giveUp();
        return;
    }
    hideProgress();
    state_.tell(t::kCommitDone, t::kPrompt);
    unlock();
}

void ParameterTableWindow::resetClicked() {
    if (!mayStart())
        return;
    const PromptAnswer answer =
        state_.prompter().ask(Prompt{t::kConfirmReset, t::kConfirmResetTitle,
                                     Prompt::Icon::Information, Prompt::Buttons::YesNo});
    if (answer != PromptAnswer::Yes || !mayStart())
        return;
    start(t::kWritingDrive, [this] { resetJob(); });
}

void ParameterTableWindow::resetJob() {
    const FactoryReset outcome = ResetToFactoryDefaults(state_.link());
    if (outcome == FactoryReset::CommitFailed) {
        contract_.giveUp();
        return;
    }
    hideProgress();
    state_.tell(outcome == FactoryReset::Done ? t::kResetDone : t::kResetFailed, t::kPrompt);
    unlock();
}

void ParameterTableWindow::OpenParameterFile() {
    if (!mayStart())
        return;
    const QString path = dialogs_.openFileName(this, t::kFileFilter);
    if (path.isEmpty())
        return;
    const ParameterFileReading reading = ReadParameterFile(path);
    if (!reading.set)
        return; // a file that does not convert as a whole changes nothing
    held_ = *reading.set;
    RewriteParameterTable();
    RefreshTableView();
    DataLoaded_ = true;
}

void ParameterTableWindow::SaveParameterFile() {
    if (!mayStart())
        return;
    if (!DataLoaded_) {
        state_.tell(t::kNothingToSave, t::kNothingToSaveTitle, Prompt::Icon::Information);
        return;
    }
    const QString path = dialogs_.saveFileName(this, t::kFileFilter);
    if (path.isEmpty())
        return;
    if (!WriteParameterFile(path, held_))
        state_.tell(t::kSaveFailed, t::kNothingToSaveTitle, Prompt::Icon::Warning);
}

void ParameterTableWindow::closeWindow() {
    contract_.closeWindow();
}

// --- The table -------------------------------------------------------------------------------

void ParameterTableWindow::RewriteParameterTable() {
    tableIsCurrent_ = database_.isOpen() && database_.rewrite(held_);
    if (database_.isOpen() && !tableIsCurrent_)
        state_.tell(t::kDatabaseWriteFailed, QString(), Prompt::Icon::Warning);
}

void ParameterTableWindow::RefreshTableView() {
    grid_->setModel(nullptr);
    tableModel_->clear();
    if (tableIsCurrent_) {
        tableModel_->setQuery(QSqlQuery(ParameterDatabase::kSelectAll, database_.connection()));
        grid_->setModel(tableModel_);
    } else {
        // Without a store that holds the set, the grid shows the held set itself, under the
        // table's column names.
        plainModel_->setRowCount(kParameterCount);
        const QString columns[4] = {QStringLiteral("参数名称"), QStringLiteral("实际参数值"),
                                    QStringLiteral("参数有效范围"), QStringLiteral("默认参数值")};
        for (int index = 0; index < kParameterCount; ++index) {
            const auto i = std::size_t(index);
            const QString cells[4] = {held_.ParamNames[i], ShortestDecimal(held_.ParamValues[i]),
                                      ParamRanges()[i], ShortestDecimal(ParamDefaults()[i])};
            for (int column = 0; column < 4; ++column)
                plainModel_->setItem(index, column, new QStandardItem(cells[column]));
        }
        for (int column = 0; column < 4; ++column)
            plainModel_->setHeaderData(column, Qt::Horizontal, columns[column]);
        grid_->setModel(plainModel_);
    }
    for (int column = 0; column < 4; ++column)
        grid_->setColumnWidth(column, twips::toPixels(kColumnWidthsTwips[column]));
}

} // namespace kiro
